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
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
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
      {{"https://127.0.0.1:8443", "http://example.org:8090", "http://127.0.0.1.example.org", "http://10.0.0.1:8090"},
       {}},
      {{"http://127.0.0.1:0", "http://127.0.0.1:70000", "http://127.0.0.1:80a", "http://[::1", "http://[::1]x", ""},
       {}},
  };
  for (const Case& c : cases) {
    auto got = LoopbackEndpoints(c.bases);
    ASSERT_EQ(got.size(), c.expected.size()) << c.bases.front();
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].host, c.expected[i].host) << c.bases[i];
      EXPECT_EQ(got[i].port, c.expected[i].port) << c.bases[i];
    }
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
