// The data update against a loopback server: one whole run that fetches,
// stages and copies N files, and the checks every name goes through.
#include <benchmark/benchmark.h>

#include <memory>

#include "update/safe_path.h"
#include "update/update.h"
#include "update/update_fixture.h"
#include "update/version.h"

namespace {

using namespace zel;
using namespace zel::test;

void BM_UpdateRun(benchmark::State& state) {
  const int files = static_cast<int>(state.range(0));
  UpdateServer srv;
  std::string download = "Num=" + std::to_string(files) + "\r\nURL=" + srv.DataUrl() + "\r\n";
  for (int i = 1; i <= files; ++i) {
    std::string n = std::to_string(i);
    srv.Put("/data/f" + n, std::string(16 << 10, 'x'));
    download += "File" + n + "=f" + n + "\r\nTo" + n + "=f" + n + "\r\n";
  }
  srv.Description("[main]\r\nDataVersion=2\r\n[download]\r\n" + download);
  for (auto _ : state) {
    state.PauseTiming();
    auto app = std::make_unique<AppFolder>();
    state.ResumeTiming();
    UpdateReport r = TWeb(SettingsFor(*app, srv, "1")).Execute();
    if (r.result != UpdateResult::Updated) state.SkipWithError("update did not run");
    state.PauseTiming();
    app.reset();  // removing the folder is not part of the run
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * files);
}
BENCHMARK(BM_UpdateRun)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond);

void BM_PathInside(benchmark::State& state) {
  AppFolder app;
  for (auto _ : state) benchmark::DoNotOptimize(PathInside(app.path(), "Template\\default\\ForeCastCC.htm"));
}
BENCHMARK(BM_PathInside);

void BM_CompareVersion(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(CompareVersion("2006-3-20", "2006-3-21"));
}
BENCHMARK(BM_CompareVersion);

}  // namespace

BENCHMARK_MAIN();
