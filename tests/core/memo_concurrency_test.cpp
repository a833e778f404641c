#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "weather/memo.h"

using namespace zel;

TEST(MemoConcurrency, PairsStayParallelUnderConcurrentAppendsLookupsAndClears) {
  PageMemo memo;
  std::vector<std::thread> workers;
  for (int t = 0; t < 6; ++t)
    workers.emplace_back([&memo, t] {
      for (int i = 0; i < 300; ++i) {
        std::string key = "p" + std::to_string(t) + "-c" + std::to_string(i);
        memo.AppendForecast(key, "page of " + key);
        auto found = memo.FindForecast(key);
        if (found) {
          EXPECT_EQ(*found, "page of " + key);
        }
      }
    });
  workers.emplace_back([&memo] {
    for (int i = 0; i < 50; ++i) memo.Clear();
  });
  for (auto& w : workers) w.join();
  TextList keys = memo.ForeCastKeys(), pages = memo.ForeCastPages();
  ASSERT_EQ(keys.size(), pages.size());
  for (size_t i = 0; i < keys.size(); ++i) EXPECT_EQ(pages[i], "page of " + keys[i]);
}
