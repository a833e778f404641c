// Downloads over libcurl: http and https only, time-outs, redirects followed,
// an HTTP error status is a failure, a size cap, and the target is written
// only when the body is complete.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "base/text.h"

namespace zel {

struct DownloadLimits {
  long connectTimeoutMs = 5000;
  long totalTimeoutMs = 20000;
  // Aborts a transfer that moves fewer than 1 byte a second for this long.
  long stallTimeoutMs = 10000;
  size_t maxBytes = 8u << 20;
  long maxRedirects = 5;
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

// DownloadFile, then the file's lines (a zero byte ends the text) replace
// lines. On failure lines is left alone.
bool DownloadToList(const std::string& url, const std::string& path, TextList& lines);

// True for addresses beginning "http://" or "https://" (any letter case).
bool IsWebAddress(const std::string& url);

}  // namespace zel
