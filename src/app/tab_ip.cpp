#include "app/tabs.h"

namespace zel {

// The "IP地址查询" tab.
TabPanel* CreateIpTab(wxWindow* book, TabContext&) { return new TabPanel(book, wxID_ANY); }

}  // namespace zel
