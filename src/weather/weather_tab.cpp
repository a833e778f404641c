#include "weather/weather_tab.h"

#include <exception>
#include <mutex>

#include "base/appenv.h"
#include "base/gbk.h"
#include "weather/memo.h"
#include "weather/prefetch.h"
#include "weather/query.h"
#include "weather/status.h"

namespace zel {

WeatherTab::WeatherTab(WeatherViews views) : v_(views) {}

WeatherTab::~WeatherTab() {
  if (busy_) SetBusy(false);
}

void WeatherTab::SetBusy(bool on) {
  busy_ = on;
  if (OnBusy) OnBusy(on);
}

void WeatherTab::SetInfo(const std::string& text) {
  v_.lblInfo->SetText(text);
  if (Repaint) Repaint();
}

void WeatherTab::LoadSettings() {
  v_.lblInfo->SetText(G(u8"Korrin软件"));
  const std::string& server = Startup().weatherServer;
  int source;
  if (server == OnlineCaption()) {
    nOnline_ = true;
    v_.btnWend->SetCaption(G(u8"风力预报"));
    source = 1;
  } else if (server == CNCaption()) {
    nCN_ = true;
    v_.btnWend->SetCaption(G(u8"天气趋势"));
    source = 3;
  } else {
    nCC_ = true;
    source = 2;
  }
  // The manager lives for the whole run; workers and handlers may use it
  // until the process ends.
  forecast_ = new TForeCast;
  if (!forecast_->TemplatesLoaded && forecast_->TemplateName != "default") {
    // An unreadable set falls back to the shipped one for this run.
    if (forecast_->LoadTemplates("default")) {
      forecast_->TemplateName = "default";
      SetTemplateName("default");
      forecast_->TemplatesLoaded = true;
    }
  }
  forecast_->SetSource(source);
  v_.btnWend->Enable(!nCC_);
  if (v_.webBrowser1) v_.webBrowser1->Navigate(AppPath() + PathPiece(Startup().facePage));

  v_.cboProvince->Clear();
  for (const auto& p : forecast_->Provinces) v_.cboProvince->Add(p);
  v_.lsbCity->Clear();
  if (!forecast_->Provinces.empty()) {
    v_.cboProvince->Select(0);
    forecast_->LoadCities(v_.cboProvince->Item(0));
    for (const auto& c : forecast_->Cities) v_.lsbCity->Add(c);
  }
  v_.lsbSC->Clear();
  for (const auto& c : forecast_->FavCities) v_.lsbSC->Add(c);

  if (!forecast_->TemplatesLoaded) {
    queryEnabled_ = false;
    if (v_.btnWeather) v_.btnWeather->Enable(false);
    v_.btnWend->Enable(false);
    v_.lblInfo->SetText(G(u8"模板文件无法读取，天气预报不可用，请检查Template文件夹！"));
  }
}

void WeatherTab::cboProvinceChange() {
  int sel = v_.cboProvince->Selected();
  std::string province = sel >= 0 ? v_.cboProvince->Item(sel) : std::string();
  forecast_->LoadCities(province);
  v_.lsbCity->Clear();
  for (const auto& c : forecast_->Cities) v_.lsbCity->Add(c);
}

namespace {
std::string ComboText(ListView* combo) {
  int sel = combo->Selected();
  return sel >= 0 ? combo->Item(sel) : std::string();
}
}  // namespace

void WeatherTab::lsbCityClick() {
  fromFavorites_ = false;
  int sel = v_.lsbCity->Selected();
  if (sel >= 0) v_.lblInfo->SetText(ComboText(v_.cboProvince) + " " + v_.lsbCity->Item(sel));
}

void WeatherTab::lsbSCClick() {
  fromFavorites_ = true;
  int sel = v_.lsbSC->Selected();
  if (sel >= 0) v_.lblInfo->SetText(forecast_->FavoriteProvince(sel) + " " + v_.lsbSC->Item(sel));
}

bool WeatherTab::ChooseCity(std::string& province, std::string& city) {
  int fav = v_.lsbSC->Selected(), row = v_.lsbCity->Selected();
  if (fav < 0 && row < 0) return false;
  // The list named by the flag may have lost its selection (province
  // changed, favourite deleted); then the other list's selection is used.
  bool useFav = fromFavorites_ ? fav >= 0 : row < 0;
  if (useFav) {
    province = forecast_->FavoriteProvince(fav);
    city = v_.lsbSC->Item(fav);
  } else {
    province = ComboText(v_.cboProvince);
    city = v_.lsbCity->Item(row);
  }
  return true;
}

void WeatherTab::btnWeatherClick() { Query(false); }
void WeatherTab::btnWendClick() { Query(true); }

void WeatherTab::Query(bool wind) {
  std::string province, city;
  if (busy_ || !queryEnabled_ || !ChooseCity(province, city)) return;
  SetInfo(G(u8"正在读取数据（") + city + G(u8"）..."));
  SetBusy(true);
  struct Result {
    PageKeeper browser;
    std::string status;
  };
  auto result = std::make_shared<Result>();
  TForeCast* m = forecast_;
  auto work = [m, result, province, city, wind] {
    // The manager is the window's alone; the lock keeps a template switch
    // from changing it under the query.
    std::lock_guard<std::mutex> lock(*m->QueryLock);
    try {
      result->status = wind ? QueryWind(*m, result->browser, province, city)
                            : QueryForecast(*m, result->browser, province, city);
    } catch (const std::exception& e) {
      // A fault must not end the program from a worker; it is shown instead.
      result->status = G(u8"有错误发生，错误原因：") + e.what();
    }
  };
  std::weak_ptr<bool> alive = alive_;
  auto done = [this, alive, result] {
    if (alive.expired()) return;
    // The page first, then the status, as a query on this thread would.
    if (result->browser.shown) v_.webBrowser1->ShowHtml(result->browser.page);
    SetBusy(false);
    SetInfo(result->status);
  };
  if (RunQuery) {
    RunQuery(std::move(work), std::move(done));
  } else {
    work();
    done();
  }
}

void WeatherTab::SwitchSource(int n, bool& item) {
  if (item || busy_) return;
  nCC_ = nOnline_ = nCN_ = false;
  item = true;
  forecast_->SetSource(n);
  v_.btnWend->Enable(n != 2 && queryEnabled_);
  v_.btnWend->SetCaption(n == 3 ? G(u8"天气趋势") : G(u8"风力预报"));
  btnWeatherClick();
}

void WeatherTab::nCCClick() { SwitchSource(2, nCC_); }
void WeatherTab::nOnlineClick() { SwitchSource(1, nOnline_); }
void WeatherTab::nCNClick() { SwitchSource(3, nCN_); }

void WeatherTab::btnAddFavoriteClick() {
  int sel = v_.lsbCity->Selected();
  if (sel < 0) return;
  std::string city = v_.lsbCity->Item(sel), province = ComboText(v_.cboProvince);
  for (int i = 0; i < v_.lsbSC->Count(); ++i)
    if (v_.lsbSC->Item(i) == city && forecast_->FavoriteProvince(i) == province) return;
  if (static_cast<size_t>(v_.lsbSC->Count()) >= kMaxFavorites) {
    // One more would be saved but not shown at the next start.
    v_.lblInfo->SetText(G(u8"收藏夹已满（最多") + std::to_string(kMaxFavorites) + G(u8"个城市），请先删除不用的收藏！"));
    return;
  }
  v_.lsbSC->Add(city);
  forecast_->AddFavorite(province, city);
  SaveFavorites();
}

void WeatherTab::btnDelFavoriteClick() {
  int i = v_.lsbSC->Selected();
  if (i < 0) return;
  forecast_->DeleteFavorite(i);
  v_.lsbSC->Delete(i);
  // Some lists move the selection to a neighbour; a second click must not
  // delete a favourite the user never chose.
  v_.lsbSC->Select(-1);
  SaveFavorites();
}

void WeatherTab::SaveFavorites() {
  TextList provinces, cities;
  for (int i = 0; i < v_.lsbSC->Count(); ++i) {
    provinces.push_back(forecast_->FavoriteProvince(i));
    cities.push_back(v_.lsbSC->Item(i));
  }
  SaveFavoritesFile(provinces, cities, forecast_->FavBeyond);
}

int WeatherTab::StartPrefetch() {
  if (!queryEnabled_) return 0;
  int n = v_.lsbSC->Count();
  for (int i = 0; i < n; ++i) StartWeatherThr(forecast_->FavoriteProvince(i), v_.lsbSC->Item(i), std::to_string(i + 1));
  return n;
}

}  // namespace zel
