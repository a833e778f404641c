#include "server/feed/met_norway.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "server/feed/convert.h"
#include "server/feed/json_read.h"
#include "server/feed/plausible.h"

namespace zel::server::feed {
namespace {

struct Step {
  long day = 0;  // local day number since 1970-01-01
  int hour = 0;  // local
  std::optional<double> temp;
  std::optional<WindAt> wind;
  std::optional<int> wmo;  // of the period that begins here
};

struct Part {
  std::vector<int> codes;
  std::vector<WindAt> winds;
  void Add(const Step& s) {
    if (s.wmo) codes.push_back(*s.wmo);
    if (s.wind) winds.push_back(*s.wind);
  }
};

}  // namespace

std::string MetNorwayUrl(const std::string& base, const Location& loc) {
  // The altitude corrects the temperatures for the station's height.
  return base + "/weatherapi/locationforecast/2.0/compact?lat=" + Coordinate(loc.latitude) +
         "&lon=" + Coordinate(loc.longitude) + (loc.altitude ? "&altitude=" + std::to_string(*loc.altitude) : "");
}

std::optional<FeedForecast> ParseMetNorway(const std::string& body, const Location& loc, std::string* why) {
  auto fail = [&](const char* w) -> std::optional<FeedForecast> {
    if (why) *why = w;
    return std::nullopt;
  };
  json::ShrinkParserAfter shrink{body.size()};
  json::element root;
  if (json::Parser().parse(body).get(root) || !root.is_object()) return fail("answer is not a JSON object");
  if (std::string bad = ImpossibleMetNorway(root); !bad.empty()) {
    if (why) *why = bad;
    return std::nullopt;
  }
  json::array series;
  if (root["properties"]["timeseries"].get_array().get(series) || series.size() == 0) return fail("no timeseries");
  auto issued = ParseUtc(json::Str(root["properties"]["meta"]["updated_at"]));
  if (!issued) return fail("no properties.meta.updated_at");
  // Units other than ours are converted; one we do not know refuses the answer.
  auto units = root["properties"]["meta"]["units"];
  auto tempUnit = ScaleOf(Quantity::kTemperature, json::Str(units["air_temperature"]));
  auto speedUnit = ScaleOf(Quantity::kSpeed, json::Str(units["wind_speed"]));
  if (!tempUnit) return fail("air_temperature in an unknown unit");
  if (!speedUnit) return fail("wind_speed in an unknown unit");

  std::vector<Step> steps;
  for (json::element e : series) {
    auto when = ParseUtc(json::Str(e["time"]));
    if (!when) continue;
    Step s;
    long long local = (long long)*when + kLocalOffsetSeconds;
    s.day = long(local >= 0 ? local / 86400 : (local - 86399) / 86400);
    s.hour = int((local - (long long)s.day * 86400) / 3600);
    auto inst = e["data"]["instant"]["details"];
    if (auto t = json::Num(inst["air_temperature"])) s.temp = (*tempUnit)(*t);
    if (auto v = json::Num(inst["wind_speed"]); v && *v >= 0)
      s.wind = WindAt{(*speedUnit)(*v), json::Num(inst["wind_from_direction"])};
    // The shortest period that begins here describes it.
    for (const char* p : {"next_1_hours", "next_6_hours", "next_12_hours"}) {
      json::object next;
      if (e["data"][p].get_object().get(next)) continue;
      std::string sym = json::Str(next["summary"]["symbol_code"]);
      if (!sym.empty()) s.wmo = WmoForMetSymbol(sym);
      break;
    }
    steps.push_back(std::move(s));
  }
  if (steps.empty()) return fail("no readable time steps");

  // Local days in order, each with its temperatures and three parts; a
  // night runs from 18h to 6h of the next day.
  struct Day {
    std::optional<double> hi, lo;
    Part am, pm, night;
  };
  std::map<long, Day> days;
  for (size_t i = 0; i < steps.size(); ++i) {
    const Step& s = steps[i];
    Day& d = days[s.day];
    if (s.temp) {
      d.hi = std::max(d.hi.value_or(*s.temp), *s.temp);
      d.lo = std::min(d.lo.value_or(*s.temp), *s.temp);
    }
    if (s.hour >= 6 && s.hour < 12)
      d.am.Add(s);
    else if (s.hour >= 12 && s.hour < 18)
      d.pm.Add(s);
    else if (s.hour >= 18)
      d.night.Add(s);
    else {
      // Small hours belong to the night of the day before.
      if (auto prev = days.find(s.day - 1); prev != days.end()) prev->second.night.Add(s);
    }
  }

  FeedForecast f;
  f.issued = LocalStamp(*issued);
  f.credit = "MET Norway";
  f.latitude = loc.latitude;
  f.longitude = loc.longitude;
  f.elevation = json::Num(root["geometry"]["coordinates"].at(2));
  for (auto& [day, d] : days) {
    // A day needs its temperatures and some weather; the last steps (no
    // next_* periods) may leave a stub day, which ends the series.
    std::optional<int> am = PhenomenonForCodes(d.am.codes), pm = PhenomenonForCodes(d.pm.codes),
                       night = PhenomenonForCodes(d.night.codes);
    std::vector<WindAt> winds = d.am.winds;
    winds.insert(winds.end(), d.pm.winds.begin(), d.pm.winds.end());
    winds.insert(winds.end(), d.night.winds.begin(), d.night.winds.end());
    if (!d.hi || (!am && !pm && !night) || winds.empty()) break;
    if (!am) am = pm ? pm : night;
    if (!pm) pm = am;
    if (!night) night = pm;
    FeedDay out;
    out.date = LocalStamp(std::time_t(day) * 86400 - kLocalOffsetSeconds).substr(0, 10);
    out.high = int(std::lround(*d.hi));
    out.low = int(std::lround(*d.lo));
    out.am = PhenomenonWord(*am);
    out.pm = PhenomenonWord(*pm);
    out.night = PhenomenonWord(*night);
    out.iconDay = PhenomenonCode2(*am);
    out.iconNight = PhenomenonCode2(*night);
    // The day's wind runs to its strongest; a part the answer no longer
    // covers (the morning of today) says what the rest of the day says.
    out.wind = WindText(winds);
    out.windAm = d.am.winds.empty() ? out.wind : WindText(d.am.winds);
    out.windPm = d.pm.winds.empty() ? out.wind : WindText(d.pm.winds);
    out.windNight = d.night.winds.empty() ? out.wind : WindText(d.night.winds);
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
