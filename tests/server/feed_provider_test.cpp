// The two providers' answers into forecasts: batches, nulls, errors, short
// series, day parts across local midnight, rain counted once.
#include <gtest/gtest.h>

#include "feed_fake.h"
#include "server/feed/convert.h"
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
        "wind_direction_10m_dominant,precipitation_sum,sunrise,sunset",
        "&hourly=weather_code", "&wind_speed_unit=ms", "&timezone=Asia%2FShanghai", "&forecast_days=5"})
    EXPECT_NE(url.find(part), std::string::npos) << part;
  EXPECT_EQ(MetNorwayUrl("https://api.met.no", kBeijing),
            "https://api.met.no/weatherapi/locationforecast/2.0/compact?lat=39.8&lon=116.4667");
}

TEST(FeedProviders, OpenMeteoDayPartsComeFromTheHoursAcrossLocalMidnight) {
  Json a = OpenMeteoLocation("2024-06-01", 5, 39.8, 116.47, 1, [](const std::string& date, int h) -> Json {
    if (date == "2024-06-01" && h >= 6 && h < 12) return h == 9 ? 63 : 3;  // a wet morning
    if (date == "2024-06-01" && h >= 12 && h < 18) return 45;
    if (date == "2024-06-02" && h == 2) return 95;  // thunder after midnight: still the first night
    if (date == "2024-06-02" && h >= 6 && h < 12) return nullptr;
    return 1;
  });
  a["daily"]["precipitation_sum"][0] = 12.3;
  a["daily"]["weather_code"][1] = 3;  // the day's code stands in for missing hours
  a["daily"]["wind_speed_10m_max"][0] = 5.6;
  a["daily"]["wind_direction_10m_dominant"][0] = 44;
  a["daily"]["wind_speed_10m_max"][2] = nullptr;
  Json b = OpenMeteoLocation("2024-06-01", 5, 31.4, 121.45);
  b["daily"]["temperature_2m_max"][2] = nullptr;  // ends the usable series after two days
  b["daily"]["sunrise"][0] = nullptr;             // computed instead

  OpenMeteoAnswer r = ParseOpenMeteo(Json::array({a, b}).dump(), {kBeijing, kShanghai}, kIssued);
  ASSERT_EQ(r.error, "");
  ASSERT_EQ(r.forecasts.size(), 2u);
  ASSERT_TRUE(r.forecasts[0]);
  const FeedForecast& f = *r.forecasts[0];
  ASSERT_EQ(f.days.size(), 5u);
  struct Case {
    std::string got, want;
  } cases[] = {
      {f.issued, "2024-06-01 07:30"},
      {f.credit, "Open-Meteo"},
      {f.sunrise, "05:01"},
      {f.sunset, "19:02"},
      {f.days[0].am, "中雨"},
      {f.days[0].iconDay, "08"},
      {f.days[0].pm, "雾"},
      {f.days[0].night, "雷阵雨"},
      {f.days[0].iconNight, "04"},
      {f.days[0].windAm, "东北风4-5级"},
      {f.days[0].windNight, "东北风4-5级"},
      {f.days[1].am, "阴"},
      {f.days[1].night, "晴"},
      {f.days[2].windAm, "微风"},
      {f.days[4].date, "2024-06-05"},
      {std::to_string(f.days[0].high), "25"},
      {std::to_string(f.days[0].low), "15"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want);
  ASSERT_TRUE(r.forecasts[1]);
  EXPECT_EQ(r.forecasts[1]->days.size(), 2u);
  EXPECT_EQ(r.forecasts[1]->sunrise, SunriseSunset(31.4, 121.45, 2024, 6, 1, 8).rise);
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

TEST(FeedProviders, MetNorwayLocalDaysPartsAndRainCountedOnce) {
  auto symbol = [](const std::string& date, int h) -> std::string {
    if (date == "2024-06-01" && h >= 6 && h < 12) return "rain";
    if (date == "2024-06-02" && h == 2) return "rainandthunder";  // the first night, after midnight
    if (date == "2024-06-03") return "snowshowers_day";
    return h >= 18 || h < 6 ? "clearsky_night" : "fair_day";
  };
  auto temp = [](const std::string& date, int h) {
    if (date == "2024-06-01" && h == 23) return 30.4;  // 15:00 UTC: still June 1 locally
    if (date == "2024-06-02" && h == 0) return 40.0;   // 16:00 UTC: June 2
    return 20.0 + (h >= 12 && h < 18 ? 5 : 0);
  };
  // 1 mm an hour: six rainy morning hours are 6 mm; counting the six-hour
  // periods of the hourly steps as well would make it a heavy rain.
  Json answer = MetAnswer("2024-06-01", 8, "2024-05-31T21:47:12Z", symbol, temp, 0);
  for (auto& step : answer["properties"]["timeseries"]) {
    std::string local = LocalStamp(*ParseUtc(step["time"].get<std::string>()));
    int h = std::stoi(local.substr(11, 2));
    if (local.substr(0, 10) == "2024-06-01" && h >= 6 && h < 12) {
      step["data"]["next_1_hours"]["details"]["precipitation_amount"] = 1.0;
      step["data"]["next_6_hours"]["details"]["precipitation_amount"] = 6.0;
    }
  }
  std::string why;
  auto f = ParseMetNorway(answer.dump(), kBeijing, &why);
  ASSERT_TRUE(f) << why;
  ASSERT_GE(f->days.size(), 5u);
  SunTimes sun = SunriseSunset(kBeijing.latitude, kBeijing.longitude, 2024, 6, 1, 8);
  struct Case {
    std::string got, want;
  } cases[] = {
      {f->issued, "2024-06-01 05:47"},
      {f->credit, "MET Norway"},
      {f->days[0].date, "2024-06-01"},
      {std::to_string(f->days[0].high), "30"},
      {std::to_string(f->days[0].low), "20"},
      {std::to_string(f->days[1].high), "40"},
      {f->days[0].am, "小雨"},
      {f->days[0].pm, "晴"},
      {f->days[0].night, "雷阵雨"},
      {f->days[1].night, "阵雪"},
      {f->days[2].am, "阵雪"},
      {f->days[0].windAm, "西南风4-5级"},
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
  for (auto& s : nullTemps["properties"]["timeseries"]) s["data"]["instant"]["details"]["air_temperature"] = nullptr;
  struct Case {
    std::string body;
    const char* why;
  } cases[] = {
      {"", "empty"},
      {R"({"properties":{"meta":{"updated_at":"2024-05-31T21:47:12Z"},"timeseries":[]}})", "no steps"},
      {noUpdate.dump(), "no issue time"},
      {nullTemps.dump(), "no temperatures"},
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
