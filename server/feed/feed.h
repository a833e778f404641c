// The live feed: one worker thread keeps the forecast records of the
// stations users ask for (or of all, --feed-all) fresh from a provider,
// with the other provider as failover, and fetches a station on demand
// before a page is answered.
#pragma once

#include <atomic>
#include <condition_variable>
#include <ctime>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/text.h"
#include "server/feed/http_client.h"
#include "server/feed/record.h"

namespace zel::server::feed {

enum class Provider { kOpenMeteo, kMetNorway };
const char* ProviderName(Provider p);  // "open-meteo", "met-norway"

struct FeedOptions {
  std::optional<Provider> primary = Provider::kOpenMeteo;  // nullopt: off
  int intervalSeconds = 3 * 3600;
  std::string url;      // replaces both providers' scheme, host and port
  std::string contact;  // for the User-Agent; else from <data>/feed.conf
  bool all = false;
  std::string coordinatesFile;
  std::string dataDir;  // with a trailing slash: forecasts/ and feed-state.json
  int onDemandWaitMs = 5000;
  // Pages waiting for a fetch at once; the rest answer with what is there,
  // so stale stations can never hold every worker of the server.
  int maxWaiting = 4;
  long httpTimeoutMs = 30000;  // a whole answer
  // Pause between two batches of a refresh; <0: spread over the interval.
  int spacingMs = -1;
};

// "--feed" values (nullopt for demo and off) and "3h", "90m", "600s", "600" for the interval.
std::optional<Provider> ParseProvider(const std::string& v, bool& ok);
std::optional<int> ParseInterval(const std::string& v);

// station -> location from a coordinates table (UTF-8, tab-separated,
// '#' lines skipped: station, latitude, longitude, ...).
std::map<std::string, Location> LoadCoordinates(const std::string& path, std::string* problems = nullptr);

// Calls a provider took, in fixed windows of a minute, an hour and a day.
struct CallCounter {
  long long minuteWindow = 0, hourWindow = 0, dayWindow = 0;
  int minute = 0, hour = 0, day = 0;
  // How many more calls fit now under the limits.
  int Room(std::time_t now, int perMinute, int perHour, int perDay);
  void Add(std::time_t now, int calls);
};

class Feed {
 public:
  // stations: the catalogue (code -> name); an empty one means every station
  // of the coordinates table.
  Feed(FeedOptions o, const std::map<std::string, std::string>& stations, std::function<void(const std::string&)> log);
  ~Feed();

  void Start();
  // Ends the worker at once, a transfer in flight included.
  void Stop();

  // Before a page of station is answered: remembers that it was asked for
  // and, without a fresh record, has it fetched (waiting at most the
  // on-demand time).
  void BeforeAnswer(const std::string& station);

  // One refresh of every station due, now, without pauses (tests, bench).
  // Returns the number of records written.
  int RefreshDue();

  bool Fresh(const std::string& station);
  int Waiting();
  size_t FedStations() const { return locations_.size(); }
  std::string UserAgent() const { return userAgent_; }
  std::string RecordPath(const std::string& station) const { return o_.dataDir + "forecasts/" + station + ".json"; }
  // Test hooks: the clock and the local date the records must begin with.
  std::function<std::time_t()> now = [] { return std::time(nullptr); };
  std::function<std::string()> today;

 private:
  struct MetState {
    std::string lastModified;
    std::time_t expires = 0;
  };
  struct Backoff {
    std::time_t until = 0;
    int step = 0;
  };

  // Fetched within the interval, issued within a day, and still holding the
  // pages' days from today on; mu_ held.
  bool FreshLocked(const std::string& station, std::time_t t) const;
  // When a station fetched at t with a record to lastDay is next due: after
  // the interval, or before the record runs short at a midnight, whichever
  // comes first.
  std::time_t NextDue(std::time_t t, const std::string& lastDay);
  void Run();
  // Fetches the stations (due or asked for) with the primary provider and
  // fails over per station; returns records written.
  int FetchStations(const std::vector<std::string>& stations);
  int FetchOpenMeteo(const std::vector<std::string>& stations, std::vector<std::string>& failed, std::string& why);
  int FetchMet(const std::vector<std::string>& stations, std::vector<std::string>& failed, std::string& why);
  bool WriteRecord(const std::string& station, FeedForecast f, std::string& why);
  std::string Base(Provider p) const;
  void NoteFailure(Provider p, const HttpAnswer& a);
  bool Usable(Provider p, std::time_t now);
  std::vector<std::string> Due(std::time_t now, size_t max);
  std::time_t Jitter(std::time_t t);
  void LoadState();
  void SaveState();
  // Lines may carry a provider's text: one short line each.
  void Log(const std::string& line) { log_("feed: " + LogText(line, 1000)); }

  FeedOptions o_;
  std::function<void(const std::string&)> log_;
  std::map<std::string, Location> locations_;
  std::string userAgent_;

  std::mutex mu_;
  std::condition_variable wake_, done_;
  std::atomic<bool> stop_{false};
  std::thread worker_;
  bool running_ = false;
  std::set<std::string> urgent_;
  int waiting_ = 0;
  std::map<std::string, unsigned> attempts_;  // finished attempts per station
  std::map<std::string, std::time_t> asked_, fetched_, issued_, nextDue_;
  std::map<std::string, std::string> lastDay_;  // the last date of each record
  std::map<std::string, MetState> met_;
  std::map<Provider, CallCounter> calls_;
  std::map<Provider, Backoff> backoff_;
  bool dirty_ = false;
  std::time_t offlineLogged_ = 0;
  std::time_t deprecationLogged_ = 0;
  bool contact_ = false;  // MET Norway is asked only with one
  unsigned seed_ = 0;
};

}  // namespace zel::server::feed
