#include "server/feed/plausible.h"

#include <cmath>
#include <cstdio>
#include <optional>

namespace zel::server::feed {
namespace {

// Wide enough for °C and °F, m/s, km/h, kn and mph, mm and inches.
struct Range {
  double lo, hi;
  bool whole;  // codes
};
constexpr Range kTemperature{-150, 150, false}, kSpeed{0, 500, false}, kDirection{0, 360, false},
    kCode{0, 99, true}, kPrecipitation{0, 5000, false}, kElevation{-1000, 9000, false};

std::string Beyond(const char* what, double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.6g", v);
  return std::string("impossible ") + what + " " + buf;
}

// A number beyond the range; a null or another type is a gap, not a fault.
std::string Check(std::optional<double> n, const char* what, Range r) {
  if (!n) return {};
  if (*n < r.lo || *n > r.hi || (r.whole && *n != std::floor(*n))) return Beyond(what, *n);
  return {};
}

std::string CheckSeries(simdjson::simdjson_result<json::element> series, const char* what, Range r, size_t max) {
  json::array a;
  if (series.get_array().get(a)) return {};
  if (a.size() > max) return std::string(what) + " holds " + std::to_string(a.size()) + " values, far more than asked";
  for (json::element x : a)
    if (std::string bad = Check(json::Num(x), what, r); !bad.empty()) return bad;
  return {};
}

}  // namespace

std::string ImpossibleOpenMeteo(json::element o) {
  const size_t days = kMaxSeriesDays, hours = kMaxSeriesDays * 24;
  struct Series {
    const char* block;
    const char* name;
    Range range;
    size_t max;
  } const series[] = {
      {"daily", "time", {}, days},
      {"daily", "temperature_2m_max", kTemperature, days},
      {"daily", "temperature_2m_min", kTemperature, days},
      {"daily", "weather_code", kCode, days},
      {"daily", "wind_speed_10m_max", kSpeed, days},
      {"daily", "wind_direction_10m_dominant", kDirection, days},
      {"daily", "precipitation_sum", kPrecipitation, days},
      {"daily", "sunrise", {}, days},
      {"daily", "sunset", {}, days},
      {"hourly", "time", {}, hours},
      {"hourly", "weather_code", kCode, hours},
      {"hourly", "wind_speed_10m", kSpeed, hours},
      {"hourly", "wind_direction_10m", kDirection, hours},
  };
  for (const Series& s : series) {
    std::string what = std::string(s.block) + "." + s.name;
    if (std::string bad = CheckSeries(o[s.block][s.name], what.c_str(), s.range, s.max); !bad.empty()) return bad;
  }
  return Check(json::Num(o["elevation"]), "elevation", kElevation);
}

std::string ImpossibleMetNorway(json::element root) {
  if (std::string bad = Check(json::Num(root["geometry"]["coordinates"].at(2)), "elevation", kElevation); !bad.empty())
    return bad;
  json::array steps;
  if (root["properties"]["timeseries"].get_array().get(steps)) return {};
  if (steps.size() > kMaxMetSteps)
    return "timeseries holds " + std::to_string(steps.size()) + " steps, far more than a forecast";
  for (json::element e : steps) {
    auto inst = e["data"]["instant"]["details"];
    for (auto [name, range] : {std::pair{"air_temperature", kTemperature}, {"wind_speed", kSpeed},
                               {"wind_from_direction", kDirection}})
      if (std::string bad = Check(json::Num(inst[name]), name, range); !bad.empty()) return bad;
    for (const char* p : {"next_1_hours", "next_6_hours", "next_12_hours"})
      if (std::string bad = Check(json::Num(e["data"][p]["details"]["precipitation_amount"]), "precipitation_amount",
                                  kPrecipitation);
          !bad.empty())
        return bad;
  }
  return {};
}

}  // namespace zel::server::feed
