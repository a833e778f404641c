// The window's companion server: started only where nothing answers, it
// answers lookups, and it never outlives the window however the window ends.
#include "base/companion_launch.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <sstream>
#include <thread>

#include "base/files.h"
#include "support/testutil.h"

#ifdef _WIN32
#include "base/os/windows/wide.h"
#endif

using namespace zel;
using namespace std::chrono_literals;

namespace {

#ifdef _WIN32
constexpr const char* kServer = ZEL_APP_DIR "/zelmora-server.exe";
#else
constexpr const char* kServer = ZEL_APP_DIR "/zelmora-server";
#endif

int FreePort() {
  test::LoopbackServer probe;  // a free port, closed again: refused
  probe.Start();
  return probe.port();
}

// The build's server data, read only; no live feed (it would leave loopback).
CompanionLauncher::Plan PlanFor(const std::string& folder) {
  return {kServer, std::string(ZEL_APP_DIR) + "/serverdata", folder, 15s, folder + "serverdata", {"--feed", "off"}};
}

std::string Log(const std::string& folder) {
  std::string log;
  ReadFile(folder + "server.log", log);
  return log;
}

#ifdef _WIN32
// No subreaper here: a process is found by its id while it still runs.
bool ExitsWithin(ProcessId pid, std::chrono::milliseconds timeout) {
  HANDLE p = ::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
  if (!p) return true;
  bool ended = ::WaitForSingleObject(p, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
  ::CloseHandle(p);
  return ended;
}

void Kill(ProcessId pid) {
  if (HANDLE p = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, static_cast<DWORD>(pid))) {
    ::TerminateProcess(p, 9);
    ::WaitForSingleObject(p, 5000);
    ::CloseHandle(p);
  }
}

bool Gone(ProcessId pid) { return ExitsWithin(pid, 0ms); }
ProcessId ServerOf(ProcessId started) { return started; }  // no keeper: the server itself

// A copy of this program started with ZEL_TEST_WINDOW=<folder>|<port>|<file>|<end>
// stands in for a window: it starts the server, writes its id into file,
// then waits to be killed, or ends without stopping it ("exit").
const bool kStandsInForAWindow = [] {
  const char* settings = std::getenv("ZEL_TEST_WINDOW");
  if (!settings) return false;
  std::vector<std::string> f;
  std::istringstream in(settings);
  for (std::string part; std::getline(in, part, '|');) f.push_back(part);
  auto plan = PlanFor(f[0]);
  plan.dataDir = f[0] + "none";
  auto* launcher = new CompanionLauncher;
  launcher->StartMissing(plan, {{"127.0.0.1", std::stoi(f[1])}});
  WriteFileAtomic(f[2], launcher->children().empty() ? "0" : std::to_string(launcher->children()[0]));
  if (f[3] == "exit") ::ExitProcess(0);
  ::Sleep(INFINITE);
  return true;
}();

// Starts such a window; its process handle.
HANDLE StartWindow(const std::string& settings) {
  wchar_t self[MAX_PATH];
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  ::SetEnvironmentVariableW(L"ZEL_TEST_WINDOW", os::Wide(settings).c_str());
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::wstring line = L"window";
  bool ok = ::CreateProcessW(self, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi);
  ::SetEnvironmentVariableW(L"ZEL_TEST_WINDOW", nullptr);
  if (!ok) return nullptr;
  ::CloseHandle(pi.hThread);
  return pi.hProcess;
}
#else
// Reaps pid when it is ours (directly or as subreaper) within timeout.
bool ExitsWithin(ProcessId pid, std::chrono::milliseconds timeout) {
  auto until = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < until) {
    if (::waitpid(static_cast<pid_t>(pid), nullptr, WNOHANG) == pid) return true;
    std::this_thread::sleep_for(20ms);
  }
  return false;
}

void Kill(ProcessId pid) { ::kill(static_cast<pid_t>(pid), SIGKILL); }
bool Gone(ProcessId pid) { return ::kill(static_cast<pid_t>(pid), 0) == -1; }  // reaped, not a zombie

// The server a keeper holds.
ProcessId ServerOf(ProcessId keeper) {
  std::string k = std::to_string(keeper);
  std::istringstream children(test::ReadAll("/proc/" + k + "/task/" + k + "/children"));
  ProcessId server = 0;
  children >> server;
  return server;
}

// Orphans come back to this process while it lives, so their end can be seen.
struct Subreaper {
  Subreaper() { ::prctl(PR_SET_CHILD_SUBREAPER, 1); }
  ~Subreaper() { ::prctl(PR_SET_CHILD_SUBREAPER, 0); }
};
#endif

}  // namespace

TEST(CompanionLaunch, OnlyPlainHttpLoopbackAddressesAreServed) {
  struct Case {
    std::vector<std::string> bases;
    std::vector<LoopbackEndpoint> expected;
  } cases[] = {
      {{"http://127.0.0.1:8090"}, {{"127.0.0.1", 8090}}},
      {{"http://localhost:9000/", "HTTP://LOCALHOST:9000"}, {{"127.0.0.1", 9000}}},
      {{"127.0.0.2:81", "http://127.0.0.2"}, {{"127.0.0.2", 81}, {"127.0.0.2", 80}}},
      {{"http://[::1]:8080/query"}, {{"::1", 8080}}},
      {{"http://127.0.0.1:8090", "http://127.0.0.1:8090", "http://127.0.0.1:8091"},
       {{"127.0.0.1", 8090}, {"127.0.0.1", 8091}}},
      // One server answers every page: one per port, however many hosts name it.
      {{"http://127.0.0.1:8090", "http://localhost:8090", "http://127.0.0.2:8090", "http://[::1]:8090",
        "http://127.0.0.3:8091"},
       {{"127.0.0.1", 8090}, {"127.0.0.3", 8091}}},
      {{"https://127.0.0.1:8443", "http://example.org:8090", "http://127.0.0.1.example.org", "http://10.0.0.1:8090"},
       {}},
      {{"http://127.0.0.1:0", "http://127.0.0.1:70000", "http://127.0.0.1:80a", "http://[::1", "http://[::1]x", ""},
       {}},
  };
  for (const Case& c : cases) {
    auto got = LoopbackEndpoints(c.bases);
    ASSERT_EQ(got.size(), c.expected.size()) << c.bases.front();
    for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], c.expected[i]) << c.bases.front() << " #" << i;
  }
}

TEST(CompanionLaunch, StartsWhereNothingAnswersServesLookupsAndStops) {
  struct Case {
    const char* folder;  // under the temporary folder
    const char* why;
  } cases[] = {{"", "a plain folder"}, {"\xE5\xA4\xA9\xE6\xB0\x94 \xE6\xB5\x8B\xE8\xAF\x95/", "a Chinese folder name"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    test::AppFolder app;
    const std::string folder = app.path() + c.folder;
    ASSERT_TRUE(CreateDir(folder));
    LoopbackEndpoint ep{"127.0.0.1", FreePort()};
    // The window's own files stay with the window (the display connection,
    // a settings file open while it starts).
    ASSERT_TRUE(WriteFileAtomic(folder + "window-only", ""));
#ifdef _WIN32
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE window = ::CreateFileW(os::Wide(folder + "window-only").c_str(), GENERIC_READ, 0, &inheritable,
                                  OPEN_EXISTING, 0, nullptr);
#else
    int window = ::open((folder + "window-only").c_str(), O_RDONLY);
#endif
    CompanionLauncher launcher;
    ASSERT_EQ(launcher.StartMissing(PlanFor(folder), {ep}), 1);
    ASSERT_EQ(launcher.children().size(), 1u);
    ProcessId pid = launcher.children()[0];
#ifdef _WIN32
    ::CloseHandle(window);
    // Opened without sharing: only when no copy of the handle is left.
    HANDLE again =
        ::CreateFileW(os::Wide(folder + "window-only").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(again, INVALID_HANDLE_VALUE) << "the server holds the window's file";
    ::CloseHandle(again);
#else
    ProcessId server = ServerOf(pid);
    ASSERT_GT(server, 0);
    for (const auto& fd : std::filesystem::directory_iterator("/proc/" + std::to_string(server) + "/fd")) {
      std::error_code ec;
      EXPECT_NE(std::filesystem::read_symlink(fd.path(), ec).string(), folder + "window-only")
          << "the server holds the window's file";
    }
    ::close(window);
#endif

    httplib::Client client("127.0.0.1", ep.port);
    auto res = client.Get("/query/tel.asp?tel=13800138000");
    ASSERT_TRUE(res);
    EXPECT_NE(res->body.find(G(u8"北京")), std::string::npos) << test::U(res->body);
    EXPECT_NE(Log(folder).find("listening on"), std::string::npos) << "the server logs into the user's folder";
    EXPECT_NE(Log(folder).find(folder + "Weather.ini"), std::string::npos) << "the folder reaches the server whole";

    launcher.StopAll();
    EXPECT_TRUE(launcher.children().empty());
    EXPECT_FALSE(Answers(ep, 200ms));
    EXPECT_TRUE(Gone(pid));
    EXPECT_NE(Log(folder).find("stopping on"), std::string::npos) << "asked to stop, not killed: " << Log(folder);
  }
}

TEST(CompanionLaunch, WindowsOfOneFolderShareTheServerUntilTheLastCloses) {
#ifndef _WIN32
  Subreaper subreaper;
#endif
  test::AppFolder app;
  auto plan = PlanFor(app.path());
  plan.dataDir = app.path() + "none";
  LoopbackEndpoint ep{"127.0.0.1", FreePort()};
  CompanionLauncher first, second;
  ASSERT_EQ(first.StartMissing(plan, {ep}), 1);
  ProcessId started = first.children()[0];
  EXPECT_EQ(second.StartMissing(plan, {ep}), 0) << "the second window uses the first one's server";

  first.StopAll();
  std::this_thread::sleep_for(600ms);  // a keeper looks three times in this
  EXPECT_TRUE(Answers(ep, 1s)) << "the server went while a window still used it";
  second.StopAll();
  EXPECT_TRUE(ExitsWithin(started, 10s)) << "the server outlived the last window";
  EXPECT_FALSE(Answers(ep, 200ms));
}

TEST(CompanionLaunch, NothingStartsWhenAServerAnswersOrCannotRun) {
  test::AppFolder app;
  test::LoopbackServer other;  // ./run.sh's server, or the user unit's
  other.http().Get(".*", [](const httplib::Request&, httplib::Response& res) { res.set_content("x", "text/plain"); });
  other.Start();
  struct Case {
    CompanionLauncher::Plan plan;
    LoopbackEndpoint ep;
    const char* why;
  } cases[] = {
      {PlanFor(app.path()), {"127.0.0.1", other.port()}, "something already answers"},
      {{app.path() + "no-such-server", "", app.path(), 5s, "", {}},
       {"127.0.0.1", FreePort()},
       "the program is missing"},
      {{"", "", app.path(), 5s, "", {}}, {"127.0.0.1", FreePort()}, "no server installed"},
  };
  for (const Case& c : cases) {
    CompanionLauncher launcher;
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(launcher.StartMissing(c.plan, {c.ep}), 0) << c.why;
    EXPECT_TRUE(launcher.children().empty()) << c.why;
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 3s) << c.why << ": no waiting for a server that cannot come";
  }
}

#ifdef _WIN32
TEST(CompanionLaunch, ServerEndsWithTheWindowHoweverItDies) {
  // Windows ends a process by TerminateProcess (what a crash also comes to)
  // or by its own exit; both close its hold on the job.
  struct Case {
    const char* end;  // "kill": killed from outside; "exit": ends without stopping its servers
    bool lockFile;    // without one (a folder that cannot be written) the server is the window's alone
  } cases[] = {{"kill", true}, {"exit", true}, {"kill", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.end) + (c.lockFile ? "" : ", no lock file"));
    test::AppFolder app;
    LoopbackEndpoint ep{"127.0.0.1", FreePort()};
    std::string folder = c.lockFile ? app.path() : app.path() + "missing/";
    HANDLE window = StartWindow(folder + "|" + std::to_string(ep.port) + "|" + app.path() + "server.id|" + c.end);
    ASSERT_NE(window, nullptr);
    std::string id;
    for (int i = 0; i < 750 && !ReadFile(app.path() + "server.id", id); ++i) std::this_thread::sleep_for(20ms);
    ProcessId server = std::atoll(id.c_str());
    ASSERT_GT(server, 0) << "the window started no server";
    HANDLE watched = ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, static_cast<DWORD>(server));
    if (std::string(c.end) == "kill") {
      EXPECT_TRUE(Answers(ep, 1s));
      ::TerminateProcess(window, 9);
    }
    ::WaitForSingleObject(window, 10000);
    ::CloseHandle(window);
    EXPECT_TRUE(!watched || ::WaitForSingleObject(watched, 10000) == WAIT_OBJECT_0) << "the server outlived the window";
    EXPECT_FALSE(Answers(ep, 200ms));
    if (watched) {
      ::TerminateProcess(watched, 9);
      ::CloseHandle(watched);
    }
  }
}
#else
TEST(CompanionLaunch, ServerEndsWithTheWindowHoweverItDies) {
  Subreaper subreaper;
  // SIGABRT stands for a crash: an uncaught exception or failed check ends there.
  struct Case {
    int sig;
    bool lockFile;  // without one (a folder that cannot be written) the server is tied to the window itself
  } cases[] = {{SIGTERM, true}, {SIGKILL, true}, {SIGABRT, true}, {SIGKILL, false}};
  for (const Case& c : cases) {
    int sig = c.sig;
    test::AppFolder app;
    LoopbackEndpoint ep{"127.0.0.1", FreePort()};
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    pid_t window = ::fork();
    ASSERT_GE(window, 0);
    if (window == 0) {  // stands in for the window: starts the server, then dies by sig
      auto* launcher = new CompanionLauncher;
      auto plan = PlanFor(c.lockFile ? app.path() : app.path() + "missing/");
      plan.dataDir = app.path() + "none";  // no lookup data needed: it starts at once
      launcher->StartMissing(plan, {ep});
      pid_t server = launcher->children().empty() ? 0 : static_cast<pid_t>(launcher->children()[0]);
      (void)!::write(fds[1], &server, sizeof server);
      rlimit noCore{0, 0};
      ::setrlimit(RLIMIT_CORE, &noCore);
      for (;;) ::pause();
    }
    ::close(fds[1]);
    pid_t server = 0;
    ASSERT_EQ(::read(fds[0], &server, sizeof server), static_cast<ssize_t>(sizeof server));
    ::close(fds[0]);
    ASSERT_GT(server, 0) << strsignal(sig);
    EXPECT_TRUE(Answers(ep, 1s));
    ::kill(window, sig);
    ::waitpid(window, nullptr, 0);
    EXPECT_TRUE(ExitsWithin(server, 10s))
        << "server outlived a window killed by " << strsignal(sig) << (c.lockFile ? "" : " (no lock file)");
    EXPECT_FALSE(Answers(ep, 200ms));
    if (::kill(server, 0) == 0) {
      ::kill(server, SIGKILL);
      ::waitpid(server, nullptr, 0);
    }
  }
}
#endif

TEST(CompanionLaunch, ServerArgumentsNeverMoveTheServerOffItsAddress) {
  struct Case {
    std::string words;
    std::vector<std::string> expected;
  } cases[] = {
      {"--listen 0.0.0.0 --feed off", {"--feed", "off"}},
      {"--feed-contact a@b.org --port 9 --threads 4", {"--feed-contact", "a@b.org", "--threads", "4"}},
      {"--port", {}},
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(ExtraServerArgs(c.words), c.expected) << c.words;

  // Given to the launcher all the same, they come before its own address.
  test::AppFolder app;
  auto plan = PlanFor(app.path());
  plan.dataDir = app.path() + "none";
  LoopbackEndpoint ep{"127.0.0.1", FreePort()};
  plan.extraArgs = {"--listen", "0.0.0.0", "--port", std::to_string(FreePort())};
  CompanionLauncher launcher;
  EXPECT_EQ(launcher.StartMissing(plan, {ep}), 1);
  EXPECT_NE(Log(app.path()).find("listening on http://127.0.0.1:" + std::to_string(ep.port)), std::string::npos)
      << Log(app.path());
}

TEST(CompanionLaunch, HostileFilesInTheFolderNeitherHangNorRedirectTheStart) {
  // Windows has no FIFOs in a folder and lets only administrators make
  // links, so those cases are Linux's; the held lock is a LockFileEx range.
  using Held = intptr_t;
  struct Case {
    const char* why;
    std::function<void(const test::AppFolder&, Held& held)> plant;
    std::function<void(const test::AppFolder&, Held& held)> unstick;  // what an old build waits for
    const char* outside;  // a file the link names: as it was, or still absent
    const char* content;
  } cases[] = {
      {"server.log is a folder", [](const test::AppFolder& app, Held&) { ASSERT_TRUE(CreateDir(app / "server.log")); },
       nullptr, nullptr, nullptr},
      {".windows.lock is a folder",
       [](const test::AppFolder& app, Held&) { ASSERT_TRUE(CreateDir(app / ".windows.lock")); }, nullptr, nullptr,
       nullptr},
#ifdef _WIN32
      {"another process holds the lock",
       [](const test::AppFolder& app, Held& held) {
         HANDLE h =
             ::CreateFileW(os::Wide(app / ".windows.lock").c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS, 0, nullptr);
         OVERLAPPED at{};
         ASSERT_TRUE(::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at));
         held = reinterpret_cast<Held>(h);
       },
       [](const test::AppFolder&, Held& held) {
         OVERLAPPED at{};
         ::UnlockFileEx(reinterpret_cast<HANDLE>(held), 0, 1, 0, &at);
       },
       nullptr, nullptr},
#else
      {"server.log is a FIFO",
       [](const test::AppFolder& app, Held&) { ASSERT_EQ(::mkfifo((app.path() + "server.log").c_str(), 0644), 0); },
       [](const test::AppFolder& app, Held&) {
         ::close(::open((app.path() + "server.log").c_str(), O_RDONLY | O_NONBLOCK));
       },
       nullptr, nullptr},
      {"server.log links outside",
       [](const test::AppFolder& app, Held&) {
         app.Write("outside/log", "keep");
         ASSERT_EQ(::symlink((app.path() + "outside/log").c_str(), (app.path() + "server.log").c_str()), 0);
       },
       nullptr, "outside/log", "keep"},
      {".windows.lock links outside",
       [](const test::AppFolder& app, Held&) {
         ASSERT_EQ(::symlink((app.path() + "outside-lock").c_str(), (app.path() + ".windows.lock").c_str()), 0);
       },
       nullptr, "outside-lock", nullptr},
      {"another process holds the lock",
       [](const test::AppFolder& app, Held& held) {
         held = ::open((app.path() + ".windows.lock").c_str(), O_RDWR | O_CREAT, 0644);
         ASSERT_EQ(::flock(static_cast<int>(held), LOCK_EX), 0);
       },
       [](const test::AppFolder&, Held& held) { ::flock(static_cast<int>(held), LOCK_UN); }, nullptr, nullptr},
#endif
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    test::AppFolder app;
    Held held = -1;
    c.plant(app, held);
    auto plan = PlanFor(app.path());
    plan.dataDir = app.path() + "none";
    plan.lockWait = 300ms;
    LoopbackEndpoint ep{"127.0.0.1", FreePort()};
    // Where the start hangs, the hang is ended after 10 s so the test can fail.
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
      for (int i = 0; i < 500 && !done; ++i) std::this_thread::sleep_for(20ms);
      if (!done && c.unstick) c.unstick(app, held);
    });
    CompanionLauncher launcher;
    auto t0 = std::chrono::steady_clock::now();
    int started = launcher.StartMissing(plan, {ep});
    auto took = std::chrono::steady_clock::now() - t0;
    done = true;
    watchdog.join();
    EXPECT_EQ(started, 1);
    EXPECT_LT(took, 8s) << "the start waited on the file";
    if (c.outside && c.content) {
      EXPECT_EQ(app.Read(c.outside), c.content);
    } else if (c.outside) {
      EXPECT_FALSE(app.Exists(c.outside));
    }
    launcher.StopAll();
    EXPECT_FALSE(Answers(ep, 200ms));
#ifdef _WIN32
    if (held != -1) ::CloseHandle(reinterpret_cast<HANDLE>(held));
#else
    if (held >= 0) ::close(static_cast<int>(held));
#endif
  }
}

TEST(CompanionLaunch, AServerThatEndsIsStartedAgainWithinItsTries) {
#ifndef _WIN32
  Subreaper subreaper;
#endif
  struct Case {
    const char* why;
    bool killKeeper;
  } cases[] = {
      {"the server is killed", false},
#ifndef _WIN32
      {"its keeper is killed", true},  // Windows needs no keeper: the job holds the server
#endif
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    test::AppFolder app;
    auto plan = PlanFor(app.path());
    plan.dataDir = app.path() + "none";
    LoopbackEndpoint ep{"127.0.0.1", FreePort()};
    CompanionLauncher launcher;
    ASSERT_EQ(launcher.StartMissing(plan, {ep}), 1);
    ProcessId first = launcher.children()[0], server = ServerOf(first);
    Kill(c.killKeeper ? first : server);
    if (c.killKeeper) ExitsWithin(server, 10s);  // ours as subreaper
    bool back = false;
    for (int i = 0; i < 300 && !back; ++i) {
      launcher.Watch();
      back = !launcher.children().empty() && launcher.children()[0] != first && Answers(ep, 100ms);
      std::this_thread::sleep_for(50ms);
    }
    EXPECT_TRUE(back) << "no new server within 15 s";
    launcher.StopAll();
    EXPECT_FALSE(Answers(ep, 200ms));
  }
  // A server that cannot run (here: refuses its arguments) is tried a few
  // times, then left.
  test::AppFolder app;
  auto plan = PlanFor(app.path());
  plan.extraArgs = {"--no-such-option"};
  plan.wait = 2s;
  plan.firstRetry = 10ms;
  CompanionLauncher launcher;
  EXPECT_EQ(launcher.StartMissing(plan, {{"127.0.0.1", FreePort()}}), 0);
  int starts = 1;
  auto until = std::chrono::steady_clock::now() + 20s;  // a start under Wine takes a second
  while (std::chrono::steady_clock::now() < until && (starts < plan.maxTries || !launcher.children().empty())) {
    starts += launcher.Watch();
    std::this_thread::sleep_for(10ms);
  }
  for (int i = 0; i < 50; ++i, std::this_thread::sleep_for(10ms)) starts += launcher.Watch();
  EXPECT_EQ(starts, plan.maxTries);
}
