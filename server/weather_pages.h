// The weather sites' pages, in the line shapes the program's three sources
// cut their figures from. Figures come from a provider: a folder of forecast
// records (forecasts/<station>.json, format in server/README.md) or, for a
// station without one, made-up demo figures whose weather words say
// "演示数据", so they are never taken for a forecast.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zel::server {

struct DayForecast {
  std::string date;  // yyyy-mm-dd
  int high = 0, low = 0;
  std::string am, pm, night;               // weather words, GBK
  std::string wind;                        // the whole day's, GBK
  std::string windAm, windPm, windNight;   // GBK
  std::string iconDay, iconNight;          // two-digit phenomenon codes
};

struct StationForecast {
  std::string station, name;  // name GBK, may be empty
  std::string issued;         // yyyy-mm-dd hh:mm
  bool demo = false;
  std::string credit;  // the provider of the figures, GBK; may be empty
  std::string sunrise, sunset, longitude, latitude, altitude;  // GBK
  std::vector<DayForecast> days;  // the first one today, as many as the page shows
};

// Days the pages show from today on: the trend page five, the national
// centre and the weather online pages three, the one-day page one.
constexpr size_t kForecastDays = 5;
constexpr size_t kCCDays = 3;
constexpr size_t kOnlineDays = 3;

// A forecast record from JSON (UTF-8). Days before today are dropped; the
// record is refused (nullopt, with why set) when it is malformed or fewer
// than `days` remain. today is yyyy-mm-dd.
std::optional<StationForecast> ParseForecastJson(const std::string& json, const std::string& today,
                                                 std::string* why = nullptr, size_t days = kForecastDays);
// Made-up figures for five days from today, stable for a station and day.
StationForecast DemoForecast(const std::string& station, const std::string& name, const std::string& today);

// Phenomenon code for weather words ("00" 晴 ... "31"), GBK words.
std::string IconForWords(const std::string& gbkWords);

// The pages. Each is GBK with CR LF line ends.
std::string CCPage(const StationForecast& f);
std::string CNForecastPage(const StationForecast& f);
std::string CNTrendPage(const StationForecast& f);
std::string OnlineFramePage(const std::string& innerPath);
std::string OnlineForecastPage(const StationForecast& f);
std::string OnlineWindPage(const StationForecast& f);

// Station code -> city name (GBK) from a Weather.ini catalogue.
std::map<std::string, std::string> LoadStations(const std::string& weatherIni);

// Word of national weather phenomenon code 0..31 (UTF-8); empty otherwise.
const char* PhenomenonWord(int code);

// Today's date in China (UTC+8) as yyyy-mm-dd, and the date n days later.
std::string Today();
std::string AddDays(const std::string& ymd, int n);

}  // namespace zel::server
