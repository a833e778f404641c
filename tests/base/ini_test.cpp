#include <gtest/gtest.h>

#include <thread>

#include "base/files.h"
#include "base/ini.h"
#include "support/testutil.h"

using namespace zel;
using zel::test::TempDir;

namespace {
const char* kSample =
    "; settings\r\n"
    "[Main]\r\n"
    "AD=AD.htm\r\n"
    "empty=\r\n"
    "  spaced  =  value with blanks  \r\n"
    "; a comment inside\r\n"
    "num=42\r\n"
    "bad=12abc\r\n"
    "\r\n"
    "[Other]\r\n"
    "b=2\r\n"
    "a=1\r\n";
}

TEST(IniRead, NamesMatchWithoutCaseAndValuesAreTrimmed) {
  TempDir dir;
  dir.Write("s.ini", kSample);
  IniFile ini(dir / "s.ini");
  EXPECT_EQ(ini.ReadString("main", "ad", "x"), "AD.htm");
  EXPECT_EQ(ini.ReadString("MAIN", "spaced", "x"), "value with blanks");
  EXPECT_EQ(ini.ReadString("main", "empty", "default"), "") << "present but empty is not the default";
  EXPECT_EQ(ini.ReadString("main", "missing", "default"), "default");
  EXPECT_EQ(ini.ReadString("nosection", "AD", "d"), "d");
  EXPECT_EQ(IniFile(dir / "absent.ini").ReadString("main", "AD", "d"), "d");
  EXPECT_EQ(ini.ReadInteger("main", "num", 7), 42);
  EXPECT_EQ(ini.ReadInteger("main", "bad", 7), 7) << "not a number gives the default";
  EXPECT_EQ(ini.ReadInteger("main", "empty", 7), 7);
  EXPECT_EQ(ini.ReadSection("other"), (TextList{"b", "a"})) << "key names in file order";
  EXPECT_TRUE(ini.ReadSection("none").empty());
}

TEST(IniRead, LongValuesAreCutAt2047Bytes) {
  TempDir dir;
  dir.Write("s.ini", "[m]\r\nk=" + std::string(5000, 'x') + "\r\n");
  EXPECT_EQ(IniFile(dir / "s.ini").ReadString("m", "k", "").size(), 2047u);
}

TEST(IniRead, ASectionIsListedWholeHoweverManyKeysItHolds) {
  // A favourites file from an update: 3,000 keys, 46 KB of names.
  TempDir dir;
  std::string file = "[Favorite]\r\n";
  for (int i = 0; i < 3000; ++i) file += "Guangdong-City" + std::to_string(i) + "=\r\n";
  dir.Write("f.ini", file + "[After]\r\nx=1\r\n");
  TextList keys = IniFile(dir / "f.ini").ReadSection("Favorite");
  ASSERT_EQ(keys.size(), 3000u);
  EXPECT_EQ(keys.back(), "Guangdong-City2999");
}

TEST(IniRead, EveryReadSeesTheFileAsItIsNow) {
  TempDir dir;
  IniFile ini(dir / "s.ini");
  dir.Write("s.ini", "[m]\nk=1\n");
  EXPECT_EQ(ini.ReadString("m", "k", ""), "1");
  dir.Write("s.ini", "[m]\nk=2\n");
  EXPECT_EQ(ini.ReadString("m", "k", ""), "2");
}

TEST(IniWrite, KeepsCommentsAndTheOrderOfUntouchedLines) {
  TempDir dir;
  dir.Write("s.ini", kSample);
  IniFile ini(dir / "s.ini");
  ASSERT_TRUE(ini.WriteString("MAIN", "ad", "Banner.htm"));
  ASSERT_TRUE(ini.WriteString("main", "new", "v"));
  ASSERT_TRUE(ini.WriteString("third", "k", "v3"));
  std::string out = dir.Read("s.ini");
  EXPECT_EQ(out,
            "; settings\r\n"
            "[Main]\r\n"
            "ad=Banner.htm\r\n"
            "empty=\r\n"
            "  spaced  =  value with blanks  \r\n"
            "; a comment inside\r\n"
            "num=42\r\n"
            "bad=12abc\r\n"
            "new=v\r\n"
            "\r\n"
            "[Other]\r\n"
            "b=2\r\n"
            "a=1\r\n"
            "\r\n"
            "[third]\r\n"
            "k=v3\r\n");
}

TEST(IniWrite, CreatesTheFileOnFirstWriteAndErasesSections) {
  TempDir dir;
  IniFile ini(dir / "new.ini");
  ASSERT_TRUE(ini.WriteString("Favorite", "广东-广州", ""));
  ASSERT_TRUE(ini.WriteString("keep", "x", "1"));
  EXPECT_EQ(ini.ReadSection("favorite"), (TextList{"广东-广州"}));
  ASSERT_TRUE(ini.EraseSection("FAVORITE"));
  EXPECT_FALSE(ini.SectionExists("Favorite"));
  EXPECT_EQ(ini.ReadString("keep", "x", ""), "1");
  EXPECT_TRUE(ini.EraseSection("never-there"));
}

TEST(IniWrite, ALineBreakInAValueCannotForgeAnotherKey) {
  TempDir dir;
  IniFile ini(dir / "s.ini");
  ASSERT_TRUE(ini.WriteString("main", "AD", "x.htm\r\n[main]\r\nface=evil.htm"));
  EXPECT_EQ(ini.ReadString("main", "face", "Hello.htm"), "Hello.htm");
  EXPECT_EQ(ini.ReadSection("main").size(), 1u);
}

TEST(IniWrite, TwoThreadsWritingDifferentKeysBothLand) {
  TempDir dir;
  IniFile ini(dir / "Sys.ini");
  constexpr int kRounds = 200;
  auto writer = [&](const std::string& key) {
    for (int i = 0; i < kRounds; ++i) ini.WriteString("main", key, std::to_string(i));
  };
  std::thread a(writer, "DataVersion"), b(writer, "Template");
  a.join();
  b.join();
  EXPECT_EQ(ini.ReadString("main", "DataVersion", ""), std::to_string(kRounds - 1));
  EXPECT_EQ(ini.ReadString("main", "Template", ""), std::to_string(kRounds - 1));
  EXPECT_EQ(ini.ReadSection("main").size(), 2u);
}
