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

 private:
  bool ChooseCity(std::string& province, std::string& city);
  void SwitchSource(int n, bool& item);
  void SetInfo(const std::string& text);

  WeatherViews v_;
  TForeCast* forecast_ = nullptr;  // process-wide, never released
  bool nCC_ = false, nOnline_ = false, nCN_ = false;
  bool fromFavorites_ = false;
  bool queryEnabled_ = true;
};

}  // namespace zel
