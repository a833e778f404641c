// Version texts are compared as texts: byte by byte by unsigned value, the
// first differing byte decides, and a text that begins the other is the
// smaller. So "10" < "9" and "5.10" < "5.9".
#pragma once

#include <string_view>

namespace zel {

// Negative, zero or positive as a is smaller than, equal to or greater than b.
int CompareVersion(std::string_view a, std::string_view b);

// A data version is a date or a number: 1 to 32 bytes of digits and the
// separators '-', '.' and '/', beginning and ending with a digit.
bool IsDataVersion(std::string_view v);

inline bool IsNewerVersion(std::string_view candidate, std::string_view current) {
  return CompareVersion(candidate, current) > 0;
}

}  // namespace zel
