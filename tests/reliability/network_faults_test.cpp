// Every network fault ends within the download time-out and the source
// falls back to its cache file.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "base/download.h"
#include "support/raw_socket.h"
#include "support/testutil.h"
#include "weather/cache.h"
#include "weather/sources.h"
#include "weather/status.h"

using namespace zel;
using Clock = std::chrono::steady_clock;

namespace {

enum class Fault { kRefused, kSilent, kTrickle, k404, k500, kTruncated, kRedirectLoop, kHuge };

// A raw TCP server on 127.0.0.1 that misbehaves in one way.
class FaultServer {
 public:
  explicit FaultServer(Fault f) : fault_(f) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&one), sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    if (f == Fault::kRefused) {
      test::CloseSocket(fd_);  // nobody listens on the port any more
      fd_ = test::kNoSocket;
      return;
    }
    ::listen(fd_, 16);
    thread_ = std::thread([this] { Serve(); });
  }
  ~FaultServer() {
    stop_ = true;
    if (fd_ != test::kNoSocket) ::shutdown(fd_, test::kShutBoth), test::CloseSocket(fd_);
    if (thread_.joinable()) thread_.join();
    for (auto& t : conns_) t.join();
  }
  std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }

 private:
  void Serve() {
    for (;;) {
      test::Socket c = ::accept(fd_, nullptr, nullptr);
      if (c == test::kNoSocket || stop_) {
        if (c != test::kNoSocket) test::CloseSocket(c);
        return;
      }
      conns_.emplace_back([this, c] { Answer(c); test::CloseSocket(c); });
    }
  }
  bool Send(test::Socket c, const std::string& s) { return test::SendAll(c, s.data(), s.size()); }
  void Answer(test::Socket c) {
    char buf[4096];
    ::recv(c, buf, sizeof buf, 0);
    switch (fault_) {
      case Fault::kSilent:
        while (!stop_) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        break;
      case Fault::kTrickle:
        Send(c, "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
        while (!stop_ && Send(c, "x")) std::this_thread::sleep_for(std::chrono::seconds(1));
        break;
      case Fault::k404:
        Send(c, "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found");
        break;
      case Fault::k500:
        Send(c, "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 5\r\n\r\nerror");
        break;
      case Fault::kTruncated:
        Send(c, "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n" + std::string(300, 'x'));
        break;
      case Fault::kRedirectLoop:
        Send(c, "HTTP/1.1 302 Found\r\nLocation: /again\r\nContent-Length: 0\r\n\r\n");
        break;
      case Fault::kHuge: {
        Send(c, "HTTP/1.1 200 OK\r\nContent-Length: 52428800\r\n\r\n");
        std::string chunk(64 * 1024, 'x');
        for (size_t sent = 0; sent < 50u << 20 && !stop_ && Send(c, chunk); sent += chunk.size()) {
        }
        break;
      }
      case Fault::kRefused:
        break;
    }
  }

  Fault fault_;
  test::Socket fd_ = test::kNoSocket;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::vector<std::thread> conns_;
};

struct Case {
  Fault fault;
  const char* name;
};

class NetworkFaults : public ::testing::TestWithParam<Case> {};

// Short limits keep the suite quick; ZEL_FAULT_DEFAULT_LIMITS=1 measures the
// shipped ones.
DownloadLimits TestLimits() {
  if (std::getenv("ZEL_FAULT_DEFAULT_LIMITS")) return DownloadLimits{};
  DownloadLimits l;
  l.connectTimeoutMs = 1000;
  l.totalTimeoutMs = 3000;
  l.stallTimeoutMs = 2000;
  return l;
}

}  // namespace

TEST_P(NetworkFaults, QueryEndsWithinTheTimeOutAndFallsBackToTheCache) {
  test::AppFolder app;
  FaultServer server(GetParam().fault);
  app.UseServer(server.base());
  DownloadLimits limits = TestLimits();
  SetDownloadLimits(limits);
  TextList cached(16, G(u8"晴"));
  ASSERT_TRUE(SaveCacheFile(CacheFileName("CC", "54511"), cached));

  TWeatherCC cc;
  cc.CityID = "54511";
  cc.TempFile = app.path() + "Download/ForeCast.dat";
  auto start = Clock::now();
  std::string record = cc.GetForeCast();
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  SetDownloadLimits(DownloadLimits{});

  std::printf("[ fault    ] %-14s answered in %.2f s\n", GetParam().name, seconds);
  EXPECT_LE(seconds, (limits.totalTimeoutMs + limits.connectTimeoutMs) / 1000.0 + 1.0);
  EXPECT_EQ(record, JoinRecord(cached)) << "the last good record comes from the cache";
  EXPECT_EQ(StatusText, G(u8"完成，未更新！"));
  EXPECT_FALSE(app.Exists("Download/ForeCast.dat")) << "the temporary file never survives the call";
}

INSTANTIATE_TEST_SUITE_P(Faults, NetworkFaults,
                         ::testing::Values(Case{Fault::kRefused, "refused"}, Case{Fault::kSilent, "never-answers"},
                                           Case{Fault::kTrickle, "trickle"}, Case{Fault::k404, "404"},
                                           Case{Fault::k500, "500"}, Case{Fault::kTruncated, "truncated"},
                                           Case{Fault::kRedirectLoop, "redirect-loop"}, Case{Fault::kHuge, "50MB"}),
                         [](const auto& info) {
                           std::string n = info.param.name;
                           for (char& c : n)
                             if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                           return n;
                         });

namespace {

// Serves the fixture pages of station 54511 and any icon, each body dripped
// out over `dripMs`: every download stays just inside its own limits.
class DripServer {
 public:
  explicit DripServer(long dripMs) : dripMs_(dripMs) {
    srv_.http().Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
      std::string body;
      if (req.path.rfind("/forecast/image/icons/", 0) == 0) {
        body = "GIF89a";
      } else {
        auto it = pages_.find(req.target);
        if (it == pages_.end()) it = pages_.find(req.path);
        if (it == pages_.end()) {
          res.status = 404;
          return;
        }
        body = it->second;
      }
      auto shared = std::make_shared<std::string>(std::move(body));
      const size_t steps = 10;
      res.set_content_provider(shared->size(), "text/html",
                               [this, shared, steps](size_t offset, size_t, httplib::DataSink& sink) {
                                 std::this_thread::sleep_for(std::chrono::milliseconds(dripMs_ / steps));
                                 size_t piece = std::max<size_t>(1, shared->size() / steps);
                                 piece = std::min(piece, shared->size() - offset);
                                 return sink.write(shared->data() + offset, piece);
                               });
    });
    for (const auto& [target, file] : std::map<std::string, std::string>{
             {"/forecast/qushi.jsp?sta_id=54511", "cn_trend.htm"},
             {"/cgi-bin/region?PRG=citybild&CONT=cncn&CREG=hkch&WMO=54511&LAND=CI&LANG=cn",
              "online_frame_forecast.htm"},
             {"/online/fc/54511.htm", "online_forecast.htm"}})
      pages_[target] = test::ReadAll(std::string(ZEL_TEST_DATA) + "/weather/" + file);
    srv_.Start();
  }
  std::string base() const { return srv_.base(); }

 private:
  long dripMs_;
  std::map<std::string, std::string> pages_;  // written before the server starts
  test::LoopbackServer srv_;
};

// A fetch of Beijing's page by a fresh source into a temporary file.
template <class S, std::string (S::*Get)()>
std::string Fetch(const std::string& temp) {
  S s;
  s.CityID = "54511";
  s.TempFile = temp;
  return (s.*Get)();
}

}  // namespace

// A page and its icons, or a frame page and its inner page, each just inside
// its own download limits, still end the query by the one deadline.
TEST(QueryDeadline, SlowPagesAndIconsEndByOneDeadline) {
  DownloadLimits limits = TestLimits();
  if (!std::getenv("ZEL_FAULT_DEFAULT_LIMITS")) limits.queryDeadlineMs = 2000;
  const long drip = limits.totalTimeoutMs * 9 / 10;
  struct Case {
    const char* name;
    const char* cachePrefix;
    size_t fields;
    std::string (*run)(const std::string& temp);
  } cases[] = {
      {"cn-trend+icons", "CNTrend", 35, Fetch<TWeatherCN, &TWeatherCN::GetTrend>},
      {"online-frame+inner", "Online", 18, Fetch<TWeatherOnline, &TWeatherOnline::GetForeCast>},
  };
  for (const auto& c : cases) {
    test::AppFolder app;
    std::filesystem::create_directory(app.path() + "images");
    DripServer server(drip);
    app.UseServer(server.base());
    SetDownloadLimits(limits);
    ASSERT_TRUE(SaveCacheFile(CacheFileName(c.cachePrefix, "54511"), TextList(c.fields, "x")));
    auto start = Clock::now();
    std::string record = c.run(app.path() + "Download/ForeCast.dat");
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    SetDownloadLimits(DownloadLimits{});
    std::printf("[ deadline ] %-20s answered in %.2f s (deadline %.1f s)\n", c.name, seconds,
                limits.queryDeadlineMs / 1000.0);
    EXPECT_LE(seconds, limits.queryDeadlineMs / 1000.0 + 0.5) << c.name;
    EXPECT_FALSE(record.empty()) << c.name << ": a fresh page or the cache answers";
  }
}
