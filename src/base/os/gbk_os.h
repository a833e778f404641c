// The system's half of the GBK crossings (gbk.h). Both directions convert
// the whole input, replacing each unit the other side cannot hold, and
// return false when anything was replaced; the units skipped are the same
// on every system (the rules below).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zel::os {

bool GbkToUtf8(std::string_view gbk, std::string& out);   // replacement U+FFFD
bool Utf8ToGbk(std::string_view utf8, std::string& out);  // replacement '?'

// How many bytes a unit that cannot be converted takes, at the start of rest.
inline size_t SkipGbk(std::string_view rest) {
  unsigned char c = static_cast<unsigned char>(rest[0]);
  // A lead byte with a plausible trail is dropped with its trail.
  if (c >= 0x81 && c <= 0xFE && rest.size() >= 2 && static_cast<unsigned char>(rest[1]) >= 0x40) return 2;
  return 1;
}

inline size_t SkipUtf8(std::string_view rest) {
  unsigned char c = static_cast<unsigned char>(rest[0]);
  size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
  // Only skip continuation bytes that are really there.
  size_t i = 1;
  while (i < n && i < rest.size() && (static_cast<unsigned char>(rest[i]) & 0xC0) == 0x80) ++i;
  return i;
}

}  // namespace zel::os
