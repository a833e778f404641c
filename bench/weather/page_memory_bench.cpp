// Peak heap while an 8 MiB page of empty lines is loaded and parsed, the
// page a hostile server can send within the download cap. Counted by the
// global allocator below, so only this binary pays for the counting.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "base/files.h"
#include "support/testutil.h"
#include "weather/parsers.h"
#include "weather/sources.h"

namespace {

std::atomic<long long> g_now{0}, g_peak{0};

void Count(void* p) {
  if (!p) return;
  long long now = g_now += static_cast<long long>(malloc_usable_size(p));
  long long peak = g_peak.load();
  while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
  }
}

}  // namespace

void* operator new(size_t n) {
  void* p = std::malloc(n ? n : 1);
  if (!p) throw std::bad_alloc();
  Count(p);
  return p;
}
// The replaced operator new above allocates with malloc, so free matches.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept {
  if (p) g_now -= static_cast<long long>(malloc_usable_size(p));
  std::free(p);
}
#pragma GCC diagnostic pop
void operator delete(void* p, size_t) noexcept { operator delete(p); }

namespace zel {
namespace {

constexpr size_t kPage = 8u << 20;

const std::string& PageFile() {
  static test::TempDir* dir = new test::TempDir;
  static std::string path = [] {
    dir->Write("empty_lines.htm", std::string(kPage, '\n'));
    return dir->path() + "empty_lines.htm";
  }();
  return path;
}

// The page as the parsers read it now: one buffer and a line index.
void BM_EmptyLinesPageCompact(benchmark::State& state) {
  TWeatherCN cn;
  for (auto _ : state) {
    long long base = g_now.load();
    g_peak = base;
    {
      PageLines page;
      LoadPage(PageFile(), page, kPage);
      TextList fields;
      parse::CNForecast(cn, page, fields);
      parse::CCForecast(page, fields);
      benchmark::DoNotOptimize(fields);
    }
    state.counters["peak_MiB"] = static_cast<double>(g_peak - base) / (1 << 20);
    state.counters["x_page"] = static_cast<double>(g_peak - base) / kPage;
  }
}
BENCHMARK(BM_EmptyLinesPageCompact)->Unit(benchmark::kMillisecond)->Iterations(3);

// For comparison: the same page as a list of strings, as it was loaded before.
void BM_EmptyLinesPageAsStringList(benchmark::State& state) {
  for (auto _ : state) {
    long long base = g_now.load();
    g_peak = base;
    {
      TextList lines;
      LoadLines(PageFile(), lines, kPage);
      benchmark::DoNotOptimize(lines);
    }
    state.counters["peak_MiB"] = static_cast<double>(g_peak - base) / (1 << 20);
    state.counters["x_page"] = static_cast<double>(g_peak - base) / kPage;
  }
}
BENCHMARK(BM_EmptyLinesPageAsStringList)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace zel

BENCHMARK_MAIN();
