// Connections and the listener on Boost.Beast over Boost.Asio. The only
// file that includes them: they are slow to compile.
#include "server/http.h"

#include <algorithm>
#include <boost/asio/dispatch.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/thread_pool.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/string.hpp>
#include <boost/beast/http.hpp>
#include <list>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>

namespace zel::server {
namespace {

namespace net = boost::asio;
namespace http = boost::beast::http;
using tcp = net::ip::tcp;
using boost::system::error_code;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A refused client may still be sending; reading (and dropping) a little
// more before closing lets it see the answer instead of a reset.
constexpr size_t kDrainBytes = 1 << 20;
constexpr milliseconds kDrainTime{1000};
constexpr size_t kReadChunk = 16 * 1024;
// Holds a head, a body and a read beyond them; both are bounded below it.
constexpr size_t kBufferMax = 64 * 1024;
constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";

class Connection;

// What every connection shares: settings, the waiting list, the counts.
struct Core {
  Core(HttpServer& s, const HttpLimits& l) : server(s), limits(l), pool(size_t(std::max(1, l.workers))) {}

  // Off the I/O threads: a slow log never holds a connection up.
  void Log(std::string line) {
    net::post(pool, [this, line = std::move(line)] {
      if (server.log) server.log(line);
    });
  }
  void Accept();
  bool EvictOldest();
  void LogEvictions();

  HttpServer& server;
  const HttpLimits& limits;
  std::atomic<size_t> open{0}, evicted{0};
  std::atomic<bool> stopping{false};
  // Connections waiting for (the rest of) a request, longest waiting first;
  // the oldest is found without a scan.
  std::mutex waitingLock;
  std::list<Connection*> waiting;
  // Declared after what connections use, so it goes first.
  net::io_context ioc;
  tcp::acceptor acceptor{ioc};
  net::steady_timer retry{ioc}, evictionLog{ioc};
  net::thread_pool pool;
};

class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(Core& core, tcp::socket socket)
      : core_(core), limits_(core.limits), socket_(std::move(socket)), timer_(socket_.get_executor()), buffer_(kBufferMax) {
    ++core_.open;
  }
  ~Connection() {
    Untouch();
    Uncount();
  }

  // On the connection's own strand from here on.
  void Begin() {
    net::dispatch(socket_.get_executor(), [self = shared_from_this()] { self->Start(); });
  }

 private:
  void Start() {
    error_code ec;
    socket_.set_option(tcp::no_delay(true), ec);
    if (auto r = socket_.remote_endpoint(ec); !ec) {
      remoteIp_ = r.address().to_string();
      remotePort_ = r.port();
    }
    if (auto l = socket_.local_endpoint(ec); !ec) {
      localIp_ = l.address().to_string();
      localPort_ = l.port();
    }
    WaitForRequest();
  }

 public:
  // From the listener's thread: the connection was taken off the waiting
  // list to make room.
  void Evict() {
    Uncount();
    net::post(socket_.get_executor(), [self = shared_from_this()] { self->Close(); });
  }

  void Uncount() {
    if (counted_.exchange(false)) --core_.open;
  }

  // Under the core's waiting lock.
  bool listed_ = false;
  std::list<Connection*>::iterator pos_;

 private:
  enum class Phase { Idle, Head, Body, Busy, Writing, Closing };

  void WaitForRequest() {
    phase_ = Phase::Idle;
    headUsed_ = 0;
    parser_.emplace();
    parser_->header_limit(uint32_t(limits_.maxHeaderBytes));
    parser_->body_limit(limits_.maxBody);
    Touch();
    Arm(limits_.keepAlive);
    Continue();
  }

  void Read() {
    size_t room = buffer_.max_size() - buffer_.size();
    if (room == 0) return Refuse(431, "header too large");
    socket_.async_read_some(buffer_.prepare(std::min(room, kReadChunk)),
                            [self = shared_from_this()](error_code ec, size_t n) { self->OnRead(ec, n); });
  }

  void OnRead(error_code ec, size_t n) {
    if (closed_) return;
    if (ec) {
      if (expired_ && phase_ == Phase::Head) return Refuse(408, "header not complete in time");
      return Close();
    }
    buffer_.commit(n);
    Continue();
  }

  std::string_view Buffered() const {
    auto b = buffer_.data();
    return {static_cast<const char*>(b.data()), b.size()};
  }

  void Continue() {
    if (phase_ == Phase::Idle) {
      // Empty lines before a request line are ignored; they do not start
      // the request's clock either.
      std::string_view in = Buffered();
      size_t blank = 0;
      while (blank < in.size() && (in[blank] == '\r' || in[blank] == '\n')) ++blank;
      buffer_.consume(blank);
      if (buffer_.size() == 0) return Read();
      phase_ = Phase::Head;
      started_ = Clock::now();
      Touch();
      Arm(limits_.headerTime);
    }
    error_code ec;
    size_t used = parser_->put(buffer_.data(), ec);
    std::string_view seen = Buffered().substr(0, used);
    // A folded line is read by some as a new header and by others as part
    // of the one before: the shape smuggling starts from.
    bool folded = seen.find("\n ") != std::string_view::npos || seen.find("\n\t") != std::string_view::npos;
    buffer_.consume(used);
    headUsed_ += used;
    if (folded) return Refuse(400, "folded header line");
    // The parser bounds what it holds at once; the head in all is counted
    // here, however its lines came.
    bool tooLarge = ec == http::error::header_limit ||
                    (ec == http::error::need_more && headUsed_ + buffer_.size() >= limits_.maxHeaderBytes);
    if (tooLarge) {
      bool lineTooLong = headUsed_ == 0 || parser_->get().target().size() > limits_.maxRequestLine;
      return lineTooLong ? Refuse(414, "request line too long") : Refuse(431, "header too large");
    }
    if (ec == http::error::need_more) return Read();
    if (ec == http::error::body_limit) return Refuse(413, "body too large");
    if (ec) return Refuse(400, "malformed head (" + ec.message() + ")");
    std::string why;
    if (int status = CheckHead(why)) return Refuse(status, why);
    if (parser_->is_done()) return Serve();
    phase_ = Phase::Body;
    Arm(std::max(milliseconds(1), limits_.requestTime - std::chrono::duration_cast<milliseconds>(Clock::now() - started_)));
    const auto& m = parser_->get();
    if (boost::beast::iequals(m[http::field::expect], "100-continue") && m.version() == 11 &&
        buffer_.size() < parser_->content_length().value_or(0)) {
      net::async_write(socket_, net::buffer(kContinue.data(), kContinue.size()),
                       [self = shared_from_this()](error_code ec, size_t) {
                         if (self->closed_) return;
                         if (ec) return self->Close();
                         self->ReadBody();
                       });
      return;
    }
    ReadBody();
  }

  // What the parser accepts but these limits do not; 0 when fine.
  int CheckHead(std::string& why) {
    const auto& m = parser_->get();
    if (m.method_string().size() + m.target().size() + 11 > limits_.maxRequestLine) {
      why = "request line too long";
      return 414;
    }
    size_t count = 0;
    for (const auto& f : m) {
      ++count;
      if (f.name_string().size() + f.value().size() + 2 > limits_.maxHeaderLine) {
        why = "header line too long";
        return 431;
      }
    }
    if (count > limits_.maxHeaders) {
      why = "too many headers";
      return 431;
    }
    // Every client of ours sends a length.
    if (m.count(http::field::transfer_encoding)) {
      why = "body without a length";
      return 411;
    }
    size_t hosts = m.count(http::field::host);
    if (hosts > 1 || (hosts == 0 && m.version() == 11)) {
      why = hosts ? "more than one Host header" : "no Host header";
      return 400;
    }
    return 0;
  }

  void ReadBody() {
    http::async_read(socket_, buffer_, *parser_, [self = shared_from_this()](error_code ec, size_t) {
      if (self->closed_) return;
      if (!ec) return self->Serve();
      if (self->expired_) return self->Refuse(408, "request not complete in time");
      if (ec == http::error::body_limit) return self->Refuse(413, "body too large");
      self->Close();
    });
  }

  void Serve() {
    phase_ = Phase::Busy;
    Untouch();
    Disarm();
    auto msg = parser_->release();
    keepAlive_ = msg.keep_alive();
    HttpRequest req;
    req.method = std::string(msg.method_string());
    req.target = std::string(msg.target());
    req.version = msg.version() == 10 ? 10 : 11;
    for (const auto& f : msg) req.headers.emplace_back(std::string(f.name_string()), std::string(f.value()));
    req.body = std::move(msg.body());
    req.remote_addr = remoteIp_;
    req.remote_port = remotePort_;
    req.local_addr = localIp_;
    req.local_port = localPort_;
    SplitTarget(req);
    if (req.method == "POST") AddFormParams(req);
    if (!core_.server.RunsOnWorker(req)) {
      HttpResponse res = core_.server.Answer(req);
      return Write(std::move(res), req.method == "HEAD");
    }
    net::post(core_.pool, [self = shared_from_this(), req = std::move(req)]() mutable {
      HttpResponse res = self->core_.server.Answer(req);
      bool head = req.method == "HEAD";
      net::post(self->socket_.get_executor(),
                [self, res = std::move(res), head]() mutable { self->Write(std::move(res), head); });
    });
  }

  void Write(HttpResponse res, bool head) {
    if (closed_) return;
    out_ = {};
    out_.version(11);  // what the server speaks, whatever the request's
    out_.result(unsigned(res.status));
    for (const auto& [name, value] : res.headers) out_.set(name, value);
    out_.keep_alive(keepAlive_ && !core_.stopping);
    size_t size = res.body.size();
    if (!head) out_.body() = std::move(res.body);
    out_.content_length(size);
    phase_ = Phase::Writing;
    Arm(limits_.writeTime);
    http::async_write(socket_, out_, [self = shared_from_this()](error_code ec, size_t) {
      if (self->closed_) return;
      if (ec) return self->Close();
      if (self->keepAlive_ && !self->core_.stopping) return self->WaitForRequest();
      self->Finish();
    });
  }

  void Refuse(int status, const std::string& why) {
    core_.Log(remoteIp_ + " refused " + std::to_string(status) + ": " + why);
    phase_ = Phase::Busy;
    Untouch();
    keepAlive_ = false;
    HttpResponse res(status);
    res.set_content(ErrorPage(status), "text/html");
    Write(std::move(res), false);
  }

  // The answer is out; what the client still sends is dropped for a while.
  void Finish() {
    phase_ = Phase::Closing;
    Untouch();
    error_code ec;
    socket_.shutdown(tcp::socket::shutdown_send, ec);
    drained_ = 0;
    Arm(kDrainTime);
    Drain();
  }

  void Drain() {
    buffer_.clear();
    socket_.async_read_some(buffer_.prepare(kReadChunk), [self = shared_from_this()](error_code ec, size_t n) {
      if (self->closed_) return;
      self->drained_ += n;
      if (ec || self->drained_ > kDrainBytes) return self->Close();
      self->Drain();
    });
  }

  void Close() {
    if (closed_) return;
    closed_ = true;
    Untouch();
    Uncount();
    Disarm();
    error_code ec;
    socket_.close(ec);
  }

  void Arm(milliseconds d) {
    expired_ = false;
    unsigned gen = ++gen_;
    timer_.expires_after(d);
    timer_.async_wait([self = shared_from_this(), gen](error_code ec) {
      if (!ec && gen == self->gen_ && !self->closed_) self->Expired();
    });
  }

  void Disarm() {
    ++gen_;
    timer_.cancel();
  }

  void Expired() {
    if (phase_ == Phase::Head || phase_ == Phase::Body) {
      // The read in flight ends with an error, and its handler answers 408.
      expired_ = true;
      error_code ec;
      socket_.cancel(ec);
    } else {
      Close();  // idle too long, an answer not taken, or the drain is over
    }
  }

  void Touch() {
    std::lock_guard<std::mutex> lock(core_.waitingLock);
    if (listed_) core_.waiting.erase(pos_);
    pos_ = core_.waiting.insert(core_.waiting.end(), this);
    listed_ = true;
  }

  void Untouch() {
    std::lock_guard<std::mutex> lock(core_.waitingLock);
    if (listed_) core_.waiting.erase(pos_);
    listed_ = false;
  }

  Core& core_;
  const HttpLimits& limits_;
  tcp::socket socket_;
  net::steady_timer timer_;
  boost::beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::string_body>> parser_;
  http::response<http::string_body> out_;
  Phase phase_ = Phase::Idle;
  unsigned gen_ = 0;
  bool expired_ = false, closed_ = false, keepAlive_ = false;
  std::atomic<bool> counted_{true};
  size_t headUsed_ = 0, drained_ = 0;
  Clock::time_point started_;
  std::string remoteIp_, localIp_;
  int remotePort_ = 0, localPort_ = 0;
};

void Core::Accept() {
  acceptor.async_accept(net::make_strand(ioc), [this](error_code ec, tcp::socket socket) {
    if (ec == net::error::operation_aborted || stopping) return;
    if (ec) {
      // Out of descriptors, most likely: the listener would fail again at once.
      retry.expires_after(milliseconds(100));
      retry.async_wait([this](error_code e) {
        if (!e) Accept();
      });
      return;
    }
    if (open >= limits.maxConnections && !EvictOldest()) {
      error_code ignored;
      socket.close(ignored);
    } else {
      std::make_shared<Connection>(*this, std::move(socket))->Begin();
    }
    Accept();
  });
}

bool Core::EvictOldest() {
  std::shared_ptr<Connection> victim;
  {
    std::lock_guard<std::mutex> lock(waitingLock);
    while (!victim && !waiting.empty()) {
      Connection* c = waiting.front();
      waiting.pop_front();
      c->listed_ = false;
      victim = c->weak_from_this().lock();  // null when it is going anyway
    }
  }
  if (!victim) return false;
  ++evicted;
  victim->Evict();
  return true;
}

void Core::LogEvictions() {
  evictionLog.expires_after(milliseconds(1000));
  evictionLog.async_wait([this](error_code ec) {
    if (ec) return;
    if (size_t n = evicted.exchange(0))
      Log(std::to_string(n) + " connection(s) closed in the last second at the limit of " +
          std::to_string(limits.maxConnections) + ", the longest waiting first");
    LogEvictions();
  });
}

}  // namespace

struct HttpServer::Impl {
  Impl(HttpServer& s, const HttpLimits& l) : core(s, l) {}
  Core core;
};

HttpServer::HttpServer(HttpLimits limits) : limits_(limits), impl_(std::make_unique<Impl>(*this, limits_)) {}

HttpServer::~HttpServer() { Stop(); }

int HttpServer::Bind(const std::string& host, int port) {
  Core& c = impl_->core;
  error_code ec;
  tcp::resolver resolver(c.ioc);
  auto found = resolver.resolve(host.empty() ? "0.0.0.0" : host, std::to_string(port),
                                tcp::resolver::passive | tcp::resolver::numeric_service, ec);
  if (ec) return -1;
  for (const auto& entry : found) {
    c.acceptor.open(entry.endpoint().protocol(), ec);
    if (ec) continue;
#ifdef _WIN32
    // There SO_REUSEADDR would let a second server take the port; exclusive
    // use makes it fail instead.
    c.acceptor.set_option(net::detail::socket_option::boolean<SOL_SOCKET, SO_EXCLUSIVEADDRUSE>(true), ec);
#else
    // Only a port in TIME_WAIT may be taken again; a busy one still fails.
    c.acceptor.set_option(tcp::acceptor::reuse_address(true), ec);
#endif
    c.acceptor.bind(entry.endpoint(), ec);
    if (!ec) c.acceptor.listen(net::socket_base::max_listen_connections, ec);
    if (!ec) return c.acceptor.local_endpoint().port();
    error_code ignored;
    c.acceptor.close(ignored);
  }
  return -1;
}

bool HttpServer::Listen() {
  Core& c = impl_->core;
  if (!c.acceptor.is_open()) return false;
  running_ = true;
  c.Accept();
  c.LogEvictions();
  int n = limits_.ioThreads > 0 ? limits_.ioThreads : int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
  std::vector<std::thread> threads;
  for (int i = 1; i < n; ++i) threads.emplace_back([&c] { c.ioc.run(); });
  c.ioc.run();
  for (auto& t : threads) t.join();
  error_code ignored;
  c.acceptor.close(ignored);
  c.pool.join();
  running_ = false;
  return true;
}

void HttpServer::Stop() {
  impl_->core.stopping = true;
  impl_->core.ioc.stop();
}

size_t HttpServer::Connections() const { return impl_->core.open; }

}  // namespace zel::server
