// A forecast as the feed gets it from a provider, and the record file the
// weather pages read (format in server/README.md). Texts are UTF-8.
#pragma once

#include <cstddef>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace zel::server::feed {

// A record holds a week, a few KB; a larger file is not read.
constexpr size_t kMaxRecordBytes = 64 << 10;

// The national forecasts' clock.
constexpr int kLocalOffsetSeconds = 8 * 3600;

struct FeedDay {
  std::string date;  // yyyy-mm-dd, local
  int high = 0, low = 0;
  std::string am, pm, night;
  std::string wind;  // the whole day's, for the pages that show one
  std::string windAm, windPm, windNight;
  std::string iconDay, iconNight;
};

struct FeedForecast {
  std::string issued;  // yyyy-mm-dd hh:mm, local
  std::string credit;  // "Open-Meteo", "MET Norway"
  std::string sunrise, sunset;
  double latitude = 0, longitude = 0;
  std::optional<double> elevation;
  std::vector<FeedDay> days;
};

struct Location {
  std::string station;
  double latitude = 0, longitude = 0;
  std::optional<int> altitude;  // metres above sea level, where the table gives one
};

// The record as JSON (UTF-8).
std::string RecordJson(const FeedForecast& f);

// yyyy-mm-dd hh:mm of a moment at the national clock.
std::string LocalStamp(std::time_t t);
// A moment from "yyyy-mm-ddThh:mm[:ss][Z]" read as UTC; nullopt when malformed.
std::optional<std::time_t> ParseUtc(const std::string& iso);
// Seconds since the epoch of 0h UTC of a civil date.
std::time_t UtcMidnight(int y, int m, int d);
// Coordinates with at most 4 decimals and no trailing zeros ("39.8", "-0.1235").
std::string Coordinate(double v);

}  // namespace zel::server::feed
