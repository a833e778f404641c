#include "base/appenv.h"
#include "base/download.h"
#include "base/files.h"
#include "base/gbk.h"
#include "weather/cache.h"
#include "weather/parsers.h"
#include "weather/source_frame.h"
#include "weather/sources.h"

namespace zel {

using frame::Between;
using frame::Page;

TWeatherCC::TWeatherCC() : Caption(CCCaption()) {}

std::string TWeatherCC::GetURL() const {
  return ServerBase("CC") + "/nmc/citySearch.do?inputMode=citysearch&type=second&cityid=" + CityID;
}

namespace {

const std::string& None() {
  static const std::string s = G(u8"无");
  return s;
}

std::string TextField(std::string_view line) {
  std::string t = Trim(line);
  return t.empty() ? None() : t;
}

// The unit sign (2 bytes) goes; a missing value ends up empty.
std::string Temperature(std::string_view line) {
  std::string t = TextField(line);
  return t.substr(0, t.size() >= 2 ? t.size() - 2 : 0);
}

// Steps 7 and 8 of one day: icons, then words and wind.
void IconsWordsWind(const Page& page, long long& p, TextList& fields) {
  std::string codes;
  long long last = p;
  for (long long n = p; n <= p + 15; ++n) {
    if (!page.Has(n, "<img src")) continue;
    std::string t = Trim(page.Line(n));
    codes += Copy(t, 23, 2) + "-";
    last = n;
  }
  p = last;
  fields.push_back(TWeatherCC::MakeIcons(codes.empty() ? None() : codes));
  for (long long n = p; n <= p + 10; ++n)
    if (page.Has(n, "hei12-18")) {
      p = n;
      break;
    }
  fields.push_back(TextField(page.Line(p + 1)));
  fields.push_back(TextField(page.Line(p + 6)));
}

}  // namespace

void parse::CCForecast(const PageLines& lines, TextList& fields) {
  static const std::string header = G(u8"天气预报"), block = G(u8"24小时预报");
  Page page(lines);
  long long p = 0;
  try {
    for (long long n = 70; n <= 250; ++n)
      if (page.Has(n, header)) {
        fields.push_back(Between(page.Line(n), "&nbsp;", "</span>"));
        p = n;
        break;
      }
    for (long long n = p + 15; n <= p + 20; ++n)
      if (page.Has(n, block)) {
        p = n;
        break;
      }
    fields.push_back(Temperature(page.Line(p + 4)));
    fields.push_back(Temperature(page.Line(p + 9)));
    p += 12;
    IconsWordsWind(page, p, fields);
    for (int day = 2; day <= 3; ++day) {
      fields.push_back(Temperature(page.Line(p + 16)));
      fields.push_back(Temperature(page.Line(p + 21)));
      p += 24;
      IconsWordsWind(page, p, fields);
    }
  } catch (const frame::ParseStop&) {
  }
}

std::string TWeatherCC::MakeIcons(const std::string& codes) {
  if (codes == None()) return codes;
  std::string out;
  for (const auto& code : SplitString(codes, "-"))
    out += "<img src=\"" + AppPathInPage() + "images/" + code + ".gif\" height=\"19\">";
  return out;
}

std::string TWeatherCC::GetForeCast() {
  QueryDeadline deadline;
  TextList fields;
  frame::Fetch f = frame::FetchPage(GetURL(), 251);
  if (f.fresh) parse::CCForecast(f.lines, fields);
  std::string record = frame::FinishRecord(fields, f.fresh, 16, frame::CachePath("CC", CityID));
  return record;
}

}  // namespace zel
