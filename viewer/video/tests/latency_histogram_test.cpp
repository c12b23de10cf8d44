// The display latency histogram: percentiles within its resolution, windows that start afresh,
// out-of-range values, and recording from many threads at once.
#include "LatencyHistogram.h"
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using pipeline::CLatencyHistogram;

TEST(LatencyHistogram, MedianAndP99FollowTheSamplesAcrossBothResolutions)
{
    CLatencyHistogram h;
    // 1..200 ms: the median falls in the fine part, the 99th percentile in the coarse part.
    for (int ms = 200; ms >= 1; --ms)
        h.Record(ms * 1000 + 10);
    CLatencyHistogram::Window w = h.Take();
    EXPECT_EQ(w.count, 200u);
    EXPECT_NEAR(w.medianMs, 100.0, 1.0); // rank 100 of 200
    EXPECT_NEAR(w.p99Ms, 198.0, 1.0); // rank 198
    EXPECT_NEAR(w.maxMs, 200.01, 0.001);
    EXPECT_EQ(w.negative, 0u);
    EXPECT_EQ(w.overflow, 0u);

    // A skewed window: 98 fast pictures and 2 very slow ones move the 99th percentile, not the median.
    for (int i = 0; i < 98; ++i)
        h.Record(3000);
    h.Record(900000);
    h.Record(950000);
    w = h.Take();
    EXPECT_EQ(w.count, 100u);
    EXPECT_NEAR(w.medianMs, 3.0, 0.05);
    EXPECT_NEAR(w.p99Ms, 900.0, 1.0);
}

TEST(LatencyHistogram, EachTakeStartsANewWindow)
{
    CLatencyHistogram h;
    EXPECT_EQ(h.Take().count, 0u);
    for (int i = 0; i < 10; ++i)
        h.Record(500000);
    EXPECT_EQ(h.Take().count, 10u);
    CLatencyHistogram::Window empty = h.Take();
    EXPECT_EQ(empty.count, 0u);
    EXPECT_EQ(empty.medianMs, 0.0);
    EXPECT_EQ(empty.maxMs, 0.0);
    h.Record(2000);
    CLatencyHistogram::Window w = h.Take();
    EXPECT_EQ(w.count, 1u);
    EXPECT_NEAR(w.medianMs, 2.0, 0.05);
    EXPECT_NEAR(w.maxMs, 2.0, 0.001); // the earlier window's maximum is gone
}

TEST(LatencyHistogram, ClockSkewAndHugeValuesStayInRange)
{
    EXPECT_EQ(CLatencyHistogram::BucketOf(-5), 0);
    EXPECT_EQ(CLatencyHistogram::BucketOf(INT64_MIN), 0);
    EXPECT_EQ(CLatencyHistogram::BucketOf(INT64_MAX), CLatencyHistogram::kBuckets - 1);
    EXPECT_EQ(CLatencyHistogram::BucketOf(CLatencyHistogram::kLimitMicros - 1), CLatencyHistogram::kBuckets - 2);
    EXPECT_EQ(CLatencyHistogram::BucketOf(CLatencyHistogram::kFineLimitMicros - 1),
              CLatencyHistogram::kFineBuckets - 1);
    EXPECT_EQ(CLatencyHistogram::BucketOf(CLatencyHistogram::kFineLimitMicros), CLatencyHistogram::kFineBuckets);

    CLatencyHistogram h;
    h.Record(-250000); // a sender's clock a quarter second ahead
    h.Record(INT64_MIN); // a hostile header time
    h.Record(3600LL * 1000000); // an hour late
    h.Record(INT64_MAX);
    CLatencyHistogram::Window w = h.Take();
    EXPECT_EQ(w.count, 4u);
    EXPECT_EQ(w.negative, 2u);
    EXPECT_EQ(w.overflow, 2u);
    EXPECT_LT(w.medianMs, 0.05);
    EXPECT_EQ(w.p99Ms, CLatencyHistogram::kLimitMicros / 1000.0);
}

TEST(LatencyHistogram, ConcurrentRecordersLoseNoSample)
{
    CLatencyHistogram h;
    constexpr int kThreads = 8, kEach = 20000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&h, t] {
            for (int i = 0; i < kEach; ++i)
                h.Record((t + 1) * 10000); // thread t records (t + 1) * 10 ms
        });
    // A reader taking windows meanwhile, as the view host's timer does.
    uint64_t taken = 0;
    for (int i = 0; i < 50; ++i)
        taken += h.Take().count;
    for (auto& th : threads)
        th.join();
    CLatencyHistogram::Window w = h.Take();
    EXPECT_EQ(taken + w.count, uint64_t(kThreads) * kEach);
    if (taken == 0) {
        EXPECT_NEAR(w.maxMs, 80.0, 0.001);
        EXPECT_NEAR(w.medianMs, 40.0, 0.05);
    }
}
