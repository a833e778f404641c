#include "update/version.h"

#include <algorithm>

namespace zel {

int CompareVersion(std::string_view a, std::string_view b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool IsDataVersion(std::string_view v) {
  if (v.empty() || v.size() > 32) return false;
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (!digit(v.front()) || !digit(v.back())) return false;
  for (char c : v)
    if (!digit(c) && c != '-' && c != '.' && c != '/') return false;
  return true;
}

}  // namespace zel
