// The month page must feel instant when the user spins through years: one
// whole page (42 cells and the template) well under 200 microseconds.
#include <benchmark/benchmark.h>

#include "base/files.h"
#include "calendar/calendar_page.h"
#include "calendar/lunar.h"

namespace {

using namespace zel;

const CalendarLists& Shipped() {
  static const CalendarLists lists = LoadCalendarLists(ZEL_DATA_DIR);
  return lists;
}

// Cells of every month from 1901 to 2050 (1,800 months) per iteration.
void BM_AllMonthCells(benchmark::State& state) {
  const CalendarLists& l = Shipped();
  for (auto _ : state)
    for (int y = 1901; y <= 2050; ++y)
      for (int m = 1; m <= 12; ++m)
        benchmark::DoNotOptimize(MonthCells(y, m, {2006, 8, 24}, l.lunarFestivals, l.solarFestivals));
  state.SetItemsProcessed(state.iterations() * 1800);
}
BENCHMARK(BM_AllMonthCells)->Unit(benchmark::kMillisecond);

// Every covered day, 1901-01-01 to 2051-02-10, per iteration.
void BM_LunarFromOffsetAllDays(benchmark::State& state) {
  const long last = LastCoveredOffset();
  for (auto _ : state)
    for (long off = 0; off <= last; ++off) benchmark::DoNotOptimize(LunarFromOffset(off));
  state.SetItemsProcessed(state.iterations() * (last + 1));
}
BENCHMARK(BM_LunarFromOffsetAllDays)->Unit(benchmark::kMillisecond);

// One whole page as RenderMonth builds it: cells, template, folder path.
void BM_WholeMonthPage(benchmark::State& state) {
  const CalendarLists& l = Shipped();
  const std::string tmpl = JoinLines(l.monthTemplate);
  int y = 1901, m = 1;
  for (auto _ : state) {
    const MonthCellTexts cells = MonthCells(y, m, {2006, 8, 24}, l.lunarFestivals, l.solarFestivals);
    benchmark::DoNotOptimize(RenderMonthPage(tmpl, "/opt/zelmora/", cells));
    if (++m > 12) {
      m = 1;
      y = y == 2050 ? 1901 : y + 1;
    }
  }
}
BENCHMARK(BM_WholeMonthPage)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
