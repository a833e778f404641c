#include "base/files.h"

#include <cstdio>
#include <map>
#include <memory>

#include "base/os/files_os.h"

namespace zel {

bool WriteFileAtomic(const std::string& path, std::string_view data) {
  std::lock_guard<std::mutex> lock(PathLock(path));
  return WriteFileAtomicLocked(path, data);
}

std::mutex& PathLock(const std::string& path) {
  // Leaked on purpose: detached workers may hold a lock while the process exits.
  static auto* guard = new std::mutex;
  static auto* locks = new std::map<std::string, std::unique_ptr<std::mutex>>;
  // Key on the real folder plus the name, so a file has one lock before and
  // after it exists.
  std::string key = path;
  size_t slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  if (auto real = os::RealPath(dir)) key = *real + "/" + path.substr(slash == std::string::npos ? 0 : slash + 1);
  std::lock_guard<std::mutex> lock(*guard);
  auto& slot = (*locks)[key];
  if (!slot) slot = std::make_unique<std::mutex>();
  return *slot;
}

TextList SplitLines(std::string_view data) {
  TextList out;
  size_t start = 0, i = 0;
  while (i < data.size()) {
    char c = data[i];
    if (c == '\r' || c == '\n') {
      out.emplace_back(data.substr(start, i - start));
      if (c == '\r' && i + 1 < data.size() && data[i + 1] == '\n') ++i;
      start = ++i;
    } else {
      ++i;
    }
  }
  if (start < data.size()) out.emplace_back(data.substr(start));
  return out;
}

std::string JoinLines(const TextList& lines) {
  std::string out;
  size_t n = 0;
  for (const auto& l : lines) n += l.size() + 2;
  out.reserve(n);
  for (const auto& l : lines) out.append(l).append("\r\n");
  return out;
}

bool LoadLines(const std::string& path, TextList& lines, size_t maxBytes) {
  std::string data;
  if (!ReadFile(path, data, maxBytes)) return false;
  EndAtZeroByte(data);
  lines = SplitLines(data);
  return true;
}

bool LoadLinesForWrite(const std::string& path, TextList& lines) {
  if (auto size = os::RegularFileSize(path); size && *size > kMaxTextFileBytes) {
    std::fprintf(stderr, "zelmora: %s is larger than %zu bytes, not written\n", path.c_str(), kMaxTextFileBytes);
    return false;
  }
  lines.clear();
  LoadLines(path, lines);
  return true;
}

PageLines::PageLines(std::string data) : data_(std::move(data)) {
  // Every terminator becomes one '\n', in place; the count comes first so
  // the starts are allocated once.
  size_t out = 0, lines = 0;
  for (size_t i = 0; i < data_.size(); ++i) {
    char c = data_[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < data_.size() && data_[i + 1] == '\n') ++i;
      c = '\n';
      ++lines;
    }
    data_[out++] = c;
  }
  data_.resize(out);
  if (!data_.empty() && data_.back() != '\n') {
    data_.push_back('\n');
    ++lines;
  }
  data_.shrink_to_fit();
  if (data_.size() > UINT32_MAX) {  // far beyond any page we download
    data_.clear();
    return;
  }
  starts_.reserve(lines + 1);
  starts_.push_back(0);
  for (size_t i = 0; i < data_.size(); ++i)
    if (data_[i] == '\n') starts_.push_back(static_cast<uint32_t>(i + 1));
}

PageLines::PageLines(const TextList& lines) : PageLines(JoinLines(lines)) {}

bool LoadPage(const std::string& path, PageLines& page, size_t maxBytes) {
  std::string data;
  if (!ReadFile(path, data, maxBytes)) return false;
  EndAtZeroByte(data);
  page = PageLines(std::move(data));
  return true;
}

void EndAtZeroByte(std::string& data) {
  size_t nul = data.find('\0');
  if (nul != std::string::npos) data.resize(nul);
}

bool SaveLines(const std::string& path, const TextList& lines) { return WriteFileAtomic(path, JoinLines(lines)); }

// The pid of a temporary's name ("x.tmp<pid>-<n>"), 0 when it is not one.
int64_t TempOwner(const std::string& name) {
  size_t at = name.rfind(".tmp");
  if (at == std::string::npos || at == 0) return 0;
  size_t i = at + 4, digits = 0;
  long long pid = 0;
  for (; i < name.size() && name[i] >= '0' && name[i] <= '9' && digits < 10; ++i, ++digits)
    pid = pid * 10 + (name[i] - '0');
  if (digits == 0 || i >= name.size() || name[i] != '-' || ++i >= name.size()) return 0;
  for (; i < name.size(); ++i)
    if (name[i] < '0' || name[i] > '9') return 0;
  return pid > 0 && pid <= INT32_MAX ? pid : 0;
}

}  // namespace zel
