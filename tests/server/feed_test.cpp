// The feed against loopback fakes of both providers: batching, records the
// pages take, failover, back-off, conditional requests, the asked-for set
// across restarts, on-demand fetches and stopping.
#include "server/feed/feed.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <sstream>
#include <thread>

#include "base/files.h"
#include "feed_fake.h"
#include "server/weather_pages.h"

namespace zel::server::feed::test {
namespace {

const char* kCoordinates =
    "#station\tlatitude\tlongitude\tprovince\tcity\n"
    "54511\t39.8\t116.4667\t北京\t北京\n"
    "58367\t31.4\t121.45\t上海\t上海\n"
    "59287\t23.1667\t113.3333\t广东\t广州\n"
    "50953\tnorth\t126.77\t黑龙江\t哈尔滨\n";
const std::map<std::string, std::string> kStations = {
    {"54511", "Beijing"}, {"58367", "Shanghai"}, {"59287", "Guangzhou"}, {"50953", "Harbin"}, {"99999", "Nowhere"}};

std::string UtcText(std::time_t t, const char* format) {
  char buf[64];
  std::tm tm = zel::UtcTime(t);
  std::strftime(buf, sizeof buf, format, &tm);
  return buf;
}
std::string HttpNow(std::time_t t) { return UtcText(t, "%a, %d %b %Y %H:%M:%S GMT"); }

size_t Commas(const std::string& s) { return size_t(std::count(s.begin(), s.end(), ',')); }

std::string IsoUtc(std::time_t t) { return UtcText(t, "%Y-%m-%dT%H:%M:%SZ"); }

// The instant figures of one MET Norway step.
Json& Step(Json& answer, size_t i) { return answer["properties"]["timeseries"][i]["data"]["instant"]["details"]; }

struct Rig {
  zel::test::TempDir data;
  FakeProviders fake;
  std::string today = Today();
  std::mutex logMu;
  std::string logText;
  std::time_t clock = std::time(nullptr);
  int metStatus = 200;  // what MET Norway answers a full answer with
  std::unique_ptr<Feed> feed;

  Rig() { data.Write("coordinates.tsv", kCoordinates); }
  FeedOptions Options(Provider p = Provider::kOpenMeteo) {
    FeedOptions o;
    o.primary = p;
    o.url = fake.base();
    o.contact = "ops@example.org";
    o.all = true;
    o.coordinatesFile = data / "coordinates.tsv";
    o.dataDir = data.path();
    o.httpTimeoutMs = 400;
    o.onDemandWaitMs = 3000;
    o.spacingMs = 0;
    return o;
  }
  Feed& Make(FeedOptions o) {
    feed.reset();
    feed = std::make_unique<Feed>(o, kStations, [this](const std::string& l) {
      std::lock_guard<std::mutex> lock(logMu);
      logText += l + "\n";
    });
    feed->now = [this] { return clock; };
    return *feed;
  }
  std::string Log() {
    std::lock_guard<std::mutex> lock(logMu);
    return logText;
  }
  std::string Record(const std::string& s) {
    std::string text;
    ReadFile(data / ("forecasts/" + s + ".json"), text);
    return text;
  }
  // Answers as the providers would, each changed by the test first; MET
  // Norway's headers from metHeaders.
  void ProvidersAnswerChanged(std::function<void(Json&)> om, std::function<void(Json&)> met, int days = 7,
                              std::function<void(httplib::Response&)> metHeaders = nullptr,
                              const std::string& date = "") {
    fake.OpenMeteo([this, om, days, date](const httplib::Request& req, httplib::Response& res) {
      size_t n = Commas(req.get_param_value("latitude")) + 1;
      Json all = Json::array();
      for (size_t i = 0; i < n; ++i) {
        Json l = OpenMeteoLocation(today, days, 30, 120, 2);
        if (om) om(l);
        all.push_back(std::move(l));
      }
      res.set_header("Date", date.empty() ? HttpNow(std::time(nullptr)) : date);
      res.set_content((n == 1 ? all[0] : all).dump(), "application/json");
    });
    fake.Met([this, met, days, metHeaders](const httplib::Request&, httplib::Response& res) {
      Json a = MetAnswer(today, days + 1, IsoUtc(clock - 3600), [](const std::string&, int) { return "cloudy"; },
                         [](const std::string&, int h) { return 10.0 + h % 7; });
      if (met) met(a);
      if (metHeaders) metHeaders(res);
      res.set_content(a.dump(), "application/json");
    });
  }
  // Answers as the providers would, for as many locations as asked.
  void ProvidersAnswer(int days = 5) {
    fake.OpenMeteo([this, days](const httplib::Request& req, httplib::Response& res) {
      size_t n = Commas(req.get_param_value("latitude")) + 1;
      Json all = Json::array();
      for (size_t i = 0; i < n; ++i) all.push_back(OpenMeteoLocation(today, days, 30, 120, 2));
      res.set_header("Date", HttpNow(std::time(nullptr)));
      std::string body = (n == 1 ? all[0] : all).dump();
      if (req.get_header_value("Accept-Encoding").find("gzip") != std::string::npos) {
        res.set_header("Content-Encoding", "gzip");
        body = Gzip(body);
      }
      res.set_content(body, "application/json");
    });
    fake.Met([this, days](const httplib::Request& req, httplib::Response& res) {
      const std::string lastModified = "Tue, 01 Dec 2026 08:00:00 GMT";
      if (req.get_header_value("If-Modified-Since") == lastModified) {
        res.status = 304;
        return;
      }
      auto sym = [](const std::string&, int) { return std::string("cloudy"); };
      auto temp = [](const std::string&, int h) { return 10.0 + h % 7; };
      res.status = metStatus;
      res.set_header("Last-Modified", lastModified);
      res.set_header("Expires", HttpNow(std::time(nullptr) + 1800));
      char updated[32];
      std::time_t at = clock - 3600;
      std::tm tm = zel::UtcTime(at);
      std::strftime(updated, sizeof updated, "%Y-%m-%dT%H:%M:%SZ", &tm);
      res.set_content(MetAnswer(today, days + 1, updated, sym, temp).dump(), "application/json");
    });
  }
};

TEST(Feed, OneBatchedRequestWritesARecordThePagesTakeForEachStation) {
  Rig rig;
  rig.ProvidersAnswer();
  Feed& feed = rig.Make(rig.Options());
  EXPECT_EQ(feed.FedStations(), 3u);
  EXPECT_EQ(feed.RefreshDue(), 3);
  auto seen = rig.fake.Requests();
  ASSERT_EQ(seen.size(), 1u) << "three stations, one request";
  EXPECT_EQ(Commas(seen[0].latitude), 2u) << seen[0].query;
  EXPECT_EQ(seen[0].userAgent, "zelmora-server/5.9 (ops@example.org)");
  EXPECT_NE(seen[0].acceptEncoding.find("gzip"), std::string::npos) << "the answer came compressed";
  for (const char* s : {"54511", "58367", "59287"}) {
    std::string why;
    auto f = ParseForecastJson(rig.Record(s), rig.today, &why);
    ASSERT_TRUE(f) << s << ": " << why;
    EXPECT_EQ(f->credit, "Open-Meteo.com");
    EXPECT_FALSE(f->demo);
    EXPECT_TRUE(feed.Fresh(s));
  }
  EXPECT_FALSE(FileExists(rig.data / "forecasts/99999.json"));
  std::string log = rig.Log();
  EXPECT_NE(log.find("99999"), std::string::npos) << "a station without coordinates is named once:\n" << log;
  EXPECT_NE(log.find("1 unreadable rows"), std::string::npos) << log;
  // Nothing is due again until the interval has passed.
  EXPECT_EQ(feed.RefreshDue(), 0);
  EXPECT_EQ(rig.fake.Requests().size(), 1u);
}

TEST(Feed, AFailedRefreshKeepsTheLastRecordByteForByte) {
  auto status = [](int code, std::string body = "") {
    return [code, body](const httplib::Request&, httplib::Response& res) {
      res.status = code;
      if (code == 429) res.set_header("Retry-After", "120");
      res.set_content(body, "application/json");
    };
  };
  struct Case {
    const char* why;
    std::function<void(Rig&)> set;
  } cases[] = {
      {"rate limited", [&](Rig& r) { r.fake.OpenMeteo(status(429)), r.fake.Met(status(429)); }},
      {"server errors", [&](Rig& r) { r.fake.OpenMeteo(status(500)), r.fake.Met(status(502)); }},
      {"the error object",
       [&](Rig& r) {
         r.fake.OpenMeteo(status(400, R"({"error":true,"reason":"Parameter 'daily' is invalid"})"));
         r.fake.Met(status(403));
       }},
      {"a three-day series", [](Rig& r) { r.ProvidersAnswer(3); }},
      {"not JSON", [&](Rig& r) { r.fake.OpenMeteo(status(200, "<html>")), r.fake.Met(status(200, "{\"type\":")); }},
      {"a hang", [](Rig& r) { r.fake.OpenMeteo(r.fake.Hang()), r.fake.Met(r.fake.Hang()); }},
      // Figures no forecast can hold are never converted.
      {"a temperature of 1e308",
       [](Rig& r) {
         r.ProvidersAnswerChanged([](Json& l) { l["daily"]["temperature_2m_max"][0] = 1e308; },
                                  [](Json& a) { Step(a, 0)["air_temperature"] = -1e308; });
       }},
      {"a temperature of 4294967316",
       [](Rig& r) {
         r.ProvidersAnswerChanged([](Json& l) { l["daily"]["temperature_2m_min"][1] = 4294967316.0; },
                                  [](Json& a) { Step(a, 3)["air_temperature"] = 4294967316.0; });
       }},
      {"a weather code of 1e300, rain of 1e12 mm",
       [](Rig& r) {
         r.ProvidersAnswerChanged([](Json& l) { l["hourly"]["weather_code"][7] = 1e300; },
                                  [](Json& a) {
                                    a["properties"]["timeseries"][2]["data"]["next_1_hours"]["details"]
                                     ["precipitation_amount"] = 1e12;
                                  });
       }},
      {"negative wind, a direction of 720, an elevation of 1e9",
       [](Rig& r) {
         r.ProvidersAnswerChanged([](Json& l) { l["hourly"]["wind_speed_10m"][9] = -3, l["elevation"] = 1e9; },
                                  [](Json& a) { Step(a, 4)["wind_from_direction"] = 720; });
       }},
      {"series far longer than asked",
       [](Rig& r) {
         r.ProvidersAnswerChanged(nullptr,
                                  [](Json& a) {
                                    Json& steps = a["properties"]["timeseries"];
                                    for (int i = 0; i < 5000; ++i) steps.push_back(steps[0]);
                                  },
                                  20000);
       }},
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.ProvidersAnswer();
    rig.Make(rig.Options()).RefreshDue();
    const std::string before = rig.Record("54511");
    ASSERT_FALSE(before.empty());
    c.set(rig);
    rig.clock += 4 * 3600;  // all due again
    EXPECT_EQ(rig.feed->RefreshDue(), 0) << c.why;
    EXPECT_EQ(rig.Record("54511"), before) << c.why;
    EXPECT_NE(rig.Log().find("keep their last records"), std::string::npos) << c.why << "\n" << rig.Log();
  }
}

TEST(Feed, ARecordHoldsOnlyTheDaysThePagesCanShow) {
  Rig rig;
  const std::string today = rig.today;
  rig.today = DayAfter(today, -2);  // the answer begins two days back
  rig.ProvidersAnswerChanged(nullptr, nullptr, 16);
  Feed& feed = rig.Make(rig.Options());
  feed.today = [today] { return today; };
  ASSERT_EQ(feed.RefreshDue(), 3) << rig.Log();
  auto f = ParseForecastJson(rig.Record("54511"), today, nullptr, 1);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->days.front().date, today);
  EXPECT_EQ(f->days.size(), 7u) << "a week from today, as asked";
}

TEST(Feed, ProviderTimesFarFromTheClockAreNotBelieved) {
  const std::string y2099 = "Thu, 01 Jan 2099 00:00:00 GMT";
  struct Case {
    const char* why;
    Provider primary;
    std::function<void(Json&)> met;
    std::function<void(httplib::Response&)> metHeaders;
    std::string date;
  } cases[] = {
      {"an Open-Meteo Date of 2099", Provider::kOpenMeteo, nullptr, nullptr, y2099},
      {"a MET Norway answer updated in 2099, expiring in 2099", Provider::kMetNorway,
       [](Json& a) { a["properties"]["meta"]["updated_at"] = "2099-01-01T00:00:00Z"; },
       [y2099](httplib::Response& res) {
         res.set_header("Expires", y2099);
         res.set_header("Last-Modified", y2099);
       },
       ""},
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.ProvidersAnswerChanged(nullptr, c.met, 7, c.metHeaders, c.date);
    Feed& feed = rig.Make(rig.Options(c.primary));
    ASSERT_EQ(feed.RefreshDue(), 3) << c.why << "\n" << rig.Log();
    auto f = ParseForecastJson(rig.Record("54511"), rig.today);
    ASSERT_TRUE(f) << c.why;
    EXPECT_EQ(f->issued, LocalStamp(rig.clock)) << c.why << ": the time it came";
    // The station is asked again after the interval, this run and the next.
    rig.clock += 4 * 3600;
    rig.fake.Forget();
    EXPECT_EQ(rig.Make(rig.Options(c.primary)).RefreshDue(), 3) << c.why;
    EXPECT_EQ(rig.fake.Requests().size(), c.primary == Provider::kMetNorway ? 3u : 1u) << c.why;
  }
}

TEST(Feed, StateFilesFromOutsideNeitherHangNorGrowTheFeed) {
  const std::time_t now = std::time(nullptr);
  std::string mixed = Json{{"asked", {{"54511", now - 60}, {"12345", now}, {"58367", 4102444800LL}}},
                           {"fetched", {{"54511", now - 60}, {"12345", now}}},
                           {"met", {{"54511", {{"last_modified", std::string(90 << 10, 'x')}, {"expires", 4102444800LL}}},
                                    {"12345", {{"last_modified", "x"}, {"expires", 5}}}}}}
                          .dump();
  std::string big = "{\"asked\":{";
  for (int i = 0; big.size() < (6u << 20); ++i) big += "\"" + std::to_string(1000000 + i) + "\":1,";
  big += "\"0\":1}}";
  struct Case {
    const char* why;
    std::function<void(zel::test::TempDir&)> plant;
    std::function<void(zel::test::TempDir&)> unstick;  // what an old build waits for
  } cases[] = {
#ifndef _WIN32  // Windows has no FIFO in a folder
      {"feed.conf is a FIFO", [](zel::test::TempDir& d) { ASSERT_EQ(::mkfifo((d / "feed.conf").c_str(), 0644), 0); },
       [](zel::test::TempDir& d) { ::close(::open((d / "feed.conf").c_str(), O_WRONLY | O_NONBLOCK)); }},
#endif
      {"6 MB of unknown stations", [&](zel::test::TempDir& d) { d.Write("feed-state.json", big); }, nullptr},
      {"unknown stations, times and dates far off", [&](zel::test::TempDir& d) { d.Write("feed-state.json", mixed); },
       nullptr},
  };
  for (const Case& c : cases) {
    Rig rig;
    c.plant(rig.data);
    FeedOptions o = rig.Options();
    o.contact = "";  // so feed.conf is read
    o.all = false;
    std::atomic<bool> made{false};
    std::thread watchdog([&] {
      for (int i = 0; i < 500 && !made; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
      if (!made && c.unstick) c.unstick(rig.data);
    });
    auto t0 = std::chrono::steady_clock::now();
    Feed& feed = rig.Make(o);
    made = true;
    watchdog.join();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(8)) << c.why << ": the start waited";
    rig.ProvidersAnswer();
    feed.RefreshDue();
    std::string state;
    ASSERT_TRUE(ReadFile(rig.data / "feed-state.json", state)) << c.why;
    EXPECT_LT(state.size(), 4096u) << c.why;
    for (const char* gone : {"12345", "1000000", "4102444800", "xxxx"})
      EXPECT_EQ(state.find(gone), std::string::npos) << c.why << ": " << gone;
  }
}

TEST(Feed, AProvidersTextGoesIntoTheLogCutShortOnOneLine) {
  Rig rig;
  std::string reason = "bad\n2026-12-01 00:00:00 forged line\r\n" + std::string(7 << 20, 'e');
  rig.fake.OpenMeteo([&](const httplib::Request&, httplib::Response& res) {
    res.status = 400;
    res.set_content(Json{{"error", true}, {"reason", reason}}.dump(), "application/json");
  });
  rig.fake.Met([](const httplib::Request&, httplib::Response& res) { res.status = 403; });
  FeedOptions o = rig.Options();
  o.httpTimeoutMs = 20000;  // 7 MiB under a sanitizer on a busy machine outlasts the rig's 400 ms
  rig.Make(o).RefreshDue();
  std::string log = rig.Log();
  EXPECT_LT(log.size(), 4096u);
  EXPECT_EQ(log.find("\n2026-12-01 00:00:00 forged"), std::string::npos) << log.substr(0, 2000);
  EXPECT_NE(log.find("forged line"), std::string::npos) << "the start of the text stays";
}

TEST(Feed, FailsOverToTheOtherProviderAndBacksOffAfterRateLimits) {
  Rig rig;
  rig.ProvidersAnswer();
  rig.fake.OpenMeteo([](const httplib::Request&, httplib::Response& res) { res.status = 503; });
  Feed& feed = rig.Make(rig.Options());
  EXPECT_EQ(feed.RefreshDue(), 3);
  EXPECT_NE(rig.Record("58367").find("\"MET Norway\""), std::string::npos);
  EXPECT_NE(rig.Log().find("failing over to met-norway"), std::string::npos) << rig.Log();

  // Both refuse: no new calls until the back-off (Retry-After) has passed.
  rig.fake.OpenMeteo([](const httplib::Request&, httplib::Response& res) {
    res.status = 429;
    res.set_header("Retry-After", "3000");
  });
  rig.fake.Met([](const httplib::Request&, httplib::Response& res) { res.status = 429; });
  rig.clock += 4 * 3600;
  feed.RefreshDue();
  size_t omCalls = rig.fake.Count("/v1/"), metCalls = rig.fake.Count("/weatherapi/");
  EXPECT_EQ(metCalls, 4u) << "three answers, then one refusal ends the round";
  rig.clock += 1900;  // the stations' retry is due, Open-Meteo's back-off is not over
  feed.RefreshDue();
  EXPECT_EQ(rig.fake.Count("/v1/"), omCalls);
  EXPECT_EQ(rig.fake.Count("/weatherapi/"), metCalls + 1) << "one probe after MET Norway's shorter back-off";
  rig.clock += 3600;
  rig.ProvidersAnswer();
  EXPECT_EQ(feed.RefreshDue(), 3);
  EXPECT_NE(rig.Record("58367").find("\"Open-Meteo.com\""), std::string::npos);
}

// Moments of a local (Beijing) day, for a clock of our own.
std::time_t At(const std::string& day, int hour, int minute) {
  return *ParseUtc(day + "T00:00") - kLocalOffsetSeconds + hour * 3600 + minute * 60;
}

TEST(Feed, ADayChangeKeepsEveryFedStationOnTheProvidersFigures) {
  Rig rig;
  const std::string d0 = "2026-03-10", d1 = "2026-03-11";
  rig.today = d0;
  rig.clock = At(d0, 23, 40);
  rig.ProvidersAnswer(7);
  Feed& feed = rig.Make(rig.Options());
  feed.today = [&rig] { return LocalStamp(rig.clock).substr(0, 10); };
  ASSERT_EQ(feed.RefreshDue(), 3);
  rig.fake.Forget();
  rig.clock = At(d1, 0, 20);  // past midnight, before the next refresh
  for (const char* s : {"54511", "58367", "59287"}) {
    std::string why;
    auto f = ParseForecastJson(rig.Record(s), d1, &why);
    ASSERT_TRUE(f) << s << ": " << why;
    EXPECT_EQ(f->days.front().date, d1) << s;
    EXPECT_EQ(f->credit, "Open-Meteo.com") << s;
    EXPECT_TRUE(feed.Fresh(s)) << s << ": a page would not wait for a fetch";
  }
  EXPECT_EQ(feed.RefreshDue(), 0);
  EXPECT_TRUE(rig.fake.Requests().empty());
}

TEST(Feed, ARecordIsRefreshedBeforeItRunsShortAtMidnight) {
  struct Case {
    int days;      // in the provider's answer, fetched at 10:00
    int hour, minute;  // when we look again, the same evening
    int due;
    const char* why;
  } cases[] = {
      {7, 23, 45, 0, "a week lasts past midnight: the daily interval stands"},
      {5, 23, 0, 0, "five days still serve today"},
      {5, 23, 35, 3, "five days would be four after midnight"},
  };
  for (const Case& c : cases) {
    Rig rig;
    const std::string d0 = "2026-03-10";
    rig.today = d0;
    rig.clock = At(d0, 10, 0);
    rig.ProvidersAnswer(c.days);
    FeedOptions o = rig.Options();
    o.intervalSeconds = 86400;
    Feed& feed = rig.Make(o);
    feed.today = [&rig] { return LocalStamp(rig.clock).substr(0, 10); };
    ASSERT_EQ(feed.RefreshDue(), 3) << c.why;
    rig.clock = At(d0, c.hour, c.minute);
    EXPECT_EQ(feed.RefreshDue(), c.due) << c.why;
  }
}

TEST(Feed, MetNorwayIsAskedOnlyWithAContactAndA203IsAnAnswer) {
  struct Case {
    Provider primary;
    const char* contact;
    bool openMeteoDown;
    int metStatus;
    size_t metCalls;
    int written;
    const char* userAgent;
    const char* logged;
    const char* why;
  } cases[] = {
      {Provider::kMetNorway, "", false, 200, 0, 3, "zelmora-server/5.9", "failing over to open-meteo",
       "first, no contact: Open-Meteo answers"},
      {Provider::kOpenMeteo, "", true, 200, 0, 0, "zelmora-server/5.9", "no contact for MET Norway",
       "failover, no contact"},
      {Provider::kOpenMeteo, "ops@example.org", true, 200, 3, 3, "zelmora-server/5.9 (ops@example.org)",
       "failing over to met-norway", "failover with a contact"},
      {Provider::kMetNorway, "ops@example.org", false, 203, 3, 3, "zelmora-server/5.9 (ops@example.org)",
       "MET Norway answered 203", "a deprecated version still answers"},
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.metStatus = c.metStatus;
    rig.ProvidersAnswer();
    if (c.openMeteoDown) rig.fake.OpenMeteo([](const httplib::Request&, httplib::Response& res) { res.status = 503; });
    FeedOptions o = rig.Options(c.primary);
    o.contact = c.contact;
    Feed& feed = rig.Make(o);
    EXPECT_EQ(feed.UserAgent(), c.userAgent) << c.why;
    EXPECT_EQ(feed.RefreshDue(), c.written) << c.why << "\n" << rig.Log();
    EXPECT_EQ(rig.fake.Count("/weatherapi/"), c.metCalls) << c.why;
    EXPECT_NE(rig.Log().find(c.logged), std::string::npos) << c.why << "\n" << rig.Log();
    for (const auto& s : rig.fake.Requests()) EXPECT_EQ(s.userAgent, c.userAgent) << c.why;
  }
}

TEST(Feed, MetNorwayIsAskedConditionallyAndNotBeforeItsAnswerExpires) {
  Rig rig;
  rig.ProvidersAnswer();
  Feed& feed = rig.Make(rig.Options(Provider::kMetNorway));
  EXPECT_EQ(feed.RefreshDue(), 3);
  EXPECT_EQ(rig.fake.Count("/weatherapi/"), 3u);
  for (const auto& s : rig.fake.Requests()) EXPECT_EQ(s.ifModifiedSince, "");
  const std::string before = rig.Record("54511");

  // An hour on, the answers (expiring in half an hour) may be asked again,
  // with the exact Last-Modified text: 304 keeps the record as it is.
  rig.clock += 4 * 3600;
  rig.fake.Forget();
  EXPECT_EQ(feed.RefreshDue(), 0);
  auto seen = rig.fake.Requests();
  ASSERT_EQ(seen.size(), 3u);
  for (const auto& s : seen) EXPECT_EQ(s.ifModifiedSince, "Tue, 01 Dec 2026 08:00:00 GMT");
  EXPECT_EQ(rig.Record("54511"), before);
  EXPECT_TRUE(feed.Fresh("54511"));

  // An answer that expires in a day is not asked for again before that.
  rig.fake.Met([&](const httplib::Request&, httplib::Response& res) {
    res.status = 304;
    res.set_header("Expires", HttpNow(std::time(nullptr) + 86400));
  });
  rig.clock += 4 * 3600;
  feed.RefreshDue();
  rig.fake.Forget();
  rig.clock += 4 * 3600;
  feed.RefreshDue();
  EXPECT_EQ(rig.fake.Requests().size(), 0u);
}

TEST(Feed, StationsAskedForAreKeptFreshAcrossARestartForSevenDays) {
  Rig rig;
  rig.ProvidersAnswer();
  FeedOptions o = rig.Options();
  o.all = false;
  rig.Make(o).BeforeAnswer("58367");  // not started: remembered, not fetched
  EXPECT_EQ(rig.feed->RefreshDue(), 1);
  EXPECT_EQ(rig.fake.Requests()[0].latitude, "31.4");
  EXPECT_FALSE(rig.Record("58367").empty());
  EXPECT_TRUE(rig.Record("54511").empty());

  rig.clock += 4 * 3600;
  Feed& again = rig.Make(o);  // a new process reads the state file
  EXPECT_EQ(again.RefreshDue(), 1);
  rig.clock += 8 * 86400;
  Feed& later = rig.Make(o);
  EXPECT_EQ(later.RefreshDue(), 0) << "asked more than seven days ago";
}

TEST(Feed, APageWaitsForAnOnDemandFetchBoundedAndStopEndsAHangingFetch) {
  Rig rig;
  rig.ProvidersAnswer();
  FeedOptions o = rig.Options();
  o.all = false;
  o.onDemandWaitMs = 700;
  o.httpTimeoutMs = 20000;
  o.maxWaiting = 1;
  Feed& feed = rig.Make(o);
  feed.Start();
  feed.BeforeAnswer("59287");
  EXPECT_TRUE(feed.Fresh("59287")) << rig.Log();
  EXPECT_FALSE(rig.Record("59287").empty());

  rig.fake.OpenMeteo(rig.fake.Hang());
  auto t0 = std::chrono::steady_clock::now();
  feed.BeforeAnswer("54511");
  double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_LT(waited, 3.0) << "the page is answered after the on-demand wait";
  EXPECT_TRUE(rig.Record("54511").empty());

  // While one page waits, another stale station is answered at once.
  std::thread first([&] { feed.BeforeAnswer("54511"); });
  for (int i = 0; i < 200 && feed.Waiting() == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(feed.Waiting(), 1);
  t0 = std::chrono::steady_clock::now();
  feed.BeforeAnswer("58367");
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 0.5);
  first.join();
  t0 = std::chrono::steady_clock::now();
  feed.Stop();  // the worker is inside the hanging request
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 3.0);
}

TEST(Feed, OptionValues) {
  struct Case {
    const char* text;
    std::optional<int> seconds;
  } cases[] = {{"3h", 10800},         {"90m", 5400},
               {"600s", 600},         {"600", 600},
               {"59", std::nullopt},  {"25h", std::nullopt},
               {"", std::nullopt},    {"h", std::nullopt},
               {"-5m", std::nullopt}, {"99999999999", std::nullopt}};
  for (const Case& c : cases) EXPECT_EQ(ParseInterval(c.text), c.seconds) << c.text;
  bool ok;
  EXPECT_EQ(ParseProvider("met-norway", ok), Provider::kMetNorway);
  EXPECT_EQ(ParseProvider("off", ok), std::nullopt);
  EXPECT_TRUE(ok);
  ParseProvider("metno", ok);
  EXPECT_FALSE(ok);
}

}  // namespace
}  // namespace zel::server::feed::test
