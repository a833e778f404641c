#include "app/tabs.h"

namespace zel {

// The "关于" tab.
TabPanel* CreateAboutTab(wxWindow* book, TabContext&) { return new TabPanel(book, wxID_ANY); }

}  // namespace zel
