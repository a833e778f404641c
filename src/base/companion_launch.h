// Starting the companion server for the window: when a configured server
// address is on loopback and nothing answers there, zelmora-server is
// started on it with the window's folder, and stopped when the last window
// of that folder ends.
// A server that is already there (./run.sh, the user unit) is left alone.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/appenv.h"

namespace zel {

// A process the launcher started: a pid on Linux, a process id on Windows.
using ProcessId = int64_t;

struct LoopbackEndpoint {
  std::string host;  // numeric: "127.0.0.1", "::1"
  int port = 0;
  bool operator==(const LoopbackEndpoint&) const = default;
};

// The plain-http loopback host:port pairs among base addresses, one per
// port (the first host named for it), in order: one server answers every
// page, so a port needs only one. Other hosts and https (which the server
// does not speak) are left out; "localhost" is 127.0.0.1.
std::vector<LoopbackEndpoint> LoopbackEndpoints(const std::vector<std::string>& bases);
// The same for the servers of AppPath's Servers.ini.
std::vector<LoopbackEndpoint> ConfiguredLoopbackEndpoints();

// True when a TCP connection to the endpoint is accepted within timeout.
bool Answers(const LoopbackEndpoint& e, std::chrono::milliseconds timeout);

// zelmora-server beside the executable, else (Linux) in
// <prefix>/libexec/zelmora/; empty when neither is there.
std::string FindCompanionServer(const std::string& exeFolder);

class CompanionLauncher {
 public:
  struct Plan {
    std::string serverExe;
    std::string dataDir;    // the server's own data; empty: the server's default
    std::string appFolder;  // the window's folder: stations, icons, the log
    std::chrono::milliseconds wait{8000};
    std::string stateDir;                // what the server writes; empty: in dataDir
    std::vector<std::string> extraArgs;  // more server options, never --listen or --port
    // The folder's lock is waited for this long (a keeper stopping its
    // server holds it ~3 s); past that the servers are the window's alone.
    std::chrono::milliseconds lockWait{4000};
    // A server that ends is started again after firstRetry, then twice as
    // long each time, at most maxTries times in a row.
    std::chrono::milliseconds firstRetry{500};
    int maxTries = 5;
  };

  CompanionLauncher();
  CompanionLauncher(const CompanionLauncher&) = delete;
  CompanionLauncher& operator=(const CompanionLauncher&) = delete;
  ~CompanionLauncher();

  // Takes this window's share of the folder's lock, then starts a server on
  // every endpoint where nothing answers and waits until it answers (or
  // exits, or plan.wait passes). Returns the servers started. A server
  // lasts while any window of the folder does, however the windows end.
  // Call from the main thread: without a lock file Linux ties the server to
  // the thread that started it.
  int StartMissing(const Plan& plan, const std::vector<LoopbackEndpoint>& endpoints);
  // Call now and then from the thread that called StartMissing, never
  // blocking: where a server of those endpoints has ended (or its keeper)
  // and nothing else answers, starts a new one, with the back-off of the
  // plan. Returns how many it started.
  int Watch();
  // Gives up this window's share; when no other window holds one, the
  // folder's servers are asked to stop and waited for (killed after grace).
  void StopAll(std::chrono::milliseconds grace = std::chrono::milliseconds(3000));
  // The processes started (on Linux the servers' keepers, on Windows the
  // servers themselves).
  const std::vector<ProcessId>& children() const { return children_; }

 private:
  static constexpr const char* kLockName = ".windows.lock";
  using Clock = std::chrono::steady_clock;
  struct Watched {
    LoopbackEndpoint ep;
    ProcessId pid = 0;  // ours while it runs
    int tries = 0;      // starts since the server last ran a minute
    Clock::time_point nextTry, started;
  };
  // What the system keeps for the folder's lock and the processes started:
  // os/<system>/companion_launch.cpp, as are the four functions after it.
  struct System;
  void TakeLock(const Plan& plan);
  ProcessId Spawn(const std::vector<std::string>& args);
  // True (and forgotten by the system) once pid has ended.
  bool Ended(ProcessId pid);
  void StopSystem(std::chrono::milliseconds grace);
  ProcessId Launch(const LoopbackEndpoint& e);
  void Forget(ProcessId pid);

  Plan plan_;
  std::vector<Watched> watched_;
  std::vector<ProcessId> children_;
  std::unique_ptr<System> sys_;
};

// The words of ZEL_SERVER_ARGS without --listen and --port and their
// values: the window's own server stays on the loopback port Servers.ini
// names.
std::vector<std::string> ExtraServerArgs(const std::string& words);

// The window's own use of one process-wide launcher. The server's records
// and state go to <app>/serverdata; options in ZEL_SERVER_ARGS are added,
// as ./run.sh does for its server.
void StartCompanionServers(const AppFolders& folders, const std::string& exeFolder);
// The window's timer: restarts a server of its own that has gone.
void WatchCompanionServers();
void StopCompanionServers();

}  // namespace zel
