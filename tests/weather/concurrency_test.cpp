// What runs at once: favourites prefetched by their workers while the memo
// is searched, and two writers of one cache file. Run under ThreadSanitizer.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "weather/cache.h"
#include "weather/forecast.h"
#include "weather/memo.h"
#include "weather/prefetch.h"
#include "weather_fixture.h"

namespace zel::test {
namespace {

void WaitForWorkers() {
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (WeatherThrRunning() > 0 && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_EQ(WeatherThrRunning(), 0);
}

class PrefetchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PageMemo::Instance().Clear();
    SetUpWeatherApp(app, srv.base());
    for (const char* id : {"54511", "59287", "59493"}) srv.ServeAll(id);
  }
  void TearDown() override { WaitForWorkers(); }
  void StartThree() {
    StartWeatherThr(G(u8"北京"), G(u8"北京"), "1");
    StartWeatherThr(G(u8"广东"), G(u8"广州"), "2");
    StartWeatherThr(G(u8"广东"), G(u8"深圳"), "3");
  }
  AppFolder app;
  PageServer srv;
};

TEST_F(PrefetchTest, ThreeFavouritesAtOnceKeepKeysAndPagesParallel) {
  for (const std::u8string_view server : {u8"中央气象台", u8"天气在线"}) {
    PageMemo::Instance().Clear();
    Startup().weatherServer = G(server);
    StartThree();
    // The window searches the memo meanwhile.
    while (WeatherThrRunning() > 0) PageMemo::Instance().FindForecast(G(u8"广东-广州"));
    WaitForWorkers();
    TextList keys = PageMemo::Instance().ForeCastKeys(), pages = PageMemo::Instance().ForeCastPages();
    ASSERT_EQ(keys.size(), 3u) << U(G(server));
    ASSERT_EQ(pages.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
      std::string city = keys[i].substr(keys[i].find('-') + 1);
      EXPECT_NE(pages[i].find("<h3>" + city + "</h3>"), std::string::npos) << U(keys[i]);
    }
    for (const char* n : {"1", "2", "3"})
      EXPECT_FALSE(app.Exists(std::string("Download/ForeCastThr") + n + ".dat"));
  }
}

TEST_F(PrefetchTest, CNSourceFetchesNothing) {
  Startup().weatherServer = G(u8"中国气象影视信息网");
  StartThree();
  WaitForWorkers();
  EXPECT_EQ(srv.Requests(), 0);
  EXPECT_TRUE(PageMemo::Instance().ForeCastKeys().empty());
}

TEST_F(PrefetchTest, OfflineFavouriteComesFromTheCache) {
  Startup().weatherServer = G(u8"中央气象台");
  TextList fields(16, "x");
  fields[0] = "2006-12-31";
  SaveCacheFile(CacheFileName("CC", "59287"), fields);
  SetOnlineOverride(false);
  StartWeatherThr(G(u8"广东"), G(u8"广州"), "1");
  StartWeatherThr(G(u8"广东"), G(u8"深圳"), "2");  // no cache: nothing memorised
  WaitForWorkers();
  SetOnlineOverride(std::nullopt);
  TextList keys = PageMemo::Instance().ForeCastKeys();
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(U(keys[0]), Utf8(u8"广东-广州"));
}

// Thousands of favourites against a stalling server once meant thousands of
// threads: a few workers take them, in list order.
TEST(PrefetchPool, AFewWorkersTakeTheFavouritesInListOrder) {
  constexpr int kFavourites = 12;
  AppFolder app;
  std::mutex m;
  int inFlight = 0, most = 0;
  std::vector<int> arrivals;
  LoopbackServer srv;  // after what its handler touches: it stops first
  srv.http().Get("/nmc/citySearch.do", [&](const httplib::Request& req, httplib::Response& res) {
    {
      std::lock_guard<std::mutex> lock(m);
      arrivals.push_back(std::stoi(req.get_param_value("cityid")));
      most = std::max(most, ++inFlight);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::lock_guard<std::mutex> lock(m);
    --inFlight;
    res.status = 404;
  });
  srv.Start();
  SetUpWeatherApp(app, srv.base());
  std::string catalogue = G(u8"[Province]\r\n广东=\r\n[广东]\r\n");
  for (int i = 0; i < kFavourites; ++i) catalogue += G(u8"城") + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
  app.Write("Weather.ini", catalogue);
  Startup().weatherServer = G(u8"中央气象台");
  for (int i = 0; i < kFavourites; ++i)
    StartWeatherThr(G(u8"广东"), G(u8"城") + std::to_string(i), std::to_string(i + 1));
  WaitForWorkers();
  std::lock_guard<std::mutex> lock(m);
  ASSERT_EQ(arrivals.size(), static_cast<size_t>(kFavourites));
  EXPECT_LE(most, kPrefetchWorkers);
  // The fifth is taken only when one of the first four is done.
  std::vector<int> first(arrivals.begin(), arrivals.begin() + kPrefetchWorkers);
  std::sort(first.begin(), first.end());
  EXPECT_EQ(first, (std::vector<int>{0, 1, 2, 3}));
}

TEST(PrefetchPool, FavouritesBeyondTheCapAreIgnored) {
  AppFolder app;
  SetUpWeatherApp(app, "http://127.0.0.1:1");
  struct Case {
    size_t inFile, used;
  } cases[] = {{0, 0}, {kMaxFavorites, kMaxFavorites}, {kMaxFavorites + 1, kMaxFavorites}, {3000, kMaxFavorites}};
  for (const auto& c : cases) {
    std::string fav = "[Favorite]\r\n";
    for (size_t i = 0; i < c.inFile; ++i) fav += G(u8"广东-城") + std::to_string(i) + "=\r\n";
    app.Write("Favorite.ini", fav);
    TForeCast m;
    EXPECT_EQ(m.FavCities.size(), c.used) << c.inFile;
    if (c.used) {
      EXPECT_EQ(m.FavCities.back(), G(u8"城") + std::to_string(c.used - 1)) << "the first ones are kept";
    }
  }
}

TEST(MemoConcurrency, AppendsStayPairedWhileSearched) {
  PageMemo memo;
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t)
    writers.emplace_back([&memo, t] {
      for (int i = 0; i < 200; ++i) {
        std::string key = std::to_string(t) + "-" + std::to_string(i);
        memo.AppendForecast(key, "page " + key);
        memo.AppendTrend(key, "trend " + key);
      }
    });
  for (int i = 0; i < 200; ++i) {
    auto page = memo.FindForecast("1-" + std::to_string(i / 2));
    if (page) {
      EXPECT_EQ(*page, "page 1-" + std::to_string(i / 2));
    }
  }
  for (auto& w : writers) w.join();
  TextList keys = memo.ForeCastKeys(), pages = memo.ForeCastPages();
  ASSERT_EQ(keys.size(), 800u);
  ASSERT_EQ(pages.size(), 800u);
  for (size_t i = 0; i < keys.size(); ++i) EXPECT_EQ(pages[i], "page " + keys[i]);
  EXPECT_EQ(memo.TrendKeys().size(), 800u);
}

TEST(CacheConcurrency, TwoWritersNeverTearTheFile) {
  AppFolder app;
  const std::string path = CacheFileName("CC", "54511");
  auto writer = [&path](char c) {
    for (int i = 0; i < 100; ++i) SaveCacheFile(path, TextList(16, std::string(40 + i % 7, c)));
  };
  ASSERT_TRUE(SaveCacheFile(path, TextList(16, "first")));
  std::thread a(writer, 'a'), b(writer, 'b');
  for (int i = 0; i < 200; ++i) {
    auto fields = LoadCacheFile(path, 16);
    ASSERT_TRUE(fields) << "a cache file that does not read whole";
    for (const auto& f : *fields) EXPECT_EQ(f, (*fields)[0]) << "fields of two writes mixed";
  }
  a.join();
  b.join();
  EXPECT_TRUE(LoadCacheFile(path, 16));
}

}  // namespace
}  // namespace zel::test
