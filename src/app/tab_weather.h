#pragma once

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/listbox.h>
#include <wx/menu.h>
#include <wx/stattext.h>

#include <memory>

#include "app/tabs.h"
#include "app/wx_views.h"
#include "weather/weather_tab.h"

namespace zel {

class WeatherTabPanel : public TabPanel {
 public:
  WeatherTabPanel(wxWindow* book, TabContext& ctx);
  ~WeatherTabPanel() override;
  // Start-up step 5 (after Sys.ini has been read).
  void LoadSettings();
  // Start-up step 18.
  int StartPrefetch() { return logic_->StartPrefetch(); }

  WeatherTab& Logic() { return *logic_; }
  WxBrowser& Browser1() { return *browser_; }
  wxChoice* cboProvince;
  wxListBox *lsbCity, *lsbSC;
  wxButton *btnAddFavorite, *btnDelFavorite, *btnWeather, *btnWend, *btnWeatherServer, *btnClose;
  wxStaticText* lblInfo;
  wxMenu* suiPopupMenu1;
  wxMenuItem *nCC, *nOnline, *nCN;

  void btnWeatherServerClick();
  // Where the server menu opens, in this panel's coordinates.
  wxPoint ServerMenuPoint();

 private:
  void MirrorMenu();
  void FitColumns();
  void Guard(const std::function<void()>& fn);

  std::unique_ptr<WxBrowser> browser_;
  std::unique_ptr<WxList> province_, city_, fav_;
  std::unique_ptr<WxText> info_;
  std::unique_ptr<WxControl> wend_, weather_;
  std::unique_ptr<WeatherTab> logic_;
};

}  // namespace zel
