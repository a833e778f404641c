#include "base/download.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <mutex>

#include "base/appenv.h"
#include "base/files.h"

namespace zel {
namespace {

// Never destroyed, like every value a detached worker may read at exit.
std::mutex& g_limitsLock = *new std::mutex;
DownloadLimits& g_limits = *new DownloadLimits;

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Sink {
  std::string body;
  size_t cap;
  bool overflow = false;
};

size_t OnData(char* data, size_t size, size_t n, void* user) {
  auto* sink = static_cast<Sink*>(user);
  size_t len = size * n;
  if (sink->body.size() + len > sink->cap) {
    sink->overflow = true;
    return 0;  // aborts the transfer
  }
  sink->body.append(data, len);
  return len;
}

using Clock = std::chrono::steady_clock;

// Milliseconds since the clock's epoch; 0 means no deadline.
thread_local long long t_deadline = 0;

long long NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}

struct Curl {
  CURL* h = curl_easy_init();
  ~Curl() {
    if (h) curl_easy_cleanup(h);
  }
};

std::function<void(const std::string&)> g_beforeDownload;

std::optional<std::string> Fetch(const std::string& url, const DownloadLimits& lim) {
  if (!IsWebAddress(url)) return std::nullopt;
  if (g_beforeDownload) g_beforeDownload(url);
  GlobalInit();
  // This download's own limit, cut short by the query's deadline.
  long long end = NowMs() + lim.totalTimeoutMs;
  if (t_deadline != 0) end = std::min(end, t_deadline);
  std::string at = url;
  // Redirects are followed here, one hop at a time, so each can be checked.
  for (long hop = 0; hop <= lim.maxRedirects; ++hop) {
    long long left = end - NowMs();
    if (left <= 0) return std::nullopt;
    Curl curl;
    if (!curl.h) return std::nullopt;
    Sink sink{{}, lim.maxBytes};
    curl_easy_setopt(curl.h, CURLOPT_URL, at.c_str());
    curl_easy_setopt(curl.h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl.h, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl.h, CURLOPT_CONNECTTIMEOUT_MS,
                     std::max(1L, std::min(lim.connectTimeoutMs, static_cast<long>(left))));
    curl_easy_setopt(curl.h, CURLOPT_TIMEOUT_MS, static_cast<long>(left));
    curl_easy_setopt(curl.h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl.h, CURLOPT_LOW_SPEED_TIME, std::max(1L, lim.stallTimeoutMs / 1000));
    curl_easy_setopt(curl.h, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(curl.h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl.h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(lim.maxBytes));
    curl_easy_setopt(curl.h, CURLOPT_ACCEPT_ENCODING, "");
    static const std::string agent = std::string("Zelmora/") + kVersion;
    curl_easy_setopt(curl.h, CURLOPT_USERAGENT, agent.c_str());
    curl_easy_setopt(curl.h, CURLOPT_WRITEFUNCTION, OnData);
    curl_easy_setopt(curl.h, CURLOPT_WRITEDATA, &sink);
    CURLcode rc = curl_easy_perform(curl.h);
    if (rc != CURLE_OK || sink.overflow) return std::nullopt;
    long status = 0;
    curl_easy_getinfo(curl.h, CURLINFO_RESPONSE_CODE, &status);
    if (status < 300 || status > 399) return std::move(sink.body);
    char* next = nullptr;
    curl_easy_getinfo(curl.h, CURLINFO_REDIRECT_URL, &next);
    // A page may not send us to another host (or port) than the one asked.
    if (!next || !SameOrigin(url, next)) return std::nullopt;
    at = next;
  }
  return std::nullopt;  // too many redirects
}

// scheme://host:port, lower case, with the scheme's default port filled in.
std::optional<std::string> Origin(const std::string& address) {
  CURLU* u = curl_url();
  if (!u) return std::nullopt;
  std::optional<std::string> out;
  if (curl_url_set(u, CURLUPART_URL, address.c_str(), 0) == CURLUE_OK) {
    char *scheme = nullptr, *host = nullptr, *port = nullptr;
    if (curl_url_get(u, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
        curl_url_get(u, CURLUPART_HOST, &host, 0) == CURLUE_OK &&
        curl_url_get(u, CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) == CURLUE_OK)
      out = FoldCase(scheme) + "://" + FoldCase(host) + ":" + port;
    curl_free(scheme);
    curl_free(host);
    curl_free(port);
  }
  curl_url_cleanup(u);
  return out;
}

}  // namespace

DownloadLimits GetDownloadLimits() {
  std::lock_guard<std::mutex> lock(g_limitsLock);
  return g_limits;
}

void SetDownloadLimits(const DownloadLimits& limits) {
  std::lock_guard<std::mutex> lock(g_limitsLock);
  g_limits = limits;
}

QueryDeadline::QueryDeadline() : QueryDeadline(GetDownloadLimits().queryDeadlineMs) {}

QueryDeadline::QueryDeadline(long ms) : saved_(t_deadline) {
  long long end = NowMs() + ms;
  if (t_deadline == 0 || end < t_deadline) t_deadline = end;
}

QueryDeadline::~QueryDeadline() { t_deadline = saved_; }

bool SameOrigin(const std::string& a, const std::string& b) {
  auto x = Origin(a), y = Origin(b);
  return x && y && *x == *y;
}

void SetBeforeDownload(std::function<void(const std::string& url)> fn) { g_beforeDownload = std::move(fn); }

bool IsWebAddress(const std::string& url) {
  std::string head = FoldCase(url.substr(0, 8));
  return head.rfind("http://", 0) == 0 || head.rfind("https://", 0) == 0;
}

std::optional<std::string> DownloadText(const std::string& url) { return Fetch(url, GetDownloadLimits()); }
std::optional<std::string> DownloadText(const std::string& url, const DownloadLimits& limits) {
  return Fetch(url, limits);
}

bool DownloadFile(const std::string& url, const std::string& path) {
  return DownloadFile(url, path, GetDownloadLimits());
}

bool DownloadFile(const std::string& url, const std::string& path, const DownloadLimits& limits) {
  auto body = Fetch(url, limits);
  return body && WriteFileAtomic(path, *body);
}

bool DownloadToPage(const std::string& url, PageLines& page) {
  auto body = Fetch(url, GetDownloadLimits());
  if (!body) return false;
  EndAtZeroByte(*body);
  page = PageLines(std::move(*body));
  return true;
}

}  // namespace zel
