#include "server/feed/met_norway.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <nlohmann/json.hpp>

#include "server/feed/convert.h"

namespace zel::server::feed {
namespace {

using Json = nlohmann::json;

const Json& At(const Json& j, std::initializer_list<const char*> path) {
  static const Json kNull;
  const Json* cur = &j;
  for (const char* k : path) {
    if (!cur->is_object()) return kNull;
    auto it = cur->find(k);
    if (it == cur->end()) return kNull;
    cur = &*it;
  }
  return *cur;
}

std::optional<double> Num(const Json& j) {
  if (!j.is_number()) return std::nullopt;
  double v = j.get<double>();
  return std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

struct Step {
  std::string date;  // local
  int hour = 0;      // local
  std::optional<double> temp, speed, dir;
  std::optional<int> wmo;  // of the period that begins here
  double rain = 0;         // of that period, counted once
};

struct Part {
  std::vector<int> codes;
  double speed = -1;
  std::optional<double> dir;
  void Add(const Step& s) {
    if (s.wmo) codes.push_back(*s.wmo);
    if (s.speed && *s.speed > speed) speed = *s.speed, dir = s.dir;
  }
};

}  // namespace

std::string MetNorwayUrl(const std::string& base, const Location& loc) {
  return base + "/weatherapi/locationforecast/2.0/compact?lat=" + Coordinate(loc.latitude) +
         "&lon=" + Coordinate(loc.longitude);
}

std::optional<FeedForecast> ParseMetNorway(const std::string& body, const Location& loc, std::string* why) {
  auto fail = [&](const char* w) -> std::optional<FeedForecast> {
    if (why) *why = w;
    return std::nullopt;
  };
  Json j = Json::parse(body, nullptr, false);
  if (j.is_discarded() || !j.is_object()) return fail("answer is not a JSON object");
  const Json& series = At(j, {"properties", "timeseries"});
  if (!series.is_array() || series.empty()) return fail("no timeseries");
  auto updated = At(j, {"properties", "meta", "updated_at"});
  auto issued = updated.is_string() ? ParseUtc(updated.get<std::string>()) : std::nullopt;
  if (!issued) return fail("no properties.meta.updated_at");

  std::vector<Step> steps;
  for (const Json& e : series) {
    const Json& t = At(e, {"time"});
    auto when = t.is_string() ? ParseUtc(t.get<std::string>()) : std::nullopt;
    if (!when) continue;
    std::string stamp = LocalStamp(*when);
    Step s;
    s.date = stamp.substr(0, 10);
    s.hour = std::atoi(stamp.substr(11, 2).c_str());
    const Json& inst = At(e, {"data", "instant", "details"});
    s.temp = Num(At(inst, {"air_temperature"}));
    s.speed = Num(At(inst, {"wind_speed"}));
    s.dir = Num(At(inst, {"wind_from_direction"}));
    // The shortest period that begins here describes it; hourly steps carry
    // both next_1_hours and next_6_hours, and counting both would double the
    // rain.
    for (const char* p : {"next_1_hours", "next_6_hours", "next_12_hours"}) {
      const Json& next = At(e, {"data", p});
      if (!next.is_object()) continue;
      const Json& sym = At(next, {"summary", "symbol_code"});
      if (sym.is_string()) s.wmo = WmoForMetSymbol(sym.get<std::string>());
      if (std::string(p) != "next_12_hours")
        s.rain = std::max(0.0, Num(At(next, {"details", "precipitation_amount"})).value_or(0));
      break;
    }
    steps.push_back(std::move(s));
  }
  if (steps.empty()) return fail("no readable time steps");

  // Local days in order, each with its temperatures, rain and three parts;
  // a night runs from 18h to 6h of the next day.
  struct Day {
    std::optional<double> hi, lo;
    double rain = 0;
    Part am, pm, night;
  };
  std::map<std::string, Day> days;
  for (size_t i = 0; i < steps.size(); ++i) {
    const Step& s = steps[i];
    Day& d = days[s.date];
    if (s.temp) {
      d.hi = std::max(d.hi.value_or(*s.temp), *s.temp);
      d.lo = std::min(d.lo.value_or(*s.temp), *s.temp);
    }
    d.rain += s.rain;
    if (s.hour >= 6 && s.hour < 12)
      d.am.Add(s);
    else if (s.hour >= 12 && s.hour < 18)
      d.pm.Add(s);
    else if (s.hour >= 18)
      d.night.Add(s);
    else {
      // Small hours belong to the night of the day before.
      std::string prev = LocalStamp(*ParseUtc(s.date + "T00:00") - kLocalOffsetSeconds - 86400).substr(0, 10);
      if (days.count(prev)) days[prev].night.Add(s);
    }
  }

  FeedForecast f;
  f.issued = LocalStamp(*issued);
  f.credit = "MET Norway";
  f.latitude = loc.latitude;
  f.longitude = loc.longitude;
  const Json& coords = At(j, {"geometry", "coordinates"});
  if (coords.is_array() && coords.size() >= 3) f.elevation = Num(coords[2]);
  for (auto& [date, d] : days) {
    // A day needs its temperatures and some weather; the last steps (no
    // next_* periods) may leave a stub day, which ends the series.
    std::optional<int> am = PhenomenonForCodes(d.am.codes, d.rain), pm = PhenomenonForCodes(d.pm.codes, d.rain),
                       night = PhenomenonForCodes(d.night.codes, d.rain);
    if (!d.hi || (!am && !pm && !night)) break;
    if (!am) am = pm ? pm : night;
    if (!pm) pm = am;
    if (!night) night = pm;
    FeedDay out;
    out.date = date;
    out.high = int(std::lround(*d.hi));
    out.low = int(std::lround(*d.lo));
    out.am = PhenomenonWord(*am);
    out.pm = PhenomenonWord(*pm);
    out.night = PhenomenonWord(*night);
    out.iconDay = PhenomenonCode2(*am);
    out.iconNight = PhenomenonCode2(*night);
    auto wind = [](const Part& p, const std::string& fallback) {
      return p.speed >= 0 ? WindText(p.dir, p.speed) : fallback;
    };
    out.windAm = wind(d.am, "微风");
    out.windPm = wind(d.pm, out.windAm);
    out.windNight = wind(d.night, out.windPm);
    if (d.am.speed < 0 && d.pm.speed >= 0) out.windAm = out.windPm;
    f.days.push_back(std::move(out));
  }
  if (f.days.empty()) return fail("no day with temperatures and weather");
  const std::string& first = f.days.front().date;
  SunTimes sun =
      SunriseSunset(loc.latitude, loc.longitude, std::atoi(first.c_str()), std::atoi(first.substr(5, 2).c_str()),
                    std::atoi(first.substr(8, 2).c_str()), kLocalOffsetSeconds / 3600.0);
  f.sunrise = sun.rise;
  f.sunset = sun.set;
  return f;
}

}  // namespace zel::server::feed
