// The two providers' answers into forecasts: batches, nulls, errors, short
// series, missing series, units other than asked, day parts across local
// midnight, winds from the hours.
#include <gtest/gtest.h>

#include "feed_fake.h"
#include "server/feed/convert.h"
#include "server/feed/feed.h"
#include "server/feed/met_norway.h"
#include "server/feed/open_meteo.h"

namespace zel::server::feed::test {
namespace {

const Location kBeijing{"54511", 39.8, 116.4667};
const Location kShanghai{"58367", 31.4, 121.45};
const std::time_t kIssued = *ParseUtc("2024-05-31T23:30:00Z");

TEST(FeedProviders, OpenMeteoRequestBatchesLocationsInOrder) {
  std::string url = OpenMeteoUrl("http://127.0.0.1:9", {kBeijing, kShanghai, {"1", -33.86784, 151.2}});
  EXPECT_EQ(url.rfind("http://127.0.0.1:9/v1/forecast?latitude=39.8,31.4,-33.8678&longitude=116.4667,121.45,151.2&", 0),
            0u)
      << url;
  for (const char* part :
       {"daily=weather_code,temperature_2m_max,temperature_2m_min,wind_speed_10m_max,"
        "wind_direction_10m_dominant,sunrise,sunset",
        "&hourly=weather_code,wind_speed_10m,wind_direction_10m", "&wind_speed_unit=ms", "&timezone=Asia%2FShanghai",
        "&forecast_days=7"})
    EXPECT_NE(url.find(part), std::string::npos) << part;
  EXPECT_EQ(MetNorwayUrl("https://api.met.no", kBeijing),
            "https://api.met.no/weatherapi/locationforecast/2.0/compact?lat=39.8&lon=116.4667");
}

TEST(FeedProviders, MetNorwayIsToldTheAltitudeWhereTheCoordinatesTableHasOne) {
  zel::test::TempDir dir;
  dir.Write("c.tsv",
            "#station\tlatitude\tlongitude\tprovince\tcity\taltitude\n"
            "54511\t39.8\t116.4667\t北京\t北京\t31.3\n"
            "55591\t29.6667\t91.1333\t西藏\t拉萨\t3648.9\n"
            "58367\t31.4\t121.45\t上海\t上海\n"
            "59287\t23.1667\t113.3333\t广东\t广州\t\n"
            "50953\t45.75\t126.77\t黑龙江\t哈尔滨\thigh\n");
  std::string problems;
  auto locs = LoadCoordinates(dir / "c.tsv", &problems);
  struct Case {
    const char* station;
    const char* query;  // the end of MET Norway's address
  } cases[] = {
      {"54511", "lat=39.8&lon=116.4667&altitude=31"},
      {"55591", "lat=29.6667&lon=91.1333&altitude=3649"},
      {"58367", "lat=31.4&lon=121.45"},
      {"59287", "lat=23.1667&lon=113.3333"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(locs.count(c.station)) << c.station;
    std::string url = MetNorwayUrl("https://api.met.no", locs[c.station]);
    EXPECT_EQ(url.substr(url.find('?') + 1), c.query) << c.station;
  }
  EXPECT_FALSE(locs.count("50953")) << "an altitude that is not a number";
  EXPECT_EQ(problems, "1 unreadable rows");
}

TEST(FeedProviders, OpenMeteoDayPartsComeFromTheHoursAcrossLocalMidnight) {
  Json a = OpenMeteoLocation("2024-06-01", 5, 39.8, 116.47, 1, [](const std::string& date, int h) -> Json {
    if (date == "2024-06-01" && h >= 6 && h < 12) return h == 9 ? 63 : 3;  // a wet morning
    if (date == "2024-06-01" && h >= 12 && h < 18) return 45;
    if (date == "2024-06-02" && h == 2) return 95;  // thunder after midnight: still the first night
    if (date == "2024-06-02" && h >= 6 && h < 12) return nullptr;
    return 1;
  });
  a["daily"]["weather_code"][1] = 3;  // the day's code stands in for missing hours
  for (int h = 6; h < 12; ++h) {      // the first morning: 3.5 to 6 m/s, strongest from the north-east
    a["hourly"]["wind_speed_10m"][h] = 3.5 + (h - 6) * 0.5;
    a["hourly"]["wind_direction_10m"][h] = h == 11 ? 44 : 180;
  }
  a["hourly"]["wind_speed_10m"][24 + 2] = 9.0;  // a gust in the first night, after midnight
  a["hourly"]["wind_direction_10m"][24 + 2] = 225;
  a["hourly"]["wind_speed_10m"][12] = nullptr;  // an hour without wind
  for (int h = 48 + 12; h < 48 + 18; ++h) a["hourly"]["wind_speed_10m"][h] = nullptr;  // a part without
  Json b = OpenMeteoLocation("2024-06-01", 5, 31.4, 121.45);
  b["daily"]["temperature_2m_max"][2] = nullptr;  // ends the usable series after two days
  b["daily"]["sunrise"][0] = nullptr;             // computed instead
  b["hourly"].erase("wind_speed_10m");            // a missing series: the day's maximum stands in
  b["daily"]["wind_speed_10m_max"][0] = 8.0;
  b["daily"]["wind_direction_10m_dominant"][0] = 0;
  Json c = OpenMeteoLocation("2024-06-01", 5, 31.4, 121.45);  // other units than asked
  c["daily_units"]["temperature_2m_max"] = c["daily_units"]["temperature_2m_min"] = "°F";
  c["daily"]["temperature_2m_max"][0] = 77;
  c["daily"]["temperature_2m_min"][0] = 59;
  c["hourly_units"]["wind_speed_10m"] = "km/h";
  for (auto& v : c["hourly"]["wind_speed_10m"]) v = 36;
  Json d = c;
  d["hourly_units"]["wind_speed_10m"] = "bft";

  OpenMeteoAnswer r =
      ParseOpenMeteo(Json::array({a, b, c, d}).dump(), {kBeijing, kShanghai, kShanghai, kShanghai}, kIssued);
  ASSERT_EQ(r.error, "");
  ASSERT_EQ(r.forecasts.size(), 4u);
  ASSERT_TRUE(r.forecasts[0] && r.forecasts[1] && r.forecasts[2]);
  const FeedForecast& f = *r.forecasts[0];
  const FeedForecast& g = *r.forecasts[1];
  const FeedForecast& k = *r.forecasts[2];
  ASSERT_EQ(f.days.size(), 5u);
  struct Case {
    std::string got, want;
  } cases[] = {
      {f.issued, "2024-06-01 07:30"},
      {f.credit, "Open-Meteo.com"},
      {f.sunrise, "05:01"},
      {f.sunset, "19:02"},
      {f.days[0].am, "中雨"},
      {f.days[0].iconDay, "08"},
      {f.days[0].pm, "雾"},
      {f.days[0].night, "雷阵雨"},
      {f.days[0].iconNight, "04"},
      {f.days[0].windAm, "东北风3-4级"},
      {f.days[0].windPm, "微风"},
      {f.days[0].windNight, "西南风2-5级"},
      {f.days[0].wind, "西南风2-5级"},
      {f.days[1].am, "阴"},
      {f.days[1].night, "晴"},
      {f.days[2].windPm, "微风"},
      {f.days[4].date, "2024-06-05"},
      {std::to_string(f.days[0].high), "25"},
      {std::to_string(f.days[0].low), "15"},
      {g.days[0].wind, "北风5级"},
      {g.days[0].windAm, "北风5级"},
      {g.days[1].wind, "微风"},
      {std::to_string(k.days[0].high), "25"},
      {std::to_string(k.days[0].low), "15"},
      {k.days[0].windAm, "东风5级"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want);
  EXPECT_EQ(g.days.size(), 2u);
  EXPECT_EQ(g.sunrise, SunriseSunset(31.4, 121.45, 2024, 6, 1, 8).rise);
  EXPECT_FALSE(r.forecasts[3]);
  EXPECT_EQ(r.why[3], "hourly_units.wind_speed_10m in unknown unit \"bft\"");
}

TEST(FeedProviders, OpenMeteoAnswersThatCannotBeUsed) {
  Json one = OpenMeteoLocation("2024-06-01", 5, 39.8, 116.47);
  struct Case {
    std::string body;
    size_t locations;
    std::string error;  // prefix
    const char* why;
  } cases[] = {
      {one.dump(), 1, "", "one location answers with one object"},
      {R"({"error":true,"reason":"Latitude must be in range of -90 to 90°. Given: 91.0."})", 1,
       "provider error: Latitude must be in range", "the error object"},
      {Json::array({one, one}).dump(), 3, "answer holds 2 locations for 3 asked", "a short array"},
      {"[1,2", 1, "answer is not JSON", "cut off"},
      {"", 1, "answer is not JSON", "empty"},
  };
  for (const Case& c : cases) {
    std::vector<Location> locs(c.locations, kBeijing);
    OpenMeteoAnswer r = ParseOpenMeteo(c.body, locs, kIssued);
    EXPECT_EQ(r.error.substr(0, c.error.size()), c.error) << c.why;
    if (c.error.empty()) {
      ASSERT_EQ(r.forecasts.size(), 1u);
      EXPECT_TRUE(r.forecasts[0]) << c.why;
    }
  }
  // A location whose every figure is null gives no forecast, not a crash.
  Json nulls = one;
  for (auto& [k, v] : nulls["daily"].items())
    if (k != "time")
      for (auto& x : v) x = nullptr;
  for (auto& x : nulls["hourly"]["weather_code"]) x = nullptr;
  OpenMeteoAnswer r = ParseOpenMeteo(nulls.dump(), {kBeijing}, kIssued);
  ASSERT_EQ(r.forecasts.size(), 1u);
  EXPECT_FALSE(r.forecasts[0]);
}

TEST(FeedProviders, MetNorwayLocalDaysPartsAndWindsFromTheInstants) {
  auto symbol = [](const std::string& date, int h) -> std::string {
    if (date == "2024-06-01" && h >= 12 && h < 18) return "lightrain";
    if (date == "2024-06-02" && h == 2) return "rainandthunder";  // the first night, after midnight
    if (date == "2024-06-03") return "snowshowers_day";
    if (date == "2024-06-04" && h >= 6 && h < 12) return "heavyrain";
    return h >= 18 || h < 6 ? "clearsky_night" : "fair_day";
  };
  auto temp = [](const std::string& date, int h) {
    if (date == "2024-06-01" && h == 23) return 30.4;  // 15:00 UTC: still June 1 locally
    if (date == "2024-06-02" && h == 0) return 40.0;   // 16:00 UTC: June 2
    return 20.0 + (h >= 12 && h < 18 ? 5 : 0);
  };
  Json answer = MetAnswer("2024-06-01", 8, "2024-06-01T04:47:12Z", symbol, temp, 0);
  // Issued at 12:47 local: the morning of the first day is no longer covered.
  auto& series = answer["properties"]["timeseries"];
  series.erase(series.begin(), series.begin() + 13);
  for (auto& step : series) {
    std::string local = LocalStamp(*ParseUtc(step["time"].get<std::string>()));
    auto& inst = step["data"]["instant"]["details"];
    if (local.substr(0, 10) != "2024-06-01") continue;
    inst["wind_speed"] = local.substr(11, 2) == "15" ? 11.0 : 1.0;
    inst["wind_from_direction"] = local.substr(11, 2) == "15" ? 0.0 : 90.0;
  }
  std::string why;
  auto f = ParseMetNorway(answer.dump(), kBeijing, &why);
  ASSERT_TRUE(f) << why;
  ASSERT_GE(f->days.size(), 5u);
  SunTimes sun = SunriseSunset(kBeijing.latitude, kBeijing.longitude, 2024, 6, 1, 8);
  struct Case {
    std::string got, want;
  } cases[] = {
      {f->issued, "2024-06-01 12:47"},
      {f->credit, "MET Norway"},
      {f->days[0].date, "2024-06-01"},
      {std::to_string(f->days[0].high), "30"},
      {std::to_string(f->days[0].low), "20"},
      {std::to_string(f->days[1].high), "40"},
      {f->days[0].am, "小雨"},  // not covered: the afternoon's words
      {f->days[0].pm, "小雨"},
      {f->days[0].night, "雷阵雨"},
      {f->days[1].night, "阵雪"},
      {f->days[2].am, "阵雪"},
      {f->days[3].am, "大雨"},
      {f->days[0].wind, "北风1-6级"},
      {f->days[0].windAm, "北风1-6级"},  // not covered: the day's wind, never an invented calm
      {f->days[0].windPm, "北风1-6级"},
      {f->days[0].windNight, "西南风1-4级"},
      {f->days[2].wind, "西南风4级"},
      {f->sunrise, sun.rise},
      {f->sunset, sun.set},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want);
  EXPECT_NE(f->sunrise, "--");
}

TEST(FeedProviders, MetNorwayAnswersThatCannotBeUsed) {
  auto fair = [](const std::string&, int) { return std::string("fair_day"); };
  auto mild = [](const std::string&, int) { return 18.0; };
  Json noUpdate = MetAnswer("2024-06-01", 6, "2024-05-31T21:47:12Z", fair, mild);
  noUpdate["properties"]["meta"].erase("updated_at");
  Json nullTemps = MetAnswer("2024-06-01", 6, "2024-05-31T21:47:12Z", fair, mild);
  Json kelvin = MetAnswer("2024-06-01", 6, "2024-05-31T21:47:12Z", fair, mild);
  kelvin["properties"]["meta"]["units"]["air_temperature"] = "kelvin";
  Json noWind = MetAnswer("2024-06-01", 6, "2024-05-31T21:47:12Z", fair, mild);
  for (auto& s : noWind["properties"]["timeseries"]) s["data"]["instant"]["details"].erase("wind_speed");
  for (auto& s : nullTemps["properties"]["timeseries"]) s["data"]["instant"]["details"]["air_temperature"] = nullptr;
  struct Case {
    std::string body;
    const char* why;
  } cases[] = {
      {"", "empty"},
      {R"({"properties":{"meta":{"updated_at":"2024-05-31T21:47:12Z"},"timeseries":[]}})", "no steps"},
      {noUpdate.dump(), "no issue time"},
      {nullTemps.dump(), "no temperatures"},
      {kelvin.dump(), "a unit we do not know"},
      {noWind.dump(), "no winds: never an invented calm"},
      {R"({"type":"Feature","properties":{"meta":{"updated_at":"2024-05-31T21:47:12Z"},"timeseries":[{"time":"2024-06-01T00:00:00Z","data":{"instant":{"details":{"air_temperature":20}}}}]}})",
       "only the last step, without periods"},
  };
  for (const Case& c : cases) EXPECT_FALSE(ParseMetNorway(c.body, kBeijing)) << c.why;
  // A short series still converts; it is the record writer that refuses it.
  auto f = ParseMetNorway(MetAnswer("2024-06-01", 3, "2024-05-31T21:47:12Z", fair, mild).dump(), kBeijing);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->days.size(), 3u);
}

}  // namespace
}  // namespace zel::server::feed::test
