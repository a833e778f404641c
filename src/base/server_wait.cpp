#include "base/server_wait.h"

#include <algorithm>
#include <mutex>
#include <thread>

#include "base/download.h"

namespace zel {
namespace {

using Clock = std::chrono::steady_clock;

struct Expected {
  LoopbackEndpoint endpoint;
  Clock::time_point until;
};

std::mutex g_lock;
std::vector<Expected> g_expected;

// The entry of e, if it is still expected.
std::vector<Expected>::iterator Find(const LoopbackEndpoint& e) {
  return std::find_if(g_expected.begin(), g_expected.end(), [&](const Expected& x) { return x.endpoint == e; });
}

}  // namespace

void ExpectServers(const std::vector<LoopbackEndpoint>& endpoints, std::chrono::milliseconds within) {
  std::lock_guard<std::mutex> lock(g_lock);
  for (const auto& e : endpoints) {
    auto it = Find(e);
    if (it == g_expected.end()) g_expected.push_back({e, Clock::now() + within});
    else it->until = Clock::now() + within;
  }
}

bool AwaitServer(const std::string& url) {
  Clock::time_point until;
  LoopbackEndpoint e;
  {
    std::lock_guard<std::mutex> lock(g_lock);
    if (g_expected.empty()) return true;
    auto endpoints = LoopbackEndpoints({url});
    if (endpoints.empty()) return true;
    e = endpoints[0];
    auto it = Find(e);
    if (it == g_expected.end()) return true;
    until = it->until;
  }
  // Once it answered (or its time is up) nobody waits for it again.
  auto settle = [&](bool answered) {
    std::lock_guard<std::mutex> lock(g_lock);
    if (auto it = Find(e); it != g_expected.end()) g_expected.erase(it);
    return answered;
  };
  while (true) {
    if (Answers(e, std::chrono::milliseconds(200))) return settle(true);
    if (Clock::now() >= until) return settle(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
}

void AwaitServersOnDownload() {
  SetBeforeDownload([](const std::string& url) { AwaitServer(url); });
}

}  // namespace zel
