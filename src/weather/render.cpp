// Pouring records into the templates of the active set.
#include "weather/forecast.h"

namespace zel {

std::string TForeCast::RenderForecastCC(const std::string&) const { return {}; }
std::string TForeCast::RenderForecastCN(const std::string&) const { return {}; }
std::string TForeCast::RenderTrendCN(const std::string&) const { return {}; }
std::string TForeCast::RenderForecastOnline(const std::string&) const { return {}; }
std::string TForeCast::RenderWindOnline(const std::string&) const { return {}; }

}  // namespace zel
