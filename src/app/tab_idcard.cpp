#include "app/tab_mobile.h"

namespace zel {

// The "身份证查询" tab: no tab button and no page of its own, so it stays
// dormant unless a query page is loaded into its browser.
TabPanel* CreateIdCardTab(wxWindow* book, TabContext&) {
  return new LookupTabPanel(book, LookupKind::IdCard,
                            {u8"身份证号码验证查询", u8"输入15位或18位身份证号码", nullptr, 18, true});
}

}  // namespace zel
