#include "base/appenv.h"
#include "weather/sources.h"

namespace zel {

TWeatherCC::TWeatherCC() : Caption(CCCaption()) {}

std::string TWeatherCC::GetURL() const {
  return ServerBase("CC") + "/nmc/citySearch.do?inputMode=citysearch&type=second&cityid=" + CityID;
}

// Fetching and parsing come with the forecast sources.
std::string TWeatherCC::GetForeCast() { return {}; }
std::string TWeatherCC::MakeIcons(const std::string& codes) { return codes; }

}  // namespace zel
