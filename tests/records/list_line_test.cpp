#include "records/list_line.h"

#include <gtest/gtest.h>

TEST(IsStockCodeTest, OnlySixAsciiDigits) {
  EXPECT_TRUE(IsStockCode("600000"));
  EXPECT_TRUE(IsStockCode("000001"));
  EXPECT_FALSE(IsStockCode(""));
  EXPECT_FALSE(IsStockCode("60000"));
  EXPECT_FALSE(IsStockCode("6000001"));
  EXPECT_FALSE(IsStockCode("12ab34"));
  EXPECT_FALSE(IsStockCode("60000 "));
  EXPECT_FALSE(IsStockCode("双击一下"));
  EXPECT_FALSE(IsStockCode("６00000"));  // a full-width digit
  EXPECT_FALSE(IsStockCode("2024-0"));
}
