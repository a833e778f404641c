#include "app/tab_settings.h"

#include <wx/msgdlg.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include "app/wx_util.h"
#include "update/update.h"

namespace zel {

SettingsTabPanel::SettingsTabPanel(wxWindow* book, TabContext& ctx) : TabPanel(book, wxID_ANY) {
  new wxStaticBox(this, wxID_ANY, W8(u8"模板"), wxPoint(4, 2), wxSize(330, 196));
  lstTemplate = new wxListBox(this, wxID_ANY, wxPoint(12, 24), wxSize(110, 136));
  // Templates may come from the update: their scripts stay off.
  preview_ = std::make_unique<WxBrowser>(this, wxPoint(128, 24), wxSize(198, 166), false);
  btnTemplate = new wxButton(this, wxID_ANY, W8(u8"使用选定模板"), wxPoint(12, 164), wxSize(110, 26));

  new wxStaticBox(this, wxID_ANY, W8(u8"模板作者信息"), wxPoint(340, 2), wxSize(228, 196));
  const char8_t* labels[] = {u8"作者：", u8"日期：", u8"Email：", u8"主页："};
  wxTextCtrl** edits[] = {&edtTemplateAuthor, &edtTemplateDate, &edtTemplateEmail, &edtTemplateHttp};
  for (int i = 0; i < 4; ++i) {
    int y = 30 + i * 40;
    new wxStaticText(this, wxID_ANY, W8(labels[i]), wxPoint(348, y + 4), wxSize(52, -1));
    *edits[i] = new wxTextCtrl(this, wxID_ANY, "", wxPoint(402, y), wxSize(158, 26), wxTE_READONLY);
  }

  new wxStaticBox(this, wxID_ANY, W8(u8"版本升级"), wxPoint(4, 202), wxSize(564, 64));
  btnGetNewVersion = new wxButton(this, wxID_ANY, W8(u8"检测是否有最新版本"), wxPoint(12, 226), wxSize(150, 28));
  new wxStaticText(this, wxID_ANY, W8(u8"最新版本下载地址列表："), wxPoint(172, 232));
  cboSoftList = new wxChoice(this, wxID_ANY, wxPoint(330, 226), wxSize(160, 28));
  btnDownSoft = new wxButton(this, wxID_ANY, W8(u8"下载"), wxPoint(496, 226), wxSize(64, 28));

  templates_ = std::make_unique<WxList>(lstTemplate);
  soft_ = std::make_unique<WxList>(cboSoftList);
  author_ = std::make_unique<WxText>(edtTemplateAuthor);
  date_ = std::make_unique<WxText>(edtTemplateDate);
  email_ = std::make_unique<WxText>(edtTemplateEmail);
  http_ = std::make_unique<WxText>(edtTemplateHttp);
  SettingsViews v{templates_.get(), preview_.get(), author_.get(), date_.get(), email_.get(), http_.get(),
                  soft_.get()};
  logic_ = std::make_unique<SettingsTab>(v, [&ctx] { return ctx.shell; }, [&ctx] { return ctx.forecast; });

  // GTK selects the first row of a list that gains the focus without a
  // cursor, which would look like a click on it: the page's focus goes to
  // the button first.
  lstTemplate->MoveAfterInTabOrder(btnTemplate);

  auto& L = *logic_;
  lstTemplate->Bind(wxEVT_LISTBOX, [this, &L](wxCommandEvent&) { Guard([&] { L.lstTemplateClick(); }); });
  btnTemplate->Bind(wxEVT_BUTTON, [this, &L](wxCommandEvent&) { Guard([&] { L.btnTemplateClick(); }); });
  btnGetNewVersion->Bind(wxEVT_BUTTON, [this, &L](wxCommandEvent&) { Guard([&] { L.btnGetNewVersionClick(); }); });
  btnDownSoft->Bind(wxEVT_BUTTON, [this, &L](wxCommandEvent&) { Guard([&] { L.btnDownSoftClick(); }); });
}

void SettingsTabPanel::Guard(const std::function<void()>& fn) {
  // A fault in the logic shows a message instead of ending the program.
  try {
    fn();
  } catch (const std::exception& e) {
    wxMessageBox(wxString::FromUTF8(e.what()), W8(u8"错误"), wxOK | wxICON_ERROR, this);
  }
}

void SettingsTabPanel::OnShown() { logic_->TabSetShow(); }

TabPanel* CreateSettingsTab(wxWindow* book, TabContext& ctx) { return new SettingsTabPanel(book, ctx); }

// Start-up step 17. The thread keeps its own copy of what it needs and never
// reaches the window, so closing the window mid-download is harmless.
void StartUpdateThread() { TWeb::Start(UpdateSettings::FromStartup()); }

}  // namespace zel
