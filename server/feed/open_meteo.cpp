#include "server/feed/open_meteo.h"

#include <array>
#include <cmath>
#include <map>

#include "server/feed/convert.h"
#include "server/feed/json_read.h"

namespace zel::server::feed {
namespace {

// The clock part "hh:mm" of "yyyy-mm-ddThh:mm".
std::string ClockOf(const std::string& t) { return t.size() >= 16 && t[10] == 'T' ? t.substr(11, 5) : std::string(); }

std::optional<FeedForecast> Convert(json::element o, const Location& loc, std::time_t issued) {
  using json::At;
  if (!o.is_object()) return std::nullopt;
  auto daily = o["daily"];
  std::vector<std::string> dates = json::Strs(daily["time"]);
  if (dates.empty()) return std::nullopt;
  auto hi = json::Nums(daily["temperature_2m_max"]), lo = json::Nums(daily["temperature_2m_min"]);
  auto rain = json::Nums(daily["precipitation_sum"]), codes = json::Nums(daily["weather_code"]);
  auto speed = json::Nums(daily["wind_speed_10m_max"]), dir = json::Nums(daily["wind_direction_10m_dominant"]);
  // Hourly codes by local date and hour.
  std::vector<std::string> htime = json::Strs(o["hourly"]["time"]);
  auto hcode = json::Nums(o["hourly"]["weather_code"]);
  std::map<std::string, std::array<int, 24>> hours;
  for (size_t i = 0; i < htime.size(); ++i) {
    const std::string& t = htime[i];
    auto c = At(hcode, i);
    if (t.size() < 13 || !c) continue;
    int h = std::atoi(t.c_str() + 11);
    if (h < 0 || h > 23) continue;
    auto [it, added] = hours.try_emplace(t.substr(0, 10));
    if (added) it->second.fill(-1);
    it->second[size_t(h)] = int(*c);
  }
  auto codesOf = [&](const std::string& date, int from, int to, std::vector<int>& out) {
    auto it = hours.find(date);
    if (it == hours.end()) return;
    for (int h = from; h < to; ++h)
      if (it->second[size_t(h)] >= 0) out.push_back(it->second[size_t(h)]);
  };
  FeedForecast f;
  f.issued = LocalStamp(issued);
  f.credit = "Open-Meteo";
  f.latitude = loc.latitude;
  f.longitude = loc.longitude;
  f.elevation = json::Num(o["elevation"]);
  for (size_t i = 0; i < dates.size(); ++i) {
    const std::string& date = dates[i];
    auto high = At(hi, i), low = At(lo, i);
    if (date.size() != 10 || !high || !low) break;  // a gap ends the usable series
    double mm = At(rain, i).value_or(0);
    std::vector<int> am, pm, night;
    codesOf(date, 6, 12, am);
    codesOf(date, 12, 18, pm);
    codesOf(date, 18, 24, night);
    if (i + 1 < dates.size()) codesOf(dates[i + 1], 0, 6, night);
    std::optional<int> wAm = PhenomenonForCodes(am, mm), wPm = PhenomenonForCodes(pm, mm),
                       wNight = PhenomenonForCodes(night, mm);
    if (!wAm && At(codes, i)) wAm = PhenomenonForWmo(int(*At(codes, i)), mm);
    if (!wAm) break;
    if (!wPm) wPm = wAm;
    if (!wNight) wNight = wPm;
    FeedDay d;
    d.date = date;
    d.high = int(std::lround(*high));
    d.low = int(std::lround(*low));
    if (d.low > d.high) std::swap(d.low, d.high);
    d.am = PhenomenonWord(*wAm);
    d.pm = PhenomenonWord(*wPm);
    d.night = PhenomenonWord(*wNight);
    d.iconDay = PhenomenonCode2(*wAm);
    d.iconNight = PhenomenonCode2(*wNight);
    auto s = At(speed, i);
    d.windAm = s ? WindText(At(dir, i), *s) : "微风";
    d.windPm = d.windNight = d.windAm;
    f.days.push_back(std::move(d));
  }
  if (f.days.empty()) return std::nullopt;
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
         "precipitation_sum,sunrise,sunset&hourly=weather_code&wind_speed_unit=ms&timezone=Asia%2FShanghai&forecast_"
         "days=5";
}

OpenMeteoAnswer ParseOpenMeteo(const std::string& body, const std::vector<Location>& locations, std::time_t issued) {
  OpenMeteoAnswer out;
  json::element root;
  if (json::Parser().parse(body).get(root)) {
    out.error = "answer is not JSON";
    return out;
  }
  bool error = false;
  if (root.is_object() && !root["error"].get_bool().get(error) && error) {
    std::string reason = json::Str(root["reason"]);
    out.error = "provider error: " + (reason.empty() ? "?" : reason);
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
  for (size_t i = 0; i < locations.size(); ++i) out.forecasts.push_back(Convert(objects[i], locations[i], issued));
  return out;
}

}  // namespace zel::server::feed
