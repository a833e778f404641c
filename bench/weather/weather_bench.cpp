// Parse plus render of one page of each source, a whole CC fetch over
// loopback for comparison, and a memo hit among 1,000 pages.
#include <benchmark/benchmark.h>

#include "../../tests/weather/weather_fixture.h"
#include "weather/cache.h"
#include "weather/forecast.h"
#include "weather/memo.h"
#include "weather/parsers.h"
#include "weather/sources.h"

namespace zel::test {
namespace {

struct World {
  AppFolder app;
  PageServer srv;
  std::unique_ptr<TForeCast> m;
  World() {
    SetUpWeatherApp(app, srv.base());
    srv.ServeAll();
    // The icons are present, so the CN parse downloads nothing.
    for (const char* icon : {"d00", "d01", "d02", "d03", "d04", "n00", "n01", "n02", "n03", "n04"})
      app.Write(std::string("images/") + icon + ".gif", "GIF");
    m = std::make_unique<TForeCast>();
    m->City = "x";
  }
};

World& W() {
  static World* w = new World;
  return *w;
}

template <class Parse>
void ParseRender(benchmark::State& state, const char* fixture, size_t count, Parse parse,
                 std::string (TForeCast::*render)(const std::string&) const) {
  World& w = W();
  PageLines lines = FixtureLines(fixture);
  for (auto _ : state) {
    TextList fields;
    parse(lines, fields);
    std::string page = (w.m.get()->*render)(JoinRecord(fields));
    benchmark::DoNotOptimize(page);
    if (fields.size() != count || page.empty()) state.SkipWithError("no page");
  }
}

void BM_ParseRenderCC(benchmark::State& s) {
  ParseRender(s, "cc_forecast.htm", 16, parse::CCForecast, &TForeCast::RenderForecastCC);
}
void BM_ParseRenderCN(benchmark::State& s) {
  TWeatherCN cn;
  ParseRender(s, "cn_forecast.htm", 11, [&](const PageLines& l, TextList& f) { parse::CNForecast(cn, l, f); },
              &TForeCast::RenderForecastCN);
}
void BM_ParseRenderCNTrend(benchmark::State& s) {
  TWeatherCN cn;
  ParseRender(s, "cn_trend.htm", 35, [&](const PageLines& l, TextList& f) { parse::CNTrend(cn, l, f); },
              &TForeCast::RenderTrendCN);
}
void BM_ParseRenderOnline(benchmark::State& s) {
  ParseRender(s, "online_forecast.htm", 18, parse::OnlineForecast, &TForeCast::RenderForecastOnline);
}
void BM_ParseRenderOnlineWind(benchmark::State& s) {
  ParseRender(s, "online_wind.htm", 12, parse::OnlineWind, &TForeCast::RenderWindOnline);
}

// Download into the temporary file, parse, cache, render.
void BM_FetchCCOverLoopback(benchmark::State& state) {
  World& w = W();
  TWeatherCC s;
  s.CityID = "54511";
  s.TempFile = w.app / "Download/bench.dat";
  for (auto _ : state) benchmark::DoNotOptimize(w.m->RenderForecastCC(s.GetForeCast()));
}

void BM_MemoHitAmong1000(benchmark::State& state) {
  PageMemo memo;
  std::string page(4000, 'p');
  for (int i = 0; i < 1000; ++i) memo.AppendForecast("province" + std::to_string(i) + "-city", page);
  int i = 0;
  for (auto _ : state) {
    auto hit = memo.FindForecast("PROVINCE" + std::to_string(i++ % 1000) + "-CITY");
    benchmark::DoNotOptimize(hit);
  }
}

BENCHMARK(BM_ParseRenderCC)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseRenderCN)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseRenderCNTrend)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseRenderOnline)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseRenderOnlineWind)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FetchCCOverLoopback)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MemoHitAmong1000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace zel::test

BENCHMARK_MAIN();
