#pragma once
// The frame slot pool and its seventeen decode threads. The user-interface thread stores each
// received stream block into a slot of the thread that owns its channel (one copy, no allocation);
// threads 0..15 consume video, thread 16 consumes audio. What a thread does with a frame is the
// consumer's business (IFrameConsumer), so the pool runs natively with fakes and in the viewer with
// the real decoder, clock, display and player.
//
// All state is per pool (one pool per view): thread indices are handed to each thread at start,
// write indices live here, and each run's buffers belong to that run, so a second viewer in the
// process, or a thread that outlives the stop wait, never touches another run's memory.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace pipeline {

constexpr int kThreadCount = 17;
constexpr int kAudioThread = 16;
constexpr int kSlotCount = 512;
constexpr size_t kSlotSize = 262144;
constexpr uint32_t kMaxVideoTotal = 262016;

enum class SlotResult { Consumed = 0, NotYet = 1, Dropped = 2 };

// What the decode threads do with frames; implemented by the view (or by tests).
class IFrameConsumer {
public:
    virtual ~IFrameConsumer() = default;
    // Video frame of `size` bytes (header included) in a slot the thread owns until it returns.
    virtual SlotResult ProcessVideo(int thread, uint8_t* frame, size_t size) = 0;
    virtual SlotResult ProcessAudio(uint8_t* record, size_t size) = 0;
    // Each division gets a black picture (when the pool idles or stops).
    virtual void BlankAll() = 0;
    // The last pictures stay on screen while the view reconnects after the DVR dropped it.
    virtual bool KeepPicturesOnScreen() { return false; }
    // After ProcessVideo answered NotYet on `thread`: how soon the picture is due. The thread sleeps
    // that long, or its retry time when that is shorter.
    virtual std::chrono::milliseconds DueIn(int) { return std::chrono::milliseconds::max(); }
};

// Number of slots thread t owns: t, t + 17, ... below 512.
constexpr int SlotsOfThread(int t) { return (kSlotCount - t + kThreadCount - 1) / kThreadCount; }

enum class StoreResult { Stored, NotRunning, NoChannels, TooShort, BadLength, QueueFull };

class CFrameQueue {
public:
    struct Timing {
        std::chrono::milliseconds idlePoll{10};
        std::chrono::milliseconds retry{20};
        std::chrono::milliseconds stopWait{2000};
        // Sleep through timed waits that Stop cuts short rather than plain sleeps. Costs a wineserver
        // round trip per poll under Wine; kept for comparisons.
        bool wakeOnStop = false;
    };

    explicit CFrameQueue(IFrameConsumer& consumer) : consumer_(consumer) {}
    CFrameQueue(IFrameConsumer& consumer, Timing timing) : consumer_(consumer), timing_(timing) {}
    ~CFrameQueue();
    CFrameQueue(const CFrameQueue&) = delete;
    CFrameQueue& operator=(const CFrameQueue&) = delete;

    // Starts the seventeen threads for a DVR of `channels` video channels (1..16). Returns false when
    // a thread could not be started (the threads that did start are stopped again).
    bool Start(int channels);
    // Asks every thread to end and waits up to the stop bound. Returns true when all ended in time.
    // Afterwards every busy flag is clear and the next stored frame restarts each ring at its first
    // slot. Returns at once when no thread runs.
    bool Stop();
    bool Running() const;
    // True once every thread of the current run has allocated its ring (frames for a thread that
    // has not yet done so are dropped like frames meeting a full ring).
    bool RingsReady() const;

    // The view's connected state, read by the threads at each poll.
    void SetConnected(bool connected) { connected_.store(connected); }

    // Producer side (user-interface thread). `size` is the number of bytes received.
    StoreResult Store(const uint8_t* block, size_t size);

    // Read-outs for the view and the tests.
    int WriteIndex(int thread) const;
    bool SlotBusy(int slot) const;
    int ChannelCount() const { return channels_.load(); }

    // Channel count in force: frames that arrive while it is 0 are dropped.
    static int ThreadOfVideo(uint8_t channelField, int channels) { return channelField % channels; }

private:
    struct Run; // the state of one start..stop, shared with its threads
    void ThreadMain(std::shared_ptr<Run> run, int t);
    SlotResult Process(Run& run, int slot);

    IFrameConsumer& consumer_;
    Timing timing_;

    mutable std::mutex receiveLock_; // producer: write indices and slot copies
    std::mutex mainLock_; // stop flag and the poll step
    std::shared_ptr<Run> run_; // guarded by receiveLock_ for the producer's use
    std::vector<std::thread> threads_; // this run's, index = thread number
    std::vector<std::thread> lingering_; // earlier runs' threads that missed the stop bound
    int writeIndex_[kThreadCount] = {};
    bool resetWriteIndices_ = true;
    std::atomic<int> channels_{0};
    std::atomic<bool> connected_{false};
};

} // namespace pipeline
