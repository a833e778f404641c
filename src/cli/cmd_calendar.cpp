#include <cstdio>
#include <optional>
#include <ostream>

#include "base/appenv.h"
#include "calendar/calendar_page.h"
#include "calendar/lunar.h"
#include "cli/cli.h"

namespace zel::cli {
namespace {

std::optional<long> Number(const std::string& text, long lo, long hi) {
  if (text.empty() || text.size() > 6) return std::nullopt;
  long v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
  }
  if (v < lo || v > hi) return std::nullopt;
  return v;
}

// YYYY-MM-DD naming a real day.
std::optional<CivilDate> ParseDate(const std::string& text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  auto y = Number(text.substr(0, 4), 1, 9999), m = Number(text.substr(5, 2), 1, 12), d = Number(text.substr(8, 2), 1, 31);
  if (!y || !m || !d) return std::nullopt;
  CivilDate date{static_cast<int>(*y), static_cast<int>(*m), static_cast<int>(*d)};
  if (!IsValidDate(date)) return std::nullopt;
  return date;
}

std::string FormatDate(const CivilDate& d) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", d.year, d.month, d.day);
  return buf;
}

}  // namespace

int CmdLunar(Io& io, const Args& args) {
  if (args.empty() || args.size() > 2) return UsageError(io, "usage: lunar FROM [TO]   (dates YYYY-MM-DD)");
  auto from = ParseDate(args[0]);
  auto to = args.size() == 2 ? ParseDate(args[1]) : from;
  if (!from || !to) return UsageError(io, "\"" + args[args.size() == 2 && from ? 1 : 0] + "\" is not a date YYYY-MM-DD");
  const long first = DaysFrom1901(*from), last = DaysFrom1901(*to);
  if (first < 0 || last > LastCoveredOffset())
    return UsageError(io, "lunar dates are known from 1901-01-01 to 2051-02-10");
  if (last < first) return UsageError(io, "TO lies before FROM");
  for (long off = first; off <= last; ++off) {
    const CivilDate date = DateFromOffset(off);
    const LunarDate l = LunarFromOffset(off);
    io.out << FormatDate(date) << '\t' << l.year << '\t' << l.month << '\t' << l.day << '\t';
    PrintGbk(io.out, DayCellText(date, {}));
    io.out << '\n';
  }
  return kOk;
}

int CmdCyclic(Io& io, const Args& args) {
  if (args.size() != 1) return UsageError(io, "usage: cyclic YEAR");
  auto year = Number(args[0], 1, 9999);
  if (!year) return UsageError(io, "\"" + args[0] + "\" is not a year from 1 to 9999");
  PrintGbk(io.out, CyclicYearName(static_cast<int>(*year)));
  io.out << '\n';
  return kOk;
}

int CmdCalendar(Io& io, const Args& args) {
  static const char* kUsage = "usage: calendar YEAR MONTH [--today YYYY-MM-DD]";
  Args pos;
  std::optional<CivilDate> today;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--today") {
      if (i + 1 >= args.size()) return UsageError(io, kUsage);
      today = ParseDate(args[++i]);
      if (!today) return UsageError(io, "\"" + args[i] + "\" is not a date YYYY-MM-DD");
    } else {
      pos.push_back(args[i]);
    }
  }
  if (pos.size() != 2) return UsageError(io, kUsage);
  auto year = Number(pos[0], CalendarPage::kMinYear, CalendarPage::kMaxYear);
  if (!year) return UsageError(io, "\"" + pos[0] + "\" is not a year from 1901 to 2500");
  auto month = Number(pos[1], 1, 12);
  if (!month) return UsageError(io, "\"" + pos[1] + "\" is not a month from 1 to 12");
  TextList lunar, solar;
  LoadFestivals(AppPath() + "feast.ini", lunar, solar);
  const MonthCellTexts cells =
      MonthCells(static_cast<int>(*year), static_cast<int>(*month), today ? *today : LocalToday(), lunar, solar);
  for (size_t k = 0; k < cells.size(); ++k) {
    io.out << k + 1 << '\t';
    PrintGbk(io.out, cells[k]);
    io.out << '\n';
  }
  return kOk;
}

}  // namespace zel::cli
