// GBK through iconv.
#include <iconv.h>

#include <cerrno>
#include <stdexcept>

#include "base/os/gbk_os.h"

namespace zel::os {
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

}  // namespace

bool GbkToUtf8(std::string_view gbk, std::string& out) {
  thread_local Converter conv("UTF-8", "GBK");
  return Convert(conv.cd, gbk, out, "\xEF\xBF\xBD", SkipGbk);
}

bool Utf8ToGbk(std::string_view utf8, std::string& out) {
  thread_local Converter conv("GBK", "UTF-8");
  return Convert(conv.cd, utf8, out, "?", SkipUtf8);
}

}  // namespace zel::os
