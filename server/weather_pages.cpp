#include "server/weather_pages.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>

#include "base/clock.h"
#include "base/gbk.h"
#include "base/ini.h"
#include "base/text.h"
#include "server/feed/record.h"

namespace zel::server {
namespace {

using Json = nlohmann::json;

// The national weather phenomenon codes 00 to 31.
const char8_t* const kPhenomena[] = {
    u8"晴", u8"多云", u8"阴", u8"阵雨", u8"雷阵雨", u8"雷阵雨伴有冰雹", u8"雨夹雪", u8"小雨",
    u8"中雨", u8"大雨", u8"暴雨", u8"大暴雨", u8"特大暴雨", u8"阵雪", u8"小雪", u8"中雪",
    u8"大雪", u8"暴雪", u8"雾", u8"冻雨", u8"沙尘暴", u8"小到中雨", u8"中到大雨", u8"大到暴雨",
    u8"暴雨到大暴雨", u8"大暴雨到特大暴雨", u8"小到中雪", u8"中到大雪", u8"大到暴雪", u8"浮尘", u8"扬沙", u8"强沙尘暴"};

}  // namespace

const char* PhenomenonWord(int code) {
  return code >= 0 && code < 32 ? reinterpret_cast<const char*>(kPhenomena[code]) : "";
}

namespace {

std::string Code2(int n) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02d", n);
  return buf;
}

bool ParseYmd(const std::string& s, std::chrono::year_month_day& out) {
  int y, m, d;
  char tail;
  if (s.size() != 10 || std::sscanf(s.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &tail) != 3) return false;
  out = std::chrono::year_month_day{std::chrono::year{y}, std::chrono::month{unsigned(m)}, std::chrono::day{unsigned(d)}};
  return out.ok();
}

std::string FormatYmd(const std::chrono::year_month_day& ymd) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d-%02u-%02u", int(ymd.year()), unsigned(ymd.month()), unsigned(ymd.day()));
  return buf;
}

int Month(const std::string& ymd) { return std::atoi(ymd.substr(5, 2).c_str()); }
int DayOf(const std::string& ymd) { return std::atoi(ymd.substr(8, 2).c_str()); }

const char8_t* Weekday(const std::string& ymd) {
  static const char8_t* const kNames[] = {u8"日", u8"一", u8"二", u8"三", u8"四", u8"五", u8"六"};
  std::chrono::year_month_day d;
  if (!ParseYmd(ymd, d)) return u8"";
  return kNames[std::chrono::weekday{std::chrono::sys_days{d}}.c_encoding()];
}

// "6月1日"
std::string MonthDay(const std::string& ymd) {
  return std::to_string(Month(ymd)) + G(u8"月") + std::to_string(DayOf(ymd)) + G(u8"日");
}

// The highest number before "级" in a wind text; 2 for calm words.
int WindForce(const std::string& gbk) {
  size_t at = gbk.find(G(u8"级"));
  int best = -1;
  for (size_t i = 0; i < std::min(at, gbk.size());) {
    if (gbk[i] >= '0' && gbk[i] <= '9') {
      int v = 0;
      while (i < gbk.size() && gbk[i] >= '0' && gbk[i] <= '9') v = v * 10 + (gbk[i++] - '0');
      best = std::max(best, v);
    } else {
      i += (static_cast<unsigned char>(gbk[i]) >= 0x81) ? 2 : 1;
    }
  }
  if (best < 0) return 2;
  return std::min(best, 12);
}

// A page built line by line: every line not set is empty.
class Lines {
 public:
  explicit Lines(size_t count) : v_(count) {}
  void Set(size_t n, std::string text) {
    if (n >= v_.size()) v_.resize(n + 1);
    v_[n] = std::move(text);
  }
  std::string Join() const {
    std::string out;
    for (const auto& l : v_) out += l + "\r\n";
    return out;
  }

 private:
  std::vector<std::string> v_;
};

std::string Head(const std::string& title) {
  return "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\"><title>" + title +
         "</title></head><body>";
}

// Demo figures carry their label in every place weather words appear.
std::string Tag(const StationForecast& f) {
  static const std::string kTag = G(u8"（演示数据）");
  return f.demo ? kTag : std::string();
}

// The provider, its licence and that the figures are ours, converted from
// its own: "Open-Meteo.com（CC BY 4.0），经换算".
std::string CreditTerms(const StationForecast& f) { return f.credit + G(u8"（CC BY 4.0），经换算"); }

// The provider's credit and the issue time, where a page has room for them.
std::string CreditLine(const StationForecast& f) {
  if (f.credit.empty()) return {};
  return G(u8"数据：") + CreditTerms(f) + G(u8"，") + f.issued + G(u8"发布");
}

std::string DayWords(const StationForecast& f, const DayForecast& d) {
  static const std::string kTurn = G(u8"转");
  return (d.am == d.night ? d.am : d.am + kTurn + d.night) + Tag(f);
}

}  // namespace

std::string Today() {
  // The stations' days run on Beijing time (UTC+8, no summer time), whatever
  // clock the machine keeps: a record begins with Beijing's today.
  std::tm tm = UtcTime(std::time(nullptr) + feed::kLocalOffsetSeconds);
  char buf[16];
  std::strftime(buf, sizeof buf, "%Y-%m-%d", &tm);
  return buf;
}

std::string AddDays(const std::string& ymd, int n) {
  std::chrono::year_month_day d;
  if (!ParseYmd(ymd, d)) return ymd;
  return FormatYmd(std::chrono::year_month_day{std::chrono::sys_days{d} + std::chrono::days{n}});
}

std::string IconForWords(const std::string& gbkWords) {
  for (int i = 0; i < 32; ++i)
    if (gbkWords == G(kPhenomena[i])) return Code2(i);
  struct Hint {
    const char8_t* word;
    int code;
  };
  static const Hint kHints[] = {{u8"雷", 4}, {u8"雨夹雪", 6}, {u8"暴雨", 10}, {u8"大雨", 9}, {u8"中雨", 8},
                                {u8"雨", 7}, {u8"暴雪", 17}, {u8"大雪", 16}, {u8"雪", 14}, {u8"雾", 18},
                                {u8"霾", 18}, {u8"沙", 30}, {u8"尘", 29}, {u8"阴", 2}, {u8"云", 1}};
  // The first character decides most ("小雨转晴" is rain); search by byte
  // position so a later "晴" does not win.
  size_t bestAt = std::string::npos;
  int best = 0;
  for (const Hint& h : kHints) {
    size_t at = Pos(G(h.word), gbkWords);
    if (at > 0 && (bestAt == std::string::npos || at < bestAt)) bestAt = at, best = h.code;
  }
  return Code2(best);
}

std::optional<StationForecast> ParseForecastJson(const std::string& json, const std::string& today, std::string* why,
                                                 size_t need) {
  auto fail = [&](const std::string& w) -> std::optional<StationForecast> {
    if (why) *why = w;
    return std::nullopt;
  };
  Json j = Json::parse(json, nullptr, false);
  if (j.is_discarded() || !j.is_object()) return fail("not a JSON object");
  auto text = [](const Json& o, const char* key, const char8_t* def) -> std::string {
    auto it = o.find(key);
    if (it == o.end() || !it->is_string()) return G(def);
    std::string v = it->get<std::string>();
    // Page lines are cut by position: a line break or a marker character
    // inside a value would move them.
    for (char& c : v)
      if (c == '\r' || c == '\n' || c == '<' || c == '>' || c == '"' || c == '&' || c == '|') c = ' ';
    return FromUtf8(v);
  };
  StationForecast f;
  // A value of the wrong type reads as missing rather than throwing.
  auto str = [](const Json& o, const char* key) {
    auto it = o.find(key);
    return it != o.end() && it->is_string() ? it->get<std::string>() : std::string();
  };
  f.station = str(j, "station");
  f.issued = text(j, "issued", u8"");
  if (f.issued.empty()) f.issued = today + " 08:00";
  f.credit = text(j, "credit", u8"");
  f.sunrise = text(j, "sunrise", u8"--");
  f.sunset = text(j, "sunset", u8"--");
  f.longitude = text(j, "longitude", u8"--");
  f.latitude = text(j, "latitude", u8"--");
  f.altitude = text(j, "altitude", u8"--");
  auto days = j.find("days");
  if (days == j.end() || !days->is_array()) return fail("no \"days\" array");
  std::chrono::year_month_day t;
  if (!ParseYmd(today, t)) return fail("bad today");
  for (const Json& d : *days) {
    if (!d.is_object()) return fail("a day is not an object");
    DayForecast day;
    day.date = str(d, "date");
    std::chrono::year_month_day dd;
    if (!ParseYmd(day.date, dd)) return fail("a day without a yyyy-mm-dd \"date\"");
    if (std::chrono::sys_days{dd} < std::chrono::sys_days{t}) continue;
    auto hi = d.find("high"), lo = d.find("low");
    if (hi == d.end() || lo == d.end() || !hi->is_number_integer() || !lo->is_number_integer())
      return fail("a day without integer \"high\" and \"low\"");
    day.high = hi->get<int>();
    day.low = lo->get<int>();
    if (day.high < -90 || day.high > 70 || day.low < -90 || day.low > 70) return fail("temperature out of range");
    day.am = text(d, "am", u8"");
    if (day.am.empty()) return fail("a day without \"am\" weather words");
    day.pm = text(d, "pm", u8"");
    day.night = text(d, "night", u8"");
    if (day.pm.empty()) day.pm = day.am;
    if (day.night.empty()) day.night = day.pm;
    day.windAm = text(d, "wind_am", u8"微风");
    day.windPm = text(d, "wind_pm", u8"");
    day.windNight = text(d, "wind_night", u8"");
    if (day.windPm.empty()) day.windPm = day.windAm;
    if (day.windNight.empty()) day.windNight = day.windPm;
    day.wind = text(d, "wind", u8"");
    if (day.wind.empty()) day.wind = day.windAm;
    auto icon = [&](const char* key, const std::string& words) {
      std::string c = str(d, key);
      bool ok = c.size() == 2 && std::isdigit(static_cast<unsigned char>(c[0])) && std::isdigit(static_cast<unsigned char>(c[1])) &&
                std::atoi(c.c_str()) < 32;
      return ok ? c : IconForWords(words);
    };
    day.iconDay = icon("icon_day", day.am);
    day.iconNight = icon("icon_night", day.night);
    f.days.push_back(std::move(day));
  }
  if (f.days.size() < std::max<size_t>(need, 1))
    return fail("fewer than " + std::to_string(std::max<size_t>(need, 1)) + " days from today on");
  if (f.days.front().date != today) return fail("no figures for today");
  return f;
}

StationForecast DemoForecast(const std::string& station, const std::string& name, const std::string& today) {
  static const int kCodes[] = {0, 1, 1, 2, 3, 7, 4, 0, 1, 8, 18, 0};
  static const char8_t* const kDirs[] = {u8"北风", u8"东北风", u8"东风", u8"东南风", u8"南风", u8"西南风", u8"西风", u8"西北风"};
  StationForecast f;
  f.station = station;
  f.name = name;
  f.demo = true;
  f.issued = today + " 06:00";
  f.sunrise = "06:00";
  f.sunset = "18:00";
  f.longitude = f.latitude = f.altitude = "--";
  long code = std::atol(station.c_str());
  // Rough climate: warmer in summer and in the south (higher WMO blocks).
  int month = Month(today);
  static const int kSeason[12] = {-8, -5, 2, 9, 15, 20, 23, 22, 16, 9, 1, -6};
  int base = kSeason[month - 1] + int((code / 1000) - 54) * 3;
  for (size_t i = 0; i < kForecastDays; ++i) {
    DayForecast d;
    d.date = AddDays(today, int(i));
    unsigned h = unsigned(code) * 2654435761u ^ unsigned(std::hash<std::string>{}(d.date));
    h ^= h >> 13;
    int wAm = kCodes[h % 12], wNight = kCodes[(h >> 4) % 12];
    if (base < 0 && (wAm == 3 || wAm == 7 || wAm == 8)) wAm = 14;
    if (base < 0 && (wNight == 3 || wNight == 7 || wNight == 8)) wNight = 14;
    if (wAm == 4 && base < 12) wAm = 3;
    d.low = base - 4 + int((h >> 8) % 5);
    d.high = d.low + 5 + int((h >> 12) % 7);
    d.am = G(kPhenomena[wAm]);
    d.pm = G(kPhenomena[(h >> 16) % 2 ? wAm : wNight]);
    d.night = G(kPhenomena[wNight]);
    std::string dir = G(kDirs[(h >> 20) % 8]);
    int force = 1 + int((h >> 24) % 4);
    d.windAm = dir + std::to_string(force) + "-" + std::to_string(force + 1) + G(u8"级");
    d.windPm = d.windAm;
    d.windNight = (h >> 28) % 2 ? G(u8"微风") : d.windAm;
    d.wind = d.windAm;
    d.iconDay = Code2(wAm);
    d.iconNight = Code2(wNight);
    f.days.push_back(std::move(d));
  }
  return f;
}

// National centre: three days; line numbers are what the source walks.
std::string CCPage(const StationForecast& f) {
  Lines p(280);
  p.Set(0, Head(f.name + G(u8"天气预报")));
  std::string credit = f.credit.empty() ? "" : G(u8"（数据：") + CreditTerms(f) + G(u8"）");
  p.Set(80, "<td class=\"title\"><span>" + f.name + G(u8"天气预报") + "&nbsp;" + f.issued + G(u8"发布") + credit +
                "</span></td>");
  p.Set(97, "<td class=\"sub\">" + G(u8"24小时预报") + "</td>");
  size_t highAt = 101;
  for (size_t i = 0; i < 3; ++i) {
    const DayForecast& d = f.days[i];
    p.Set(highAt - 1, "<td class=\"high\">");
    p.Set(highAt, "  " + std::to_string(d.high) + G(u8"℃"));
    p.Set(highAt + 1, "</td>");
    p.Set(highAt + 4, "<td class=\"low\">");
    p.Set(highAt + 5, "  " + std::to_string(d.low) + G(u8"℃"));
    p.Set(highAt + 6, "</td>");
    size_t icons = highAt + 10;  // two lines, day then night
    p.Set(icons, "  <img src=\"/nmc/images/" + d.iconDay + ".gif\">");
    p.Set(icons + 1, "  <img src=\"/nmc/images/" + d.iconNight + ".gif\">");
    size_t hei = icons + 3;
    p.Set(hei, "<td class=\"hei12-18\">");
    p.Set(hei + 1, "  " + DayWords(f, d));
    p.Set(hei + 2, "</td>");
    p.Set(hei + 5, "<td class=\"wind\">");
    p.Set(hei + 6, "  " + d.wind);
    p.Set(hei + 7, "</td>");
    highAt = hei + 16;
  }
  p.Set(279, "</body></html>");
  return p.Join();
}

std::string CNForecastPage(const StationForecast& f) {
  const DayForecast& d = f.days[0];
  Lines p(190);
  p.Set(0, Head(f.name + G(u8"24小时天气预报")));
  std::string credit = f.credit.empty() ? "" : G(u8"（数据：") + CreditTerms(f) + G(u8"，") + f.issued.substr(std::min<size_t>(5, f.issued.size())) + G(u8"发布）");
  p.Set(95, "<td><strong>" + MonthDay(d.date) + G(u8" 08时至") + MonthDay(AddDays(d.date, 1)) + G(u8" 08时") + credit +
                "</strong></td>");
  p.Set(99, "<td colspan=\"2\" align=center><img src=\"image/icons/" + d.iconDay + ".gif\" width=\"60\" alt=\"" + d.am + Tag(f) +
                "\"><img src=\"image/icons/" + d.iconNight + ".gif\" width=\"60\" alt=\"" + d.night + "\"></td>");
  p.Set(103, "<td colspan=\"2\" class=\"eng\">" + std::to_string(d.low) + "/" + std::to_string(d.high) + G(u8"℃") + "</td>");
  p.Set(106, "<td height=\"20\" colspan=\"2\"><span class=\"font_sl\">" + d.wind + "</span></td>");
  p.Set(165, "<td align=\"center\" valign=\"bottom\" class=\"font_sl\">" + G(u8"日出：") + f.sunrise + G(u8"分") +
                 "&nbsp;&nbsp;" + G(u8"日落：") + f.sunset + G(u8"分") + "&nbsp;&nbsp;" + G(u8"东经：") + f.longitude +
                 G(u8"度") + "|&nbsp;" + G(u8"北纬：") + f.latitude + G(u8"度") + "|&nbsp;" + G(u8"海拔：") + f.altitude +
                 "</td>");
  p.Set(189, "</body></html>");
  return p.Join();
}

std::string CNTrendPage(const StationForecast& f) {
  Lines p(270);
  p.Set(0, Head(f.name + G(u8"未来五天天气趋势")));
  for (size_t i = 0; i < kForecastDays; ++i) {
    const DayForecast& d = f.days[i];
    size_t b = 82 + 20 * i;
    char md[16];
    std::snprintf(md, sizeof md, "%02d", Month(d.date));
    std::string date = d.date.substr(0, 4) + G(u8"年") + md + G(u8"月");
    std::snprintf(md, sizeof md, "%02d", DayOf(d.date));
    date += md + G(u8"日") + G(u8" 星期") + G(Weekday(d.date));
    p.Set(b, "<td width=\"113\" class=\"font_sl\"><strong>" + date + "</strong></td>");
    p.Set(b + 1, "<td width=\"120\" align=\"center\"><span class=\"font_sl\">");
    p.Set(b + 2, "<img src=\"image/icons/" + d.iconDay + ".gif\" width=\"20\" alt=\"" + d.am + Tag(f) + "\">");
    p.Set(b + 3, "<img src=\"image/icons/" + d.iconNight + ".gif\" width=\"20\" alt=\"" + d.night + "\">");
    p.Set(b + 4, "</span>");
    p.Set(b + 5, "</td>");
    p.Set(b + 7, "<td><strong>" + std::to_string(d.high) + G(u8"℃") + "</strong></td>");
    p.Set(b + 8, "<td><strong>/" + std::to_string(d.low) + G(u8"℃") + "</strong></td>");
    p.Set(b + 10, "<td><strong>" + d.wind + "</strong></td>");
    p.Set(b + 12, "<td width=\"52\" align=\"right\"><img src=\"image/fl" + std::to_string(WindForce(d.wind)) +
                      ".gif\" ></td>");
  }
  p.Set(268, CreditLine(f));
  p.Set(269, "</body></html>");
  return p.Join();
}

std::string OnlineFramePage(const std::string& innerPath) {
  Lines p(8);
  p.Set(0, "<HTML>");
  p.Set(1, "<HEAD>");
  p.Set(2, "<TITLE>Weather</TITLE>");
  p.Set(3, "</HEAD>");
  p.Set(4, "<FRAMESET rows=\"*\">");
  p.Set(5, "<FRAME name=\"main\" src=\"" + innerPath + "\" scrolling=\"auto\">");
  p.Set(6, "</FRAMESET>");
  p.Set(7, "</HTML>");
  return p.Join();
}

// Lines before 40 stay ASCII: the source looks for its first "月" from there.
std::string OnlineForecastPage(const StationForecast& f) {
  Lines p(100);
  p.Set(0, "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\"></head><body><table>");
  for (size_t i = 0; i < 3; ++i) {
    const DayForecast& d = f.days[i];
    p.Set(45 + i, "<td><b>" + MonthDay(d.date) + G(u8" 周") + G(Weekday(d.date)) + "</b></td>");
    p.Set(51 + i, "<td><b><font color=\"#0060ff\">" + std::to_string(d.low) + "&deg;C</font></b></td>");
    p.Set(57 + i, "<td><font color=\"#ff0000\">" + std::to_string(d.high) + "&deg;C</font></td>");
    auto word = [&](const std::string& words, const std::string& icon) {
      std::string w = words + Tag(f);
      return "<td><IMG SRC=\"/online/img/" + icon + ".gif\" ALT=\"" + w + "\" TITLE=\"" + w + "\"></td>";
    };
    p.Set(67 + i, word(d.am, d.iconDay));
    p.Set(71 + i, word(d.pm, d.iconDay));
    p.Set(75 + i, word(d.night, d.iconNight));
  }
  p.Set(49, "<tr><td>" + G(u8"最低气温") + "</td></tr>");
  p.Set(55, "<tr><td>" + G(u8"最高气温") + "</td></tr>");
  p.Set(65, "<tr><td>" + G(u8"上午") + "</td></tr>");
  p.Set(70, "<tr><td>" + G(u8"下午") + "</td></tr>");
  p.Set(74, "<tr><td>" + G(u8"夜间") + "</td></tr>");
  p.Set(98, "</table><p>" + CreditLine(f) + "</p>");
  p.Set(99, "</body></html>");
  return p.Join();
}

std::string OnlineWindPage(const StationForecast& f) {
  Lines p(70);
  p.Set(0, "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\"></head><body><table>");
  for (size_t i = 0; i < 3; ++i) {
    const DayForecast& d = f.days[i];
    p.Set(38 + i, "<td><b>" + MonthDay(d.date) + G(u8" 周") + G(Weekday(d.date)) + "</b></td>");
    p.Set(44 + i, "<td><b>" + d.windAm + "</b></td>");
    p.Set(48 + i, "<td><b>" + d.windPm + "</b></td>");
    p.Set(52 + i, "<td><b>" + d.windNight + "</b></td>");
  }
  p.Set(42, "<tr><td>" + G(u8"上午") + "</td></tr>");
  p.Set(47, "<tr><td>" + G(u8"下午") + "</td></tr>");
  p.Set(51, "<tr><td>" + G(u8"夜间") + "</td></tr>");
  p.Set(68, "</table><p>" + CreditLine(f) + "</p>");
  p.Set(69, "</body></html>");
  return p.Join();
}

std::map<std::string, std::string> LoadStations(const std::string& weatherIni) {
  std::map<std::string, std::string> out;
  IniFile ini(weatherIni);
  for (const std::string& section : ini.ReadSections()) {
    if (SameText(section, "Province")) continue;
    for (const std::string& city : ini.ReadSection(section)) {
      std::string code = Trim(ini.ReadString(section, city, ""));
      if (!code.empty() && !out.count(code)) out[code] = city;
    }
  }
  return out;
}

}  // namespace zel::server
