// frm_main: the one window. Creating it runs the whole start-up sequence.
#pragma once

#include <wx/frame.h>
#include <wx/notebook.h>
#include <wx/timer.h>

#include <memory>

#include "app/tabs.h"
#include "app/wx_views.h"

namespace zel {

class WeatherTabPanel;

// The toolkit's own texts (dialog buttons, the text fields' menus, wx's
// dialogs) in Chinese, whatever language the desktop speaks: from GTK's
// and wx's Chinese message catalogues. Call once the toolkit is up.
void UseChineseStockTexts();

class Tfrm_main : public wxFrame, public Shell {
 public:
  // appPath: the application folder (the executable's folder in the
  // program; a prepared folder in tests).
  explicit Tfrm_main(const std::string& appPath);
  ~Tfrm_main() override;

  // Waits while a page script runs: its nested event loop must not see
  // the window deleted underneath the handler that started it.
  bool Destroy() override;

  void ShowInfoBox(const std::string& text, const std::string& caption) override;
  void OpenInBrowserWindow(const std::string& url) override;

  // The program's window ends the program when it closes, whether or not
  // the toolkit gets round to deleting it (workers may still be running).
  void SetExitOnClose(bool on) { exitOnClose_ = on; }

  // Tests replace the shell so no dialog or outside browser opens.
  void SetShell(Shell* shell) { ctx_.shell = shell; }

  wxNotebook* PageControl1 = nullptr;
  WeatherTabPanel* TabSheet1 = nullptr;
  TabPanel *TabWNL = nullptr, *TabSJ = nullptr, *TabIP = nullptr, *TabIDCard = nullptr, *TabMail = nullptr,
           *TabTelLucky = nullptr, *TabLRGX = nullptr, *TabSet = nullptr, *TabAbout = nullptr;
  WxBrowser& WebBrowserAD() { return *banner_; }
  int PrefetchThreadsStarted() const { return prefetchStarted_; }

 private:
  void FormCreate(const std::string& appPath);
  // Fixes the window at the size its layout needs, in the original
  // proportions and never below the original size.
  void FitToLayout();

  TabContext ctx_;
  wxTimer destroyRetry_;
  wxTimer serverWatch_;  // restarts a companion server of ours that has gone
  bool exitOnClose_ = false;
  std::unique_ptr<WxBrowser> banner_;
  int prefetchStarted_ = 0;
};

}  // namespace zel
