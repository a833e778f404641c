// zelmora-server: the lookup pages, the update publication and the weather
// sites' pages on one port. Toolkit-free; tests mount it on a loopback port.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "server/http.h"
#include "server/lookup_pages.h"
#include "server/weather_pages.h"

namespace zel::server {

struct ServerOptions {
  std::string listen = "127.0.0.1";
  int port = 8090;
  std::string dataDir;         // lookup data and forecasts/; default <exe>/serverdata
  std::string publicationDir;  // default <data>/publication
  std::string stateDir;        // written: forecasts/ and the feed's state; default <data>
  std::string stationsFile;    // default <data>/../Weather.ini
  std::string imagesDir;       // weather icons; default <data>/../images
  // Workers running complete requests; idle connections hold none.
  int threads = 32;
  // The live forecast feed.
  // open-meteo or met-norway (live), demo (made-up figures, labelled), off
  // (no weather pages)
  std::string feed = "open-meteo";
  int feedIntervalSeconds = 3 * 3600;
  std::string feedUrl;      // replaces the provider's scheme, host and port
  std::string feedContact;  // for the User-Agent
  bool feedAll = false;     // every station, not only those asked for
  std::string coordinatesFile;  // default <data>/coordinates.tsv
};

// Command line into options; an error text for bad usage, nullopt when fine.
// help is set for --help.
std::optional<std::string> ParseArgs(const std::vector<std::string>& args, ServerOptions& o, bool& help);
const char* Usage();
bool KnownFeed(const std::string& v);
// What a page without a record asks the client to wait.
constexpr int kRetryAfterSeconds = 300;

class CompanionServer {
 public:
  explicit CompanionServer(ServerOptions o, std::ostream& log);

  // Reads the data folder, the stations and the publication; logs what it
  // found and what is missing (the server still answers without it).
  void Load();
  // Routes and the request log on s.
  void Mount(HttpRouter& s);

  const LookupData& data() const { return data_; }
  const ServerOptions& options() const { return o_; }
  // Station code -> city name from the catalogue Load() read.
  const std::map<std::string, std::string>& Stations() const { return stations_; }
  // Tests pin the date; the default is Beijing's date.
  std::function<std::string()> today = [] { return Today(); };
  // Called before a station's figures are read (the feed fetches a station
  // without a fresh record here).
  std::function<void(const std::string& station)> beforeForecast;

  // The forecast of a station: its record from forecasts/<code>.json when
  // that reads whole and holds `days` from today on; otherwise demo figures
  // with --feed demo. nullopt with status 404 for an unknown station (or
  // --feed off), 503 for one without a usable record.
  std::optional<StationForecast> Forecast(const std::string& station, size_t days = kForecastDays,
                                          int* status = nullptr);

  void Log(const std::string& line);
  // Held while a line is written: a reader of the log stream takes it too.
  std::mutex& LogLock() { return logLock_; }

 private:
  void MountLookups(HttpRouter& s);
  void MountUpdate(HttpRouter& s);
  void MountWeather(HttpRouter& s);
  bool KnownStation(const std::string& code) const;

  ServerOptions o_;
  std::ostream& log_;
  std::mutex logLock_;
  LookupData data_;
  std::map<std::string, std::string> stations_;
};

// The base address the update description names for its files: the
// configured listen address (for a wildcard, the local address the request
// arrived on) and the port it arrived on. The Host header plays no part.
std::string PublicBase(const HttpRequest& req, const ServerOptions& o);
// A plain file name (letters, digits, '.', '_', '-'; no leading '.').
bool SafeFileName(const std::string& name);

}  // namespace zel::server
