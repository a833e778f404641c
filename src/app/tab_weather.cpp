#include "app/tab_weather.h"

#include <wx/msgdlg.h>
#include <wx/statline.h>

#include "app/wx_util.h"

namespace zel {

WeatherTabPanel::WeatherTabPanel(wxWindow* book, TabContext&) : TabPanel(book, wxID_ANY) {
  // Forecast pages carry values cut out of downloaded pages: no scripts.
  browser_ = std::make_unique<WxBrowser>(this, wxPoint(1, 1), wxSize(386, 246), false);
  cboProvince = new wxChoice(this, wxID_ANY, wxPoint(391, 2), wxSize(87, 24));
  lsbCity = new wxListBox(this, wxID_ANY, wxPoint(391, 28), wxSize(87, 148));
  lsbCity->SetToolTip(W8(u8"双击可得到该城市的天气预报"));
  new wxStaticText(this, wxID_ANY, W8(u8"收藏夹"), wxPoint(482, 8));
  lsbSC = new wxListBox(this, wxID_ANY, wxPoint(480, 28), wxSize(87, 148));
  lsbSC->SetToolTip(W8(u8"可快速得到收藏夹中的城市天气预报"));
  btnAddFavorite = new wxButton(this, wxID_ANY, W8(u8"加入收藏"), wxPoint(392, 179), wxSize(86, 23));
  btnDelFavorite = new wxButton(this, wxID_ANY, W8(u8"删除收藏"), wxPoint(481, 179), wxSize(86, 23));
  btnWeather = new wxButton(this, wxID_ANY, W8(u8"天气预报"), wxPoint(392, 203), wxSize(86, 23));
  btnWend = new wxButton(this, wxID_ANY, W8(u8"风力预报"), wxPoint(480, 204), wxSize(86, 23));
  btnWeatherServer = new wxButton(this, wxID_ANY, W8(u8"服务器"), wxPoint(392, 228), wxSize(86, 23));
  btnClose = new wxButton(this, wxID_ANY, W8(u8"关闭"), wxPoint(481, 228), wxSize(86, 23));
  new wxStaticLine(this, wxID_ANY, wxPoint(2, 252), wxSize(565, 2));
  lblInfo = new wxStaticText(this, wxID_ANY, W8(u8"收藏夹"), wxPoint(7, 258), wxSize(560, -1));

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

void WeatherTabPanel::Guard(const std::function<void()>& fn) {
  // A fault in the logic shows a message instead of ending the program.
  try {
    fn();
  } catch (const std::exception& e) {
    wxMessageBox(wxString::FromUTF8(e.what()), W8(u8"错误"), wxOK | wxICON_ERROR, this);
  }
}

void WeatherTabPanel::MirrorMenu() {
  nCC->Check(logic_->nCCChecked());
  nOnline->Check(logic_->nOnlineChecked());
  nCN->Check(logic_->nCNChecked());
}

void WeatherTabPanel::LoadSettings() {
  logic_->LoadSettings();
  MirrorMenu();
}

void WeatherTabPanel::btnWeatherServerClick() {
  MirrorMenu();
  // The window's outer position plus the controls' offsets in their
  // parents, and 20 pixels more below the button.
  wxWindow* top = wxGetTopLevelParent(this);
  wxPoint button = btnWeatherServer->GetPosition();
  wxPoint screen(top->GetPosition().x + button.x,
                 top->GetPosition().y + GetParent()->GetPosition().y + button.y + btnWeatherServer->GetSize().y + 20);
  PopupMenu(suiPopupMenu1, ScreenToClient(screen));
}

WeatherTabPanel* CreateWeatherTab(wxWindow* book, TabContext& ctx) { return new WeatherTabPanel(book, ctx); }

}  // namespace zel
