// The feed for every station of the shipped catalogue: converting the
// providers' answers (target: all stations under 50 ms), and one whole
// refresh against a loopback fake (target: under 10 s on 2 cores).
#include <benchmark/benchmark.h>

#include "feed_fake.h"
#include "server/feed/feed.h"
#include "server/feed/met_norway.h"
#include "server/feed/open_meteo.h"
#include "server/weather_pages.h"

namespace zel::server::feed::test {
namespace {

struct Catalogue {
  std::map<std::string, std::string> stations;
  std::vector<Location> locations;
  std::string coordinates = "#station\tlatitude\tlongitude\tprovince\tcity\n";
  Catalogue() {
    stations = LoadStations(std::string(ZEL_SOURCE_DIR) + "/data/Weather.ini");
    int i = 0;
    for (const auto& [code, name] : stations) {
      Location l{code, 20 + (i % 30) * 0.7, 80 + (i / 30) * 3.1};
      locations.push_back(l);
      coordinates += code + "\t" + Coordinate(l.latitude) + "\t" + Coordinate(l.longitude) + "\tx\ty\n";
      ++i;
    }
  }
};

const Catalogue& Cat() {
  static const Catalogue* c = new Catalogue;
  return *c;
}

// Wet mornings, thundery nights, a breeze: every table is used.
Json Location1(const std::string& today, double lat, double lon) {
  return OpenMeteoLocation(today, 5, lat, lon, 3, [](const std::string&, int h) -> Json {
    return h >= 6 && h < 12 ? 63 : h >= 18 ? 95 : 2;
  });
}

void BM_ConvertOpenMeteoAllStations(benchmark::State& state) {
  const auto& locs = Cat().locations;
  std::string today = Today();
  // The answers of the batches of 100 a refresh asks for.
  std::vector<std::pair<std::string, std::vector<Location>>> batches;
  for (size_t from = 0; from < locs.size(); from += kOpenMeteoBatch) {
    std::vector<Location> b(locs.begin() + long(from),
                            locs.begin() + long(std::min(locs.size(), from + kOpenMeteoBatch)));
    Json all = Json::array();
    for (const Location& l : b) all.push_back(Location1(today, l.latitude, l.longitude));
    batches.emplace_back(all.dump(), b);
  }
  for (auto _ : state) {
    size_t n = 0;
    for (const auto& [body, b] : batches) {
      OpenMeteoAnswer a = ParseOpenMeteo(body, b, std::time(nullptr));
      for (const auto& f : a.forecasts) n += f && RecordJson(*f).size() > 0;
    }
    if (n != locs.size()) state.SkipWithError("a station did not convert");
  }
  state.counters["stations"] = double(locs.size());
}
BENCHMARK(BM_ConvertOpenMeteoAllStations)->Unit(benchmark::kMillisecond);

void BM_ConvertMetNorwayAllStations(benchmark::State& state) {
  const auto& locs = Cat().locations;
  std::string body = MetAnswer(
                         Today(), 9, "2026-01-01T00:00:00Z",
                         [](const std::string&, int h) { return std::string(h < 12 ? "lightrain_day" : "cloudy"); },
                         [](const std::string&, int h) { return 10.0 + h % 9; }, 0.4)
                         .dump();
  for (auto _ : state) {
    size_t n = 0;
    for (const Location& l : locs) {
      auto f = ParseMetNorway(body, l);
      n += f && RecordJson(*f).size() > 0;
    }
    if (n != locs.size()) state.SkipWithError("a station did not convert");
  }
  state.counters["stations"] = double(locs.size());
  state.counters["answer_kB"] = double(body.size()) / 1024;
}
BENCHMARK(BM_ConvertMetNorwayAllStations)->Unit(benchmark::kMillisecond);

// A whole refresh: batches over loopback, conversion, a record written
// atomically per station, the state file.
void RefreshAll(benchmark::State& state, Provider p) {
  const Catalogue& cat = Cat();
  FakeProviders fake;
  std::string today = Today();
  std::map<size_t, std::string> answers;
  for (size_t n : {kOpenMeteoBatch, cat.locations.size() % kOpenMeteoBatch}) {
    Json all = Json::array();
    for (size_t i = 0; i < n; ++i) all.push_back(Location1(today, 30, 110));
    answers[n] = n == 1 ? all[0].dump() : all.dump();
  }
  fake.OpenMeteo([&](const httplib::Request& req, httplib::Response& res) {
    std::string lat = req.get_param_value("latitude");
    res.set_content(answers[size_t(std::count(lat.begin(), lat.end(), ',')) + 1], "application/json");
  });
  std::string met =
      MetAnswer(
          today, 9, "2026-01-01T00:00:00Z", [](const std::string&, int) { return std::string("fair_day"); },
          [](const std::string&, int h) { return 10.0 + h % 9; })
          .dump();
  fake.Met([&](const httplib::Request&, httplib::Response& res) { res.set_content(met, "application/json"); });
  for (auto _ : state) {
    state.PauseTiming();
    auto data = std::make_unique<zel::test::TempDir>();
    data->Write("coordinates.tsv", cat.coordinates);
    FeedOptions o;
    o.primary = p;
    o.url = fake.base();
    o.all = true;
    o.coordinatesFile = (*data) / "coordinates.tsv";
    o.dataDir = data->path();
    Feed feed(o, cat.stations, [](const std::string&) {});
    state.ResumeTiming();
    int written = feed.RefreshDue();
    if (size_t(written) != cat.locations.size()) state.SkipWithError("not every station was written");
    state.PauseTiming();
    data.reset();
    state.ResumeTiming();
  }
  state.counters["stations"] = double(cat.locations.size());
}
void BM_RefreshAllStationsOpenMeteo(benchmark::State& s) { RefreshAll(s, Provider::kOpenMeteo); }
BENCHMARK(BM_RefreshAllStationsOpenMeteo)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
}  // namespace zel::server::feed::test

BENCHMARK_MAIN();
