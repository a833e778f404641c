#include "server/companion.h"

#include <chrono>
#include <cstdlib>
#include <ctime>

#include "base/appenv.h"
#include "base/clock.h"
#include "base/files.h"
#include "base/gbk.h"
#include "base/download.h"
#include "base/text.h"
#include "server/feed/feed.h"

namespace zel::server {
namespace {

constexpr const char* kHtml = "text/html; charset=GBK";

bool Digits(const std::string& s, size_t maxLen) {
  if (s.empty() || s.size() > maxLen) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

int TodayNumber(const std::string& ymd) {
  return std::atoi(ymd.substr(0, 4).c_str()) * 10000 + std::atoi(ymd.substr(5, 2).c_str()) * 100 +
         std::atoi(ymd.substr(8, 2).c_str());
}

// Printable ASCII only, so a request cannot forge log lines; ID-card numbers
// are personal and never written down.
std::string LogSafe(const HttpRequest& req) {
  std::string out = req.path;
  if (!req.params.empty()) {
    out += '?';
    bool first = true;
    for (const auto& [k, v] : req.params) {
      if (!first) out += '&';
      first = false;
      out += k + "=" + (k == "id" ? std::string(v.empty() ? "" : "***") : v);
    }
  }
  std::string safe;
  for (unsigned char c : out.substr(0, 200)) {
    if (c >= 0x20 && c < 0x7f) safe += char(c);
    else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "%%%02X", c);
      safe += buf;
    }
  }
  return safe;
}

std::string Stamp() {
  std::tm tm = LocalTime(std::time(nullptr));
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  return buf;
}

std::string Param(const HttpRequest& req, const char* name) {
  return req.has_param(name) ? req.get_param_value(name) : std::string();
}

std::string IndexPage() {
  return "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\"><title>zelmora-server</title>"
         "</head><body><h3>" +
         G(u8"Zelmora天气预报 配套服务器") + "</h3><ul>" + "<li><a href=\"/query/tel.asp\">" + G(u8"手机号码归属地查询") +
         "</a></li><li><a href=\"/query/ip.asp\">" + G(u8"IP地址查询") + "</a></li><li><a href=\"/query/idcard.asp\">" +
         G(u8"身份证号码验证查询") + "</a></li><li><a href=\"/weather/UpDate.txt\">" + G(u8"更新说明") +
         "</a></li></ul></body></html>\n";
}

}  // namespace

bool KnownFeed(const std::string& v) { return v == "open-meteo" || v == "met-norway" || v == "demo" || v == "off"; }

const char* Usage() {
  return "usage: zelmora-server [--listen ADDR] [--port N] [--data DIR] [--state DIR] [--publication DIR]\n"
         "                      [--stations Weather.ini] [--images DIR] [--threads N]\n"
         "                      [--feed open-meteo|met-norway|demo|off] [--feed-interval 3h] [--feed-url URL]\n"
         "                      [--feed-contact TEXT] [--feed-all] [--coordinates FILE]\n"
         "Serves the lookup pages, the update publication and the weather pages\n"
         "(default 127.0.0.1:8090, data in <executable folder>/serverdata).\n";
}

std::optional<std::string> ParseArgs(const std::vector<std::string>& args, ServerOptions& o, bool& help) {
  help = false;
  // The environment may set the feed's default (test runs ask for demo figures).
  if (const char* env = std::getenv("ZEL_FEED"); env && *env) o.feed = env;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      help = true;
      return std::nullopt;
    }
    if (a == "--feed-all") {
      o.feedAll = true;
      continue;
    }
    if (i + 1 >= args.size()) return "missing value after " + a;
    const std::string& v = args[++i];
    if (a == "--listen") o.listen = v;
    else if (a == "--data") o.dataDir = v;
    else if (a == "--state") o.stateDir = v;
    else if (a == "--publication") o.publicationDir = v;
    else if (a == "--stations") o.stationsFile = v;
    else if (a == "--images") o.imagesDir = v;
    else if (a == "--feed-url") o.feedUrl = v;
    else if (a == "--feed-contact") o.feedContact = v;
    else if (a == "--coordinates") o.coordinatesFile = v;
    else if (a == "--feed") {
      if (!KnownFeed(v)) return "bad value for --feed: " + v;
      o.feed = v;
    } else if (a == "--feed-interval") {
      auto n = feed::ParseInterval(v);
      if (!n) return "bad value for --feed-interval (60s to 24h): " + v;
      o.feedIntervalSeconds = *n;
    }
    else if (a == "--port" || a == "--threads") {
      long long n;
      long long max = a == "--port" ? 65535 : 256;
      if (!ParseInt(v, n) || n < (a == "--port" ? 0 : 1) || n > max) return "bad number for " + a + ": " + v;
      (a == "--port" ? o.port : o.threads) = int(n);
    } else {
      return "unknown option " + a;
    }
  }
  if (o.dataDir.empty()) {
    // Installed in libexec, the data is in the shared folder.
    std::string exe = ExecutableFolder(), share = InstalledShareFolder(exe);
    o.dataDir = !DirExists(exe + "serverdata") && !share.empty() ? share + "serverdata" : exe + "serverdata";
  }
  o.dataDir = IncludeBackslash(o.dataDir);
  // An installed data folder is read-only; what the server writes can go elsewhere.
  o.stateDir = o.stateDir.empty() ? o.dataDir : IncludeBackslash(o.stateDir);
  if (o.publicationDir.empty()) o.publicationDir = o.dataDir + "publication";
  if (o.stationsFile.empty()) o.stationsFile = o.dataDir + "../Weather.ini";
  if (o.imagesDir.empty()) o.imagesDir = o.dataDir + "../images";
  if (!KnownFeed(o.feed)) return "bad value for the feed: " + o.feed;
  if (o.coordinatesFile.empty()) o.coordinatesFile = o.dataDir + "coordinates.tsv";
  if (!o.feedUrl.empty() && !IsWebAddress(o.feedUrl)) return "--feed-url needs an http or https address: " + o.feedUrl;
  o.publicationDir = IncludeBackslash(o.publicationDir);
  o.imagesDir = IncludeBackslash(o.imagesDir);
  return std::nullopt;
}

bool SafeFileName(const std::string& name) {
  if (name.empty() || name.size() > 100 || name[0] == '.') return false;
  for (char c : name)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-')) return false;
  return true;
}

std::string PublicBase(const HttpRequest& req, const ServerOptions& o) {
  // Never the client's Host header: a description fetched through a forged
  // Host would send every later download to a host of the client's choosing.
  std::string h = o.listen;
  if (h.empty() || h == "0.0.0.0" || h == "::") h = req.local_addr.empty() ? "127.0.0.1" : req.local_addr;
  if (h.find(':') != std::string::npos) h = "[" + h + "]";
  // The port the request came in on: with --port 0 the configured one is 0.
  int port = req.local_port > 0 ? req.local_port : o.port;
  return "http://" + h + ":" + std::to_string(port);
}

CompanionServer::CompanionServer(ServerOptions o, std::ostream& log) : o_(std::move(o)), log_(log) {
  if (o_.stateDir.empty()) o_.stateDir = o_.dataDir;
}

void CompanionServer::Log(const std::string& line) {
  std::string out = Stamp() + " " + line + "\n";
  std::lock_guard<std::mutex> lock(logLock_);
  log_ << out << std::flush;
}

void CompanionServer::Load() {
  const std::string& d = o_.dataDir;
  auto report = [&](const char* what, bool ok, const std::string& detail) {
    Log(std::string(what) + (ok ? ": " + detail : ": MISSING " + detail + " (run scripts/setup.sh, then build)"));
  };
  // Mapped or named only: each table is read on its first lookup.
  report("mobile segments", data_.mobile.Load(d + "mobile.tsv"), d + "mobile.tsv");
  report("IPv4 regions", data_.ip.Load(d + "ip2region.db"), d + "ip2region.db");
  report("division codes", data_.divisions.Load(d + "divisions.tsv"), d + "divisions.tsv");
  stations_ = LoadStations(o_.stationsFile);
  Log("weather stations: " + (stations_.empty() ? "no catalogue at " + o_.stationsFile + ", any station code answered"
                                                : std::to_string(stations_.size()) + " from " + o_.stationsFile));
  Log("forecast records: " + o_.stateDir + "forecasts/<station>.json" +
      (o_.feed == "off"    ? "; no weather pages (--feed off)"
       : o_.feed == "demo" ? ", demo figures for the others (--feed demo)"
                           : "; a station without a usable one gets 503"));
  Log(std::string("update publication: ") + o_.publicationDir +
      (FileExists(o_.publicationDir + "UpDate.txt") ? "" : " (MISSING UpDate.txt)"));
}

bool CompanionServer::KnownStation(const std::string& code) const {
  if (!Digits(code, 10)) return false;
  return stations_.empty() || stations_.count(code) > 0;
}

std::optional<StationForecast> CompanionServer::Forecast(const std::string& station, size_t days, int* status) {
  auto refuse = [&](int code) -> std::optional<StationForecast> {
    if (status) *status = code;
    return std::nullopt;
  };
  if (!KnownStation(station) || o_.feed == "off") return refuse(404);
  if (beforeForecast) beforeForecast(station);
  auto it = stations_.find(station);
  std::string name = it == stations_.end() ? std::string() : it->second;
  std::string day = today();
  std::string json;
  std::string path = o_.stateDir + "forecasts/" + station + ".json";
  const bool demo = o_.feed == "demo";
  if (ReadFile(path, json, feed::kMaxRecordBytes)) {
    std::string why;
    if (auto f = ParseForecastJson(json, day, &why, days)) {
      f->station = station;
      f->name = name;
      return f;
    }
    Log("forecast record " + path + " not used: " + why + (demo ? "; demo figures instead" : ""));
  }
  // Made-up figures only where they were asked for by name; otherwise the
  // page is not there, and the program shows its last good record.
  if (!demo) return refuse(503);
  return DemoForecast(station, name, day);
}

void CompanionServer::Mount(HttpRouter& s) {
  s.logger = [this](const HttpRequest& req, const HttpResponse& res) {
    Log(req.remote_addr + " " + req.method + " " + LogSafe(req) + " " + std::to_string(res.status) + " " +
        std::to_string(res.body.size()));
  };
  s.onException = [this](const HttpRequest& req, const std::string& what) {
    Log("internal error on " + LogSafe(req) + ": " + what);
  };
  s.Get("/", [](const HttpRequest&, HttpResponse& res) { res.set_content(IndexPage(), kHtml); }, HttpRun::AtOnce);
  MountLookups(s);
  MountUpdate(s);
  MountWeather(s);
}

void CompanionServer::MountLookups(HttpRouter& s) {
  auto page = [this](const char* field, auto query, auto answer) {
    return [this, field, query, answer](const HttpRequest& req, HttpResponse& res) {
      res.set_content(req.has_param(field) ? answer(req.get_param_value(field)) : query(), kHtml);
      res.set_header("Cache-Control", "no-store");
    };
  };
  auto tel = page("tel", MobileQueryPage, [this](const std::string& v) { return MobileAnswerPage(v, data_); });
  auto ip = page("ip", IpQueryPage, [this](const std::string& v) { return IpAnswerPage(v, data_); });
  auto id = page("id", IdCardQueryPage,
                 [this](const std::string& v) { return IdCardAnswerPage(v, data_, TodayNumber(today())); });
  // Answered from tables in memory: at once, on the connection's thread.
  const HttpRun now = HttpRun::AtOnce;
  s.Get("/query/tel.asp", tel, now);
  s.Post("/query/tel.asp", tel, now);
  s.Get("/query/ip.asp", ip, now);
  s.Post("/query/ip.asp", ip, now);
  s.Get("/query/idcard.asp", id, now);
  s.Post("/query/idcard.asp", id, now);
}

void CompanionServer::MountUpdate(HttpRouter& s) {
  s.Get("/weather/UpDate.txt", [this](const HttpRequest& req, HttpResponse& res) {
    std::string text;
    if (!ReadFile(o_.publicationDir + "UpDate.txt", text)) {
      res.status = 404;
      return;
    }
    // The file names the address of its data files as @BASE@, so one
    // publication works on whatever address and port the server has.
    res.set_content(ReplaceText(text, "@BASE@", PublicBase(req, o_), true), "text/plain; charset=GBK");
    res.set_header("Cache-Control", "no-store");
  });
  s.Get(R"(/weather/files/([^/]+))", [this](const HttpRequest& req, HttpResponse& res) {
    std::string name = req.matches[1], body;
    if (!SafeFileName(name) || !ReadFile(o_.publicationDir + "files/" + name, body)) {
      res.status = 404;
      return;
    }
    res.set_content(body, name.ends_with(".htm") || name.ends_with(".html") ? "text/html; charset=GBK"
                                                                             : "application/octet-stream");
  });
}

void CompanionServer::MountWeather(HttpRouter& s) {
  // Each page: the station's forecast into the page builder, 404 for a
  // station the catalogue does not hold (the sources then report no data).
  auto serve = [this](const std::string& code, HttpResponse& res, std::string (*build)(const StationForecast&),
                      size_t days) {
    int status = 404;
    auto f = Forecast(code, days, &status);
    if (!f) {
      res.status = status;
      if (status == 503) res.set_header("Retry-After", std::to_string(kRetryAfterSeconds));
      res.set_header("Cache-Control", "no-store");
      return;
    }
    res.set_content(build(*f), kHtml);
    res.set_header("Cache-Control", "no-store");
  };
  s.Get("/nmc/citySearch.do", [this, serve](const HttpRequest& req, HttpResponse& res) {
    serve(Param(req, "cityid"), res, CCPage, kCCDays);
  });
  s.Get("/forecast/24time.jsp", [serve](const HttpRequest& req, HttpResponse& res) {
    serve(Param(req, "sta_id"), res, CNForecastPage, 1);
  });
  s.Get("/forecast/qushi.jsp", [serve](const HttpRequest& req, HttpResponse& res) {
    serve(Param(req, "sta_id"), res, CNTrendPage, kForecastDays);
  });
  s.Get("/cgi-bin/region", [this](const HttpRequest& req, HttpResponse& res) {
    std::string code = Param(req, "WMO"), prg = Param(req, "PRG");
    if (!KnownStation(code) || o_.feed == "off" || (prg != "citybild" && prg != "citywind")) {
      res.status = 404;
      return;
    }
    res.set_content(OnlineFramePage((prg == "citybild" ? "/online/forecast/" : "/online/wind/") + code + ".htm"), kHtml);
  });
  s.Get(R"(/online/forecast/(\d{1,10})\.htm)", [serve](const HttpRequest& req, HttpResponse& res) {
    serve(req.matches[1], res, OnlineForecastPage, kOnlineDays);
  });
  s.Get(R"(/online/wind/(\d{1,10})\.htm)", [serve](const HttpRequest& req, HttpResponse& res) {
    serve(req.matches[1], res, OnlineWindPage, kOnlineDays);
  });
  auto icon = [this](const HttpRequest& req, HttpResponse& res) {
    std::string name = req.matches[1], body;
    if (!SafeFileName(name) || !ReadFile(o_.imagesDir + name, body)) {
      res.status = 404;
      return;
    }
    res.set_content(body, "image/gif");
    res.set_header("Cache-Control", "max-age=86400");
  };
  s.Get(R"(/forecast/image/icons/([^/]+\.gif))", icon);
  s.Get(R"(/online/img/([^/]+\.gif))", icon);
  s.Get(R"(/nmc/images/([^/]+\.gif))", icon);
}

}  // namespace zel::server
