// File system services. Every whole-file write is atomic (temporary file,
// then rename) and serialised per path across threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "base/text.h"

#ifdef _WIN32
#include "base/os/windows/names.h"
#endif

namespace zel {

bool FileExists(const std::string& path);
bool DirExists(const std::string& path);
// One level; true when the folder exists afterwards.
bool CreateDir(const std::string& path);

// Copies without replacing: false when the target exists or on any failure.
bool CopyFile(const std::string& from, const std::string& to);
// The file is gone afterwards; failure is ignored.
void DeleteFile(const std::string& path);

// Opening a file without ever waiting on it: a FIFO, device or folder is
// refused (-1, errno EINVAL) instead of blocking the caller. kRead follows
// links, as the user may link a settings file; the write modes never do,
// so a link planted in the folder cannot send a write elsewhere. kWrite
// creates a missing file and never truncates (the caller does, once it
// holds a regular file). The descriptor is close-on-exec and blocking.
// POSIX descriptors so far: only the Linux side opens files this way.
enum class OpenFor { kRead, kReadNoLinks, kWrite };
int OpenRegularFile(const std::string& path, OpenFor how);

// Settings, data, template and cache files are never larger than this; a
// bigger one is refused with a line on stderr.
constexpr size_t kMaxTextFileBytes = 4u << 20;

// Whole file into data; false when it cannot be read, is not a regular file
// (a FIFO or device is never opened for reading, so it cannot hang us) or
// holds more than maxBytes (then with a line on stderr).
bool ReadFile(const std::string& path, std::string& data, size_t maxBytes = SIZE_MAX);
// Replaces the file with data atomically; takes the path's lock.
bool WriteFileAtomic(const std::string& path, std::string_view data);

// The same, for a caller that already holds PathLock(path).
bool WriteFileAtomicLocked(const std::string& path, std::string_view data);

// The lock every reader and writer of path takes. Lives until exit.
std::mutex& PathLock(const std::string& path);

// Names of the sub-folders of folder, without those beginning with '.',
// sorted by name. Files are not listed.
TextList ListSubDirs(const std::string& folder);

// Text lists: a line ends at CR, LF or CR LF; out, every line (the last
// included) ends in CR LF.
TextList SplitLines(std::string_view data);
std::string JoinLines(const TextList& lines);
// The lines of a page over one buffer: the bytes once plus 4 bytes a line
// (a vector of strings costs 32 bytes and an allocation for every empty
// line). Lines end at CR, LF or CR LF, as in SplitLines.
class PageLines {
 public:
  PageLines() = default;
  explicit PageLines(std::string data);
  PageLines(const TextList& lines);  // NOLINT: implicit, for tests and fuzzers
  size_t size() const { return starts_.empty() ? 0 : starts_.size() - 1; }
  bool empty() const { return size() == 0; }
  std::string_view operator[](size_t i) const {
    return std::string_view(data_).substr(starts_[i], starts_[i + 1] - 1 - starts_[i]);
  }

 private:
  std::string data_;              // every line followed by one '\n'
  std::vector<uint32_t> starts_;  // start of each line, then data_.size()
};

// Loads path as a page; the text ends at the first zero byte.
bool LoadPage(const std::string& path, PageLines& page, size_t maxBytes);
// Text from outside ends at its first zero byte.
void EndAtZeroByte(std::string& data);

// Loads path as lines; the text ends at the first zero byte.
bool LoadLines(const std::string& path, TextList& lines, size_t maxBytes = kMaxTextFileBytes);
// The lines a rewrite of path starts from (none for a missing or unreadable
// file); false when the file is there but too big to read, so a rewrite
// would drop everything else it holds.
bool LoadLinesForWrite(const std::string& path, TextList& lines);

// Removes the temporaries that a killed writer left beside its files
// (name + ".tmp<pid>-<n>") anywhere under folder, without following links.
// A temporary of a process still running is kept unless it is older than a
// minute. Returns how many were removed.
int RemoveLeftoverTemps(const std::string& folder);
bool SaveLines(const std::string& path, const TextList& lines);

}  // namespace zel
