// Background prefetch of the favourites' forecasts at start-up.
#pragma once

#include <string>

namespace zel {

// At most this many favourites are fetched at once.
constexpr int kPrefetchWorkers = 4;

// Queues one favourite (TWeatherThr's work): a worker of a small fixed pool
// builds its own manager, fetches and renders the favourite's forecast and
// appends it to the memo. Favourites are taken in the order queued.
void StartWeatherThr(const std::string& province, const std::string& city, const std::string& number);

// Favourites queued or being fetched (tests wait for them).
int WeatherThrRunning();

}  // namespace zel
