// Decode threads convert at once, each for its own DVR's zone: every thread keeps its own settings
// and must get exactly the answers of a single-threaded run (TSan checks the sharing).
#include "TimeZoneConvert.h"
#include <atomic>
#include <cstring>
#include <gtest/gtest.h>
#include <latch>
#include <thread>
#include <vector>

using namespace video;

TEST(TimeZoneThreads, ManyZonesAtOnceGiveEachItsOwnAnswer)
{
    constexpr int kThreads = 16;
    constexpr int kFrames = 2000;
    const unsigned zones[kThreads] = {4, 76, 22, 38, 47, 84, 0, 30, 36, 70, 83, 53, 25, 60, 200, 15};

    auto frameTime = [](int i) {
        return RecordingTime{2000 + i % 40, 1 + i % 12, 1 + (i * 7) % 28, (i * 5) % 24, (i * 13) % 60, i % 60};
    };
    std::vector<std::vector<PictureTime>> expected(kThreads, std::vector<PictureTime>(kFrames));
    std::vector<std::vector<uint32_t>> expectedMark(kThreads, std::vector<uint32_t>(kFrames));
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kFrames; ++i) {
            TimeZoneSettings s;
            LoadTimeZone(s, zones[t], i % 3 != 0);
            ConvertFrameTime(s, frameTime(i), expected[t][i], expectedMark[t][i]);
        }

    std::latch start(kThreads);
    std::atomic<int> wrong{0};
    std::atomic<int> daylight{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            start.arrive_and_wait();
            // The names are narrowed on first use; every thread may be the first.
            if (TimeZoneNameAscii(zones[t] % kTimeZoneCount)[0] != '(')
                ++wrong;
            TimeZoneSettings s; // one per thread, rewritten for every frame as the decode thread does
            for (int i = 0; i < kFrames; ++i) {
                LoadTimeZone(s, zones[t], i % 3 != 0);
                PictureTime local;
                uint32_t mark = 0;
                ConvertFrameTime(s, frameTime(i), local, mark);
                if (std::memcmp(&local, &expected[t][i], sizeof local) != 0 || mark != expectedMark[t][i])
                    ++wrong;
                daylight += static_cast<int>(mark);
            }
        });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_GT(daylight.load(), 0); // the mix really includes daylight periods
}
