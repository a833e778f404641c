// Weather pages of stations all over the catalogue, read by the program's own
// sources into the full record; demo figures say so in their weather words,
// and a forecast record in the provider folder is served as it is.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <ctime>

#include "base/appenv.h"
#include "base/files.h"
#include "base/text.h"
#include "server_fixture.h"
#include "weather_check.h"

namespace zel::server::test {
namespace {

// A companion on a loopback port whose today is fixed; the port closes before the companion goes.
struct ServedOn {
  std::ostringstream log;
  CompanionServer companion;
  HttpLoopback http;
  ServedOn(const ServerOptions& o, const std::string& today) : companion(o, log) {
    companion.Load();
    companion.today = [today] { return today; };
    companion.Mount(http.http());
    http.Start();
  }
};

TEST_F(WeatherPages, StationsOfEveryBlockParseIntoFullDemoRecords) {
  app.UseServer(SharedServer::Get().base());
  // Warm and cold, north and south; all stations: server_stations_tests.
  for (const char* code : {"54511", "58367", "59287", "50953", "55591", "51463", "45005", "59948"})
    ExpectFullDemoRecords(app, code);
}

TEST_F(WeatherPages, ProviderRecordsAreServedAsTheyAreWithoutTheDemoLabel) {
  zel::test::TempDir data;
  const std::string today = "2024-06-01";
  data.Write("forecasts/54511.json", S(u8R"({
    "issued": "2024-06-01 07:30",
    "sunrise": "04:46", "sunset": "19:41", "longitude": "116.47", "latitude": "39.80", "altitude": "31.3米",
    "days": [
      {"date": "2024-05-31", "high": 1, "low": 0, "am": "晴"},
      {"date": "2024-06-01", "high": 31, "low": 19, "am": "多云", "pm": "晴", "night": "晴",
       "wind_am": "南风3-4级", "wind_pm": "南风2级", "wind_night": "微风"},
      {"date": "2024-06-02", "high": 29, "low": 18, "am": "雷阵雨", "night": "小雨", "icon_day": "04"},
      {"date": "2024-06-03", "high": -2, "low": -11, "am": "小雪"},
      {"date": "2024-06-04", "high": 25, "low": 15, "am": "阴"},
      {"date": "2024-06-05", "high": 26, "low": 16, "am": "晴"}
    ]})"));
  data.Write("forecasts/58367.json", "{ not json");
  ServerOptions o = TestOptions();
  o.dataDir = data.path();
  ServedOn served(o, today);
  app.UseServer(served.http.base());

  Records r = FetchAll(app, "54511");
  ASSERT_EQ(r.cc.size(), 16u);
  struct Case {
    const std::string& got;
    const char8_t* want;
  } cases[] = {
      {r.cc[0], u8"2024-06-01 07:30发布"}, {r.cc[1], u8"31"},        {r.cc[2], u8"19"},       {r.cc[4], u8"多云转晴"},
      {r.cc[5], u8"南风3-4级"},        {r.cc[9], u8"雷阵雨转小雨"}, {r.cc[11], u8"-2"},     {r.cc[12], u8"-11"},
      {r.cn[1], u8"多云，晴"},          {r.cn[3], u8"19"},         {r.cn[4], u8"31"},       {r.cn[5], u8"南风3-4级"},
      {r.cn[6], u8"04:46"},            {r.cn[7], u8"19:41"},      {r.cn[8], u8"116.47"},   {r.cn[9], u8"39.80"},
      {r.cn[10], u8"31.3米"},          {r.trend[0], u8"6月1日"},   {r.trend[7], u8"6月2日"}, {r.trend[31], u8"26"},
      {r.online[0], u8"6月1日 周六"},   {r.online[3], u8"19"},     {r.online[6], u8"31"},   {r.online[9], u8"多云"},
      {r.online[12], u8"晴"},           {r.online[15], u8"晴"},    {r.wind[3], u8"南风3-4级"}, {r.wind[6], u8"南风2级"},
      {r.wind[9], u8"微风"},
  };
  ASSERT_EQ(r.trend.size(), 35u);
  ASSERT_EQ(r.online.size(), 18u);
  ASSERT_EQ(r.wind.size(), 12u);
  for (const Case& c : cases) EXPECT_EQ(U(c.got), S(c.want));
  EXPECT_NE(r.cc[8].find("04.gif"), std::string::npos);  // the record's own icon code
  // A record that does not read falls back to labelled demo figures.
  Records broken = FetchAll(app, "58367");
  ASSERT_EQ(broken.cc.size(), 16u);
  EXPECT_TRUE(Demo(broken.cc[4]));
  EXPECT_NE(served.log.str().find("58367.json not used"), std::string::npos) << served.log.str();
}

TEST(WeatherPagesByFeed, MadeUpFiguresOnlyByNameAndNoPageWithoutAUsableRecord) {
  // A record of three days from today serves the pages that show three
  // days or fewer; the five-day trend needs five.
  const std::string today = "2024-06-01";
  std::string days;
  for (int i = 0; i < 3; ++i)
    days += std::string(i ? "," : "") + "{\"date\":\"" + AddDays(today, i) + "\",\"high\":20,\"low\":10,\"am\":\"sun\"}";
  zel::test::TempDir data;
  data.Write("forecasts/58367.json", "{\"days\":[" + days + "]}");
  // 24 MB of a record no feed writes: not even read.
  std::string huge;
  for (int i = 0; huge.size() < (24u << 20); ++i)
    huge += std::string(i ? "," : "") + "{\"date\":\"" + AddDays(today, i) + "\",\"high\":20,\"low\":10,\"am\":\"sun\",\"pm\":\"" +
            std::string(100, 'x') + "\"}";
  data.Write("forecasts/59287.json", "{\"days\":[" + huge + "]}");
  const std::string pages[] = {"/nmc/citySearch.do?cityid=", "/forecast/24time.jsp?sta_id=",
                               "/forecast/qushi.jsp?sta_id=", "/online/forecast/", "/online/wind/",
                               "/cgi-bin/region?PRG=citybild&WMO="};
  struct Case {
    const char* feed;
    const char* station;
    std::array<int, 6> status;  // per page above
    bool demo;
  } cases[] = {
      {"open-meteo", "54511", {503, 503, 503, 503, 503, 200}, false},
      {"met-norway", "54511", {503, 503, 503, 503, 503, 200}, false},
      {"open-meteo", "58367", {200, 200, 503, 200, 200, 200}, false},
      {"open-meteo", "59287", {503, 503, 503, 503, 503, 200}, false},
      {"demo", "54511", {200, 200, 200, 200, 200, 200}, true},
      {"demo", "58367", {200, 200, 200, 200, 200, 200}, true},  // the record where it serves, else demo
      {"off", "58367", {404, 404, 404, 404, 404, 404}, false},
      {"open-meteo", "99999", {404, 404, 404, 404, 404, 404}, false},
  };
  for (const Case& c : cases) {
    ServerOptions o = TestOptions();
    o.stateDir = data.path();
    o.feed = c.feed;
    ServedOn served(o, today);
    httplib::Client client("127.0.0.1", served.http.port());
    bool demo = false;
    for (size_t i = 0; i < 6; ++i) {
      std::string path = pages[i] + std::string(c.station) + (pages[i].back() == '/' ? ".htm" : "");
      auto res = client.Get(path);
      ASSERT_TRUE(res) << path;
      EXPECT_EQ(res->status, c.status[i]) << c.feed << " " << path;
      EXPECT_EQ(res->get_header_value("Retry-After"), res->status == 503 ? "300" : "") << c.feed << " " << path;
      demo = demo || Demo(res->body);
    }
    EXPECT_EQ(demo, c.demo) << c.feed << " " << c.station;
  }
}

TEST(ForecastRecords, RefuseWhatWouldMisleadOrBreakThePages) {
  const std::string today = "2024-06-01";
  auto day = [](const char* date, const char* extra = "") {
    return std::string("{\"date\":\"") + date + "\",\"high\":20,\"low\":10,\"am\":\"sun\"" + extra + "}";
  };
  auto days = [&](int first, int count) {
    std::string s;
    for (int i = 0; i < count; ++i) s += (i ? "," : "") + day(AddDays(AddDays(today, first), i).c_str());
    return "{\"days\":[" + s + "]}";
  };
  struct Case {
    std::string json;
    bool ok;
    const char* why;
  } cases[] = {
      {days(0, 5), true, "five days from today"},
      {days(-3, 8), true, "past days are dropped"},
      {days(-3, 7), false, "only four days left"},
      {days(1, 5), false, "nothing for today"},
      {"{\"days\":[" + day("2024-06-01", ",\"high\":\"hot\"") + "]}", false, "high not a number"},
      {"{\"days\":[" + day("2024-6-1") + "]}", false, "date not yyyy-mm-dd"},
      {"[]", false, "not an object"},
      {"", false, "empty"},
      {"{\"days\":[{\"date\":\"2024-06-01\",\"high\":500,\"low\":1,\"am\":\"x\"}]}", false, "absurd temperature"},
  };
  for (const Case& c : cases) {
    std::string why;
    EXPECT_EQ(ParseForecastJson(c.json, today, &why).has_value(), c.ok) << c.why << ": " << why;
  }
  // Characters the pages are cut at never reach a page line.
  auto f = ParseForecastJson(
      "{\"days\":[" + day("2024-06-01", ",\"am\":\"a<b>\\r\\n|\\\"x\"") + "," + day("2024-06-02") + "," +
          day("2024-06-03") + "," + day("2024-06-04") + "," + day("2024-06-05") + "]}",
      today);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->days[0].am.find_first_of("<>\r\n|\""), std::string::npos) << f->days[0].am;
}

TEST(ForecastRecords, TodayIsBeijingsWhateverClockTheMachineKeeps) {
  // Records begin with Beijing's today; a server on another clock must not
  // refuse them for the hours its own date differs. tzdata is the oracle.
  struct Reread {
    ~Reread() { ::tzset(); }  // after TZ is restored
  } reread;
  const char* tz = std::getenv("TZ");
  zel::test::EnvVar keep("TZ", tz ? std::optional<std::string>(tz) : std::nullopt);
  auto in = [](const char* tz, std::string (*date)()) {
#ifdef _WIN32
    ::_putenv_s("TZ", tz);
#else
    ::setenv("TZ", tz, 1);
#endif
    ::tzset();
    return date();
  };
  auto localDate = []() -> std::string {
    std::time_t t = std::time(nullptr);
    char buf[16];
    std::strftime(buf, sizeof buf, "%Y-%m-%d", std::localtime(&t));
    return buf;
  };
#ifdef _WIN32
  // Windows' C library reads no zone names, only fixed offsets.
  const char* shanghai = "CST-8";
  const char* zones[] = {"AAA+12", "UTC0", "PST8", "BBB-14", shanghai};
#else
  const char* shanghai = "Asia/Shanghai";
  const char* zones[] = {"Etc/GMT+12", "UTC", "America/Los_Angeles", "Pacific/Kiritimati", shanghai};
#endif
  for (const char* tz : zones) {
    std::string beijing = in(shanghai, localDate), today = in(tz, Today);
    if (in(shanghai, localDate) == beijing) {  // else midnight passed in between
      EXPECT_EQ(today, beijing) << tz;
    }
  }
}

TEST(ForecastRecords, WeatherWordsPickTheirPhenomenonCode) {
  struct Case {
    const char8_t* words;
    const char* code;
  } cases[] = {{u8"晴", "00"},     {u8"多云", "01"},     {u8"阴", "02"},       {u8"雷阵雨", "04"},
               {u8"小雨转晴", "07"}, {u8"大雪", "16"},     {u8"雾", "18"},       {u8"霾", "18"},
               {u8"多云转小雨", "01"}, {u8"强沙尘暴", "31"}, {u8"something", "00"}};
  for (const Case& c : cases) EXPECT_EQ(IconForWords(G(c.words)), c.code) << U(G(c.words));
}

}  // namespace
}  // namespace zel::server::test
