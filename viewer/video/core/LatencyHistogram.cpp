#include "LatencyHistogram.h"
#include <vector>

namespace pipeline {

CLatencyHistogram::CLatencyHistogram() : buckets_(new std::atomic<uint32_t>[kBuckets])
{
    for (int i = 0; i < kBuckets; ++i)
        buckets_[i].store(0, std::memory_order_relaxed);
}

int CLatencyHistogram::BucketOf(int64_t micros)
{
    if (micros < 0)
        micros = 0;
    if (micros < kFineLimitMicros)
        return static_cast<int>(micros / kFineStepMicros);
    if (micros < kLimitMicros)
        return kFineBuckets + static_cast<int>((micros - kFineLimitMicros) / kCoarseStepMicros);
    return kBuckets - 1;
}

double CLatencyHistogram::BucketMiddleMs(int bucket)
{
    if (bucket < 0)
        bucket = 0;
    if (bucket < kFineBuckets)
        return (bucket * kFineStepMicros + kFineStepMicros / 2.0) / 1000.0;
    if (bucket < kBuckets - 1)
        return (kFineLimitMicros + (bucket - kFineBuckets) * kCoarseStepMicros + kCoarseStepMicros / 2.0) / 1000.0;
    return kLimitMicros / 1000.0;
}

void CLatencyHistogram::Record(int64_t micros)
{
    if (micros < 0) {
        negative_.fetch_add(1, std::memory_order_relaxed);
        micros = 0;
    }
    buckets_[BucketOf(micros)].fetch_add(1, std::memory_order_relaxed);
    int64_t seen = max_.load(std::memory_order_relaxed);
    while (micros > seen && !max_.compare_exchange_weak(seen, micros, std::memory_order_relaxed)) {
    }
}

CLatencyHistogram::Window CLatencyHistogram::Take()
{
    std::vector<uint32_t> counts(kBuckets);
    Window w;
    for (int i = 0; i < kBuckets; ++i) {
        counts[i] = buckets_[i].exchange(0, std::memory_order_relaxed);
        w.count += counts[i];
    }
    w.negative = negative_.exchange(0, std::memory_order_relaxed);
    w.overflow = counts[kBuckets - 1];
    const int64_t maxMicros = max_.exchange(0, std::memory_order_relaxed);
    if (w.count == 0)
        return w;
    w.maxMs = maxMicros / 1000.0;
    // Nearest rank: the smallest value with at least q of the samples at or below it.
    const uint64_t medianRank = (w.count + 1) / 2;
    const uint64_t p99Rank = (w.count * 99 + 99) / 100;
    uint64_t seen = 0;
    bool medianDone = false;
    for (int i = 0; i < kBuckets; ++i) {
        seen += counts[i];
        if (!medianDone && seen >= medianRank) {
            w.medianMs = BucketMiddleMs(i);
            medianDone = true;
        }
        if (seen >= p99Rank) {
            w.p99Ms = BucketMiddleMs(i);
            break;
        }
    }
    return w;
}

} // namespace pipeline
