// Fetch, render, memorise and show.
#include "weather/query.h"

#include "base/gbk.h"
#include "base/ui.h"
#include "weather/forecast.h"
#include "weather/memo.h"
#include "weather/status.h"

namespace zel {
namespace {

// The active source's forecast, rendered; false when no record came.
bool FetchForecast(TForeCast& m, std::string& page) {
  std::string code = m.StationCode();
  std::string record;
  switch (m.SourceId) {
    case 1:
      m.SourceOnline.CityID = code;
      m.SourceOnline.TempFile = m.DataFile;
      record = m.SourceOnline.GetForeCast();
      if (!record.empty()) page = m.RenderForecastOnline(record);
      break;
    case 3:
      m.SourceCN.CityID = code;
      m.SourceCN.TempFile = m.DataFile;
      record = m.SourceCN.GetForeCast();
      if (!record.empty()) page = m.RenderForecastCN(record);
      break;
    default:
      m.SourceCC.CityID = code;
      m.SourceCC.TempFile = m.DataFile;
      record = m.SourceCC.GetForeCast();
      if (!record.empty()) page = m.RenderForecastCC(record);
      break;
  }
  return !record.empty();
}

const std::string& Shown() {
  static const std::string s = G(u8"完成，已显示！");
  return s;
}

}  // namespace

bool TForeCast::ShowForecast(Browser& browser) {
  std::string page;
  if (!FetchForecast(*this, page)) return false;
  PageMemo::Instance().AppendForecast(MemoKey(), page);
  browser.ShowHtml(page);
  return true;
}

bool TForeCast::ShowWind(Browser& browser) {
  std::string record, page;
  if (SourceId == 1) {
    SourceOnline.CityID = StationCode();
    SourceOnline.TempFile = DataFile;
    record = SourceOnline.GetWind();
    if (!record.empty()) page = RenderWindOnline(record);
  } else if (SourceId == 3) {
    SourceCN.CityID = StationCode();
    SourceCN.TempFile = DataFile;
    record = SourceCN.GetTrend();
    if (!record.empty()) page = RenderTrendCN(record);
  }
  if (record.empty()) return false;
  PageMemo::Instance().AppendTrend(MemoKey(), page);
  browser.ShowHtml(page);
  return true;
}

void TForeCast::PrefetchForecast() {
  // Favourites are prefetched from the online and CC sources only.
  if (SourceId == 3) return;
  std::string page;
  if (FetchForecast(*this, page)) PageMemo::Instance().AppendForecast(MemoKey(), page);
}

std::string QueryForecast(TForeCast& m, Browser& browser, const std::string& province, const std::string& city) {
  if (auto page = PageMemo::Instance().FindForecast(province + "-" + city)) {
    browser.ShowHtml(*page);
    return Shown();
  }
  m.Province = province;
  m.City = city;
  return m.ShowForecast(browser) ? StatusText : ErrorText;
}

std::string QueryWind(TForeCast& m, Browser& browser, const std::string& province, const std::string& city) {
  if (auto page = PageMemo::Instance().FindTrend(province + "-" + city)) {
    browser.ShowHtml(*page);
    return Shown();
  }
  m.Province = province;
  m.City = city;
  return m.ShowWind(browser) ? StatusText : ErrorText;
}

}  // namespace zel
