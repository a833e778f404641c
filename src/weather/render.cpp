// Pouring records into the templates of the active set.
#include <chrono>
#include <ctime>
#include <optional>

#include "base/clock.h"
#include "base/gbk.h"
#include "weather/cache.h"
#include "weather/forecast.h"
#include "weather/source_frame.h"

namespace zel {
namespace {

class Fields {
 public:
  explicit Fields(const std::string& record) : f_(SplitString(record, kRecordEnd)) {}
  size_t size() const { return f_.size(); }
  // The online records are not counted here; a short one renders blanks.
  const std::string& operator[](size_t i) const {
    static const std::string empty;
    return i < f_.size() ? f_[i] : empty;
  }

 private:
  TextList f_;
};

void Put(std::string& page, const std::string& placeholder, const std::string& value) {
  page = ReplaceText(page, placeholder, value, true);
}

// "[low" + day + "]" for days 1..n, fields first, first+step, ...
void PutDays(std::string& page, const char* prefix, const Fields& f, size_t first, size_t step, int days) {
  for (int d = 0; d < days; ++d)
    Put(page, std::string(prefix) + std::to_string(d + 1) + "]", f[first + static_cast<size_t>(d) * step]);
}

// The provider's credit goes where the set asks for it; a set without the
// placeholder still shows it, above the end of the page, since the data's
// licence asks for it on every page.
void PutCredit(std::string& page, const std::string& placeholder, const std::string& plainCredit) {
  const std::string credit = frame::LinkCredit(plainCredit);
  if (page.find(placeholder) != std::string::npos || credit.empty()) {
    Put(page, placeholder, credit);
    return;
  }
  std::string line = "<div style=\"font-size:11px;color:#707070\">" + credit + "</div>\r\n";
  size_t end = FoldCase(page).rfind("</body>");
  page.insert(end == std::string::npos ? page.size() : end, line);
}

bool Digits(const std::string& s, size_t from, size_t n) {
  for (size_t i = from; i < from + n; ++i)
    if (i >= s.size() || s[i] < '0' || s[i] > '9') return false;
  return true;
}

// The issue date at the head of a CC record: year, month and day joined by
// '-', '/' or '.', month and day with or without a leading zero.
std::optional<std::chrono::year_month_day> ReadDate(const std::string& head) {
  std::string s = head.substr(0, 10);
  if (!Digits(s, 0, 4) || s.size() < 8) return std::nullopt;
  char sep = s[4];
  if (sep != '-' && sep != '/' && sep != '.') return std::nullopt;
  size_t i = 5;
  auto number = [&](unsigned& out) {
    size_t start = i;
    out = 0;
    while (i < s.size() && i < start + 2 && s[i] >= '0' && s[i] <= '9') out = out * 10 + unsigned(s[i++] - '0');
    return i > start;
  };
  unsigned m, d;
  if (!number(m) || i >= s.size() || s[i++] != sep || !number(d)) return std::nullopt;
  if (i < s.size() && s[i] >= '0' && s[i] <= '9') return std::nullopt;
  std::chrono::year_month_day ymd{std::chrono::year(std::stoi(s.substr(0, 4))), std::chrono::month(m),
                                  std::chrono::day(d)};
  if (!ymd.ok()) return std::nullopt;
  return ymd;
}

std::chrono::year_month_day Today() {
  std::tm tm = LocalTime(std::time(nullptr));
  return std::chrono::year_month_day{std::chrono::year(tm.tm_year + 1900), std::chrono::month(unsigned(tm.tm_mon + 1)),
                                     std::chrono::day(unsigned(tm.tm_mday))};
}

std::string DayText(std::chrono::year_month_day d) {
  static const std::string month = G(u8"月 "), day = G(u8"日");
  return std::to_string(unsigned(d.month())) + month + std::to_string(unsigned(d.day())) + day;
}

// Every renderer starts with the set's folder and the city.
std::string BeginPage(const TForeCast& m, const std::string& tpl) {
  std::string page = ReplaceText(tpl, "[path]", TForeCast::TemplateFolder(m.TemplateName), true);
  return ReplaceText(page, "[city]", m.City, true);
}

}  // namespace

std::string TForeCast::RenderForecastCC(const std::string& record) const {
  Fields f(record);
  if (f.size() != 16) return {};
  std::string page = BeginPage(*this, TplForecastCC);
  std::chrono::sys_days d1{ReadDate(f[0]).value_or(Today())};
  for (int k = 0; k < 3; ++k)
    Put(page, "[date" + std::to_string(k + 1) + "]", DayText(std::chrono::year_month_day{d1 + std::chrono::days(k)}));
  PutDays(page, "[low", f, 2, 5, 3);
  PutDays(page, "[high", f, 1, 5, 3);
  PutDays(page, "[ws", f, 3, 5, 3);
  PutDays(page, "[wd", f, 4, 5, 3);
  PutDays(page, "[wf", f, 5, 5, 3);
  // The issue text names when, and (from the companion server) by whom, the
  // forecast was made.
  if (frame::IsCredit(f[0]))
    PutCredit(page, "[issue]", f[0]);
  else
    Put(page, "[issue]", f[0]);
  return page;
}

std::string TForeCast::RenderForecastCN(const std::string& record) const {
  Fields f(record);
  if (f.size() != 11) return {};
  std::string page = BeginPage(*this, TplForecastCN);
  const char* names[] = {"[date]", "[wsword]", "[wsgif]", "[low]", "[high]", "[wf]", "[rc]", "[rl]", "[dj]", "[bw]", "[hb]"};
  for (size_t i = 1; i < 11; ++i) Put(page, names[i], f[i]);
  // The heading's date line carries the companion server's credit.
  if (frame::IsCredit(f[0]))
    PutCredit(page, names[0], f[0]);
  else
    Put(page, names[0], f[0]);
  return page;
}

std::string TForeCast::RenderTrendCN(const std::string& record) const {
  Fields f(record);
  // A 36th field is the provider's credit.
  if (f.size() != 35 && (f.size() != 36 || !frame::IsCredit(f[35]))) return {};
  std::string page = BeginPage(*this, TplTrendCN);
  // Within a day the high (offset 3) comes before the low (offset 4).
  const std::pair<const char*, size_t> groups[] = {{"[date", 0}, {"[wsword", 1}, {"[wsgif", 2}, {"[low", 4},
                                                   {"[high", 3}, {"[wf", 5},     {"[zs", 6}};
  for (const auto& [prefix, offset] : groups) PutDays(page, prefix, f, offset, 7, 5);
  PutCredit(page, "[credit]", f[35]);
  return page;
}

std::string TForeCast::RenderForecastOnline(const std::string& record) const {
  Fields f(record);
  std::string page = BeginPage(*this, TplForecastOnline);
  const char* prefixes[] = {"[date", "[low", "[high", "[am", "[pm", "[night"};
  for (size_t g = 0; g < 6; ++g) PutDays(page, prefixes[g], f, g * 3, 1, 3);
  PutCredit(page, "[credit]", frame::IsCredit(f[18]) ? f[18] : std::string());
  return page;
}

std::string TForeCast::RenderWindOnline(const std::string& record) const {
  Fields f(record);
  std::string page = BeginPage(*this, TplWindOnline);
  const char* prefixes[] = {"[date", "[am", "[pm", "[night"};
  for (size_t g = 0; g < 4; ++g) PutDays(page, prefixes[g], f, g * 3, 1, 3);
  PutCredit(page, "[credit]", frame::IsCredit(f[12]) ? f[12] : std::string());
  return page;
}

}  // namespace zel
