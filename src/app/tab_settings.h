// The "设置" tab: template choice and the new-version check. The panel only
// builds the controls and forwards their events to SettingsTab.
#pragma once

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/listbox.h>
#include <wx/textctrl.h>

#include <memory>

#include "app/tabs.h"
#include "app/wx_views.h"
#include "update/settings_tab.h"

namespace zel {

class SettingsTabPanel : public TabPanel {
 public:
  SettingsTabPanel(wxWindow* book, TabContext& ctx);
  void Startup() override;  // start-up steps 15, 16
  void OnShown() override;  // TabSetShow

  SettingsTab& Logic() { return *logic_; }
  WxBrowser& WebBrowser2() { return *preview_; }

  wxListBox* lstTemplate;
  wxButton* btnTemplate;
  wxTextCtrl *edtTemplateAuthor, *edtTemplateDate, *edtTemplateEmail, *edtTemplateHttp;
  wxButton* btnGetNewVersion;
  wxChoice* cboSoftList;
  wxButton* btnDownSoft;

 private:
  void Guard(const std::function<void()>& fn);
  // Zooms the preview out until the whole forecast page fits.
  void FitPreview(wxWebView* view);

  std::unique_ptr<WxBrowser> preview_;
  std::unique_ptr<WxList> templates_, soft_;
  std::unique_ptr<WxText> author_, date_, email_, http_;
  std::unique_ptr<SettingsTab> logic_;
};

}  // namespace zel
