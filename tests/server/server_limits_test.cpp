// The server's limits against hostile clients: a forged Host header, header
// floods, slow and idle connections, and many-part ranges.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>

#include "base/ini.h"
#include "server_fixture.h"
#include "support/raw_socket.h"

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
  ~Raw() { zel::test::CloseSocket(fd_); }
  bool Send(std::string_view s) {
    ok_ = ok_ && zel::test::SendAll(fd_, s.data(), s.size());
    return ok_;
  }
  // Whatever arrives within ms, up to the peer's close when untilClose.
  std::string Read(int ms, bool untilClose = false) {
    std::string got;
    auto until = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
      pollfd p{fd_, POLLIN, 0};
      if (left <= 0 || zel::test::PollSocket(&p, 1, int(left)) <= 0) return got;
      char buf[65536];
      int n = int(::recv(fd_, buf, sizeof buf, 0));
      if (n <= 0) {
        closed_ = true;
        reset_ = n < 0;
        return got;
      }
      got.append(buf, size_t(n));
      if (!untilClose && Complete(got)) return got;
    }
  }
  bool closed() const { return closed_; }
  bool reset() const { return reset_; }

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
  zel::test::Socket fd_;
  bool ok_ = false, closed_ = false, reset_ = false;
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

// A companion on two workers and two I/O threads with short deadlines; it
// keeps the server's log lines.
class Limited {
 public:
  explicit Limited(int keepAliveMs = 1000, size_t maxConnections = 100, int headerMs = 300,
                   std::function<void(const std::string&)> beforeForecast = {})
      : companion_(TestOptions(), log_), http_(Limits(keepAliveMs, maxConnections, headerMs)) {
    companion_.beforeForecast = std::move(beforeForecast);
    companion_.Mount(http_.http());
    http_.http().log = [this](const std::string& line) {
      std::lock_guard<std::mutex> lock(lock_);
      lines_.push_back(line);
    };
    http_.Start();
  }
  static HttpLimits Limits(int keepAliveMs, size_t maxConnections, int headerMs) {
    HttpLimits l;
    l.maxConnections = maxConnections;
    l.workers = 2;
    l.ioThreads = 2;
    l.headerTime = std::chrono::milliseconds(headerMs);
    l.requestTime = std::chrono::milliseconds(2 * headerMs);
    l.keepAlive = std::chrono::milliseconds(keepAliveMs);
    return l;
  }
  int port() const { return http_.port(); }
  HttpServer& http() { return http_.http(); }
  std::vector<std::string> Lines() {
    std::lock_guard<std::mutex> lock(lock_);
    return lines_;
  }
  // A normal request on a fresh connection; the status, or -1 on no answer.
  int Normal(int timeoutMs = 2000) {
    httplib::Client c("127.0.0.1", port());
    c.set_read_timeout(timeoutMs / 1000, timeoutMs % 1000 * 1000);
    auto res = c.Get("/query/tel.asp?tel=13800138000");
    return res ? res->status : -1;
  }
  // The status of the first answer to what a fresh connection sends, 0 for none.
  int StatusOf(const std::string& request) {
    Raw raw(port());
    raw.Send(request);
    std::string answer = raw.Read(3000);
    return answer.rfind("HTTP/1.1 ", 0) == 0 ? std::atoi(answer.c_str() + 9) : 0;
  }

 private:
  std::ostringstream log_;
  std::mutex lock_;
  std::vector<std::string> lines_;
  CompanionServer companion_;
  HttpLoopback http_;  // stopped first: its workers write lines_
};

TEST(ServerLimits, HeadsAreBoundedOverHttp) {
  const std::string host = "Host: a\r\n";
  const std::string form = "POST /query/tel.asp HTTP/1.1\r\nHost: a\r\nContent-Type: application/x-www-form-urlencoded\r\n";
  auto body = [](size_t n) { return "tel=13800138000&x=" + std::string(n - 18, 'a'); };
  struct Case {
    std::string request;
    int status;
    const char* why;
  } cases[] = {
      {"GET / HTTP/1.1\r\n" + host + "\r\n", 200, "plain"},
      {"GET / HTTP/1.0\r\n\r\n", 200, "HTTP/1.0 needs no Host"},
      {"\r\n\r\nGET / HTTP/1.1\r\n" + host + "\r\n", 200, "empty lines before the request line"},
      {"GET / HTTP/1.1\r\n" + host + Headers(63, 1) + "\r\n", 200, "64 headers"},
      {"GET / HTTP/1.1\r\n" + host + Headers(64, 1) + "\r\n", 431, "65 headers"},
      {"GET / HTTP/1.1\r\n" + host + "X: " + std::string(8192, 'a') + "\r\n\r\n", 431, "one line over 8 KB"},
      {"GET / HTTP/1.1\r\n" + host + Headers(3, 6000) + "\r\n", 431, "16 KB of headers in all"},
      {"GET /" + std::string(8192, 'a') + " HTTP/1.1\r\n" + host + "\r\n", 414, "request line over 8 KB"},
      {"GET /" + std::string(20000, 'a') + " HTTP/1.1\r\n" + host + "\r\n", 414, "request line over 16 KB"},
      {form + "Content-Length: 16384\r\n\r\n" + body(16384), 200, "body at the limit"},
      {form + "Content-Length: 16385\r\n\r\n" + body(16385), 413, "body over the limit"},
      {form + "Content-Length: 5\r\nContent-Length: 6\r\n\r\ntel=1", 400, "two lengths"},
      {form + "Content-Length: 5x\r\n\r\ntel=1", 400, "length not a number"},
      {form + "Content-Length: 99999999999999999999\r\n\r\n", 400, "length overflowing"},
      {form + "Transfer-Encoding: chunked\r\n\r\n5\r\ntel=1\r\n0\r\n\r\n", 411, "chunked body"},
      {form + "Content-Length: 5\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n", 400, "length and chunked"},
      {"GET / HTTP/1.1\r\n" + host + "X: a\r\n b\r\n\r\n", 400, "folded line"},
      {"GET / HTTP/1.1\r\n" + host + "X Y: a\r\n\r\n", 400, "blank in a name"},
      {"GET / HTTP/1.1\r\n" + host + "no colon\r\n\r\n", 400, "no colon"},
      {"GET / HTTP/1.1\nHost: a\n\n", 400, "bare line feeds"},
      {"GET / HTTP/1.1\r\n\r\n", 400, "HTTP/1.1 without Host"},
      {"GET / HTTP/1.1\r\n" + host + host + "\r\n", 400, "two Host headers"},
  };
  Limited server;
  for (const Case& c : cases) EXPECT_EQ(server.StatusOf(c.request), c.status) << c.why;
  EXPECT_EQ(server.Normal(), 200);
}

TEST(ServerLimits, HeaderFloodIsRefusedWithinBoundedBytes) {
  Limited server;
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
  Limited server;
  struct Case {
    std::string start, drip;
    const char* why;
  } cases[] = {{"GET / HTTP/1.1\r\n", "X-a: b\r\n", "header never ends"},
               {"POST /query/tel.asp HTTP/1.1\r\nHost: a\r\nContent-Length: 1000\r\n\r\n", "t", "body never ends"}};
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

TEST(ServerLimits, PagesWaitingForTheFeedHoldNoIoThread) {
  std::atomic<bool> release{false};
  Limited server(1000, 100, 300, [&release](const std::string&) {
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  });
  // More waiting pages than workers and I/O threads together.
  std::vector<std::thread> pages;
  std::atomic<int> answered{0};
  for (int i = 0; i < 5; ++i)
    pages.emplace_back([&] {
      httplib::Client c("127.0.0.1", server.port());
      c.set_read_timeout(10, 0);
      if (auto res = c.Get("/nmc/citySearch.do?cityid=54511"); res && res->status == 200) ++answered;
    });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(server.Normal(1000), 200);
  EXPECT_EQ(answered, 0);
  release = true;
  for (auto& t : pages) t.join();
  EXPECT_EQ(answered, 5);
}

TEST(ServerLimits, IdleKeepAliveConnectionsHoldNoWorkerAndAreClosed) {
  Limited server(2000);
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
  Limited server(5000, 4, 5000);
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
  // Ten more, each making room: the log counts them once a second, not a
  // line each (the normal request's connection may be one of them).
  for (int i = 0; i < 10; ++i) {
    slow.push_back(std::make_unique<Raw>(server.port()));
    slow.back()->Send("GET / HTTP/1.1\r\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  int closed = 0;
  for (auto& raw : slow) {
    raw->Read(raw->closed() ? 0 : 20, true);
    closed += raw->closed();
  }
  EXPECT_GE(closed, 9);
  int evicted = 0, lines = 0;
  for (auto until = Clock::now() + std::chrono::seconds(3); evicted < closed && Clock::now() < until;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    evicted = lines = 0;
    for (const std::string& line : server.Lines())
      if (line.find("closed in the last second") != std::string::npos) {
        evicted += std::atoi(line.c_str());
        ++lines;
      }
  }
  EXPECT_GE(evicted, closed);
  EXPECT_LE(evicted, closed + 1);
  EXPECT_LE(lines, 3);
}

TEST(ServerLimits, ConnectionsKeepTheProtocol) {
  Limited server;
  std::string thousand;
  for (int i = 0; i < 999; ++i) thousand += "GET / HTTP/1.1\r\nHost: a\r\n\r\n";
  thousand += "GET / HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n";
  struct Case {
    std::string send;
    int answers;  // whole answers on the connection
    bool closes;  // always without a reset
    const char* why;
  } cases[] = {
      {"GET / HTTP/1.1\r\nHost: a\r\n\r\nGET /query/ip.asp HTTP/1.1\r\nHost: a\r\n\r\n", 2, false, "pipelined"},
      {thousand, 1000, true, "1,000 pipelined, the last closing"},
      {"POST /query/tel.asp HTTP/1.1\r\nHost: a\r\nExpect: 100-continue\r\nContent-Length: 15\r\n"
       "Content-Type: application/x-www-form-urlencoded\r\n\r\ntel=13800138000",
       1, false, "expectation"},
      {"GET / HTTP/1.0\r\n\r\n", 1, true, "HTTP/1.0"},
      {"GET / HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n", 1, true, "close asked"},
      {"GET / HTTP/1.1\r\nHost: a\r\nContent-Length: 20000\r\n\r\n", 1, true, "refused body"},
      {"\r\n\r\n", 0, true, "empty lines only: closed when idle, no 408"},
  };
  for (const Case& c : cases) {
    Raw raw(server.port());
    ASSERT_TRUE(raw.Send(c.send)) << c.why;
    std::string got;
    auto answers = [&got] { return Count(got, "HTTP/1.1 ") - Count(got, "HTTP/1.1 100 "); };
    for (auto until = Clock::now() + std::chrono::seconds(20); answers() < c.answers && Clock::now() < until;)
      got += raw.Read(100);
    got += raw.Read(c.closes ? 3000 : 200, true);
    EXPECT_EQ(answers(), c.answers) << c.why << got.substr(0, 200);
    EXPECT_EQ(raw.closed(), c.closes) << c.why;
    EXPECT_FALSE(raw.reset()) << c.why;
  }
}

TEST(ServerLimits, ManyPartRangesGetTheWholeBodyOnce) {
  Limited server;
  httplib::Client c("127.0.0.1", server.port());
  auto whole = c.Get("/weather/UpDate.txt");
  ASSERT_TRUE(whole);
  std::string parts = "bytes=0-0";
  for (int i = 0; i < 1500; ++i) parts += ",0-" + std::to_string(i % 9);
  struct Case {
    httplib::Headers headers;
    int status;
    size_t size;
    const char* why;
  } cases[] = {{{{"Range", "bytes=0-9"}}, 206, 10, "one part"},
               {{{"Range", "bytes=-5"}}, 206, 5, "the last bytes"},
               {{{"Range", "bytes=99999-"}}, 416, 0, "past the end"},
               {{{"Range", parts}}, 200, whole->body.size(), "1500 parts"},
               {{{"Range", "bytes=0-4,5-9"}}, 200, whole->body.size(), "two parts"},
               {{{"Range", "bytes=0-4"}, {"Range", "bytes=5-9"}}, 200, whole->body.size(), "two Range headers"},
               {{{"Range", "bytes=0-" + std::string(9000, '9')}}, 431, 0, "over the line limit"}};
  for (const Case& k : cases) {
    auto res = c.Get("/weather/UpDate.txt", k.headers);
    ASSERT_TRUE(res) << k.why;
    EXPECT_EQ(res->status, k.status) << k.why;
    if (k.size) {
      EXPECT_EQ(res->body.size(), k.size) << k.why;
    }
  }
}

}  // namespace
}  // namespace zel::server::test
