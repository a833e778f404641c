#include <wx/app.h>

#include "app/main_frame.h"
#include "app/wx_util.h"
#include "base/appenv.h"

namespace zel {

class ZelmoraApp : public wxApp {
 public:
  bool OnInit() override {
    SetAppName("Zelmora");
    SetAppDisplayName(W8(u8"Zelmora天气预报"));
    auto* frame = new Tfrm_main(ExecutableFolder());
    frame->Show();
    return true;
  }
};

}  // namespace zel

wxIMPLEMENT_APP(zel::ZelmoraApp);
