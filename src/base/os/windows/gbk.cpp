// GBK through Windows' code page 936. Windows maps some byte pairs that GBK
// leaves unassigned (and the byte 0xFF) to private-use characters; iconv
// refuses them, and so does this, so both systems give the same answers.
#include <windows.h>

#include <cstdint>
#include <memory>

#include "base/os/gbk_os.h"

namespace zel::os {
namespace {

bool PrivateUse(wchar_t w) { return w >= 0xE000 && w <= 0xF8FF; }

// Built once from the code page: every non-ASCII byte and byte pair to its
// character and back, 0 where there is none.
struct Tables {
  uint16_t decode[65536] = {};  // [byte] for single bytes, [lead << 8 | trail] for pairs
  uint16_t encode[65536] = {};  // [character]: the byte or byte pair

  Tables() {
    auto decodeOne = [](const char* bytes, int n) -> wchar_t {
      wchar_t w[2];
      int r = ::MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, bytes, n, w, 2);
      return r == 1 && !PrivateUse(w[0]) && w[0] != 0xFFFD ? w[0] : 0;
    };
    for (int b = 0x80; b <= 0xFF; ++b) {
      if (b >= 0x81 && b <= 0xFE) continue;  // lead bytes
      char c = static_cast<char>(b);
      decode[b] = decodeOne(&c, 1);
    }
    for (int lead = 0x81; lead <= 0xFE; ++lead)
      for (int trail = 0x40; trail <= 0xFE; ++trail) {
        char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        decode[lead << 8 | trail] = decodeOne(pair, 2);
      }
    // Only what decodes back to the same character: no best-fit guesses.
    for (unsigned w = 0x80; w <= 0xFFFF; ++w) {
      if (w >= 0xD800 && w <= 0xDFFF) continue;
      wchar_t wc = static_cast<wchar_t>(w);
      unsigned char out[2];
      BOOL usedDefault = FALSE;
      int n = ::WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, &wc, 1, reinterpret_cast<char*>(out), 2, nullptr,
                                    &usedDefault);
      if (usedDefault || n < 1) continue;
      unsigned code = n == 1 ? out[0] : (out[0] << 8 | out[1]);
      if (code >= 0x80 && decode[code] == w) encode[w] = static_cast<uint16_t>(code);
    }
  }
};

const Tables& Table() {
  static const auto* t = new Tables;  // 256 KiB, kept until exit
  return *t;
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | cp >> 6));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | cp >> 12));
    out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// One strict UTF-8 character at the start of s (no overlong forms, no
// surrogates, nothing past U+10FFFF); its length, 0 when it is not one.
size_t NextUtf8(std::string_view s, uint32_t& cp) {
  auto b = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  unsigned char c = b(0);
  size_t n;
  uint32_t min;
  if (c < 0x80) {
    cp = c;
    return 1;
  } else if (c >= 0xC2 && c <= 0xDF) {
    n = 2, cp = c & 0x1F, min = 0x80;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3, cp = c & 0x0F, min = 0x800;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4, cp = c & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (s.size() < n) return 0;
  for (size_t i = 1; i < n; ++i) {
    if ((b(i) & 0xC0) != 0x80) return 0;
    cp = cp << 6 | (b(i) & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

}  // namespace

bool GbkToUtf8(std::string_view gbk, std::string& out) {
  const Tables& t = Table();
  bool clean = true;
  out.clear();
  out.reserve(gbk.size() * 3 / 2 + 8);
  size_t i = 0;
  while (i < gbk.size()) {
    auto c = static_cast<unsigned char>(gbk[i]);
    uint16_t w = 0;
    size_t n = 1;
    if (c < 0x80) {
      w = c;
    } else if (c >= 0x81 && c <= 0xFE) {
      if (i + 1 < gbk.size()) w = t.decode[c << 8 | static_cast<unsigned char>(gbk[i + 1])];
      n = 2;
    } else {
      w = t.decode[c];
    }
    if (w == 0 && c != 0) {
      clean = false;
      out.append("\xEF\xBF\xBD");
      i += SkipGbk(gbk.substr(i));
      continue;
    }
    AppendUtf8(out, w);
    i += n;
  }
  return clean;
}

bool Utf8ToGbk(std::string_view utf8, std::string& out) {
  const Tables& t = Table();
  bool clean = true;
  out.clear();
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    uint32_t cp = 0;
    size_t n = NextUtf8(utf8.substr(i), cp);
    uint16_t code = n == 0 ? 0 : cp < 0x80 ? static_cast<uint16_t>(cp) : cp <= 0xFFFF ? t.encode[cp] : 0;
    if (n == 0 || (code == 0 && cp != 0)) {
      clean = false;
      out.push_back('?');
      i += SkipUtf8(utf8.substr(i));
      continue;
    }
    if (code > 0xFF) out.push_back(static_cast<char>(code >> 8));
    out.push_back(static_cast<char>(code & 0xFF));
    i += n;
  }
  return clean;
}

}  // namespace zel::os
