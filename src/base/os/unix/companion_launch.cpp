#include "base/companion_launch.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <sstream>
#include <thread>

#include "base/files.h"
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
  in_addr a4{};
  if (::inet_pton(AF_INET, host.c_str(), &a4) == 1 && (ntohl(a4.s_addr) >> 24) == 127) return LoopbackEndpoint{host, n};
  in6_addr a6{};
  if (::inet_pton(AF_INET6, host.c_str(), &a6) == 1 && IN6_IS_ADDR_LOOPBACK(&a6)) return LoopbackEndpoint{"::1", n};
  return std::nullopt;
}

bool Reaped(pid_t pid) {
  int status = 0;
  pid_t r = ::waitpid(pid, &status, WNOHANG);
  return r == pid || (r < 0 && errno == ECHILD);
}

void ResetSignals() {
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGCHLD, SIGPIPE}) ::sigaction(sig, &dfl, nullptr);
}

void Nap(long ms) {
  timespec t{ms / 1000, (ms % 1000) * 1000000};
  while (::nanosleep(&t, &t) != 0 && errno == EINTR) {
  }
}

// From here on the code runs in a forked copy of the window, which may have
// had other threads: only async-signal-safe calls.

// Standard input from /dev/null, output and errors into the log.
void NoInputLogTo(int logFd) {
  int null = ::open("/dev/null", O_RDONLY);
  if (null >= 0) ::dup2(null, 0);
  if (logFd >= 0) {
    ::dup2(logFd, 1);
    ::dup2(logFd, 2);
  }
}

// Becomes the server, which ends when its parent does, however that ends.
[[noreturn]] void ExecServer(char* const* argv, char* const* envp, int logFd, pid_t parent) {
  ::prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (::getppid() != parent) ::_exit(0);
  ResetSignals();
  NoInputLogTo(logFd);
  // The window's own descriptors (the display connection among them) stay
  // with the window.
  ::close_range(3, ~0U, 0);
  ::execve(argv[0], argv, envp);
  ::_exit(127);
}

// Holds the server for every window of the folder: each window keeps a
// shared lock on the folder's lock file for its whole life (the kernel drops
// it when a window dies), so the keeper can take the lock exclusively only
// once the last window has gone. Then it stops the server and ends.
[[noreturn]] void KeepServer(char* const* argv, char* const* envp, int logFd, int lockFd) {
  ResetSignals();
  NoInputLogTo(logFd);
  // Its own open of the lock file only; a copy of the window's share would
  // keep the keeper waiting on itself.
  if (lockFd != 3) ::dup2(lockFd, 3);
  ::close_range(4, ~0U, 0);
  pid_t self = ::getpid();
  pid_t server = ::fork();
  if (server == 0) ExecServer(argv, envp, -1, self);
  if (server < 0) ::_exit(1);
  int status = 0;
  for (;;) {
    Nap(200);
    if (::waitpid(server, &status, WNOHANG) == server) ::_exit(0);
    if (::flock(3, LOCK_EX | LOCK_NB) == 0) break;
  }
  ::kill(server, SIGTERM);
  for (int i = 0; i < 150; ++i, Nap(20))
    if (::waitpid(server, &status, WNOHANG) == server) ::_exit(0);
  ::kill(server, SIGKILL);
  ::waitpid(server, &status, 0);
  ::_exit(0);
}

// Everything the child needs is made before fork. With a lock the server is
// held by a keeper; without one (a folder that cannot be written) it ends
// with the thread that forked it, the window's main thread.
pid_t Spawn(const std::vector<std::string>& args, int logFd, int lockFd) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  // Forecast days are counted at the national clock, as ./run.sh runs it.
  std::vector<std::string> env{"TZ=Asia/Shanghai"};
  for (char** e = environ; e && *e; ++e)
    if (std::strncmp(*e, "TZ=", 3) != 0) env.push_back(*e);
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  pid_t parent = ::getpid();
  pid_t pid = ::fork();
  if (pid != 0) return pid;
  if (lockFd >= 0) KeepServer(argv.data(), envp.data(), logFd, lockFd);
  ExecServer(argv.data(), envp.data(), logFd, parent);
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

bool Answers(const LoopbackEndpoint& e, milliseconds timeout) {
  sockaddr_storage addr{};
  socklen_t len = 0;
  auto* a4 = reinterpret_cast<sockaddr_in*>(&addr);
  auto* a6 = reinterpret_cast<sockaddr_in6*>(&addr);
  if (::inet_pton(AF_INET, e.host.c_str(), &a4->sin_addr) == 1) {
    a4->sin_family = AF_INET;
    a4->sin_port = htons(static_cast<uint16_t>(e.port));
    len = sizeof *a4;
  } else if (::inet_pton(AF_INET6, e.host.c_str(), &a6->sin6_addr) == 1) {
    a6->sin6_family = AF_INET6;
    a6->sin6_port = htons(static_cast<uint16_t>(e.port));
    len = sizeof *a6;
  } else {
    return false;
  }
  int fd = ::socket(addr.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), len) == 0;
  if (!ok && errno == EINPROGRESS) {
    pollfd p{fd, POLLOUT, 0};
    int err = 0;
    socklen_t errLen = sizeof err;
    ok = ::poll(&p, 1, static_cast<int>(timeout.count())) == 1 &&
         ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &errLen) == 0 && err == 0;
  }
  ::close(fd);
  return ok;
}

std::string FindCompanionServer(const std::string& exeFolder) {
  for (const char* rel : {"zelmora-server", "../libexec/zelmora/zelmora-server"}) {
    std::string path = exeFolder + rel;
    if (::access(path.c_str(), X_OK) == 0 && FileExists(path)) return path;
  }
  return {};
}

void CompanionLauncher::TakeLock(const Plan& plan) {
  if (lockFd_ >= 0 || plan.appFolder.empty()) return;
  // Never through a link, never a FIFO; another process holding the lock
  // is waited for a bounded time, then the servers are this window's alone.
  lockPath_ = plan.appFolder + kLockName;
  lockFd_ = OpenRegularFile(lockPath_, OpenFor::kWrite);
  if (lockFd_ < 0) {
    std::fprintf(stderr, "zelmora: %s is not a plain file; the server is not shared\n", lockPath_.c_str());
    return;
  }
  auto until = Clock::now() + plan.lockWait;
  while (::flock(lockFd_, LOCK_SH | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK || Clock::now() >= until) {
      std::fprintf(stderr, "zelmora: %s stays locked; the server is not shared\n", lockPath_.c_str());
      ::close(lockFd_);
      lockFd_ = -1;
      return;
    }
    std::this_thread::sleep_for(milliseconds(50));
  }
}

pid_t CompanionLauncher::Launch(const LoopbackEndpoint& e) {
  const Plan& plan = plan_;
  std::vector<std::string> args{plan.serverExe};
  if (!plan.dataDir.empty()) args.insert(args.end(), {"--data", plan.dataDir});
  if (!plan.stateDir.empty()) args.insert(args.end(), {"--state", plan.stateDir});
  if (!plan.appFolder.empty())
    args.insert(args.end(), {"--stations", plan.appFolder + "Weather.ini", "--images", plan.appFolder + "images"});
  args.insert(args.end(), plan.extraArgs.begin(), plan.extraArgs.end());
  // Last, so nothing before can move the server off its address.
  args.insert(args.end(), {"--listen", e.host, "--port", std::to_string(e.port)});
  // The log is a plain file of the folder, or the server writes to our
  // own stderr: a FIFO there would hang us, a link would write elsewhere.
  std::string logPath = plan.appFolder + "server.log";
  int logFd = OpenRegularFile(logPath, OpenFor::kWrite);
  if (logFd >= 0) {
    if (::ftruncate(logFd, 0) != 0) {
      ::close(logFd);
      logFd = -1;
    }
  } else {
    std::fprintf(stderr, "zelmora: %s is not a plain file; the server logs here\n", logPath.c_str());
  }
  int keeperLock = lockFd_ < 0 ? -1 : OpenRegularFile(lockPath_, OpenFor::kWrite);
  pid_t pid = Spawn(args, logFd, keeperLock);
  if (keeperLock >= 0) ::close(keeperLock);
  if (logFd >= 0) ::close(logFd);
  if (pid > 0) children_.push_back(pid);
  return pid;
}

void CompanionLauncher::Forget(pid_t pid) { children_.erase(std::remove(children_.begin(), children_.end(), pid), children_.end()); }

int CompanionLauncher::StartMissing(const Plan& plan, const std::vector<LoopbackEndpoint>& endpoints) {
  if (plan.serverExe.empty()) return 0;
  plan_ = plan;
  // Taken before probing, so a server seen answering is not stopped under
  // us; a keeper already stopping its server is waited for.
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
        if (Reaped(w.pid)) {  // the port is taken, or the program cannot run here
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
      if (!Reaped(w.pid)) {
        if (now - w.started >= std::chrono::minutes(1)) w.tries = 0;
        continue;
      }
      // Ended, or its keeper did (the server follows its keeper).
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
  if (lockFd_ >= 0) {
    // Alone when our share becomes the whole lock; else other windows still
    // use the servers and their keepers stay for them.
    bool alone = ::flock(lockFd_, LOCK_EX | LOCK_NB) == 0;
    ::close(lockFd_);  // the keepers stop their servers once it is free
    lockFd_ = -1;
    if (!alone) children_.clear();
  } else {
    for (pid_t pid : children_) ::kill(pid, SIGTERM);
  }
  auto deadline = Clock::now() + grace;
  for (pid_t pid : children_) {
    bool gone = Reaped(pid);
    while (!gone && Clock::now() < deadline) {
      std::this_thread::sleep_for(milliseconds(20));
      gone = Reaped(pid);
    }
    if (!gone) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  }
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
