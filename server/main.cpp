// zelmora-server [--listen ADDR] [--port N] [--data DIR] ...
#include <algorithm>
#include <iostream>
#include <thread>

#include "base/console.h"
#include "server/companion.h"
#include "server/feed/feed.h"
#include "server/http.h"
#include "server/os.h"

int main(int argc, char** argv) {
  using namespace zel::server;
  // Paths in the arguments (a Chinese folder name) arrive whole on Windows too.
  zel::UseUtf8Console(argc, argv);
  ServerOptions o;
  bool help = false;
  if (auto err = ParseArgs(std::vector<std::string>(argv + 1, argv + argc), o, help)) {
    std::cerr << "zelmora-server: " << *err << "\n" << Usage();
    return 2;
  }
  if (help) {
    std::cout << Usage();
    return 0;
  }
  // Before any thread starts: every thread inherits what this sets.
  os::PrepareStopRequests();

  CompanionServer companion(o, std::cerr);
  companion.Load();
  feed::FeedOptions fo;
  bool feedOk = true;
  fo.primary = feed::ParseProvider(o.feed, feedOk);
  fo.intervalSeconds = o.feedIntervalSeconds;
  fo.url = o.feedUrl;
  fo.contact = o.feedContact;
  fo.all = o.feedAll;
  fo.coordinatesFile = o.coordinatesFile;
  fo.dataDir = o.stateDir;
  // Never destroyed: page handlers on pool threads may still call it.
  auto* liveFeed = new feed::Feed(fo, companion.Stations(), [&companion](const std::string& l) { companion.Log(l); });
  if (fo.primary) companion.beforeForecast = [liveFeed](const std::string& s) { liveFeed->BeforeAnswer(s); };
  else companion.Log("feed: off");
  HttpLimits limits;
  limits.workers = o.threads;
  // Connections need descriptors; keep some for data files and the log.
  if (size_t files = os::RaiseFileLimit())
    limits.maxConnections = std::min(limits.maxConnections, files > 128 ? files - 100 : size_t(28));
  HttpServer http(limits);
  http.log = [&companion](const std::string& line) { companion.Log(line); };
  companion.Mount(http);
  int port = http.Bind(o.listen, o.port);
  if (port < 0) {
    companion.Log("cannot listen on " + o.listen + ":" + std::to_string(o.port));
    return 1;
  }
  std::thread([&http, &companion, liveFeed] {
    std::string request = os::WaitForStopRequest();
    companion.Log("stopping on " + request);
    // First the feed: a transfer in flight and pages waiting on it end now.
    liveFeed->Stop();
    http.Stop();  // also before the listener runs: it then ends at once
  }).detach();
  companion.Log("listening on http://" + o.listen + ":" + std::to_string(port));
  liveFeed->Start();
  bool ok = http.Listen();
  liveFeed->Stop();
  companion.Log("stopped");
  return ok ? 0 : 1;
}
