// End to end: a loopback fake provider, the real zelmora-server with its
// feed, and zelmora-cli fetching every source's page as the program does.
// The first page of a station waits for its on-demand fetch; offline, the
// records stay, and a station without one shows the program's cache.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <regex>
#include <thread>

#include "feed_fake.h"
#include "server/weather_pages.h"
#include "support/child_process.h"

#ifdef _WIN32
#include "base/os/windows/wide.h"
#endif

namespace zel::server::feed::test {
namespace {

using Process = zel::test::ChildProcess;

// The build's program name, as the system's shell takes it.
std::string Program(const char* name) {
  std::string path = std::string(ZEL_APP_DIR) + "/" + name;
#ifdef _WIN32
  std::replace(path.begin(), path.end(), '/', '\\');
#endif
  return path;
}

std::string Shell(const std::string& cmd) {
  std::string out;
#ifdef _WIN32
  // The command line as UTF-16, as the program reads it; the output as bytes.
  FILE* p = ::_wpopen(zel::os::Wide(cmd).c_str(), L"rb");
#else
  FILE* p = ::popen(cmd.c_str(), "r");
#endif
  if (!p) return out;
  std::array<char, 4096> buf;
  for (size_t n; (n = std::fread(buf.data(), 1, buf.size(), p)) > 0;) out.append(buf.data(), n);
#ifdef _WIN32
  ::_pclose(p);
#else
  ::pclose(p);
#endif
  return out;
}

struct Source {
  const char *source, *view;
  std::vector<const char*> want;  // UTF-8 pieces of the record
};

TEST(FeedEndToEnd, EverySourceShowsTheProvidersFiguresAndOfflineTheLastRecordsStay) {
  zel::test::TempDir data, app;
  data.Write("coordinates.tsv",
             "#station\tlatitude\tlongitude\tprovince\tcity\n54511\t39.8\t116.4667\t北京\t北京\n"
             "58367\t31.4\t121.45\t上海\t上海\n45005\t22.2783\t114.1747\t香港\t香港\n"
             "51463\t43.78\t87.65\t新疆\t乌鲁木齐\n");
  app.Write("Download/.keep", "");
  const std::string today = Today();
  auto fake = std::make_unique<FakeProviders>();
  fake->OpenMeteo([today](const httplib::Request& req, httplib::Response& res) {
    Json loc = OpenMeteoLocation(today, 7, 39.8, 116.47, 2,
                                 [](const std::string&, int h) -> Json { return h >= 6 && h < 12 ? 63 : 3; });
    // The first day's hours blow from the north-east, force 4 and once 5.
    for (int h = 0; h < 30; ++h) {
      loc["hourly"]["wind_speed_10m"][h] = h == 10 ? 8.5 : 5.6;
      loc["hourly"]["wind_direction_10m"][h] = 44;
    }
    const std::string lat = req.get_param_value("latitude");
    if (lat == "22.2783") {  // Hong Kong in other units than asked, with nulls
      loc["daily_units"]["temperature_2m_max"] = loc["daily_units"]["temperature_2m_min"] = "°F";
      loc["daily"]["temperature_2m_max"][0] = 86;
      loc["daily"]["temperature_2m_min"][0] = 77;
      loc["hourly_units"]["wind_speed_10m"] = "km/h";
      for (auto& v : loc["hourly"]["wind_speed_10m"]) v = 36;
      for (int h = 6; h < 12; ++h) loc["hourly"]["wind_speed_10m"][h] = nullptr;
    } else if (lat == "43.78") {  // Urumqi without its hourly winds
      loc["hourly"].erase("wind_speed_10m");
      loc["daily"]["wind_speed_10m_max"][0] = 11.0;
      loc["daily"]["wind_direction_10m_dominant"][0] = 315;
    }
    res.set_content(loc.dump(), "application/json");
  });
  const std::string exe = std::string(ZEL_APP_DIR) + "/zelmora-server";
  auto server = [&](const std::string& feedUrl, std::vector<std::string> more = {}) {
    std::vector<std::string> args{exe,
                                  "--port",
                                  "0",
                                  "--data",
                                  data.path(),
                                  "--stations",
                                  std::string(ZEL_SOURCE_DIR) + "/data/Weather.ini",
                                  "--images",
                                  std::string(ZEL_SOURCE_DIR) + "/data/images",
                                  "--feed",
                                  "open-meteo",
                                  "--feed-url",
                                  feedUrl,
                                  "--feed-contact",
                                  "test@example.org"};
    args.insert(args.end(), more.begin(), more.end());
    return std::make_unique<Process>(args);
  };
  auto proc = server(fake->base());
  std::string port = proc->WaitFor(std::regex("listening on http://127.0.0.1:(\\d+)"));
  ASSERT_FALSE(port.empty()) << proc->log();
  app.Write("Servers.ini", "[servers]\r\nCC=http://127.0.0.1:" + port + "\r\nCN=http://127.0.0.1:" + port +
                               "\r\nOnline=http://127.0.0.1:" + port + "\r\n");
  auto cli = [&](const Source& s, const char* station) {
    return Shell(Program("zelmora-cli") + " --app " + app.path() + " fetch " + s.source + " " + s.view +
                 " " + station + " 2>&1");
  };

  const Source sources[] = {
      {"cc", "forecast", {"发布（数据：Open-Meteo.com（CC BY 4.0），经换算）", "\n25\n15\n", "中雨转阴", "东北风4-5级"}},
      {"cn",
       "forecast",
       {"数据：Open-Meteo.com（CC BY 4.0），经换算，", "中雨，阴", "\n15\n25\n", "东北风4-5级", "05:01", "19:02", "116.47", "39.80"}},
      {"cn", "trend", {"\n25\n15\n", "东北风4-5级", "\n26\n16\n", "\n数据：Open-Meteo.com（CC BY 4.0），经换算，"}},
      {"online", "forecast", {"\n15\n16\n17\n25\n26\n27\n", "中雨\n", "阴\n", "\n数据：Open-Meteo.com（CC BY 4.0），经换算，"}},
      {"online", "wind", {"东北风4-5级\n", "\n数据：Open-Meteo.com（CC BY 4.0），经换算，"}},
  };
  // No --feed-all: the first page of 54511 has it fetched on demand.
  for (const Source& s : sources) {
    std::string out = cli(s, "54511");
    SCOPED_TRACE(std::string(s.source) + " " + s.view + ":\n" + out);
    EXPECT_NE(out.find("status\t完成，已更新！"), std::string::npos);
    EXPECT_EQ(out.find("演示数据"), std::string::npos);
    for (const char* w : s.want) EXPECT_NE(out.find(w), std::string::npos) << w;
  }
  EXPECT_EQ(fake->Count("/v1/forecast"), 1u) << "one fetch, the later pages find the record fresh";
  // The page the window shows, poured into the shipped templates, credits
  // the provider and says when it issued the forecast.
  app.Write("Weather.ini", zel::test::ReadAll(std::string(ZEL_SOURCE_DIR) + "/data/Weather.ini"));
  for (const char* f : {"ForeCastOnline.htm", "WendOnline.htm", "ForeCastCC.htm", "ForeCastCN.htm", "WendCN.htm"})
    app.Write(std::string("Template/default/") + f,
              zel::test::ReadAll(std::string(ZEL_SOURCE_DIR) + "/data/Template/default/" + f));
  for (const char* server : {"online", "cc", "cn"}) {
    std::string page = Shell(Program("zelmora-cli") + " --app " + app.path() +
                             " forecast 北京 北京 --server " + server + " 2>&1");
    for (const char* link : {"数据：<a href=\"https://open-meteo.com/\">Open-Meteo.com</a>（<a "
                             "href=\"https://creativecommons.org/licenses/by/4.0/\">CC BY 4.0</a>），经换算"})
      EXPECT_NE(page.find(link), std::string::npos) << server << "\n" << page;
    EXPECT_TRUE(std::regex_search(page, std::regex("[0-9]{2}:[0-9]{2}发布"))) << server << "\n" << page;
    EXPECT_EQ(page.find("演示数据"), std::string::npos) << server;
  }
  // Any other city of the table is fetched the same way on its first page,
  // whatever units its answer comes in and whatever series it lacks.
  struct Awkward {
    const char* station;
    std::vector<const char*> want;
  } awkward[] = {{"45005", {"\n30\n25\n", "东北风5级\n"}}, {"51463", {"西北风6级\n"}}};
  for (const Awkward& a : awkward) {
    std::string out = cli(sources[0], a.station);
    EXPECT_NE(out.find("发布（数据：Open-Meteo.com"), std::string::npos) << a.station << "\n" << out;
    EXPECT_EQ(out.find("演示数据"), std::string::npos) << a.station;
    for (const char* w : a.want) EXPECT_NE(out.find(w), std::string::npos) << a.station << " " << w << "\n" << out;
  }
  EXPECT_NE(fake->Requests().at(0).userAgent.find("test@example.org"), std::string::npos);
  std::string record = data.Read("forecasts/54511.json");

  // Offline: a new server whose provider cannot be reached keeps the record
  // and serves it; a station without one gets no page, never made-up
  // figures, and the program shows its cache or the source's error.
  proc.reset();
  fake.reset();
  proc = server("http://127.0.0.1:1");
  port = proc->WaitFor(std::regex("listening on http://127.0.0.1:(\\d+)"));
  ASSERT_FALSE(port.empty()) << proc->log();
  app.Write("Servers.ini", "[servers]\r\nCC=http://127.0.0.1:" + port + "\r\nCN=http://127.0.0.1:" + port +
                               "\r\nOnline=http://127.0.0.1:" + port + "\r\n");
  std::string never = cli(sources[0], "58367");
  EXPECT_NE(never.find("status\t有错误发生"), std::string::npos) << never;
  EXPECT_FALSE(proc->WaitFor(std::regex("no network.*keep their last records")).empty()) << proc->log();
  std::string out = cli(sources[0], "54511");
  EXPECT_NE(out.find("东北风4-5级"), std::string::npos) << out;
  EXPECT_EQ(data.Read("forecasts/54511.json"), record);
  // The record gone (a server that never reached the provider): 54511 from
  // the program's cache, 58367 (never fetched) not at all.
  ASSERT_EQ(std::remove((data.path() + "forecasts/54511.json").c_str()), 0);
  for (const Source& s : sources)
    for (const char* station : {"54511", "58367"}) {
      std::string out = cli(s, station);
      SCOPED_TRACE(std::string(s.source) + " " + s.view + " " + station + ":\n" + out);
      EXPECT_EQ(out.find("演示数据"), std::string::npos);
      EXPECT_EQ(out.find("完成，已更新！"), std::string::npos);
      if (std::string(station) == "54511") {
        EXPECT_NE(out.find("status\t完成，未更新！"), std::string::npos);
        for (const char* w : s.want) EXPECT_NE(out.find(w), std::string::npos) << w;
      } else {
        EXPECT_NE(out.find("status\t有错误发生"), std::string::npos);
      }
    }
  for (const char* server : {"online", "cc", "cn"}) {
    std::string page = Shell(Program("zelmora-cli") + " --app " + app.path() +
                             " forecast 北京 北京 --server " + server + " 2>&1");
    EXPECT_NE(page.find("完成，未更新！"), std::string::npos) << server << "\n" << page;
    for (const char* link : {"数据：<a href=\"https://open-meteo.com/\">Open-Meteo.com</a>（<a "
                             "href=\"https://creativecommons.org/licenses/by/4.0/\">CC BY 4.0</a>），经换算"})
      EXPECT_NE(page.find(link), std::string::npos) << server << "\n" << page;
    EXPECT_EQ(page.find("演示数据"), std::string::npos) << server;
    EXPECT_EQ(page.find("完成，已更新！"), std::string::npos) << server;
  }

  // MET Norway first, answering 203 (a version to be retired): still the
  // figures, and the log warns.
  proc.reset();
  auto met = std::make_unique<FakeProviders>();
  met->Met([today](const httplib::Request&, httplib::Response& res) {
    auto sym = [](const std::string&, int) { return std::string("lightrain"); };
    auto temp = [](const std::string&, int h) { return 10.0 + h % 5; };
    res.status = 203;
    res.set_content(MetAnswer(today, 9, today + "T00:00:00Z", sym, temp).dump(), "application/json");
  });
  proc = server(met->base(), {"--feed", "met-norway"});
  port = proc->WaitFor(std::regex("listening on http://127.0.0.1:(\\d+)"));
  ASSERT_FALSE(port.empty()) << proc->log();
  app.Write("Servers.ini", "[servers]\r\nCC=http://127.0.0.1:" + port + "\r\n");
  out = cli(sources[0], "58367");
  for (const char* w : {"status\t完成，已更新！", "发布（数据：MET Norway（CC BY 4.0），经换算）", "小雨"})
    EXPECT_NE(out.find(w), std::string::npos) << w << "\n" << out;
  EXPECT_FALSE(proc->WaitFor(std::regex("MET Norway answered 203")).empty()) << proc->log();

  // Stopping the server while the feed waits on a provider that hangs ends
  // both at once, not when the provider gives up.
  proc.reset();
  auto hanging = std::make_unique<FakeProviders>();
  hanging->OpenMeteo(hanging->Hang());
  hanging->Met(hanging->Hang());
  std::remove((data.path() + "feed-state.json").c_str());  // every station due at once
  proc = server(hanging->base(), {"--feed-all"});
  ASSERT_FALSE(proc->WaitFor(std::regex("listening on")).empty()) << proc->log();
  for (int i = 0; i < 100 && hanging->Requests().empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_FALSE(hanging->Requests().empty());
  auto t0 = std::chrono::steady_clock::now();
  proc.reset();
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 3.0);
}

}  // namespace
}  // namespace zel::server::feed::test
