#include "MotionEvents.h"
#include <gtest/gtest.h>

namespace {

using player::FindMotionEvents;

std::vector<uint8_t> Day() { return std::vector<uint8_t>(86400, 255); }

TEST(MotionEvents, JoinsNearSecondsSplitsAtLongQuietAndKeepsThePeak)
{
    auto day = Day();
    const int64_t start = 1700000000000;
    // 10..12 and 14 (one quiet second between: one event); 20 after five quiet ones: another;
    // 30 below the threshold; the last second of the day counts.
    day[10] = 40, day[11] = 90, day[12] = 30, day[13] = 5, day[14] = 50;
    day[17] = 10, day[20] = 24, day[30] = 23, day[86399] = 100;
    const auto events = FindMotionEvents(3, start, day, 24);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].camera, 3);
    EXPECT_EQ(events[0].startMs, start + 10000);
    EXPECT_EQ(events[0].lengthMs, 5000);
    EXPECT_EQ(events[0].peak, 90);
    EXPECT_EQ(events[1].startMs, start + 20000);
    EXPECT_EQ(events[1].lengthMs, 1000);
    EXPECT_EQ(events[2].startMs, start + 86399000);
    EXPECT_EQ(events[2].lengthMs, 1000);
    // A higher threshold: the 40 and 50 seconds no longer count, the 90 alone is left of the first.
    const auto strict = FindMotionEvents(3, start, day, 64);
    ASSERT_EQ(strict.size(), 2u);
    EXPECT_EQ(strict[0].startMs, start + 11000);
    EXPECT_EQ(strict[0].lengthMs, 1000);
}

TEST(MotionEvents, UntrustedLevelsAndSizesAndSensitivityBounds)
{
    // Levels the store never writes (101..254) and seconds past the day are nothing; a short or
    // empty vector is read as far as it goes; thresholds outside 1..100 are clamped.
    std::vector<uint8_t> odd(86500, 50);
    odd[5] = 101, odd[6] = 254, odd[7] = 255;
    const auto split = FindMotionEvents(0, 0, odd, 24);
    ASSERT_EQ(split.size(), 2u) << "three seconds without a level part the day";
    EXPECT_EQ(split[0].lengthMs, 5000);
    EXPECT_EQ(split[1].startMs, 8000);
    EXPECT_EQ(split[1].startMs + split[1].lengthMs, 86400000) << "nothing past the day";
    EXPECT_EQ(FindMotionEvents(0, 0, odd, 0).size(), 2u);
    EXPECT_TRUE(FindMotionEvents(0, 0, odd, 500).empty());
    std::vector<uint8_t> spikes{255, 101, 200};
    EXPECT_TRUE(FindMotionEvents(0, 0, spikes, -5).empty());
    EXPECT_TRUE(FindMotionEvents(0, 0, {}, 24).empty());
    EXPECT_EQ(player::ThresholdOf(1), 100);
    EXPECT_EQ(player::ThresholdOf(100), 1);
    EXPECT_EQ(player::ThresholdOf(0), 100);
    EXPECT_EQ(player::ThresholdOf(1000), 1);

    std::vector<player::MotionEvent> all{{2, 5000, 1000, 50}, {1, 5000, 1000, 50}, {0, 1000, 1000, 50}};
    player::SortEvents(all);
    EXPECT_EQ(all[0].camera, 0);
    EXPECT_EQ(all[1].camera, 1);
    EXPECT_EQ(all[2].camera, 2);
}

} // namespace
