// The window's companion server: started only where nothing answers, it
// answers lookups, and it never outlives the window however the window ends.
#include "base/companion_launch.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <sstream>
#include <thread>

#include "support/testutil.h"

using namespace zel;
using namespace std::chrono_literals;

namespace {

int FreePort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), len);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(fd);
  return ntohs(a.sin_port);
}

// The build's server data, read only; no live feed (it would leave loopback).
CompanionLauncher::Plan PlanFor(const test::AppFolder& app) {
  return {std::string(ZEL_APP_DIR) + "/zelmora-server",
          std::string(ZEL_APP_DIR) + "/serverdata",
          app.path(),
          15s,
          app.path() + "serverdata",
          {"--feed", "off"}};
}

// Reaps pid when it is ours (directly or as subreaper) within timeout.
bool ExitsWithin(pid_t pid, std::chrono::milliseconds timeout) {
  auto until = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < until) {
    if (::waitpid(pid, nullptr, WNOHANG) == pid) return true;
    std::this_thread::sleep_for(20ms);
  }
  return false;
}

// The server a keeper holds.
pid_t ServerOf(pid_t keeper) {
  std::string k = std::to_string(keeper);
  std::istringstream children(test::ReadAll("/proc/" + k + "/task/" + k + "/children"));
  pid_t server = 0;
  children >> server;
  return server;
}

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
  test::AppFolder app;
  app.CopyShippedData();
  LoopbackEndpoint ep{"127.0.0.1", FreePort()};
  app.Write("window-only", "");
  int windowFd = ::open((app.path() + "window-only").c_str(), O_RDONLY);  // like the display connection
  CompanionLauncher launcher;
  ASSERT_EQ(launcher.StartMissing(PlanFor(app), {ep}), 1);
  ASSERT_EQ(launcher.children().size(), 1u);
  pid_t pid = launcher.children()[0];
  pid_t server = ServerOf(pid);
  ASSERT_GT(server, 0);
  for (const auto& fd : std::filesystem::directory_iterator("/proc/" + std::to_string(server) + "/fd")) {
    std::error_code ec;
    EXPECT_NE(std::filesystem::read_symlink(fd.path(), ec).string(), app.path() + "window-only")
        << "the window's descriptors stay with the window";
  }
  ::close(windowFd);

  httplib::Client client("127.0.0.1", ep.port);
  auto res = client.Get("/query/tel.asp?tel=13800138000");
  ASSERT_TRUE(res);
  EXPECT_NE(res->body.find(G(u8"北京")), std::string::npos) << test::U(res->body);
  EXPECT_NE(app.Read("server.log").find("listening on"), std::string::npos) << "the server logs into the user's folder";

  launcher.StopAll();
  EXPECT_TRUE(launcher.children().empty());
  EXPECT_FALSE(Answers(ep, 200ms));
  EXPECT_EQ(::kill(pid, 0), -1) << "reaped, not left a zombie";
}

TEST(CompanionLaunch, WindowsOfOneFolderShareTheServerUntilTheLastCloses) {
  ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  test::AppFolder app;
  auto plan = PlanFor(app);
  plan.dataDir = app.path() + "none";
  LoopbackEndpoint ep{"127.0.0.1", FreePort()};
  CompanionLauncher first, second;
  ASSERT_EQ(first.StartMissing(plan, {ep}), 1);
  pid_t keeper = first.children()[0];
  EXPECT_EQ(second.StartMissing(plan, {ep}), 0) << "the second window uses the first one's server";

  first.StopAll();
  std::this_thread::sleep_for(600ms);  // a keeper looks three times in this
  EXPECT_TRUE(Answers(ep, 1s)) << "the server went while a window still used it";
  second.StopAll();
  EXPECT_TRUE(ExitsWithin(keeper, 10s)) << "the server outlived the last window";
  EXPECT_FALSE(Answers(ep, 200ms));
  ::prctl(PR_SET_CHILD_SUBREAPER, 0);
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
      {PlanFor(app), {"127.0.0.1", other.port()}, "something already answers"},
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

TEST(CompanionLaunch, ServerEndsWithTheWindowHoweverItDies) {
  // Orphans come back to this process, so their end can be seen here.
  ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
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
      auto plan = PlanFor(app);
      plan.dataDir = app.path() + "none";  // no lookup data needed: it starts at once
      if (!c.lockFile) plan.appFolder = app.path() + "missing/";
      launcher->StartMissing(plan, {ep});
      pid_t server = launcher->children().empty() ? 0 : launcher->children()[0];
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
  ::prctl(PR_SET_CHILD_SUBREAPER, 0);
}

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
  auto plan = PlanFor(app);
  plan.dataDir = app.path() + "none";
  LoopbackEndpoint ep{"127.0.0.1", FreePort()};
  plan.extraArgs = {"--listen", "0.0.0.0", "--port", std::to_string(FreePort())};
  CompanionLauncher launcher;
  EXPECT_EQ(launcher.StartMissing(plan, {ep}), 1);
  EXPECT_NE(app.Read("server.log").find("listening on http://127.0.0.1:" + std::to_string(ep.port)), std::string::npos)
      << app.Read("server.log");
}

TEST(CompanionLaunch, HostileFilesInTheFolderNeitherHangNorRedirectTheStart) {
  struct Case {
    const char* why;
    std::function<void(const test::AppFolder&, int& held)> plant;
    std::function<void(const test::AppFolder&, int& held)> unstick;  // what an old build waits for
    const char* outside;  // a file the link names: as it was, or still absent
    const char* content;
  } cases[] = {
      {"server.log is a FIFO",
       [](const test::AppFolder& app, int&) { ASSERT_EQ(::mkfifo((app.path() + "server.log").c_str(), 0644), 0); },
       [](const test::AppFolder& app, int&) { ::close(::open((app.path() + "server.log").c_str(), O_RDONLY | O_NONBLOCK)); },
       nullptr, nullptr},
      {"server.log links outside",
       [](const test::AppFolder& app, int&) {
         app.Write("outside/log", "keep");
         ASSERT_EQ(::symlink((app.path() + "outside/log").c_str(), (app.path() + "server.log").c_str()), 0);
       },
       nullptr, "outside/log", "keep"},
      {".windows.lock links outside",
       [](const test::AppFolder& app, int&) {
         ASSERT_EQ(::symlink((app.path() + "outside-lock").c_str(), (app.path() + ".windows.lock").c_str()), 0);
       },
       nullptr, "outside-lock", nullptr},
      {"another process holds the lock",
       [](const test::AppFolder& app, int& held) {
         held = ::open((app.path() + ".windows.lock").c_str(), O_RDWR | O_CREAT, 0644);
         ASSERT_EQ(::flock(held, LOCK_EX), 0);
       },
       [](const test::AppFolder&, int& held) { ::flock(held, LOCK_UN); },
       nullptr, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    test::AppFolder app;
    int held = -1;
    c.plant(app, held);
    auto plan = PlanFor(app);
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
    if (held >= 0) ::close(held);
  }
}

TEST(CompanionLaunch, AServerThatEndsIsStartedAgainWithinItsTries) {
  ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  struct Case {
    const char* why;
    bool killKeeper;
  } cases[] = {{"the server is killed", false}, {"its keeper is killed", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    test::AppFolder app;
    auto plan = PlanFor(app);
    plan.dataDir = app.path() + "none";
    LoopbackEndpoint ep{"127.0.0.1", FreePort()};
    CompanionLauncher launcher;
    ASSERT_EQ(launcher.StartMissing(plan, {ep}), 1);
    pid_t keeper = launcher.children()[0], server = ServerOf(keeper);
    ::kill(c.killKeeper ? keeper : server, SIGKILL);
    if (c.killKeeper) ExitsWithin(server, 10s);  // ours as subreaper
    bool back = false;
    for (int i = 0; i < 300 && !back; ++i) {
      launcher.Watch();
      back = !launcher.children().empty() && launcher.children()[0] != keeper && Answers(ep, 100ms);
      std::this_thread::sleep_for(50ms);
    }
    EXPECT_TRUE(back) << "no new server within 15 s";
    launcher.StopAll();
    EXPECT_FALSE(Answers(ep, 200ms));
  }
  // A server that cannot run is tried a few times, then left.
  test::AppFolder app;
  auto plan = PlanFor(app);
  plan.serverExe = "/bin/false";
  plan.wait = 2s;
  plan.firstRetry = 10ms;
  CompanionLauncher launcher;
  EXPECT_EQ(launcher.StartMissing(plan, {{"127.0.0.1", FreePort()}}), 0);
  int starts = 1;
  for (int i = 0; i < 400; ++i, std::this_thread::sleep_for(10ms)) starts += launcher.Watch();
  EXPECT_EQ(starts, plan.maxTries);
  ::prctl(PR_SET_CHILD_SUBREAPER, 0);
}
