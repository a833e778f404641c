// The "两人关系" tab: two names in, the relation of their stroke totals out.
#pragma once

#include <wx/button.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <memory>

#include "app/tabs.h"
#include "fortune/relation.h"

namespace zel {

class RelationTabPanel : public TabPanel {
 public:
  RelationTabPanel(wxWindow* book, TabContext& ctx);
  void Startup() override;

  RelationTab& Logic() { return *logic_; }

  wxStaticText* lblLRGXMemo = nullptr;
  wxTextCtrl* edtLRGX1 = nullptr;
  wxTextCtrl* edtLRGX2 = nullptr;
  wxButton* btnLRGX = nullptr;
  wxButton* btnLRGXError = nullptr;
  wxButton* btnLRGXCK = nullptr;
  wxTextCtrl* MemoLRGX = nullptr;

 private:
  TabContext& ctx_;
  std::unique_ptr<TextView> label_, edit1_, edit2_, memo_;
  std::unique_ptr<RelationTab> logic_;
};

}  // namespace zel
