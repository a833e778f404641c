#include "base/gbk.h"

#include "base/os/gbk_os.h"

namespace zel {
namespace {

bool Ascii(std::string_view s) {
  bool ascii = true;
  for (char c : s) ascii &= static_cast<unsigned char>(c) < 0x80;
  return ascii;
}

}  // namespace

std::string ToUtf8(std::string_view gbk) {
  if (Ascii(gbk)) return std::string(gbk);
  std::string out;
  os::GbkToUtf8(gbk, out);
  return out;
}

std::string FromUtf8(std::string_view utf8, bool* ok) {
  if (Ascii(utf8)) {
    if (ok) *ok = true;
    return std::string(utf8);
  }
  std::string out;
  bool clean = os::Utf8ToGbk(utf8, out);
  if (ok) *ok = clean;
  return out;
}

std::string G(std::u8string_view utf8) {
  return FromUtf8(std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
}

}  // namespace zel
