#pragma once
// Shared by the frame queue and pipeline tests: waiting for the threads' rings, and the stop bound,
// which the race detector's slower threads need stretched (the product's bound stays 2000 ms).
#include "FrameQueue.h"
#include <chrono>
#include <thread>

namespace pipeline::testing {

inline bool WaitReady(const CFrameQueue& q)
{
    for (int i = 0; i < 2500 && !q.RingsReady(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return q.RingsReady();
}

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define PX_UNDER_TSAN 1
#endif
#endif
#if defined(__SANITIZE_THREAD__) || defined(PX_UNDER_TSAN)
constexpr std::chrono::milliseconds kStopBound{8000};
#else
constexpr std::chrono::milliseconds kStopBound{2000};
#endif

inline CFrameQueue::Timing TestTiming()
{
    CFrameQueue::Timing t;
    t.stopWait = kStopBound;
    return t;
}

} // namespace pipeline::testing
