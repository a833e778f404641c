// The lunar calendar engine: Gregorian dates to lunar dates, solar terms,
// cyclic years and the text of a calendar day cell. Everything rests on
// three compiled-in tables (lunar years 1901 to 2050, solar terms of the
// Gregorian years 1901 to 2050); nothing is computed from astronomy.
//
// Outside the tables nothing is guessed: lunar operations give a zero date
// or the empty text, table look-ups give 0, and a day cell has no lunar text.
// All texts are GBK.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/text.h"

namespace zel {

struct CivilDate {
  int year = 0, month = 0, day = 0;
  friend bool operator==(const CivilDate&, const CivilDate&) = default;
};

struct LunarDate {
  int year = 0, month = 0, day = 0;  // all 0 outside the tables
  bool leap = false;                 // the day lies in the year's leap month
  bool Valid() const { return day != 0; }
};

// Days of a regular lunar month and of the leap month that follows it.
struct LunarMonthLength {
  int regular = 0;  // 29 or 30; 0 outside the tables
  int leap = 0;     // 0 unless the month is followed by a leap month
  // Regular days in the low 16 bits, leap days in the high 16 bits.
  std::uint32_t Packed() const { return static_cast<std::uint32_t>(regular) | static_cast<std::uint32_t>(leap) << 16; }
};

constexpr int kFirstLunarYear = 1901, kLastLunarYear = 2050;
constexpr CivilDate kFirstCoveredDay{1901, 1, 1}, kLastCoveredDay{2051, 2, 10};

// Proleptic Gregorian day arithmetic; the offset counts days since
// 1901-01-01 (negative before it).
bool IsValidDate(const CivilDate& d);
long DaysFrom1901(const CivilDate& d);
CivilDate DateFromOffset(long offset);
// 1 = Sunday ... 7 = Saturday.
int Weekday(const CivilDate& d);
// Offset of the last day with a lunar date (2051-02-10).
long LastCoveredOffset();

// 28 to 31; 0 for a month outside 1 to 12.
std::uint16_t GregorianMonthDays(int year, int month);
// 0 when the year has no leap month or lies outside the tables.
int LeapMonth(int year);
LunarMonthLength LunarMonthDays(int year, int month);
// 353 to 385; 0 outside the tables.
int LunarYearDays(int year);
// Offset in days since 1901-01-01. A day of a leap month carries the number
// of the month it follows (and leap = true). Offsets before 1901-01-01 or
// after 2051-02-10 give an invalid date.
LunarDate LunarFromOffset(long offset);

// 1 to 24 when a solar term falls on the day, else 0 (also for a year
// outside 1901 to 2050 or an impossible day).
int SolarTermOfDay(int year, int month, int day);
// "小寒" ... "冬至" for 1 to 24; empty otherwise.
const std::string& SolarTermName(int term);

// Stem-branch and animal of the Gregorian year number, "丙戌 狗年".
std::string CyclicYearName(int year);
// "正月" ... "十二月"; empty outside 1 to 12.
const std::string& LunarMonthName(int month);
// "初一" ... "三十"; empty outside 1 to 30.
const std::string& LunarDayName(int day);
// "0815" -> "八月十五". Anything but four digits naming month 1-12 and day
// 1-30 gives the empty text.
std::string LunarKeyName(std::string_view key);

// The text under the day number: the solar term of the day, otherwise the
// lunar day name (the month name on the first day of a month), replaced by
// the last lunar festival entry ("月名日名-名称") that matches. Empty outside
// the tables' range.
std::string DayCellText(const CivilDate& date, const TextList& lunarFestivals);

}  // namespace zel
