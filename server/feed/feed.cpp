#include "server/feed/feed.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "base/appenv.h"
#include "base/files.h"
#include "base/text.h"
#include "server/feed/met_norway.h"
#include "server/feed/open_meteo.h"
#include "server/weather_pages.h"

namespace zel::server::feed {
namespace {

using Json = nlohmann::json;

constexpr int kAskedDays = 7;
constexpr size_t kMetPerTick = 10;

// The providers' published free limits with a fifth to spare; MET Norway
// names no number, so these are our own modest ones.
struct Limits {
  int perMinute, perHour, perDay;
};
Limits LimitsOf(Provider p) { return p == Provider::kOpenMeteo ? Limits{480, 4000, 8000} : Limits{100, 3000, 20000}; }


// A provider's time this far from our clock is not believed.
constexpr std::time_t kClockSlack = 86400;
bool NearClock(long long at, std::time_t now) { return at > 0 && std::llabs(at - (long long)now) <= kClockSlack; }

// feed.conf holds a line or two; the state a few hundred bytes a station.
constexpr size_t kMaxConfBytes = 64 << 10;
constexpr size_t kMaxStateBytes = 4 << 20;

bool Transient(long status) { return status == 0 || status == 429 || status >= 500; }

std::string Describe(const HttpAnswer& a) {
  if (a.status == 0) return a.error.empty() ? "no answer" : a.error;
  return "HTTP " + std::to_string(a.status);
}

}  // namespace

const char* ProviderName(Provider p) { return p == Provider::kOpenMeteo ? "open-meteo" : "met-norway"; }

std::optional<Provider> ParseProvider(const std::string& v, bool& ok) {
  ok = true;
  if (v == "open-meteo") return Provider::kOpenMeteo;
  if (v == "met-norway") return Provider::kMetNorway;
  ok = v == "off" || v == "demo";
  return std::nullopt;
}

std::optional<int> ParseInterval(const std::string& v) {
  if (v.empty() || v.size() > 8) return std::nullopt;
  long long unit = 1;
  std::string digits = v;
  switch (v.back()) {
    case 'h':
      unit = 3600;
      digits.pop_back();
      break;
    case 'm':
      unit = 60;
      digits.pop_back();
      break;
    case 's':
      digits.pop_back();
      break;
    default:
      break;
  }
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  long long n = std::stoll(digits) * unit;
  // Below a minute a feed only burns the providers' quota; above a day the
  // records would no longer count as fresh.
  if (n < 60 || n > 86400) return std::nullopt;
  return int(n);
}

std::map<std::string, Location> LoadCoordinates(const std::string& path, std::string* problems) {
  std::map<std::string, Location> out;
  // Through ReadFile: the path is UTF-8 on every system (a Chinese user
  // folder on Windows), which a narrow ifstream there would not open.
  std::string text;
  ReadFile(path, text, kMaxTextFileBytes);
  std::istringstream in(text);
  std::string line;
  int bad = 0;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> cols;
    std::stringstream ss(line);
    for (std::string c; std::getline(ss, c, '\t');) cols.push_back(Trim(c));
    char* end = nullptr;
    Location l;
    bool ok = cols.size() >= 3 && !cols[0].empty() && cols[0].find_first_not_of("0123456789") == std::string::npos;
    if (ok) {
      l.station = cols[0];
      l.latitude = std::strtod(cols[1].c_str(), &end);
      ok = end && *end == 0 && !cols[1].empty();
      l.longitude = std::strtod(cols[2].c_str(), &end);
      ok = ok && end && *end == 0 && !cols[2].empty() && std::fabs(l.latitude) <= 90 && std::fabs(l.longitude) <= 180;
    }
    // A sixth column, where present, is the station's altitude in metres.
    if (ok && cols.size() >= 6 && !cols[5].empty()) {
      double alt = std::strtod(cols[5].c_str(), &end);
      ok = end && *end == 0 && alt > -500 && alt < 9000;
      l.altitude = int(std::lround(alt));
    }
    if (!ok) {
      ++bad;
      continue;
    }
    out[l.station] = l;
  }
  if (problems) *problems = bad ? std::to_string(bad) + " unreadable rows" : "";
  return out;
}

int CallCounter::Room(std::time_t now, int perMinute, int perHour, int perDay) {
  Add(now, 0);
  return std::max(0, std::min({perMinute - minute, perHour - hour, perDay - day}));
}

void CallCounter::Add(std::time_t now, int calls) {
  long long m = now / 60, h = now / 3600, d = (now + kLocalOffsetSeconds) / 86400;
  if (m != minuteWindow) minuteWindow = m, minute = 0;
  if (h != hourWindow) hourWindow = h, hour = 0;
  if (d != dayWindow) dayWindow = d, day = 0;
  minute += calls;
  hour += calls;
  day += calls;
}

Feed::Feed(FeedOptions o, const std::map<std::string, std::string>& stations,
           std::function<void(const std::string&)> log)
    : o_(std::move(o)), log_(std::move(log)), seed_(std::random_device{}()) {
  today = [] { return Today(); };
  if (!o_.primary) return;
  std::string problems;
  auto coords = LoadCoordinates(o_.coordinatesFile, &problems);
  std::vector<std::string> missing;
  if (stations.empty()) {
    locations_ = coords;
  } else {
    for (const auto& [code, name] : stations) {
      auto it = coords.find(code);
      if (it != coords.end())
        locations_[code] = it->second;
      else
        missing.push_back(code);
    }
  }
  std::string line = std::to_string(locations_.size()) + " stations with coordinates from " + o_.coordinatesFile;
  if (!problems.empty()) line += " (" + problems + ")";
  if (!missing.empty()) {
    line += "; " + std::to_string(missing.size()) + " without are not fed:";
    for (size_t i = 0; i < missing.size() && i < 20; ++i) line += " " + missing[i];
    if (missing.size() > 20) line += " ...";
  }
  Log(line);
  std::string contact = o_.contact;
  if (contact.empty()) {
    // The capped reader: a FIFO or device there cannot hold the start.
    std::string conf;
    ReadFile(o_.dataDir + "feed.conf", conf, kMaxConfBytes);
    for (std::string l : SplitLines(conf)) {
      l = Trim(l);
      if (l.rfind("contact", 0) == 0 && l.find('=') != std::string::npos) contact = Trim(l.substr(l.find('=') + 1));
    }
    if (contact.size() > 200) contact.clear();
  }
  // Only printable ASCII may go into a header.
  std::string safe;
  for (char c : contact)
    if (c >= 0x20 && c < 0x7f) safe += c;
  userAgent_ = std::string("zelmora-server/") + kVersion + (safe.empty() ? "" : " (" + safe + ")");
  // MET Norway's terms ask for a way to reach whoever sends the requests.
  contact_ = !safe.empty();
  if (!contact_)
    Log("no contact (--feed-contact or contact= in " + o_.dataDir +
        "feed.conf): MET Norway is not asked, neither first nor as failover");
  LoadState();
}

Feed::~Feed() { Stop(); }

void Feed::Start() {
  if (!o_.primary || running_) return;
  Log(std::string("provider ") + ProviderName(*o_.primary) + ", every " + std::to_string(o_.intervalSeconds) + " s, " +
      (o_.all ? "all stations" : "stations asked for in the last 7 days") + (o_.url.empty() ? "" : ", at " + o_.url));
  running_ = true;
  worker_ = std::thread([this] { Run(); });
}

void Feed::Stop() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    stop_ = true;
  }
  wake_.notify_all();
  done_.notify_all();
  if (worker_.joinable()) worker_.join();
}

std::string Feed::Base(Provider p) const {
  if (!o_.url.empty()) return o_.url.back() == '/' ? o_.url.substr(0, o_.url.size() - 1) : o_.url;
  return p == Provider::kOpenMeteo ? kOpenMeteoBase : kMetNorwayBase;
}

std::time_t Feed::Jitter(std::time_t t) {
  // Never on the hour, when everyone else's clients poll.
  seed_ = seed_ * 1103515245u + 12345u;  // a plain LCG step: rand_r is not on every system
  t += 60 + std::time_t((seed_ >> 16) % 480);
  if ((t / 60) % 60 == 0) t += 120;
  return t;
}

bool Feed::Usable(Provider p, std::time_t now) { return backoff_[p].until <= now; }

void Feed::NoteFailure(Provider p, const HttpAnswer& a) {
  if (!Transient(a.status)) return;
  std::lock_guard<std::mutex> lock(mu_);
  Backoff& b = backoff_[p];
  b.step = std::min(b.step ? b.step * 2 : 60, 3600);
  long long wait = b.step;
  if (!a.retryAfter.empty() && a.retryAfter.find_first_not_of("0123456789") == std::string::npos &&
      a.retryAfter.size() < 7)
    wait = std::max(wait, std::stoll(a.retryAfter));
  else if (long long at = HttpDate(a.retryAfter); at > 0)
    wait = std::max(wait, at - (long long)now());
  b.until = now() + std::time_t(std::min(wait, 6LL * 3600));
}

bool Feed::Fresh(const std::string& station) {
  // The file is looked at outside the lock: other pages go on meanwhile.
  if (!FileExists(RecordPath(station))) return false;
  std::lock_guard<std::mutex> lock(mu_);
  return FreshLocked(station, now());
}

bool Feed::FreshLocked(const std::string& station, std::time_t t) const {
  auto f = fetched_.find(station), i = issued_.find(station);
  auto l = lastDay_.find(station);
  return f != fetched_.end() && i != issued_.end() && t - f->second < o_.intervalSeconds + 900 &&
         t - i->second < 86400 && l != lastDay_.end() && l->second >= AddDays(today(), int(kForecastDays) - 1);
}

std::time_t Feed::NextDue(std::time_t t, const std::string& lastDay) {
  std::time_t due = Jitter(t + o_.intervalSeconds);
  // From the day the record holds fewer days than the pages show; asked for
  // half an hour before that midnight, so no night goes without.
  std::string shortDay = AddDays(lastDay, -int(kForecastDays - 2));
  auto midnight = ParseUtc(shortDay + "T00:00");
  if (!midnight) return due;
  std::time_t before = *midnight - kLocalOffsetSeconds - 1800;
  return before > t ? std::min(due, before) : due;
}

void Feed::BeforeAnswer(const std::string& station) {
  if (!o_.primary || !locations_.count(station)) return;
  const bool onDisk = FileExists(RecordPath(station));
  std::unique_lock<std::mutex> lock(mu_);
  std::time_t t = now();
  if (t - asked_[station] >= 3600) asked_[station] = t, dirty_ = true;
  if (onDisk && FreshLocked(station, t)) return;
  // Nobody to fetch, or both providers resting: answer with what is there.
  if (!running_ || stop_ || (!Usable(Provider::kOpenMeteo, t) && !Usable(Provider::kMetNorway, t))) return;
  unsigned before = attempts_[station];
  urgent_.insert(station);
  wake_.notify_all();
  if (waiting_ >= o_.maxWaiting) return;
  ++waiting_;
  done_.wait_for(lock, std::chrono::milliseconds(o_.onDemandWaitMs),
                 [&] { return stop_.load() || attempts_[station] != before; });
  --waiting_;
}

int Feed::Waiting() {
  std::lock_guard<std::mutex> lock(mu_);
  return waiting_;
}

std::vector<std::string> Feed::Due(std::time_t now, size_t max) {
  std::vector<std::pair<std::time_t, std::string>> due;
  for (const auto& [code, loc] : locations_) {
    if (!o_.all) {
      auto a = asked_.find(code);
      if (a == asked_.end() || now - a->second > kAskedDays * 86400) continue;
    }
    auto n = nextDue_.find(code);
    std::time_t at = n == nextDue_.end() ? 0 : n->second;
    if (at <= now) due.emplace_back(at, code);
  }
  std::sort(due.begin(), due.end());
  std::vector<std::string> out;
  for (size_t i = 0; i < due.size() && i < max; ++i) out.push_back(due[i].second);
  return out;
}

void Feed::Run() {
  std::unique_lock<std::mutex> lock(mu_);
  while (!stop_) {
    std::vector<std::string> batch(urgent_.begin(), urgent_.end());
    urgent_.clear();
    bool onDemand = !batch.empty();
    std::time_t t = now();
    if (!onDemand) batch = Due(t, *o_.primary == Provider::kOpenMeteo ? kOpenMeteoBatch : kMetPerTick);
    if (!batch.empty()) {
      lock.unlock();
      FetchStations(batch);
      lock.lock();
      for (const std::string& s : batch) ++attempts_[s];
      done_.notify_all();
    }
    if (dirty_) {
      lock.unlock();
      SaveState();
      lock.lock();
    }
    if (onDemand || stop_) continue;
    // Spread a refresh over the interval; idle, look again within a minute.
    long long pauseMs = 60000;
    if (!batch.empty())
      pauseMs = o_.spacingMs >= 0 ? o_.spacingMs : std::clamp<long long>(o_.intervalSeconds * 1000LL / 60, 1000, 60000);
    wake_.wait_for(lock, std::chrono::milliseconds(pauseMs), [&] { return stop_.load() || !urgent_.empty(); });
  }
  lock.unlock();
  SaveState();
}

int Feed::RefreshDue() {
  if (!o_.primary) return 0;
  int written = 0;
  for (;;) {
    std::vector<std::string> batch;
    {
      std::lock_guard<std::mutex> lock(mu_);
      batch = Due(now(), *o_.primary == Provider::kOpenMeteo ? kOpenMeteoBatch : kMetPerTick);
    }
    if (batch.empty() || stop_) break;
    written += FetchStations(batch);
  }
  SaveState();
  return written;
}

int Feed::FetchStations(const std::vector<std::string>& stations) {
  Provider first = *o_.primary;
  Provider second = first == Provider::kOpenMeteo ? Provider::kMetNorway : Provider::kOpenMeteo;
  auto fetch = [&](Provider p, const std::vector<std::string>& s, std::vector<std::string>& failed, std::string& why) {
    return p == Provider::kOpenMeteo ? FetchOpenMeteo(s, failed, why) : FetchMet(s, failed, why);
  };
  std::vector<std::string> failed, failed2;
  std::string why, why2;
  int written = fetch(first, stations, failed, why);
  if (failed.empty() || stop_) return written;
  Log(std::string(ProviderName(first)) + " failed for " + std::to_string(failed.size()) + " stations (" + LogText(why) +
      "); failing over to " + ProviderName(second));
  written += fetch(second, failed, failed2, why2);
  if (failed2.empty()) return written;
  std::time_t t = now();
  std::lock_guard<std::mutex> lock(mu_);
  int retry = std::clamp(o_.intervalSeconds / 6, 60, 1800);
  for (const std::string& s : failed2) nextDue_[s] = t + retry;
  // Offline, say so once a round rather than once a batch.
  bool offline = why.find("HTTP") == std::string::npos && why2.find("HTTP") == std::string::npos;
  if (!offline || t - offlineLogged_ >= o_.intervalSeconds) {
    if (offline) offlineLogged_ = t;
    log_("feed: " + std::string(offline ? "no network: " : "") + std::to_string(failed2.size()) +
         " stations keep their last records, if any (" + LogText(why) + "; " + LogText(why2) + ")");
  }
  return written;
}

int Feed::FetchOpenMeteo(const std::vector<std::string>& stations, std::vector<std::string>& failed, std::string& why) {
  int written = 0;
  for (size_t from = 0; from < stations.size(); from += kOpenMeteoBatch) {
    std::vector<std::string> chunk(stations.begin() + long(from),
                                   stations.begin() + long(std::min(stations.size(), from + kOpenMeteoBatch)));
    std::time_t t = now();
    size_t room;
    {
      std::lock_guard<std::mutex> lock(mu_);
      if (stop_ || !Usable(Provider::kOpenMeteo, t)) {
        failed.insert(failed.end(), chunk.begin(), chunk.end());
        why = stop_ ? "stopping" : "backing off after errors";
        continue;
      }
      Limits l = LimitsOf(Provider::kOpenMeteo);
      room = size_t(calls_[Provider::kOpenMeteo].Room(t, l.perMinute, l.perHour, l.perDay));
    }
    if (room < chunk.size()) {
      failed.insert(failed.end(), chunk.begin() + long(room), chunk.end());
      why = "call limit reached";
      chunk.resize(room);
      if (chunk.empty()) continue;
    }
    std::vector<Location> locs;
    for (const std::string& s : chunk) locs.push_back(locations_.at(s));
    HttpRequest req;
    req.url = OpenMeteoUrl(Base(Provider::kOpenMeteo), locs);
    req.userAgent = userAgent_;
    req.totalTimeoutMs = o_.httpTimeoutMs;
    HttpAnswer a = HttpGet(req, &stop_);
    {
      std::lock_guard<std::mutex> lock(mu_);
      calls_[Provider::kOpenMeteo].Add(t, int(chunk.size()));  // each location is a call
      if (a.status == 200) backoff_[Provider::kOpenMeteo] = {};
      dirty_ = true;
    }
    OpenMeteoAnswer parsed;
    if (a.status == 200 || a.status == 400) {
      long long issued = HttpDate(a.date);
      parsed = ParseOpenMeteo(a.body, locs, NearClock(issued, t) ? std::time_t(issued) : t);
    }
    if (a.status != 200 || !parsed.error.empty()) {
      NoteFailure(Provider::kOpenMeteo, a);
      why = a.status == 400 && !parsed.error.empty() ? parsed.error
                                                     : Describe(a) + (parsed.error.empty() ? "" : ": " + parsed.error);
      failed.insert(failed.end(), chunk.begin(), chunk.end());
      continue;
    }
    for (size_t i = 0; i < chunk.size(); ++i) {
      std::string w = parsed.why[i].empty() ? "no usable figures" : parsed.why[i];
      if (parsed.forecasts[i] && WriteRecord(chunk[i], *parsed.forecasts[i], w)) {
        ++written;
      } else {
        why = chunk[i] + ": " + w;
        failed.push_back(chunk[i]);
      }
    }
  }
  return written;
}

int Feed::FetchMet(const std::vector<std::string>& stations, std::vector<std::string>& failed, std::string& why) {
  int written = 0;
  for (size_t i = 0; i < stations.size(); ++i) {
    const std::string& s = stations[i];
    if (!contact_) {
      why = "no contact for MET Norway's User-Agent";
      failed.insert(failed.end(), stations.begin() + long(i), stations.end());
      return written;
    }
    std::time_t t = now();
    MetState ms;
    bool haveRecord = FileExists(RecordPath(s));
    bool recent;
    {
      std::lock_guard<std::mutex> lock(mu_);
      Limits l = LimitsOf(Provider::kMetNorway);
      if (stop_ || !Usable(Provider::kMetNorway, t) ||
          calls_[Provider::kMetNorway].Room(t, l.perMinute, l.perHour, l.perDay) == 0) {
        why = stop_ ? "stopping" : Usable(Provider::kMetNorway, t) ? "call limit reached" : "backing off after errors";
        failed.insert(failed.end(), stations.begin() + long(i), stations.end());
        return written;
      }
      ms = met_[s];
      auto is = issued_.find(s);
      recent = haveRecord && is != issued_.end() && t - is->second < 86400;
      // Its answer has not expired yet: asking again is against the terms.
      if (recent && ms.expires > t) {
        fetched_[s] = t;
        nextDue_[s] = Jitter(std::max<std::time_t>(ms.expires, t + o_.intervalSeconds));
        continue;
      }
    }
    HttpRequest req;
    req.url = MetNorwayUrl(Base(Provider::kMetNorway), locations_.at(s));
    req.userAgent = userAgent_;
    req.totalTimeoutMs = o_.httpTimeoutMs;
    if (recent) req.ifModifiedSince = ms.lastModified;
    HttpAnswer a = HttpGet(req, &stop_);
    // Expires is kept to the terms within a day; one further off would keep
    // the station from ever being asked again, so it counts as absent.
    long long expires = HttpDate(a.expires);
    if (expires <= t || !NearClock(expires, t)) expires = 0;
    {
      std::lock_guard<std::mutex> lock(mu_);
      calls_[Provider::kMetNorway].Add(t, 1);
      dirty_ = true;
      // 203: the product version is to be retired; the answer is still good.
      if (a.status == 200 || a.status == 203 || a.status == 304) backoff_[Provider::kMetNorway] = {};
      if (a.status == 203 && t - deprecationLogged_ >= 86400) {
        deprecationLogged_ = t;
        log_("feed: MET Norway answered 203: this version of Locationforecast is deprecated and will go; the "
             "feed needs an update");
      }
      if (a.status == 304 && recent) {
        fetched_[s] = t;
        met_[s].expires = expires > 0 ? std::time_t(expires) : 0;
        nextDue_[s] = Jitter(std::max<std::time_t>(met_[s].expires, t + o_.intervalSeconds));
        continue;
      }
    }
    std::string w;
    if (a.status == 200 || a.status == 203) {
      auto f = ParseMetNorway(a.body, locations_.at(s), &w);
      if (f && WriteRecord(s, *f, w)) {
        std::lock_guard<std::mutex> lock(mu_);
        met_[s] = {a.lastModified, expires > 0 ? std::time_t(expires) : 0};
        ++written;
        continue;
      }
      why = s + ": " + w;
      failed.push_back(s);
      continue;
    }
    why = Describe(a);
    if (a.status == 403) why += " (MET Norway wants a User-Agent with a contact)";
    failed.push_back(s);
    if (Transient(a.status)) {
      NoteFailure(Provider::kMetNorway, a);
      failed.insert(failed.end(), stations.begin() + long(i) + 1, stations.end());
      return written;
    }
  }
  return written;
}

bool Feed::WriteRecord(const std::string& station, FeedForecast f, std::string& why) {
  // Only the days the pages can still show: from today, as many as asked.
  const std::string day = today();
  f.days.erase(std::remove_if(f.days.begin(), f.days.end(), [&](const FeedDay& d) { return d.date < day; }),
               f.days.end());
  if (f.days.size() > size_t(kOpenMeteoDays)) f.days.resize(size_t(kOpenMeteoDays));
  std::time_t t = now();
  auto issued = ParseUtc(f.issued.substr(0, 10) + "T" + f.issued.substr(std::min<size_t>(f.issued.size(), 11), 5));
  // An issue time far from the clock is not believed: the time we got it.
  if (!issued || !NearClock(*issued - kLocalOffsetSeconds, t)) {
    f.issued = LocalStamp(t);
    issued = t + kLocalOffsetSeconds;
  }
  std::string json = RecordJson(f);
  // Written only when the pages will take it: a short or broken series
  // never replaces the last good record.
  if (!ParseForecastJson(json, day, &why)) return false;
  if (!CreateDir(o_.dataDir + "forecasts") || !WriteFileAtomic(RecordPath(station), json)) {
    why = "cannot write " + RecordPath(station);
    return false;
  }
  std::lock_guard<std::mutex> lock(mu_);
  fetched_[station] = t;
  issued_[station] = *issued - kLocalOffsetSeconds;
  lastDay_[station] = f.days.back().date;
  nextDue_[station] = NextDue(t, f.days.back().date);
  dirty_ = true;
  return true;
}

void Feed::LoadState() {
  // Our own file, yet read as if anything could be in it: capped, stations
  // outside the table and times far from the clock left out.
  std::string text;
  if (!ReadFile(o_.dataDir + "feed-state.json", text, kMaxStateBytes)) return;
  Json j = Json::parse(text, nullptr, false);
  text.clear();
  if (!j.is_object()) {
    Log("state file " + o_.dataDir + "feed-state.json unreadable; starting afresh");
    return;
  }
  const std::time_t t = now();
  auto entries = [&](const char* key, auto take) {
    auto it = j.find(key);
    if (it == j.end() || !it->is_object()) return;
    for (const auto& [k, v] : it->items())
      if (locations_.count(k)) take(k, v);
  };
  auto moment = [&](const Json& v) -> std::time_t {
    if (!v.is_number_integer()) return 0;
    long long x = v.get<long long>();
    return x > 0 && x <= t + kClockSlack ? std::time_t(x) : 0;
  };
  for (auto [key, out] : {std::pair{"asked", &asked_}, {"fetched", &fetched_}, {"issued", &issued_}})
    entries(key, [&](const std::string& k, const Json& v) {
      if (std::time_t x = moment(v)) (*out)[k] = x;
    });
  entries("last_day", [&](const std::string& k, const Json& v) {
    if (v.is_string() && v.get<std::string>().size() == 10 && ParseUtc(v.get<std::string>() + "T00:00"))
      lastDay_[k] = v.get<std::string>();
  });
  for (const auto& [s, at] : fetched_) {
    auto l = lastDay_.find(s);
    nextDue_[s] = l == lastDay_.end() ? at : NextDue(at, l->second);
  }
  entries("met", [&](const std::string& k, const Json& v) {
    if (!v.is_object()) return;
    MetState m;
    if (auto lm = v.find("last_modified"); lm != v.end() && lm->is_string() && UsableDateHeader(lm->get<std::string>()))
      m.lastModified = lm->get<std::string>();
    if (auto ex = v.find("expires"); ex != v.end()) m.expires = moment(*ex);
    met_[k] = m;
  });
  if (auto c = j.find("calls"); c != j.end() && c->is_object())
    for (Provider p : {Provider::kOpenMeteo, Provider::kMetNorway}) {
      auto it = c->find(ProviderName(p));
      if (it == c->end() || !it->is_array() || it->size() != 6) continue;
      CallCounter& cc = calls_[p];
      const Json& a = *it;
      if (!std::all_of(a.begin(), a.end(), [](const Json& x) { return x.is_number_integer(); })) continue;
      cc = {a[0].get<long long>(), a[1].get<long long>(), a[2].get<long long>(),
            a[3].get<int>(),       a[4].get<int>(),       a[5].get<int>()};
    }
}

void Feed::SaveState() {
  Json j;
  {
    std::lock_guard<std::mutex> lock(mu_);
    std::time_t t = now();
    Json asked = Json::object();
    for (const auto& [s, at] : asked_)
      if (t - at <= kAskedDays * 86400) asked[s] = at;
    j["asked"] = asked;
    j["fetched"] = fetched_;
    j["issued"] = issued_;
    j["last_day"] = lastDay_;
    Json met = Json::object();
    for (const auto& [s, m] : met_) met[s] = {{"last_modified", m.lastModified}, {"expires", m.expires}};
    j["met"] = met;
    Json calls = Json::object();
    for (const auto& [p, c] : calls_)
      calls[ProviderName(p)] = {c.minuteWindow, c.hourWindow, c.dayWindow, c.minute, c.hour, c.day};
    j["calls"] = calls;
    dirty_ = false;
  }
  WriteFileAtomic(o_.dataDir + "feed-state.json", j.dump(1) + "\n");
}

}  // namespace zel::server::feed
