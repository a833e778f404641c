// Stroke counting is one table lookup per character: the time per byte must
// stay flat from a name to a page of text.
#include <benchmark/benchmark.h>

#include "base/gbk.h"
#include "fortune/relation.h"
#include "fortune/strokes.h"
#include "fortune/tellucky.h"

namespace {

void BM_StrokeTotal(benchmark::State& state) {
  std::string text;
  const std::string piece = zel::G(u8"张三丰李四王五，Hello 爨齄");
  while (text.size() < static_cast<size_t>(state.range(0))) text += piece;
  for (auto _ : state) benchmark::DoNotOptimize(zel::StrokeTotal(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_StrokeTotal)->Arg(6)->Arg(1 << 10)->Arg(1 << 20);

void BM_RelationAnswer(benchmark::State& state) {
  zel::TLRGX calc;
  const std::string a = zel::G(u8"丁丁"), b = zel::G(u8"当当");
  for (auto _ : state) benchmark::DoNotOptimize(zel::RelationAnswer(calc, a, b));
}
BENCHMARK(BM_RelationAnswer);

void BM_LuckAnswer(benchmark::State& state) {
  zel::TTelLucky calc;
  long long n = 0;
  for (auto _ : state) {
    std::string number = "1380000" + std::to_string(1000 + (n++ % 9000));
    benchmark::DoNotOptimize(zel::LuckAnswer(calc, number));
  }
}
BENCHMARK(BM_LuckAnswer);

}  // namespace

BENCHMARK_MAIN();
