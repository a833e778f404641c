#include "calendar/lunar.h"

#include <array>
#include <cstdint>

#include "base/gbk.h"

namespace zel {
namespace {

#include "calendar/lunar_tables.inc"

constexpr int kYears = kLastLunarYear - kFirstLunarYear + 1;
static_assert(sizeof kMonthWords / sizeof kMonthWords[0] == kYears);

constexpr bool InTables(int year) { return year >= kFirstLunarYear && year <= kLastLunarYear; }

// Days since 1970-01-01 of a proleptic Gregorian date.
constexpr long DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const long yoe = y - era * 400;
  const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

constexpr long kEpoch = DaysFromCivil(1901, 1, 1);

constexpr int LeapOf(int year) {
  if (!InTables(year)) return 0;
  const int i = year - kFirstLunarYear;
  const std::uint8_t b = kLeapMonths[i / 2];
  return i % 2 == 0 ? b >> 4 : b & 0x0F;
}

constexpr LunarMonthLength MonthLength(int year, int month) {
  if (!InTables(year) || month < 1 || month > 12) return {};
  const unsigned word = kMonthWords[year - kFirstLunarYear];
  const int leap = LeapOf(year);
  const int bit = (leap == 0 || month <= leap) ? 16 - month : 15 - month;
  LunarMonthLength out;
  out.regular = (word >> bit) & 1 ? 30 : 29;
  if (month == leap) out.leap = (word >> (15 - leap)) & 1 ? 30 : 29;
  return out;
}

constexpr int YearDays(int year) {
  if (!InTables(year)) return 0;
  int sum = 0;
  for (int m = 1; m <= 12; ++m) {
    const LunarMonthLength l = MonthLength(year, m);
    sum += l.regular + l.leap;
  }
  return sum;
}

// Lunar 1901 begins 49 days after 1901-01-01 (lunar 1900, 11th month, day 11).
constexpr int kLunar1901Start = 49;

// Offset of the first day of every lunar year, and one past the last.
constexpr std::array<long, kYears + 1> kYearStart = [] {
  std::array<long, kYears + 1> a{};
  a[0] = kLunar1901Start;
  for (int i = 0; i < kYears; ++i) a[i + 1] = a[i] + YearDays(kFirstLunarYear + i);
  return a;
}();
static_assert(kYearStart[kYears] == DaysFromCivil(2051, 2, 11) - kEpoch, "lunar 2051 begins on 2051-02-11");
static_assert(kYearStart[2006 - kFirstLunarYear] == DaysFromCivil(2006, 1, 29) - kEpoch);

// Picks a two-byte character out of a GBK name table.
std::string Char(const std::string& table, int index) { return table.substr(static_cast<size_t>(index) * 2, 2); }

const std::string& Stems() {
  static const std::string s = G(u8"甲乙丙丁戊己庚辛壬癸");
  return s;
}
const std::string& Branches() {
  static const std::string s = G(u8"子丑寅卯辰巳午未申酉戌亥");
  return s;
}
const std::string& Animals() {
  static const std::string s = G(u8"鼠牛虎兔龙蛇马羊猴鸡狗猪");
  return s;
}

const std::string& Empty() {
  static const std::string s;
  return s;
}

}  // namespace

bool IsValidDate(const CivilDate& d) {
  return d.month >= 1 && d.month <= 12 && d.day >= 1 && d.day <= GregorianMonthDays(d.year, d.month);
}

long DaysFrom1901(const CivilDate& d) { return DaysFromCivil(d.year, d.month, d.day) - kEpoch; }

CivilDate DateFromOffset(long offset) {
  // Inverse of DaysFromCivil.
  const long z = offset + kEpoch + 719468;
  const long era = (z >= 0 ? z : z - 146096) / 146097;
  const long doe = z - era * 146097;
  const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long mp = (5 * doy + 2) / 153;
  const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  return {static_cast<int>(yoe + era * 400 + (m <= 2)), m, d};
}

int Weekday(const CivilDate& d) {
  // 1901-01-01 was a Tuesday.
  const long w = (DaysFrom1901(d) + 2) % 7;
  return static_cast<int>(w < 0 ? w + 7 : w) + 1;
}

long LastCoveredOffset() { return kYearStart[kYears] - 1; }

std::uint16_t GregorianMonthDays(int year, int month) {
  static constexpr std::uint16_t kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  if (month == 2 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0)) return 29;
  return kDays[month - 1];
}

int LeapMonth(int year) { return LeapOf(year); }
LunarMonthLength LunarMonthDays(int year, int month) { return MonthLength(year, month); }
int LunarYearDays(int year) { return YearDays(year); }

LunarDate LunarFromOffset(long offset) {
  if (offset < 0 || offset > LastCoveredOffset()) return {};
  if (offset < kLunar1901Start) {
    // The end of lunar 1900: its 12th month begins on 1901-01-20.
    if (offset < 19) return {1900, 11, static_cast<int>(offset) + 11, false};
    return {1900, 12, static_cast<int>(offset) - 18, false};
  }
  int i = static_cast<int>((offset - kLunar1901Start) / 385);  // never past the year sought
  while (kYearStart[i + 1] <= offset) ++i;
  const int year = kFirstLunarYear + i;
  long rest = offset - kYearStart[i];
  const int leap = LeapOf(year);
  for (int m = 1; m <= 12; ++m) {
    const LunarMonthLength l = MonthLength(year, m);
    if (rest < l.regular) return {year, m, static_cast<int>(rest) + 1, false};
    rest -= l.regular;
    if (m == leap) {
      if (rest < l.leap) return {year, m, static_cast<int>(rest) + 1, true};
      rest -= l.leap;
    }
  }
  return {};  // unreachable: the year's months add up to its length
}

int SolarTermOfDay(int year, int month, int day) {
  if (!InTables(year) || month < 1 || month > 12 || day < 1 || day > 31) return 0;
  const std::uint8_t b = kSolarTerms[year - kFirstLunarYear][month - 1];
  if (day < 15) return day == 15 - (b >> 4) ? 2 * month - 1 : 0;
  return day == 15 + (b & 0x0F) ? 2 * month : 0;
}

const std::string& SolarTermName(int term) {
  static const std::array<std::string, 24> kNames = [] {
    const std::string all = G(u8"小寒大寒立春雨水惊蛰春分清明谷雨立夏小满芒种夏至"
                              u8"小暑大暑立秋处暑白露秋分寒露霜降立冬小雪大雪冬至");
    std::array<std::string, 24> a;
    for (int i = 0; i < 24; ++i) a[i] = all.substr(static_cast<size_t>(i) * 4, 4);
    return a;
  }();
  return term >= 1 && term <= 24 ? kNames[term - 1] : Empty();
}

std::string CyclicYearName(int year) {
  const int s = ((year - 4) % 10 + 10) % 10, b = ((year - 4) % 12 + 12) % 12;
  static const std::string kYear = G(u8"年");
  return Char(Stems(), s) + Char(Branches(), b) + " " + Char(Animals(), b) + kYear;
}

const std::string& LunarMonthName(int month) {
  static const std::array<std::string, 12> kNames = [] {
    const std::string digits = G(u8"正二三四五六七八九十"), yue = G(u8"月");
    std::array<std::string, 12> a;
    for (int m = 1; m <= 10; ++m) a[m - 1] = Char(digits, m - 1) + yue;
    a[10] = G(u8"十一月");
    a[11] = G(u8"十二月");
    return a;
  }();
  return month >= 1 && month <= 12 ? kNames[month - 1] : Empty();
}

const std::string& LunarDayName(int day) {
  static const std::array<std::string, 30> kNames = [] {
    const std::string prefixes = G(u8"初十廿三"), digits = G(u8"一二三四五六七八九十");
    std::array<std::string, 30> a;
    for (int d = 1; d <= 30; ++d) a[d - 1] = Char(prefixes, (d - 1) / 10) + Char(digits, (d - 1) % 10);
    // "十十" and "廿十" read as twenty and thirty.
    a[19] = G(u8"二十");
    a[29] = G(u8"三十");
    return a;
  }();
  return day >= 1 && day <= 30 ? kNames[day - 1] : Empty();
}

std::string LunarKeyName(std::string_view key) {
  if (key.size() != 4) return {};
  for (char c : key)
    if (c < '0' || c > '9') return {};
  const int month = (key[0] - '0') * 10 + (key[1] - '0');
  const int day = (key[2] - '0') * 10 + (key[3] - '0');
  if (month < 1 || month > 12 || day < 1 || day > 30) return {};
  return LunarMonthName(month) + LunarDayName(day);
}

std::string DayCellText(const CivilDate& date, const TextList& lunarFestivals) {
  if (!IsValidDate(date)) return {};
  if (int t = SolarTermOfDay(date.year, date.month, date.day)) return SolarTermName(t);
  const LunarDate l = LunarFromOffset(DaysFrom1901(date));
  if (!l.Valid()) return {};
  const std::string& monthName = LunarMonthName(l.month);
  const std::string& dayName = LunarDayName(l.day);
  static const std::string kFirstDay = G(u8"初一");
  std::string text = dayName == kFirstDay ? monthName : dayName;
  const std::string prefix = monthName + dayName;
  for (const auto& entry : lunarFestivals) {
    if (entry.compare(0, prefix.size(), prefix) != 0) continue;
    const size_t dash = entry.find('-', prefix.size());
    if (dash != std::string::npos) text = entry.substr(dash + 1);
  }
  return text;
}

}  // namespace zel
