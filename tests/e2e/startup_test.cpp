// The real window started on a prepared application folder.
#include <gtest/gtest.h>
#include <wx/menu.h>

#include <chrono>
#include <thread>

#include "app/main_frame.h"
#include "app/tab_weather.h"
#include "base/appenv.h"
#include "base/ini.h"
#include "e2e/e2e_util.h"
#include "support/fakes.h"
#include "support/testutil.h"

using namespace zel;
using zel::test::AppFolder;
using zel::test::G;

namespace {

void PrepareApp(const AppFolder& app) {
  app.CopyShippedData();
  app.Write("Weather.ini",
            G(u8"[Province]\r\n北京=\r\n广东=\r\n[北京]\r\n北京=54511\r\n[广东]\r\n广州=59287\r\n深圳=59493\r\n"));
  app.Write("Favorite.ini", "");
  app.UseServer("http://127.0.0.1:9");  // nothing listens there
}

}  // namespace

TEST(WindowStartup, CaptionTabsListsFavouritesAndServerMenu) {
  AppFolder app;
  PrepareApp(app);
  test::FakeShell shell;
  auto* f = new Tfrm_main(app.path());
  f->SetShell(&shell);
  f->Show();
  e2e::Pump(300);

  EXPECT_EQ(f->GetTitle(), wxString::FromUTF8("Zelmora天气预报5.9"));
  ASSERT_EQ(f->PageControl1->GetPageCount(), 9u) << "the ID-card tab has no tab button";
  const char* captions[] = {"天气预报", "万年历", "手机查询", "IP地址查询", "邮编区号", "手机号吉祥算", "两人关系", "设置", "关于"};
  for (size_t i = 0; i < 9; ++i) EXPECT_EQ(f->PageControl1->GetPageText(i), wxString::FromUTF8(captions[i]));
  EXPECT_EQ(f->PageControl1->GetSelection(), 0);
  EXPECT_FALSE(f->TabIDCard->IsShown());

  WeatherTabPanel& w = *f->TabSheet1;
  ASSERT_EQ(w.cboProvince->GetCount(), 2u);
  EXPECT_EQ(w.cboProvince->GetStringSelection(), wxString::FromUTF8("北京"));
  EXPECT_EQ(w.lsbCity->GetCount(), 1u);
  EXPECT_EQ(w.lsbCity->GetSelection(), wxNOT_FOUND);
  EXPECT_EQ(w.lblInfo->GetLabel(), wxString::FromUTF8("Korrin软件"));
  EXPECT_EQ(f->PrefetchThreadsStarted(), 0) << "no favourites, no prefetch";

  // A favourite added and deleted, checked on disk.
  e2e::SelectRow(w.cboProvince, 1);
  ASSERT_EQ(w.lsbCity->GetCount(), 2u);
  e2e::SelectRow(w.lsbCity, 1);
  e2e::Click(w.btnAddFavorite);
  EXPECT_EQ(w.lsbSC->GetCount(), 1u);
  EXPECT_EQ(app.Read("Favorite.ini"), G(u8"[Favorite]\r\n广东-深圳=\r\n"));
  e2e::SelectRow(w.lsbSC, 0);
  e2e::Click(w.btnDelFavorite);
  EXPECT_EQ(w.lsbSC->GetCount(), 0u);
  EXPECT_EQ(app.Read("Favorite.ini"), "");

  // The server menu switches the second button.
  EXPECT_TRUE(w.nCC->IsChecked());
  EXPECT_FALSE(w.btnWend->IsEnabled());
  wxCommandEvent pick(wxEVT_MENU, w.nOnline->GetId());
  w.suiPopupMenu1->ProcessEvent(pick);
  EXPECT_TRUE(w.nOnline->IsChecked());
  EXPECT_FALSE(w.nCC->IsChecked());
  EXPECT_TRUE(w.btnWend->IsEnabled());
  EXPECT_EQ(w.btnWend->GetLabel(), wxString::FromUTF8("风力预报"));
  // The switch queries the new source; the menu waits for that query.
  ASSERT_TRUE(e2e::PumpUntil([&] { return !w.Logic().Busy(); }));
  wxCommandEvent pickCn(wxEVT_MENU, w.nCN->GetId());
  w.suiPopupMenu1->ProcessEvent(pickCn);
  EXPECT_EQ(w.btnWend->GetLabel(), wxString::FromUTF8("天气趋势"));
  EXPECT_TRUE(app.Exists("Download")) << "start-up creates the download folder";
  f->Destroy();
  e2e::Pump(100);
}

TEST(WindowStartup, ThreeFavouritesStartThreePrefetchWorkers) {
  AppFolder app;
  PrepareApp(app);
  app.Write("Favorite.ini", G(u8"[Favorite]\r\n广东-广州=\r\n广东-深圳=\r\n北京-北京=\r\n"));
  auto* f = new Tfrm_main(app.path());
  EXPECT_EQ(f->PrefetchThreadsStarted(), 3);
  EXPECT_EQ(f->TabSheet1->lsbSC->GetCount(), 3u);
  EXPECT_EQ(f->TabSheet1->lsbSC->GetSelection(), wxNOT_FOUND);
  f->Destroy();
  e2e::Pump(100);
}

// A pick in the server menu while a query runs: the menu is unavailable
// until the query ends, and the check mark and Sys.ini never disagree.
TEST(WindowStartup, ServerMenuWaitsForTheQueryAndAgreesWithSysIni) {
  AppFolder app;
  PrepareApp(app);
  test::LoopbackServer slow;  // every page after a while, none the sources read
  slow.http().Get(".*", [](const httplib::Request&, httplib::Response& res) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    res.set_content("<html></html>", "text/html");
  });
  slow.Start();
  app.UseServer(slow.base());
  auto* f = new Tfrm_main(app.path());
  f->Show();
  WeatherTabPanel& w = *f->TabSheet1;
  e2e::SelectRow(w.lsbCity, 0);
  auto sysIni = [&] { return IniFile(app / "Sys.ini").ReadString("main", "WeatherServer", G(u8"中央气象台")); };

  struct Case {
    wxMenuItem* pick;
    bool duringQuery;
    const char8_t* server;  // Sys.ini's WeatherServer afterwards
    wxMenuItem* checked;
  };
  const Case cases[] = {
      {w.nOnline, true, u8"中央气象台", w.nCC},
      {w.nOnline, false, u8"天气在线", w.nOnline},
      {w.nCN, true, u8"天气在线", w.nOnline},
      {w.nCN, false, u8"中国气象影视信息网", w.nCN},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(e2e::PumpUntil([&] { return !w.Logic().Busy(); }));
    if (c.duringQuery) {
      e2e::Click(w.btnWeather);
      ASSERT_TRUE(w.Logic().Busy());
      for (wxMenuItem* item : {w.nCC, w.nOnline, w.nCN}) EXPECT_FALSE(item->IsEnabled());
    } else {
      for (wxMenuItem* item : {w.nCC, w.nOnline, w.nCN}) EXPECT_TRUE(item->IsEnabled());
    }
    wxCommandEvent pick(wxEVT_MENU, c.pick->GetId());
    w.suiPopupMenu1->ProcessEvent(pick);
    EXPECT_EQ(sysIni(), G(c.server));
    for (wxMenuItem* item : {w.nCC, w.nOnline, w.nCN}) EXPECT_EQ(item->IsChecked(), item == c.checked);
  }
  ASSERT_TRUE(e2e::PumpUntil([&] { return !w.Logic().Busy(); }));
  for (wxMenuItem* item : {w.nCC, w.nOnline, w.nCN}) EXPECT_TRUE(item->IsEnabled()) << "available again";
  f->Destroy();
  e2e::Pump(100);
}
