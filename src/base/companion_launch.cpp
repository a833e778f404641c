// The launcher's plan, the same on every system: which endpoints need a
// server, when one is started again, and with which arguments. How a
// process is started, held and stopped is os/<system>/companion_launch.cpp.
#include "base/companion_launch.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <thread>

#include "base/files.h"
#include "base/os/companion_os.h"
#include "base/server_wait.h"
#include "base/text.h"

namespace zel {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

std::optional<LoopbackEndpoint> ParseLoopback(const std::string& base) {
  std::string s = FoldCase(Trim(base));
  size_t scheme = s.find("://");
  if (scheme != std::string::npos) {
    if (s.compare(0, scheme, "http") != 0) return std::nullopt;
    s = s.substr(scheme + 3);
  }
  s = s.substr(0, s.find_first_of("/?#"));
  std::string host, port;
  if (!s.empty() && s[0] == '[') {
    size_t close = s.find(']');
    if (close == std::string::npos) return std::nullopt;
    host = s.substr(1, close - 1);
    if (close + 1 < s.size()) {
      if (s[close + 1] != ':') return std::nullopt;
      port = s.substr(close + 2);
    }
  } else {
    size_t colon = s.find(':');
    host = s.substr(0, colon);
    if (colon != std::string::npos) port = s.substr(colon + 1);
  }
  int n = 80;
  if (!port.empty()) {
    if (port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    n = std::stoi(port);
    if (n < 1 || n > 65535) return std::nullopt;
  }
  if (host == "localhost") return LoopbackEndpoint{"127.0.0.1", n};
  if (auto numeric = os::NumericLoopback(host)) return LoopbackEndpoint{*numeric, n};
  return std::nullopt;
}

// Never destroyed: the window stops its servers itself, then ends with _exit.
CompanionLauncher& g_launcher = *new CompanionLauncher;

}  // namespace

std::vector<LoopbackEndpoint> LoopbackEndpoints(const std::vector<std::string>& bases) {
  std::vector<LoopbackEndpoint> out;
  for (const auto& b : bases) {
    auto e = ParseLoopback(b);
    if (!e) continue;
    auto same = std::find_if(out.begin(), out.end(), [&](const LoopbackEndpoint& o) { return o.port == e->port; });
    if (same == out.end())
      out.push_back(*e);
    else if (same->host != e->host)
      std::fprintf(stderr, "zelmora: no server is started for %s:%d; its port is served on %s\n", e->host.c_str(),
                   e->port, same->host.c_str());
  }
  return out;
}

std::vector<LoopbackEndpoint> ConfiguredLoopbackEndpoints() {
  std::vector<std::string> bases;
  for (const char* key : {"Lookup", "Update", "CC", "CN", "Online"}) bases.push_back(ServerBase(key));
  return LoopbackEndpoints(bases);
}

ProcessId CompanionLauncher::Launch(const LoopbackEndpoint& e) {
  const Plan& plan = plan_;
  std::vector<std::string> args{plan.serverExe};
  if (!plan.dataDir.empty()) args.insert(args.end(), {"--data", plan.dataDir});
  if (!plan.stateDir.empty()) args.insert(args.end(), {"--state", plan.stateDir});
  if (!plan.appFolder.empty())
    args.insert(args.end(), {"--stations", plan.appFolder + "Weather.ini", "--images", plan.appFolder + "images"});
  args.insert(args.end(), plan.extraArgs.begin(), plan.extraArgs.end());
  // Last, so nothing before can move the server off its address.
  args.insert(args.end(), {"--listen", e.host, "--port", std::to_string(e.port)});
  ProcessId pid = Spawn(args);
  if (pid > 0) children_.push_back(pid);
  return pid;
}

void CompanionLauncher::Forget(ProcessId pid) {
  children_.erase(std::remove(children_.begin(), children_.end(), pid), children_.end());
}

int CompanionLauncher::StartMissing(const Plan& plan, const std::vector<LoopbackEndpoint>& endpoints) {
  if (plan.serverExe.empty()) return 0;
  plan_ = plan;
  // Taken before probing, so a server seen answering is not stopped under
  // us; whoever is already stopping the folder's servers is waited for.
  TakeLock(plan);
  int started = 0;
  for (const auto& e : endpoints) {
    Watched w;
    w.ep = e;
    if (!Answers(e, milliseconds(300)) && (w.pid = Launch(e)) > 0) {
      w.tries = 1;
      w.started = Clock::now();
      auto deadline = w.started + plan.wait;
      while (Clock::now() < deadline) {
        if (Answers(e, milliseconds(200))) {
          ++started;
          break;
        }
        if (Ended(w.pid)) {  // the port is taken, or the program cannot run here
          Forget(w.pid);
          w.pid = 0;
          break;
        }
        std::this_thread::sleep_for(milliseconds(50));
      }
    }
    w.nextTry = Clock::now() + plan.firstRetry;
    watched_.push_back(w);
  }
  return started;
}

int CompanionLauncher::Watch() {
  int started = 0;
  auto now = Clock::now();
  for (Watched& w : watched_) {
    if (w.pid > 0) {
      if (!Ended(w.pid)) {
        if (now - w.started >= std::chrono::minutes(1)) w.tries = 0;
        continue;
      }
      // Ended (on Linux: or its keeper did, and the server follows it).
      Forget(w.pid);
      w.pid = 0;
      w.nextTry = now + plan_.firstRetry * (1 << std::min(w.tries > 0 ? w.tries - 1 : 0, 10));
      continue;
    }
    if (now < w.nextTry || w.tries > plan_.maxTries) continue;
    // Another window's server, ./run.sh's or the user unit's serves it.
    if (Answers(w.ep, milliseconds(100))) {
      w.tries = 0;
      w.nextTry = now + std::chrono::seconds(2);
      continue;
    }
    if (w.tries == plan_.maxTries) {
      std::fprintf(stderr, "zelmora: the server for %s:%d ended %d times; not started again\n", w.ep.host.c_str(),
                   w.ep.port, w.tries);
      ++w.tries;
      continue;
    }
    w.pid = Launch(w.ep);
    ++w.tries;
    w.started = now;
    if (w.pid > 0) {
      ++started;
    } else {
      w.pid = 0;
      w.nextTry = now + plan_.firstRetry * (1 << std::min(w.tries - 1, 10));
    }
  }
  return started;
}

void CompanionLauncher::StopAll(milliseconds grace) {
  StopSystem(grace);
  children_.clear();
  watched_.clear();
}

std::vector<std::string> ExtraServerArgs(const std::string& words) {
  std::istringstream in(words);
  std::vector<std::string> out;
  for (std::string w; in >> w;) {
    if (w == "--listen" || w == "--port") {
      std::fprintf(stderr, "zelmora: %s in ZEL_SERVER_ARGS is left out; Servers.ini names the address\n", w.c_str());
      in >> w;
      continue;
    }
    out.push_back(w);
  }
  return out;
}

void StartCompanionServers(const AppFolders& folders, const std::string& exeFolder) {
  SetAppPath(folders.app);
  CompanionLauncher::Plan plan;
  plan.serverExe = FindCompanionServer(exeFolder);
  if (DirExists(folders.shared + "serverdata")) plan.dataDir = folders.shared + "serverdata";
  plan.appFolder = folders.app;
  if (CreateDir(folders.app + "serverdata")) plan.stateDir = folders.app + "serverdata";
  if (const char* extra = std::getenv("ZEL_SERVER_ARGS")) plan.extraArgs = ExtraServerArgs(extra);
  // The window shows at once; what needs a server waits for it instead.
  plan.wait = std::chrono::milliseconds(0);
  const auto endpoints = ConfiguredLoopbackEndpoints();
  g_launcher.StartMissing(plan, endpoints);
  if (plan.serverExe.empty()) return;
  ExpectServers(endpoints, std::chrono::milliseconds(8000));
  AwaitServersOnDownload();
}

void WatchCompanionServers() { g_launcher.Watch(); }

// Only from the main thread, before the process ends.
void StopCompanionServers() { g_launcher.StopAll(); }

}  // namespace zel
