#include "app/tab_mobile.h"

namespace zel {

// The "IP地址查询" tab.
TabPanel* CreateIpTab(wxWindow* book, TabContext&) {
  return new LookupTabPanel(book, LookupKind::Ip, {u8"IP地址查询", u8"IP地址：", u8"官方数据查询结果："});
}

}  // namespace zel
