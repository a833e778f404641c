// Fifty favourites prefetching at once while the window's query flow looks
// up, appends and clears the memo and switches sources. Run under
// ThreadSanitizer by ./test.sh.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "base/appenv.h"
#include "support/weather_views.h"
#include "weather/cache.h"
#include "weather/forecast.h"
#include "weather/memo.h"
#include "weather/prefetch.h"
#include "weather/weather_fixture.h"
#include "weather/weather_tab.h"

using namespace zel;
using namespace zel::test;

TEST(Stress, FiftyPrefetchWorkersBesideTheQueryFlow) {
  constexpr int kFavourites = 50;
  const char* ids[] = {"54511", "59287", "59493"};
  AppFolder app;
  PageServer server;
  for (const char* id : ids) server.ServeAll(id);
  SetUpWeatherApp(app, server.base());
  // Many cities share a station, so workers also write the same cache files.
  std::string catalogue = G(u8"[Province]\r\n广东=\r\n[广东]\r\n"), favourites = "[Favorite]\r\n";
  for (int i = 0; i < kFavourites; ++i) {
    std::string city = G(u8"城") + std::to_string(i);
    catalogue += city + "=" + ids[i % 3] + "\r\n";
    favourites += G(u8"广东-") + city + "=\r\n";
  }
  app.Write("Weather.ini", catalogue);
  app.Write("Favorite.ini", favourites);
  PageMemo::Instance().Clear();

  FakeWeatherViews views;
  auto& city = views.city;
  auto& fav = views.fav;
  WeatherTab tab(views.Views());
  tab.LoadSettings();
  ASSERT_EQ(tab.StartPrefetch(), kFavourites);

  // The window's side: queries, memo hits, source switches (which clear
  // the memo) while the workers run.
  int rounds = 0;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while ((WeatherThrRunning() > 0 || rounds < 20) && std::chrono::steady_clock::now() < deadline) {
    city.Select(rounds % kFavourites);
    tab.lsbCityClick();
    tab.btnWeatherClick();
    tab.btnWeatherClick();
    fav.Select((rounds * 7) % kFavourites);
    tab.lsbSCClick();
    tab.btnWeatherClick();
    tab.btnWendClick();
    if (rounds % 5 == 4) {
      tab.nOnlineClick();
      tab.nCCClick();
    }
    ++rounds;
  }
  ASSERT_EQ(WeatherThrRunning(), 0) << "every worker ends";

  // The memo's lists stayed parallel: each page belongs to its key's city.
  auto& memo = PageMemo::Instance();
  TextList keys = memo.ForeCastKeys(), pages = memo.ForeCastPages();
  ASSERT_EQ(keys.size(), pages.size());
  for (size_t i = 0; i < keys.size(); ++i) {
    std::string cityName = keys[i].substr(keys[i].find('-') + 1);
    EXPECT_NE(pages[i].find("<h3>" + cityName + "</h3>"), std::string::npos) << U(keys[i]);
  }
  for (const char* id : ids) EXPECT_TRUE(LoadCacheFile(CacheFileName("CC", id), 16).has_value()) << id;
}
