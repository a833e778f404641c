#include "base/appenv.h"
#include "weather/sources.h"

namespace zel {

TWeatherCN::TWeatherCN() : Caption(CNCaption()) {}

std::string TWeatherCN::GetURL() const { return ServerBase("CN") + "/forecast/24time.jsp?sta_id=" + CityID; }
std::string TWeatherCN::GetTrendURL() const { return ServerBase("CN") + "/forecast/qushi.jsp?sta_id=" + CityID; }

std::string TWeatherCN::GetForeCast() { return {}; }
std::string TWeatherCN::GetTrend() { return {}; }
std::string TWeatherCN::GetAltText(const std::string&) { return {}; }
void TWeatherCN::FetchIcons(std::string, const std::string&) {}

}  // namespace zel
