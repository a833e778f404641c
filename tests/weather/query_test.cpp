// The weather tab's query flow over fake views and a loopback server:
// status texts, memo hits without downloads, favourites, source switches.
#include <gtest/gtest.h>

#include <thread>

#include "base/ini.h"
#include "support/weather_views.h"
#include "weather/cache.h"
#include "weather/memo.h"
#include "weather/status.h"
#include "weather/weather_tab.h"
#include "weather_fixture.h"

namespace zel::test {
namespace {

class QueryTest : public ::testing::Test, protected FakeWeatherViews {
 protected:
  void SetUp() override {
    PageMemo::Instance().Clear();
    SetUpWeatherApp(app, srv.base());
    // 广州 (59287) and 北京 (54511) both get the 54511 pages.
    srv.ServeAll("54511");
    srv.ServeAll("59287");
    srv.ServeAll("59493");
    app.Write("Favorite.ini", G(u8"[Favorite]\r\n广东-广州=\r\n"));
  }
  void Start(const std::u8string_view server = u8"中央气象台") {
    Startup().weatherServer = G(server);
    tab = std::make_unique<WeatherTab>(Views());
    tab->LoadSettings();
  }
  // Province combo on 广东, city row 广州 selected.
  void PickGuangzhou() {
    province.Select(1);
    tab->cboProvinceChange();
    city.Select(0);
    tab->lsbCityClick();
  }
  std::string Info() const { return U(info.text); }

  AppFolder app;
  PageServer srv;
  std::unique_ptr<WeatherTab> tab;
};

TEST_F(QueryTest, SecondPressIsAnsweredFromTheMemo) {
  Start();
  PickGuangzhou();
  EXPECT_EQ(Info(), Utf8(u8"广东 广州"));
  tab->btnWeatherClick();
  ASSERT_GE(info.history.size(), 2u);
  EXPECT_EQ(U(info.history[info.history.size() - 2]), Utf8(u8"正在读取数据（广州）..."));
  EXPECT_EQ(Info(), Utf8(u8"完成，已更新！"));
  ASSERT_EQ(browser.shown.size(), 1u);
  EXPECT_NE(browser.current.find("<h3>" + G(u8"广州") + "</h3>"), std::string::npos);
  EXPECT_EQ(U(PageMemo::Instance().ForeCastKeys().at(0)), Utf8(u8"广东-广州"));

  int requests = srv.Requests();
  tab->btnWeatherClick();
  EXPECT_EQ(Info(), Utf8(u8"完成，已显示！"));
  EXPECT_EQ(srv.Requests(), requests) << "a memo hit downloads nothing";
  EXPECT_EQ(browser.shown.back(), browser.shown.front());

  // The favourite 广东-广州 is the same memo row.
  fav.Select(0);
  tab->lsbSCClick();
  tab->btnWeatherClick();
  EXPECT_EQ(Info(), Utf8(u8"完成，已显示！"));
  EXPECT_EQ(srv.Requests(), requests);
}

TEST_F(QueryTest, LastClickedListChoosesTheCity) {
  Start();
  PickGuangzhou();
  city.Select(1);  // 深圳
  fav.Select(0);   // 广州
  tab->lsbSCClick();
  EXPECT_EQ(Info(), Utf8(u8"广东 广州"));
  tab->btnWeatherClick();
  EXPECT_EQ(U(PageMemo::Instance().ForeCastKeys().back()), Utf8(u8"广东-广州"));
  tab->lsbCityClick();
  tab->btnWeatherClick();
  EXPECT_EQ(U(PageMemo::Instance().ForeCastKeys().back()), Utf8(u8"广东-深圳"));
}

TEST_F(QueryTest, NothingSelectedDoesNothing) {
  Start();
  info.history.clear();
  tab->btnWeatherClick();
  tab->btnWendClick();
  EXPECT_TRUE(info.history.empty());
  EXPECT_EQ(srv.Requests(), 0);
}

TEST_F(QueryTest, NoRecordShowsTheErrorAndKeepsThePage) {
  Start();
  PickGuangzhou();
  browser.current = "old page";
  SetOnlineOverride(false);
  tab->btnWeatherClick();
  EXPECT_EQ(Info(), Utf8(u8"有错误发生，错误原因：网络不通，无法得到该城市的数据信息！"));
  EXPECT_EQ(browser.current, "old page");
  EXPECT_TRUE(PageMemo::Instance().ForeCastKeys().empty());
}

TEST_F(QueryTest, OfflineWithCacheShowsNotUpdated) {
  Start();
  PickGuangzhou();
  tab->btnWeatherClick();  // fills the cache of 59287
  PageMemo::Instance().Clear();
  SetOnlineOverride(false);
  tab->btnWeatherClick();
  EXPECT_EQ(Info(), Utf8(u8"完成，未更新！"));
  EXPECT_NE(browser.current.find("<h3>"), std::string::npos);
}

TEST_F(QueryTest, SwitchingSourceRequeriesTheNewSource) {
  Start();
  PickGuangzhou();
  tab->btnWeatherClick();
  EXPECT_FALSE(wend.enabled);
  int frames = srv.Hits("/cgi-bin/region");

  tab->nOnlineClick();
  EXPECT_TRUE(tab->nOnlineChecked());
  EXPECT_FALSE(tab->nCCChecked());
  EXPECT_TRUE(wend.enabled);
  EXPECT_EQ(U(wend.caption), Utf8(u8"风力预报"));
  EXPECT_EQ(srv.Hits("/cgi-bin/region"), frames + 1) << "the new source is asked";
  EXPECT_EQ(Info(), Utf8(u8"完成，已更新！"));
  EXPECT_EQ(U(IniFile(SysIniPath()).ReadString("main", "WeatherServer", "")), Utf8(u8"天气在线"));

  int requests = srv.Requests();
  tab->nOnlineClick();  // already checked
  EXPECT_EQ(srv.Requests(), requests);

  tab->btnWendClick();
  EXPECT_EQ(Info(), Utf8(u8"完成，已更新！"));
  EXPECT_NE(browser.current.find(G(u8"北风2级")), std::string::npos);
  EXPECT_EQ(PageMemo::Instance().TrendKeys().size(), 1u);

  tab->nCNClick();
  EXPECT_EQ(U(wend.caption), Utf8(u8"天气趋势"));
  EXPECT_TRUE(PageMemo::Instance().TrendKeys().empty()) << "a switch empties both memos";
  tab->btnWendClick();
  EXPECT_EQ(Info(), Utf8(u8"完成，已更新！"));
  EXPECT_NE(browser.current.find(G(u8"1月5日")), std::string::npos);

  tab->nCCClick();
  EXPECT_FALSE(wend.enabled);
}

TEST_F(QueryTest, StatusTextsBelongToTheirThread) {
  Start();
  PickGuangzhou();
  tab->btnWeatherClick();
  std::thread([] {
    StatusText = "worker";
    ErrorText = "worker";
  }).join();
  EXPECT_EQ(U(StatusText), Utf8(u8"完成，已更新！"));
  EXPECT_NE(ErrorText, "worker");
}

}  // namespace
}  // namespace zel::test
