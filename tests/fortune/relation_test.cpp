#include <gtest/gtest.h>

#include "fortune/relation.h"
#include "fortune/strokes.h"
#include "support/fakes.h"
#include "support/testutil.h"

namespace zel {
namespace {

using test::U;

std::string Related(const char8_t* text) { return G(text) + "\r\n\r\n" + G(u8"警告：此测试纯属娱乐，不可太信哦"); }

TEST(NameStrokes, CountsTwoBytePiecesFromTheFirstByte) {
  const std::string wang = G(u8"王");
  struct Case {
    std::string name;
    int strokes;
    const char* why;
  } cases[] = {
      {G(u8"丁丁"), 4, "two characters"},
      {"A", 0, "one ASCII byte"},
      {"A" + wang, 0, "letter and lead byte form the only piece"},
      {wang + "A", 4, "odd last byte never examined"},
      {wang + wang + wang, 12, "three pieces"},
      {wang + wang + "A", 8, "odd length"},
      {"\xB5", 0, "one lead byte pairs with a zero byte"},
      {"", 0, "empty"},
  };
  for (const auto& c : cases) EXPECT_EQ(NameStrokes(c.name), c.strokes) << c.why << ": " << U(c.name);
}

TEST(Relation, DifferenceOfStrokeSumsPicksTheText) {
  const std::string wang = G(u8"王");
  struct Case {
    std::string name1, name2, result;
    const char* why;
  } cases[] = {
      {G(u8"丁丁"), G(u8"当当"), Related(u8"关系不同寻常"), "12 - 4 = 8"},
      {G(u8"当当"), G(u8"丁丁"), Related(u8"关系不同寻常"), "order does not matter"},
      {G(u8"张三"), G(u8"张三"), Related(u8"亲密无间"), "identical names"},
      {wang + "A", wang, Related(u8"亲密无间"), "trailing letter ignored"},
      {G(u8"爨"), G(u8"口"), Related(u8"恨你又爱你"), "27, the last row"},
      {G(u8"王"), G(u8"口"), Related(u8"永远和你在一起"), "1"},
      {"A", wang, G(u8"出错..."), "no strokes in the first name"},
      {wang, "Bob", G(u8"出错..."), "no strokes in the second name"},
      {"A" + wang, wang, G(u8"出错..."), "letter then character counts nothing"},
  };
  for (const auto& c : cases) {
    TLRGX r;
    r.Name1 = c.name1;
    r.Name2 = c.name2;
    EXPECT_EQ(U(r.Calculate()), U(c.result)) << c.why;
  }
}

TEST(Relation, DifferenceBeyondTheTableGetsItsOwnText) {
  struct Case {
    const char8_t *name1, *name2;
    const char* diff;
  } cases[] = {{u8"爨", u8"人", "28"}, {u8"爨爨爨", u8"一", "89"}};
  for (const auto& c : cases) {
    TLRGX r;
    r.Name1 = G(c.name1);
    r.Name2 = G(c.name2);
    std::string out = U(r.Calculate());
    EXPECT_NE(out.find(c.diff), std::string::npos) << out;
    EXPECT_NE(out.find(reinterpret_cast<const char*>(u8"无法测算")), std::string::npos) << out;
  }
}

TEST(Relation, CodeTableListsEveryRow) {
  TLRGX r;
  std::string table = r.CodeTable();
  ASSERT_EQ(RelationTable().size(), 28u);
  std::string expected;
  for (int n = 0; n < 28; ++n) expected += std::to_string(n) + G(u8"：") + RelationTable()[n] + "\r\n";
  EXPECT_EQ(table, expected);
  EXPECT_EQ(table.rfind(G(u8"0：亲密无间") + "\r\n", 0), 0u);
  EXPECT_TRUE(table.ends_with(G(u8"27：恨你又爱你") + "\r\n"));
  for (const auto& text : RelationTable()) EXPECT_EQ(text.find('?'), std::string::npos) << U(text);
}

TEST(Relation, IntroExampleAgreesWithTheCounts) {
  TLRGX r;
  EXPECT_EQ(r.Intro.rfind(G(u8"    计算的方法很简单"), 0), 0u);
  EXPECT_NE(r.Intro.find(G(u8"，得出的数字是8，「关系不同寻常」。十分准确啊！") + "\r\n\r\n"), std::string::npos);
  EXPECT_TRUE(r.Intro.ends_with(G(u8"信者有、不信者无。不妨试试...")));
  EXPECT_EQ(NameStrokes(G(u8"丁丁")), 4);
  EXPECT_EQ(NameStrokes(G(u8"当当")), 12);
}

struct RelationFixture : ::testing::Test {
  test::FakeText label, edit1, edit2, memo;
  test::FakeShell shell;
  TLRGX calc;
  RelationTab tab{RelationViews{&label, &edit1, &edit2, &memo}, calc};
};

TEST_F(RelationFixture, StartupShowsHelpAndEmptiesTheMemo) {
  memo.text = "old";
  tab.Startup();
  EXPECT_EQ(label.text, calc.Intro);
  EXPECT_EQ(memo.text, "");
}

TEST_F(RelationFixture, ClickTrimsNamesOrAsksForThem) {
  struct Case {
    std::string typed1, typed2, memo;
    const char* why;
  } cases[] = {
      {" \t" + G(u8"丁丁") + "\r\n", "  " + G(u8"当当") + " ", Related(u8"关系不同寻常"), "blanks around"},
      {"", G(u8"当当"), G(u8"请输入名字..."), "first empty"},
      {G(u8"丁丁"), "   ", G(u8"请输入名字..."), "second only blanks"},
      {"\t \x01", "", G(u8"请输入名字..."), "both empty"},
      {"A", G(u8"当当"), G(u8"出错..."), "no strokes"},
  };
  for (const auto& c : cases) {
    edit1.text = c.typed1;
    edit2.text = c.typed2;
    tab.btnLRGXClick();
    EXPECT_EQ(U(memo.text), U(c.memo)) << c.why;
  }
  // The names of the last calculated pair stay when a name is missing.
  edit1.text = G(u8" 丁丁 ");
  edit2.text = G(u8"当当");
  tab.btnLRGXClick();
  edit1.text = "";
  tab.btnLRGXClick();
  EXPECT_EQ(calc.Name1, G(u8"丁丁"));
  EXPECT_EQ(calc.Name2, G(u8"当当"));
}

TEST_F(RelationFixture, HelpButtonsShowTheirBoxes) {
  tab.btnLRGXErrorClick(shell);
  tab.btnLRGXCKClick(shell);
  ASSERT_EQ(shell.boxes.size(), 2u);
  EXPECT_EQ(shell.boxes[0].second, G(u8"笔画错了"));
  EXPECT_EQ(shell.boxes[0].first.rfind(G(u8"如果遇到笔画有错误，请给我写信：") + RelationContactMail(), 0), 0u);
  EXPECT_TRUE(shell.boxes[0].first.ends_with(G(u8"。")));
  EXPECT_NE(RelationContactMail().find('@'), std::string::npos);
  EXPECT_EQ(shell.boxes[1].second, G(u8"查看代码表"));
  EXPECT_EQ(shell.boxes[1].first, calc.CodeTable());
  EXPECT_TRUE(memo.history.empty());
}

}  // namespace
}  // namespace zel
