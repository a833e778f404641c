#include <cctype>

#include "base/appenv.h"
#include "base/download.h"
#include "base/files.h"
#include "base/gbk.h"
#include "weather/parsers.h"
#include "weather/source_frame.h"
#include "weather/sources.h"

namespace zel {

using frame::Between;
using frame::DeleteHead;
using frame::Page;
using frame::Remove;

TWeatherCN::TWeatherCN() : Caption(CNCaption()) {}

std::string TWeatherCN::GetURL() const { return ServerBase("CN") + "/forecast/24time.jsp?sta_id=" + CityID; }
std::string TWeatherCN::GetTrendURL() const { return ServerBase("CN") + "/forecast/qushi.jsp?sta_id=" + CityID; }

namespace {

constexpr std::string_view kIconPath = "image/icons/";
constexpr std::string_view kForecastIconEnd = "\" width=\"60\"";
constexpr std::string_view kTrendIconEnd = "\" width=\"20\"";
constexpr std::string_view kAltStart = "alt=\"";
constexpr std::string_view kAltEnd = "\">";
constexpr std::string_view kCellStart = "<td colspan=\"2\" align=center>";
constexpr std::string_view kCellWidth = "<td width=\"60\">";
constexpr std::string_view kTempStart = "<td colspan=\"2\" class=\"eng\">";
constexpr std::string_view kWindStart = "<td height=\"20\" colspan=\"2\"><span class=\"font_sl\">";
constexpr std::string_view kWindEnd = "</span></td>";
constexpr std::string_view kStationLine = "<td align=\"center\" valign=\"bottom\" class=\"font_sl\">";
constexpr std::string_view kTrendDate = "<td width=\"113\" class=\"font_sl\"><strong>";
constexpr std::string_view kTrendWeather = "<span class=\"font_sl\">";
constexpr std::string_view kTrendForce = "<td width=\"52\" align=\"right\">";
constexpr std::string_view kTrendPicEnd = "\" ></td>";
constexpr std::string_view kPicStart = "<img border=\"0\" src=\"";
constexpr std::string_view kPicEnd = "\" width=\"28\" height=\"35\">";
constexpr std::string_view kPicEndZhong = "\" width=\"40\" height=\"23\">";

// Only names of the site's icon form are fetched ("d01.gif", "n12.gif":
// day or night, a number, the picture extension), so a page cannot choose
// what lands in the icon folder.
bool IconName(const std::string& name) {
  size_t i = !name.empty() && (name[0] == 'd' || name[0] == 'n') ? 1 : 0, digits = 0;
  while (i < name.size() && std::isdigit(static_cast<unsigned char>(name[i]))) ++i, ++digits;
  return digits >= 1 && digits <= 3 && name.compare(i, std::string::npos, ".gif") == 0;
}

constexpr size_t kMaxIconBytes = 64u << 10;

std::string LocalIcons(const std::string& cell) { return ReplaceText(cell, kIconPath, AppPathInPage() + "images/", true); }

// Bytes a+6 .. b-1-cut of s, where a and b are the first positions of open
// and close.
std::string Cut(const std::string& s, const std::string& open, std::string_view close, long long cut) {
  long long a = static_cast<long long>(Pos(open, s)), b = static_cast<long long>(Pos(close, s));
  return Copy(s, a + 6, b - cut - (a + 6));
}

}  // namespace

void parse::CNForecast(TWeatherCN& src, const PageLines& lines, TextList& fields) {
  static const std::string sunrise = G(u8"日出："), sunset = G(u8"日落："), east = G(u8"东经："),
                           north = G(u8"北纬："), height = G(u8"海拔："), minute = G(u8"分"), deg = G(u8"℃</td>");
  Page page(lines);
  try {
    long long p = 0;
    for (long long n = 90; n <= 110; ++n)
      if (page.Has(n, "<strong>")) {
        fields.push_back(Between(page.Line(n), "<strong>", "</strong>"));
        p = n;
        break;
      }
    std::string c = Trim(page.Line(p + 4));
    fields.push_back(TWeatherCN::GetAltText(c));
    src.FetchIcons(c, std::string(kForecastIconEnd));
    c = Remove(Remove(Remove(c, kCellStart), "</td>"), kCellWidth);
    fields.push_back(LocalIcons(c));

    c = Remove(Remove(Trim(page.Line(p + 8)), kTempStart), deg);
    size_t slash = c.find('/');
    fields.push_back(slash == std::string::npos ? std::string() : c.substr(0, slash));
    fields.push_back(slash == std::string::npos ? c : c.substr(slash + 1));

    c = Remove(Remove(Trim(page.Line(p + 11)), kWindStart), kWindEnd);
    fields.push_back(Trim(c));

    std::string s;
    bool found = false;
    for (long long n = 160; n < page.Count(); ++n)
      if (page.Has(n, kStationLine)) {
        s = page.Line(n);
        found = true;
        break;
      }
    if (!found) return;
    fields.push_back(Cut(s, sunrise, minute, 0));
    DeleteHead(s, static_cast<long long>(Pos(minute, s)) + 2);
    fields.push_back(Cut(s, sunset, minute, 0));
    DeleteHead(s, static_cast<long long>(Pos(minute, s)) + 6);
    fields.push_back(Trim(Cut(s, east, "|", 2)));
    DeleteHead(s, static_cast<long long>(Pos("|", s)) + 2);
    fields.push_back(Trim(Cut(s, north, "|", 2)));
    DeleteHead(s, static_cast<long long>(Pos("|", s)) + 2);
    fields.push_back(Trim(Cut(s, height, "<", 0)));
  } catch (const frame::ParseStop&) {
  }
}

namespace {

// "01月05日" -> "1月5日".
std::string TrendDate(std::string_view cell) {
  static const std::string month = G(u8"月");
  std::string d = Copy(Between(cell, "<strong>", "</strong>"), 7, 8);
  if (!d.empty() && d[0] == '0') d.erase(0, 1);
  size_t m = d.find(month);
  if (m != std::string::npos && m + 2 < d.size() && d[m + 2] == '0') d.erase(m + 2, 1);
  return d;
}

}  // namespace

void parse::CNTrend(TWeatherCN& src, const PageLines& lines, TextList& fields) {
  static const std::string degStrong = G(u8"℃</strong>");
  Page page(lines);
  try {
    long long p = 80;
    for (int day = 1; day <= 5; ++day) {
      for (long long n = p; n <= p + 30; ++n)
        if (page.Has(n, kTrendDate)) {
          fields.push_back(TrendDate(page.Line(n)));
          p = n;
          break;
        }
      long long open = -1;
      for (long long n = p + 1; n <= p + 15; ++n) {
        if (page.Has(n, kTrendWeather)) open = n;
        if (Trim(page.Line(n)) != "</span>" || open < 0) continue;
        std::string c;
        for (long long k = open + 1; k < n; ++k) c += Trim(page.Line(k));
        fields.push_back(TWeatherCN::GetAltText(c));
        src.FetchIcons(c, std::string(kTrendIconEnd));
        fields.push_back(LocalIcons(c));
        p = n;
        break;
      }
      fields.push_back(Between(page.Line(p + 3), "<strong>", degStrong));
      fields.push_back(Between(page.Line(p + 4), "<strong>/", degStrong));
      p += 5;
      for (long long n = p; n <= p + 10; ++n)
        if (page.Has(n, "<strong>")) {
          fields.push_back(Trim(Between(page.Line(n), "<strong>", "</strong>")));
          p = n;
          break;
        }
      p += 1;
      for (long long n = p; n <= p + 10; ++n)
        if (page.Has(n, kTrendForce)) {
          std::string name = Between(page.Line(n), "image/", kTrendPicEnd);
          fields.push_back(std::string(kPicStart) + AppPathInPage() + "images/" + name +
                           std::string(SameText(name, "zhong.gif") ? kPicEndZhong : kPicEnd));
          p = n;
          break;
        }
      p += 6;
    }
  } catch (const frame::ParseStop&) {
  }
}

std::string TWeatherCN::GetAltText(const std::string& html) {
  std::string c = html;
  if (!frame::Contains(c, kAltStart)) return {};
  DeleteHead(c, static_cast<long long>(Pos(kAltStart, c) + kAltStart.size()) - 1);
  long long end = static_cast<long long>(Pos(kAltEnd, c));
  std::string words = Copy(c, 1, end - 1);
  DeleteHead(c, end);
  if (frame::Contains(c, kAltStart)) {
    DeleteHead(c, static_cast<long long>(Pos(kAltStart, c) + kAltStart.size()) - 1);
    end = static_cast<long long>(Pos(kAltEnd, c));
    words += G(u8"，") + Copy(c, 1, end - 1);
  }
  return words;
}

void TWeatherCN::FetchIcons(std::string html, const std::string& endMarker) {
  for (int i = 0; i < 2 && frame::Contains(html, kIconPath); ++i) {
    long long end = static_cast<long long>(Pos(endMarker, html));
    std::string name = Between(html, kIconPath, endMarker);
    if (IconName(name)) {
      std::string file = AppPath() + "images/" + name;
      // A failed download leaves the picture missing; the next fetch retries.
      if (!FileExists(file)) {
        DownloadLimits limits = GetDownloadLimits();
        limits.maxBytes = kMaxIconBytes;
        DownloadFile(ServerBase("CN") + "/forecast/image/icons/" + name, file, limits);
      }
    }
    if (end == 0) break;
    DeleteHead(html, end);
  }
}

std::string TWeatherCN::GetForeCast() {
  QueryDeadline deadline;  // the page and its icons together
  TextList fields;
  frame::Fetch f = frame::FetchPage(GetURL(), 176);
  if (f.fresh) parse::CNForecast(*this, f.lines, fields);
  std::string record = frame::FinishRecord(fields, f.fresh, 11, frame::CachePath("CN", CityID));
  return record;
}

std::string TWeatherCN::GetTrend() {
  QueryDeadline deadline;
  TextList fields;
  frame::Fetch f = frame::FetchPage(GetTrendURL(), 251);
  std::string credit;
  if (f.fresh) {
    parse::CNTrend(*this, f.lines, fields);
    credit = frame::CreditLine(f.lines);
  }
  std::string record = frame::FinishRecord(fields, f.fresh, 35, frame::CachePath("CNTrend", CityID), credit);
  return record;
}

}  // namespace zel
