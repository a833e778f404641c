// Open-Meteo's forecast API: one request for up to 100 locations, the
// answer (one object, or an array in request order) into forecasts.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "server/feed/record.h"

namespace zel::server::feed {

constexpr size_t kOpenMeteoBatch = 100;
// Days asked for: a week costs no more than five, and a record fetched
// late in the evening still holds the pages' days after midnight.
constexpr int kOpenMeteoDays = 7;
constexpr const char* kOpenMeteoBase = "https://api.open-meteo.com";

// base is scheme, host and port without a trailing slash.
std::string OpenMeteoUrl(const std::string& base, const std::vector<Location>& locations);

struct OpenMeteoAnswer {
  // One per requested location; nullopt where that location's figures
  // cannot make a forecast.
  std::vector<std::optional<FeedForecast>> forecasts;
  std::vector<std::string> why;  // per location: why it has none (or the day that ended it)
  std::string error;  // the whole answer was unusable: why
};

// issued: the provider's time of the answer (its Date header).
OpenMeteoAnswer ParseOpenMeteo(const std::string& body, const std::vector<Location>& locations, std::time_t issued);

}  // namespace zel::server::feed
