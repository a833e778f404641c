// The month page of the calendar tab: festival lists from feast.ini, the 42
// day cells of a month, the page built from wannianli.htm, and the tab's
// handlers, free of any toolkit.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "base/text.h"
#include "base/ui.h"
#include "calendar/lunar.h"

namespace zel {

// The three lists the page reads; loaded at start-up, freed with the window.
struct CalendarLists {
  TextList lunarFestivals;  // "八月十五-中秋节"
  TextList solarFestivals;  // "1001-国庆节"
  TextList monthTemplate;   // lines of wannianli.htm
};

// Both festival sections of an INI file. Keys that are not four digits
// naming a possible date are left out, since no day could show them.
void LoadFestivals(const std::string& iniPath, TextList& lunar, TextList& solar);
CalendarLists LoadCalendarLists(const std::string& appPath);

using MonthCellTexts = std::array<std::string, 42>;

// Cell k-1 replaces placeholder [k]: blanks before day 1 and after the last
// day, "d<br>text" for a day, wrapped in red when it is today. Festival
// names are HTML-escaped. Years the lunar tables do not cover get the day
// numbers and Gregorian festivals only.
MonthCellTexts MonthCells(int year, int month, const CivilDate& today, const TextList& lunarFestivals,
                          const TextList& solarFestivals);

// The template with "[path]" replaced by appPath everywhere and the first
// "[k]" of the template replaced by cell k. Only the template's own
// placeholders are replaced, never text that came in with a cell or the path.
std::string RenderMonthPage(std::string_view templateText, std::string_view appPath, const MonthCellTexts& cells);

// Today's local date.
CivilDate LocalToday();
// "2006年8月24日".
std::string FormatChineseDate(const CivilDate& d);

struct Rgb {
  int r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct CalendarViews {
  Browser* webBrowserWNL = nullptr;
  TextView* lblWNL = nullptr;
  TextView* speWNLYear = nullptr;  // the spin box's text
  ListView* cboWNL = nullptr;      // twelve months, row = month - 1
};

class CalendarPage {
 public:
  static constexpr int kMinYear = 1901, kMaxYear = 2500;
  static constexpr Rgb kLinkColour{33, 93, 198}, kLinkHotColour{66, 142, 255};

  explicit CalendarPage(CalendarViews views);
  ~CalendarPage();  // frees the lists

  // Start-up step 6.
  void InitCalendarPage();
  // Builds and shows one month. A month outside 1 to 12 shows nothing new.
  void RenderMonth(int year, int month);
  // Frees the three lists (the window is going away).
  void FormDestroy();

  void cboWNLChange();
  void speWNLYearChange();
  void Label14Click();
  void Label14MouseEnter();
  void Label14MouseLeave();

  // The spin box's value: 1901 when its text is not a number.
  int YearValue() const;

  Rgb Label14Colour() const { return linkColour_; }
  bool Label14HandCursor() const { return handCursor_; }
  const CalendarLists* Lists() const { return lists_.get(); }
  // The month on show; 0/0 before the first render.
  int ShownYear() const { return shownYear_; }
  int ShownMonth() const { return shownMonth_; }

  // The current date; tests and the CLI stand in their own.
  std::function<CivilDate()> Today = LocalToday;

 private:
  void ShowToday();

  CalendarViews v_;
  std::unique_ptr<CalendarLists> lists_;
  std::string templateText_;
  Rgb linkColour_ = kLinkColour;
  bool handCursor_ = true;
  int shownYear_ = 0, shownMonth_ = 0;
};

}  // namespace zel
