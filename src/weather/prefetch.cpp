#include "weather/prefetch.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "base/appenv.h"
#include "weather/forecast.h"

namespace zel {
namespace {

struct Job {
  std::string province, city, number;
};

// A few workers take the favourites in list order: thousands of favourites
// against a stalling server must not mean thousands of threads. Never
// destroyed: the workers wait on it until the process ends.
struct Pool {
  std::mutex m;
  std::condition_variable cv;
  std::deque<Job> jobs;
  int workers = 0;
};
Pool& ThePool() {
  static Pool* pool = new Pool;
  return *pool;
}

std::atomic<int> g_running{0};

void Execute(const Job& job) {
  // A manager of its own: own sources, own temporary file; only the memo
  // and the cache files are shared, and both are locked.
  auto m = std::make_unique<TForeCast>();
  if (!m->TemplatesLoaded) return;
  m->Province = job.province;
  m->City = job.city;
  m->DataFile = AppPath() + "Download/ForeCastThr" + job.number + ".dat";
  m->PrefetchForecast();
}

void Work() {
  Pool& pool = ThePool();
  for (;;) {
    Job job;
    {
      std::unique_lock<std::mutex> lock(pool.m);
      pool.cv.wait(lock, [&] { return !pool.jobs.empty(); });
      job = std::move(pool.jobs.front());
      pool.jobs.pop_front();
    }
    try {
      Execute(job);
    } catch (...) {
      // A worker reports nothing; the favourite is fetched on its click.
    }
    --g_running;
  }
}

}  // namespace

void StartWeatherThr(const std::string& province, const std::string& city, const std::string& number) {
  Pool& pool = ThePool();
  ++g_running;
  std::lock_guard<std::mutex> lock(pool.m);
  pool.jobs.push_back({province, city, number});
  if (pool.workers < kPrefetchWorkers) {
    try {
      std::thread(Work).detach();
      ++pool.workers;
    } catch (...) {
      // No thread to be had: with no worker at all the job is dropped.
      if (pool.workers == 0) {
        pool.jobs.pop_back();
        --g_running;
      }
    }
  }
  pool.cv.notify_one();
}

int WeatherThrRunning() { return g_running.load(); }

}  // namespace zel
