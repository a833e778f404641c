#include "calendar/calendar_page.h"

#include <gtest/gtest.h>

#include "base/appenv.h"
#include "base/files.h"
#include "support/fakes.h"
#include "support/testutil.h"

namespace zel {
namespace {

using test::U;

const std::string kBlank = "&nbsp;<br>&nbsp;";
const CivilDate kNoToday{1, 1, 1};

std::string Red(const std::string& cell) { return "<font color=\"#FF0000\">" + cell + "</font>"; }

TEST(MonthCells, DaysStartUnderTheirWeekday) {
  struct Case {
    int year, month, firstCell, lastCell;
    const char* why;
  } cases[] = {
      {2009, 2, 1, 28, "February 2009 starts on a Sunday"},
      {2009, 8, 7, 37, "August 2009 starts on a Saturday, 31 days"},
      {2010, 5, 7, 37, "May 2010 starts on a Saturday"},
      {2015, 2, 1, 28, "28 days from Sunday: four rows"},
      {2012, 2, 4, 32, "leap February from a Wednesday"},
      {2300, 6, 6, 35, "a year beyond the lunar tables"},
  };
  for (const auto& c : cases) {
    const MonthCellTexts cells = MonthCells(c.year, c.month, kNoToday, {}, {});
    for (int k = 1; k <= 42; ++k) {
      const std::string& cell = cells[static_cast<size_t>(k - 1)];
      if (k < c.firstCell || k > c.lastCell) {
        EXPECT_EQ(cell, kBlank) << c.why << ", cell " << k;
      } else {
        EXPECT_EQ(cell.rfind(std::to_string(k - c.firstCell + 1) + "<br>", 0), 0u) << c.why << ", cell " << k << ": " << cell;
      }
    }
  }
}

TEST(MonthCells, OnlyTodayIsRed) {
  const MonthCellTexts now = MonthCells(2006, 8, {2006, 8, 24}, {}, {});
  int red = 0;
  for (const auto& c : now) red += c.find("#FF0000") != std::string::npos;
  EXPECT_EQ(red, 1);
  EXPECT_EQ(U(now[2 + 23]), U(Red("24<br>" + G(u8"七月")))) << "August 2006 starts on a Tuesday";
  for (const auto& c : MonthCells(2006, 9, {2006, 8, 24}, {}, {})) EXPECT_EQ(c.find("#FF0000"), std::string::npos);
  for (const auto& c : MonthCells(2007, 8, {2006, 8, 24}, {}, {})) EXPECT_EQ(c.find("#FF0000"), std::string::npos);
}

TEST(MonthCells, FestivalPrecedence) {
  const TextList lunar = {G(u8"正月初一-春节"), G(u8"十二月初六-腊月测试")};
  struct Case {
    TextList solar;
    CivilDate day;
    const char* text;
    const char* why;
  } cases[] = {
      {{G(u8"0105-公历节")}, {2006, 1, 5}, "公历节", "Gregorian festival beats a solar term"},
      {{}, {2006, 1, 5}, "小寒", "lunar festival on a term day is not shown"},
      {{}, {2006, 1, 29}, "春节", "lunar festival"},
      {{G(u8"0129-甲"), G(u8"0129-乙")}, {2006, 1, 29}, "乙", "later Gregorian entry wins over lunar and earlier"},
      {{G(u8"0129-")}, {2006, 1, 29}, "", "empty name blanks the text"},
      {{G(u8"1001-国庆节")}, {2300, 10, 1}, "国庆节", "Gregorian festivals beyond the tables"},
      {{G(u8"1001-国庆节")}, {2300, 10, 2}, "", "no lunar text beyond the tables"},
      {{G(u8"0101-<b>&\"")}, {2006, 1, 1}, "&lt;b&gt;&amp;&quot;", "names cannot inject markup"},
  };
  for (const auto& c : cases) {
    const MonthCellTexts cells = MonthCells(c.day.year, c.day.month, kNoToday, lunar, c.solar);
    const int k = Weekday({c.day.year, c.day.month, 1}) + c.day.day - 1;
    EXPECT_EQ(U(cells[static_cast<size_t>(k - 1)]), std::to_string(c.day.day) + "<br>" + c.text) << c.why;
  }
}

TEST(RenderMonthPage, ReplacesOnlyTheTemplatesOwnPlaceholders) {
  MonthCellTexts cells;
  for (size_t i = 0; i < cells.size(); ++i) cells[i] = "<" + std::to_string(i + 1) + ">";
  struct Case {
    std::string tmpl, path, want;
    const char* why;
  } cases[] = {
      {"a[1]b[42]c", "/app/", "a<1>b<42>c", "plain cells"},
      {"[path]x[path]y[PATH]", "/app/", "/app/x/app/y[PATH]", "[path] everywhere, case as written"},
      {"[1][1]", "/app/", "<1>[1]", "first occurrence only"},
      {"[0][01][43][100][x][]", "/", "[0][01][43][100][x][]", "not a placeholder"},
      {"[2]", "/", "<2>", "a template lacking cells simply lacks them"},
      {"[path][3][3]", "/a[3]/", "/a[3]/<3>[3]", "a path holding [3] keeps it; the template's [3] gets the cell"},
      {"<\"&>", "/a&b/", "<\"&>", "template text passes through"},
      {"[path]", "/a&\"b/", "/a&amp;&quot;b/", "path escaped for markup"},
      {"", "/", "", "empty template"},
  };
  for (const auto& c : cases) EXPECT_EQ(RenderMonthPage(c.tmpl, c.path, cells), c.want) << c.why;

  cells[0] = "[2]";
  EXPECT_EQ(RenderMonthPage("[1]|[2]", "/", cells), "[2]|<2>") << "a cell's text is never searched";
  // A GBK character whose trail byte is '[' (0x5B) before "7]": not a placeholder.
  const std::string trail = std::string("\x81\x5B") + "7]";
  EXPECT_EQ(RenderMonthPage(trail + "[7]", "/", cells), trail + "<7>");
}

class CalendarFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    app.Write("feast.ini", G(u8"[农历节日]\r\n0101=春节\r\n0815=中秋节\r\n1301=坏键\r\n815=短键\r\n0000=零\r\n"
                             "0707=\r\n[公历节日]\r\n1001=国庆节\r\n0230=坏日\r\nab01=坏键\r\n01011=长键\r\n"
                             "0229=闰日\r\n"));
  }
  test::AppFolder app;
};

TEST_F(CalendarFiles, FestivalListsFromFeastIni) {
  TextList lunar, solar;
  LoadFestivals(app / "feast.ini", lunar, solar);
  ASSERT_EQ(lunar.size(), 3u);
  EXPECT_EQ(U(lunar[0]), "正月初一-春节");
  EXPECT_EQ(U(lunar[1]), "八月十五-中秋节");
  EXPECT_EQ(U(lunar[2]), "七月初七-") << "an empty value stays, blanking the day";
  ASSERT_EQ(solar.size(), 2u);
  EXPECT_EQ(U(solar[0]), "1001-国庆节");
  EXPECT_EQ(U(solar[1]), "0229-闰日");

  LoadFestivals(app / "missing.ini", lunar, solar);
  EXPECT_TRUE(lunar.empty() && solar.empty());
}

TEST(ShippedData, FeastIniAndTemplate) {
  test::AppFolder app;
  app.CopyShippedData();
  const CalendarLists lists = LoadCalendarLists(app.path());
  struct Case {
    CivilDate day;
    const char* text;
  } cases[] = {
      {{2024, 2, 10}, "春节"},   {{2024, 2, 24}, "元宵节"}, {{2024, 6, 10}, "端午节"},
      {{2024, 8, 10}, "七夕"},   {{2024, 8, 18}, "中元节"}, {{2024, 9, 17}, "中秋节"},
      {{2024, 10, 11}, "重阳节"}, {{2025, 1, 7}, "腊八节"},  {{2025, 1, 22}, "小年"},
      {{2024, 2, 9}, "除夕"},    {{2024, 10, 1}, "国庆节"}, {{2025, 1, 1}, "元旦"},
  };
  for (const auto& c : cases) {
    const MonthCellTexts cells = MonthCells(c.day.year, c.day.month, kNoToday, lists.lunarFestivals, lists.solarFestivals);
    const int k = Weekday({c.day.year, c.day.month, 1}) + c.day.day - 1;
    EXPECT_EQ(U(cells[static_cast<size_t>(k - 1)]), std::to_string(c.day.day) + "<br>" + c.text);
  }
  const std::string tmpl = JoinLines(lists.monthTemplate);
  for (int k = 1; k <= 42; ++k) {
    const std::string p = "[" + std::to_string(k) + "]";
    EXPECT_NE(tmpl.find(p), std::string::npos) << p;
    EXPECT_EQ(tmpl.find(p), tmpl.rfind(p)) << p << " appears once";
  }
  EXPECT_NE(tmpl.find("[path]"), std::string::npos);
  EXPECT_NE(tmpl.find(G(u8"<th class=\"sun\">日</th>")), std::string::npos);
  EXPECT_TRUE(FileExists(app / "images/wnl_page.css"));
}

struct PageFixture : ::testing::Test {
  void SetUp() override {
    Startup().facePage = "Hello.htm";
    app.Write("feast.ini", G(u8"[农历节日]\r\n0101=春节\r\n[公历节日]\r\n1001=国庆节\r\n"));
    app.Write("wannianli.htm", "<p>[path]</p>\r\n" + Cells() + "\r\n");
    year.text = "1999";
    for (const char* m : {"一月", "二月", "三月", "四月", "五月", "六月", "七月", "八月", "九月",
                          "十月", "十一月", "十二月"})
      months.Add(FromUtf8(m));
    page.Today = [this] { return today; };
  }
  static std::string Cells() {
    std::string s;
    for (int k = 1; k <= 42; ++k) s += "|[" + std::to_string(k) + "]";
    return s;
  }
  // The text of cell k on the last page shown.
  std::string CellOnPage(int k) {
    const std::string& html = browser.current;
    size_t at = 0;
    for (int i = 0; i < k; ++i) at = html.find('|', at) + 1;
    return U(html.substr(at, html.find_first_of("|\r", at) - at));
  }

  test::AppFolder app;
  test::FakeBrowser browser;
  test::FakeText label, year;
  test::FakeList months;
  CivilDate today{2024, 2, 10};
  CalendarPage page{CalendarViews{&browser, &label, &year, &months}};
};

TEST_F(PageFixture, StartupShowsWelcomeThenTodaysMonth) {
  page.InitCalendarPage();
  ASSERT_EQ(browser.navigated.size(), 1u);
  EXPECT_EQ(browser.navigated[0], app / "Hello.htm");
  EXPECT_EQ(year.text, "2024");
  EXPECT_EQ(months.selected, 1);
  EXPECT_EQ(U(label.text), "今日：2024年2月10日  甲辰 龙年");
  EXPECT_EQ(page.Label14Colour(), CalendarPage::kLinkColour);
  ASSERT_EQ(browser.shown.size(), 1u);
  EXPECT_EQ(browser.current.rfind("<p>" + app.path() + "</p>", 0), 0u);
  EXPECT_EQ(CellOnPage(14), Red("10<br>春节")) << "February 2024 starts on a Thursday";
  EXPECT_EQ(CellOnPage(5), "1<br>廿二");
  ASSERT_NE(page.Lists(), nullptr);
  page.FormDestroy();
  EXPECT_EQ(page.Lists(), nullptr);
}

TEST_F(PageFixture, YearBoxRendersOnlyCoveredYears) {
  page.InitCalendarPage();
  struct Case {
    const char* text;
    int shownYear;
    const char* why;
  } cases[] = {
      {"2", 2024, "half-typed year ignored"}, {"20", 2024, "half-typed"},  {"201", 2024, "half-typed"},
      {"2010", 2010, "a whole year renders"},  {"2051", 2010, "past the tables: page stays"},
      {"2500", 2010, "the spin maximum"},      {"1950", 1950, "renders"},
      {"", 1950, "emptied box: page stays"}, {"abc", 1950, "letters: page stays"},
      {"1900", 1950, "below the range"},       {"0x7D6", 1950, "not a decimal number"},
      {"1901", 1901, "first covered year"},    {"2050", 2050, "last covered year"},
  };
  for (const auto& c : cases) {
    year.text = c.text;
    page.speWNLYearChange();
    EXPECT_EQ(page.ShownYear(), c.shownYear) << c.why;
    EXPECT_EQ(page.ShownMonth(), 2) << c.why;
  }
}

TEST_F(PageFixture, MonthListAndGoToToday) {
  page.InitCalendarPage();
  months.selected = 9;
  page.cboWNLChange();
  EXPECT_EQ(page.ShownMonth(), 10);
  EXPECT_EQ(CellOnPage(3), "1<br>国庆节") << "October 2024 starts on a Tuesday";
  EXPECT_EQ(browser.current.find("#FF0000"), std::string::npos);

  // The month list renders whatever year the box holds, past the tables too.
  year.text = "2300";
  page.cboWNLChange();
  EXPECT_EQ(page.ShownYear(), 2300);
  EXPECT_EQ(CellOnPage(2), "1<br>国庆节") << "October 2300 starts on a Monday";
  EXPECT_EQ(CellOnPage(3), "2<br>");

  today = {2025, 4, 28};
  page.Label14Click();
  EXPECT_EQ(year.text, "2025");
  EXPECT_EQ(months.selected, 3);
  EXPECT_EQ(page.ShownYear(), 2025);
  EXPECT_EQ(page.ShownMonth(), 4);
  EXPECT_EQ(CellOnPage(30), Red("28<br>四月")) << "April 2025 starts on a Tuesday";
}

TEST_F(PageFixture, LinkColoursFollowTheMouse) {
  page.InitCalendarPage();
  EXPECT_TRUE(page.Label14HandCursor());
  page.Label14MouseEnter();
  EXPECT_EQ(page.Label14Colour(), (Rgb{66, 142, 255}));
  EXPECT_TRUE(page.Label14HandCursor());
  page.Label14MouseLeave();
  EXPECT_EQ(page.Label14Colour(), (Rgb{33, 93, 198}));
  EXPECT_FALSE(page.Label14HandCursor());
}

TEST_F(PageFixture, MissingFilesStillGiveACalendar) {
  DeleteFile(app / "feast.ini");
  DeleteFile(app / "wannianli.htm");
  page.InitCalendarPage();
  EXPECT_TRUE(page.Lists()->lunarFestivals.empty());
  EXPECT_NE(browser.current.find("<td align=\"center\">9<br>" + G(u8"三十") + "</td>"), std::string::npos)
      << U(browser.current);
  EXPECT_NE(browser.current.find("<td align=\"center\">" + G(u8"<font color=\"#FF0000\">10<br>正月</font>")),
            std::string::npos);
}

TEST_F(PageFixture, HandlersBeforeStartupOrAfterDestroyDoNotFail) {
  months.selected = -1;
  page.cboWNLChange();  // no month chosen: nothing to show
  EXPECT_TRUE(browser.shown.empty());
  months.selected = 0;
  page.speWNLYearChange();
  EXPECT_EQ(page.ShownYear(), 1999);
  page.InitCalendarPage();
  page.FormDestroy();
  page.Label14Click();
  EXPECT_EQ(page.ShownYear(), 2024);
}

}  // namespace
}  // namespace zel
