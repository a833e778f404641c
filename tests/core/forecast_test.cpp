#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "base/appenv.h"
#include "base/ini.h"
#include "support/weather_views.h"
#include "support/testutil.h"
#include "base/files.h"
#include "weather/forecast.h"
#include "weather/memo.h"
#include "weather/weather_tab.h"

using namespace zel;
using zel::test::AppFolder;
using zel::test::G;

namespace {

void WriteGbk(const AppFolder& app, const std::string& name, const char* utf8) { app.Write(name, G(reinterpret_cast<const char8_t*>(utf8))); }

void WriteTemplates(const AppFolder& app, const std::string& set, const std::string& body = "<b>[city]</b>") {
  for (const char* f : {"ForeCastOnline.htm", "WendOnline.htm", "ForeCastCC.htm", "ForeCastCN.htm", "WendCN.htm"})
    app.Write("Template/" + set + "/" + f, std::string(f) + ":" + body);
}

struct Catalogue : AppFolder {
  Catalogue() {
    WriteGbk(*this, "Weather.ini",
             "[Province]\r\n北京=\r\n广东=\r\n[北京]\r\n北京=54511\r\n[广东]\r\n广州=59287\r\n深圳=59493\r\n");
    WriteTemplates(*this, "default");
  }
};

std::string ReadSys(const std::string& key) { return IniFile(SysIniPath()).ReadString("main", key, "<none>"); }

}  // namespace

TEST(ForecastManager, ReadsCatalogueFavouritesAndTemplates) {
  Catalogue app;
  WriteGbk(app, "Favorite.ini", "[Favorite]\r\n广东-广州=\r\n广东-中山-石岐=\r\n无横线=\r\n");
  TForeCast fc;
  EXPECT_EQ(fc.Provinces, (TextList{G(u8"北京"), G(u8"广东")}));
  EXPECT_EQ(fc.Cities, (TextList{G(u8"北京")})) << "the first province's cities are loaded";
  fc.LoadCities(G(u8"广东"));
  EXPECT_EQ(fc.Cities, (TextList{G(u8"广州"), G(u8"深圳")}));
  fc.LoadCities(G(u8"西藏"));
  EXPECT_TRUE(fc.Cities.empty());
  EXPECT_EQ(fc.FavCities, (TextList{G(u8"广州"), G(u8"中山-石岐"), G(u8"无横线")}));
  EXPECT_EQ(fc.FavProvinces, (TextList{G(u8"广东"), G(u8"广东"), ""}));
  EXPECT_EQ(fc.DataFile, app.path() + "Download/ForeCast.dat");
  EXPECT_TRUE(fc.TemplatesLoaded);
  EXPECT_EQ(fc.TplForecastCC, "ForeCastCC.htm:<b>[city]</b>\r\n") << "joined with CR LF after the last line";
  fc.Province = G(u8"广东");
  fc.City = G(u8"深圳");
  EXPECT_EQ(fc.StationCode(), "59493");
  EXPECT_EQ(fc.MemoKey(), G(u8"广东-深圳"));
  fc.City = G(u8"不存在");
  EXPECT_EQ(fc.StationCode(), "");
}

TEST(ForecastManager, CatalogueReadsFollowTheFileOnDisk) {
  Catalogue app;
  TForeCast fc;
  WriteGbk(app, "Weather.ini", "[Province]\r\n新=\r\n[广东]\r\n珠海=59488\r\n");
  fc.LoadCities(G(u8"广东"));
  EXPECT_EQ(fc.Cities, (TextList{G(u8"珠海")})) << "a replaced catalogue is seen by later reads";
  EXPECT_EQ(fc.Provinces.size(), 2u) << "the province list stays as read at construction";
}

TEST(ForecastManager, SourceFollowsTheStoredServerNameExactly) {
  Catalogue app;
  struct Case {
    std::string name;
    int source;
  } cases[] = {{G(u8"天气在线"), 1}, {G(u8"中国气象影视信息网"), 3}, {G(u8"中央气象台"), 2},
               {G(u8"天气在线 "), 2},  {"", 2}};
  for (const auto& c : cases) {
    Startup().weatherServer = c.name;
    EXPECT_EQ(TForeCast().SourceId, c.source) << zel::test::U(c.name);
  }
}

TEST(ForecastManager, SetSourceWritesAndEmptiesMemosOnlyOnChange) {
  Catalogue app;
  TForeCast fc;
  auto& memo = PageMemo::Instance();
  memo.Clear();
  memo.AppendForecast("k", "p");
  memo.AppendTrend("k", "t");
  fc.SetSource(2);
  EXPECT_EQ(ReadSys("WeatherServer"), "<none>") << "same source writes nothing";
  EXPECT_TRUE(memo.FindForecast("k").has_value());
  fc.SetSource(1);
  EXPECT_EQ(ReadSys("WeatherServer"), G(u8"天气在线"));
  EXPECT_FALSE(memo.FindForecast("k").has_value());
  EXPECT_FALSE(memo.FindTrend("k").has_value());
  fc.SetSource(3);
  EXPECT_EQ(ReadSys("WeatherServer"), G(u8"中国气象影视信息网"));
  EXPECT_EQ(Startup().weatherServer, G(u8"中央气象台")) << "the start-up value is not changed";
}

TEST(ForecastManager, SetTemplateSwitchesOnlyToAWholeSet) {
  Catalogue app;
  WriteTemplates(app, "blue", "blue [city]");
  app.Write("Template/broken/ForeCastOnline.htm", "only one file");
  TForeCast fc;
  auto& memo = PageMemo::Instance();
  memo.Clear();
  memo.AppendForecast("k", "p");
  EXPECT_TRUE(fc.SetTemplate("default"));
  EXPECT_EQ(ReadSys("Template"), "<none>") << "the active name changes nothing";
  EXPECT_TRUE(memo.FindForecast("k").has_value());
  EXPECT_FALSE(fc.SetTemplate("broken"));
  EXPECT_EQ(fc.TemplateName, "default");
  EXPECT_EQ(fc.TplForecastOnline, "ForeCastOnline.htm:<b>[city]</b>\r\n") << "a failed switch keeps the old pages";
  EXPECT_TRUE(fc.SetTemplate("blue"));
  EXPECT_EQ(fc.TemplateName, "blue");
  EXPECT_EQ(TemplateName(), "blue");
  EXPECT_EQ(ReadSys("Template"), "blue");
  EXPECT_EQ(fc.TplWindOnline, "WendOnline.htm:blue [city]\r\n");
  EXPECT_FALSE(memo.FindForecast("k").has_value());
}

// The weather tab's start-up and favourite handlers, driven through fakes.
class WeatherTabTest : public ::testing::Test, protected zel::test::FakeWeatherViews {
 protected:
  WeatherTab Make() {
    wend.caption = G(u8"风力预报");
    return WeatherTab(Views());
  }
  Catalogue app;
};

TEST_F(WeatherTabTest, StartupFillsListsAndChoosesTheSource) {
  struct Case {
    std::string server;
    bool cc, online, cn, wendEnabled;
    std::string wendCaption;
  } cases[] = {
      {G(u8"天气在线"), false, true, false, true, G(u8"风力预报")},
      {G(u8"中国气象影视信息网"), false, false, true, true, G(u8"天气趋势")},
      {G(u8"中央气象台"), true, false, false, false, G(u8"风力预报")},
      {G(u8"中国气象影视信息网 "), true, false, false, false, G(u8"风力预报")},
  };
  for (const auto& c : cases) {
    Startup().weatherServer = c.server;
    WeatherTab tab = Make();
    tab.LoadSettings();
    EXPECT_EQ(tab.nCCChecked(), c.cc);
    EXPECT_EQ(tab.nOnlineChecked(), c.online);
    EXPECT_EQ(tab.nCNChecked(), c.cn);
    EXPECT_EQ(wend.enabled, c.wendEnabled);
    EXPECT_EQ(wend.caption, c.wendCaption);
  }
  EXPECT_EQ(info.text, G(u8"Korrin软件"));
  EXPECT_EQ(province.items, (std::vector<std::string>{G(u8"北京"), G(u8"广东")}));
  EXPECT_EQ(province.selected, 0);
  EXPECT_EQ(city.items, (std::vector<std::string>{G(u8"北京")}));
  EXPECT_EQ(city.selected, -1);
  EXPECT_EQ(browser.navigated.back(), app.path() + "Hello.htm");
  EXPECT_EQ(IniFile(SysIniPath()).ReadString("main", "WeatherServer", "<none>"), "<none>")
      << "start-up's SetSource writes nothing";
}

TEST_F(WeatherTabTest, EmptyCatalogueLeavesListsEmpty) {
  app.Write("Weather.ini", "[Province]\r\n");
  WeatherTab tab = Make();
  tab.LoadSettings();
  EXPECT_TRUE(province.items.empty());
  EXPECT_TRUE(city.items.empty());
}

TEST_F(WeatherTabTest, UnreadableTemplateSetFallsBackToDefaultThenDisablesQueries) {
  SetTemplateName("missing");
  {
    WeatherTab tab = Make();
    tab.LoadSettings();
    EXPECT_TRUE(tab.QueryEnabled());
    EXPECT_EQ(tab.Manager()->TemplateName, "default");
  }
  app.Write("Template/default/WendCN.htm", "");
  ::unlink((app.path() + "Template/default/ForeCastCC.htm").c_str());
  SetTemplateName("missing");
  WeatherTab tab = Make();
  tab.LoadSettings();
  EXPECT_FALSE(tab.QueryEnabled());
  EXPECT_FALSE(weather.enabled);
  EXPECT_NE(info.text.find("Template"), std::string::npos);
  city.Select(0);
  tab.lsbCityClick();
  tab.btnWeatherClick();
  EXPECT_TRUE(browser.shown.empty()) << "queries are disabled";
}

TEST_F(WeatherTabTest, FavouritesAreAddedOnceDeletedAndSavedInListOrder) {
  WeatherTab tab = Make();
  tab.LoadSettings();
  tab.btnAddFavoriteClick();
  EXPECT_TRUE(fav.items.empty()) << "no city selected: nothing";
  province.Select(1);
  tab.cboProvinceChange();
  city.Select(0);
  tab.btnAddFavoriteClick();
  tab.btnAddFavoriteClick();
  EXPECT_EQ(fav.items, (std::vector<std::string>{G(u8"广州")})) << "the same favourite is not added twice";
  EXPECT_EQ(app.Read("Favorite.ini"), G(u8"[Favorite]\r\n广东-广州=\r\n"));
  // The combo now shows another province while 广州 stays selected: a
  // second favourite 广州 with that province.
  province.Select(0);
  tab.btnAddFavoriteClick();
  EXPECT_EQ(fav.items, (std::vector<std::string>{G(u8"广州"), G(u8"广州")}));
  EXPECT_EQ(app.Read("Favorite.ini"), G(u8"[Favorite]\r\n广东-广州=\r\n北京-广州=\r\n"));

  tab.btnDelFavoriteClick();
  EXPECT_EQ(fav.items.size(), 2u) << "no favourite selected: nothing";
  fav.Select(0);
  tab.btnDelFavoriteClick();
  fav.Select(0);
  tab.btnDelFavoriteClick();
  EXPECT_TRUE(fav.items.empty());
  EXPECT_EQ(app.Read("Favorite.ini"), "") << "deleting the last favourite removes the section";
  EXPECT_TRUE(TForeCast().FavCities.empty());
}

TEST_F(WeatherTabTest, AFullListTakesNoMoreAndSavesKeepWhatItDoesNotShow) {
  // A file from an update may hold more than the list shows (3,000 entries
  // are 46 KB); saving the list must not drop them, and the list itself
  // stops at the cap.
  for (size_t count : {kMaxFavorites + 3, size_t(3000)}) {
    SCOPED_TRACE(count);
    std::string file = "[Favorite]\r\n";
    for (size_t i = 0; i < count; ++i) file += G(u8"广东-城") + std::to_string(i) + "=\r\n";
    app.Write("Favorite.ini", file);
    WeatherTab tab = Make();
    tab.LoadSettings();
    ASSERT_EQ(fav.items.size(), kMaxFavorites);
    province.Select(1);
    tab.cboProvinceChange();
    city.Select(0);
    tab.btnAddFavoriteClick();
    EXPECT_EQ(fav.items.size(), kMaxFavorites) << "full: nothing added";
    EXPECT_NE(info.text.find(G(u8"收藏夹已满")), std::string::npos);
    EXPECT_EQ(app.Read("Favorite.ini"), file);

    fav.Select(0);
    tab.btnDelFavoriteClick();
    std::string left = file;
    left.erase(left.find(G(u8"广东-城0=\r\n")), G(u8"广东-城0=\r\n").size());
    EXPECT_EQ(app.Read("Favorite.ini"), left) << "those beyond the cap stay, in order";
    EXPECT_EQ(IniFile(app.path() + "Favorite.ini").ReadSection("Favorite").size(), count - 1);
    tab.btnAddFavoriteClick();
    EXPECT_EQ(fav.items.size(), kMaxFavorites) << "room for one again";
    EXPECT_EQ(TForeCast().FavCities.size(), kMaxFavorites);
  }
}

TEST_F(WeatherTabTest, SavingFavouritesKeepsOtherSectionsOfTheFile) {
  app.Write("Favorite.ini", "; mine\r\n[Other]\r\nx=1\r\n[Favorite]\r\nold-city=\r\n");
  WeatherTab tab = Make();
  tab.LoadSettings();
  fav.Select(0);
  tab.btnDelFavoriteClick();
  EXPECT_EQ(app.Read("Favorite.ini"), "; mine\r\n[Other]\r\nx=1\r\n");
  // A file too big to read is not rewritten from nothing.
  const std::string big = "[Other]\r\n" + std::string(kMaxTextFileBytes, ';');
  app.Write("Favorite.ini", big);
  EXPECT_FALSE(SaveFavoritesFile({G(u8"广东")}, {G(u8"广州")}));
  EXPECT_EQ(app.Read("Favorite.ini"), big);
}

TEST_F(WeatherTabTest, ListClicksSetTheStatusAndTheFlag) {
  WriteGbk(app, "Favorite.ini", "[Favorite]\r\n广东-深圳=\r\n");
  WeatherTab tab = Make();
  tab.LoadSettings();
  fav.Select(0);
  tab.lsbSCClick();
  EXPECT_TRUE(tab.FromFavorites());
  EXPECT_EQ(info.text, G(u8"广东 深圳"));
  city.Select(0);
  tab.lsbCityClick();
  EXPECT_FALSE(tab.FromFavorites());
  EXPECT_EQ(info.text, G(u8"北京 北京"));
}

TEST_F(WeatherTabTest, MenuSwitchesSourceAndSecondButton) {
  WeatherTab tab = Make();
  tab.LoadSettings();
  ASSERT_TRUE(tab.nCCChecked());
  tab.nOnlineClick();
  EXPECT_TRUE(tab.nOnlineChecked());
  EXPECT_FALSE(tab.nCCChecked());
  EXPECT_TRUE(wend.enabled);
  EXPECT_EQ(wend.caption, G(u8"风力预报"));
  EXPECT_EQ(tab.Manager()->SourceId, 1);
  tab.nCNClick();
  EXPECT_EQ(wend.caption, G(u8"天气趋势"));
  EXPECT_EQ(tab.Manager()->SourceId, 3);
  size_t before = info.history.size();
  tab.nCNClick();
  EXPECT_EQ(info.history.size(), before) << "the checked item changes nothing";
  tab.nCCClick();
  EXPECT_FALSE(wend.enabled);
  EXPECT_EQ(wend.caption, G(u8"风力预报"));
  EXPECT_EQ(IniFile(SysIniPath()).ReadString("main", "WeatherServer", ""), G(u8"中央气象台"));
}

// The window runs a query's work on a worker: until it ends the query
// buttons and the server menu do nothing, the worker shows nothing, and the
// end shows the page, then the status, as a query on one thread would. A
// tab gone before the end drops the result.
TEST_F(WeatherTabTest, QueryOffTheThreadIgnoresButtonsUntilItEnds) {
  Startup().weatherServer = G(u8"中央气象台");
  auto tab = std::make_unique<WeatherTab>(Make());
  std::vector<std::pair<std::function<void()>, std::function<void()>>> queued;
  std::vector<bool> busy;
  tab->RunQuery = [&](std::function<void()> work, std::function<void()> done) { queued.emplace_back(work, done); };
  tab->OnBusy = [&](bool on) { busy.push_back(on); };
  tab->LoadSettings();
  province.Select(1);
  tab->cboProvinceChange();
  city.Select(0);
  tab->lsbCityClick();
  PageMemo::Instance().Clear();
  PageMemo::Instance().AppendForecast(G(u8"广东-广州"), "<p>page</p>");

  tab->btnWeatherClick();
  ASSERT_EQ(queued.size(), 1u);
  EXPECT_TRUE(tab->Busy());
  EXPECT_EQ(info.text, G(u8"正在读取数据（广州）..."));
  tab->btnWeatherClick();
  tab->btnWendClick();
  tab->nOnlineClick();
  EXPECT_EQ(queued.size(), 1u) << "a click during the query started another";
  EXPECT_TRUE(tab->nCCChecked()) << "the server menu switched during the query";
  std::thread(queued[0].first).join();
  EXPECT_TRUE(browser.shown.empty()) << "the worker reached the browser";
  queued[0].second();
  EXPECT_EQ(browser.shown, (std::vector<std::string>{"<p>page</p>"}));
  EXPECT_EQ(info.text, G(u8"完成，已显示！"));
  EXPECT_FALSE(tab->Busy());
  EXPECT_EQ(busy, (std::vector<bool>{true, false}));

  tab->btnWeatherClick();
  ASSERT_EQ(queued.size(), 2u) << "the buttons work again";
  std::thread(queued[1].first).join();
  tab.reset();
  EXPECT_EQ(busy, (std::vector<bool>{true, false, true, false})) << "the busy cursor ends with the tab";
  queued[1].second();  // nothing left to show it in: dropped
  EXPECT_EQ(browser.shown.size(), 1u);
}
