// The writer thread and its queue against a sink that records every call: order, the channels
// asked for, the bound that drops rather than grows, and a sink that fails midway.
#include "Recorder.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace {

struct Log {
    std::mutex m;
    std::condition_variable cv;
    std::vector<std::string> calls;
    bool closed = false;
    bool inAppend = false, release = true; // the gate holds the writer inside Append
    bool inClose = false, closeRelease = true; // and this one inside Close (a share that hangs)
    int opens = 0, closes = 0;
    int failAt = -1; // the Append that fails the disk (0-based)
};

class FakeSink final : public record::IRecordSink {
public:
    explicit FakeSink(Log& log) : log_(log) {}
    bool Append(const uint8_t* block, size_t size, int64_t ms) override
    {
        std::unique_lock<std::mutex> l(log_.m);
        log_.inAppend = true;
        log_.cv.notify_all();
        log_.cv.wait(l, [&] { return log_.release; });
        if (appends_++ == log_.failAt)
            failed_ = true;
        if (failed_)
            return false;
        if (size == 1 && block[0] == 0xEE)
            return false; // malformed
        log_.calls.push_back("block " + std::to_string(block[0]) + " " + std::to_string(size) + " @" +
                             std::to_string(ms));
        return true;
    }
    bool AppendMotion(int ch, uint32_t s, uint8_t level) override
    {
        Add("motion " + std::to_string(ch) + " " + std::to_string(s) + " " + std::to_string(level));
        return true;
    }
    void EndChannel(int ch) override { Add("end " + std::to_string(ch)); }
    bool Flush() override { return !failed_; }
    bool Close() override
    {
        std::unique_lock<std::mutex> l(log_.m);
        log_.inClose = true;
        log_.cv.notify_all();
        log_.cv.wait(l, [&] { return log_.closeRelease; });
        log_.closed = true;
        ++log_.closes;
        log_.calls.push_back("close");
        return !failed_;
    }
    bool Failed() const override { return failed_; }
    std::string Error() const override { return failed_ ? "disk full" : ""; }
    std::string Folder() const override { return "X:/rec/site"; }

private:
    void Add(std::string s)
    {
        std::lock_guard<std::mutex> l(log_.m);
        log_.calls.push_back(std::move(s));
    }
    Log& log_;
    int appends_ = 0;
    bool failed_ = false;
};

struct Events {
    std::mutex m;
    std::condition_variable cv;
    int wakes = 0;
};

// The events until one of `last` kind arrives.
std::vector<record::RecordEvent> Until(record::Recorder& r, Events& e, record::RecordEvent::Kind last)
{
    std::vector<record::RecordEvent> all;
    for (;;) {
        {
            std::unique_lock<std::mutex> l(e.m);
            e.cv.wait_for(l, std::chrono::seconds(10), [&] { return e.wakes > 0; });
            if (e.wakes == 0)
                return all; // the test fails on what is missing
            e.wakes = 0;
        }
        for (auto& ev : r.TakeEvents()) {
            all.push_back(ev);
            if (ev.kind == last)
                return all;
        }
    }
}

// The writers left closing once they have ended (a writer returns from its last report at once).
size_t ClosingWhenSettled()
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (record::ClosingWriters() != 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    return record::ClosingWriters();
}

struct RecorderFixture : ::testing::Test {
    Log log;
    Events events;
    std::unique_ptr<record::Recorder> owned = std::make_unique<record::Recorder>(
        [this] {
            std::lock_guard<std::mutex> l(events.m);
            ++events.wakes;
            events.cv.notify_all();
        },
        100);
    record::Recorder& rec = *owned;
    void TearDown() override
    {
        // The Recorder does not wait for its writer, which uses this fixture's log and opener.
        owned.reset();
        EXPECT_EQ(ClosingWhenSettled(), 0u);
    }
    record::SinkOpener Opener()
    {
        return [this](std::string*) {
            std::lock_guard<std::mutex> l(log.m);
            log.calls.push_back("open " + std::to_string(log.closes));
            ++log.opens;
            return std::make_unique<FakeSink>(log);
        };
    }
    void Push(int ch, uint8_t tag, size_t size, int64_t ms = 0)
    {
        std::vector<uint8_t> b(size, tag);
        rec.PushBlock(ch, b.data(), b.size(), ms);
    }
};

using Kind = record::RecordEvent::Kind;

TEST_F(RecorderFixture, WritesInOrderOnlyTheChannelsAskedForAndEndsAChannelThatLeaves)
{
    rec.SetChannels(0x3);
    Push(0, 1, 10); // not recording yet
    ASSERT_TRUE(rec.Start(Opener()));
    EXPECT_FALSE(rec.Start(Opener()));
    Push(0, 2, 10, 1000);
    Push(2, 3, 10); // not asked for
    Push(-1, 4, 5, 1001); // audio
    Push(1, 0xEE, 1); // malformed: refused, counted, recording goes on
    rec.PushMotion(1, 77, 40);
    rec.SetChannels(0x1);
    Push(1, 5, 10); // a late frame of the camera that left
    Push(0, 6, 10, 1002);
    rec.Stop();
    Push(0, 7, 10); // after the stop
    auto ev = Until(rec, events, Kind::Stopped);
    ASSERT_EQ(ev.size(), 2u);
    EXPECT_EQ(ev[0].kind, Kind::Opened);
    EXPECT_EQ(ev[0].text, "X:/rec/site");
    EXPECT_EQ(ev[1].counts.blocks, 3u);
    EXPECT_EQ(ev[1].counts.bytes, 25u);
    EXPECT_EQ(ev[1].counts.refused, 1u);
    EXPECT_EQ(ev[1].counts.lost, 0u);
    std::lock_guard<std::mutex> l(log.m);
    EXPECT_TRUE(log.closed);
    EXPECT_EQ(log.calls, (std::vector<std::string>{"open 0", "block 2 10 @1000", "block 4 5 @1001", "motion 1 77 40",
                                                    "end 1", "block 6 10 @1002", "close"}));
}

TEST_F(RecorderFixture, ASlowDiskDropsAndCountsBeyondTheBoundAndAFailingOneStopsWithItsError)
{
    rec.SetChannels(0x1);
    ASSERT_TRUE(rec.Start(Opener()));
    {
        std::lock_guard<std::mutex> l(log.m);
        log.release = false;
    }
    Push(0, 1, 10);
    {
        // The writer holds block 1 inside the sink: the queue is empty and bounded at 100 bytes.
        std::unique_lock<std::mutex> l(log.m);
        ASSERT_TRUE(log.cv.wait_for(l, std::chrono::seconds(10), [&] { return log.inAppend; }));
    }
    for (uint8_t i = 2; i < 14; ++i)
        Push(0, i, 30); // three fit, nine are lost
    {
        std::lock_guard<std::mutex> l(log.m);
        log.release = true;
    }
    log.cv.notify_all();
    rec.Stop(); // queued behind the blocks
    auto ev = Until(rec, events, Kind::Stopped);
    ASSERT_GE(ev.size(), 2u); // a loss report may come between, when a second went by
    EXPECT_EQ(ev.back().counts.blocks, 4u);
    EXPECT_EQ(ev.back().counts.lost, 9u);

    // A second recording on a disk that fills: it stops itself, says why, and takes nothing more.
    {
        std::lock_guard<std::mutex> l(log.m);
        log.failAt = 0;
    }
    ASSERT_TRUE(rec.Start(Opener()));
    for (uint8_t i = 20; i < 23; ++i)
        Push(0, i, 10);
    ev = Until(rec, events, Kind::Failed);
    ASSERT_FALSE(ev.empty());
    EXPECT_EQ(ev.back().kind, Kind::Failed);
    EXPECT_EQ(ev.back().text, "disk full");
    EXPECT_EQ(ev.back().counts.blocks, 0u);
    EXPECT_FALSE(rec.Active());
    Push(0, 24, 10);
    std::lock_guard<std::mutex> l(log.m);
    EXPECT_TRUE(log.closed);
    EXPECT_EQ(log.calls.back(), "close");
    EXPECT_EQ(log.calls[log.calls.size() - 2], "open 1"); // the failing one wrote nothing
}

TEST_F(RecorderFixture, AStoreThatDoesNotOpenSaysWhyAndRecordingCanStartAgain)
{
    ASSERT_TRUE(rec.Start([](std::string* error) {
        *error = "no such folder";
        return std::unique_ptr<record::IRecordSink>();
    }));
    auto ev = Until(rec, events, Kind::NotOpened);
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_EQ(ev[0].text, "no such folder");
    EXPECT_FALSE(rec.Active());
    EXPECT_TRUE(rec.Start(Opener()));
}

TEST_F(RecorderFixture, AStopAndStartWhileTheLastWriterClosesWaitNeitherAndTheNewOneOpensAfterIt)
{
    rec.SetChannels(0x1);
    {
        std::lock_guard<std::mutex> l(log.m);
        log.closeRelease = false;
    }
    ASSERT_TRUE(rec.Start(Opener()));
    Push(0, 1, 10);
    rec.Stop();
    {
        std::unique_lock<std::mutex> l(log.m);
        ASSERT_TRUE(log.cv.wait_for(l, std::chrono::seconds(10), [&] { return log.inClose; }));
    }
    // The first writer hangs in Close: a new recording starts at once and takes blocks meanwhile.
    ASSERT_TRUE(rec.Start(Opener()));
    EXPECT_TRUE(rec.Active());
    Push(0, 2, 10);
    rec.Stop();
    ASSERT_TRUE(rec.Start(Opener())); // a third, behind both
    Push(0, 3, 10);
    rec.Stop();
    {
        std::lock_guard<std::mutex> l(log.m);
        EXPECT_EQ(log.opens, 1) << "a new writer opened the store while the last one was closing it";
        log.closeRelease = true;
    }
    log.cv.notify_all();
    std::vector<record::RecordEvent> ev;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::count_if(ev.begin(), ev.end(), [](auto& e) { return e.kind == Kind::Stopped; }) < 3 &&
           std::chrono::steady_clock::now() < deadline) {
        {
            std::unique_lock<std::mutex> l(events.m);
            events.cv.wait_for(l, std::chrono::milliseconds(100), [&] { return events.wakes > 0; });
            events.wakes = 0;
        }
        for (auto& e : rec.TakeEvents())
            ev.push_back(e);
    }
    std::lock_guard<std::mutex> l(log.m);
    EXPECT_EQ(log.calls, (std::vector<std::string>{"open 0", "block 1 10 @0", "close", "open 1", "block 2 10 @0",
                                                    "close", "open 2", "block 3 10 @0", "close"}));
    std::vector<Kind> kinds;
    for (auto& e : ev)
        kinds.push_back(e.kind);
    EXPECT_EQ(kinds, (std::vector<Kind>{Kind::Opened, Kind::Stopped, Kind::Opened, Kind::Stopped, Kind::Opened,
                                        Kind::Stopped}));
}

TEST(RecorderGone, ARecorderDestroyedWhileItsWriterClosesDoesNotWaitAndTheWriterIsCountedUntilItEnds)
{
    Log log;
    log.closeRelease = false;
    std::atomic<int> wakes{0};
    ASSERT_EQ(ClosingWhenSettled(), 0u);
    {
        record::Recorder rec([&] { ++wakes; }, 100);
        rec.SetChannels(0x1);
        ASSERT_TRUE(rec.Start([&](std::string*) { return std::make_unique<FakeSink>(log); }));
        std::vector<uint8_t> b(10, 1);
        rec.PushBlock(0, b.data(), b.size(), 0);
    }
    EXPECT_EQ(record::ClosingWriters(), 1u); // held in Close: the module must stay
    const int wakesBefore = wakes.load();
    {
        std::lock_guard<std::mutex> l(log.m);
        log.closeRelease = true;
    }
    log.cv.notify_all();
    EXPECT_EQ(ClosingWhenSettled(), 0u);
    std::lock_guard<std::mutex> l(log.m);
    EXPECT_TRUE(log.closed);
    EXPECT_EQ(log.calls, (std::vector<std::string>{"block 1 10 @0", "close"}));
    EXPECT_EQ(wakes.load(), wakesBefore) << "the gone Recorder's wake was called";
}

} // namespace
