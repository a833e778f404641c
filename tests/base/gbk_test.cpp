#include "base/gbk.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using namespace zel;

namespace {

// Windows' code page 936 and glibc's iconv differ where GBK leaves byte
// pairs unassigned; the program must give the same answers on both.
TEST(Gbk, ConvertsAsIconvOnEverySystem) {
  struct Case {
    std::string gbk;
    std::string utf8;
    const char* why;
  } toUtf8[] = {
      {"\xCC\xEC\xC6\xF8", "\xE5\xA4\xA9\xE6\xB0\x94", "two characters"},
      {"\x80", "\xE2\x82\xAC", "the euro sign is one byte"},
      {"\xA1\xA4", "\xC2\xB7", "middle dot"},
      {"\xA1\xAA", "\xE2\x80\x94", "dash"},
      {"\xFF", "\xEF\xBF\xBD", "0xFF is no character"},
      {"\xA2\xE3", "\xEF\xBF\xBD", "unassigned: Windows says private use"},
      {"\xA8\xBF", "\xEF\xBF\xBD", "unassigned: Windows says private use"},
      {"\xFE\x50", "\xEF\xBF\xBD", "unassigned: Windows says private use"},
      {"\xD7\xFA"
       "a",
       "\xEF\xBF\xBD"
       "a",
       "unassigned pair dropped whole"},
      {"\x81\x30",
       "\xEF\xBF\xBD"
       "0",
       "a trail below 0x40 is kept"},
      {"\x81\xFF"
       "a",
       "\xEF\xBF\xBD"
       "a",
       "a trail of 0xFF is dropped with its lead"},
      {"a\xB0", "a\xEF\xBF\xBD", "a lone lead byte at the end"},
      {std::string("\0\xB0\xA1", 3), std::string("\0\xE5\x95\x8A", 4), "a zero byte is a character"},
  };
  for (const auto& c : toUtf8) EXPECT_EQ(ToUtf8(c.gbk), c.utf8) << c.why;

  struct Back {
    std::string utf8;
    std::string gbk;
    bool ok;
    const char* why;
  } fromUtf8[] = {
      {"\xE5\xA4\xA9", "\xCC\xEC", true, "a character"},
      {"\xE2\x82\xAC", "\x80", true, "the euro sign"},
      {"\xEE\x80\x80", "?", false, "private use has no GBK bytes"},
      {"a\xF0\x9F\x98\x80"
       "b",
       "a?b", false, "beyond the BMP"},
      {"\xED\xA0\x80"
       "b",
       "?b", false, "an encoded surrogate"},
      {"\xC0\x80"
       "b",
       "?b", false, "an overlong zero"},
      {"\xE5\xA4"
       "b",
       "?b", false, "a cut character"},
      {"\xE5\xA4", "?", false, "a cut character at the end"},
      {"\xEF\xBF\xBD", "?", false, "the replacement character"},
  };
  for (const auto& c : fromUtf8) {
    bool ok = !c.ok;
    EXPECT_EQ(FromUtf8(c.utf8, &ok), c.gbk) << c.why;
    EXPECT_EQ(ok, c.ok) << c.why;
  }
}

uint64_t Fnv(uint64_t h, const std::string& s) {
  for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
  return (h ^ 0xFF) * 1099511628211ull;  // separates the pieces
}

std::string Utf8Of(uint32_t cp) {
  std::string s;
  if (cp < 0x800) {
    s += static_cast<char>(0xC0 | cp >> 6);
  } else {
    s += static_cast<char>(0xE0 | cp >> 12);
    s += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
  }
  s += static_cast<char>(0x80 | (cp & 0x3F));
  return s;
}

// Digests of what glibc's iconv gives for every byte pair and every
// character of the BMP (taken on Linux).
TEST(Gbk, EveryPairAndCharacterConvertsAsIconvDoes) {
  uint64_t pairs = 14695981039346656037ull, chars = pairs;
  for (int lead = 0x80; lead <= 0xFF; ++lead)
    for (int trail = 0x00; trail <= 0xFF; ++trail) pairs = Fnv(pairs, ToUtf8(std::string{char(lead), char(trail)}));
  for (uint32_t cp = 0x80; cp <= 0xFFFF; ++cp)
    chars = Fnv(chars, cp >= 0xD800 && cp <= 0xDFFF ? "" : FromUtf8(Utf8Of(cp)));
  EXPECT_EQ(pairs, 10622218094967274813u);
  EXPECT_EQ(chars, 7169186705749850975u);
}

}  // namespace
