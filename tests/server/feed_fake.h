// Answers in the shapes of the two forecast providers, written for the
// tests, and a loopback fake that serves them with a chosen behaviour.
#pragma once

#include <httplib.h>
#include <zlib.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "base/clock.h"
#include "server/feed/record.h"
#include "support/testutil.h"

namespace zel::server::feed::test {

using Json = nlohmann::json;

// yyyy-mm-dd n days after from (both local).
inline std::string DayAfter(const std::string& from, int n) {
  std::time_t t = *ParseUtc(from + "T00:00") + n * 86400;
  return LocalStamp(t - kLocalOffsetSeconds).substr(0, 10);
}

// One Open-Meteo location as its documentation shows one: days from first,
// every value given, units as asked; hourly codes all `code` unless hour()
// says otherwise, hourly winds 2 m/s from the east.
inline Json OpenMeteoLocation(const std::string& first, int days, double lat, double lon, int code = 1,
                              std::function<Json(const std::string& date, int hour)> hour = nullptr) {
  Json daily = {{"time", Json::array()},
                {"weather_code", Json::array()},
                {"temperature_2m_max", Json::array()},
                {"temperature_2m_min", Json::array()},
                {"wind_speed_10m_max", Json::array()},
                {"wind_direction_10m_dominant", Json::array()},
                {"sunrise", Json::array()},
                {"sunset", Json::array()}};
  Json hourly = {{"time", Json::array()},
                 {"weather_code", Json::array()},
                 {"wind_speed_10m", Json::array()},
                 {"wind_direction_10m", Json::array()}};
  for (int d = 0; d < days; ++d) {
    std::string date = DayAfter(first, d);
    daily["time"].push_back(date);
    daily["weather_code"].push_back(code);
    daily["temperature_2m_max"].push_back(25.4 + d);
    daily["temperature_2m_min"].push_back(14.6 + d);
    daily["wind_speed_10m_max"].push_back(2.0);
    daily["wind_direction_10m_dominant"].push_back(90);
    daily["sunrise"].push_back(date + "T05:01");
    daily["sunset"].push_back(date + "T19:02");
    for (int h = 0; h < 24; ++h) {
      char t[32];
      std::snprintf(t, sizeof t, "%sT%02d:00", date.c_str(), h);
      hourly["time"].push_back(t);
      hourly["weather_code"].push_back(hour ? hour(date, h) : Json(code));
      hourly["wind_speed_10m"].push_back(2.0);
      hourly["wind_direction_10m"].push_back(90);
    }
  }
  return {{"latitude", lat},
          {"longitude", lon},
          {"elevation", 44.0},
          {"utc_offset_seconds", 28800},
          {"timezone", "Asia/Shanghai"},
          {"daily_units",
           {{"time", "iso8601"},
            {"weather_code", "wmo code"},
            {"temperature_2m_max", "°C"},
            {"temperature_2m_min", "°C"},
            {"wind_speed_10m_max", "m/s"},
            {"wind_direction_10m_dominant", "°"}}},
          {"hourly_units",
           {{"time", "iso8601"}, {"weather_code", "wmo code"}, {"wind_speed_10m", "m/s"}, {"wind_direction_10m", "°"}}},
          {"daily", daily},
          {"hourly", hourly}};
}

// A MET Norway answer: hourly steps for two local days from first (local
// midnight), then six-hourly ones to the end of day `days`; the last step
// has no periods. symbol(localDate, localHour) and temp() give the figures.
inline Json MetAnswer(const std::string& first, int days, const std::string& updated,
                      std::function<std::string(const std::string&, int)> symbol,
                      std::function<double(const std::string&, int)> temp, double rainPerHour = 0) {
  Json series = Json::array();
  std::time_t t0 = *ParseUtc(first + "T00:00") - kLocalOffsetSeconds;
  std::time_t end = t0 + days * 86400;
  for (std::time_t t = t0; t <= end;) {
    bool hourly = t < t0 + 2 * 86400;
    std::string local = LocalStamp(t);
    std::string date = local.substr(0, 10);
    int hour = std::stoi(local.substr(11, 2));
    char iso[32];
    std::tm tm = zel::UtcTime(t);
    std::strftime(iso, sizeof iso, "%Y-%m-%dT%H:%M:%SZ", &tm);
    Json data = {{"instant",
                  {{"details",
                    {{"air_temperature", temp(date, hour)},
                     {"wind_speed", 6.0},
                     {"wind_from_direction", 225.0},
                     {"relative_humidity", 60.0}}}}}};
    if (t < end) {
      std::string sym = symbol(date, hour);
      if (hourly) {
        data["next_1_hours"] = {{"summary", {{"symbol_code", sym}}},
                                {"details", {{"precipitation_amount", rainPerHour}}}};
        data["next_6_hours"] = {{"summary", {{"symbol_code", sym}}},
                                {"details", {{"precipitation_amount", 6 * rainPerHour}}}};
      } else {
        data["next_6_hours"] = {{"summary", {{"symbol_code", sym}}},
                                {"details", {{"precipitation_amount", 6 * rainPerHour}}}};
      }
      data["next_12_hours"] = {{"summary", {{"symbol_code", sym}}}};
    }
    series.push_back({{"time", iso}, {"data", data}});
    t += hourly ? 3600 : 6 * 3600;
  }
  return {{"type", "Feature"},
          {"geometry", {{"type", "Point"}, {"coordinates", {116.47, 39.8, 31}}}},
          {"properties",
           {{"meta",
             {{"updated_at", updated},
              {"units",
               {{"air_temperature", "celsius"},
                {"precipitation_amount", "mm"},
                {"relative_humidity", "%"},
                {"wind_from_direction", "degrees"},
                {"wind_speed", "m/s"}}}}},
            {"timeseries", series}}}};
}

// The body as gzip, as a provider sends it to a client that accepts it.
inline std::string Gzip(const std::string& in) {
  z_stream z{};
  deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, uLong(in.size())) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z.avail_in = uInt(in.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = uInt(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// Both providers on one loopback port. Each answer is decided by the
// handler the test sets; requests are counted and their headers kept.
class FakeProviders {
 public:
  struct Seen {
    std::string path, query, userAgent, ifModifiedSince, latitude, acceptEncoding;
  };
  using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

  FakeProviders() {
    auto route = [this](bool om) {
      return [this, om](const httplib::Request& req, httplib::Response& res) {
        Handler h;
        {
          std::lock_guard<std::mutex> lock(mu_);
          std::string q;
          for (const auto& [k, v] : req.params) q += k + "=" + v + "&";
          seen_.push_back({req.path, q, req.get_header_value("User-Agent"), req.get_header_value("If-Modified-Since"),
                           req.has_param("latitude") ? req.get_param_value("latitude") : req.get_param_value("lat"),
                           req.get_header_value("Accept-Encoding")});
          h = om ? openMeteo_ : met_;
        }
        if (h)
          h(req, res);
        else
          res.status = 503;
      };
    };
    http_.http().Get("/v1/forecast", route(true));
    http_.http().Get("/weatherapi/locationforecast/2.0/compact", route(false));
    http_.Start();
  }
  ~FakeProviders() { release_ = true; }

  void OpenMeteo(Handler h) {
    std::lock_guard<std::mutex> lock(mu_);
    openMeteo_ = std::move(h);
  }
  void Met(Handler h) {
    std::lock_guard<std::mutex> lock(mu_);
    met_ = std::move(h);
  }
  std::vector<Seen> Requests() {
    std::lock_guard<std::mutex> lock(mu_);
    return seen_;
  }
  size_t Count(const std::string& prefix) {
    size_t n = 0;
    for (const Seen& s : Requests()) n += s.path.rfind(prefix, 0) == 0;
    return n;
  }
  void Forget() {
    std::lock_guard<std::mutex> lock(mu_);
    seen_.clear();
  }
  // A handler that holds the answer back until the fake goes away.
  Handler Hang() {
    return [this](const httplib::Request&, httplib::Response& res) {
      for (int i = 0; i < 100 && !release_; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
      res.status = 504;
    };
  }
  std::string base() const { return http_.base(); }

 private:
  std::mutex mu_;
  Handler openMeteo_, met_;
  std::vector<Seen> seen_;
  std::atomic<bool> release_{false};
  zel::test::LoopbackServer http_;
};

}  // namespace zel::server::feed::test
