// Files on Windows: UTF-8 paths as wide strings, replaced with MoveFileExW.
#include "base/files.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>

#include "base/os/files_os.h"
#include "base/os/windows/wide.h"

namespace zel {
namespace {

using os::Wide;

DWORD Attributes(const std::string& path) { return ::GetFileAttributesW(Wide(path).c_str()); }

class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() {
    if (ok()) ::CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool ok() const { return h_ != INVALID_HANDLE_VALUE; }
  void reset(HANDLE h) {
    if (ok()) ::CloseHandle(h_);
    h_ = h;
  }
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

// Others may read, replace or delete a file while we have it open, as on
// POSIX systems.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::string TempNameFor(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  return path + ".tmp" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(counter++);
}

// Writes data to a fresh temporary beside path and returns its name.
bool WriteTemp(const std::string& path, std::string_view data, std::string& tmp) {
  bool ok;
  {
    // A crashed writer whose process id is ours now may have left a
    // temporary of the same name: the next name is taken instead.
    Handle f(INVALID_HANDLE_VALUE);
    for (int tries = 0; tries < 8 && !f.ok(); ++tries) {
      tmp = TempNameFor(path);
      f.reset(::CreateFileW(Wide(tmp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!f.ok() && ::GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (!f.ok()) return false;
    ok = true;
    for (size_t done = 0; ok && done < data.size();) {
      DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1u << 30)), wrote = 0;
      ok = ::WriteFile(f.get(), data.data() + done, chunk, &wrote, nullptr) && wrote > 0;
      done += wrote;
    }
    ok = ok && ::FlushFileBuffers(f.get());
  }
  if (!ok) ::DeleteFileW(Wide(tmp).c_str());
  return ok;
}

}  // namespace

bool FileExists(const std::string& path) {
  DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirExists(const std::string& path) {
  DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateDir(const std::string& path) { return ::CreateDirectoryW(Wide(path).c_str(), nullptr) || DirExists(path); }

bool CopyFile(const std::string& from, const std::string& to) {
  std::string data;
  if (FileExists(to) || !ReadFile(from, data)) return false;
  std::lock_guard<std::mutex> lock(PathLock(to));
  std::string tmp;
  if (!WriteTemp(to, data, tmp)) return false;
  // Without MOVEFILE_REPLACE_EXISTING the move fails when the target
  // exists, so a racing writer is never replaced.
  bool ok = ::MoveFileExW(Wide(tmp).c_str(), Wide(to).c_str(), MOVEFILE_WRITE_THROUGH);
  if (!ok) ::DeleteFileW(Wide(tmp).c_str());
  return ok;
}

void DeleteFile(const std::string& path) { ::DeleteFileW(Wide(path).c_str()); }

bool ReadFile(const std::string& path, std::string& data, size_t maxBytes) {
  Handle f(::CreateFileW(Wide(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                         nullptr));
  // Only files on a disk: not folders (which CreateFileW does not open
  // without backup semantics), pipes or devices.
  if (!f.ok() || ::GetFileType(f.get()) != FILE_TYPE_DISK) return false;
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(f.get(), &size)) return false;
  if (static_cast<unsigned long long>(size.QuadPart) > maxBytes) {
    std::fprintf(stderr, "zelmora: %s is larger than %zu bytes, not read\n", path.c_str(), maxBytes);
    return false;
  }
  data.clear();
  char buf[65536];
  for (;;) {
    DWORD n = 0;
    if (!::ReadFile(f.get(), buf, sizeof buf, &n, nullptr)) return false;
    if (n == 0) break;
    if (data.size() + n > maxBytes) {  // grew while we read
      std::fprintf(stderr, "zelmora: %s is larger than %zu bytes, not read\n", path.c_str(), maxBytes);
      return false;
    }
    data.append(buf, n);
  }
  return true;
}

namespace {

// A reader that did not share delete (a C runtime stream, a virus scanner,
// the search indexer) bars a replace while it has the file open: such
// readers come and go, so the replace is tried for up to a second. A folder
// or a read-only file in the way is refused at once.
bool ReplaceWithRetries(const std::string& tmp, const std::string& path) {
  std::wstring from = Wide(tmp), to = Wide(path);
  for (int tries = 0;; ++tries) {
    if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    DWORD e = ::GetLastError();
    if (tries >= 40 || (e != ERROR_ACCESS_DENIED && e != ERROR_SHARING_VIOLATION && e != ERROR_LOCK_VIOLATION))
      return false;
    DWORD a = Attributes(path);
    if (a != INVALID_FILE_ATTRIBUTES && (a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))) return false;
    ::Sleep(25);
  }
}

}  // namespace

bool WriteFileAtomicLocked(const std::string& path, std::string_view data) {
  std::string tmp;
  if (!WriteTemp(path, data, tmp)) return false;
  if (!ReplaceWithRetries(tmp, path)) {
    ::DeleteFileW(Wide(tmp).c_str());
    return false;
  }
  return true;
}

namespace {

// Calls f(name, attributes, last write) for each entry of dir but . and ..
template <typename F>
void ForEachEntry(const std::string& dir, F f) {
  WIN32_FIND_DATAW e;
  HANDLE h = ::FindFirstFileW(Wide(dir + "*").c_str(), &e);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = os::Narrow(e.cFileName);
    if (name != "." && name != "..") f(name, e.dwFileAttributes, e.ftLastWriteTime);
  } while (::FindNextFileW(h, &e));
  ::FindClose(h);
}

bool ProcessRunning(int64_t pid) {
  HANDLE p = ::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
  if (!p) return ::GetLastError() == ERROR_ACCESS_DENIED;  // there, but not ours
  bool running = ::WaitForSingleObject(p, 0) == WAIT_TIMEOUT;
  ::CloseHandle(p);
  return running;
}

int64_t AgeSeconds(FILETIME written) {
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  auto ticks = [](FILETIME t) { return (static_cast<int64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  return (ticks(now) - ticks(written)) / 10000000;
}

int RemoveTempsIn(const std::string& dir, int depth) {
  if (depth > 8) return 0;
  int removed = 0;
  TextList subdirs;
  ForEachEntry(dir, [&](const std::string& name, DWORD attrs, FILETIME written) {
    // Junctions and symbolic links are not followed.
    if (attrs & FILE_ATTRIBUTE_REPARSE_POINT) return;
    if (attrs & FILE_ATTRIBUTE_DIRECTORY) {
      subdirs.push_back(dir + name + "/");
      return;
    }
    int64_t owner = TempOwner(name);
    if (owner == 0) return;
    if ((!ProcessRunning(owner) || AgeSeconds(written) > 60) && ::DeleteFileW(Wide(dir + name).c_str())) ++removed;
  });
  for (const auto& sub : subdirs) removed += RemoveTempsIn(sub, depth + 1);
  return removed;
}

}  // namespace

TextList ListSubDirs(const std::string& folder) {
  TextList out;
  std::string base = IncludeBackslash(folder);
  ForEachEntry(base, [&](const std::string& name, DWORD, FILETIME) {
    if (!name.empty() && name[0] != '.' && DirExists(base + name)) out.push_back(name);
  });
  std::sort(out.begin(), out.end());
  return out;
}

int RemoveLeftoverTemps(const std::string& folder) { return RemoveTempsIn(IncludeBackslash(folder), 0); }

}  // namespace zel

namespace zel::os {

std::optional<std::string> RealPath(const std::string& path) {
  Handle h(
      ::CreateFileW(Wide(path).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!h.ok()) return std::nullopt;
  wchar_t buf[32768];
  DWORD n = ::GetFinalPathNameByHandleW(h.get(), buf, 32768, FILE_NAME_NORMALIZED);
  if (n == 0 || n >= 32768) return std::nullopt;
  std::wstring_view w(buf, n);
  // The answer is in the \\?\ form: C:\x comes as \\?\C:\x, \\host\x as \\?\UNC\host\x.
  std::string real;
  if (w.starts_with(L"\\\\?\\UNC\\"))
    real = "\\\\" + Narrow(w.substr(8));
  else
    real = Narrow(w.starts_with(L"\\\\?\\") ? w.substr(4) : w);
  std::replace(real.begin(), real.end(), '\\', '/');
  return real;
}

bool IsLink(const std::string& path) {
  DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::optional<uint64_t> RegularFileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA d;
  if (!::GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &d) ||
      (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return std::nullopt;
  return (static_cast<uint64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
}

}  // namespace zel::os
