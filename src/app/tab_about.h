// The "关于" tab: the program text with its home-page link and the link
// labels. The panel mirrors the cursor and colours AboutTab decides.
#pragma once

#include <wx/stattext.h>
#include <wx/generic/stattextg.h>
#include <wx/textctrl.h>

#include <array>
#include <memory>

#include "app/tabs.h"
#include "app/wx_views.h"
#include "update/about_tab.h"

namespace zel {

class AboutTabPanel : public TabPanel {
 public:
  AboutTabPanel(wxWindow* book, TabContext& ctx);
  void Startup() override;  // start-up step 10
  void OnShown() override { PlaceLinkRect(); }

  AboutTab& Logic() { return *logic_; }

  wxTextCtrl* edtAbout;
  wxStaticText* lblDown;
  // Three download sites, then lblZelSoft.
  std::array<wxGenericStaticText*, AboutTab::kLinkCount> links{};
  wxGenericStaticText* lblZelSoft() { return links[AboutTab::kZelSoft]; }

 private:
  void MirrorLink(int i);
  void PlaceLinkRect();

  std::unique_ptr<WxText> text_;
  std::unique_ptr<WxControl> down_;
  std::unique_ptr<AboutTab> logic_;
};

}  // namespace zel
