// What waiting on a child's output needs beyond the system's own calls.
#include <chrono>

#include "support/child_process.h"

namespace zel::test {

std::string ChildProcess::WaitFor(const std::regex& pattern, int ms) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  std::smatch m;
  while (std::chrono::steady_clock::now() < until) {
    Drain(50);
    if (std::regex_search(log_, m, pattern)) return m.size() > 1 ? m[1].str() : m[0].str();
    // Ended: what it wrote last is in the log now, and nothing more comes.
    if (Wait(0) >= 0) return std::regex_search(log_, m, pattern) ? (m.size() > 1 ? m[1].str() : m[0].str()) : "";
  }
  return {};
}

}  // namespace zel::test
