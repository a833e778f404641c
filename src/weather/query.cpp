// Fetch, render, memorise and show.
#include "base/ui.h"
#include "weather/forecast.h"

namespace zel {

bool TForeCast::ShowForecast(Browser&) { return false; }
bool TForeCast::ShowWind(Browser&) { return false; }
void TForeCast::PrefetchForecast() {}

}  // namespace zel
