// Pages asking for stations from many threads while the feed's worker
// fetches and writes, and a stop in the middle of it (run under TSan).
#include <gtest/gtest.h>

#include "base/files.h"
#include "feed_fake.h"
#include "server/feed/feed.h"
#include "server/weather_pages.h"

namespace zel::server::feed::test {
namespace {

TEST(FeedConcurrency, PagesAskWhileTheWorkerWritesAndStopEndsItAll) {
  zel::test::TempDir data;
  data.Write("coordinates.tsv", "54511\t39.8\t116.47\n58367\t31.4\t121.45\n59287\t23.17\t113.33\n");
  FakeProviders fake;
  const std::string today = Today();
  fake.OpenMeteo([today](const httplib::Request& req, httplib::Response& res) {
    std::string lat = req.get_param_value("latitude");
    size_t n = size_t(std::count(lat.begin(), lat.end(), ',')) + 1;
    Json all = Json::array();
    for (size_t i = 0; i < n; ++i) all.push_back(OpenMeteoLocation(today, 5, 30, 120));
    res.set_content((n == 1 ? all[0] : all).dump(), "application/json");
  });
  FeedOptions o;
  o.url = fake.base();
  o.all = false;
  o.coordinatesFile = data / "coordinates.tsv";
  o.dataDir = data.path();
  o.onDemandWaitMs = 2000;
  o.spacingMs = 0;
  std::mutex logMu;
  std::string log;
  Feed feed(o, {}, [&](const std::string& l) {
    std::lock_guard<std::mutex> lock(logMu);
    log += l + "\n";
  });
  feed.Start();
  const char* stations[] = {"54511", "58367", "59287", "99999"};
  std::atomic<bool> stopping{false};
  std::vector<std::thread> pages;
  for (int t = 0; t < 8; ++t)
    pages.emplace_back([&, t] {
      for (int i = 0; !stopping || i < 20; ++i) {
        feed.BeforeAnswer(stations[(t + i) % 4]);
        if (i > 2000) break;
      }
    });
  for (const char* s : {"54511", "58367", "59287"}) {
    for (int i = 0; i < 200 && !feed.Fresh(s); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(feed.Fresh(s)) << s << "\n" << log;
    std::string record;
    ASSERT_TRUE(ReadFile(data / (std::string("forecasts/") + s + ".json"), record));
    EXPECT_TRUE(ParseForecastJson(record, today)) << s;
  }
  stopping = true;
  feed.Stop();
  for (auto& p : pages) p.join();
  std::string state;
  EXPECT_TRUE(ReadFile(data / "feed-state.json", state));
  EXPECT_NE(state.find("\"59287\""), std::string::npos) << "the stations asked for are kept";
}

}  // namespace
}  // namespace zel::server::feed::test
