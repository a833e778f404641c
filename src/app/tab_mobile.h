// The lookup tabs (mobile number, IP address, ID card): one panel shape,
// each with its hidden browser holding the lookup server's page.
#pragma once

#include <wx/button.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/timer.h>

#include <memory>

#include "app/tabs.h"
#include "app/wx_views.h"
#include "lookup/lookup_tab.h"

namespace zel {

struct LookupLayout {
  const char8_t* group;     // group box caption
  const char8_t* prompt;    // label before (or above) the edit
  const char8_t* resultLabel = nullptr;  // label above the memo, if any
  int maxLength = 0;        // 0: no limit
  bool promptAbove = false;
};

class LookupTabPanel : public TabPanel {
 public:
  LookupTabPanel(wxWindow* book, LookupKind kind, const LookupLayout& layout);
  ~LookupTabPanel() override;
  void Startup() override;
  // Makes the hidden browser and asks again for a page that failed.
  void OnShown() override;

  LookupTab& Logic() { return *logic_; }
  WxBrowser& Browser() { return *browser_; }
  wxTextCtrl* Edit() { return edit_; }
  wxButton* Button() { return button_; }
  wxTextCtrl* Memo() { return memo_; }
  // How long a query waits for its answer (tests shorten it).
  void SetDeadline(int ms) { deadlineMs_ = ms; }

 private:
  void Guard(const std::function<void()>& fn);

  std::unique_ptr<WxBrowser> browser_;
  wxTextCtrl* edit_ = nullptr;
  wxButton* button_ = nullptr;
  wxTextCtrl* memo_ = nullptr;
  std::unique_ptr<WxText> editView_, memoView_;
  std::unique_ptr<WxControl> buttonView_;
  std::unique_ptr<LookupTab> logic_;
  wxTimer deadline_;
  int deadlineMs_ = LookupTab::kDeadlineMs;
  bool busy_ = false;  // this tab holds one busy cursor
  // Work posted from other threads is dropped once the panel is gone.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace zel
