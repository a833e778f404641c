#include "app/tab_settings.h"

#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include <algorithm>

#include "app/tab_layout.h"
#include "app/wx_util.h"
#include "update/update.h"

namespace zel {

SettingsTabPanel::SettingsTabPanel(wxWindow* book, TabContext& ctx) : TabPanel(book, wxID_ANY) {
  auto* templ = new wxStaticBoxSizer(wxHORIZONTAL, this, W8(u8"模板"));
  wxStaticBox* templBox = templ->GetStaticBox();
  lstTemplate = new wxListBox(templBox, wxID_ANY, wxDefaultPosition, Scaled(110, 136));
  // Templates may come from the update: their scripts stay off.
  preview_ = std::make_unique<WxBrowser>(templBox, wxDefaultPosition, Scaled(160, 120));
  Win(*preview_)->SetMinSize(Scaled(160, 120));
  btnTemplate = new wxButton(templBox, wxID_ANY, W8(u8"使用选定模板"));

  auto* author = new wxStaticBoxSizer(wxVERTICAL, this, W8(u8"模板作者信息"));
  wxStaticBox* authorBox = author->GetStaticBox();
  auto* fields = new wxFlexGridSizer(2, Scaled(8), Scaled(4));
  fields->AddGrowableCol(1);
  const char8_t* labels[] = {u8"作者：", u8"日期：", u8"Email：", u8"主页："};
  wxTextCtrl** edits[] = {&edtTemplateAuthor, &edtTemplateDate, &edtTemplateEmail, &edtTemplateHttp};
  for (int i = 0; i < 4; ++i) {
    // Right-aligned, so the colons line up.
    fields->Add(new wxStaticText(authorBox, wxID_ANY, W8(labels[i])), 0, wxALIGN_RIGHT | wxALIGN_CENTER_VERTICAL);
    *edits[i] = new wxTextCtrl(authorBox, wxID_ANY, "", wxDefaultPosition, wxDefaultSize, wxTE_READONLY);
    NoCaret(*edits[i]);
    fields->Add(*edits[i], 1, wxEXPAND);
  }

  auto* upgrade = new wxStaticBoxSizer(wxHORIZONTAL, this, W8(u8"版本升级"));
  wxStaticBox* upgradeBox = upgrade->GetStaticBox();
  btnGetNewVersion = new wxButton(upgradeBox, wxID_ANY, W8(u8"检测是否有最新版本"));
  auto* listTitle = new wxStaticText(upgradeBox, wxID_ANY, W8(u8"最新版本下载地址列表："));
  cboSoftList = new wxChoice(upgradeBox, wxID_ANY);
  cboSoftList->SetMinSize(wxSize(Scaled(120), -1));
  btnDownSoft = new wxButton(upgradeBox, wxID_ANY, W8(u8"下载"));

  const int gap = Scaled(6);
  auto* pick = new wxBoxSizer(wxVERTICAL);
  pick->Add(lstTemplate, 1, wxEXPAND | wxBOTTOM, gap);
  pick->Add(btnTemplate, 0, wxEXPAND);
  templ->Add(pick, 0, wxEXPAND | wxALL, gap);
  templ->Add(Win(*preview_), 1, wxEXPAND | wxTOP | wxBOTTOM | wxRIGHT, gap);
  author->Add(fields, 1, wxEXPAND | wxALL, gap);
  upgrade->Add(btnGetNewVersion, 0, wxALIGN_CENTER_VERTICAL | wxALL, gap);
  upgrade->Add(listTitle, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, Scaled(4));
  upgrade->Add(cboSoftList, 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, gap);
  upgrade->Add(btnDownSoft, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, gap);
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  row->Add(templ, 1, wxEXPAND | wxRIGHT, gap);
  row->Add(author, 0, wxEXPAND);
  auto* all = new wxBoxSizer(wxVERTICAL);
  all->Add(row, 1, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, gap);
  all->Add(upgrade, 0, wxEXPAND | wxALL, gap);
  SetSizer(all);
  // Each page the preview loads is zoomed out to fit (the view may be made
  // only when the tab is first shown).
  Bind(wxEVT_WEBVIEW_LOADED, [this](wxWebViewEvent& e) {
    e.Skip();
    auto* view = wxDynamicCast(e.GetEventObject(), wxWebView);
    if (view && (view == Win(*preview_) || view->GetParent() == Win(*preview_))) FitPreview(view);
  });

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
  // A click on the row already selected (the active set, selected when the
  // tab is shown) changes nothing the list reports: the click itself shows
  // the set's preview and author.
  lstTemplate->Bind(wxEVT_LEFT_DOWN, [this, &L](wxMouseEvent& e) {
    e.Skip();
    const int row = lstTemplate->HitTest(e.GetPosition());
    if (row == wxNOT_FOUND || row != lstTemplate->GetSelection()) return;
    CallAfter([this, &L, row] {
      if (lstTemplate->GetSelection() == row) Guard([&] { L.lstTemplateClick(); });
    });
  });
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

void SettingsTabPanel::Startup() {
  logic_->Startup();  // start-up steps 15, 16
  // The author fields fit what every installed set would show in them, not
  // only the active set; what start-up showed is put back afterwards.
  wxTextCtrl* fields[] = {edtTemplateAuthor, edtTemplateDate, edtTemplateEmail, edtTemplateHttp};
  wxArrayString shown, values[4];
  for (wxTextCtrl* t : fields) shown.Add(t->GetValue());
  for (unsigned i = 0; i < lstTemplate->GetCount(); ++i) {
    Guard([&] { logic_->ShowTemplateAuthor(FromW(lstTemplate->GetString(i))); });
    for (size_t f = 0; f < 4; ++f) values[f].Add(fields[f]->GetValue());
  }
  for (size_t f = 0; f < 4; ++f) {
    fields[f]->ChangeValue(shown[f]);
    values[f].Add(shown[f]);
    FitText(fields[f], values[f], 16);
  }
}

void SettingsTabPanel::OnShown() { logic_->TabSetShow(); }

void SettingsTabPanel::FitPreview(wxWebView* view) {
  // The forecast page, made for the weather tab's browser, shown whole.
  const wxSize design = Scaled(kForecastWidth, kForecastHeight);
  const wxSize have = Win(*preview_)->GetSize();
  if (have.x <= 0 || have.y <= 0) return;
  double zoom = std::min({1.0, static_cast<double>(have.x) / design.x, static_cast<double>(have.y) / design.y});
  view->SetZoomType(wxWEBVIEW_ZOOM_TYPE_LAYOUT);
  view->SetZoomFactor(static_cast<float>(zoom));
}

TabPanel* CreateSettingsTab(wxWindow* book, TabContext& ctx) { return new SettingsTabPanel(book, ctx); }

// Start-up step 17. The thread keeps its own copy of what it needs and never
// reaches the window, so closing the window mid-download is harmless.
void StartUpdateThread() { TWeb::Start(UpdateSettings::FromStartup()); }

}  // namespace zel
