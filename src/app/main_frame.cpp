#include "app/main_frame.h"

#include <wx/app.h>
#include <wx/sizer.h>
#include <wx/translation.h>
#include <wx/utils.h>

#include <algorithm>

#include "app/port/app.h"
#include "app/port/widgets.h"
#include "app/tab_layout.h"
#include "app/tab_weather.h"
#include "app/wx_util.h"
#include "base/appenv.h"
#include "base/companion_launch.h"
#include "base/files.h"
#include "base/gbk.h"

namespace zel {

void PostToUi(std::function<void()> fn) {
  if (wxTheApp) wxTheApp->CallAfter(std::move(fn));
}

void UseChineseStockTexts() {
  port::PreferChineseNativeTexts();
  port::AddCatalogFolders();
  auto* texts = new wxTranslations;
  texts->SetLanguage("zh_CN");
  texts->AddStdCatalog();
  wxTranslations::Set(texts);
}

namespace {
// The original window: 580 x 390 at 96 dpi, a 60-pixel banner on top.
constexpr int kWidth = 580, kHeight = 390, kBanner = 60;
}

Tfrm_main::Tfrm_main(const std::string& appPath)
    : wxFrame(nullptr, wxID_ANY, W8(u8"Zelmora天气预报"), wxDefaultPosition, wxDefaultSize,
              wxCAPTION | wxSYSTEM_MENU | wxMINIMIZE_BOX | wxCLOSE_BOX) {
  ctx_.shell = this;
  destroyRetry_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { Destroy(); });
  serverWatch_.Bind(wxEVT_TIMER, [](wxTimerEvent&) { WatchCompanionServers(); });
  serverWatch_.Start(1000);
  Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) {
    Destroy();
    if (exitOnClose_) wxTheApp->ExitMainLoop();
  });
  SetFont(wxFont(9, wxFONTFAMILY_DEFAULT, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL, false, port::UiFontFace()));
  banner_ = std::make_unique<WxBrowser>(this, wxDefaultPosition, Scaled(kWidth, kBanner));
  PageControl1 = new wxNotebook(this, wxID_ANY);
  CompactTabs(PageControl1);

  TabSheet1 = CreateWeatherTab(PageControl1, ctx_);
  TabWNL = CreateCalendarTab(PageControl1, ctx_);
  TabSJ = CreateMobileTab(PageControl1, ctx_);
  TabIP = CreateIpTab(PageControl1, ctx_);
  // The ID-card tab exists but has no tab button: a hidden panel.
  TabIDCard = CreateIdCardTab(this, ctx_);
  TabIDCard->Hide();
  TabMail = CreateMailTab(PageControl1, ctx_);
  TabTelLucky = CreateTelLuckyTab(PageControl1, ctx_);
  TabLRGX = CreateRelationTab(PageControl1, ctx_);
  TabSet = CreateSettingsTab(PageControl1, ctx_);
  TabAbout = CreateAboutTab(PageControl1, ctx_);
  PageControl1->AddPage(TabSheet1, W8(u8"天气预报"));
  PageControl1->AddPage(TabWNL, W8(u8"万年历"));
  PageControl1->AddPage(TabSJ, W8(u8"手机查询"));
  PageControl1->AddPage(TabIP, W8(u8"IP地址查询"));
  PageControl1->AddPage(TabMail, W8(u8"邮编区号"));
  PageControl1->AddPage(TabTelLucky, W8(u8"手机号吉祥算"));
  PageControl1->AddPage(TabLRGX, W8(u8"两人关系"));
  PageControl1->AddPage(TabSet, W8(u8"设置"));
  PageControl1->AddPage(TabAbout, W8(u8"关于"));
  PageControl1->Bind(wxEVT_NOTEBOOK_PAGE_CHANGED, [this](wxBookCtrlEvent& e) {
    e.Skip();
    if (auto* tab = dynamic_cast<TabPanel*>(PageControl1->GetPage(static_cast<size_t>(e.GetSelection()))))
      tab->OnShown();
  });

  auto* sizer = new wxBoxSizer(wxVERTICAL);
  Win(*banner_)->SetMinSize(wxSize(1, Scaled(kBanner)));
  sizer->Add(Win(*banner_), 0, wxEXPAND);
  sizer->Add(PageControl1, 1, wxEXPAND);
  SetSizer(sizer);

  FormCreate(appPath);
  // Sized after start-up, when the lists hold the names they must show.
  FitToLayout();
  Centre();
}

void Tfrm_main::FitToLayout() {
  FitTextHeights(this);
  wxSize need = GetSizer()->GetMinSize();
  need.x = std::max(need.x, TabStripWidth(PageControl1));
  const wxSize least = Scaled(kWidth, kHeight);
  wxSize size(std::max(need.x, least.x), std::max(need.y, least.y));
  // The original proportions: grow the side that falls short.
  if (size.x * kHeight < size.y * kWidth)
    size.x = (size.y * kWidth + kHeight - 1) / kHeight;
  else
    size.y = (size.x * kHeight + kWidth - 1) / kWidth;
  SetMinClientSize(size);
  SetMaxClientSize(size);
  SetClientSize(size);
  Layout();
}

Tfrm_main::~Tfrm_main() = default;

bool Tfrm_main::Destroy() {
  StopBrowserEvents(this);
  if (ScriptRunning()) {
    Hide();
    if (!destroyRetry_.IsRunning()) destroyRetry_.StartOnce(20);
    return true;
  }
  destroyRetry_.Stop();
  return wxFrame::Destroy();
}

void Tfrm_main::FormCreate(const std::string& appPath) {
  SetAppPath(appPath);                          // 1
  CreateDir(AppPath() + "Download");            // 2
  RemoveLeftoverTemps(AppPath());  // what a killed run left half-written
  SetTitle(W8(u8"Zelmora天气预报") + kVersion);  // 3
  PageControl1->SetSelection(0);                // 4
  LoadSysSettings();                            // 5
  TabSheet1->LoadSettings();
  ctx_.forecast = TabSheet1->Logic().Manager();
  TabWNL->Startup();                            // 6
  TabSJ->Startup();                             // 7
  TabIP->Startup();                             // 8
  TabMail->Startup();                           // 9
  TabAbout->Startup();                          // 10
  banner_->Navigate(AppPath() + PathPiece(Startup().adPage));  // 11
  TabIDCard->Startup();                         // 12
  TabTelLucky->Startup();                       // 13
  TabLRGX->Startup();                           // 14
  TabSet->Startup();                            // 15, 16
  StartUpdateThread();                          // 17
  prefetchStarted_ = TabSheet1->StartPrefetch();  // 18
}

void Tfrm_main::ShowInfoBox(const std::string& text, const std::string& caption) {
  InfoBox box(this, text, caption);
  box.ShowModal();
}

void Tfrm_main::OpenInBrowserWindow(const std::string& url) { wxLaunchDefaultBrowser(W(url), wxBROWSER_NEW_WINDOW); }

}  // namespace zel
