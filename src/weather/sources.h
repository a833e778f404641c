// The three weather sources. Each downloads its city's page(s), cuts the
// figures out of the HTML and hands back a record (fields each followed by
// "**?**"), keeping the last good record in its cache file for when no fresh
// page can be had. They report through ErrorText/StatusText (status.h).
#pragma once

#include <string>

namespace zel {

// Source 1, "天气在线": two-step frame address, forecast and wind.
class TWeatherOnline {
 public:
  TWeatherOnline();
  std::string Caption, CityID, TempFile;

  std::string GetURL();      // inner forecast page address, via the frame page
  std::string GetWindURL();  // inner wind page address, via the frame page
  std::string GetForeCast();  // 18 fields or empty
  std::string GetWind();      // 12 fields or empty
};

// Source 2, "中央气象台": three-day forecast.
class TWeatherCC {
 public:
  TWeatherCC();
  std::string Caption, CityID, TempFile;

  std::string GetURL() const;
  std::string GetForeCast();  // 16 fields or empty
  static std::string MakeIcons(const std::string& codes);
};

// Source 3, "中国气象影视信息网": one-day forecast and five-day trend.
class TWeatherCN {
 public:
  TWeatherCN();
  std::string Caption, CityID, TempFile;

  std::string GetURL() const;
  std::string GetTrendURL() const;
  std::string GetForeCast();  // 11 fields or empty
  std::string GetTrend();     // 35 fields or empty
  static std::string GetAltText(const std::string& html);
  void FetchIcons(std::string html, const std::string& endMarker);
};

// Display names, GBK.
std::string OnlineCaption();
std::string CCCaption();
std::string CNCaption();

}  // namespace zel
