// The tabs of the main window. Each is a panel with its start-up step; the
// frame creates them in tab order and runs the steps in start-up order.
#pragma once

#include <wx/notebook.h>
#include <wx/panel.h>

#include "base/ui.h"

namespace zel {

class TabPanel : public wxPanel {
 public:
  using wxPanel::wxPanel;
  // This tab's start-up step.
  virtual void Startup() {}
  // The tab became the visible page.
  virtual void OnShown() {}
};

class WeatherTabPanel;

// Everything a tab may need from the window.
class TForeCast;

// Everything a tab may need from the window. Tabs keep a reference to it
// and read the members when they need them (tests swap the shell).
struct TabContext {
  Shell* shell = nullptr;
  // The window's forecast manager (null until start-up step 5 made it).
  TForeCast* forecast = nullptr;
};

WeatherTabPanel* CreateWeatherTab(wxWindow* book, TabContext& ctx);
TabPanel* CreateCalendarTab(wxWindow* book, TabContext& ctx);     // "万年历"
TabPanel* CreateMobileTab(wxWindow* book, TabContext& ctx);       // "手机查询"
TabPanel* CreateIpTab(wxWindow* book, TabContext& ctx);           // "IP地址查询"
TabPanel* CreateIdCardTab(wxWindow* book, TabContext& ctx);       // "身份证查询", no tab button
TabPanel* CreateMailTab(wxWindow* book, TabContext& ctx);         // "邮编区号"
TabPanel* CreateTelLuckyTab(wxWindow* book, TabContext& ctx);     // "手机号吉祥算"
TabPanel* CreateRelationTab(wxWindow* book, TabContext& ctx);     // "两人关系"
TabPanel* CreateSettingsTab(wxWindow* book, TabContext& ctx);     // "设置"
TabPanel* CreateAboutTab(wxWindow* book, TabContext& ctx);        // "关于"

// Start-up step 17: the data update thread (detached).
void StartUpdateThread();

}  // namespace zel
