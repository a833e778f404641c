// Downloads to a server the window has just started wait for it to answer.
#include "base/server_wait.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "base/download.h"
#include "support/testutil.h"

namespace zel {
namespace {

using namespace std::chrono;

int FreePort() {
  test::LoopbackServer probe;  // a free port, closed again: refused
  probe.Start();
  return probe.port();
}

TEST(ServerWait, ADownloadWaitsForAnExpectedServerOnly) {
  AwaitServersOnDownload();
  struct Case {
    const char* why;
    bool expected;
    int upAfterMs;  // -1: never
    bool answered;
    long minMs, maxMs;  // time the download takes
  };
  const Case cases[] = {
      {"expected, comes up late", true, 600, true, 500, 5000},
      {"expected, never comes", true, -1, false, 900, 5000},
      {"not expected", false, -1, false, 0, 300},
  };
  for (const Case& c : cases) {
    const int port = FreePort();
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/x";
    if (c.expected) ExpectServers(LoopbackEndpoints({url}), milliseconds(1000));
    test::LoopbackServer server;
    server.http().Get("/x", [](const httplib::Request&, httplib::Response& res) { res.set_content("up", "text/plain"); });
    std::thread starter;
    if (c.upAfterMs >= 0)
      starter = std::thread([&] {
        std::this_thread::sleep_for(milliseconds(c.upAfterMs));
        server.Start(port);
      });
    auto t0 = steady_clock::now();
    auto got = DownloadText(url);
    long took = long(duration_cast<milliseconds>(steady_clock::now() - t0).count());
    EXPECT_EQ(got.has_value(), c.answered) << c.why;
    EXPECT_GE(took, c.minMs) << c.why;
    EXPECT_LE(took, c.maxMs) << c.why;
    if (starter.joinable()) starter.join();
    t0 = steady_clock::now();
    EXPECT_TRUE(AwaitServer(url)) << c.why << ": settled, nobody waits again";
    EXPECT_LT(steady_clock::now() - t0, milliseconds(300)) << c.why;
  }
  SetBeforeDownload(nullptr);
}

}  // namespace
}  // namespace zel
