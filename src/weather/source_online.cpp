#include "base/appenv.h"
#include "weather/sources.h"

namespace zel {

TWeatherOnline::TWeatherOnline() : Caption(OnlineCaption()) {}

std::string TWeatherOnline::GetURL() { return {}; }
std::string TWeatherOnline::GetWindURL() { return {}; }
std::string TWeatherOnline::GetForeCast() { return {}; }
std::string TWeatherOnline::GetWind() { return {}; }

}  // namespace zel
