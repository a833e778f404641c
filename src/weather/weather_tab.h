// The weather tab's handlers, free of any toolkit: the window forwards its
// events here and mirrors the menu state this class keeps.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "base/ui.h"
#include "weather/forecast.h"

namespace zel {

struct WeatherViews {
  Browser* webBrowser1 = nullptr;
  ListView* cboProvince = nullptr;  // drop-down: Selected() row, Item() texts
  ListView* lsbCity = nullptr;
  ListView* lsbSC = nullptr;
  TextView* lblInfo = nullptr;
  Control* btnWend = nullptr;
  Control* btnWeather = nullptr;
};

class WeatherTab {
 public:
  explicit WeatherTab(WeatherViews views);
  ~WeatherTab();

  // Start-up step 5: Sys.ini values are already loaded (LoadSysSettings).
  void LoadSettings();

  void cboProvinceChange();
  void lsbCityClick();
  void lsbSCClick();
  void btnWeatherClick();
  void btnWendClick();
  void btnAddFavoriteClick();
  void btnDelFavoriteClick();
  void nCCClick();
  void nOnlineClick();
  void nCNClick();
  void SaveFavorites();

  // Starts one prefetch worker per favourite (start-up's last step); returns
  // how many were started.
  int StartPrefetch();

  bool nCCChecked() const { return nCC_; }
  bool nOnlineChecked() const { return nOnline_; }
  bool nCNChecked() const { return nCN_; }
  bool FromFavorites() const { return fromFavorites_; }
  // Null when even the "default" template set could not be read.
  TForeCast* Manager() { return forecast_; }
  bool QueryEnabled() const { return queryEnabled_; }

  // Called before a download blocks the thread, so the status is visible.
  std::function<void()> Repaint;

  // How a query runs: work fetches (it touches no view), done shows the
  // result on the calling thread. Unset: both at once (tests, CLI). The
  // window runs work on a worker so it keeps painting.
  std::function<void(std::function<void()> work, std::function<void()> done)> RunQuery;
  // True when a query starts, false when it ends.
  std::function<void(bool)> OnBusy;
  // A query is under way: the query buttons and the server menu do nothing.
  bool Busy() const { return busy_; }

 private:
  bool ChooseCity(std::string& province, std::string& city);
  void Query(bool wind);
  void SetBusy(bool on);
  void SwitchSource(int n, bool& item);
  void SetInfo(const std::string& text);

  WeatherViews v_;
  TForeCast* forecast_ = nullptr;  // process-wide, never released
  bool nCC_ = false, nOnline_ = false, nCN_ = false;
  bool fromFavorites_ = false;
  bool queryEnabled_ = true;
  bool busy_ = false;
  // Results that arrive after this tab is gone are dropped.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace zel
