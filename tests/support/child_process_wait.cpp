// What waiting on a child's output needs beyond the system's own calls.
#include <chrono>

#include "support/child_process.h"

namespace zel::test {

std::string ChildProcess::WaitFor(const std::regex& pattern, int ms) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  std::smatch m;
  for (;;) {
    Drain(50);
    // An ended child has written all it will: one last look.
    bool ended = Wait(0) >= 0;
    if (std::regex_search(log_, m, pattern)) return m.size() > 1 ? m[1].str() : m[0].str();
    if (ended || std::chrono::steady_clock::now() >= until) return {};
  }
}

}  // namespace zel::test
