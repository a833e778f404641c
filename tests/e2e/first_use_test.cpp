// What a new user meets in the first minutes: favourites, the calendar's
// year box, lookups without a server, a slow forecast, and a light start.
#include <gtk/gtk.h>
#include <gtest/gtest.h>
#include <wx/utils.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "app/main_frame.h"
#include "app/tab_calendar.h"
#include "app/tab_weather.h"
#include "e2e/e2e_util.h"
#include "support/testutil.h"
#include "weather/memo.h"

namespace zel {
namespace {

using test::G;

std::unique_ptr<test::AppFolder> PreparedApp(const std::string& server = "http://127.0.0.1:9") {
  auto app = std::make_unique<test::AppFolder>();
  app->CopyShippedData();
  app->Write("Weather.ini",
             G(u8"[Province]\r\n北京=\r\n广东=\r\n[北京]\r\n北京=54511\r\n[广东]\r\n广州=59287\r\n深圳=59493\r\n"));
  app->Write("Favorite.ini", G(u8"[Favorite]\r\n广东-广州=\r\n广东-深圳=\r\n"));
  app->UseServer(server);
  return app;
}

// Text typed into the year box the way the keyboard does it: the entry's
// text changes and the toolkit reports it.
void TypeYear(wxSpinCtrl* spin, const char* text) {
  gtk_entry_set_text(GTK_ENTRY(spin->GetHandle()), text);
  e2e::Pump(50);
}

TEST(FirstUse, DeletingTheLastFavouriteLeavesNoRowSelected) {
  auto app = PreparedApp();
  auto* f = new Tfrm_main(app->path());
  f->Show();
  WeatherTabPanel& w = *f->TabSheet1;
  ASSERT_EQ(w.lsbSC->GetCount(), 2u);
  // A click puts the list's cursor on the row as well as selecting it.
  GtkTreePath* row = gtk_tree_path_new_from_indices(1, -1);
  gtk_tree_view_set_cursor(w.lsbSC->m_treeview, row, nullptr, FALSE);
  gtk_tree_path_free(row);
  e2e::SelectRow(w.lsbSC, 1);
  e2e::Click(w.btnDelFavorite);
  EXPECT_EQ(w.lsbSC->GetSelection(), wxNOT_FOUND);
  e2e::Click(w.btnDelFavorite);
  EXPECT_EQ(w.lsbSC->GetCount(), 1u) << "a second click deleted a favourite nobody chose";
  EXPECT_EQ(app->Read("Favorite.ini"), G(u8"[Favorite]\r\n广东-广州=\r\n"));
  f->Destroy();
  e2e::Pump(100);
}

TEST(FirstUse, TypingAYearRendersOnlyValidYears) {
  auto app = PreparedApp();
  auto* f = new Tfrm_main(app->path());
  f->Show();
  auto* tab = dynamic_cast<CalendarTabPanel*>(f->TabWNL);
  ASSERT_NE(tab, nullptr);
  f->PageControl1->SetSelection(1);
  e2e::SelectRow(tab->cboWNL, 5);
  TypeYear(tab->speWNLYear, "2013");
  ASSERT_EQ(tab->Logic().ShownYear(), 2013);
  ASSERT_EQ(tab->Logic().ShownMonth(), 6);
  struct Case {
    const char* typed;
    int year;  // the page shown afterwards
  } cases[] = {
      {"2", 2013}, {"20", 2013}, {"203", 2013}, {"2030", 2030}, {"2051", 2030}, {"", 2030}, {"abc", 2030},
      {"1900", 2030}, {"1901", 1901}, {"2050", 2050},
  };
  for (const Case& c : cases) {
    TypeYear(tab->speWNLYear, c.typed);
    EXPECT_EQ(tab->Logic().ShownYear(), c.year) << "typed \"" << c.typed << "\"";
    EXPECT_EQ(tab->Logic().ShownMonth(), 6) << "typed \"" << c.typed << "\"";
  }
  f->Destroy();
  e2e::Pump(100);
}

// Start-up makes the banner's and the weather tab's web views only; each
// other page browser is made when its tab is first shown.
TEST(FirstUse, StartMakesTwoWebViewsAndEachTabItsOwnLater) {
  auto app = PreparedApp();
  const int before = WxBrowser::ViewsMade();
  auto* f = new Tfrm_main(app->path());
  f->Show();
  ASSERT_TRUE(e2e::PumpUntil([&] { return WxBrowser::ViewsMade() - before == 2; }));
  e2e::Pump(500);
  EXPECT_EQ(WxBrowser::ViewsMade() - before, 2);
  EXPECT_TRUE(f->TabSheet1->Browser1().HasView());
  f->PageControl1->SetSelection(1);  // the calendar
  EXPECT_TRUE(e2e::PumpUntil([&] { return WxBrowser::ViewsMade() - before == 3; }));
  f->PageControl1->SetSelection(2);  // the mobile lookup's hidden browser
  EXPECT_TRUE(e2e::PumpUntil([&] { return WxBrowser::ViewsMade() - before == 4; }));
  f->PageControl1->SetSelection(0);
  f->PageControl1->SetSelection(1);
  e2e::Pump(300);
  EXPECT_EQ(WxBrowser::ViewsMade() - before, 4) << "a tab shown again makes nothing new";
  f->Destroy();
  e2e::Pump(100);
}

// A stalled server: the click returns at once, the window keeps handling
// events with the busy cursor and the reading status, and ignores the
// weather buttons and the server menu until the query ends.
TEST(FirstUse, StalledServerLeavesTheWindowResponsive) {
  std::atomic<int> requests{0};
  test::LoopbackServer srv;
  srv.http().Get(".*", [&](const httplib::Request&, httplib::Response& res) {
    ++requests;
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    res.status = 404;
  });
  srv.Start();
  auto app = PreparedApp(srv.base());
  app->Write("Favorite.ini", "");
  PageMemo::Instance().Clear();
  auto* f = new Tfrm_main(app->path());
  f->Show();
  WeatherTabPanel& w = *f->TabSheet1;
  e2e::SelectRow(w.cboProvince, 1);
  e2e::SelectRow(w.lsbCity, 0);
  e2e::Click(w.btnWeather);
  EXPECT_TRUE(w.Logic().Busy()) << "the click waited for the download";
  EXPECT_TRUE(wxIsBusy());
  EXPECT_EQ(w.lblInfo->GetLabel().utf8_string().rfind("正在读取", 0), 0u);
  bool handled = false;
  w.CallAfter([&] { handled = true; });
  EXPECT_TRUE(e2e::PumpUntil([&] { return handled; }, 1000)) << "events wait for the query";
  EXPECT_TRUE(w.Logic().Busy());
  e2e::Click(w.btnWeather);
  e2e::Click(w.btnWend);
  wxCommandEvent pick(wxEVT_MENU, w.nOnline->GetId());
  w.suiPopupMenu1->ProcessEvent(pick);
  EXPECT_TRUE(w.nCC->IsChecked()) << "the server menu switched during the query";
  ASSERT_TRUE(e2e::PumpUntil([&] { return !w.Logic().Busy(); }, 30000));
  EXPECT_FALSE(wxIsBusy());
  EXPECT_EQ(w.lblInfo->GetLabel().utf8_string().rfind("有错误发生", 0), 0u) << w.lblInfo->GetLabel();
  const int after = requests.load();
  e2e::Pump(2000);
  EXPECT_EQ(requests.load(), after) << "an ignored click ran a second query";
  f->Destroy();
  e2e::Pump(100);
}

}  // namespace
}  // namespace zel
