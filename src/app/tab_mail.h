// The "邮编区号" tab: provinces on the right, the generated table beside.
#pragma once

#include <wx/listbox.h>

#include <memory>

#include "app/tabs.h"
#include "app/wx_views.h"
#include "lookup/mailtel.h"

namespace zel {

class MailTabPanel : public TabPanel {
 public:
  explicit MailTabPanel(wxWindow* book);
  void Startup() override;

  MailTab& Logic() { return *logic_; }
  WxBrowser& WebBrowserTel() { return *browser_; }
  wxListBox* lsbMailProvince = nullptr;

 private:
  std::unique_ptr<WxBrowser> browser_;
  std::unique_ptr<WxList> list_;
  std::unique_ptr<MailTab> logic_;
};

}  // namespace zel
