#include <gtest/gtest.h>

#include "fortune/tellucky.h"
#include "support/fakes.h"
#include "support/testutil.h"

namespace zel {
namespace {

using test::U;

std::string Row(int n) { return "(" + VerdictTable()[n] + G(u8")：") + MeaningTable()[n]; }

TEST(TelLucky, LastFourDigitsModuloEightyPickTheRow) {
  struct Case {
    std::string typed;
    int row;
  } cases[] = {
      {"13800000081", 1}, {"13912348000", 0}, {"13800000080", 0}, {"13800000000", 0},
      {"13800000079", 79}, {"13800007890", 50}, {"13800000082", 2}, {"1380000009", 9},
      {"  13800000081 \r\n", 1}, {"abcdef0081", 1}, {G(u8"一二三0081"), 1}, {"123456+081", 1},
      {"1380000-000", 0},
  };
  for (const auto& c : cases) {
    TTelLucky calc;
    bool ok = false;
    EXPECT_EQ(U(LuckAnswer(calc, c.typed, &ok)), U(Row(c.row))) << c.typed;
    EXPECT_TRUE(ok) << c.typed;
    EXPECT_EQ(calc.LuckIndex, c.row) << c.typed;
  }
}

TEST(TelLucky, TellingRowsReadInFull) {
  struct Case {
    const char* typed;
    const char8_t* shown;
  } cases[] = {
      {"13800000081", u8"(吉、健全)：万物开泰起源数，为最大吉祥的暗示，但常人恐不当"},
      {"13800000000", u8"(吉吉吉)：具有非凡特质，以名人 猛人居多，所以吉凶之数不需要再来论断了"},
      {"13800000079", u8"(凶、不伸)：精神不安，为世所弃"},
      {"13800007890", u8"(凶、离愁)：吉凶参半，须防倾覆"},
      {"13800000082", u8"(凶、破灭)：未定的分离破灭数，混沌未定，为最大凶恶的暗示"},
      {"13800000057", u8"(吉、赛莺呤春)：寒雪春松的最大荣运数，资性刚毅，黑夜过后便是天明"},
  };
  for (const auto& c : cases) {
    TTelLucky calc;
    EXPECT_EQ(U(LuckAnswer(calc, c.typed)), reinterpret_cast<const char*>(c.shown));
  }
}

TEST(TelLucky, BadNumbersGetTheirMessagesAndLeaveTheStateAlone) {
  const std::string tooShort = G(u8"手机号码位数不对，请重新输入！");
  const std::string bad = G(u8"手机号码输入有误，请重新输入！");
  struct Case {
    std::string typed, shown;
    const char* why;
  } cases[] = {
      {"138000000", tooShort, "nine digits"},
      {"   13800000   ", tooShort, "blanks do not count"},
      {"", tooShort, "empty"},
      {G(u8"一二三四"), tooShort, "eight bytes"},
      {"138000abcd", bad, "four letters"},
      {"1380000-123", bad, "negative number"},
      {"138000-+12", bad, "two signs"},
      {"1380000 12", bad, "blank inside"},
      {"138000$1A2", bad, "hex is not a phone number"},
      {"13800001+2", bad, "sign in the middle"},
      {G(u8"1380000四五"), bad, "Chinese characters"},
  };
  for (const auto& c : cases) {
    TTelLucky calc;
    calc.SetNumber(81);
    bool ok = true;
    EXPECT_EQ(U(LuckAnswer(calc, c.typed, &ok)), U(c.shown)) << c.why;
    EXPECT_FALSE(ok) << c.why;
    EXPECT_EQ(calc.LuckIndex, 1) << c.why;
    EXPECT_EQ(calc.LastNumber, 81) << c.why;
  }
}

TEST(TelLucky, SetNumberKeepsTheRowInRange) {
  struct Case {
    long long n;
    int row;
  } cases[] = {{0, 0}, {79, 79}, {80, 0}, {159, 79}, {9999, 79}, {-1, 79}, {-80, 0}, {-81, 79}, {-999, 41}};
  for (const auto& c : cases) {
    TTelLucky calc;
    calc.SetNumber(c.n);
    EXPECT_EQ(calc.LuckIndex, c.row) << c.n;
    EXPECT_EQ(calc.LastNumber, c.n);
  }
  TTelLucky calc;
  calc.SetNumber(7890);
  calc.SetNumber(7890);
  EXPECT_EQ(calc.LuckIndex, 50);
  EXPECT_EQ(calc.Verdict(), G(u8"凶、离愁"));
}

TEST(TelLucky, TablesAreWholeAndMatchTheirVerdicts) {
  ASSERT_EQ(VerdictTable().size(), 80u);
  ASSERT_EQ(MeaningTable().size(), 80u);
  const std::string good = G(u8"吉、"), bad = G(u8"凶、"), half = G(u8"半吉、");
  for (int n = 1; n < 80; ++n) {
    const std::string& v = VerdictTable()[n];
    EXPECT_TRUE(v.starts_with(good) || v.starts_with(bad) || v.starts_with(half)) << n << " " << U(v);
  }
  for (int n = 0; n < 80; ++n) {
    EXPECT_FALSE(MeaningTable()[n].empty()) << n;
    EXPECT_EQ(MeaningTable()[n].find('?'), std::string::npos) << n;
    EXPECT_EQ(VerdictTable()[n].find('?'), std::string::npos) << n;
  }
  EXPECT_EQ(VerdictTable()[0], G(u8"吉吉吉"));
  // Two rows share a verdict but not the reading.
  EXPECT_EQ(VerdictTable()[26], VerdictTable()[46]);
  EXPECT_NE(MeaningTable()[26], MeaningTable()[46]);
  EXPECT_EQ(MeaningTable()[15], G(u8"最大好运，福寿圆满之象"));
  EXPECT_EQ(MeaningTable()[78], G(u8"晚景凄凉，功德渐败"));
}

TEST(TelLucky, IntroIsTheFourLineHelp) {
  TTelLucky calc;
  EXPECT_EQ(calc.LuckIndex, 0);
  EXPECT_EQ(calc.LastNumber, 0);
  EXPECT_EQ(calc.Intro.rfind(G(u8"    手机号码为什么会影响一个人的运势？"), 0), 0u);
  EXPECT_NE(calc.Intro.find(G(u8"所以『吉』与『凶』关系非常大！") + "\r\n\r\n" + G(u8"信者有、不信者无。不妨试试...")),
            std::string::npos);
}

struct TelLuckyFixture : ::testing::Test {
  test::FakeText label, edit, memo;
  TTelLucky calc;
  TelLuckyTab tab{TelLuckyViews{&label, &edit, &memo}, calc};
};

TEST_F(TelLuckyFixture, StartupShowsHelpAndEmptiesTheMemo) {
  memo.text = "old";
  tab.Startup();
  EXPECT_EQ(label.text, calc.Intro);
  EXPECT_EQ(memo.text, "");
}

TEST_F(TelLuckyFixture, ClickAndEnterPredict) {
  edit.text = " 13800000081 ";
  tab.btnTelLuckyClick();
  EXPECT_EQ(memo.text, Row(1));
  edit.text = "13800007890";
  EXPECT_FALSE(tab.edtTelLuckyKeyPress('7'));
  EXPECT_EQ(memo.text, Row(1));
  EXPECT_TRUE(tab.edtTelLuckyKeyPress(13));
  EXPECT_EQ(memo.text, Row(50));
  edit.text = "123";
  tab.btnTelLuckyClick();
  EXPECT_EQ(memo.text, G(u8"手机号码位数不对，请重新输入！"));
  EXPECT_EQ(calc.LuckIndex, 50);
}

}  // namespace
}  // namespace zel
