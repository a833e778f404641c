// Files on a POSIX system: paths are the file system's bytes.
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
#include <cstdlib>
#include <ctime>

#include "base/os/files_os.h"

namespace zel {

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateDir(const std::string& path) { return ::mkdir(path.c_str(), 0755) == 0 || DirExists(path); }

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
  // A crashed writer whose process id is ours now may have left a
  // temporary of the same name: the next name is taken instead.
  int fd = -1;
  for (int tries = 0; tries < 8 && fd < 0; ++tries) {
    tmp = TempNameFor(path);
    fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0 && errno != EEXIST) break;
  }
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

int OpenRegularFile(const std::string& path, OpenFor how) {
  // O_NONBLOCK: opening a FIFO would otherwise wait for its other end.
  int flags = O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
  if (how == OpenFor::kWrite) flags |= O_RDWR | O_CREAT;
  if (how != OpenFor::kRead) flags |= O_NOFOLLOW;
  int fd = ::open(path.c_str(), flags, 0644);
  if (fd < 0) return -1;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    errno = EINVAL;
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

bool ReadFile(const std::string& path, std::string& data, size_t maxBytes) {
  int fd = OpenRegularFile(path, OpenFor::kRead);
  if (fd < 0) return false;
  struct stat st;
  if (::fstat(fd, &st) != 0) {
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

bool WriteFileAtomicLocked(const std::string& path, std::string_view data) {
  std::string tmp;
  if (!WriteTemp(path, data, tmp)) return false;
  if (::rename(tmp.c_str(), path.c_str()) != 0) {
    ::unlink(tmp.c_str());
    return false;
  }
  return true;
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

namespace {

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
    pid_t owner = static_cast<pid_t>(TempOwner(name));
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

namespace zel::os {

std::optional<std::string> RealPath(const std::string& path) {
  char* real = ::realpath(path.c_str(), nullptr);
  if (!real) return std::nullopt;
  std::string out = real;
  ::free(real);
  return out;
}

bool IsLink(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

std::optional<uint64_t> RegularFileSize(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<uint64_t>(st.st_size);
}

}  // namespace zel::os
