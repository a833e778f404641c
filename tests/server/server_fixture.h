// One companion server on a loopback port for a test binary, on the data
// the build generated and the shipped catalogue, icons and publication.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "server/companion.h"
#include "server/http.h"
#include "support/testutil.h"

namespace zel::server::test {

using zel::test::G;
using zel::test::U;

inline std::string S(const char8_t* utf8) { return reinterpret_cast<const char*>(utf8); }

inline ServerOptions TestOptions() {
  ServerOptions o;
  o.dataDir = std::string(ZEL_APP_DIR) + "/serverdata/";
  o.publicationDir = std::string(ZEL_SOURCE_DIR) + "/server/publication/";
  o.stationsFile = std::string(ZEL_SOURCE_DIR) + "/data/Weather.ini";
  o.imagesDir = std::string(ZEL_SOURCE_DIR) + "/data/images/";
  o.feed = "demo";  // a station without a record shows labelled demo figures
  return o;
}

// The server's HTTP layer on a free loopback port, served on its own thread
// until the object goes.
class HttpLoopback {
 public:
  explicit HttpLoopback(HttpLimits limits = {}) : server_(limits) {}
  ~HttpLoopback() {
    server_.Stop();
    if (thread_.joinable()) thread_.join();
  }
  HttpServer& http() { return server_; }
  void Start() {
    port_ = server_.Bind("127.0.0.1", 0);
    thread_ = std::thread([this] { server_.Listen(); });
    while (!server_.IsRunning()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  int port() const { return port_; }
  std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }

 private:
  HttpServer server_;
  std::thread thread_;
  int port_ = -1;
};

// Started once, lives until the process ends (requests may still be in
// flight on pool threads while gtest tears down).
class SharedServer {
 public:
  static SharedServer& Get() {
    static SharedServer* s = new SharedServer(TestOptions());
    return *s;
  }
  CompanionServer& companion() { return companion_; }
  std::string base() const { return http_.base(); }
  std::unique_ptr<httplib::Client> Client() const {
    auto c = std::make_unique<httplib::Client>("127.0.0.1", http_.port());
    c->set_read_timeout(10, 0);
    return c;
  }

 private:
  explicit SharedServer(ServerOptions o) : companion_(std::move(o), log_) {
    companion_.Load();
    companion_.Mount(http_.http());
    http_.Start();
  }
  std::ostringstream log_;
  CompanionServer companion_;
  HttpLoopback http_;
};

// What a browser's innerText gives for the answer region: the lookup pages
// keep their answers in inline text, so removing tags and decoding the few
// entities the pages use is enough.
inline std::string RenderedText(const std::string& html) {
  std::string out;
  bool inTag = false;
  for (size_t i = 0; i < html.size(); ++i) {
    char c = html[i];
    if (inTag) {
      inTag = c != '>';
      continue;
    }
    if (c == '<') {
      inTag = true;
      continue;
    }
    if (c == '&') {
      static const std::pair<const char*, char> kEntities[] = {{"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&quot;", '"'}};
      bool done = false;
      for (auto [name, ch] : kEntities) {
        if (html.compare(i, std::strlen(name), name) == 0) {
          out += ch;
          i += std::strlen(name) - 1;
          done = true;
          break;
        }
      }
      if (done) continue;
    }
    out += c;
  }
  return out;
}

}  // namespace zel::server::test
