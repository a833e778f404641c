// zelmora-server [--listen ADDR] [--port N] [--data DIR] ...
#include <signal.h>

#include <chrono>
#include <iostream>
#include <thread>

#include "server/companion.h"
#include "server/guard.h"
#include "server/feed/feed.h"

int main(int argc, char** argv) {
  using namespace zel::server;
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
  // SIGINT and SIGTERM are taken by one thread that stops the server; every
  // other thread (the pool included) inherits the block.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

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
  // Our own accept path: only complete, bounded requests reach httplib.
  GuardLimits limits;
  limits.workers = o.threads;
  GuardedServer http(limits);
  http.log = [&companion](const std::string& line) { companion.Log(line); };
  companion.Mount(http);
  int port = http.Bind(o.listen, o.port);
  if (port < 0) {
    companion.Log("cannot listen on " + o.listen + ":" + std::to_string(o.port));
    return 1;
  }
  std::thread([&http, &companion, liveFeed, stopSignals] {
    int sig = 0;
    sigwait(&stopSignals, &sig);
    companion.Log(std::string("stopping on ") + (sig == SIGINT ? "SIGINT" : "SIGTERM"));
    // First the feed: a transfer in flight and pages waiting on it end now.
    liveFeed->Stop();
    // A signal that comes while the listener is still starting waits for it.
    for (int i = 0; i < 200 && !http.IsRunning(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    http.Stop();
  }).detach();
  companion.Log("listening on http://" + o.listen + ":" + std::to_string(port));
  liveFeed->Start();
  bool ok = http.Listen();
  liveFeed->Stop();
  companion.Log("stopped");
  return ok ? 0 : 1;
}
