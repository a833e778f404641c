#include "server/feed/record.h"

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "base/clock.h"

namespace zel::server::feed {
namespace {

long DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  long era = (y >= 0 ? y : y - 399) / 400;
  long yoe = y - era * 400;
  long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
}

}  // namespace

std::time_t UtcMidnight(int y, int m, int d) { return std::time_t(DaysFromCivil(y, m, d)) * 86400; }

std::string LocalStamp(std::time_t t) {
  std::tm tm = UtcTime(t + kLocalOffsetSeconds);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M", &tm);
  return buf;
}

std::optional<std::time_t> ParseUtc(const std::string& iso) {
  // Fixed positions, as both providers write them: "YYYY-MM-DDThh:mm" with
  // optional ":ss" (a few thousand stamps a refresh; no scanf).
  auto num = [&](size_t at, size_t n, int& out) {
    out = 0;
    for (size_t i = at; i < at + n; ++i) {
      if (i >= iso.size() || iso[i] < '0' || iso[i] > '9') return false;
      out = out * 10 + (iso[i] - '0');
    }
    return true;
  };
  int y, mo, d, h, mi, s = 0;
  if (iso.size() < 16 || iso[4] != '-' || iso[7] != '-' || iso[10] != 'T' || iso[13] != ':' || !num(0, 4, y) ||
      !num(5, 2, mo) || !num(8, 2, d) || !num(11, 2, h) || !num(14, 2, mi))
    return std::nullopt;
  if (iso.size() > 16 && iso[16] == ':' && !num(17, 2, s)) return std::nullopt;
  if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60) return std::nullopt;
  return UtcMidnight(y, mo, d) + h * 3600 + mi * 60 + s;
}

std::string Coordinate(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.4f", v);
  std::string s = buf;
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  if (s == "-0") s = "0";
  return s;
}

std::string RecordJson(const FeedForecast& f) {
  using Json = nlohmann::ordered_json;
  char buf[32];
  Json j;
  j["issued"] = f.issued;
  j["credit"] = f.credit;
  j["sunrise"] = f.sunrise;
  j["sunset"] = f.sunset;
  std::snprintf(buf, sizeof buf, "%.2f", f.longitude);
  j["longitude"] = buf;
  std::snprintf(buf, sizeof buf, "%.2f", f.latitude);
  j["latitude"] = buf;
  if (f.elevation && std::isfinite(*f.elevation)) {
    std::snprintf(buf, sizeof buf, "%.1f", *f.elevation);
    j["altitude"] = std::string(buf) + "米";
  }
  Json days = Json::array();
  for (const FeedDay& d : f.days) {
    days.push_back({{"date", d.date},
                    {"high", d.high},
                    {"low", d.low},
                    {"am", d.am},
                    {"pm", d.pm},
                    {"night", d.night},
                    {"wind", d.wind},
                    {"wind_am", d.windAm},
                    {"wind_pm", d.windPm},
                    {"wind_night", d.windNight},
                    {"icon_day", d.iconDay},
                    {"icon_night", d.iconNight}});
  }
  j["days"] = std::move(days);
  return j.dump(1) + "\n";
}

}  // namespace zel::server::feed
