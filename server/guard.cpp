#include "server/guard.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace zel::server {
namespace {

using Clock = std::chrono::steady_clock;

// A refused client may still be sending; reading (and dropping) a little
// more before closing lets it see the answer instead of a reset.
constexpr size_t kDrainBytes = 1 << 20;
constexpr auto kDrainTime = std::chrono::seconds(1);

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

const char* Reason(int status) {
  switch (status) {
    case 400:
      return "Bad Request";
    case 408:
      return "Request Timeout";
    case 411:
      return "Length Required";
    case 413:
      return "Payload Too Large";
    case 414:
      return "URI Too Long";
    case 431:
      return "Request Header Fields Too Large";
    default:
      return "Error";
  }
}

void Address(const sockaddr_storage& a, socklen_t len, std::string& ip, int& port) {
  char host[NI_MAXHOST] = "", serv[NI_MAXSERV] = "";
  if (getnameinfo(reinterpret_cast<const sockaddr*>(&a), len, host, sizeof host, serv, sizeof serv,
                  NI_NUMERICHOST | NI_NUMERICSERV) == 0) {
    ip = host;
    port = std::atoi(serv);
  }
}

// One complete request, read from memory; the answer goes to the socket
// within the write time.
class RequestStream : public httplib::Stream {
 public:
  RequestStream(int fd, std::string request, Clock::time_point writeUntil, const std::string& remoteIp, int remotePort,
                const std::string& localIp, int localPort)
      : fd_(fd),
        in_(std::move(request)),
        until_(writeUntil),
        remoteIp_(remoteIp),
        localIp_(localIp),
        remotePort_(remotePort),
        localPort_(localPort) {}

  bool is_readable() const override { return pos_ < in_.size(); }
  bool is_writable() const override { return !failed_ && WaitWritable(); }
  ssize_t read(char* ptr, size_t size) override {
    size_t n = std::min(size, in_.size() - pos_);
    std::memcpy(ptr, in_.data() + pos_, n);
    pos_ += n;
    return ssize_t(n);
  }
  ssize_t write(const char* ptr, size_t size) override {
    size_t done = 0;
    while (!failed_ && done < size) {
      ssize_t n = ::send(fd_, ptr + done, size - done, MSG_NOSIGNAL);
      if (n > 0)
        done += size_t(n);
      else if (n < 0 && errno == EINTR)
        continue;
      else if (!(n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && WaitWritable()))
        failed_ = true;
    }
    return failed_ ? -1 : ssize_t(size);
  }
  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    ip = remoteIp_;
    port = remotePort_;
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    ip = localIp_;
    port = localPort_;
  }
  socket_t socket() const override { return fd_; }
  bool failed() const { return failed_; }

 private:
  bool WaitWritable() const {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until_ - Clock::now()).count();
    if (left <= 0) return false;
    pollfd p{fd_, POLLOUT, 0};
    return ::poll(&p, 1, int(left)) > 0 && !(p.revents & (POLLERR | POLLHUP));
  }

  int fd_;
  std::string in_;
  size_t pos_ = 0;
  Clock::time_point until_;
  const std::string &remoteIp_, &localIp_;
  int remotePort_, localPort_;
  bool failed_ = false;
};

}  // namespace

Head CheckHead(std::string_view head, const GuardLimits& limits) {
  Head h;
  std::vector<std::string_view> lines;
  for (size_t pos = 0; pos < head.size();) {
    size_t end = head.find('\n', pos);
    if (end == std::string_view::npos) end = head.size();
    std::string_view line = head.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos = end + 1;
    if (line.empty()) break;
    lines.push_back(line);
  }
  auto refuse = [&h](int status) {
    h.status = status;
    h.text.clear();
    return h;
  };
  if (lines.empty()) return refuse(400);
  if (lines[0].size() > limits.maxRequestLine) return refuse(414);
  if (head.size() > limits.maxHeaderBytes || lines.size() - 1 > limits.maxHeaders) return refuse(431);
  h.text.reserve(head.size() + 2);
  h.text.append(lines[0]).append("\r\n");
  std::string_view range, length;
  int ranges = 0;
  for (size_t i = 1; i < lines.size(); ++i) {
    std::string_view line = lines[i];
    if (line.size() > limits.maxHeaderLine) return refuse(431);
    size_t colon = line.find(':');
    // Folded lines are obsolete; a name with blanks is how smuggling starts.
    if (colon == 0 || colon == std::string_view::npos || line[0] == ' ' || line[0] == '\t') return refuse(400);
    std::string_view name = line.substr(0, colon), value = Trim(line.substr(colon + 1));
    if (name.find_first_of(" \t") != std::string_view::npos) return refuse(400);
    if (SameText(name, "Content-Length")) {
      if (value.empty() || value.size() > 9 || value.find_first_not_of("0123456789") != std::string_view::npos ||
          (!length.empty() && length != value))
        return refuse(400);
      length = value;
      h.body = std::stoul(std::string(value));
    } else if (SameText(name, "Transfer-Encoding")) {
      return refuse(411);  // every client of ours sends a length
    } else if (SameText(name, "Range")) {
      ++ranges;
      range = value;
      continue;
    } else if (SameText(name, "Expect")) {
      // Answered here before the body is read; httplib must not answer again.
      h.expectContinue = SameText(value, "100-continue");
      continue;
    }
    h.text.append(line).append("\r\n");
  }
  if (h.body > limits.maxBody) return refuse(413);
  // One part at most: many small or overlapping parts would turn a short
  // request into a long answer.
  if (ranges == 1 && range.find(',') == std::string_view::npos) h.text.append("Range: ").append(range).append("\r\n");
  h.text.append("\r\n");
  return h;
}

struct GuardedServer::Conn {
  Conn(int f, std::atomic<size_t>& count) : fd(f), open(count) { ++open; }
  ~Conn() {
    ::close(fd);
    --open;
  }
  int fd;
  std::atomic<size_t>& open;
  std::string remoteIp, localIp;
  int remotePort = 0, localPort = 0;
  std::string in;      // received and not yet handed on
  size_t scanned = 0;  // in[0, scanned) holds no end of head
  size_t headLen = 0;  // length of the current head once complete
  Head head;
  bool started = false;  // a byte of the current request has come
  bool closing = false;  // refused: dropping input until the peer goes
  size_t drained = 0;
  int served = 0;
  Clock::time_point since;  // first byte of the request, or start of the wait
};

GuardedServer::GuardedServer(GuardLimits limits) : limits_(limits) {
  epollFd_ = ::epoll_create1(EPOLL_CLOEXEC);
  wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

GuardedServer::~GuardedServer() {
  if (listenFd_ >= 0) ::close(listenFd_);
  ::close(epollFd_);
  ::close(wakeFd_);
}

int GuardedServer::Bind(const std::string& host, int port) {
  addrinfo hints{}, *found = nullptr;
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  if (::getaddrinfo(host.empty() ? nullptr : host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
    return -1;
  for (addrinfo* a = found; a && listenFd_ < 0; a = a->ai_next) {
    int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    // No SO_REUSEPORT: a second server on a busy port must fail, not quietly
    // take half of the requests.
    int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (::bind(fd, a->ai_addr, a->ai_addrlen) == 0 && ::listen(fd, 1024) == 0)
      listenFd_ = fd;
    else
      ::close(fd);
  }
  ::freeaddrinfo(found);
  if (listenFd_ < 0) return -1;
  sockaddr_storage a{};
  socklen_t len = sizeof a;
  ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &len);
  std::string ip;
  int bound = -1;
  Address(a, len, ip, bound);
  return bound;
}

bool GuardedServer::Listen() {
  if (listenFd_ < 0 || epollFd_ < 0 || wakeFd_ < 0) return false;
  // Connections need descriptors; keep some for data files and the log.
  rlimit files{};
  if (::getrlimit(RLIMIT_NOFILE, &files) == 0) {
    if (files.rlim_cur < files.rlim_max) {
      files.rlim_cur = files.rlim_max;
      ::setrlimit(RLIMIT_NOFILE, &files);
      ::getrlimit(RLIMIT_NOFILE, &files);
    }
    if (files.rlim_cur != RLIM_INFINITY)
      limits_.maxConnections =
          std::min<size_t>(limits_.maxConnections, files.rlim_cur > 128 ? files.rlim_cur - 100 : 28);
  }
  limits_.maxBody = std::min(limits_.maxBody, payload_max_length_);
  epoll_event ev{};
  ev.events = EPOLLIN;
  ev.data.fd = listenFd_;
  ::epoll_ctl(epollFd_, EPOLL_CTL_ADD, listenFd_, &ev);
  ev.data.fd = wakeFd_;
  ::epoll_ctl(epollFd_, EPOLL_CTL_ADD, wakeFd_, &ev);
  running_ = true;
  for (int i = 0; i < std::max(1, limits_.workers); ++i) workers_.emplace_back([this] { Worker(); });
  Reader();
  {
    std::lock_guard<std::mutex> lock(lock_);
    stopping_ = true;
  }
  ready_.notify_all();
  for (auto& w : workers_) w.join();
  workers_.clear();
  jobs_.clear();
  returned_.clear();
  conns_.clear();
  ::close(listenFd_);
  listenFd_ = -1;
  running_ = false;
  return true;
}

void GuardedServer::Stop() {
  stopping_ = true;
  uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

void GuardedServer::Reader() {
  epoll_event events[64];
  while (!stopping_) {
    int n = ::epoll_wait(epollFd_, events, 64, 100);
    for (int i = 0; i < n; ++i) {
      int fd = events[i].data.fd;
      if (fd == listenFd_) {
        Accept();
      } else if (fd == wakeFd_) {
        uint64_t count;
        [[maybe_unused]] ssize_t r = ::read(wakeFd_, &count, sizeof count);
      } else if (size_t(fd) < conns_.size() && conns_[fd]) {
        Input(conns_[fd]);
      }
    }
    std::deque<std::unique_ptr<Conn>> back;
    {
      std::lock_guard<std::mutex> lock(lock_);
      back.swap(returned_);
    }
    for (auto& c : back) {
      int fd = c->fd;
      conns_[fd] = std::move(c);
      Watch(*conns_[fd], EPOLLIN);
      Advance(conns_[fd]);  // a pipelined request may be complete already
    }
    auto now = Clock::now();
    if (now - swept_ < std::chrono::milliseconds(50)) continue;
    swept_ = now;
    for (auto& c : conns_) {
      if (!c) continue;
      if (c->closing) {
        if (now - c->since > kDrainTime) Close(std::move(c));
      } else if (!c->started) {
        if (now - c->since > std::chrono::seconds(keep_alive_timeout_sec_)) Close(std::move(c));
      } else if (!c->headLen && now - c->since > limits_.headerTime) {
        Refuse(*c, 408, "header not complete in time");
      } else if (now - c->since > limits_.requestTime) {
        Refuse(*c, 408, "request not complete in time");
      }
    }
    if (acceptPaused_ && now >= acceptAgain_) {
      epoll_event ev{};
      ev.events = EPOLLIN;
      ev.data.fd = listenFd_;
      ::epoll_ctl(epollFd_, EPOLL_CTL_MOD, listenFd_, &ev);
      acceptPaused_ = false;
    }
  }
}

void GuardedServer::Accept() {
  for (;;) {
    sockaddr_storage a{};
    socklen_t len = sizeof a;
    int fd = ::accept4(listenFd_, reinterpret_cast<sockaddr*>(&a), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
        // Out of descriptors: the listener would wake at once again.
        epoll_event ev{};
        ev.data.fd = listenFd_;
        ::epoll_ctl(epollFd_, EPOLL_CTL_MOD, listenFd_, &ev);
        acceptPaused_ = true;
        acceptAgain_ = Clock::now() + std::chrono::milliseconds(100);
      }
      return;
    }
    if (open_ >= limits_.maxConnections && !Evict()) {
      ::close(fd);
      continue;
    }
    auto c = std::make_unique<Conn>(fd, open_);
    Address(a, len, c->remoteIp, c->remotePort);
    len = sizeof a;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0) Address(a, len, c->localIp, c->localPort);
    int yes = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);  // headers and body leave as two writes
    c->since = Clock::now();
    if (size_t(fd) >= conns_.size()) conns_.resize(size_t(fd) + 1);
    conns_[fd] = std::move(c);
    Watch(*conns_[fd], EPOLLIN);
  }
}

bool GuardedServer::Evict() {
  // The connection waiting longest gives way, so slow clients filling every
  // place cannot keep a new one out.
  std::unique_ptr<Conn>* oldest = nullptr;
  for (auto& c : conns_)
    if (c && !c->closing && (!oldest || c->since < (*oldest)->since)) oldest = &c;
  if (!oldest) return false;
  if (log) log((*oldest)->remoteIp + " closed: connection limit reached, it waited longest");
  Close(std::move(*oldest));
  return true;
}

void GuardedServer::Watch(Conn& c, unsigned events) {
  epoll_event ev{};
  ev.events = events;
  ev.data.fd = c.fd;
  ::epoll_ctl(epollFd_, EPOLL_CTL_ADD, c.fd, &ev);
}

void GuardedServer::Close(std::unique_ptr<Conn> c) { ::epoll_ctl(epollFd_, EPOLL_CTL_DEL, c->fd, nullptr); }

void GuardedServer::Input(std::unique_ptr<Conn>& c) {
  char buf[16 * 1024];
  ssize_t n = ::recv(c->fd, buf, sizeof buf, 0);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
  if (n <= 0) {
    Close(std::move(c));
    return;
  }
  if (c->closing) {
    c->drained += size_t(n);
    if (c->drained > kDrainBytes) Close(std::move(c));
    return;
  }
  c->in.append(buf, size_t(n));
  Advance(c);
}

bool GuardedServer::Advance(std::unique_ptr<Conn>& c) {
  if (c->in.empty()) return true;
  if (!c->started) {
    c->started = true;
    c->since = Clock::now();
  }
  if (!c->headLen) {
    const std::string& in = c->in;
    size_t end = 0;
    for (size_t i = c->scanned > 2 ? c->scanned - 2 : 0; i < in.size() && !end; ++i) {
      if (in[i] != '\n') continue;
      if (i + 1 < in.size() && in[i + 1] == '\n')
        end = i + 2;
      else if (i + 2 < in.size() && in[i + 1] == '\r' && in[i + 2] == '\n')
        end = i + 3;
    }
    if (!end) {
      c->scanned = in.size();
      if (in.find('\n') == std::string::npos && in.size() > limits_.maxRequestLine)
        Refuse(*c, 414, "request line too long");
      else if (in.size() > limits_.maxHeaderBytes)
        Refuse(*c, 431, "header too large");
      return true;
    }
    c->head = CheckHead(std::string_view(in).substr(0, end), limits_);
    if (c->head.status) {
      Refuse(*c, c->head.status, c->head.status == 400 ? "malformed head" : Reason(c->head.status));
      return true;
    }
    c->headLen = end;
    if (c->head.expectContinue && in.size() < end + c->head.body)
      ::send(c->fd, "HTTP/1.1 100 Continue\r\n\r\n", 25, MSG_NOSIGNAL | MSG_DONTWAIT);
  }
  if (c->in.size() < c->headLen + c->head.body) return true;
  ::epoll_ctl(epollFd_, EPOLL_CTL_DEL, c->fd, nullptr);
  {
    std::lock_guard<std::mutex> lock(lock_);
    jobs_.push_back(std::move(c));
  }
  ready_.notify_one();
  return false;
}

void GuardedServer::Refuse(Conn& c, int status, const std::string& why) {
  std::string body = "<html><body><h3>" + std::to_string(status) + " " + Reason(status) + "</h3></body></html>\n";
  std::string answer = "HTTP/1.1 " + std::to_string(status) + " " + Reason(status) +
                       "\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) +
                       "\r\nConnection: close\r\n\r\n" + body;
  ::send(c.fd, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  ::shutdown(c.fd, SHUT_WR);
  c.closing = true;
  c.since = Clock::now();
  std::string().swap(c.in);
  if (log) log(c.remoteIp + " refused " + std::to_string(status) + ": " + why);
}

void GuardedServer::Worker() {
  for (;;) {
    std::unique_ptr<Conn> c;
    {
      std::unique_lock<std::mutex> lock(lock_);
      ready_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      if (jobs_.empty()) return;
      c = std::move(jobs_.front());
      jobs_.pop_front();
    }
    Serve(std::move(c));
  }
}

void GuardedServer::Serve(std::unique_ptr<Conn> c) {
  std::string request = std::move(c->head.text);
  request.append(c->in, c->headLen, c->head.body);
  c->in.erase(0, c->headLen + c->head.body);
  c->head = Head{};
  c->headLen = c->scanned = 0;
  c->started = false;
  bool last = stopping_ || ++c->served >= int(keep_alive_max_count_);
  bool closed = false;
  auto until = Clock::now() + std::chrono::seconds(write_timeout_sec_) + std::chrono::microseconds(write_timeout_usec_);
  RequestStream stream(c->fd, std::move(request), until, c->remoteIp, c->remotePort, c->localIp, c->localPort);
  bool ok = process_request(stream, last, closed, nullptr);
  if (!ok || closed || last || stream.failed()) return;  // c closes the socket
  c->since = Clock::now();
  {
    std::lock_guard<std::mutex> lock(lock_);
    returned_.push_back(std::move(c));
  }
  uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

}  // namespace zel::server
