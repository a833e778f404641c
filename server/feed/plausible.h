// What a provider's answer may hold before any figure is converted: every
// figure within what the earth gives in any unit a provider may use, and
// series not far longer than asked. A broken or hostile answer is refused
// whole, so the last good record stays.
#pragma once

#include <string>

#include "server/feed/json_read.h"

namespace zel::server::feed {

// Longest series taken: twice the days asked, as a provider may add a day.
constexpr size_t kMaxSeriesDays = 16;
constexpr size_t kMaxMetSteps = 400;  // MET Norway gives about 90

// Why one location of an Open-Meteo answer cannot be taken; empty when it can.
std::string ImpossibleOpenMeteo(json::element location);
// The same for a whole MET Norway answer.
std::string ImpossibleMetNorway(json::element root);

}  // namespace zel::server::feed
