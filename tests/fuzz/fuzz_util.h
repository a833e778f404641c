// Helpers shared by the fuzz targets.
#pragma once

#ifdef _WIN32
#include <process.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

#include "base/appenv.h"

namespace zel::fuzz {

// One scratch application folder per process, created on first use.
inline const std::string& ScratchApp() {
  static const std::string dir = [] {
#ifdef _WIN32
    // No mkdtemp: named after the process, unique while it runs.
    auto p = std::filesystem::temp_directory_path() / ("zelfuzz-" + std::to_string(::_getpid()));
    std::filesystem::create_directories(p / "Download");
    std::string d = p.generic_string() + "/";
#else
    // Memory-backed when possible: many targets write a file per input.
    char tmpl[] = "/dev/shm/zelfuzz-XXXXXX";
    if (::access("/dev/shm", W_OK) != 0) std::strcpy(tmpl, "/tmp/zelfuzz-XXXXXX");
    std::string d = ::mkdtemp(tmpl) ? std::string(tmpl) + "/" : std::string("/tmp/");
    ::mkdir((d + "Download").c_str(), 0755);
#endif
    SetAppPath(d);
    return d;
  }();
  return dir;
}

// Splits the input in two at the first NUL (or the middle).
inline std::pair<std::string, std::string> TwoParts(const uint8_t* data, size_t size) {
  std::string s(reinterpret_cast<const char*>(data), size);
  size_t cut = s.find('\0');
  if (cut == std::string::npos) cut = size / 2;
  return {s.substr(0, cut), cut < size ? s.substr(cut + 1) : std::string()};
}

}  // namespace zel::fuzz
