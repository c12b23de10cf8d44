#include "Format.h"
#include <gtest/gtest.h>

TEST(StoreFormat, DayNumbers)
{
    int64_t ms = 0;
    ASSERT_TRUE(store::DayStartMs(20240229, &ms));
    EXPECT_EQ(store::DayOf(ms), 20240229u);
    EXPECT_EQ(store::DayOf(ms - 1), 20240228u);
    EXPECT_FALSE(store::DayStartMs(20230229, &ms));
}
