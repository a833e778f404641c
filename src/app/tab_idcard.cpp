#include "app/tabs.h"

namespace zel {

// The "身份证查询" tab.
TabPanel* CreateIdCardTab(wxWindow* book, TabContext&) { return new TabPanel(book, wxID_ANY); }

}  // namespace zel
