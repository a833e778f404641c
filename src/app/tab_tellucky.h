// The "手机号吉祥算" tab: a mobile number in, its verdict and reading out.
#pragma once

#include <wx/button.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <memory>

#include "app/tabs.h"
#include "fortune/tellucky.h"

namespace zel {

class TelLuckyTabPanel : public TabPanel {
 public:
  explicit TelLuckyTabPanel(wxWindow* book);
  void Startup() override;

  TelLuckyTab& Logic() { return *logic_; }

  wxStaticText* lblTelLuckyMemo = nullptr;
  wxTextCtrl* edtTelLucky = nullptr;
  wxButton* btnTelLucky = nullptr;
  wxTextCtrl* MemoTelLuckyExplain = nullptr;

 private:
  std::unique_ptr<TextView> label_, edit_, memo_;
  std::unique_ptr<TelLuckyTab> logic_;
};

}  // namespace zel
