#include "app/tabs.h"

namespace zel {

// The "手机号吉祥算" tab.
TabPanel* CreateTelLuckyTab(wxWindow* book, TabContext&) { return new TabPanel(book, wxID_ANY); }

}  // namespace zel
