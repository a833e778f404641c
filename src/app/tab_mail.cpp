#include "app/tabs.h"

namespace zel {

// The "邮编区号" tab.
TabPanel* CreateMailTab(wxWindow* book, TabContext&) { return new TabPanel(book, wxID_ANY); }

}  // namespace zel
