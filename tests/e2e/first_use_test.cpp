// What a new user meets in the first minutes: favourites, the calendar's
// year box, lookups without a server, a slow forecast, and a light start.
#include <gtk/gtk.h>
#include <gtest/gtest.h>

#include "app/main_frame.h"
#include "app/tab_calendar.h"
#include "app/tab_weather.h"
#include "e2e/e2e_util.h"
#include "support/testutil.h"

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

}  // namespace
}  // namespace zel
