#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

#include "base/appenv.h"
#include "base/download.h"
#include "base/files.h"
#include "support/testutil.h"

using namespace zel;
using zel::test::LoopbackServer;
using zel::test::TempDir;

namespace {

class DownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& s = server.http();
    s.Get("/page", [](const httplib::Request&, httplib::Response& r) { r.set_content("line1\r\nline2\r\n", "text/html"); });
    s.Get("/missing", [](const httplib::Request&, httplib::Response& r) {
      r.status = 404;
      r.set_content("not here", "text/html");
    });
    s.Get("/slow", [](const httplib::Request&, httplib::Response& r) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1500));
      r.set_content("late", "text/plain");
    });
    s.Get("/agent", [](const httplib::Request& q, httplib::Response& r) {
      r.set_content(q.get_header_value("User-Agent"), "text/plain");
    });
    s.Get("/moved", [](const httplib::Request&, httplib::Response& r) { r.set_redirect("/page"); });
    s.Get("/loop", [](const httplib::Request&, httplib::Response& r) { r.set_redirect("/loop"); });
    s.Get("/truncated", [](const httplib::Request&, httplib::Response& r) {
      // Announces 1000 bytes, sends 10 and closes.
      r.set_content_provider(1000, "text/plain", [](size_t offset, size_t, httplib::DataSink& sink) {
        if (offset == 0) sink.write("0123456789", 10);
        return offset == 0;
      });
    });
    s.Get("/big", [](const httplib::Request&, httplib::Response& r) { r.set_content(std::string(5000, 'x'), "text/plain"); });
    server.Start();
    limits.connectTimeoutMs = 2000;
    limits.totalTimeoutMs = 800;
    limits.maxBytes = 4096;
  }

  std::string Url(const char* path) { return server.base() + path; }

  LoopbackServer server;
  TempDir dir;
  DownloadLimits limits;
};

}  // namespace

TEST_F(DownloadTest, CompleteBodyIsWritten) {
  ASSERT_TRUE(DownloadFile(Url("/page"), dir / "out", limits));
  EXPECT_EQ(dir.Read("out"), "line1\r\nline2\r\n");
  ASSERT_TRUE(DownloadFile(Url("/agent"), dir / "agent", limits));
  EXPECT_EQ(dir.Read("agent"), std::string("Zelmora/") + kVersion) << "the version the program says it is";
}

TEST_F(DownloadTest, RedirectsAreFollowedOnTheSameHostAndPortOnly) {
  LoopbackServer other;
  other.http().Get("/page",
                   [](const httplib::Request&, httplib::Response& r) { r.set_content("elsewhere", "text/plain"); });
  other.Start();
  std::string port = std::to_string(server.port());
  // The server is already running: one handler reads the current target.
  auto target = std::make_shared<std::string>();
  auto lock = std::make_shared<std::mutex>();
  server.http().Get("/to", [target, lock](const httplib::Request&, httplib::Response& r) {
    std::lock_guard<std::mutex> g(*lock);
    r.set_redirect(*target);
  });
  auto to = [&](const std::string& t) {
    std::lock_guard<std::mutex> g(*lock);
    *target = t;
  };
  struct Case {
    std::string target;
    bool followed;
    const char* why;
  } cases[] = {
      {"/page", true, "a path on the same server"},
      {"http://127.0.0.1:" + port + "/page", true, "the same host and port spelt out"},
      {other.base() + "/page", false, "another port"},
      {"http://localhost:" + std::to_string(other.port()) + "/page", false, "another host"},
      {"http://x@127.0.0.1:" + std::to_string(other.port()) + "/page", false, "user-info in front of another port"},
      {"/loop", false, "a loop ends"},
  };
  for (const auto& c : cases) {
    to(c.target);
    DeleteFile(dir / "out");
    EXPECT_EQ(DownloadFile(Url("/to"), dir / "out", limits), c.followed) << c.why;
    EXPECT_EQ(dir.Exists("out"), c.followed) << c.why;
  }
}

TEST_F(DownloadTest, OneDeadlineEndsEveryDownloadOfAQuery) {
  limits.totalTimeoutMs = 5000;  // each download alone would wait for /slow
  auto start = std::chrono::steady_clock::now();
  {
    QueryDeadline whole(600);
    QueryDeadline inner(5000);  // cannot move the deadline later
    EXPECT_FALSE(DownloadFile(Url("/slow"), dir / "a", limits));
    EXPECT_FALSE(DownloadFile(Url("/slow"), dir / "b", limits));
    EXPECT_FALSE(DownloadFile(Url("/page"), dir / "c", limits)) << "nothing starts after the deadline";
  }
  double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(s, 1.2);
  EXPECT_TRUE(DownloadFile(Url("/page"), dir / "c", limits)) << "the deadline ends with its scope";
}

TEST_F(DownloadTest, FailuresNeverLeaveOrTouchTheTarget) {
  struct Case {
    const char* path;
    const char* why;
  } cases[] = {
      {"/missing", "HTTP error status"},
      {"/slow", "total time-out"},
      {"/truncated", "body shorter than announced"},
      {"/big", "larger than the size cap"},
  };
  for (const auto& c : cases) {
    dir.Write("out", "previous");
    EXPECT_FALSE(DownloadFile(Url(c.path), dir / "out", limits)) << c.why;
    EXPECT_EQ(dir.Read("out"), "previous") << c.why;
    EXPECT_FALSE(DownloadFile(Url(c.path), dir / "fresh", limits)) << c.why;
    EXPECT_FALSE(dir.Exists("fresh")) << c.why;
  }
}

TEST_F(DownloadTest, OnlyWebAddressesAreFetched) {
  dir.Write("secret", "s");
  EXPECT_FALSE(DownloadFile("file://" + dir / "secret", dir / "out", limits));
  EXPECT_FALSE(DownloadFile("ftp://127.0.0.1/x", dir / "out", limits));
  EXPECT_FALSE(DownloadFile(dir / "secret", dir / "out", limits));
  EXPECT_FALSE(dir.Exists("out"));
  EXPECT_TRUE(IsWebAddress("HTTPS://x"));
}

TEST_F(DownloadTest, RefusedConnectionFails) {
  LoopbackServer closed;  // never started: find a port nobody listens on
  int port = closed.http().bind_to_any_port("127.0.0.1");
  closed.http().stop();
  EXPECT_FALSE(DownloadFile("http://127.0.0.1:" + std::to_string(port) + "/", dir / "out", limits));
}

TEST_F(DownloadTest, DownloadToPageReplacesOnlyOnSuccess) {
  PageLines page(TextList{"old"});
  EXPECT_FALSE(DownloadToPage(Url("/missing"), page));
  ASSERT_EQ(page.size(), 1u);
  EXPECT_EQ(page[0], "old");
  SetDownloadLimits(limits);
  EXPECT_TRUE(DownloadToPage(Url("/page"), page));
  ASSERT_EQ(page.size(), 2u);
  EXPECT_EQ(page[0], "line1");
  EXPECT_EQ(page[1], "line2");
  SetDownloadLimits(DownloadLimits{});
}

TEST(Servers, MissingSettingsPointAtTheCompanionServer) {
  zel::test::AppFolder app;
  EXPECT_EQ(ServerBase("CC"), "http://127.0.0.1:8090");
  app.Write("Servers.ini", "[servers]\r\nCC=http://weather.example:81/\r\nLookup=\r\n");
  EXPECT_EQ(ServerBase("cc"), "http://weather.example:81") << "trailing slash dropped, key case ignored";
  EXPECT_EQ(ServerBase("Lookup"), "http://127.0.0.1:8090") << "empty value means the default";
  EXPECT_FALSE(AllServersLoopback());
  app.UseServer("http://localhost:9000");
  EXPECT_TRUE(AllServersLoopback());
}

TEST(Servers, ConnectionStateHonoursTheOverride) {
  zel::test::AppFolder app;
  app.UseServer("http://127.0.0.1:1");
  EXPECT_TRUE(IsOnline()) << "every server on loopback counts as online";
  SetOnlineOverride(false);
  EXPECT_FALSE(IsOnline());
  SetOnlineOverride(std::nullopt);
}
