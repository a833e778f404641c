// The zelmora-server executable: it says where it listens, answers, refuses
// bad command lines, and stops cleanly on SIGINT and SIGTERM.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "server_fixture.h"

namespace zel::server::test {
namespace {

class ServerProcess {
 public:
  explicit ServerProcess(std::vector<std::string> args) {
    int fds[2];
    if (::pipe(fds) != 0) throw std::runtime_error("pipe");
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(fds[1], 2);
      ::close(fds[0]);
      std::string exe = std::string(ZEL_APP_DIR) + "/zelmora-server";
      std::vector<char*> argv{exe.data()};
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(exe.c_str(), argv.data());
      ::_exit(127);
    }
    ::close(fds[1]);
    out_ = fds[0];
    ::fcntl(out_, F_SETFL, O_NONBLOCK);
  }
  ~ServerProcess() {
    if (pid_ > 0 && !exited_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    ::close(out_);
  }
  // Reads the log until pattern matches (or time runs out); the match.
  std::smatch WaitFor(const std::regex& pattern, int ms = 15000) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    std::smatch m;
    while (std::chrono::steady_clock::now() < until) {
      Drain(50);
      if (std::regex_search(log_, m, pattern)) return m;
    }
    return m;
  }
  // Exit status, or -1 when it has not exited within ms.
  int Wait(int ms = 10000) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        exited_ = true;
        Drain(0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      Drain(20);
    }
    return -1;
  }
  void Signal(int sig) { ::kill(pid_, sig); }
  const std::string& log() const { return log_; }

 private:
  void Drain(int ms) {
    pollfd p{out_, POLLIN, 0};
    ::poll(&p, 1, ms);
    char buf[4096];
    ssize_t n;
    while ((n = ::read(out_, buf, sizeof buf)) > 0) log_.append(buf, size_t(n));
  }
  pid_t pid_ = -1;
  int out_ = -1;
  bool exited_ = false;
  std::string log_;
};

TEST(ServerProcess, StopsCleanlyOnSigintAndSigterm) {
  for (int sig : {SIGTERM, SIGINT}) {
    ServerProcess p({"--port", "0", "--data", std::string(ZEL_APP_DIR) + "/serverdata"});
    std::smatch m = p.WaitFor(std::regex("listening on http://127\\.0\\.0\\.1:(\\d+)"));
    ASSERT_FALSE(m.empty()) << p.log();
    int port = std::stoi(m[1]);
    httplib::Client client("127.0.0.1", port);
    auto res = client.Get("/query/tel.asp?tel=13800138000");
    ASSERT_TRUE(res);
    EXPECT_NE(res->body.find(G(u8"中国移动")), std::string::npos);
    p.Signal(sig);
    EXPECT_EQ(p.Wait(), 0) << p.log();
    EXPECT_NE(p.log().find(sig == SIGINT ? "stopping on SIGINT" : "stopping on SIGTERM"), std::string::npos) << p.log();
    EXPECT_NE(p.log().find("GET /query/tel.asp?tel=13800138000 200"), std::string::npos) << p.log();
    EXPECT_FALSE(httplib::Client("127.0.0.1", port).Get("/"));  // the port is closed
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
  EXPECT_EQ(p.Wait(), 1) << p.log();
  EXPECT_NE(p.log().find("cannot listen"), std::string::npos) << p.log();
}

TEST(ServerProcess, RunsWithoutItsDataAndSaysWhatIsMissing) {
  zel::test::TempDir empty;
  ServerProcess p({"--port", "0", "--data", empty.path()});
  std::smatch m = p.WaitFor(std::regex("listening on http://127\\.0\\.0\\.1:(\\d+)"));
  ASSERT_FALSE(m.empty()) << p.log();
  EXPECT_NE(p.log().find("mobile segments: MISSING"), std::string::npos) << p.log();
  httplib::Client client("127.0.0.1", std::stoi(m[1]));
  auto res = client.Get("/query/tel.asp?tel=13800138000");
  ASSERT_TRUE(res);
  EXPECT_NE(res->body.find(G(u8"未知的地址")), std::string::npos);
  p.Signal(SIGTERM);
  EXPECT_EQ(p.Wait(), 0);
}

}  // namespace
}  // namespace zel::server::test
