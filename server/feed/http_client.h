// The feed's HTTP GET over libcurl: request headers (User-Agent,
// If-Modified-Since), gzip accepted, the answer's caching headers (short
// printable dates only), redirects within the host and port asked, and an
// abort flag checked while the transfer runs.
#pragma once

#include <atomic>
#include <string>
#include <vector>

namespace zel::server::feed {

struct HttpAnswer {
  long status = 0;  // 0: no answer (error says why)
  std::string body;
  std::string lastModified, expires, date, retryAfter;
  std::string error;
};

struct HttpRequest {
  std::string url;
  std::string userAgent;
  std::string ifModifiedSince;  // sent as it is when not empty
  long connectTimeoutMs = 5000;
  long totalTimeoutMs = 30000;
  // Real answers are well under 1 MB (100 locations, a week, hourly); the
  // whole answer is parsed in memory, so the cap bounds the feed's memory.
  size_t maxBytes = 8u << 20;
};

HttpAnswer HttpGet(const HttpRequest& req, const std::atomic<bool>* abort = nullptr);

// A date header's value worth keeping or sending back: short printable text.
bool UsableDateHeader(const std::string& value);

// Seconds since the epoch of an HTTP date; -1 when it does not read.
long long HttpDate(const std::string& text);

}  // namespace zel::server::feed
