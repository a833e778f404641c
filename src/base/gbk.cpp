#include "base/gbk.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace zel {
namespace {

// iconv descriptors are not thread-safe; one pair per thread.
struct Converter {
  iconv_t cd;
  Converter(const char* to, const char* from) : cd(iconv_open(to, from)) {
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
  }
  ~Converter() { iconv_close(cd); }
};

// Converts in, replacing each unconvertible input unit with repl and
// skipping `skip(in)` bytes of it. Returns false when anything was replaced.
template <typename SkipFn>
bool Convert(iconv_t cd, std::string_view in, std::string& out, std::string_view repl, SkipFn skip) {
  bool clean = true;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  out.clear();
  out.reserve(in.size() * 3 / 2 + 8);
  char buf[4096];
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  while (srcLeft > 0) {
    char* dst = buf;
    size_t dstLeft = sizeof buf;
    size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    out.append(buf, dst - buf);
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      clean = false;
      out.append(repl);
      size_t n = skip(std::string_view(src, srcLeft));
      src += n;
      srcLeft -= n;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  return clean;
}

size_t SkipGbk(std::string_view rest) {
  unsigned char c = static_cast<unsigned char>(rest[0]);
  // A lead byte with a plausible trail is dropped with its trail.
  if (c >= 0x81 && c <= 0xFE && rest.size() >= 2 && static_cast<unsigned char>(rest[1]) >= 0x40) return 2;
  return 1;
}

size_t SkipUtf8(std::string_view rest) {
  unsigned char c = static_cast<unsigned char>(rest[0]);
  size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
  // Only skip continuation bytes that are really there.
  size_t i = 1;
  while (i < n && i < rest.size() && (static_cast<unsigned char>(rest[i]) & 0xC0) == 0x80) ++i;
  return i;
}

}  // namespace

std::string ToUtf8(std::string_view gbk) {
  bool ascii = true;
  for (char c : gbk) ascii &= static_cast<unsigned char>(c) < 0x80;
  if (ascii) return std::string(gbk);
  thread_local Converter conv("UTF-8", "GBK");
  std::string out;
  Convert(conv.cd, gbk, out, "\xEF\xBF\xBD", SkipGbk);
  return out;
}

std::string FromUtf8(std::string_view utf8, bool* ok) {
  bool ascii = true;
  for (char c : utf8) ascii &= static_cast<unsigned char>(c) < 0x80;
  if (ascii) {
    if (ok) *ok = true;
    return std::string(utf8);
  }
  thread_local Converter conv("GBK", "UTF-8");
  std::string out;
  bool clean = Convert(conv.cd, utf8, out, "?", SkipUtf8);
  if (ok) *ok = clean;
  return out;
}

std::string G(std::u8string_view utf8) {
  return FromUtf8(std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
}

}  // namespace zel
