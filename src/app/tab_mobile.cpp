#include "app/tabs.h"

namespace zel {

// The "手机查询" tab.
TabPanel* CreateMobileTab(wxWindow* book, TabContext&) { return new TabPanel(book, wxID_ANY); }

}  // namespace zel
