#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "fortune/strokes.h"
#include "support/testutil.h"

namespace zel {
namespace {

using test::U;

int Entry(const std::string& gbkChar) {
  int k = StrokeIndex(static_cast<unsigned char>(gbkChar[0]), static_cast<unsigned char>(gbkChar[1]));
  return k < 0 ? -1 : StrokeTable[k];
}

TEST(StrokeTable, FixedCountsHold) {
  struct Case {
    const char8_t* ch;
    int strokes;
  } cases[] = {
      {u8"啊", 10}, {u8"丁", 2}, {u8"当", 6},  {u8"二", 2},  {u8"十", 2},  {u8"人", 2},  {u8"口", 3},
      {u8"王", 4},  {u8"李", 7}, {u8"张", 7},  {u8"鼻", 14}, {u8"矗", 24}, {u8"鑫", 24}, {u8"齄", 23},
      {u8"之", 2},  {u8"爨", 30}, {u8"蠼", 26}, {u8"一", 1},  {u8"乙", 1},
  };
  for (const auto& c : cases) {
    std::string g = G(c.ch);
    ASSERT_EQ(g.size(), 2u) << U(g);
    EXPECT_EQ(Entry(g), c.strokes) << U(g);
  }
}

TEST(StrokeTable, IndexCoversTheHanziAreaInCodeOrder) {
  struct Case {
    unsigned b1, b2;
    int index;
  } cases[] = {
      {0xB0, 0xA1, 0},    {0xB0, 0xFE, 93},   {0xB1, 0xA1, 94},   {0xF7, 0xFE, 6767},
      {0xB6, 0xA1, 564},  {0xAF, 0xFE, -1},   {0xF8, 0xA1, -1},   {0xB0, 0xA0, -1},
      {0xB0, 0xFF, -1},   {0xB0, 0x41, -1},   {0xFF, 0xFF, -1},
  };
  for (const auto& c : cases)
    EXPECT_EQ(StrokeIndex(static_cast<unsigned char>(c.b1), static_cast<unsigned char>(c.b2)), c.index)
        << std::hex << c.b1 << " " << c.b2;
  // The first and last entries are the characters the table is known by.
  EXPECT_EQ(G(u8"啊"), "\xB0\xA1");
  EXPECT_EQ(G(u8"齄"), "\xF7\xFE");
  EXPECT_EQ(G(u8"爨"), "\xEC\xE0");
  EXPECT_EQ(G(u8"当"), "\xB5\xB1");
}

TEST(StrokeTable, ZeroOnlyForComponentFormsAndUnassignedCells) {
  std::set<int> expected;
  for (const char8_t* ch : {u8"丨", u8"丿", u8"丶", u8"匚", u8"刂", u8"冂", u8"亻", u8"勹", u8"亠", u8"冫",
                            u8"冖", u8"讠", u8"卩", u8"阝", u8"廴", u8"凵", u8"艹", u8"廾", u8"扌", u8"囗",
                            u8"彡", u8"犭", u8"夂", u8"饣", u8"忄", u8"丬", u8"氵", u8"宀", u8"辶", u8"彐",
                            u8"屮", u8"纟", u8"攵", u8"灬", u8"礻", u8"肀", u8"钅", u8"疒", u8"衤", u8"虍"}) {
    std::string g = G(ch);
    expected.insert(StrokeIndex(static_cast<unsigned char>(g[0]), static_cast<unsigned char>(g[1])));
  }
  for (unsigned b2 = 0xFA; b2 <= 0xFE; ++b2) expected.insert(StrokeIndex(0xD7, static_cast<unsigned char>(b2)));
  ASSERT_EQ(expected.size(), 45u);
  std::set<int> zeros;
  for (int k = 0; k < kStrokeEntries; ++k)
    if (StrokeTable[k] == 0) zeros.insert(k);
  EXPECT_EQ(zeros, expected);
}

TEST(StrokeTable, ExtremesAndSpread) {
  std::vector<int> ones, thirties, twentySixes;
  int max = 0, common = 0;
  for (int k = 0; k < kStrokeEntries; ++k) {
    int v = StrokeTable[k];
    max = std::max(max, v);
    if (v == 1) ones.push_back(k);
    if (v == 30) thirties.push_back(k);
    if (v == 26) twentySixes.push_back(k);
    if (v >= 7 && v <= 13) ++common;
  }
  EXPECT_EQ(max, 30);
  EXPECT_EQ(thirties, std::vector<int>{StrokeIndex(0xEC, 0xE0)});
  EXPECT_EQ(twentySixes.size(), 1u);
  std::string yi = G(u8"一"), yi2 = G(u8"乙");
  std::vector<int> expectedOnes = {StrokeIndex(static_cast<unsigned char>(yi[0]), static_cast<unsigned char>(yi[1])),
                                   StrokeIndex(static_cast<unsigned char>(yi2[0]), static_cast<unsigned char>(yi2[1]))};
  std::sort(expectedOnes.begin(), expectedOnes.end());
  EXPECT_EQ(ones, expectedOnes);
  EXPECT_GT(common * 2, kStrokeEntries) << "most characters have 7 to 13 strokes";
}

TEST(StrokeTotal, CountsOnlyChineseCharactersInTheTable) {
  const std::string wang = G(u8"王");
  struct Case {
    std::string text;
    int total;
    const char* why;
  } cases[] = {
      {G(u8"丁丁"), 4, "the help text's example"},
      {G(u8"当当"), 12, "the help text's example"},
      {"", 0, "empty"},
      {"Hello, world 123", 0, "ASCII only"},
      {"A" + wang, 4, "ASCII before"},
      {wang + "A", 4, "ASCII after"},
      {G(u8"氵"), 0, "component form"},
      {wang + "\xB5", 4, "lone final lead byte"},
      {"\xF7", 0, "one lone byte"},
      {"\xA3\xAC", 0, "full-width comma"},
      {G(u8"，") + wang, 4, "symbol then character"},
      {"\xF8\xA1" + wang, 4, "pair past the last row counts nothing"},
      {"\xB0\x41" + wang, 4, "extension character counts nothing"},
      {"\xFF\xFF\xFF", 0, "byte 0xFF"},
      {std::string("\0", 1) + wang, 4, "zero byte"},
      {G(u8"爨爨爨爨"), 120, "sums every character"},
  };
  for (const auto& c : cases) EXPECT_EQ(StrokeTotal(c.text), c.total) << c.why << ": " << U(c.text);
}

TEST(StrokeTotal, SymbolWithHighTrailByteShiftsThePairing) {
  // Of the symbol 0xA1B0 only the lead byte is skipped; its trail byte then
  // pairs with the first byte of the following character.
  std::string text = "\xA1\xB0" + G(u8"王");
  EXPECT_EQ(StrokeTotal(text), StrokeTable[StrokeIndex(0xB0, static_cast<unsigned char>(text[2]))]);
}

}  // namespace
}  // namespace zel
