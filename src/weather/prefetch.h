// Background prefetch of the favourites' forecasts at start-up.
#pragma once

#include <string>

namespace zel {

// Starts one detached worker (TWeatherThr) that builds its own manager,
// fetches and renders the favourite's forecast and appends it to the memo.
void StartWeatherThr(const std::string& province, const std::string& city, const std::string& number);

// Workers started and not yet ended (tests wait for them).
int WeatherThrRunning();

}  // namespace zel
