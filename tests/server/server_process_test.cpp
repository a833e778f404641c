// The zelmora-server executable: it says where it listens, answers, refuses
// bad command lines, and stops cleanly on SIGINT and SIGTERM.
#include <gtest/gtest.h>
#include <signal.h>

#include <regex>
#include <string>
#include <vector>

#include "server_fixture.h"
#include "support/child_process.h"

namespace zel::server::test {
namespace {

// The build's zelmora-server with args.
class ServerProcess : public zel::test::ChildProcess {
 public:
  explicit ServerProcess(std::vector<std::string> args) : ChildProcess(WithExe(std::move(args))) {}

 private:
  static std::vector<std::string> WithExe(std::vector<std::string> args) {
    args.insert(args.begin(), std::string(ZEL_APP_DIR) + "/zelmora-server");
    return args;
  }
};

TEST(ServerProcess, StopsCleanlyOnSigintAndSigterm) {
#ifdef _WIN32
  GTEST_SKIP() << "no signals on Windows, and the console break needs a console the test run lacks; "
                  "the window ends its server through a Job Object";
#endif
  for (int sig : {SIGTERM, SIGINT}) {
    ServerProcess p({"--port", "0", "--data", std::string(ZEL_APP_DIR) + "/serverdata"});
    std::string port = p.WaitFor(std::regex("listening on http://127\\.0\\.0\\.1:(\\d+)"));
    ASSERT_FALSE(port.empty()) << p.log();
    httplib::Client client("127.0.0.1", std::stoi(port));
    auto res = client.Get("/query/tel.asp?tel=13800138000");
    ASSERT_TRUE(res);
    EXPECT_NE(res->body.find(G(u8"中国移动")), std::string::npos);
    p.Signal(sig);
    EXPECT_EQ(p.Wait(), 0) << p.log();
    EXPECT_NE(p.log().find(sig == SIGINT ? "stopping on SIGINT" : "stopping on SIGTERM"), std::string::npos) << p.log();
    EXPECT_NE(p.log().find("GET /query/tel.asp?tel=13800138000 200"), std::string::npos) << p.log();
    EXPECT_FALSE(httplib::Client("127.0.0.1", std::stoi(port)).Get("/"));  // the port is closed
  }
}

TEST(ServerProcess, RefusesBadCommandLinesAndBusyPorts) {
  struct Case {
    std::vector<std::string> args;
    int status;
  } cases[] = {
      {{"--port", "70000"}, 2}, {{"--port", "abc"}, 2}, {{"--bogus", "1"}, 2},
      {{"--port"}, 2},          {{"--help"}, 0},       {{"--threads", "0"}, 2},
  };
  for (const Case& c : cases) {
    ServerProcess p(c.args);
    EXPECT_EQ(p.Wait(), c.status) << c.args[0] << " " << p.log();
  }
  // A port someone else holds: a message and exit 1, not a hang.
  zel::test::LoopbackServer other;
  other.Start();
  ServerProcess p({"--port", std::to_string(other.port()), "--data", std::string(ZEL_APP_DIR) + "/serverdata"});
  // Loading the whole data set comes first; under a sanitizer on a busy machine that alone can pass 10 s.
  EXPECT_EQ(p.Wait(60000), 1) << p.log();
  EXPECT_NE(p.log().find("cannot listen"), std::string::npos) << p.log();
}

TEST(ServerProcess, RunsWithoutItsDataAndSaysWhatIsMissing) {
  zel::test::TempDir empty;
  ServerProcess p({"--port", "0", "--data", empty.path()});
  std::string port = p.WaitFor(std::regex("listening on http://127\\.0\\.0\\.1:(\\d+)"));
  ASSERT_FALSE(port.empty()) << p.log();
  EXPECT_NE(p.log().find("mobile segments: MISSING"), std::string::npos) << p.log();
  httplib::Client client("127.0.0.1", std::stoi(port));
  auto res = client.Get("/query/tel.asp?tel=13800138000");
  ASSERT_TRUE(res);
  EXPECT_NE(res->body.find(G(u8"未知的地址")), std::string::npos);
#ifndef _WIN32  // no signals there (see above): the destructor ends it
  p.Signal(SIGTERM);
  EXPECT_EQ(p.Wait(), 0);
#endif
}

}  // namespace
}  // namespace zel::server::test
