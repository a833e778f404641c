#include "server/feed/http_client.h"

#include <curl/curl.h>

#include <algorithm>
#include <mutex>

#include "base/download.h"
#include "base/text.h"

namespace zel::server::feed {
namespace {

constexpr size_t kMaxDateHeader = 64;
constexpr int kMaxRedirects = 3;

struct Transfer {
  HttpAnswer* out;
  size_t cap;
  const std::atomic<bool>* abort;
  bool overflow = false;
};

size_t OnBody(char* data, size_t size, size_t n, void* user) {
  auto* t = static_cast<Transfer*>(user);
  size_t len = size * n;
  if (t->out->body.size() + len > t->cap) {
    t->overflow = true;
    return 0;
  }
  t->out->body.append(data, len);
  return len;
}

size_t OnHeader(char* data, size_t size, size_t n, void* user) {
  auto* t = static_cast<Transfer*>(user);
  std::string line(data, size * n);
  size_t colon = line.find(':');
  if (colon == std::string::npos) {
    // A new status line (after a redirect): forget the earlier headers.
    if (line.rfind("HTTP/", 0) == 0) t->out->lastModified = t->out->expires = t->out->date = t->out->retryAfter = "";
    return size * n;
  }
  std::string name = line.substr(0, colon);
  for (char& c : name) c = char(std::tolower(static_cast<unsigned char>(c)));
  std::string value = Trim(line.substr(colon + 1));
  // Dates are short printable text; anything else is not kept, so it can
  // neither grow the state nor go back out in a request header.
  if (!UsableDateHeader(value)) value.clear();
  if (name == "last-modified")
    t->out->lastModified = value;
  else if (name == "expires")
    t->out->expires = value;
  else if (name == "date")
    t->out->date = value;
  else if (name == "retry-after")
    t->out->retryAfter = value;
  return size * n;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto* t = static_cast<Transfer*>(user);
  return t->abort && t->abort->load() ? 1 : 0;
}

}  // namespace

HttpAnswer HttpGet(const HttpRequest& req, const std::atomic<bool>* abort) {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  HttpAnswer out;
  std::string at = req.url;
  // Redirects one hop at a time, each to the host and port asked only: an
  // answer from anywhere else is never taken for the provider's.
  for (int hop = 0;; ++hop) {
    out = HttpAnswer{};
    CURL* curl = curl_easy_init();
    if (!curl) {
      out.error = "no curl handle";
      return out;
    }
    Transfer t{&out, req.maxBytes, abort};
    curl_slist* headers = nullptr;
    if (!req.ifModifiedSince.empty())
      headers = curl_slist_append(headers, ("If-Modified-Since: " + req.ifModifiedSince).c_str());
    curl_easy_setopt(curl, CURLOPT_URL, at.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, req.connectTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, req.totalTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "gzip, deflate");
    curl_easy_setopt(curl, CURLOPT_USERAGENT, req.userAgent.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &t);
    CURLcode rc = curl_easy_perform(curl);
    std::string next;
    if (rc == CURLE_OK) {
      curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &out.status);
      char* location = nullptr;
      if (out.status >= 300 && out.status <= 399 && curl_easy_getinfo(curl, CURLINFO_REDIRECT_URL, &location) == CURLE_OK &&
          location)
        next = location;
    } else {
      out.status = 0;
      out.body.clear();
      out.error = t.overflow ? "answer too large" : curl_easy_strerror(rc);
    }
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    if (next.empty()) return out;
    out.body.clear();
    if (!SameOrigin(req.url, next)) {
      out.error = "redirect to another host refused";
      out.status = 0;
      return out;
    }
    if (hop == kMaxRedirects) {
      out.error = "too many redirects";
      out.status = 0;
      return out;
    }
    at = next;
  }
}

bool UsableDateHeader(const std::string& value) {
  return value.size() <= kMaxDateHeader &&
         std::none_of(value.begin(), value.end(), [](char c) { return c < 0x20 || c > 0x7e; });
}

long long HttpDate(const std::string& text) {
  if (text.empty()) return -1;
  time_t t = curl_getdate(text.c_str(), nullptr);
  return t < 0 ? -1 : (long long)t;
}

}  // namespace zel::server::feed
