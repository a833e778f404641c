// Records written by the feed on the weather pages: the provider's credit
// and issue time show, and a record with values of the wrong type is
// refused instead of failing the request.
#include <gtest/gtest.h>

#include "base/gbk.h"
#include "server/weather_pages.h"

namespace zel::server {
namespace {

std::string Record(const std::string& extra, const std::string& firstDay = R"("date": "2024-06-01")") {
  std::string days;
  for (int d = 1; d <= 5; ++d) {
    std::string date = d == 1 ? firstDay : "\"date\": \"2024-06-0" + std::to_string(d) + "\"";
    days += std::string(d > 1 ? "," : "") + "{" + date + R"(, "high": 30, "low": 20, "am": "晴"})";
  }
  return "{" + extra + R"("days": [)" + days + "]}";
}

TEST(FeedPages, TheProvidersCreditAndIssueTimeShowOnEveryPage) {
  auto f = ParseForecastJson(Record(R"("issued": "2024-06-01 07:30", "credit": "Open-Meteo",)"), "2024-06-01");
  ASSERT_TRUE(f);
  auto demo = DemoForecast("54511", "", "2024-06-01");
  struct Case {
    const char* page;
    std::string (*build)(const StationForecast&);
    const char8_t* want;
  } cases[] = {
      {"national centre header", CCPage, u8"&nbsp;2024-06-01 07:30发布（数据：Open-Meteo（CC BY 4.0），经换算）</span>"},
      {"weather TV net heading", CNForecastPage, u8" 08时（数据：Open-Meteo（CC BY 4.0），经换算，06-01 07:30发布）</strong>"},
      {"trend", CNTrendPage, u8"数据：Open-Meteo（CC BY 4.0），经换算，2024-06-01 07:30发布"},
      {"online forecast", OnlineForecastPage, u8"数据：Open-Meteo（CC BY 4.0），经换算，2024-06-01 07:30发布"},
      {"online wind", OnlineWindPage, u8"数据：Open-Meteo（CC BY 4.0），经换算，2024-06-01 07:30发布"},
  };
  for (const Case& c : cases) {
    EXPECT_NE(c.build(*f).find(G(c.want)), std::string::npos) << c.page;
    EXPECT_EQ(c.build(demo).find(G(u8"数据：")), std::string::npos) << c.page << ": demo figures credit nobody";
  }
}

TEST(FeedPages, RecordValuesOfTheWrongTypeAreRefusedOrIgnoredNeverThrown) {
  struct Case {
    std::string json;
    bool usable;
    const char* why;
  } cases[] = {
      {Record(R"("issued": 5,)"), true, "issue time a number"},
      {Record(R"("credit": {"name": "x"},)"), true, "credit an object"},
      {Record(R"("station": [],)"), true, "station an array"},
      {Record("", R"("date": 20240601)"), false, "date a number"},
      {Record("", R"("date": "2024-06-01", "icon_day": 7)"), true, "icon a number"},
      {Record(R"("credit": "<b>x</b>\r\n",)"), true, "markup in the credit"},
  };
  for (const Case& c : cases) {
    std::optional<StationForecast> f;
    EXPECT_NO_THROW(f = ParseForecastJson(c.json, "2024-06-01")) << c.why;
    EXPECT_EQ(bool(f), c.usable) << c.why;
    if (f) {
      EXPECT_EQ(f->issued.substr(0, 10), "2024-06-01") << c.why;
      EXPECT_EQ(f->credit.find_first_of("<>\r\n"), std::string::npos) << c.why;
      EXPECT_EQ(CCPage(*f).find("<b>"), std::string::npos) << c.why;
    }
  }
}

}  // namespace
}  // namespace zel::server
