#include <gtest/gtest.h>

#include "base/gbk.h"
#include "base/text.h"

using namespace zel;

TEST(TextOps, PosCopyTrimFollowByteRules) {
  EXPECT_EQ(Pos("c", "abc"), 3u);
  EXPECT_EQ(Pos("x", "abc"), 0u);
  EXPECT_EQ(Pos("", "abc"), 0u) << "an empty marker is never found";
  EXPECT_EQ(Pos("B", "abc"), 0u) << "markers are case-sensitive";

  struct Case {
    long long start, count;
    const char* expected;
    const char* why;
  } cases[] = {
      {1, 2, "ab", "plain copy"},
      {0, 2, "ab", "start below 1 counts as 1"},
      {-5, 1, "a", "negative start counts as 1"},
      {2, 100, "bcd", "count running past the end stops there"},
      {5, 1, "", "start past the end"},
      {2, 0, "", "count 0"},
      {2, -1, "", "negative count"},
      {4, 1, "d", "last byte"},
  };
  for (const auto& c : cases) EXPECT_EQ(Copy("abcd", c.start, c.count), c.expected) << c.why;

  EXPECT_EQ(Trim(std::string("\x01\t a b \r\n", 9)), "a b");
  EXPECT_EQ(Trim("   "), "");
  // A GBK character whose bytes are above 32 is never trimmed.
  std::string tian = G(u8"天");
  EXPECT_EQ(Trim(" " + tian + " "), tian);
}

TEST(TextOps, SplitStringKeepsInnerAndLeadingEmptyPieces) {
  struct Case {
    const char* text;
    const char* sep;
    std::vector<std::string> expected;
  } cases[] = {
      {"a**?**b**?**", "**?**", {"a", "b"}},
      {"**?**a**?**", "**?**", {"", "a"}},
      {"a**?****?**b", "**?**", {"a", "", "b"}},
      {"", "**?**", {}},
      {"01-07-", "-", {"01", "07"}},
      {"abc", "-", {"abc"}},
      {"-", "-", {""}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitString(c.text, c.sep), c.expected) << c.text;
}

TEST(TextOps, ReplaceTextFlagMeanings) {
  EXPECT_EQ(ReplaceText("[low1] [low1] [LOW1]", "[low1]", "5", true), "5 5 [LOW1]")
      << "all-flag: every occurrence, case-sensitive";
  EXPECT_EQ(ReplaceText("[A1] [a1]", "[a1]", "x", false), "x [a1]") << "first only, ignoring case";
  EXPECT_EQ(ReplaceText("abc", "", "x", true), "abc");
  EXPECT_EQ(ReplaceText("aaa", "a", "aa", true), "aaaaaa") << "inserted text is not rescanned";
}

TEST(TextOps, CaseFoldingLeavesDoubleByteCharactersAlone) {
  // 0xC4 0x41 would fold its trail byte 'A' if folding ignored lead bytes.
  std::string gbkWithAsciiTrail = "\xC4\x41";
  EXPECT_EQ(FoldCase(gbkWithAsciiTrail), gbkWithAsciiTrail);
  EXPECT_FALSE(SameText("\xC4\x41", "\xC4\x61"));
  EXPECT_TRUE(SameText("Default", "dEFAULT"));
  EXPECT_EQ(IndexOfText({"x", "DeFault", "default"}, "default"), 1);
  EXPECT_EQ(IndexOfText({"x"}, "y"), -1);
  EXPECT_EQ(FoldCase("\xFF"), "\xFF") << "a lone high byte at the end";
}

TEST(TextOps, IncludeBackslashAddsOneSlash) {
  EXPECT_EQ(IncludeBackslash("/a/b"), "/a/b/");
  EXPECT_EQ(IncludeBackslash("/a/b/"), "/a/b/");
  EXPECT_EQ(IncludeBackslash("/"), "/");
}

TEST(TextOps, HtmlEscapeKeepsGbkAndDisarmsMarkup) {
  EXPECT_EQ(HtmlEscape("<script>a&\"b\"</script>"), "&lt;script&gt;a&amp;&quot;b&quot;&lt;/script&gt;");
  std::string name = G(u8"广州");
  EXPECT_EQ(HtmlEscape(name), name);
}

TEST(TextOps, LogTextIsOneShortLine) {
  struct Case {
    std::string in;
    size_t max;
    std::string expected;
  } cases[] = {
      {"plain", 200, "plain"},
      {"a\r\n2026-01-01 forged line\x1b[2J\x7f", 200, "a??2026-01-01 forged line?[2J?"},
      {std::string(8 << 20, 'x'), 200, std::string(200, 'x') + "..."},
      {"ab\xe5\x8c\x97\xe4\xba\xac", 4, "ab..."},  // not half a character
      {"ab\xe5\x8c\x97\xe4\xba\xac", 5, "ab\xe5\x8c\x97..."},
      {std::string("a\0b", 3), 200, "a?b"},
  };
  for (const Case& c : cases) EXPECT_EQ(LogText(c.in, c.max), c.expected) << c.in.substr(0, 40);
}

TEST(TextOps, WithoutPageScriptsLeavesNothingThatRuns) {
  const std::string gbk = G(u8"北京");
  struct Case {
    std::string in, expected;
  } cases[] = {
      {"<p class=a>" + gbk + "</p>", "<p class=a>" + gbk + "</p>"},
      {"a<script>alert(1)</script>b<SCRIPT src=x.js></SCRIPT>c", "abc"},
      {"a<script>if(1<2)x()</script>b", "ab"},
      {"a<script>never closed", "a"},
      {"<scripts>kept</scripts>", "<scripts>kept</scripts>"},
      {"<img src=a.gif onerror=alert(1) ONLOAD=\"x()\" alt='" + gbk + "'>", "<img src=a.gif   alt='" + gbk + "'>"},
      {"<a href=\" JavaScript:go()\">x</a><a href='vbscript:y'>y</a>", "<a >x</a><a >y</a>"},
      {"<!-- <script>x()</script> -->", "<!-- <script>x()</script> -->"},
      {"1 < 2 <b>ok</b> <", "1 < 2 <b>ok</b> <"},
      {"<div onclick=\"unclosed", "<div "},
      {"<input value=\"a>b\" onfocus=f>", "<input value=\"a>b\" >"},
  };
  for (const Case& c : cases) EXPECT_EQ(WithoutPageScripts(c.in), c.expected) << c.in;
}

TEST(TextOps, ParseIntAcceptsOnlyWholeNumbers) {
  struct Case {
    const char* text;
    bool ok;
    long long value;
  } cases[] = {{"12", true, 12},  {" -7 ", true, -7}, {"0x1F", true, 31}, {"$10", true, 16},
               {"12abc", false, 0}, {"", false, 0},   {"abc", false, 0},  {"-", false, 0}};
  for (const auto& c : cases) {
    long long v = 0;
    EXPECT_EQ(ParseInt(c.text, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
}

TEST(Gbk, RoundTripsAndReplacesWhatItCannotHold) {
  std::string gbk = G(u8"Zelmora天气预报");
  EXPECT_EQ(gbk.size(), 7u + 4 * 2);
  EXPECT_EQ(ToUtf8(gbk), "Zelmora\xE5\xA4\xA9\xE6\xB0\x94\xE9\xA2\x84\xE6\x8A\xA5");
  bool ok = true;
  std::string emoji = FromUtf8("a\xF0\x9F\x98\x80" "b", &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(emoji, "a?b");
  // A lone lead byte at the end and a stray 0xFF become replacement characters.
  EXPECT_EQ(ToUtf8("a\xB0"), "a\xEF\xBF\xBD");
  EXPECT_EQ(ToUtf8("\xFF" "b"), "\xEF\xBF\xBD" "b");
}
