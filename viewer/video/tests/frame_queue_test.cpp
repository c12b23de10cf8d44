#include "FrameQueue.h"
#include "QueueTestSupport.h"
#include "wire/StreamFrame.h"
#include <gtest/gtest.h>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <vector>

using namespace pipeline;
using namespace pipeline::testing;
using namespace std::chrono_literals;

namespace {

// Records what each thread consumed; can hold every consumer until released.
class RecordingConsumer : public IFrameConsumer {
public:
    SlotResult ProcessVideo(int thread, uint8_t* frame, size_t size) override
    {
        std::unique_lock<std::mutex> l(m);
        ++entered;
        cv.notify_all();
        while (hold)
            cv.wait(l);
        wire::VideoFrameHeader h;
        wire::ParseVideoFrameHeader(frame, size, h);
        video.push_back({thread, h.sequence, size});
        cv.notify_all();
        return SlotResult::Consumed;
    }
    SlotResult ProcessAudio(uint8_t* record, size_t size) override
    {
        std::unique_lock<std::mutex> l(m);
        audio.push_back({size});
        cv.notify_all();
        return SlotResult::Consumed;
    }
    void BlankAll() override { blanks++; }

    bool WaitFor(size_t videoCount, size_t audioCount, std::chrono::milliseconds limit = 5s)
    {
        std::unique_lock<std::mutex> l(m);
        return cv.wait_for(l, limit, [&] { return video.size() >= videoCount && audio.size() >= audioCount; });
    }
    void Release()
    {
        std::lock_guard<std::mutex> l(m);
        hold = false;
        cv.notify_all();
    }

    // clang-format off
    struct V { int thread; uint32_t sequence; size_t size; };
    struct A { size_t size; };
    // clang-format on
    std::mutex m;
    std::condition_variable cv;
    bool hold = false;
    std::vector<V> video;
    std::vector<A> audio;
    std::atomic<int> blanks{0};
    int entered = 0;
};

std::vector<uint8_t> VideoFrame(unsigned channel, uint32_t sequence, uint32_t total, size_t received = 0)
{
    std::vector<uint8_t> f(received ? received : total);
    uint8_t header[64];
    wire::VideoFrameHeader h;
    h.word0 = wire::MakeVideoWord0(channel, false);
    h.widthDiv16 = 45;
    h.heightDiv16 = 30;
    h.sequence = sequence;
    h.total = total;
    wire::BuildVideoFrameHeader(h, header);
    memcpy(f.data(), header, std::min(f.size(), sizeof header));
    return f;
}

std::vector<uint8_t> AudioRecord(size_t size, const char* tag = "g723")
{
    std::vector<uint8_t> a(size);
    memcpy(a.data(), tag, 4);
    return a;
}

TEST(FrameQueue, SlotOwnershipCoversAllSlotsOnce)
{
    int total = 0;
    for (int t = 0; t < kThreadCount; ++t)
        total += SlotsOfThread(t);
    EXPECT_EQ(total, kSlotCount);
    EXPECT_EQ(SlotsOfThread(0), 31);
    EXPECT_EQ(SlotsOfThread(1), 31);
    EXPECT_EQ(SlotsOfThread(2), 30);
    EXPECT_EQ(SlotsOfThread(16), 30);
}

TEST(FrameQueue, FourChannelDvrUsesThreadsZeroToThreeAndAudioThread)
{
    RecordingConsumer c;
    CFrameQueue q(c, TestTiming());
    ASSERT_TRUE(q.Start(4));
    q.SetConnected(true);
    // The owners allocate their rings as they start; until then frames meet a "full" slot.
    auto f = VideoFrame(0, 0, 200);
    ASSERT_TRUE(WaitReady(q));
    ASSERT_EQ(q.Store(f.data(), f.size()), StoreResult::Stored);
    for (unsigned ch = 1; ch < 8; ++ch) { // channel bits 21 on a 4-channel DVR land on thread 1
        auto v = VideoFrame(ch, ch, 200);
        EXPECT_EQ(q.Store(v.data(), v.size()), StoreResult::Stored) << ch;
    }
    auto a = AudioRecord(264, "327G");
    EXPECT_EQ(q.Store(a.data(), a.size()), StoreResult::Stored);
    ASSERT_TRUE(c.WaitFor(8, 1));
    std::set<int> threads;
    for (auto& v : c.video) {
        threads.insert(v.thread);
        EXPECT_EQ(v.thread, static_cast<int>((16 + v.sequence) % 4));
        EXPECT_EQ(v.size, 200u); // the stated total, not more
    }
    EXPECT_EQ(threads, (std::set<int>{0, 1, 2, 3}));
    EXPECT_EQ(c.audio.at(0).size, 264u);
    EXPECT_TRUE(q.Stop());
}

TEST(FrameQueue, LengthsAreCheckedAgainstSlotAndReceivedBytes)
{
    RecordingConsumer c;
    CFrameQueue q(c, TestTiming());
    auto early = VideoFrame(0, 0, 100);
    EXPECT_EQ(q.Store(early.data(), early.size()), StoreResult::NotRunning); // no channel count yet
    ASSERT_TRUE(q.Start(16));
    auto ok = VideoFrame(0, 1, kMaxVideoTotal);
    ASSERT_TRUE(WaitReady(q));
    ASSERT_EQ(q.Store(ok.data(), ok.size()), StoreResult::Stored);
    EXPECT_EQ(q.WriteIndex(0), 17);
    auto big = VideoFrame(0, 2, kMaxVideoTotal + 1);
    EXPECT_EQ(q.Store(big.data(), big.size()), StoreResult::BadLength);
    auto lying = VideoFrame(0, 3, 5000, 1000); // says 5000 bytes, 1000 arrived
    EXPECT_EQ(q.Store(lying.data(), lying.size()), StoreResult::BadLength);
    auto empty = VideoFrame(0, 4, 0, 64);
    EXPECT_EQ(q.Store(empty.data(), empty.size()), StoreResult::BadLength);
    auto stub = VideoFrame(0, 5, 63, 63);
    EXPECT_EQ(q.Store(stub.data(), stub.size()), StoreResult::TooShort);
    auto hugeAudio = AudioRecord(kSlotSize + 1);
    EXPECT_EQ(q.Store(hugeAudio.data(), hugeAudio.size()), StoreResult::BadLength);
    EXPECT_EQ(q.WriteIndex(0), 17); // nothing else was stored
    EXPECT_TRUE(q.Stop());
}

TEST(FrameQueue, FullRingDropsNewestAndResumesAtOldestSlot)
{
    RecordingConsumer c;
    CFrameQueue q(c, TestTiming());
    ASSERT_TRUE(q.Start(16));
    // Not connected: the threads do not consume, so thread 0's 31 slots fill up.
    auto first = VideoFrame(0, 0, 128);
    ASSERT_TRUE(WaitReady(q));
    ASSERT_EQ(q.Store(first.data(), first.size()), StoreResult::Stored);
    for (uint32_t s = 1; s < 31; ++s) {
        auto f = VideoFrame(0, s, 128);
        ASSERT_EQ(q.Store(f.data(), f.size()), StoreResult::Stored) << s;
    }
    EXPECT_EQ(q.WriteIndex(0), 0); // wrapped: 0 + 31 * 17 = 527 >= 512
    auto f32 = VideoFrame(0, 31, 128);
    EXPECT_EQ(q.Store(f32.data(), f32.size()), StoreResult::QueueFull);
    EXPECT_TRUE(q.SlotBusy(0));
    q.SetConnected(true);
    ASSERT_TRUE(c.WaitFor(1, 0));
    auto again = VideoFrame(0, 32, 128);
    bool stored = false;
    for (int i = 0; i < 500 && !stored; ++i) {
        stored = q.Store(again.data(), again.size()) == StoreResult::Stored;
        if (!stored)
            std::this_thread::sleep_for(2ms);
    }
    EXPECT_TRUE(stored);
    ASSERT_TRUE(c.WaitFor(32, 0));
    // One channel is consumed in arrival order.
    for (size_t i = 0; i < c.video.size(); ++i)
        EXPECT_EQ(c.video[i].sequence, i < 31 ? i : 32u);
    EXPECT_TRUE(q.Stop());
}

TEST(FrameQueue, StopWithBusyThreadsEndsInTimeAndNextRunStartsFresh)
{
    RecordingConsumer c;
    CFrameQueue q(c, TestTiming());
    ASSERT_TRUE(q.Start(16));
    q.SetConnected(true);
    for (unsigned ch = 0; ch < 16; ++ch) {
        auto f = VideoFrame(ch, ch, 256);
        ASSERT_TRUE(WaitReady(q));
        ASSERT_EQ(q.Store(f.data(), f.size()), StoreResult::Stored);
        for (int k = 0; k < 5; ++k) {
            auto g = VideoFrame(ch, 100 + k, 256);
            q.Store(g.data(), g.size());
        }
    }
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_TRUE(q.Stop());
    EXPECT_LT(std::chrono::steady_clock::now() - t0, kStopBound);
    EXPECT_FALSE(q.Running());
    EXPECT_GT(c.blanks.load(), 0);
    for (int s = 0; s < kSlotCount; ++s)
        EXPECT_FALSE(q.SlotBusy(s));

    ASSERT_TRUE(q.Start(16));
    for (int t = 0; t < kThreadCount; ++t)
        EXPECT_EQ(q.WriteIndex(t), t);
    EXPECT_TRUE(q.Stop());
}

TEST(FrameQueue, StopWithoutThreadsReturnsAtOnce)
{
    RecordingConsumer c;
    CFrameQueue q(c); // the product's 2000 ms bound
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_TRUE(q.Stop());
    EXPECT_TRUE(q.Stop());
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 100ms);
}

TEST(FrameQueue, StopEndsSleepingThreadsWithinTheBoundWhateverThePollInterval)
{
    // Idle threads sleep in slices, or in waits that Stop cuts short: a poll interval far past the
    // stop bound still lets every thread end in time.
    for (bool wakeOnStop : {false, true}) {
        RecordingConsumer c;
        CFrameQueue::Timing timing = TestTiming();
        timing.idlePoll = 60s;
        timing.retry = 60s;
        timing.wakeOnStop = wakeOnStop;
        CFrameQueue q(c, timing);
        ASSERT_TRUE(q.Start(16));
        q.SetConnected(true);
        ASSERT_TRUE(WaitReady(q));
        std::this_thread::sleep_for(50ms); // every thread is asleep in its first poll
        EXPECT_TRUE(q.Stop()) << "wakeOnStop " << wakeOnStop;
    }
}

TEST(FrameQueue, ThreadThatMissesTheStopBoundKeepsItsOwnBuffers)
{
    RecordingConsumer c;
    CFrameQueue::Timing timing;
    timing.stopWait = kStopBound; // the held thread misses any bound
    CFrameQueue q(c, timing);
    ASSERT_TRUE(q.Start(16));
    q.SetConnected(true);
    c.hold = true; // thread 0's consumer blocks inside a frame
    auto f = VideoFrame(0, 0, 4096);
    ASSERT_TRUE(WaitReady(q));
    ASSERT_EQ(q.Store(f.data(), f.size()), StoreResult::Stored);
    {
        std::unique_lock<std::mutex> l(c.m);
        ASSERT_TRUE(c.cv.wait_for(l, 5s, [&] { return c.entered >= 1; }));
    }
    EXPECT_FALSE(q.Stop()); // thread 0 is still inside the consumer

    // The next connection starts while the old thread 0 still holds its slot.
    ASSERT_TRUE(q.Start(16));
    auto g = VideoFrame(0, 1, 4096);
    ASSERT_TRUE(WaitReady(q));
    ASSERT_EQ(q.Store(g.data(), g.size()), StoreResult::Stored);
    c.Release(); // the late thread finishes its frame and frees only its own run's ring
    ASSERT_TRUE(c.WaitFor(2, 0));
    EXPECT_TRUE(q.Stop());
}

TEST(FrameQueue, ManyConnectStreamStopCyclesAreRaceFree)
{
    RecordingConsumer c;
    CFrameQueue q(c, TestTiming());
    std::atomic<bool> producing{true};
    for (int cycle = 0; cycle < 8; ++cycle) {
        ASSERT_TRUE(q.Start(1 + cycle % 16));
        q.SetConnected(true);
        for (uint32_t i = 0; i < 200; ++i) {
            auto f = VideoFrame(i % 16, i, 64 + i);
            q.Store(f.data(), f.size());
            if (i % 10 == 0) {
                auto a = AudioRecord(264);
                q.Store(a.data(), a.size());
            }
        }
        q.SetConnected(false);
        EXPECT_TRUE(q.Stop());
    }
    producing = false;
}

} // namespace
