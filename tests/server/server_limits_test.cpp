// The server's limits against hostile clients: a forged Host header, header
// floods, slow and idle connections, and many-part ranges.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "base/ini.h"
#include "server_fixture.h"

namespace zel::server::test {
namespace {

using Clock = std::chrono::steady_clock;

// A raw loopback connection, for what no well-behaved client sends.
class Raw {
 public:
  explicit Raw(int port) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ok_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  }
  ~Raw() { ::close(fd_); }
  bool Send(std::string_view s) {
    ok_ = ok_ && ::send(fd_, s.data(), s.size(), MSG_NOSIGNAL) == ssize_t(s.size());
    return ok_;
  }
  // Whatever arrives within ms, up to the peer's close when untilClose.
  std::string Read(int ms, bool untilClose = false) {
    std::string got;
    auto until = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
      pollfd p{fd_, POLLIN, 0};
      if (left <= 0 || ::poll(&p, 1, int(left)) <= 0) return got;
      char buf[65536];
      ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
      if (n <= 0) {
        closed_ = true;
        return got;
      }
      got.append(buf, size_t(n));
      if (!untilClose && Complete(got)) return got;
    }
  }
  bool closed() const { return closed_; }
  int fd() const { return fd_; }

 private:
  static bool Complete(const std::string& got) {
    // An interim answer is not the answer.
    const std::string interim = "HTTP/1.1 100 Continue\r\n\r\n";
    size_t end = got.find("\r\n\r\n", got.rfind(interim, 0) == 0 ? interim.size() : 0);
    if (end == std::string::npos) return false;
    size_t at = got.find("Content-Length: ");
    size_t length = at < end ? std::stoul(got.substr(at + 16)) : 0;
    return got.size() >= end + 4 + length;
  }
  int fd_;
  bool ok_ = false, closed_ = false;
};

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

std::string Headers(int n, size_t width) {
  std::string out;
  for (int i = 0; i < n; ++i) out += "X-" + std::to_string(i) + ": " + std::string(width, 'a') + "\r\n";
  return out;
}

TEST(ServerLimits, HeadsAreBoundedAndReduced) {
  struct Case {
    std::string head;
    int status;
    std::string passedOn;  // the head httplib gets, when accepted
    const char* why;
  } cases[] = {
      {"GET / HTTP/1.1\r\nHost: a\r\n\r\n", 0, "GET / HTTP/1.1\r\nHost: a\r\n\r\n", "plain"},
      {"GET / HTTP/1.1\nHost: a\n\n", 0, "GET / HTTP/1.1\r\nHost: a\r\n\r\n", "bare line feeds"},
      {"GET / HTTP/1.1\r\n" + Headers(64, 1) + "\r\n", 0, "", "64 headers"},
      {"GET / HTTP/1.1\r\n" + Headers(65, 1) + "\r\n", 431, "", "65 headers"},
      {"GET / HTTP/1.1\r\nX: " + std::string(8192, 'a') + "\r\n\r\n", 431, "", "one line over 8 KB"},
      {"GET / HTTP/1.1\r\n" + Headers(3, 6000) + "\r\n", 431, "", "16 KB of headers in all"},
      {"GET /" + std::string(8192, 'a') + " HTTP/1.1\r\n\r\n", 414, "", "request line over 8 KB"},
      {"POST / HTTP/1.1\r\nContent-Length: 16384\r\n\r\n", 0, "", "body at the limit"},
      {"POST / HTTP/1.1\r\nContent-Length: 16385\r\n\r\n", 413, "", "body over the limit"},
      {"POST / HTTP/1.1\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\n", 400, "", "two lengths"},
      {"POST / HTTP/1.1\r\nContent-Length: 5x\r\n\r\n", 400, "", "length not a number"},
      {"POST / HTTP/1.1\r\nContent-Length: 99999999999999999999\r\n\r\n", 400, "", "length overflowing"},
      {"POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", 411, "", "chunked body"},
      {"GET / HTTP/1.1\r\nX: a\r\n b\r\n\r\n", 400, "", "folded line"},
      {"GET / HTTP/1.1\r\nX Y: a\r\n\r\n", 400, "", "blank in a name"},
      {"GET / HTTP/1.1\r\nno colon\r\n\r\n", 400, "", "no colon"},
      {"\r\n\r\n", 400, "", "empty"},
      {"GET / HTTP/1.1\r\nRange: bytes=0-9\r\n\r\n", 0, "GET / HTTP/1.1\r\nRange: bytes=0-9\r\n\r\n", "one part kept"},
      {"GET / HTTP/1.1\r\nRange: bytes=0-0,0-0\r\n\r\n", 0, "GET / HTTP/1.1\r\n\r\n", "two parts dropped"},
      {"GET / HTTP/1.1\r\nRange: bytes=0-0\r\nrange: bytes=1-1\r\n\r\n", 0, "GET / HTTP/1.1\r\n\r\n",
       "two Range headers dropped"},
      {"POST / HTTP/1.1\r\nExpect: 100-continue\r\nContent-Length: 3\r\n\r\n", 0,
       "POST / HTTP/1.1\r\nContent-Length: 3\r\n\r\n", "expectation answered here"},
  };
  GuardLimits limits;
  for (const Case& c : cases) {
    Head h = CheckHead(c.head, limits);
    EXPECT_EQ(h.status, c.status) << c.why;
    if (!c.passedOn.empty()) {
      EXPECT_EQ(h.text, c.passedOn) << c.why;
    }
  }
  EXPECT_EQ(CheckHead("POST / HTTP/1.1\r\nContent-Length: 16384\r\n\r\n", limits).body, 16384u);
  EXPECT_TRUE(CheckHead("POST / HTTP/1.1\r\nExpect: 100-Continue\r\n\r\n", limits).expectContinue);
}

TEST(ServerLimits, UpdateAddressesIgnoreTheHostHeader) {
  struct Case {
    const char* host;
    const char* why;
  } cases[] = {{"evil.example", "another host"},
               {"evil.example:8090", "another host and port"},
               {"127.0.0.1:1", "our address, another port"},
               {"[::1]:99", "bracketed address"},
               {"", "empty"}};
  std::string want = SharedServer::Get().base() + "/weather/files/";
  for (const Case& c : cases) {
    auto client = SharedServer::Get().Client();
    client->set_default_headers({{"Host", c.host}});
    auto res = client->Get("/weather/UpDate.txt");
    ASSERT_TRUE(res) << c.why;
    zel::test::TempDir dir;
    dir.Write("UpDate.ini", res->body);
    EXPECT_EQ(IniFile(dir / "UpDate.ini").ReadString("download", "URL", ""), want) << c.why;
  }
}

// A companion behind the accept path with two workers and short deadlines.
class Guarded {
 public:
  explicit Guarded(int keepAliveSeconds = 1, size_t maxConnections = 100)
      : companion_(TestOptions(), log_), http_(Limits(maxConnections)) {
    companion_.Mount(http_.http());
    http_.http().set_keep_alive_timeout(keepAliveSeconds);
    http_.Start();
  }
  static GuardLimits Limits(size_t maxConnections) {
    GuardLimits l;
    l.maxConnections = maxConnections;
    l.workers = 2;
    l.headerTime = std::chrono::milliseconds(300);
    l.requestTime = std::chrono::milliseconds(600);
    return l;
  }
  int port() const { return http_.port(); }
  GuardedServer& http() { return http_.http(); }
  // A normal request on a fresh connection; the status, or -1 on no answer.
  int Normal(int timeoutMs = 2000) {
    httplib::Client c("127.0.0.1", port());
    c.set_read_timeout(timeoutMs / 1000, timeoutMs % 1000 * 1000);
    auto res = c.Get("/query/tel.asp?tel=13800138000");
    return res ? res->status : -1;
  }

 private:
  std::ostringstream log_;
  CompanionServer companion_;
  GuardedLoopback http_;
};

TEST(ServerLimits, HeaderFloodIsRefusedWithinBoundedBytes) {
  Guarded server;
  std::vector<std::unique_ptr<Raw>> floods;
  for (int i = 0; i < 4; ++i) floods.push_back(std::make_unique<Raw>(server.port()));
  // Each sends header lines until the server gives up on it; it must do so
  // long before 64 MB (an unbounded reader takes them all).
  const std::string lines = "GET / HTTP/1.1\r\n" + Headers(500, 100);
  for (auto& f : floods) {
    size_t sent = 0;
    while (sent < (64u << 20) && f->Send(lines)) sent += lines.size();
    EXPECT_LT(sent, 64u << 20);
    std::string answer = f->Read(2000, true);
    EXPECT_EQ(answer.rfind("HTTP/1.1 431 ", 0), 0u) << answer.substr(0, 40);
  }
  EXPECT_EQ(server.Normal(), 200);
}

TEST(ServerLimits, SlowRequestsAreCutOffAndHoldNoWorker) {
  Guarded server;
  struct Case {
    std::string start, drip;
    const char* why;
  } cases[] = {{"GET / HTTP/1.1\r\n", "X-a: b\r\n", "header never ends"},
               {"POST /query/tel.asp HTTP/1.1\r\nContent-Length: 1000\r\n\r\n", "t", "body never ends"}};
  // Five of each against two workers: every normal request still gets in.
  std::vector<std::pair<const Case*, std::unique_ptr<Raw>>> slow;
  for (const Case& c : cases)
    for (int i = 0; i < 5; ++i) {
      slow.emplace_back(&c, std::make_unique<Raw>(server.port()));
      ASSERT_TRUE(slow.back().second->Send(c.start));
    }
  auto start = Clock::now();
  while (Clock::now() - start < std::chrono::milliseconds(1500)) {
    for (auto& [c, raw] : slow) raw->Send(c->drip);
    EXPECT_EQ(server.Normal(), 200);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  for (auto& [c, raw] : slow) {
    std::string answer = raw->Read(2000, true);
    EXPECT_EQ(answer.rfind("HTTP/1.1 408 ", 0), 0u) << c->why << ": " << answer.substr(0, 40);
    EXPECT_TRUE(raw->closed()) << c->why;
  }
}

TEST(ServerLimits, IdleKeepAliveConnectionsHoldNoWorkerAndAreClosed) {
  Guarded server(2);
  std::vector<std::unique_ptr<Raw>> idle;
  for (int i = 0; i < 8; ++i) {
    idle.push_back(std::make_unique<Raw>(server.port()));
    ASSERT_TRUE(idle.back()->Send("GET / HTTP/1.1\r\nHost: a\r\n\r\n"));
    ASSERT_EQ(idle.back()->Read(2000).rfind("HTTP/1.1 200 ", 0), 0u) << i;
  }
  // Eight idle connections, two workers: answered at once, not after the
  // keep-alive timeout (2 s) frees a worker.
  EXPECT_EQ(server.Normal(1000), 200);
  for (auto& raw : idle) {
    raw->Read(4000, true);
    EXPECT_TRUE(raw->closed());
  }
  // The count drops just after the close the clients saw.
  for (int i = 0; i < 100 && server.http().Connections(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(server.http().Connections(), 0u);
}

TEST(ServerLimits, AtTheConnectionLimitTheLongestWaitingGoes) {
  Guarded server(1, 4);
  std::vector<std::unique_ptr<Raw>> slow;
  for (int i = 0; i < 4; ++i) {
    slow.push_back(std::make_unique<Raw>(server.port()));
    ASSERT_TRUE(slow.back()->Send("GET / HTTP/1.1\r\n"));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(server.Normal(), 200);
  slow[0]->Read(1000, true);
  EXPECT_TRUE(slow[0]->closed());
  slow[1]->Read(50, true);
  EXPECT_FALSE(slow[1]->closed());
}

TEST(ServerLimits, ConnectionsKeepTheProtocol) {
  Guarded server;
  struct Case {
    std::string send;
    int answers;  // whole answers on the connection
    bool closes;
    const char* why;
  } cases[] = {
      {"GET / HTTP/1.1\r\n\r\nGET /query/ip.asp HTTP/1.1\r\n\r\n", 2, false, "pipelined"},
      {"POST /query/tel.asp HTTP/1.1\r\nExpect: 100-continue\r\nContent-Length: 15\r\n"
       "Content-Type: application/x-www-form-urlencoded\r\n\r\ntel=13800138000",
       1, false, "expectation"},
      {"GET / HTTP/1.0\r\n\r\n", 1, true, "HTTP/1.0"},
      {"GET / HTTP/1.1\r\nConnection: close\r\n\r\n", 1, true, "close asked"},
      {"GET / HTTP/1.1\r\nContent-Length: 20000\r\n\r\n", 1, true, "refused body"},
  };
  for (const Case& c : cases) {
    Raw raw(server.port());
    ASSERT_TRUE(raw.Send(c.send)) << c.why;
    std::string got;
    auto answers = [&got] { return Count(got, "HTTP/1.1 ") - Count(got, "HTTP/1.1 100 "); };
    for (auto until = Clock::now() + std::chrono::seconds(2); answers() < c.answers && Clock::now() < until;)
      got += raw.Read(100);
    EXPECT_EQ(answers(), c.answers) << c.why << got;
    raw.Read(c.closes ? 2000 : 200, true);
    EXPECT_EQ(raw.closed(), c.closes) << c.why;
  }
}

TEST(ServerLimits, ManyPartRangesGetTheWholeBodyOnce) {
  Guarded server;
  httplib::Client c("127.0.0.1", server.port());
  auto whole = c.Get("/weather/UpDate.txt");
  ASSERT_TRUE(whole);
  std::string parts = "bytes=0-0";
  for (int i = 0; i < 1500; ++i) parts += ",0-" + std::to_string(i % 9);
  struct Case {
    std::string range;
    int status;
    size_t size;
    const char* why;
  } cases[] = {{"bytes=0-9", 206, 10, "one part"},
               {parts, 200, whole->body.size(), "1500 parts"},
               {"bytes=0-4,5-9", 200, whole->body.size(), "two parts"},
               {"bytes=0-" + std::string(9000, '9'), 431, 0, "over the line limit"}};
  for (const Case& k : cases) {
    auto res = c.Get("/weather/UpDate.txt", {{"Range", k.range}});
    ASSERT_TRUE(res) << k.why;
    EXPECT_EQ(res->status, k.status) << k.why;
    if (k.status != 431) {
      EXPECT_EQ(res->body.size(), k.size) << k.why;
    }
  }
}

}  // namespace
}  // namespace zel::server::test
