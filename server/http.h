// The server's HTTP layer: requests, answers, routes and the listener.
// Connections are served asynchronously by a few I/O threads (an idle,
// slow or half-sent connection holds no thread); complete requests run on
// a pool of workers, since a page may wait on the forecast feed. Only
// http.cpp sees the networking library.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <utility>
#include <vector>

namespace zel::server {

struct HttpLimits {
  size_t maxRequestLine = 8 * 1024;   // 414 beyond
  size_t maxHeaderLine = 8 * 1024;    // 431 beyond
  size_t maxHeaderBytes = 16 * 1024;  // request line and headers; 431 beyond
  size_t maxHeaders = 64;             // 431 beyond
  size_t maxBody = 16 * 1024;         // 413 beyond
  // From a request's first byte: its head, then the whole request (408).
  std::chrono::milliseconds headerTime{4000};
  std::chrono::milliseconds requestTime{8000};
  // A connection waiting for its next request is closed after this.
  std::chrono::milliseconds keepAlive{2000};
  // An answer not written by then closes the connection.
  std::chrono::milliseconds writeTime{5000};
  // A new connection beyond this closes the one that has waited longest.
  size_t maxConnections = 4000;
  int workers = 32;    // threads running complete requests
  int ioThreads = 0;   // 0: one per core, at most 4
};

// A request as the handlers see it; member names follow the handlers' long
// habit. The path is decoded; params hold the query and a form body.
struct HttpRequest {
  std::string method, target, path, body;
  int version = 11;  // 10 or 11
  std::vector<std::pair<std::string, std::string>> headers;
  std::multimap<std::string, std::string> params;
  std::vector<std::string> matches;  // the route's pattern groups, [0] the path
  std::string remote_addr, local_addr;
  int remote_port = 0, local_port = 0;

  bool has_param(const std::string& name) const { return params.count(name) > 0; }
  std::string get_param_value(const std::string& name) const;
  // Every value of a header, names compared without case.
  std::vector<std::string> HeaderValues(const std::string& name) const;
};

struct HttpResponse {
  HttpResponse() = default;
  explicit HttpResponse(int s) : status(s) {}

  int status = 200;
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;  // Content-Type among them

  void set_content(std::string content, const std::string& type);
  void set_header(const std::string& name, const std::string& value);
};

using HttpHandler = std::function<void(const HttpRequest&, HttpResponse&)>;

// Where a handler runs: on a worker (it may wait, e.g. for the feed), or at
// once on the connection's I/O thread (it answers from memory and never
// waits; saves two thread hand-overs a request).
enum class HttpRun { OnWorker, AtOnce };

// Routes by method and a pattern matched against the whole decoded path.
class HttpRouter {
 public:
  void Get(const std::string& pattern, HttpHandler h, HttpRun run = HttpRun::OnWorker);  // HEAD too
  void Post(const std::string& pattern, HttpHandler h, HttpRun run = HttpRun::OnWorker);
  // After each answer was made (workers' threads).
  std::function<void(const HttpRequest&, const HttpResponse&)> logger;
  // A handler threw; the client gets 500.
  std::function<void(const HttpRequest&, const std::string& what)> onException;

  // The answer to a complete request: route, handler, a single byte range,
  // a small page for an error without a body.
  HttpResponse Answer(HttpRequest& req) const;
  // Whether the request's handler may wait (or no route takes it).
  bool RunsOnWorker(const HttpRequest& req) const;

 private:
  struct Route {
    std::string method;
    std::regex pattern;
    HttpHandler handler;
    HttpRun run;
  };
  const Route* Find(const HttpRequest& req, std::smatch* m) const;
  std::vector<Route> routes_;
};

// Splits a request target into the decoded path and the query's params.
void SplitTarget(HttpRequest& req);
// A form body (name=value&..., percent-encoded) into params.
void AddFormParams(HttpRequest& req);
const char* StatusText(int status);
// The page sent with an error status that has no body of its own.
std::string ErrorPage(int status);

class HttpServer : public HttpRouter {
 public:
  explicit HttpServer(HttpLimits limits = {});
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // The bound port (the free one for port 0), or -1.
  int Bind(const std::string& host, int port);
  // Serves until Stop(); false when not bound.
  bool Listen();
  // Any thread, also before Listen() runs.
  void Stop();
  bool IsRunning() const { return running_; }
  // Refusals and connections closed at the limit, for the log.
  std::function<void(const std::string&)> log;
  // Open connections right now.
  size_t Connections() const;
  const HttpLimits& limits() const { return limits_; }

 private:
  struct Impl;
  HttpLimits limits_;
  std::atomic<bool> running_{false};
  std::unique_ptr<Impl> impl_;
};

}  // namespace zel::server
