#include <wx/app.h>

#include <cstdio>
#include <cstdlib>

#include "app/main_frame.h"
#include "app/port/app.h"
#include "app/wx_util.h"
#include "base/appenv.h"
#include "base/companion_launch.h"

namespace zel {

class ZelmoraApp : public wxApp {
 public:
  bool OnInit() override {
    SetAppName("Zelmora");
    UseChineseStockTexts();
    SetAppDisplayName(W8(u8"Zelmora天气预报"));
    // A session ending (SIGTERM) or Ctrl+C closes the window the normal way;
    // taken over before start-up, which already starts the workers.
    port::OnSessionEnd([] {
      if (auto* top = wxTheApp->GetTopWindow()) top->Close(true);
    });
    // Installed: the user's own folder; the lookup and weather servers
    // started here when nothing answers on their loopback addresses.
    AppFolders folders = PrepareAppFolders(ExecutableFolder());
    StartCompanionServers(folders, ExecutableFolder());
    auto* frame = new Tfrm_main(folders.app);
    frame->SetExitOnClose(true);
    frame->Show();
    return true;
  }

  int OnExit() override {
    // Every setting was written when it changed. Prefetch and update
    // workers may still be downloading: end the process here instead of
    // running global destructors underneath them.
    StopCompanionServers();
    std::fflush(nullptr);
    std::_Exit(0);
  }
};

}  // namespace zel

wxIMPLEMENT_APP(zel::ZelmoraApp);
