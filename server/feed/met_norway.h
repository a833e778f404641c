// MET Norway's Locationforecast 2.0 (compact): one location per request,
// the GeoJSON answer into a forecast at the national clock.
#pragma once

#include <optional>
#include <string>

#include "server/feed/record.h"

namespace zel::server::feed {

constexpr const char* kMetNorwayBase = "https://api.met.no";

std::string MetNorwayUrl(const std::string& base, const Location& loc);

// nullopt (why set) when the answer cannot make a forecast; the days are
// those the answer covers from its first local day on.
std::optional<FeedForecast> ParseMetNorway(const std::string& body, const Location& loc, std::string* why = nullptr);

}  // namespace zel::server::feed
