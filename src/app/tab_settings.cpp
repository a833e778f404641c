#include "app/tabs.h"

namespace zel {

// The "设置" tab.
TabPanel* CreateSettingsTab(wxWindow* book, TabContext&) { return new TabPanel(book, wxID_ANY); }

}  // namespace zel

namespace zel {
void StartUpdateThread() {}
}  // namespace zel
