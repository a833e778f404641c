#include "server/feed/open_meteo.h"

#include <cmath>
#include <map>
#include <nlohmann/json.hpp>

#include "server/feed/convert.h"

namespace zel::server::feed {
namespace {

using Json = nlohmann::json;

std::optional<double> Num(const Json& arr, size_t i) {
  if (!arr.is_array() || i >= arr.size() || !arr[i].is_number()) return std::nullopt;
  double v = arr[i].get<double>();
  return std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

std::string Str(const Json& arr, size_t i) {
  if (!arr.is_array() || i >= arr.size() || !arr[i].is_string()) return {};
  return arr[i].get<std::string>();
}

const Json& Field(const Json& obj, const char* key) {
  static const Json kNull;
  if (!obj.is_object()) return kNull;
  auto it = obj.find(key);
  return it == obj.end() ? kNull : *it;
}

// The clock part "hh:mm" of "yyyy-mm-ddThh:mm".
std::string ClockOf(const std::string& t) { return t.size() >= 16 && t[10] == 'T' ? t.substr(11, 5) : std::string(); }

std::optional<FeedForecast> Convert(const Json& o, const Location& loc, std::time_t issued) {
  if (!o.is_object()) return std::nullopt;
  const Json& daily = Field(o, "daily");
  const Json& dates = Field(daily, "time");
  if (!dates.is_array()) return std::nullopt;
  // Hourly codes by local date and hour.
  std::map<std::string, std::map<int, int>> hours;
  const Json& htime = Field(Field(o, "hourly"), "time");
  const Json& hcode = Field(Field(o, "hourly"), "weather_code");
  for (size_t i = 0; htime.is_array() && i < htime.size(); ++i) {
    std::string t = Str(htime, i);
    auto c = Num(hcode, i);
    if (t.size() < 13 || !c) continue;
    hours[t.substr(0, 10)][std::atoi(t.substr(11, 2).c_str())] = int(*c);
  }
  auto codesOf = [&](const std::string& date, int from, int to) {
    std::vector<int> out;
    auto it = hours.find(date);
    if (it == hours.end()) return out;
    for (auto h = it->second.lower_bound(from); h != it->second.end() && h->first < to; ++h) out.push_back(h->second);
    return out;
  };
  FeedForecast f;
  f.issued = LocalStamp(issued);
  f.credit = "Open-Meteo";
  f.latitude = loc.latitude;
  f.longitude = loc.longitude;
  if (auto e = Field(o, "elevation"); e.is_number()) f.elevation = e.get<double>();
  for (size_t i = 0; i < dates.size(); ++i) {
    std::string date = Str(dates, i);
    auto hi = Num(Field(daily, "temperature_2m_max"), i), lo = Num(Field(daily, "temperature_2m_min"), i);
    if (date.size() != 10 || !hi || !lo) break;  // a gap ends the usable series
    double rain = Num(Field(daily, "precipitation_sum"), i).value_or(0);
    auto dayCode = Num(Field(daily, "weather_code"), i);
    std::optional<int> am = PhenomenonForCodes(codesOf(date, 6, 12), rain);
    std::optional<int> pm = PhenomenonForCodes(codesOf(date, 12, 18), rain);
    std::vector<int> nightCodes = codesOf(date, 18, 24);
    if (i + 1 < dates.size())
      for (int c : codesOf(Str(dates, i + 1), 0, 6)) nightCodes.push_back(c);
    std::optional<int> night = PhenomenonForCodes(nightCodes, rain);
    if (!am && dayCode) am = PhenomenonForWmo(int(*dayCode), rain);
    if (!am) break;
    if (!pm) pm = am;
    if (!night) night = pm;
    FeedDay d;
    d.date = date;
    d.high = int(std::lround(*hi));
    d.low = int(std::lround(*lo));
    if (d.low > d.high) std::swap(d.low, d.high);
    d.am = PhenomenonWord(*am);
    d.pm = PhenomenonWord(*pm);
    d.night = PhenomenonWord(*night);
    d.iconDay = PhenomenonCode2(*am);
    d.iconNight = PhenomenonCode2(*night);
    auto speed = Num(Field(daily, "wind_speed_10m_max"), i);
    d.windAm = speed ? WindText(Num(Field(daily, "wind_direction_10m_dominant"), i), *speed) : "微风";
    d.windPm = d.windNight = d.windAm;
    f.days.push_back(std::move(d));
  }
  if (f.days.empty()) return std::nullopt;
  f.sunrise = ClockOf(Str(Field(daily, "sunrise"), 0));
  f.sunset = ClockOf(Str(Field(daily, "sunset"), 0));
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
  Json j = Json::parse(body, nullptr, false);
  if (j.is_discarded()) {
    out.error = "answer is not JSON";
    return out;
  }
  if (j.is_object() && j.value("error", false)) {
    out.error = "provider error: " + (Field(j, "reason").is_string() ? Field(j, "reason").get<std::string>() : "?");
    return out;
  }
  // One location gives one object, several an array in request order.
  if (j.is_object()) j = Json::array({j});
  if (!j.is_array() || j.size() != locations.size()) {
    out.error = "answer holds " + std::to_string(j.is_array() ? j.size() : 0) + " locations for " +
                std::to_string(locations.size()) + " asked";
    return out;
  }
  for (size_t i = 0; i < locations.size(); ++i) out.forecasts.push_back(Convert(j[i], locations[i], issued));
  return out;
}

}  // namespace zel::server::feed
