#include "base/download.h"

#include <curl/curl.h>

#include <mutex>

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

std::optional<std::string> Fetch(const std::string& url, const DownloadLimits& lim) {
  if (!IsWebAddress(url)) return std::nullopt;
  GlobalInit();
  CURL* curl = curl_easy_init();
  if (!curl) return std::nullopt;
  Sink sink{{}, lim.maxBytes};
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, lim.maxRedirects);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, lim.connectTimeoutMs);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, lim.totalTimeoutMs);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, std::max(1L, lim.stallTimeoutMs / 1000));
  curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(lim.maxBytes));
  curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
  curl_easy_setopt(curl, CURLOPT_USERAGENT, "Zelmora/5.9");
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnData);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
  CURLcode rc = curl_easy_perform(curl);
  curl_easy_cleanup(curl);
  if (rc != CURLE_OK || sink.overflow) return std::nullopt;
  return std::move(sink.body);
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

bool DownloadToList(const std::string& url, const std::string& path, TextList& lines) {
  if (!DownloadFile(url, path)) return false;
  TextList loaded;
  if (!LoadLines(path, loaded)) return false;
  lines = std::move(loaded);
  return true;
}

}  // namespace zel
