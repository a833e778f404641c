#include "weather/prefetch.h"

#include <atomic>
#include <memory>
#include <thread>

#include "base/appenv.h"
#include "weather/forecast.h"

namespace zel {
namespace {

std::atomic<int> g_running{0};

void Execute(const std::string& province, const std::string& city, const std::string& number) {
  // A manager of its own: own sources, own temporary file; only the memo
  // and the cache files are shared, and both are locked.
  auto m = std::make_unique<TForeCast>();
  if (!m->TemplatesLoaded) return;
  m->Province = province;
  m->City = city;
  m->DataFile = AppPath() + "Download/ForeCastThr" + number + ".dat";
  m->PrefetchForecast();
}

}  // namespace

void StartWeatherThr(const std::string& province, const std::string& city, const std::string& number) {
  ++g_running;
  try {
    std::thread([province, city, number] {
      try {
        Execute(province, city, number);
      } catch (...) {
        // A worker reports nothing; the favourite is fetched on its click.
      }
      --g_running;
    }).detach();
  } catch (...) {
    --g_running;
  }
}

int WeatherThrRunning() { return g_running.load(); }

}  // namespace zel
