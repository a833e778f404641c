#include "base/appenv.h"
#include "base/download.h"
#include "base/files.h"
#include "base/gbk.h"
#include "weather/parsers.h"
#include "weather/source_frame.h"
#include "weather/sources.h"
#include "weather/status.h"

namespace zel {

using frame::Between;
using frame::Page;

TWeatherOnline::TWeatherOnline() : Caption(OnlineCaption()) {}

namespace {

constexpr std::string_view kLowStart = "<b><font color=\"#0060ff\">";
constexpr std::string_view kHighStart = "<font color=\"#ff0000\">";

const std::string& MsgNoFrame() {
  static const std::string s = G(u8"有错误发生，错误原因：无法得到该城市的页面地址，请稍后再试或使用别的服务器！");
  return s;
}
const std::string& MsgNoInner() {
  static const std::string s = G(u8"有错误发生，错误原因：没有该地区数据，请稍后再试或使用别的服务器！");
  return s;
}

// The address of the inner page named by the frame page: "-" offline,
// empty when the frame page cannot be had or read.
std::string FramedAddress(const std::string& query) {
  if (!IsOnline()) {
    ErrorText = frame::MsgOffline();
    return "-";
  }
  std::string address;
  PageLines lines;
  const std::string base = ServerBase("Online");
  if (DownloadToPage(base + "/cgi-bin/region?" + query, lines)) {
    std::string path = parse::OnlineFramePath(lines);
    // The inner page lives on the same server: a path that does not begin
    // with one '/' could name another host ("@host:port/...", "//host/").
    bool plain = path.size() > 1 && path[0] == '/' && path[1] != '/' && path[1] != '\\';
    for (unsigned char c : path)
      if (c <= 32 || c == 127 || c == '\\') plain = false;
    if (plain && SameOrigin(base + path, base)) address = base + path;
  }
  if (address.empty()) ErrorText = MsgNoFrame();
  return address;
}

}  // namespace

std::string parse::OnlineFramePath(const PageLines& lines) {
  long long head = -1;
  for (size_t i = 0; i < lines.size(); ++i)
    if (SameText(lines[i], "</HEAD>")) {
      head = static_cast<long long>(i);
      break;
    }
  long long n = head + 2;
  if (n >= static_cast<long long>(lines.size())) return {};
  std::string_view line = lines[static_cast<size_t>(n)];
  long long s = static_cast<long long>(Pos("src", line)), c = static_cast<long long>(Pos("scrolling", line));
  // Without both there is no frame element: never fetch the bare server.
  return s > 0 && c > 0 ? Copy(line, s + 5, c - 3 - (s + 5) + 1) : std::string();
}

void parse::OnlineForecast(const PageLines& lines, TextList& fields) {
  static const std::string month = G(u8"月"), low = G(u8"最低"), high = G(u8"最高"), am = G(u8"上午");
  Page page(lines);
  try {
    long long p = 0;
    for (long long n = 40; n <= 60; ++n)
      if (page.Has(n, month)) {
        p = n;
        break;
      }
    for (long long n = p; n <= p + 2; ++n) fields.push_back(Between(page.Line(n), "<b>", "</b>"));
    for (long long n = p + 3; n <= p + 10; ++n)
      if (page.Has(n, low)) {
        p = n + 1;
        break;
      }
    for (long long n = p; n <= p + 15; ++n)
      if (page.Has(n, "&deg") && page.Has(n, kLowStart)) fields.push_back(Between(page.Line(n), kLowStart, "&deg"));
    for (long long n = p + 3; n <= p + 10; ++n)
      if (page.Has(n, high)) {
        p = n + 1;
        break;
      }
    for (long long n = p; n <= p + 15; ++n)
      if (page.Has(n, "&deg") && page.Has(n, kHighStart)) fields.push_back(Between(page.Line(n), kHighStart, "&deg"));
    for (long long n = p + 8; n <= p + 15; ++n)
      if (page.Has(n, am)) {
        p = n + 1;
        break;
      }
    for (long long n = p; n <= p + 20; ++n) {
      std::string_view line = page.Line(n);
      if (!frame::Contains(line, "ALT") || !frame::Contains(line, "TITLE=")) continue;
      long long a = static_cast<long long>(Pos("ALT=", line)), t = static_cast<long long>(Pos("TITLE=", line));
      fields.push_back(Copy(line, a + 5, t - 3 - (a + 5) + 1));
    }
  } catch (const frame::ParseStop&) {
  }
}

void parse::OnlineWind(const PageLines& lines, TextList& fields) {
  static const std::string month = G(u8"月"), am = G(u8"上午");
  Page page(lines);
  try {
    long long p = 20;
    for (long long n = 35; n <= 45; ++n)
      if (page.Has(n, month)) {
        p = n;
        break;
      }
    for (long long n = p; n <= p + 2; ++n) fields.push_back(Between(page.Line(n), "<b>", "</b>"));
    for (long long n = p + 3; n <= p + 10; ++n)
      if (page.Has(n, am)) {
        p = n + 1;
        break;
      }
    for (long long n = p; n <= p + 15; ++n)
      if (page.Has(n, "<b>") && page.Has(n, "</b>")) fields.push_back(Between(page.Line(n), "<b>", "</b>"));
  } catch (const frame::ParseStop&) {
  }
}

namespace {

// Both views: the frame step, the inner page, the parse, the cache.
std::string Get(const std::string& address, void (*parse)(const PageLines&, TextList&),
                size_t count, const std::string& cachePath) {
  PageLines lines;
  TextList fields;
  bool fresh = false;
  if (address.size() > 1) {
    fresh = DownloadToPage(address, lines);
    if (!fresh) ErrorText = MsgNoInner();
  }
  std::string credit;
  if (fresh) {
    parse(lines, fields);
    credit = frame::CreditLine(lines);
  }
  std::string record = frame::FinishRecord(fields, fresh, count, cachePath, credit);
  return record;
}

}  // namespace

std::string TWeatherOnline::GetURL() {
  return FramedAddress("PRG=citybild&CONT=cncn&CREG=hkch&WMO=" + CityID + "&LAND=CI&LANG=cn");
}

std::string TWeatherOnline::GetWindURL() {
  return FramedAddress("PRG=citywind&CONT=cncn&CREG=hkch&WMO=" + CityID + "&LAND=CI&LANG=cn");
}

std::string TWeatherOnline::GetForeCast() {
  QueryDeadline deadline;  // frame page and inner page together
  return Get(GetURL(), parse::OnlineForecast, 18, frame::CachePath("Online", CityID));
}

std::string TWeatherOnline::GetWind() {
  QueryDeadline deadline;
  return Get(GetWindURL(), parse::OnlineWind, 12, frame::CachePath("OnlineTrend", CityID));
}

}  // namespace zel
