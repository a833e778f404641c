#include "calendar/lunar.h"

#include <gtest/gtest.h>

#include "support/testutil.h"

namespace zel {
namespace {

using test::U;

std::string Cell(int y, int m, int d, const TextList& festivals = {}) { return U(DayCellText({y, m, d}, festivals)); }
LunarDate Lunar(int y, int m, int d) { return LunarFromOffset(DaysFrom1901({y, m, d})); }

TEST(LunarDates, KnownDaysMapToTheirLunarDates) {
  struct Case {
    CivilDate date;
    int year, month, day;
    bool leap;
    const char* why;
  } cases[] = {
      {{1901, 1, 1}, 1900, 11, 11, false, "first covered day"},
      {{1901, 1, 19}, 1900, 11, 29, false, "last day of lunar 1900's 11th month"},
      {{1901, 1, 20}, 1900, 12, 1, false, "12th month of lunar 1900 begins"},
      {{1901, 2, 18}, 1900, 12, 30, false, "last day of lunar 1900"},
      {{1901, 2, 19}, 1901, 1, 1, false, "lunar 1901 begins"},
      {{1949, 1, 29}, 1949, 1, 1, false, "new year 1949"},
      {{1976, 1, 31}, 1976, 1, 1, false, "new year 1976"},
      {{1985, 2, 20}, 1985, 1, 1, false, "new year 1985"},
      {{2000, 2, 5}, 2000, 1, 1, false, "new year 2000"},
      {{2006, 1, 29}, 2006, 1, 1, false, "new year 2006"},
      {{2006, 7, 25}, 2006, 7, 1, false, "regular 7th month of 2006"},
      {{2006, 8, 24}, 2006, 7, 1, true, "leap 7th month of 2006"},
      {{2008, 2, 7}, 2008, 1, 1, false, "new year 2008"},
      {{2020, 5, 23}, 2020, 4, 1, true, "leap 4th month of 2020"},
      {{2020, 6, 21}, 2020, 5, 1, false, "5th month of 2020"},
      {{2023, 9, 29}, 2023, 8, 15, false, "mid-autumn 2023"},
      {{2024, 2, 10}, 2024, 1, 1, false, "new year 2024"},
      {{2024, 6, 10}, 2024, 5, 5, false, "dragon boat 2024"},
      {{2025, 1, 29}, 2025, 1, 1, false, "new year 2025"},
      {{2025, 10, 6}, 2025, 8, 15, false, "mid-autumn 2025"},
      {{2026, 2, 17}, 2026, 1, 1, false, "new year 2026"},
      {{2033, 12, 22}, 2033, 11, 1, true, "leap 11th month of 2033"},
      {{2034, 1, 20}, 2033, 12, 1, false, "12th month of lunar 2033"},
      {{2050, 1, 23}, 2050, 1, 1, false, "new year 2050"},
      {{2051, 2, 10}, 2050, 12, 29, false, "last covered day"},
      // Corrected against the almanac.
      {{2013, 6, 8}, 2013, 5, 1, false, "5th month of 2013 (new moon 23:56)"},
      {{2013, 6, 7}, 2013, 4, 29, false, "4th month of 2013 has 29 days"},
      {{2025, 4, 28}, 2025, 4, 1, false, "4th month of 2025 (new moon 03:31)"},
      {{2025, 4, 27}, 2025, 3, 30, false, "3rd month of 2025 has 30 days"},
      {{1989, 8, 2}, 1989, 7, 1, false, "7th month of 1989"},
      {{1989, 8, 1}, 1989, 6, 30, false, "6th month of 1989 has 30 days"},
  };
  for (const auto& c : cases) {
    LunarDate l = Lunar(c.date.year, c.date.month, c.date.day);
    EXPECT_TRUE(l.year == c.year && l.month == c.month && l.day == c.day && l.leap == c.leap)
        << c.why << ": got " << l.year << "-" << l.month << "-" << l.day << (l.leap ? " leap" : "");
  }
}

TEST(LunarDates, EveryCoveredDayAdvancesByOneLunarDay) {
  ASSERT_EQ(LastCoveredOffset(), DaysFrom1901({2051, 2, 10}));
  LunarDate prev = LunarFromOffset(0);
  ASSERT_TRUE(prev.Valid());
  int yearDays = 0;  // days counted in the current lunar year (from 1901 on)
  for (long off = 1; off <= LastCoveredOffset(); ++off) {
    const LunarDate l = LunarFromOffset(off);
    ASSERT_TRUE(l.Valid()) << off;
    ASSERT_GE(l.day, 1);
    const int monthLen = prev.leap ? LunarMonthDays(prev.year, prev.month).leap
                                   : (prev.year == 1900 ? (prev.month == 11 ? 29 : 30)
                                                        : LunarMonthDays(prev.year, prev.month).regular);
    if (l.day == prev.day + 1) {
      ASSERT_TRUE(l.year == prev.year && l.month == prev.month && l.leap == prev.leap) << off;
    } else {
      ASSERT_EQ(l.day, 1) << off;
      ASSERT_EQ(prev.day, monthLen) << "month ends early or late before offset " << off;
      if (l.year != prev.year) {
        ASSERT_TRUE(l.year == prev.year + 1 && l.month == 1 && prev.month == 12 && !l.leap) << off;
        if (prev.year >= kFirstLunarYear) {
          ASSERT_EQ(yearDays, LunarYearDays(prev.year)) << prev.year;
        }
        yearDays = 0;
      } else if (l.leap) {
        ASSERT_TRUE(l.month == prev.month && !prev.leap && LeapMonth(l.year) == l.month) << off;
      } else {
        ASSERT_EQ(l.month, prev.month + 1) << off;
      }
    }
    ++yearDays;
    prev = l;
  }
  EXPECT_EQ(yearDays, LunarYearDays(2050));
}

TEST(LunarDates, MonthAndYearLengthsStayInRange) {
  for (int y = kFirstLunarYear; y <= kLastLunarYear; ++y) {
    const int leap = LeapMonth(y);
    EXPECT_TRUE(leap >= 0 && leap <= 12) << y;
    const int days = LunarYearDays(y);
    EXPECT_TRUE(leap ? days >= 383 && days <= 385 : days >= 353 && days <= 355) << y << ": " << days;
    for (int m = 1; m <= 12; ++m) {
      const LunarMonthLength l = LunarMonthDays(y, m);
      EXPECT_TRUE(l.regular == 29 || l.regular == 30) << y << "-" << m;
      EXPECT_EQ(l.leap != 0, m == leap) << y << "-" << m;
      EXPECT_EQ(l.Packed(), static_cast<std::uint32_t>(l.regular | l.leap << 16));
    }
  }
  EXPECT_EQ(LeapMonth(2006), 7);
  EXPECT_EQ(LeapMonth(2033), 11);
  EXPECT_EQ(LeapMonth(1902), 0);
}

TEST(LunarDates, OutsideTheTablesGiveNothing) {
  EXPECT_FALSE(LunarFromOffset(-1).Valid());
  EXPECT_FALSE(LunarFromOffset(LastCoveredOffset() + 1).Valid());
  EXPECT_FALSE(LunarFromOffset(-1000000).Valid());
  EXPECT_FALSE(LunarFromOffset(10000000).Valid());
  EXPECT_EQ(LeapMonth(1900), 0);
  EXPECT_EQ(LeapMonth(2051), 0);
  EXPECT_EQ(LunarYearDays(1900), 0);
  EXPECT_EQ(LunarYearDays(2051), 0);
  EXPECT_EQ(LunarMonthDays(2051, 1).Packed(), 0u);
  EXPECT_EQ(LunarMonthDays(2006, 0).Packed(), 0u);
  EXPECT_EQ(LunarMonthDays(2006, 13).Packed(), 0u);
  EXPECT_EQ(SolarTermOfDay(1900, 1, 6), 0);
  EXPECT_EQ(SolarTermOfDay(2051, 1, 5), 0);
  EXPECT_EQ(SolarTermOfDay(2006, 0, 5), 0);
  EXPECT_EQ(SolarTermOfDay(2006, 13, 5), 0);
  EXPECT_EQ(Cell(1900, 12, 31), "");
  EXPECT_EQ(Cell(2051, 2, 11), "");
  EXPECT_EQ(Cell(2300, 6, 1), "");
  EXPECT_EQ(Cell(2006, 2, 30), "") << "impossible date";
  EXPECT_EQ(Cell(2051, 2, 10), "廿九");
}

TEST(SolarTerms, EveryMonthHasOneTermInEachHalf) {
  for (int y = kFirstLunarYear; y <= kLastLunarYear; ++y)
    for (int m = 1; m <= 12; ++m) {
      int first = 0, second = 0;
      for (int d = 1; d <= GregorianMonthDays(y, m); ++d) {
        const int t = SolarTermOfDay(y, m, d);
        if (t == 2 * m - 1) first = first ? -1 : d;
        else if (t == 2 * m) second = second ? -1 : d;
        else ASSERT_EQ(t, 0);
      }
      EXPECT_TRUE(first >= 3 && first <= 9) << y << "-" << m << " first term on " << first;
      EXPECT_TRUE(second >= 18 && second <= 24) << y << "-" << m << " second term on " << second;
    }
}

TEST(SolarTerms, KnownTermDays) {
  struct Case {
    CivilDate date;
    const char* name;
  } cases[] = {
      {{2006, 1, 5}, "小寒"},  {{1901, 2, 19}, "雨水"}, {{2034, 1, 20}, "大寒"},
      {{2020, 6, 21}, "夏至"}, {{2024, 2, 4}, "立春"},  {{2024, 12, 21}, "冬至"},
      {{2025, 4, 4}, "清明"},  {{2050, 12, 22}, "冬至"},
      // Corrected against the almanac.
      {{1995, 8, 23}, "处暑"}, {{1904, 10, 9}, "寒露"}, {{1929, 11, 23}, "小雪"},
      {{1949, 8, 23}, "处暑"}, {{1954, 10, 24}, "霜降"}, {{1962, 1, 20}, "大寒"},
      {{1973, 2, 19}, "雨水"}, {{1976, 8, 23}, "处暑"}, {{1977, 5, 5}, "立夏"},
      {{1981, 11, 7}, "立冬"}, {{1991, 5, 6}, "立夏"},  {{2033, 7, 22}, "大暑"},
      {{2034, 8, 7}, "立秋"},  {{2049, 4, 4}, "清明"},  {{2049, 4, 19}, "谷雨"},
      {{2050, 9, 7}, "白露"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Cell(c.date.year, c.date.month, c.date.day), c.name) << c.date.year << "-" << c.date.month << "-" << c.date.day;
  EXPECT_NE(Cell(1995, 8, 21), "处暑") << "the printed table's wrong day";
}

TEST(DayCells, ShowTermMonthOrDayName) {
  struct Case {
    CivilDate date;
    const char* cell;
    const char* why;
  } cases[] = {
      {{1901, 1, 1}, "十一", "lunar day 11"},
      {{1901, 1, 20}, "十二月", "first day of a month shows the month"},
      {{1901, 2, 19}, "雨水", "term wins over the new year"},
      {{2006, 1, 29}, "正月", "lunar new year 2006"},
      {{2006, 8, 24}, "七月", "leap month shows the plain month name"},
      {{2006, 7, 25}, "七月", "the regular month alike"},
      {{2033, 12, 22}, "十一月", "leap 11th month"},
      {{2034, 1, 20}, "大寒", "term on the first of a month"},
      {{2020, 5, 23}, "四月", "leap 4th month"},
      {{2020, 6, 21}, "夏至", "term on the first of the 5th month"},
      {{2013, 6, 8}, "五月", "corrected 5th month of 2013"},
      {{2025, 4, 28}, "四月", "corrected 4th month of 2025"},
      {{1989, 8, 2}, "七月", "corrected 7th month of 1989"},
  };
  for (const auto& c : cases) EXPECT_EQ(Cell(c.date.year, c.date.month, c.date.day), c.cell) << c.why;
}

TEST(DayCells, LunarFestivalsReplaceTheDayNameLastMatchWins) {
  const TextList fest = {G(u8"正月初一-春节"), G(u8"七月初七-七夕"), G(u8"七月十五-中元节"), G(u8"七月初七-乞巧节")};
  EXPECT_EQ(Cell(2006, 1, 29, fest), "春节") << "matches instead of the month name";
  EXPECT_EQ(Cell(2006, 7, 31, fest), "乞巧节") << "later entry of the same day wins";
  EXPECT_EQ(Cell(2006, 8, 30, fest), "乞巧节") << "the leap seventh month shows it too";
  EXPECT_EQ(Cell(2006, 9, 7, fest), "中元节") << "15th of the leap seventh month";
  EXPECT_EQ(Cell(2006, 8, 1, fest), "初八") << "no entry for this day";
  EXPECT_EQ(Cell(2024, 2, 10, {G(u8"正月初一-")}), "") << "an empty festival name blanks the text";

  // A festival on the lunar date of a term day is not shown.
  const LunarDate l = Lunar(2006, 1, 5);
  const TextList onTerm = {LunarMonthName(l.month) + LunarDayName(l.day) + G(u8"-测试节")};
  EXPECT_EQ(Cell(2006, 1, 5, onTerm), "小寒");
  const LunarDate next = Lunar(2006, 1, 6);
  EXPECT_EQ(Cell(2006, 1, 6, {LunarMonthName(next.month) + LunarDayName(next.day) + G(u8"-测试节")}), "测试节");
}

TEST(Names, CyclicYearsMonthsDaysAndKeys) {
  struct Case {
    std::string got;
    const char* want;
  } cases[] = {
      {CyclicYearName(2006), "丙戌 狗年"}, {CyclicYearName(1987), "丁卯 兔年"},
      {CyclicYearName(1984), "甲子 鼠年"}, {CyclicYearName(1901), "辛丑 牛年"},
      {CyclicYearName(2500), "庚子 鼠年"}, {CyclicYearName(3), "癸亥 猪年"},
      {LunarMonthName(1), "正月"},         {LunarMonthName(10), "十月"},
      {LunarMonthName(11), "十一月"},      {LunarMonthName(12), "十二月"},
      {LunarMonthName(0), ""},             {LunarMonthName(13), ""},
      {LunarDayName(1), "初一"},           {LunarDayName(10), "初十"},
      {LunarDayName(11), "十一"},          {LunarDayName(19), "十九"},
      {LunarDayName(20), "二十"},          {LunarDayName(21), "廿一"},
      {LunarDayName(29), "廿九"},          {LunarDayName(30), "三十"},
      {LunarDayName(0), ""},               {LunarDayName(31), ""},
      {LunarKeyName("0815"), "八月十五"},  {LunarKeyName("0101"), "正月初一"},
      {LunarKeyName("1230"), "十二月三十"}, {LunarKeyName("1108"), "十一月初八"},
      {LunarKeyName("081"), ""},           {LunarKeyName("08155"), ""},
      {LunarKeyName("1301"), ""},          {LunarKeyName("0831"), ""},
      {LunarKeyName("0800"), ""},          {LunarKeyName("a815"), ""},
      {SolarTermName(1), "小寒"},          {SolarTermName(16), "处暑"},
      {SolarTermName(24), "冬至"},         {SolarTermName(25), ""},
  };
  for (const auto& c : cases) EXPECT_EQ(U(c.got), c.want);
}

TEST(GregorianDays, MonthLengthsWeekdaysAndOffsets) {
  struct Case {
    int year, month, days;
  } lengths[] = {{2000, 2, 29}, {1900, 2, 28}, {2004, 2, 29}, {2006, 2, 28}, {2006, 13, 0},
                 {2006, 0, 0},  {2006, 1, 31}, {2006, 4, 30}, {2006, 12, 31}};
  for (const auto& c : lengths) EXPECT_EQ(GregorianMonthDays(c.year, c.month), c.days) << c.year << "-" << c.month;

  EXPECT_EQ(Weekday({1901, 1, 1}), 3) << "a Tuesday";
  EXPECT_EQ(Weekday({2009, 2, 1}), 1) << "a Sunday";
  EXPECT_EQ(Weekday({2009, 8, 1}), 7) << "a Saturday";
  EXPECT_EQ(Weekday({1900, 12, 31}), 2) << "a Monday, before the epoch";
  EXPECT_EQ(DaysFrom1901({1901, 2, 19}), 49);
  EXPECT_EQ(DaysFrom1901({1900, 12, 31}), -1);
  for (long off : {-800000L, -1L, 0L, 59L, 36524L, LastCoveredOffset(), 2000000L})
    EXPECT_EQ(DaysFrom1901(DateFromOffset(off)), off);
  EXPECT_TRUE(DateFromOffset(DaysFrom1901({2000, 2, 29})) == (CivilDate{2000, 2, 29}));
}

}  // namespace
}  // namespace zel
