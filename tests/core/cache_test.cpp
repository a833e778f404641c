#include <gtest/gtest.h>

#include <cctype>
#include <thread>

#include "base/appenv.h"
#include "base/files.h"
#include "support/testutil.h"
#include "weather/cache.h"

using namespace zel;
using zel::test::G;

TEST(Scramble, FormatAndSaltRules) {
  EXPECT_EQ(ScrambleText("", CacheKey), "");
  std::string s = ScrambleText("abc", CacheKey);
  ASSERT_EQ(s.size(), 8u);
  for (char c : s) EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(c)) || (c >= 'A' && c <= 'F')) << s;
  // Salt 0, one byte B: "00" then B XOR the key's first byte ('k' = 0x6B).
  EXPECT_EQ(ScrambleText("\x01", CacheKey, 0), "006A");
  EXPECT_EQ(ScrambleText("A", CacheKey, 0), "002A");
}

TEST(Scramble, DifferentSaltsBothUnscrambleToTheText) {
  std::string plain = G(u8"晴转多云，北风3-4级");
  std::set<std::string> seen;
  for (int i = 0; i < 20; ++i) {
    std::string s = ScrambleText(plain, CacheKey);
    seen.insert(s);
    EXPECT_EQ(UnscrambleText(s, CacheKey), plain);
  }
  EXPECT_GT(seen.size(), 1u) << "the salt varies between calls";
}

TEST(Scramble, RoundTripsEveryByteAndKeyWrap) {
  // Longer than the key, so the key repeats; every byte 1..254 and every salt.
  std::string plain;
  for (int b = 1; b <= 254; ++b) plain.push_back(static_cast<char>(b));
  for (int salt = 0; salt < 256; ++salt)
    ASSERT_EQ(UnscrambleText(ScrambleText(plain, CacheKey, static_cast<unsigned char>(salt)), CacheKey), plain)
        << "salt " << salt;
}

TEST(Unscramble, EdgeCases) {
  std::string s = ScrambleText("xyz", CacheKey, 7);
  std::string lower = s;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_EQ(UnscrambleText(lower, CacheKey), "xyz") << "lower-case digits are accepted";
  EXPECT_EQ(UnscrambleText(s.substr(0, 7), CacheKey), "xy") << "a final unpaired digit is ignored";
  EXPECT_EQ(UnscrambleText("", CacheKey), "");
  struct Case {
    const char* text;
    const char* why;
  } bad[] = {{"0", "one digit"}, {"00A", "three digits"}, {"00ZZ", "not hex"}, {"00 1", "blank"}, {"0x12", "prefix"}};
  for (const auto& c : bad) EXPECT_FALSE(UnscrambleText(c.text, CacheKey).has_value()) << c.why;
}

TEST(CacheFiles, RoundTripWithEmptyFieldsAndCrLf) {
  zel::test::AppFolder app;
  TextList fields{G(u8"2006-12-31 08时"), "", G(u8"多云")};
  std::string path = CacheFileName("CC", "54511");
  EXPECT_EQ(path, app.path() + "Download/CC54511.txt");
  ASSERT_TRUE(SaveCacheFile(path, fields));
  std::string raw = app.Read("Download/CC54511.txt");
  EXPECT_EQ(raw.substr(raw.size() - 2), "\r\n");
  EXPECT_NE(raw.find("\r\n\r\n"), std::string::npos) << "an empty field is an empty line";
  EXPECT_EQ(LoadCacheFile(path, 3), fields);
  EXPECT_FALSE(LoadCacheFile(path, 4).has_value()) << "wrong line count is no record";
  EXPECT_FALSE(LoadCacheFile(CacheFileName("CC", "none"), 3).has_value());
}

TEST(CacheFiles, ALineThatIsNotScrambledTextMeansNoRecord) {
  zel::test::AppFolder app;
  app.Write("Download/CC1.txt", "0041\r\nZZ\r\n");
  EXPECT_FALSE(LoadCacheFile(CacheFileName("CC", "1"), 2).has_value());
  app.Write("Download/CC2.txt", "0041\r\n12\r\n");
  EXPECT_FALSE(LoadCacheFile(CacheFileName("CC", "2"), 2).has_value()) << "shorter than 4 characters";
}

TEST(Records, JoinRecordAndSplitAreInverse) {
  TextList fields{"a", "", "c"};
  std::string rec = JoinRecord(fields);
  EXPECT_EQ(rec, "a**?****?**c**?**");
  EXPECT_EQ(SplitString(rec, kRecordEnd), fields);
}
