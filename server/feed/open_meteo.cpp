#include "server/feed/open_meteo.h"

#include <array>
#include <cmath>
#include <map>

#include "base/text.h"
#include "server/feed/convert.h"
#include "server/feed/json_read.h"
#include "server/feed/plausible.h"

namespace zel::server::feed {
namespace {

// The clock part "hh:mm" of "yyyy-mm-ddThh:mm".
std::string ClockOf(const std::string& t) { return t.size() >= 16 && t[10] == 'T' ? t.substr(11, 5) : std::string(); }

struct Hour {
  int code = -1;
  std::optional<WindAt> wind;
};

std::optional<FeedForecast> Convert(json::element o, const Location& loc, std::time_t issued, std::string& why) {
  using json::At;
  if (!o.is_object()) {
    why = "a location is not an object";
    return std::nullopt;
  }
  // Figures in another unit than asked are converted; in one we do not
  // know, the location is refused rather than misread.
  auto scale = [&](const char* block, const char* key, Quantity q) {
    std::string unit = json::Str(o[block][key]);
    auto s = ScaleOf(q, unit);
    if (!s && why.empty()) why = std::string(block) + "." + key + " in unknown unit \"" + unit + "\"";
    return s.value_or(Scale{});
  };
  Scale hiUnit = scale("daily_units", "temperature_2m_max", Quantity::kTemperature),
        loUnit = scale("daily_units", "temperature_2m_min", Quantity::kTemperature),
        maxUnit = scale("daily_units", "wind_speed_10m_max", Quantity::kSpeed),
        hourUnit = scale("hourly_units", "wind_speed_10m", Quantity::kSpeed);
  if (!why.empty()) return std::nullopt;
  auto daily = o["daily"];
  std::vector<std::string> dates = json::Strs(daily["time"]);
  if (dates.empty()) {
    why = "no daily.time";
    return std::nullopt;
  }
  auto hi = json::Nums(daily["temperature_2m_max"]), lo = json::Nums(daily["temperature_2m_min"]);
  auto codes = json::Nums(daily["weather_code"]);
  auto maxSpeed = json::Nums(daily["wind_speed_10m_max"]), dominant = json::Nums(daily["wind_direction_10m_dominant"]);
  // Hourly codes and winds by local date and hour; a null is an hour without.
  std::vector<std::string> htime = json::Strs(o["hourly"]["time"]);
  auto hcode = json::Nums(o["hourly"]["weather_code"]), hspeed = json::Nums(o["hourly"]["wind_speed_10m"]),
       hdir = json::Nums(o["hourly"]["wind_direction_10m"]);
  std::map<std::string, std::array<Hour, 24>> hours;
  for (size_t i = 0; i < htime.size(); ++i) {
    const std::string& t = htime[i];
    if (t.size() < 13) continue;
    int h = std::atoi(t.c_str() + 11);
    if (h < 0 || h > 23) continue;
    Hour& slot = hours[t.substr(0, 10)][size_t(h)];
    if (auto c = At(hcode, i)) slot.code = int(*c);
    if (auto v = At(hspeed, i); v && *v >= 0) slot.wind = WindAt{hourUnit(*v), At(hdir, i)};
  }
  struct PartOfDay {
    std::vector<int> codes;
    std::vector<WindAt> winds;
  };
  auto collect = [&](const std::string& date, int from, int to, PartOfDay& out) {
    auto it = hours.find(date);
    if (it == hours.end()) return;
    for (int h = from; h < to; ++h) {
      const Hour& x = it->second[size_t(h)];
      if (x.code >= 0) out.codes.push_back(x.code);
      if (x.wind) out.winds.push_back(*x.wind);
    }
  };
  FeedForecast f;
  f.issued = LocalStamp(issued);
  f.credit = "Open-Meteo.com";
  f.latitude = loc.latitude;
  f.longitude = loc.longitude;
  f.elevation = json::Num(o["elevation"]);
  for (size_t i = 0; i < dates.size(); ++i) {
    const std::string& date = dates[i];
    auto high = At(hi, i), low = At(lo, i);
    if (date.size() != 10 || !high || !low) break;  // a gap ends the usable series
    PartOfDay am, pm, night;
    collect(date, 6, 12, am);
    collect(date, 12, 18, pm);
    collect(date, 18, 24, night);
    if (i + 1 < dates.size()) collect(dates[i + 1], 0, 6, night);
    std::optional<int> wAm = PhenomenonForCodes(am.codes), wPm = PhenomenonForCodes(pm.codes),
                       wNight = PhenomenonForCodes(night.codes);
    if (!wAm && At(codes, i)) wAm = PhenomenonForWmo(int(*At(codes, i)));
    if (!wAm) break;
    if (!wPm) wPm = wAm;
    if (!wNight) wNight = wPm;
    std::vector<WindAt> all = am.winds;
    all.insert(all.end(), pm.winds.begin(), pm.winds.end());
    all.insert(all.end(), night.winds.begin(), night.winds.end());
    // Without hourly winds the day's maximum is all there is.
    if (all.empty() && At(maxSpeed, i)) all.push_back({maxUnit(*At(maxSpeed, i)), At(dominant, i)});
    if (all.empty()) {
      why = "no wind for " + date;
      break;
    }
    FeedDay d;
    d.date = date;
    d.high = int(std::lround(hiUnit(*high)));
    d.low = int(std::lround(loUnit(*low)));
    if (d.low > d.high) std::swap(d.low, d.high);
    d.am = PhenomenonWord(*wAm);
    d.pm = PhenomenonWord(*wPm);
    d.night = PhenomenonWord(*wNight);
    d.iconDay = PhenomenonCode2(*wAm);
    d.iconNight = PhenomenonCode2(*wNight);
    d.wind = WindText(all);
    // A part without hourly winds says what the whole day says.
    d.windAm = am.winds.empty() ? d.wind : WindText(am.winds);
    d.windPm = pm.winds.empty() ? d.wind : WindText(pm.winds);
    d.windNight = night.winds.empty() ? d.wind : WindText(night.winds);
    f.days.push_back(std::move(d));
  }
  if (f.days.empty()) {
    if (why.empty()) why = "no day with temperatures and weather";
    return std::nullopt;
  }
  f.sunrise = ClockOf(json::Str(daily["sunrise"].at(0)));
  f.sunset = ClockOf(json::Str(daily["sunset"].at(0)));
  if (f.sunrise.empty() || f.sunset.empty()) {
    const std::string& d = f.days.front().date;
    SunTimes s = SunriseSunset(loc.latitude, loc.longitude, std::atoi(d.c_str()), std::atoi(d.substr(5, 2).c_str()),
                               std::atoi(d.substr(8, 2).c_str()), kLocalOffsetSeconds / 3600.0);
    if (f.sunrise.empty()) f.sunrise = s.rise;
    if (f.sunset.empty()) f.sunset = s.set;
  }
  return f;
}

}  // namespace

std::string OpenMeteoUrl(const std::string& base, const std::vector<Location>& locations) {
  std::string lat, lon;
  for (const Location& l : locations) {
    if (!lat.empty()) lat += ',', lon += ',';
    lat += Coordinate(l.latitude);
    lon += Coordinate(l.longitude);
  }
  return base + "/v1/forecast?latitude=" + lat + "&longitude=" + lon +
         "&daily=weather_code,temperature_2m_max,temperature_2m_min,wind_speed_10m_max,wind_direction_10m_dominant,"
         "sunrise,sunset&hourly=weather_code,wind_speed_10m,wind_direction_10m&wind_speed_unit=ms&timezone=Asia%"
         "2FShanghai&forecast_days=" +
         std::to_string(kOpenMeteoDays);
}

OpenMeteoAnswer ParseOpenMeteo(const std::string& body, const std::vector<Location>& locations, std::time_t issued) {
  json::ShrinkParserAfter shrink{body.size()};
  OpenMeteoAnswer out;
  json::element root;
  if (json::Parser().parse(body).get(root)) {
    out.error = "answer is not JSON";
    return out;
  }
  bool error = false;
  if (root.is_object() && !root["error"].get_bool().get(error) && error) {
    std::string reason = json::Str(root["reason"]);
    out.error = "provider error: " + (reason.empty() ? "?" : LogText(reason));
    return out;
  }
  // One location gives one object, several an array in request order.
  std::vector<json::element> objects;
  json::array arr;
  if (root.is_object())
    objects.push_back(root);
  else if (!root.get_array().get(arr))
    for (json::element e : arr) objects.push_back(e);
  if (objects.size() != locations.size()) {
    out.error = "answer holds " + std::to_string(objects.size()) + " locations for " +
                std::to_string(locations.size()) + " asked";
    return out;
  }
  out.why.resize(locations.size());
  for (size_t i = 0; i < locations.size(); ++i) {
    out.why[i] = ImpossibleOpenMeteo(objects[i]);
    out.forecasts.push_back(out.why[i].empty() ? Convert(objects[i], locations[i], issued, out.why[i]) : std::nullopt);
  }
  return out;
}

}  // namespace zel::server::feed
