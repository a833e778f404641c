#include "app/tabs.h"

namespace zel {

// The "两人关系" tab.
TabPanel* CreateRelationTab(wxWindow* book, TabContext&) { return new TabPanel(book, wxID_ANY); }

}  // namespace zel
