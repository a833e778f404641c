#include "calendar/calendar_page.h"

#include <algorithm>
#include <bitset>
#include <ctime>

#include "base/appenv.h"
#include "base/clock.h"
#include "base/files.h"
#include "base/gbk.h"
#include "base/ini.h"

namespace zel {
namespace {

// Shown when wannianli.htm is missing or empty, so the tab still has a
// calendar: the same six weeks of seven days, without pictures.
std::string FallbackTemplate() {
  std::string t = "<html><head><meta charset=\"gbk\"></head><body><table border=\"1\" width=\"100%\"><tr>";
  const std::string days = G(u8"日一二三四五六");
  for (size_t i = 0; i < days.size(); i += 2) t += "<th>" + days.substr(i, 2) + "</th>";
  t += "</tr>";
  for (int row = 0; row < 6; ++row) {
    t += "<tr>";
    for (int col = 1; col <= 7; ++col) t += "<td align=\"center\">[" + std::to_string(row * 7 + col) + "]</td>";
    t += "</tr>";
  }
  return t + "</table></body></html>";
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "MMDD" -> month and day, digits only.
bool SplitKey(std::string_view key, int& month, int& day) {
  if (key.size() < 4 || !IsDigit(key[0]) || !IsDigit(key[1]) || !IsDigit(key[2]) || !IsDigit(key[3])) return false;
  month = (key[0] - '0') * 10 + (key[1] - '0');
  day = (key[2] - '0') * 10 + (key[3] - '0');
  return true;
}

// Plain decimal only: the spin box never holds anything else legitimately.
bool ParseYear(std::string_view text, long& out) {
  std::string t = Trim(text);
  if (t.empty() || t.size() > 9) return false;
  out = 0;
  for (char c : t) {
    if (!IsDigit(c)) return false;
    out = out * 10 + (c - '0');
  }
  return true;
}

}  // namespace

void LoadFestivals(const std::string& iniPath, TextList& lunar, TextList& solar) {
  static const std::string kLunar = G(u8"农历节日"), kSolar = G(u8"公历节日");
  lunar.clear();
  solar.clear();
  IniFile ini(iniPath);
  for (const auto& key : ini.ReadSection(kLunar)) {
    std::string name = LunarKeyName(key);
    if (!name.empty()) lunar.push_back(name + "-" + ini.ReadString(kLunar, key, ""));
  }
  for (const auto& key : ini.ReadSection(kSolar)) {
    int month = 0, day = 0;
    if (key.size() != 4 || !SplitKey(key, month, day) || day < 1 || day > GregorianMonthDays(2000, month)) continue;
    solar.push_back(key + "-" + ini.ReadString(kSolar, key, ""));
  }
}

CalendarLists LoadCalendarLists(const std::string& appPath) {
  CalendarLists lists;
  LoadFestivals(appPath + "feast.ini", lists.lunarFestivals, lists.solarFestivals);
  LoadLines(appPath + "wannianli.htm", lists.monthTemplate);
  return lists;
}

MonthCellTexts MonthCells(int year, int month, const CivilDate& today, const TextList& lunarFestivals,
                          const TextList& solarFestivals) {
  static const std::string kBlank = "&nbsp;<br>&nbsp;";
  MonthCellTexts cells;
  cells.fill(kBlank);
  const int days = GregorianMonthDays(year, month);
  if (days == 0) return cells;
  const int first = Weekday({year, month, 1});
  for (int d = 1; d <= days; ++d) {
    std::string text = DayCellText({year, month, d}, lunarFestivals);
    for (const auto& entry : solarFestivals) {
      int m = 0, day = 0;
      if (SplitKey(entry, m, day) && m == month && day == d) text = entry.size() > 5 ? entry.substr(5) : "";
    }
    std::string cell = std::to_string(d) + "<br>" + HtmlEscape(text);
    if (today == CivilDate{year, month, d}) cell = "<font color=\"#FF0000\">" + cell + "</font>";
    cells[static_cast<size_t>(first + d - 2)] = std::move(cell);
  }
  return cells;
}

std::string RenderMonthPage(std::string_view t, std::string_view appPath, const MonthCellTexts& cells) {
  static constexpr std::string_view kPath = "[path]";
  const std::string path = HtmlEscape(appPath);
  std::string out;
  out.reserve(t.size() + 42 * 24 + 8 * path.size());
  std::bitset<43> used;
  const size_t n = t.size();
  for (size_t i = 0; i < n;) {
    const auto c = static_cast<unsigned char>(t[i]);
    if (c >= 0x81 && c <= 0xFE && i + 1 < n) {
      // A double-byte character: its trail byte may look like '[' or ']'.
      out.append(t.substr(i, 2));
      i += 2;
      continue;
    }
    if (c == '[') {
      if (t.compare(i, kPath.size(), kPath) == 0) {
        out += path;
        i += kPath.size();
        continue;
      }
      // "[k]", k from 1 to 42 written without a leading zero; first one only.
      size_t j = i + 1;
      int k = 0;
      while (j < n && j < i + 3 && IsDigit(t[j])) k = k * 10 + (t[j++] - '0');
      if (j > i + 1 && j < n && t[j] == ']' && t[i + 1] != '0' && k >= 1 && k <= 42 && !used[k]) {
        used[k] = true;
        out += cells[static_cast<size_t>(k - 1)];
        i = j + 1;
        continue;
      }
    }
    out.push_back(t[i++]);
  }
  return out;
}

CivilDate LocalToday() {
  std::tm tm = LocalTime(std::time(nullptr));
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
}

std::string FormatChineseDate(const CivilDate& d) {
  static const std::string kY = G(u8"年"), kM = G(u8"月"), kD = G(u8"日");
  return std::to_string(d.year) + kY + std::to_string(d.month) + kM + std::to_string(d.day) + kD;
}

CalendarPage::CalendarPage(CalendarViews views) : v_(views) {}
CalendarPage::~CalendarPage() { FormDestroy(); }

void CalendarPage::FormDestroy() {
  lists_.reset();
  templateText_.clear();
}

void CalendarPage::InitCalendarPage() {
  v_.webBrowserWNL->Navigate(AppPath() + PathPiece(Startup().facePage));
  lists_ = std::make_unique<CalendarLists>(LoadCalendarLists(AppPath()));
  templateText_ = JoinLines(lists_->monthTemplate);
  if (Trim(templateText_).empty()) templateText_ = FallbackTemplate();
  ShowToday();
  static const std::string kToday = G(u8"今日：");
  v_.lblWNL->SetText(kToday + FormatChineseDate(Today()) + "  " + CyclicYearName(YearValue()));
  linkColour_ = kLinkColour;
  RenderMonth(YearValue(), v_.cboWNL->Selected() + 1);
}

void CalendarPage::ShowToday() {
  const CivilDate today = Today();
  v_.cboWNL->Select(today.month - 1);
  v_.speWNLYear->SetText(std::to_string(today.year));
}

int CalendarPage::YearValue() const {
  long year = 0;
  return ParseYear(v_.speWNLYear->Text(), year) ? static_cast<int>(year) : kMinYear;
}

void CalendarPage::RenderMonth(int year, int month) {
  if (month < 1 || month > 12 || year < 1 || year > 9999) return;
  static const TextList kNone;
  const TextList& lunar = lists_ ? lists_->lunarFestivals : kNone;
  const TextList& solar = lists_ ? lists_->solarFestivals : kNone;
  const std::string& tmpl = templateText_.empty() ? FallbackTemplate() : templateText_;
  const MonthCellTexts cells = MonthCells(year, month, Today(), lunar, solar);
  v_.webBrowserWNL->ShowHtml(RenderMonthPage(tmpl, AppPathInPage(), cells));
  shownYear_ = year;
  shownMonth_ = month;
}

void CalendarPage::cboWNLChange() {
  // The spin box never holds a year outside its range once committed; a
  // half-typed one is taken at the nearest end.
  RenderMonth(std::clamp(YearValue(), kMinYear, kMaxYear), v_.cboWNL->Selected() + 1);
}

void CalendarPage::speWNLYearChange() {
  // Every keystroke lands here: only a whole year the tables cover moves the
  // page; a half-typed, emptied or foreign text leaves it where it was.
  long year = 0;
  if (!ParseYear(v_.speWNLYear->Text(), year)) return;
  if (year >= kFirstLunarYear && year <= kLastLunarYear) RenderMonth(static_cast<int>(year), v_.cboWNL->Selected() + 1);
}

void CalendarPage::Label14Click() {
  ShowToday();
  RenderMonth(YearValue(), v_.cboWNL->Selected() + 1);
}

void CalendarPage::Label14MouseEnter() {
  linkColour_ = kLinkHotColour;
  handCursor_ = true;
}

void CalendarPage::Label14MouseLeave() {
  linkColour_ = kLinkColour;
  handCursor_ = false;
}

}  // namespace zel
