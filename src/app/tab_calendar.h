// The "万年历" tab: year spin box, month list and the month page browser.
#pragma once

#include <wx/choice.h>
#include <wx/spinctrl.h>
#include <wx/stattext.h>
// After wx/stattext.h, which it builds on.
#include <wx/generic/stattextg.h>

#include <memory>

#include "app/tabs.h"
#include "app/wx_views.h"
#include "calendar/calendar_page.h"

namespace zel {

class CalendarTabPanel : public TabPanel {
 public:
  CalendarTabPanel(wxWindow* book, TabContext& ctx);
  ~CalendarTabPanel() override;

  // Start-up step 6.
  void Startup() override;

  CalendarPage& Logic() { return *logic_; }
  WxBrowser& BrowserWNL() { return *browser_; }
  wxStaticText* lblWNL;
  wxGenericStaticText* Label14;  // drawn by wx so it receives mouse events
  wxSpinCtrl* speWNLYear;
  wxChoice* cboWNL;

 private:
  void Guard(const std::function<void()>& fn);
  void MirrorLink();
  void YearChanged();

  std::unique_ptr<WxBrowser> browser_;
  std::unique_ptr<WxText> label_;
  std::unique_ptr<TextView> year_;
  std::unique_ptr<WxList> month_;
  std::unique_ptr<CalendarPage> logic_;
  wxString lastYearText_;
  wxSizer* yearBox_ = nullptr;  // the date label wraps to its width
};

}  // namespace zel
