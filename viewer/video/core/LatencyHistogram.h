#pragma once
// How late pictures reach the screen: each shown picture records the wall clock at display less the
// send time in its frame header. Recording is a relaxed atomic increment, so the decode threads can
// all record into one histogram without a lock; a reader takes the counts of the window since its
// last Take and the histogram starts the next window.
//
// Resolution: 50 us below 100 ms, 1 ms below 10 s; later pictures fall in one overflow bucket.
// A latency below zero (the sender's clock ahead of ours) counts as zero and is counted apart.
#include <atomic>
#include <cstdint>
#include <memory>

namespace pipeline {

class CLatencyHistogram {
public:
    static constexpr int64_t kFineStepMicros = 50;
    static constexpr int64_t kFineLimitMicros = 100000;
    static constexpr int64_t kCoarseStepMicros = 1000;
    static constexpr int64_t kLimitMicros = 10000000;
    static constexpr int kFineBuckets = static_cast<int>(kFineLimitMicros / kFineStepMicros);
    static constexpr int kBuckets =
        kFineBuckets + static_cast<int>((kLimitMicros - kFineLimitMicros) / kCoarseStepMicros) + 1; // + overflow

    struct Window {
        uint64_t count = 0;
        uint64_t negative = 0; // recorded below zero (counted as zero)
        uint64_t overflow = 0; // at or past kLimitMicros
        double medianMs = 0; // 0 when count is 0
        double p99Ms = 0;
        double maxMs = 0;
    };

    CLatencyHistogram();
    CLatencyHistogram(const CLatencyHistogram&) = delete;
    CLatencyHistogram& operator=(const CLatencyHistogram&) = delete;

    void Record(int64_t micros);
    // The figures of everything recorded since the last Take (or construction); starts a new window.
    // One reader at a time; records made during the Take land in this window or the next.
    Window Take();

    // Bucket of a latency and the value a bucket stands for (its middle; the overflow bucket stands
    // for kLimitMicros). Exposed for the tests.
    static int BucketOf(int64_t micros);
    static double BucketMiddleMs(int bucket);

private:
    std::unique_ptr<std::atomic<uint32_t>[]> buckets_;
    std::atomic<uint64_t> negative_{0};
    std::atomic<int64_t> max_{0};
};

} // namespace pipeline
