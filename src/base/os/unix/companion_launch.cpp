// The launcher on Linux: each server is forked with a keeper process that
// holds it for the folder's windows, and the folder's lock is a flock on
// .windows.lock.
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

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <thread>

#include "base/files.h"
#include "base/os/companion_os.h"

namespace zel {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

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
pid_t SpawnProcess(const std::vector<std::string>& args, int logFd, int lockFd) {
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

}  // namespace

struct CompanionLauncher::System {
  int lockFd = -1;  // this window's share of the folder's lock
  std::string lockPath;
};

CompanionLauncher::CompanionLauncher() : sys_(new System) {}
CompanionLauncher::~CompanionLauncher() { StopAll(); }

namespace os {

std::optional<std::string> NumericLoopback(const std::string& host) {
  in_addr a4{};
  if (::inet_pton(AF_INET, host.c_str(), &a4) == 1 && (ntohl(a4.s_addr) >> 24) == 127) return host;
  in6_addr a6{};
  if (::inet_pton(AF_INET6, host.c_str(), &a6) == 1 && IN6_IS_ADDR_LOOPBACK(&a6)) return "::1";
  return std::nullopt;
}

}  // namespace os

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
  if (sys_->lockFd >= 0 || plan.appFolder.empty()) return;
  // Never through a link, never a FIFO; another process holding the lock
  // is waited for a bounded time, then the servers are this window's alone.
  sys_->lockPath = plan.appFolder + kLockName;
  sys_->lockFd = OpenRegularFile(sys_->lockPath, OpenFor::kWrite);
  if (sys_->lockFd < 0) {
    std::fprintf(stderr, "zelmora: %s is not a plain file; the server is not shared\n", sys_->lockPath.c_str());
    return;
  }
  auto until = Clock::now() + plan.lockWait;
  while (::flock(sys_->lockFd, LOCK_SH | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK || Clock::now() >= until) {
      std::fprintf(stderr, "zelmora: %s stays locked; the server is not shared\n", sys_->lockPath.c_str());
      ::close(sys_->lockFd);
      sys_->lockFd = -1;
      return;
    }
    std::this_thread::sleep_for(milliseconds(50));
  }
}

ProcessId CompanionLauncher::Spawn(const std::vector<std::string>& args) {
  // The log is a plain file of the folder, or the server writes to our
  // own stderr: a FIFO there would hang us, a link would write elsewhere.
  std::string logPath = plan_.appFolder + "server.log";
  int logFd = OpenRegularFile(logPath, OpenFor::kWrite);
  if (logFd >= 0) {
    if (::ftruncate(logFd, 0) != 0) {
      ::close(logFd);
      logFd = -1;
    }
  } else {
    std::fprintf(stderr, "zelmora: %s is not a plain file; the server logs here\n", logPath.c_str());
  }
  int keeperLock = sys_->lockFd < 0 ? -1 : OpenRegularFile(sys_->lockPath, OpenFor::kWrite);
  pid_t pid = SpawnProcess(args, logFd, keeperLock);
  if (keeperLock >= 0) ::close(keeperLock);
  if (logFd >= 0) ::close(logFd);
  return pid;
}

bool CompanionLauncher::Ended(ProcessId pid) { return Reaped(static_cast<pid_t>(pid)); }

void CompanionLauncher::StopSystem(milliseconds grace) {
  if (sys_->lockFd >= 0) {
    // Alone when our share becomes the whole lock; else other windows still
    // use the servers and their keepers stay for them.
    bool alone = ::flock(sys_->lockFd, LOCK_EX | LOCK_NB) == 0;
    ::close(sys_->lockFd);  // the keepers stop their servers once it is free
    sys_->lockFd = -1;
    if (!alone) children_.clear();
  } else {
    for (ProcessId pid : children_) ::kill(static_cast<pid_t>(pid), SIGTERM);
  }
  auto deadline = Clock::now() + grace;
  for (ProcessId id : children_) {
    auto pid = static_cast<pid_t>(id);
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
}

}  // namespace zel
