#include "app/tab_weather.h"

#include <wx/msgdlg.h>
#include <wx/utils.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/statline.h>

#include <algorithm>
#include <thread>

#include "app/port/widgets.h"
#include "app/tab_layout.h"
#include "app/wx_util.h"

namespace zel {

WeatherTabPanel::WeatherTabPanel(wxWindow* book, TabContext&) : TabPanel(book, wxID_ANY) {
  // Forecast pages carry values cut out of downloaded pages: no scripts.
  browser_ = std::make_unique<WxBrowser>(this, wxDefaultPosition, Scaled(kForecastWidth, kForecastHeight));
  Win(*browser_)->SetMinSize(Scaled(kForecastWidth, kForecastHeight));
  cboProvince = new wxChoice(this, wxID_ANY);
  lsbCity = new wxListBox(this, wxID_ANY, wxDefaultPosition, Scaled(87, 151));
  lsbCity->SetToolTip(W8(u8"双击可得到该城市的天气预报"));
  auto* favTitle = new wxStaticText(this, wxID_ANY, W8(u8"收藏夹"));
  lsbSC = new wxListBox(this, wxID_ANY, wxDefaultPosition, Scaled(87, 151));
  lsbSC->SetToolTip(W8(u8"可快速得到收藏夹中的城市天气预报"));
  btnAddFavorite = new wxButton(this, wxID_ANY, W8(u8"加入收藏"));
  btnDelFavorite = new wxButton(this, wxID_ANY, W8(u8"删除收藏"));
  btnWeather = new wxButton(this, wxID_ANY, W8(u8"天气预报"));
  btnWend = new wxButton(this, wxID_ANY, W8(u8"风力预报"));
  btnWeatherServer = new wxButton(this, wxID_ANY, W8(u8"服务器"));
  btnClose = new wxButton(this, wxID_ANY, W8(u8"关闭"));
  auto* rule = new wxStaticLine(this, wxID_ANY);
  lblInfo = new wxStaticText(this, wxID_ANY, W8(u8"收藏夹"), wxDefaultPosition, wxDefaultSize,
                             wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_END);

  // Two equal columns beside the browser: the catalogue and the favourites.
  const int gap = Scaled(3);
  auto* side = new wxFlexGridSizer(2, gap, gap);
  side->AddGrowableRow(1);
  side->Add(cboProvince, 0, wxEXPAND);
  side->Add(favTitle, 0, wxALIGN_CENTER_VERTICAL);
  side->Add(lsbCity, 1, wxEXPAND);
  side->Add(lsbSC, 1, wxEXPAND);
  for (wxWindow* b : {btnAddFavorite, btnDelFavorite, btnWeather, btnWend, btnWeatherServer, btnClose})
    side->Add(b, 0, wxEXPAND);
  auto* top = new wxBoxSizer(wxHORIZONTAL);
  top->Add(Win(*browser_), 1, wxEXPAND | wxRIGHT, gap);
  top->Add(side, 0, wxEXPAND | wxTOP, gap);
  auto* all = new wxBoxSizer(wxVERTICAL);
  all->Add(top, 1, wxEXPAND | wxALL, gap);
  all->Add(rule, 0, wxEXPAND | wxLEFT | wxRIGHT, gap);
  all->Add(lblInfo, 0, wxEXPAND | wxALL, Scaled(4));
  SetSizer(all);
  FitColumns();

  suiPopupMenu1 = new wxMenu;
  nCC = suiPopupMenu1->AppendCheckItem(wxID_ANY, W8(u8"中央气象台（速度中）"));
  nOnline = suiPopupMenu1->AppendCheckItem(wxID_ANY, W8(u8"天气在线（速度慢，详细）"));
  nCN = suiPopupMenu1->AppendCheckItem(wxID_ANY, W8(u8"中国气象影视信息网（速度快）"));

  province_ = std::make_unique<WxList>(cboProvince);
  city_ = std::make_unique<WxList>(lsbCity);
  fav_ = std::make_unique<WxList>(lsbSC);
  info_ = std::make_unique<WxText>(lblInfo);
  wend_ = std::make_unique<WxControl>(btnWend);
  weather_ = std::make_unique<WxControl>(btnWeather);
  WeatherViews v;
  v.webBrowser1 = browser_.get();
  v.cboProvince = province_.get();
  v.lsbCity = city_.get();
  v.lsbSC = fav_.get();
  v.lblInfo = info_.get();
  v.btnWend = wend_.get();
  v.btnWeather = weather_.get();
  logic_ = std::make_unique<WeatherTab>(v);
  logic_->Repaint = [this] { lblInfo->Update(); };
  // The download runs on a worker so the window keeps painting; the worker
  // touches no window and uses only the manager, which lives until exit.
  logic_->RunQuery = [](std::function<void()> work, std::function<void()> done) {
    std::thread([work = std::move(work), done = std::move(done)]() mutable {
      work();
      PostToUi(std::move(done));
    }).detach();
  };
  logic_->OnBusy = [this](bool on) {
    if (on) wxBeginBusyCursor();
    else wxEndBusyCursor();
    // A pick during a query would be dropped: the menu waits for it.
    MirrorMenu();
  };

  auto& L = *logic_;
  cboProvince->Bind(wxEVT_CHOICE, [this, &L](wxCommandEvent&) { Guard([&] { L.cboProvinceChange(); }); });
  lsbCity->Bind(wxEVT_LISTBOX, [this, &L](wxCommandEvent&) { Guard([&] { L.lsbCityClick(); }); });
  lsbSC->Bind(wxEVT_LISTBOX, [this, &L](wxCommandEvent&) { Guard([&] { L.lsbSCClick(); }); });
  lsbCity->Bind(wxEVT_LISTBOX_DCLICK, [this, &L](wxCommandEvent&) {
    Guard([&] { L.lsbCityClick(); L.btnWeatherClick(); });
  });
  lsbSC->Bind(wxEVT_LISTBOX_DCLICK, [this, &L](wxCommandEvent&) {
    Guard([&] { L.lsbSCClick(); L.btnWeatherClick(); });
  });
  btnAddFavorite->Bind(wxEVT_BUTTON, [this, &L](wxCommandEvent&) { Guard([&] { L.btnAddFavoriteClick(); }); });
  btnDelFavorite->Bind(wxEVT_BUTTON, [this, &L](wxCommandEvent&) { Guard([&] { L.btnDelFavoriteClick(); }); });
  btnWeather->Bind(wxEVT_BUTTON, [this, &L](wxCommandEvent&) { Guard([&] { L.btnWeatherClick(); }); });
  btnWend->Bind(wxEVT_BUTTON, [this, &L](wxCommandEvent&) { Guard([&] { L.btnWendClick(); }); });
  btnWeatherServer->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { btnWeatherServerClick(); });
  btnClose->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { wxGetTopLevelParent(this)->Close(); });
  suiPopupMenu1->Bind(wxEVT_MENU, [this, &L](wxCommandEvent& e) {
    Guard([&] {
      if (e.GetId() == nCC->GetId()) L.nCCClick();
      else if (e.GetId() == nOnline->GetId()) L.nOnlineClick();
      else if (e.GetId() == nCN->GetId()) L.nCNClick();
    });
    MirrorMenu();
  });
  Bind(wxEVT_CONTEXT_MENU, [this](wxContextMenuEvent&) {
    MirrorMenu();
    PopupMenu(suiPopupMenu1);
  });
}

WeatherTabPanel::~WeatherTabPanel() {
  // A query still running ends its busy cursor without the menu, which may
  // be gone already.
  logic_->OnBusy = [](bool on) {
    if (!on) wxEndBusyCursor();
  };
}

void WeatherTabPanel::Guard(const std::function<void()>& fn) {
  // A fault in the logic shows a message instead of ending the program.
  try {
    fn();
  } catch (const std::exception& e) {
    wxMessageBox(wxString::FromUTF8(e.what()), W8(u8"错误"), wxOK | wxICON_ERROR, this);
  }
}

void WeatherTabPanel::MirrorMenu() {
  for (wxMenuItem* item : {nCC, nOnline, nCN}) item->Enable(!logic_->Busy());
  nCC->Check(logic_->nCCChecked());
  nOnline->Check(logic_->nOnlineChecked());
  nCN->Check(logic_->nCNChecked());
}

void WeatherTabPanel::LoadSettings() {
  logic_->LoadSettings();
  MirrorMenu();
  FitColumns();
}

void WeatherTabPanel::FitColumns() {
  // Both columns as wide as the widest text in them and a long place name:
  // the lists are refilled later with names not known now.
  wxWindow* column[] = {cboProvince, lsbCity,          lsbSC,   btnAddFavorite, btnDelFavorite, btnWeather,
                        btnWend,     btnWeatherServer, btnClose};
  int widest = GetTextExtent(W8(u8"黑龙江省")).x + wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, this) + Scaled(16);
  for (wxWindow* w : column) widest = std::max(widest, w->GetBestSize().x);
  cboProvince->SetMinSize(wxSize(widest, -1));
  for (wxListBox* l : {lsbCity, lsbSC}) l->SetMinSize(wxSize(widest, Scaled(100)));
}

void WeatherTabPanel::btnWeatherServerClick() {
  MirrorMenu();
  PopupMenu(suiPopupMenu1, ServerMenuPoint());
}

wxPoint WeatherTabPanel::ServerMenuPoint() {
  // Under the button; above it when the screen ends first (a menu that the
  // toolkit flipped round a point under the button would cover it).
  wxRect button = btnWeatherServer->GetRect();
  const int height = port::MenuHeight(suiPopupMenu1);
  int screenBottom = wxGetClientDisplayRect().GetBottom();
  if (ClientToScreen(button.GetBottomLeft()).y + height > screenBottom) return wxPoint(button.x, button.y - height);
  return wxPoint(button.x, button.GetBottom() + 1);
}

WeatherTabPanel* CreateWeatherTab(wxWindow* book, TabContext& ctx) { return new WeatherTabPanel(book, ctx); }

}  // namespace zel
