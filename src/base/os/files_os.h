// What files.cpp needs from the operating system beyond files.h itself
// (whose system-bound functions live in os/<system>/files.cpp).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zel::os {

// The path of a folder or file with links resolved, without a trailing
// separator; nullopt when it does not exist.
std::optional<std::string> RealPath(const std::string& path);
// True when path itself is a link (a symbolic link or, on Windows, any
// reparse point), wherever it leads.
bool IsLink(const std::string& path);
// The size of a regular file (links followed); nullopt for anything else.
std::optional<uint64_t> RegularFileSize(const std::string& path);

}  // namespace zel::os

namespace zel {
// The writer's process id in a temporary's name ("x.tmp<pid>-<n>"), 0 when
// the name is not one.
int64_t TempOwner(const std::string& name);
}  // namespace zel
