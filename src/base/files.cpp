#include "base/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <thread>

namespace zel {

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateDir(const std::string& path) {
  return ::mkdir(path.c_str(), 0755) == 0 || DirExists(path);
}

namespace {

bool WriteAll(int fd, std::string_view data) {
  const char* p = data.data();
  size_t left = data.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

std::string TempNameFor(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  return path + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

// Writes data to a fresh temporary beside path and returns its name.
bool WriteTemp(const std::string& path, std::string_view data, std::string& tmp) {
  tmp = TempNameFor(path);
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, data) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (!ok) ::unlink(tmp.c_str());
  return ok;
}

}  // namespace

bool CopyFile(const std::string& from, const std::string& to) {
  std::string data;
  if (FileExists(to) || !ReadFile(from, data)) return false;
  std::lock_guard<std::mutex> lock(PathLock(to));
  std::string tmp;
  if (!WriteTemp(to, data, tmp)) return false;
  // link() fails when the target exists, so a racing writer is never replaced.
  bool ok = ::link(tmp.c_str(), to.c_str()) == 0;
  ::unlink(tmp.c_str());
  return ok;
}

void DeleteFile(const std::string& path) { ::unlink(path.c_str()); }

bool ReadFile(const std::string& path, std::string& data, size_t maxBytes) {
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  if (static_cast<unsigned long long>(st.st_size) > maxBytes) {
    std::fprintf(stderr, "zelmora: %s is larger than %zu bytes, not read\n", path.c_str(), maxBytes);
    ::close(fd);
    return false;
  }
  data.clear();
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    if (data.size() + static_cast<size_t>(n) > maxBytes) {  // grew while we read
      std::fprintf(stderr, "zelmora: %s is larger than %zu bytes, not read\n", path.c_str(), maxBytes);
      ::close(fd);
      return false;
    }
    data.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return true;
}

bool WriteFileAtomic(const std::string& path, std::string_view data) {
  std::lock_guard<std::mutex> lock(PathLock(path));
  return WriteFileAtomicLocked(path, data);
}

bool WriteFileAtomicLocked(const std::string& path, std::string_view data) {
  std::string tmp;
  if (!WriteTemp(path, data, tmp)) return false;
  if (::rename(tmp.c_str(), path.c_str()) != 0) {
    ::unlink(tmp.c_str());
    return false;
  }
  return true;
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
  if (char* real = ::realpath(dir.c_str(), nullptr)) {
    key = std::string(real) + "/" + path.substr(slash == std::string::npos ? 0 : slash + 1);
    ::free(real);
  }
  std::lock_guard<std::mutex> lock(*guard);
  auto& slot = (*locks)[key];
  if (!slot) slot = std::make_unique<std::mutex>();
  return *slot;
}

TextList ListSubDirs(const std::string& folder) {
  TextList out;
  std::string base = IncludeBackslash(folder);
  DIR* dir = ::opendir(base.c_str());
  if (!dir) return out;
  while (dirent* e = ::readdir(dir)) {
    std::string name = e->d_name;
    if (name.empty() || name[0] == '.') continue;
    if (DirExists(base + name)) out.push_back(name);
  }
  ::closedir(dir);
  std::sort(out.begin(), out.end());
  return out;
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
  struct stat st;
  if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
      static_cast<unsigned long long>(st.st_size) > kMaxTextFileBytes) {
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

namespace {

// The pid of a temporary's name ("x.tmp<pid>-<n>"), 0 when it is not one.
pid_t TempOwner(const std::string& name) {
  size_t at = name.rfind(".tmp");
  if (at == std::string::npos || at == 0) return 0;
  size_t i = at + 4, digits = 0;
  long long pid = 0;
  for (; i < name.size() && name[i] >= '0' && name[i] <= '9' && digits < 10; ++i, ++digits)
    pid = pid * 10 + (name[i] - '0');
  if (digits == 0 || i >= name.size() || name[i] != '-' || ++i >= name.size()) return 0;
  for (; i < name.size(); ++i)
    if (name[i] < '0' || name[i] > '9') return 0;
  return pid > 0 && pid <= INT32_MAX ? static_cast<pid_t>(pid) : 0;
}

int RemoveTempsIn(const std::string& dir, int depth) {
  if (depth > 8) return 0;
  DIR* d = ::opendir(dir.c_str());
  if (!d) return 0;
  int removed = 0;
  TextList subdirs;
  while (dirent* e = ::readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    std::string full = dir + name;
    struct stat st;
    if (::lstat(full.c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      subdirs.push_back(full + "/");
      continue;
    }
    pid_t owner = TempOwner(name);
    if (!S_ISREG(st.st_mode) || owner == 0) continue;
    bool ownerGone = ::kill(owner, 0) != 0 && errno == ESRCH;
    bool old = ::time(nullptr) - st.st_mtime > 60;
    if ((ownerGone || old) && ::unlink(full.c_str()) == 0) ++removed;
  }
  ::closedir(d);
  for (const auto& sub : subdirs) removed += RemoveTempsIn(sub, depth + 1);
  return removed;
}

}  // namespace

int RemoveLeftoverTemps(const std::string& folder) { return RemoveTempsIn(IncludeBackslash(folder), 0); }

}  // namespace zel
