// The decode threads with the real decoder: simulator streams in, pictures out, held against the
// audio clock only while audio flows.
#include "FramePipeline.h"
#include "QueueTestSupport.h"
#include "VideoChannelStream.h"
#include "VideoLoop.h"
#include "XvidApi.h"
#include <gtest/gtest.h>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

using namespace pipeline;
using namespace pipeline::testing;
using namespace std::chrono_literals;

namespace {

class RecordingDisplay : public IPictureDisplay {
public:
    void ShowPicture(int channel, int width, int height, const uint8_t* bgr, const video::PictureTime& t) override
    {
        std::lock_guard<std::mutex> l(m);
        auto& s = shown[channel];
        s.count++;
        s.width = width;
        s.height = height;
        s.time = t;
        // Touch every byte the display would copy: ASan sees any overread.
        uint64_t sum = 0;
        for (size_t i = 0; i < static_cast<size_t>(width) * height * 3; i += 61)
            sum += bgr[i];
        s.checksum = sum;
        cv.notify_all();
    }
    void BlankChannels(int channels) override { blanks++; }

    int Count(int channel)
    {
        std::lock_guard<std::mutex> l(m);
        return shown.count(channel) ? shown[channel].count : 0;
    }
    bool WaitAll(int channels, int each, std::chrono::milliseconds limit)
    {
        std::unique_lock<std::mutex> l(m);
        return cv.wait_for(l, limit, [&] {
            for (int c = 0; c < channels; ++c)
                if (!shown.count(c) || shown[c].count < each)
                    return false;
            return true;
        });
    }

    struct Shown {
        int count = 0, width = 0, height = 0;
        video::PictureTime time;
        uint64_t checksum = 0;
    };
    std::mutex m;
    std::condition_variable cv;
    std::map<int, Shown> shown;
    std::atomic<int> blanks{0};
};

class FakeAudio : public IAudioTiming {
public:
    int64_t AudioNowMs() override { return nowMs.load(); }
    bool PlayRecord(const uint8_t*, size_t) override
    {
        ++played;
        return true;
    }
    std::atomic<int64_t> nowMs{0};
    std::atomic<int> played{0};
};

// One CIF channel decoded into a recording display, its pictures timed by a fake audio clock.
struct Fixture {
    static const dvrsim::VideoLoop& Loop(int channel)
    {
        static std::map<int, std::unique_ptr<dvrsim::VideoLoop>> loops;
        static std::mutex m;
        std::lock_guard<std::mutex> l(m);
        auto& p = loops[channel];
        if (!p) {
            p = std::make_unique<dvrsim::VideoLoop>();
            dvrsim::VideoFormat f;
            f.width = 352;
            f.height = 240;
            f.seconds = 1;
            std::string err;
            if (!dvrsim::EncodeVideoLoop(video::LinkedXvidApi(), channel, f, *p, &err))
                ADD_FAILURE() << err;
        }
        return *p;
    }
};

std::vector<uint8_t> AudioRecord(uint32_t sequence)
{
    std::vector<uint8_t> r(24 + 4 * 48, 0);
    wire::AudioBlockHeader h;
    h.length = static_cast<uint32_t>(r.size());
    h.channelMask = 0xF;
    h.sequence = sequence;
    wire::BuildAudioBlockHeader(h, r.data());
    return r;
}

constexpr uint64_t kStartMicros = 1215000000ull * 1000000; // 2008-07-02 12:00:00 UTC

// The real decoders of `channels` pictures of width x height behind a pipeline to `display`.
struct Decoding {
    Decoding(RecordingDisplay& display, int channels, int width, int height) : pipe(decoder, display, nullptr, nullptr)
    {
        std::vector<int> w(channels, width), h(channels, height);
        ready = decoder.Initialize(channels, 0, w.data(), h.data(), nullptr) == 1;
        pipe.SetChannelCount(channels);
    }
    video::CMp4DecoderManager decoder{video::LinkedXvidApi()};
    CFramePipeline pipe;
    bool ready;
};

// Starts the queue's `channels` threads, connected, and waits until they are ready.
::testing::AssertionResult Running(CFrameQueue& q, int channels)
{
    if (!q.Start(channels))
        return ::testing::AssertionFailure() << "the queue did not start";
    q.SetConnected(true);
    return WaitReady(q) ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << "not ready";
}

// One 352 x 240 channel timed against a fake audio clock, with channel 1's stream from the start time
// and one audio record to keep the audio flowing.
struct AudioTimedChannel : ::testing::Test {
    void SetUp() override
    {
        int w[1] = {352}, h[1] = {240};
        ASSERT_EQ(decoder.Initialize(1, 0, w, h, nullptr), 1);
        pipe.SetChannelCount(1);
    }
    video::CMp4DecoderManager decoder{video::LinkedXvidApi()};
    RecordingDisplay display;
    FakeAudio audio;
    CFramePipeline pipe{decoder, display, &audio, nullptr};
    dvrsim::VideoChannelStream stream{0, &Fixture::Loop(0)};
    std::vector<uint8_t> frame;
    std::vector<uint8_t> rec = AudioRecord(1);
    const int64_t videoMs = static_cast<int64_t>(kStartMicros / 1000);
};

TEST(FramePipeline, FourChannelsDecodeIntoTheirDivisionsWithLocalTime)
{
    RecordingDisplay display;
    Decoding d(display, 4, 720, 480);
    ASSERT_TRUE(d.ready);
    CFramePipeline& pipe = d.pipe;
    CFrameQueue q(pipe, TestTiming());
    ASSERT_TRUE(Running(q, 4));

    std::vector<std::unique_ptr<dvrsim::VideoChannelStream>> streams;
    for (int c = 0; c < 4; ++c) // zone 4 (Pacific, daylight in July)
        streams.push_back(
            std::make_unique<dvrsim::VideoChannelStream>(c, &Fixture::Loop(c), nullptr, dvrsim::VideoFaults{}, 4, 1));
    std::vector<uint8_t> frame;
    for (int i = 0; i < 20; ++i) {
        for (int c = 0; c < 4; ++c) {
            ASSERT_TRUE(streams[c]->Next(kStartMicros + i * 33366ull, frame));
            StoreResult r;
            while ((r = q.Store(frame.data(), frame.size())) == StoreResult::QueueFull)
                std::this_thread::sleep_for(1ms);
            ASSERT_EQ(r, StoreResult::Stored);
        }
    }
    ASSERT_TRUE(display.WaitAll(4, 20, 20s));
    EXPECT_TRUE(q.Stop());
    EXPECT_EQ(pipe.FramesDropped(), 0u);
    for (int c = 0; c < 4; ++c) {
        auto& s = display.shown[c];
        EXPECT_EQ(s.width, 352);
        EXPECT_EQ(s.height, 240);
        EXPECT_EQ(s.time.year, 2008);
        EXPECT_EQ(s.time.month, 7);
        EXPECT_EQ(s.time.day, 2);
        EXPECT_EQ(s.time.hour, 5); // 12:00 UTC is 05:00 Pacific daylight time
    }
    EXPECT_NE(display.shown[0].checksum, display.shown[1].checksum); // each channel its own scene
}

TEST_F(AudioTimedChannel, PicturesWaitForFlowingAudioAndNotForSilence)
{
    pipe.SetAudioSync(true, false);
    CFrameQueue q(pipe, TestTiming());
    ASSERT_TRUE(Running(q, 1));

    audio.nowMs = videoMs - 300; // the audio being heard is 300 ms behind the pictures
    ASSERT_EQ(q.Store(rec.data(), rec.size()), StoreResult::Stored);
    for (int i = 0; i < 50 && audio.played.load() == 0; ++i)
        std::this_thread::sleep_for(5ms);
    ASSERT_EQ(audio.played.load(), 1);

    ASSERT_TRUE(stream.Next(kStartMicros, frame));
    ASSERT_EQ(q.Store(frame.data(), frame.size()), StoreResult::Stored);
    // Audio flows and is behind: the picture is held (offered again every 20 ms).
    EXPECT_FALSE(display.WaitAll(1, 1, 200ms));
    // The audio catches up: shown.
    audio.nowMs = videoMs + 1;
    EXPECT_TRUE(display.WaitAll(1, 1, 2s));

    // Audio stops arriving: after a short silence the pictures no longer wait for it.
    audio.nowMs = videoMs - 5000;
    ASSERT_TRUE(stream.Next(kStartMicros + 33366, frame));
    ASSERT_EQ(q.Store(frame.data(), frame.size()), StoreResult::Stored);
    EXPECT_TRUE(display.WaitAll(1, 2, CFramePipeline::kAudioSilence + 2s));

    // "Enable Audio" off: shown at once whatever the clock says.
    pipe.SetAudioSync(false, false);
    ASSERT_EQ(q.Store(rec.data(), rec.size()), StoreResult::Stored);
    ASSERT_TRUE(stream.Next(kStartMicros + 2 * 33366, frame));
    ASSERT_EQ(q.Store(frame.data(), frame.size()), StoreResult::Stored);
    EXPECT_TRUE(display.WaitAll(1, 3, 2s));
    EXPECT_TRUE(q.Stop());
}

// A held picture is offered again when it is due, not a whole retry later: the pipeline tells its
// thread how far the picture leads the audio.
TEST_F(AudioTimedChannel, AHeldPictureTellsItsThreadWhenItIsDue)
{
    pipe.SetAudioSync(true, false);
    ASSERT_EQ(pipe.ProcessAudio(rec.data(), rec.size()), SlotResult::Consumed);
    ASSERT_TRUE(stream.Next(kStartMicros, frame));
    audio.nowMs = videoMs - 7;
    ASSERT_EQ(pipe.ProcessVideo(0, frame.data(), frame.size()), SlotResult::NotYet);
    EXPECT_EQ(pipe.DueIn(0).count(), 7);
    audio.nowMs = videoMs - 3;
    ASSERT_EQ(pipe.ProcessVideo(0, frame.data(), frame.size()), SlotResult::NotYet);
    EXPECT_EQ(pipe.DueIn(0).count(), 3);
    audio.nowMs = videoMs;
    EXPECT_EQ(pipe.ProcessVideo(0, frame.data(), frame.size()), SlotResult::Consumed);
}

// A picture waits for the audio only as far and as long as the audio queue explains; a time stamp
// far ahead (a clock set forward) or with a million microseconds or more is shown at once, and lip
// sync holds again as soon as the clocks agree.
TEST_F(AudioTimedChannel, AudioHoldIsBoundedAndResyncsWhenTheClocksAgainAgree)
{
    uint64_t at = kStartMicros;
    auto next = [&](int64_t secondsAhead, uint32_t micros) {
        ASSERT_TRUE(stream.Next(at, frame));
        at += 33366;
        wire::StoreLE32(frame.data() + 20, static_cast<uint32_t>(kStartMicros / 1000000 + secondsAhead));
        wire::StoreLE32(frame.data() + 24, micros);
    };
    auto offer = [&] {
        pipe.ProcessAudio(rec.data(), rec.size()); // audio keeps flowing
        return pipe.ProcessVideo(0, frame.data(), frame.size());
    };

    // Within the lead the queue explains, but the audio clock stands still: held, then shown.
    audio.nowMs = videoMs - 300;
    next(0, 0);
    ASSERT_EQ(offer(), SlotResult::NotYet);
    const auto start = std::chrono::steady_clock::now();
    SlotResult r = SlotResult::NotYet;
    while (r == SlotResult::NotYet && std::chrono::steady_clock::now() - start < 5s) {
        std::this_thread::sleep_for(20ms);
        r = offer();
    }
    EXPECT_EQ(r, SlotResult::Consumed) << "held without bound";
    EXPECT_GE(std::chrono::steady_clock::now() - start, CFramePipeline::kMaxAudioLead - 100ms);

    next(3600, 0); // the DVR's video clock an hour ahead of its audio
    EXPECT_EQ(offer(), SlotResult::Consumed);
    audio.nowMs = videoMs + 500;
    next(0, 1000000); // not a time (it would read as 500 ms ahead)
    EXPECT_EQ(offer(), SlotResult::Consumed);

    // The clocks agree again: lip sync holds the next early picture until the audio reaches it.
    audio.nowMs = videoMs - 300;
    next(0, 0);
    EXPECT_EQ(offer(), SlotResult::NotYet);
    audio.nowMs = videoMs + 1;
    EXPECT_EQ(offer(), SlotResult::Consumed);
    EXPECT_EQ(display.Count(0), 4);
}

// A decoder library whose decode call blocks until released: a decode thread stuck past any bound.
struct StuckXvid {
    static inline std::mutex m;
    static inline std::condition_variable cv;
    static inline bool release = false;
    static inline int inside = 0;
    static int Global(void*, int, void*, void*) { return 0; }
    static int Decore(void*, int op, void* p1, void*)
    {
        if (op == XVID_DEC_CREATE) {
            static_cast<xvid_dec_create_t*>(p1)->handle = &m;
            return 0;
        }
        if (op != XVID_DEC_DECODE)
            return 0;
        std::unique_lock<std::mutex> l(m);
        ++inside;
        cv.notify_all();
        cv.wait(l, [] { return release; });
        return -1;
    }
};

TEST(FramePipeline, ADecodeThreadStuckPastTheStopBoundIsLeftToFinishOnItsOwn)
{
    static video::XvidApi api;
    api.global = &StuckXvid::Global;
    api.decore = &StuckXvid::Decore;
    api.status = video::XvidStatus::Ready;
    auto decoder = std::make_unique<video::CMp4DecoderManager>(api);
    int w[1] = {352}, h[1] = {240};
    ASSERT_EQ(1, decoder->Initialize(1, 0, w, h, nullptr));
    RecordingDisplay display;
    auto pipe = std::make_unique<CFramePipeline>(*decoder, display, nullptr, nullptr);
    pipe->SetChannelCount(1);
    CFrameQueue::Timing timing = TestTiming();
    timing.stopWait = 300ms;
    auto queue = std::make_unique<CFrameQueue>(*pipe, timing);
    ASSERT_TRUE(queue->Start(1));
    queue->SetConnected(true);
    ASSERT_TRUE(WaitReady(*queue));
    dvrsim::VideoChannelStream stream(0, &Fixture::Loop(0));
    std::vector<uint8_t> frame;
    ASSERT_TRUE(stream.Next(kStartMicros, frame));
    ASSERT_EQ(queue->Store(frame.data(), frame.size()), StoreResult::Stored);
    {
        std::unique_lock<std::mutex> l(StuckXvid::m);
        ASSERT_TRUE(StuckXvid::cv.wait_for(l, 5s, [] { return StuckXvid::inside > 0; }));
    }

    std::mutex m;
    std::condition_variable cv;
    bool freed = false;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(StopDecodeThreads(queue, pipe, decoder, [&] {
        std::lock_guard<std::mutex> l(m);
        freed = true;
        cv.notify_all();
    }));
    EXPECT_LT(std::chrono::steady_clock::now() - start, timing.stopWait + 1s) << "waited for the stuck thread";
    EXPECT_FALSE(queue || pipe || decoder);
    const int blanks = display.blanks.load();
    {
        std::lock_guard<std::mutex> l(StuckXvid::m);
        StuckXvid::release = true;
        StuckXvid::cv.notify_all();
    }
    std::unique_lock<std::mutex> l(m);
    EXPECT_TRUE(cv.wait_for(l, 10s, [&] { return freed; })) << "the late run was never freed";
    EXPECT_EQ(display.blanks.load(), blanks) << "the late thread reached the display";
    EXPECT_EQ(display.Count(0), 0);
}

TEST(FramePipeline, HostileHeadersAreDroppedWithoutTouchingTheDisplay)
{
    RecordingDisplay display;
    Decoding d(display, 2, 352, 240);
    ASSERT_TRUE(d.ready);
    CFramePipeline& pipe = d.pipe;

    dvrsim::VideoChannelStream stream(0, &Fixture::Loop(0));
    std::vector<uint8_t> frame;
    ASSERT_TRUE(stream.Next(kStartMicros, frame));
    auto bad = frame;
    bad[3] = 5; // channel field below 16: not a video channel
    EXPECT_EQ(pipe.ProcessVideo(0, bad.data(), bad.size()), SlotResult::Dropped);
    bad = frame;
    bad[5] = 46; // 736 pixels wide
    EXPECT_EQ(pipe.ProcessVideo(0, bad.data(), bad.size()), SlotResult::Dropped);
    EXPECT_EQ(pipe.ProcessVideo(0, frame.data(), 40), SlotResult::Dropped);
    EXPECT_EQ(display.Count(0), 0);
    EXPECT_EQ(pipe.ProcessVideo(0, frame.data(), frame.size()), SlotResult::Consumed);
    EXPECT_EQ(display.Count(0), 1);
}

TEST(FramePipeline, ShownPicturesRecordTheirLatencyFromTheHeaderSendTime)
{
    RecordingDisplay display;
    Decoding d(display, 1, 352, 240);
    ASSERT_TRUE(d.ready);
    CFramePipeline& pipe = d.pipe;
    CLatencyHistogram stats;
    pipe.SetLatencyStats(&stats);

    const uint64_t now = static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count());
    dvrsim::VideoChannelStream stream(0, &Fixture::Loop(0));
    std::vector<uint8_t> frame;
    ASSERT_TRUE(stream.Next(now - 300000, frame)); // sent 300 ms ago
    auto bad = frame;
    bad[5] = 46; // refused: records nothing
    EXPECT_EQ(pipe.ProcessVideo(0, bad.data(), bad.size()), SlotResult::Dropped);
    EXPECT_EQ(stats.Take().count, 0u);

    ASSERT_EQ(pipe.ProcessVideo(0, frame.data(), frame.size()), SlotResult::Consumed);
    ASSERT_TRUE(stream.Next(now + 60000000, frame)); // a sender clock a minute ahead
    ASSERT_EQ(pipe.ProcessVideo(0, frame.data(), frame.size()), SlotResult::Consumed);
    CLatencyHistogram::Window win = stats.Take();
    EXPECT_EQ(win.count, 2u);
    EXPECT_EQ(win.negative, 1u);
    EXPECT_GE(win.maxMs, 300.0);
    EXPECT_LT(win.maxMs, 300.0 + 10000); // the decode itself, however slow the build

    pipe.SetLatencyStats(nullptr);
    ASSERT_TRUE(stream.Next(now, frame));
    ASSERT_EQ(pipe.ProcessVideo(0, frame.data(), frame.size()), SlotResult::Consumed);
    EXPECT_EQ(stats.Take().count, 0u);
    EXPECT_EQ(display.Count(0), 3);
}

TEST(FramePipeline, ConnectStreamTeardownCyclesWithTheRealDecoder)
{
    RecordingDisplay display;
    std::vector<uint8_t> frame;
    for (int cycle = 0; cycle < 6; ++cycle) {
        // Each connection starts with fresh decoders and streams that begin at an intra picture.
        dvrsim::VideoChannelStream streams[2] = {dvrsim::VideoChannelStream(0, &Fixture::Loop(0)),
                                                 dvrsim::VideoChannelStream(1, &Fixture::Loop(1))};
        Decoding d(display, 2, 352, 240);
        ASSERT_TRUE(d.ready);
        CFrameQueue q(d.pipe, TestTiming());
        ASSERT_TRUE(Running(q, 2));
        const int before0 = display.Count(0), before1 = display.Count(1);
        for (int i = 0; i < 30; ++i)
            for (auto& s : streams) {
                s.Next(kStartMicros + i * 33366ull, frame);
                q.Store(frame.data(), frame.size()); // a full ring drops, as on a busy machine
            }
        // Tear down while the threads are still decoding; only make sure each channel got going.
        {
            std::unique_lock<std::mutex> l(display.m);
            ASSERT_TRUE(display.cv.wait_for(
                l, 20s, [&] { return display.shown[0].count > before0 && display.shown[1].count > before1; }));
        }
        q.SetConnected(false);
        // The decoder is destroyed after the threads: Stop must have ended them all.
        ASSERT_TRUE(q.Stop());
    }
}

} // namespace
