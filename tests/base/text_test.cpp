#include <gtest/gtest.h>
#include "base/text.h"
TEST(Text, Smoke) { EXPECT_EQ(zel::Pos("b", "abc"), 2u); }
