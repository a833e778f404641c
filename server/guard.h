// The server's own accept path. httplib's listener gives every open
// connection a pool thread and reads headers without bound, so slow, idle
// or flooding clients could hold every thread or grow the process without
// limit. Here one poll thread reads each request until it is complete and
// within bounds; only then does a worker run it through httplib's request
// handling, and a keep-alive connection goes back to the poll thread.
#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace zel::server {

struct GuardLimits {
  size_t maxRequestLine = 8 * 1024;   // 414 beyond
  size_t maxHeaderLine = 8 * 1024;    // 431 beyond
  size_t maxHeaderBytes = 16 * 1024;  // request line and headers; 431 beyond
  size_t maxHeaders = 64;             // 431 beyond
  size_t maxBody = 16 * 1024;         // 413 beyond; payload_max_length lowers it
  // From a request's first byte: its header, then the whole request.
  std::chrono::milliseconds headerTime{4000};
  std::chrono::milliseconds requestTime{8000};
  // Lowered to fit the process's file limit; a new connection beyond it
  // closes the one that has waited longest.
  size_t maxConnections = 4000;
  int workers = 32;
  // Between requests a connection holds no thread and waits at most the
  // keep-alive timeout; answers are written within the write timeout; the
  // keep-alive count holds too: those three come from httplib's settings.
};

// One request head as received (up to and including its blank line).
struct Head {
  int status = 0;    // 0 when acceptable, else the answer to refuse it with
  std::string text;  // the head handed on: CRLF lines, Range reduced
  size_t body = 0;   // Content-Length
  bool expectContinue = false;
};
// Checks a complete head against the limits. A Range of more than one part
// is dropped, so the answer is the whole body once.
Head CheckHead(std::string_view head, const GuardLimits& limits);

class GuardedServer : public httplib::Server {
 public:
  explicit GuardedServer(GuardLimits limits = {});
  ~GuardedServer() override;

  // The bound port (the free one for port 0), or -1.
  int Bind(const std::string& host, int port);
  // Serves until Stop(); false when not bound.
  bool Listen();
  void Stop();
  bool IsRunning() const { return running_; }
  // Connections refused or closed by a limit, for the log; may be empty.
  std::function<void(const std::string&)> log;
  // Open connections right now (tests and the log).
  size_t Connections() const { return open_; }

 private:
  struct Conn;
  void Reader();
  void Worker();
  void Accept();
  bool Evict();
  void Input(std::unique_ptr<Conn>& c);
  // Hands a complete request to the workers, refuses a bad one, or waits.
  bool Advance(std::unique_ptr<Conn>& c);
  void Refuse(Conn& c, int status, const std::string& why);
  void Watch(Conn& c, unsigned events);
  void Close(std::unique_ptr<Conn> c);
  void Serve(std::unique_ptr<Conn> c);

  GuardLimits limits_;
  int listenFd_ = -1, epollFd_ = -1, wakeFd_ = -1;
  std::atomic<bool> running_{false}, stopping_{false};
  std::atomic<size_t> open_{0};
  bool acceptPaused_ = false;
  std::chrono::steady_clock::time_point acceptAgain_, swept_;
  std::vector<std::unique_ptr<Conn>> conns_;  // by fd; reader thread only

  std::mutex lock_;
  std::condition_variable ready_;
  std::deque<std::unique_ptr<Conn>> jobs_;      // complete requests for workers
  std::deque<std::unique_ptr<Conn>> returned_;  // kept-alive, back to the reader
  std::vector<std::thread> workers_;
};

}  // namespace zel::server
