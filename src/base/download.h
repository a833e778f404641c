// Downloads over libcurl: http and https only, time-outs, redirects followed
// on the same host and port only, an HTTP error status is a failure, a size
// cap, and the target is written only when the body is complete.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "base/files.h"
#include "base/text.h"

namespace zel {

struct DownloadLimits {
  long connectTimeoutMs = 5000;
  long totalTimeoutMs = 20000;
  // Aborts a transfer that moves fewer than 1 byte a second for this long.
  long stallTimeoutMs = 10000;
  size_t maxBytes = 8u << 20;
  long maxRedirects = 5;
  // One deadline for a whole query (every download in a QueryDeadline scope).
  long queryDeadlineMs = 20000;
};

// While one lives on a thread, every download of that thread ends by the
// same moment: a query of several pages cannot add up their time-outs.
// Scopes nest; an inner one never moves the deadline later.
class QueryDeadline {
 public:
  QueryDeadline();  // the process-wide limits' queryDeadlineMs from now
  explicit QueryDeadline(long ms);
  ~QueryDeadline();
  QueryDeadline(const QueryDeadline&) = delete;
  QueryDeadline& operator=(const QueryDeadline&) = delete;

 private:
  long long saved_;
};

// Process-wide limits used when a call passes none (tests shorten them).
DownloadLimits GetDownloadLimits();
void SetDownloadLimits(const DownloadLimits& limits);

// True when url was fetched completely into path (replacing it atomically).
// On any failure path is left as it was. Never throws.
bool DownloadFile(const std::string& url, const std::string& path);
bool DownloadFile(const std::string& url, const std::string& path, const DownloadLimits& limits);

// The body as text; nullopt on failure.
std::optional<std::string> DownloadText(const std::string& url);
std::optional<std::string> DownloadText(const std::string& url, const DownloadLimits& limits);

// The body as a page held compactly (what the weather parsers read; a zero
// byte ends the text), with the current limits. On failure page is left alone.
bool DownloadToPage(const std::string& url, PageLines& page);

// Called with the address before every download (the window makes one to a
// server it is starting wait for it). Set before any download starts.
void SetBeforeDownload(std::function<void(const std::string& url)> fn);

// True for addresses beginning "http://" or "https://" (any letter case).
bool IsWebAddress(const std::string& url);

// True when both addresses parse and name the same scheme, host and port.
// Redirects are followed only when this holds for the address asked for.
bool SameOrigin(const std::string& a, const std::string& b);

}  // namespace zel
