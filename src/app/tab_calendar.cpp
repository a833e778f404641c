#include "app/tabs.h"

namespace zel {

// The "万年历" tab.
TabPanel* CreateCalendarTab(wxWindow* book, TabContext&) { return new TabPanel(book, wxID_ANY); }

}  // namespace zel
