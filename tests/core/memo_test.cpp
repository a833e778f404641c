#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "weather/memo.h"

using namespace zel;

TEST(Memo, OlderRowWinsAndKeysIgnoreAsciiCase) {
  PageMemo memo;
  memo.AppendForecast("Guangdong-Guangzhou", "first");
  memo.AppendForecast("guangdong-guangzhou", "second");
  EXPECT_EQ(memo.FindForecast("GUANGDONG-GUANGZHOU"), "first");
  EXPECT_FALSE(memo.FindTrend("Guangdong-Guangzhou").has_value()) << "the two memos are separate";
  memo.AppendForecast("x-y", "");
  EXPECT_EQ(memo.FindForecast("x-y"), "") << "an empty page is memorised too";
  memo.AppendTrend("x-y", "t");
  memo.Clear();
  EXPECT_FALSE(memo.FindForecast("x-y").has_value());
  EXPECT_FALSE(memo.FindTrend("x-y").has_value());
  memo.AppendForecast("x-y", "after");
  EXPECT_EQ(memo.FindForecast("x-y"), "after") << "the index is rebuilt after clearing";
}
