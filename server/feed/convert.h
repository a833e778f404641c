// Provider figures into the words of the national forecasts: phenomenon
// codes 00 to 31, Beaufort forces, wind directions, sun times. Texts here
// are UTF-8: they go straight into the JSON records.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "server/weather_pages.h"

namespace zel::server::feed {

// WMO 4677 present-weather codes as the forecast APIs use them; 68 and 69
// (rain and snow mixed) also stand for sleet symbols that have no code.
constexpr int kWmoSleet = 68;

// Phenomenon code (0..31) for a WMO code; rain and snow take the code's own
// intensity (slight, moderate, heavy).
int PhenomenonForWmo(int wmo);
// The phenomenon of several WMO codes of one part of a day: the most severe,
// sleet when rain and snow codes mix. nullopt when codes is empty.
std::optional<int> PhenomenonForCodes(const std::vector<int>& codes);
// WMO code for a MET Norway symbol ("lightrainshowers_day", "fog", ...);
// nullopt for a symbol it does not know.
std::optional<int> WmoForMetSymbol(const std::string& symbol);

// The phenomenon's word: server::PhenomenonWord (weather_pages.h).
std::string PhenomenonCode2(int code);  // "07"

// Beaufort force 0..12 of a speed in m/s.
int Beaufort(double ms);
// "北风" ... "西北风": where the wind comes from, eight 45° sectors centred
// on north.
const char* DirectionWord(double degrees);
// One forecast wind: speed in m/s, where it comes from.
struct WindAt {
  double ms = 0;
  std::optional<double> degrees;
};
// The wind of a stretch of a day from its forecast winds: "微风" when even
// the strongest is below force 3, else the direction of the strongest and
// the forces from the weakest to the strongest, "东北风4级" or "东北风3-5级".
// Empty for no winds.
std::string WindText(const std::vector<WindAt>& winds);

// A provider's unit into ours (°C, m/s, mm): v * mul + add.
struct Scale {
  double mul = 1, add = 0;
  double operator()(double v) const { return v * mul + add; }
};
enum class Quantity { kTemperature, kSpeed, kPrecipitation };
// The scale for a unit as the providers write it ("°F", "km/h", "kn",
// "mp/h", "celsius", "m/s", "inch" ...); nullopt for a unit not known for
// that quantity. An empty unit (none given) is ours.
std::optional<Scale> ScaleOf(Quantity q, const std::string& unit);

// Sunrise and sunset, local clock "hh:mm" at utcOffsetHours; "--" for a day
// without one (polar day or night).
struct SunTimes {
  std::string rise, set;
};
SunTimes SunriseSunset(double latitude, double longitude, int year, int month, int day, double utcOffsetHours);

}  // namespace zel::server::feed
