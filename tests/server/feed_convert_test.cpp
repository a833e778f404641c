// The tables that turn provider figures into the national forecasts' words,
// pinned at their boundaries, and the computed sun times.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "server/feed/convert.h"
#include "server/feed/record.h"

namespace zel::server::feed {
namespace {

TEST(FeedConvert, WmoCodesGiveThePhenomenaRainAndSnowByTheirOwnIntensity) {
  struct Case {
    int wmo;
    int want;
  } cases[] = {
      {0, 0},  {1, 0},  {2, 1},  {3, 2},  {45, 18}, {48, 18}, {80, 3},  {82, 3},  {95, 4},  {96, 5},
      {99, 5}, {56, 19}, {67, 19}, {85, 13}, {86, 13}, {4, 2},  // a code forecasts never use
      {51, 7}, {55, 7},  {61, 7},  {63, 8},  {65, 9},  {71, 14}, {73, 15}, {75, 16}, {77, 14},
  };
  for (const Case& c : cases) EXPECT_EQ(PhenomenonForWmo(c.wmo), c.want) << "WMO " << c.wmo;
}

TEST(FeedConvert, APartOfADayTakesItsMostSevereCodeAndMixedRainAndSnowIsSleet) {
  struct Case {
    std::vector<int> codes;
    std::optional<int> want;
    const char* why;
  } cases[] = {
      {{}, std::nullopt, "no hours, no words"},
      {{0, 1, 2, 3}, 2, "overcast outranks clear"},
      {{3, 61, 2}, 7, "slight rain"},
      {{61, 65}, 9, "the heaviest hour"},
      {{61, 71}, 6, "rain and snow"},
      {{80, 85}, 6, "showers of both"},
      {{61, 71, 95}, 4, "thunder wins over sleet"},
      {{71, 73}, 15, "moderate snow"},
  };
  for (const Case& c : cases) EXPECT_EQ(PhenomenonForCodes(c.codes), c.want) << c.why;
}

TEST(FeedConvert, MetSymbolsMapByTheirWordsWhateverTheSuffix) {
  struct Case {
    const char* symbol;
    std::optional<int> want;
  } cases[] = {
      {"clearsky_day", 0},
      {"clearsky_polartwilight", 0},
      {"fair_night", 1},
      {"partlycloudy_day", 2},
      {"cloudy", 3},
      {"fog", 45},
      {"lightrainshowers_day", 80},
      {"heavyrainshowers_night", 82},
      {"lightrain", 61},
      {"rain", 63},
      {"heavyrain", 65},
      {"sleet", kWmoSleet},
      {"lightsleetshowers_day", kWmoSleet},
      {"snowshowers_night", 85},
      {"heavysnow", 75},
      {"rainandthunder", 95},
      {"heavysnowshowersandthunder_day", 95},
      {"", std::nullopt},
      {"sandstorm", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(WmoForMetSymbol(c.symbol), c.want) << c.symbol;
  // Sleet words reach the sleet phenomenon.
  EXPECT_STREQ(PhenomenonWord(PhenomenonForWmo(*WmoForMetSymbol("sleet_day"))), "雨夹雪");
}

TEST(FeedConvert, BeaufortForcesStartAtTheirLowerBounds) {
  struct Case {
    double ms;
    int want;
  } cases[] = {{0, 0},     {0.29, 0},
               {0.3, 1},   {1.59, 1},
               {1.6, 2},   {3.39, 2},
               {3.4, 3},   {5.5, 4},
               {7.99, 4},  {8.0, 5},
               {10.8, 6},  {13.9, 7},
               {17.2, 8},  {20.8, 9},
               {24.5, 10}, {28.49, 10},
               {28.5, 11}, {32.69, 11},
               {32.7, 12}, {60, 12},
               {-1, 0},    {std::numeric_limits<double>::quiet_NaN(), 0}};
  for (const Case& c : cases) EXPECT_EQ(Beaufort(c.ms), c.want) << c.ms << " m/s";
}

TEST(FeedConvert, DirectionsAreEightSectorsCentredOnNorth) {
  struct Case {
    double deg;
    const char* want;
  } cases[] = {{0, "北风"},     {22.49, "北风"},    {22.5, "东北风"},   {45, "东北风"},  {67.49, "东北风"},
               {67.5, "东风"},  {135, "东南风"},    {180, "南风"},      {225, "西南风"}, {270, "西风"},
               {315, "西北风"}, {337.49, "西北风"}, {337.5, "北风"},    {359.9, "北风"}, {360, "北风"},
               {-45, "西北风"}, {-22.5, "北风"},    {-22.51, "西北风"}, {810, "东风"},   {-720, "北风"}};
  for (const Case& c : cases) EXPECT_STREQ(DirectionWord(c.deg), c.want) << c.deg << " degrees";
}

TEST(FeedConvert, WindRunsFromTheWeakestToTheStrongestForceWithTheStrongestsDirection) {
  struct Case {
    std::vector<WindAt> winds;
    const char* want;
  } cases[] = {
      {{}, ""},
      {{{0.29, 45}}, "微风"},
      {{{3.39, 45}, {1, 90}}, "微风"},
      {{{3.4, 45}}, "东北风3级"},
      {{{3.4, 45}, {5.49, 90}}, "东风3级"},  // one force, never one above it
      {{{2, 270}, {5.5, 45}, {4, 180}}, "东北风2-4级"},
      {{{13.9, 190}, {8, 90}}, "南风5-7级"},
      {{{32.7, 180}, {40, 0}}, "北风12级"},
      {{{6, std::nullopt}}, "风力4级"},
  };
  for (const Case& c : cases) EXPECT_EQ(WindText(c.winds), c.want) << c.want;
}

TEST(FeedConvert, ProviderUnitsScaleToOursAndUnknownOnesAreRefused) {
  struct Case {
    Quantity q;
    const char* unit;
    double in;
    std::optional<double> want;
  } cases[] = {
      {Quantity::kTemperature, "°C", 21.5, 21.5},     {Quantity::kTemperature, "celsius", -3, -3},
      {Quantity::kTemperature, "°F", 212, 100},       {Quantity::kTemperature, "fahrenheit", -40, -40},
      {Quantity::kTemperature, "K", 300, std::nullopt}, {Quantity::kTemperature, "km/h", 3, std::nullopt},
      {Quantity::kSpeed, "m/s", 7, 7},                {Quantity::kSpeed, "km/h", 36, 10},
      {Quantity::kSpeed, "kn", 10, 5.1444},           {Quantity::kSpeed, "mp/h", 10, 4.4704},
      {Quantity::kSpeed, "mph", 10, 4.4704},          {Quantity::kSpeed, "bft", 4, std::nullopt},
      {Quantity::kSpeed, "", 7, 7},                   {Quantity::kPrecipitation, "inch", 1, 25.4},
  };
  for (const Case& c : cases) {
    auto s = ScaleOf(c.q, c.unit);
    ASSERT_EQ(s.has_value(), c.want.has_value()) << c.unit;
    if (s) EXPECT_NEAR((*s)(c.in), *c.want, 1e-3) << c.unit;
  }
}

// Almanac times, rounded to the minute; the algorithm may differ by one.
TEST(FeedConvert, SunriseAndSunsetMatchTheAlmanacToTheMinute) {
  struct Case {
    const char* place;
    double lat, lon;
    int y, m, d;
    double offset;
    const char *rise, *set;
  } cases[] = {
      {"Beijing, summer solstice", 39.9042, 116.4074, 2024, 6, 21, 8, "04:46", "19:46"},
      {"Beijing, winter solstice", 39.9042, 116.4074, 2024, 12, 21, 8, "07:33", "16:53"},
      {"Greenwich, midsummer (BST)", 51.4769, -0.0005, 2024, 6, 21, 1, "04:43", "21:21"},
  };
  auto minutes = [](const std::string& hhmm) {
    return std::stoi(hhmm.substr(0, 2)) * 60 + std::stoi(hhmm.substr(3, 2));
  };
  for (const Case& c : cases) {
    SunTimes s = SunriseSunset(c.lat, c.lon, c.y, c.m, c.d, c.offset);
    ASSERT_EQ(s.rise.size(), 5u) << c.place;
    EXPECT_LE(std::abs(minutes(s.rise) - minutes(c.rise)), 1) << c.place << " rise " << s.rise;
    EXPECT_LE(std::abs(minutes(s.set) - minutes(c.set)), 1) << c.place << " set " << s.set;
  }
  // Midnight sun and polar night have neither.
  for (int month : {6, 12}) {
    SunTimes s = SunriseSunset(69.65, 18.96, 2024, month, 21, 1);
    EXPECT_EQ(s.rise, "--") << month;
    EXPECT_EQ(s.set, "--") << month;
  }
}

TEST(FeedConvert, ProviderTimeStampsAreReadAtFixedPlacesOrRefused) {
  const std::time_t day = 1717200000;  // 2024-06-01T00:00Z
  struct Case {
    const char* text;
    std::optional<std::time_t> want;
  } cases[] = {
      {"2024-06-01T07:30", day + 7 * 3600 + 30 * 60},  // Open-Meteo
      {"2024-06-01T07:30:15Z", day + 27015},           // MET Norway
      {"2024-06-01T23:59:60Z", day + 86400},           // a leap second
      {"2024-6-01T07:30", std::nullopt},               // unpadded
      {"2024-06-01 07:30", std::nullopt},              // no T
      {"2024-06-01T7:30", std::nullopt},
      {"2024-13-01T07:30", std::nullopt},
      {"2024-06-01T24:00", std::nullopt},
      {"2024-06-01T07:3", std::nullopt},  // short
      {"2024-06-01T07:30:x5", std::nullopt},
      {" 2024-06-01T07:30", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseUtc(c.text), c.want) << c.text;
}

}  // namespace
}  // namespace zel::server::feed
