#include "FrameQueue.h"
#include "PlainSleep.h"
#include "wire/StreamFrame.h"
#include <algorithm>
#include <cstring>
#include <new>
#include <system_error>

namespace pipeline {

namespace {
constexpr std::chrono::milliseconds kSleepSlice{20};
} // namespace

struct CFrameQueue::Run {
    std::mutex flagLock; // every read and write of a busy flag or a slot's buffer pointer
    uint8_t busy[kSlotCount] = {};
    std::unique_ptr<uint8_t[]> buffer[kSlotCount];
    size_t length[kSlotCount] = {};

    std::atomic<bool> stop{false};
    std::atomic<int> ringsReady{0};
    std::mutex wakeLock;
    std::condition_variable wake; // cuts a poll's sleep short when the run stops

    std::mutex exitLock;
    std::condition_variable exitCv;
    int exited = 0;
    std::atomic<bool> done[kThreadCount] = {};

    // The idle and retry sleeps. Sixteen idle threads poll a hundred times a second, so by default
    // each sleep is plain, in slices of at most 20 ms, and a stopping run is noticed at the next slice;
    // with wakeOnStop it is a timed wait that Stop cuts short.
    void SleepFor(std::chrono::milliseconds d, bool wakeOnStop)
    {
        if (wakeOnStop) {
            std::unique_lock<std::mutex> l(wakeLock);
            wake.wait_for(l, d, [this] { return stop.load(); });
            return;
        }
        using std::chrono::steady_clock;
        const auto until = steady_clock::now() + d;
        while (!stop.load()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - steady_clock::now());
            if (left.count() <= 0)
                break;
            PlainSleep(std::min(left, kSleepSlice));
        }
    }
};

CFrameQueue::~CFrameQueue()
{
    Stop();
    // A thread that missed the stop bound still uses the consumer: wait for it rather than let it
    // run on into freed memory.
    for (auto& th : lingering_)
        if (th.joinable())
            th.join();
}

bool CFrameQueue::Running() const
{
    std::lock_guard<std::mutex> l(receiveLock_);
    return run_ != nullptr;
}

bool CFrameQueue::Start(int channels)
{
    if (channels < 1 || channels > 16)
        return false;
    Stop();

    auto run = std::make_shared<Run>();
    {
        std::lock_guard<std::mutex> l(receiveLock_);
        run_ = run;
        channels_.store(channels);
        resetWriteIndices_ = true;
    }
    int started = 0;
    for (int t = 0; t < kThreadCount; ++t) {
        try {
            threads_.emplace_back(&CFrameQueue::ThreadMain, this, run, t);
            ++started;
        } catch (const std::system_error&) {
            break;
        }
    }
    if (started < kThreadCount) {
        // Threads that never started will not report: count them as ended.
        {
            std::lock_guard<std::mutex> l(run->exitLock);
            run->exited += kThreadCount - started;
        }
        for (int t = started; t < kThreadCount; ++t)
            run->done[t] = true;
        Stop();
        return false;
    }
    return true;
}

bool CFrameQueue::Stop()
{
    std::shared_ptr<Run> run;
    {
        std::lock_guard<std::mutex> l(receiveLock_);
        run = std::move(run_);
        run_ = nullptr;
        resetWriteIndices_ = true;
    }
    if (!run)
        return true; // no thread runs: nothing to wait for
    {
        std::lock_guard<std::mutex> l(mainLock_);
        run->stop = true;
    }
    {
        std::lock_guard<std::mutex> l(run->wakeLock);
        run->wake.notify_all();
    }
    bool all;
    {
        std::unique_lock<std::mutex> l(run->exitLock);
        all = run->exitCv.wait_for(l, timing_.stopWait, [&] { return run->exited >= kThreadCount; });
    }
    // Join the threads that ended; one that missed the bound keeps its own run (and buffers) alive
    // and is joined when the queue is destroyed.
    for (size_t t = 0; t < threads_.size(); ++t) {
        if (run->done[t].load())
            threads_[t].join();
        else
            lingering_.push_back(std::move(threads_[t]));
    }
    threads_.clear();
    return all;
}

bool CFrameQueue::RingsReady() const
{
    std::lock_guard<std::mutex> l(receiveLock_);
    return run_ && run_->ringsReady.load() == kThreadCount;
}

int CFrameQueue::WriteIndex(int thread) const
{
    std::lock_guard<std::mutex> l(receiveLock_);
    if (thread < 0 || thread >= kThreadCount)
        return -1;
    return resetWriteIndices_ ? thread : writeIndex_[thread];
}

bool CFrameQueue::SlotBusy(int slot) const
{
    std::shared_ptr<Run> run;
    {
        std::lock_guard<std::mutex> l(receiveLock_);
        run = run_;
    }
    if (!run || slot < 0 || slot >= kSlotCount)
        return false;
    std::lock_guard<std::mutex> l(run->flagLock);
    return run->busy[slot] != 0;
}

StoreResult CFrameQueue::Store(const uint8_t* block, size_t size)
{
    std::lock_guard<std::mutex> rl(receiveLock_);
    Run* run = run_.get();
    if (!run)
        return StoreResult::NotRunning;
    if (resetWriteIndices_) {
        for (int t = 0; t < kThreadCount; ++t)
            writeIndex_[t] = t;
        resetWriteIndices_ = false;
    }
    if (!block || size < 4)
        return StoreResult::TooShort;

    int t;
    size_t n;
    if (wire::IsAudioTag(block, size)) {
        if (size > kSlotSize)
            return StoreResult::BadLength;
        t = kAudioThread;
        n = size;
    } else {
        int channels = channels_.load();
        if (channels <= 0)
            return StoreResult::NoChannels;
        wire::VideoFrameHeader h;
        if (!wire::ParseVideoFrameHeader(block, size, h))
            return StoreResult::TooShort;
        // The stated total must fit a slot and lie within the bytes really received.
        if (h.total == 0 || h.total > kMaxVideoTotal || h.total > size)
            return StoreResult::BadLength;
        t = ThreadOfVideo(static_cast<uint8_t>(h.ChannelBits()), channels);
        n = h.total;
    }

    const int w = writeIndex_[t];
    uint8_t* dst;
    {
        std::lock_guard<std::mutex> ml(mainLock_);
        std::lock_guard<std::mutex> fl(run->flagLock);
        if (run->busy[w] || !run->buffer[w])
            return StoreResult::QueueFull; // also while the owner has not yet allocated its ring
        dst = run->buffer[w].get();
    }
    // The slot is not busy, so its thread does not touch it: copy outside the flag lock.
    std::memcpy(dst, block, n);
    {
        std::lock_guard<std::mutex> fl(run->flagLock);
        run->length[w] = n;
        run->busy[w] = 1;
    }
    int next = w + kThreadCount;
    writeIndex_[t] = next >= kSlotCount ? t : next;
    return StoreResult::Stored;
}

SlotResult CFrameQueue::Process(Run& run, int slot)
{
    uint8_t* buf;
    size_t len;
    {
        std::lock_guard<std::mutex> l(run.flagLock);
        buf = run.buffer[slot].get();
        len = run.length[slot];
    }
    if (!buf)
        return SlotResult::Dropped;
    const int t = slot % kThreadCount;
    if (t == kAudioThread)
        return consumer_.ProcessAudio(buf, len);
    return consumer_.ProcessVideo(t, buf, len);
}

void CFrameQueue::ThreadMain(std::shared_ptr<Run> run, int t)
{
    // Each thread allocates the ring it owns and frees exactly that ring when it ends.
    for (int s = t; s < kSlotCount; s += kThreadCount) {
        std::unique_ptr<uint8_t[]> b(new (std::nothrow) uint8_t[kSlotSize]);
        std::lock_guard<std::mutex> l(run->flagLock);
        run->buffer[s] = std::move(b);
        run->busy[s] = 0;
    }
    ++run->ringsReady;
    int p = t;
    bool idleBlanked = true;
    for (;;) {
        std::unique_lock<std::mutex> ml(mainLock_);
        if (run->stop.load())
            break;
        if (connected_.load()) {
            bool busy;
            {
                std::lock_guard<std::mutex> fl(run->flagLock);
                busy = run->busy[p] != 0;
            }
            ml.unlock();
            if (!busy) {
                run->SleepFor(timing_.idlePoll, timing_.wakeOnStop);
                continue;
            }
            idleBlanked = false;
            SlotResult r = Process(*run, p);
            if (r == SlotResult::NotYet) {
                run->SleepFor(std::clamp(consumer_.DueIn(t), std::chrono::milliseconds(1), timing_.retry),
                              timing_.wakeOnStop);
                continue;
            }
            {
                std::lock_guard<std::mutex> fl(run->flagLock);
                run->busy[p] = 0;
            }
            p += kThreadCount;
            if (p >= kSlotCount)
                p = t;
        } else {
            if (!idleBlanked && !consumer_.KeepPicturesOnScreen()) {
                consumer_.BlankAll();
                idleBlanked = true;
            }
            ml.unlock();
            run->SleepFor(timing_.idlePoll, timing_.wakeOnStop);
        }
    }
    if (!consumer_.KeepPicturesOnScreen())
        consumer_.BlankAll();
    {
        std::lock_guard<std::mutex> l(run->flagLock);
        for (int s = t; s < kSlotCount; s += kThreadCount) {
            run->buffer[s].reset();
            run->busy[s] = 0;
        }
    }
    run->done[t] = true;
    {
        std::lock_guard<std::mutex> l(run->exitLock);
        ++run->exited;
    }
    run->exitCv.notify_all();
}

} // namespace pipeline
