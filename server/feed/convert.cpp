#include "server/feed/convert.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "server/feed/record.h"

namespace zel::server::feed {
namespace {

bool IsRain(int w) { return (w >= 51 && w <= 55) || (w >= 61 && w <= 65) || (w >= 80 && w <= 82); }
bool IsSnow(int w) { return (w >= 71 && w <= 77) || w == 85 || w == 86; }

constexpr double kPi = 3.14159265358979323846;
double Rad(double d) { return d * kPi / 180; }
double Deg(double r) { return r * 180 / kPi; }

struct SolarDay {
  double eqTimeMin, declRad;
};

// The sun's equation of time and declination at Julian day jd (low-precision
// ephemeris of the astronomical almanac, good to well under a minute).
SolarDay Solar(double jd) {
  double t = (jd - 2451545.0) / 36525;
  double l0 = std::fmod(280.46646 + t * (36000.76983 + t * 0.0003032), 360);
  double m = 357.52911 + t * (35999.05029 - 0.0001537 * t);
  double e = 0.016708634 - t * (0.000042037 + 0.0000001267 * t);
  double c = std::sin(Rad(m)) * (1.914602 - t * (0.004817 + 0.000014 * t)) +
             std::sin(Rad(2 * m)) * (0.019993 - 0.000101 * t) + std::sin(Rad(3 * m)) * 0.000289;
  double omega = 125.04 - 1934.136 * t;
  double lambda = l0 + c - 0.00569 - 0.00478 * std::sin(Rad(omega));
  double eps0 = 23 + (26 + (21.448 - t * (46.815 + t * (0.00059 - t * 0.001813))) / 60) / 60;
  double eps = eps0 + 0.00256 * std::cos(Rad(omega));
  double decl = std::asin(std::sin(Rad(eps)) * std::sin(Rad(lambda)));
  double y = std::pow(std::tan(Rad(eps) / 2), 2);
  double l0r = Rad(l0), mr = Rad(m);
  double eq = y * std::sin(2 * l0r) - 2 * e * std::sin(mr) + 4 * e * y * std::sin(mr) * std::cos(2 * l0r) -
              0.5 * y * y * std::sin(4 * l0r) - 1.25 * e * e * std::sin(2 * mr);
  return {4 * Deg(eq), decl};
}

// Minutes after 0h UTC of the day's sunrise (rise) or sunset; nullopt when
// the sun stays up or down.
std::optional<double> SunEvent(double jd0, double lat, double lon, bool rise) {
  double minutes = rise ? 360 : 1080;
  for (int i = 0; i < 3; ++i) {  // refine at the moment of the event
    SolarDay s = Solar(jd0 + minutes / 1440);
    double cosH =
        std::cos(Rad(90.833)) / (std::cos(Rad(lat)) * std::cos(s.declRad)) - std::tan(Rad(lat)) * std::tan(s.declRad);
    if (cosH > 1 || cosH < -1) return std::nullopt;
    double ha = Deg(std::acos(cosH));
    double noon = 720 - 4 * lon - s.eqTimeMin;
    minutes = rise ? noon - 4 * ha : noon + 4 * ha;
  }
  return minutes;
}

std::string Clock(double minutes) {
  long m = std::lround(minutes);
  m = ((m % 1440) + 1440) % 1440;
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02ld:%02ld", m / 60, m % 60);
  return buf;
}

}  // namespace

int PhenomenonForWmo(int w) {
  if (w <= 1) return 0;
  if (w == 2) return 1;
  if (w == 45 || w == 48) return 18;
  if (w == 56 || w == 57 || w == 66 || w == 67) return 19;
  if (w == 68 || w == 69) return 6;
  // Drizzle of any strength is light rain; rain and snow say slight,
  // moderate or heavy themselves (64 and 74 are the in-between codes).
  if (w >= 51 && w <= 55) return 7;
  if (w >= 61 && w <= 65) return w <= 62 ? 7 : w <= 64 ? 8 : 9;
  if (w >= 71 && w <= 77) return w <= 72 || w == 77 ? 14 : w <= 74 ? 15 : 16;
  if (w >= 80 && w <= 82) return 3;
  if (w == 85 || w == 86) return 13;
  if (w == 95) return 4;
  if (w == 96 || w == 99) return 5;
  return 2;  // codes the forecasts do not use: overcast says least
}

std::optional<int> PhenomenonForCodes(const std::vector<int>& codes) {
  if (codes.empty()) return std::nullopt;
  int worst = *std::max_element(codes.begin(), codes.end());
  bool rain = std::any_of(codes.begin(), codes.end(), IsRain);
  bool snow = std::any_of(codes.begin(), codes.end(), IsSnow);
  if (rain && snow && worst < 95) return 6;
  return PhenomenonForWmo(worst);
}

std::optional<int> WmoForMetSymbol(const std::string& symbol) {
  std::string s = symbol.substr(0, symbol.find('_'));
  if (s.find("thunder") != std::string::npos) {
    // Thunder with snow or sleet is still a thunderstorm to the icons.
    return 95;
  }
  struct Row {
    const char* name;
    int wmo;
  };
  static const Row kRows[] = {
      {"clearsky", 0},
      {"fair", 1},
      {"partlycloudy", 2},
      {"cloudy", 3},
      {"fog", 45},
      {"lightrainshowers", 80},
      {"rainshowers", 81},
      {"heavyrainshowers", 82},
      {"lightrain", 61},
      {"rain", 63},
      {"heavyrain", 65},
      {"lightsleetshowers", kWmoSleet},
      {"sleetshowers", kWmoSleet},
      {"heavysleetshowers", kWmoSleet},
      {"lightsleet", kWmoSleet},
      {"sleet", kWmoSleet},
      {"heavysleet", kWmoSleet},
      {"lightsnowshowers", 85},
      {"snowshowers", 85},
      {"heavysnowshowers", 86},
      {"lightsnow", 71},
      {"snow", 73},
      {"heavysnow", 75},
  };
  for (const Row& r : kRows)
    if (s == r.name) return r.wmo;
  return std::nullopt;
}

std::string PhenomenonCode2(int code) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02d", std::clamp(code, 0, 31));
  return buf;
}

int Beaufort(double ms) {
  static const double kLower[] = {0.3, 1.6, 3.4, 5.5, 8.0, 10.8, 13.9, 17.2, 20.8, 24.5, 28.5, 32.7};
  if (!(ms >= 0)) return 0;  // NaN and negatives: calm
  int force = 0;
  for (double b : kLower)
    if (ms >= b) ++force;
  return force;
}

const char* DirectionWord(double degrees) {
  static const char* const kDirs[] = {"北风", "东北风", "东风", "东南风", "南风", "西南风", "西风", "西北风"};
  if (!std::isfinite(degrees)) return "";
  double d = std::fmod(degrees, 360.0);
  if (d < 0) d += 360;
  return kDirs[int(std::floor((d + 22.5) / 45)) % 8];
}

std::string WindText(const std::vector<WindAt>& winds) {
  if (winds.empty()) return {};
  auto [weakest, strongest] =
      std::minmax_element(winds.begin(), winds.end(), [](const WindAt& a, const WindAt& b) { return a.ms < b.ms; });
  int low = Beaufort(weakest->ms), high = Beaufort(strongest->ms);
  if (high < 3) return "微风";
  std::string dir = strongest->degrees ? DirectionWord(*strongest->degrees) : "";
  if (dir.empty()) dir = "风力";
  return dir + (low == high ? "" : std::to_string(low) + "-") + std::to_string(high) + "级";
}

std::optional<Scale> ScaleOf(Quantity q, const std::string& unit) {
  struct Row {
    Quantity q;
    const char* unit;
    Scale scale;
  };
  static const Row kRows[] = {
      {Quantity::kTemperature, "°C", {}},
      {Quantity::kTemperature, "celsius", {}},
      {Quantity::kTemperature, "°F", {5.0 / 9, -32 * 5.0 / 9}},
      {Quantity::kTemperature, "fahrenheit", {5.0 / 9, -32 * 5.0 / 9}},
      {Quantity::kSpeed, "m/s", {}},
      {Quantity::kSpeed, "km/h", {1 / 3.6, 0}},
      {Quantity::kSpeed, "kn", {1852.0 / 3600, 0}},
      {Quantity::kSpeed, "mp/h", {0.44704, 0}},
      {Quantity::kSpeed, "mph", {0.44704, 0}},
      {Quantity::kPrecipitation, "mm", {}},
      {Quantity::kPrecipitation, "inch", {25.4, 0}},
  };
  if (unit.empty()) return Scale{};
  for (const Row& r : kRows)
    if (r.q == q && unit == r.unit) return r.scale;
  return std::nullopt;
}

SunTimes SunriseSunset(double lat, double lon, int year, int month, int day, double utcOffsetHours) {
  // The local day begins utcOffsetHours before 0h UTC of the same date.
  double jd0 = double(UtcMidnight(year, month, day)) / 86400 + 2440587.5;
  SunTimes out{"--", "--"};
  if (auto r = SunEvent(jd0, lat, lon, true)) out.rise = Clock(*r + utcOffsetHours * 60);
  if (auto s = SunEvent(jd0, lat, lon, false)) out.set = Clock(*s + utcOffsetHours * 60);
  return out;
}

}  // namespace zel::server::feed
