// The DirectSound devices against the Wine session's sound server.
#include "AudioCapture.h"
#include "AudioPlayer.h"
#include "CaptureWindow.h"
#include "SoundServer.h"
#include "TestKit.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

namespace {

constexpr DWORD kBlock = 256;

std::vector<int16_t> Tone(size_t samples, double hz, double amplitude, size_t phase = 0)
{
    std::vector<int16_t> s(samples);
    for (size_t i = 0; i < samples; ++i)
        s[i] = static_cast<int16_t>(amplitude * std::sin(2 * 3.14159265358979 * hz * double(i + phase) / 8000));
    return s;
}

struct Player : ::testing::Test {
    CAudioPlayer player;
    std::vector<int16_t> tone = Tone(128 * 400, 440, 8000);
    void SetUp() override { ASSERT_EQ(player.Open(nullptr, kBlock, 200, 20, 1, 16, 8000), S_OK); }
    long WriteBlock(size_t i) { return player.Write(&tone[(i % 400) * 128], kBlock); }
};

TEST_F(Player, SilentUntilTheTwentiethBlockThenPlays)
{
    for (size_t i = 0; i < 19; ++i)
        ASSERT_EQ(WriteBlock(i), 0);
    EXPECT_FALSE(player.IsPlaying());
    Sleep(100);
    EXPECT_EQ(player.PlayPosition(), 0);
    EXPECT_EQ(player.WritePosition(), 19 * kBlock);
    ASSERT_EQ(WriteBlock(19), 0);
    EXPECT_TRUE(player.IsPlaying());
    EXPECT_TRUE(testkit::PumpUntil([&] { return player.PlayPosition() > 0; }, 2000, testkit::Check::EachWake));
}

TEST_F(Player, AFullRingDropsTheNewBlock)
{
    long result = 0;
    size_t accepted = 0;
    while (accepted < 400 && (result = WriteBlock(accepted)) == 0)
        ++accepted;
    EXPECT_EQ(result, E_ACCESSDENIED);
    // Writing 200 blocks takes far less than the 3.2 s they last: the ring fills, less what has
    // been played meanwhile, and is not written round past the play cursor.
    EXPECT_GE(accepted, 190u);
    EXPECT_LT(accepted, 200u + 20u);
    const long play = player.PlayPosition();
    const DWORD ahead = (static_cast<DWORD>(play) + 51200 - player.WritePosition()) % 51200;
    EXPECT_LE(ahead, 2 * kBlock) << "play " << play << " write " << player.WritePosition();
    EXPECT_TRUE(player.IsPlaying());
}

TEST_F(Player, ADryRingStopsRewindsAndStartsAgainAfterTwentyBlocks)
{
    for (size_t i = 0; i < 20; ++i)
        ASSERT_EQ(WriteBlock(i), 0);
    ASSERT_TRUE(player.IsPlaying());
    ASSERT_TRUE(testkit::PumpUntil([&] { return !player.IsPlaying(); }, 3000, testkit::Check::EachWake))
        << "the ring never ran dry";
    EXPECT_EQ(player.WritePosition(), 0u);
    EXPECT_EQ(player.PlayPosition(), 0);
    for (size_t i = 0; i < 19; ++i)
        ASSERT_EQ(WriteBlock(i), 0);
    EXPECT_FALSE(player.IsPlaying());
    ASSERT_EQ(WriteBlock(19), 0);
    EXPECT_TRUE(player.IsPlaying());
}

TEST(PlayerDevice, WithoutABufferWritesAreRefused)
{
    CAudioPlayer p;
    uint8_t block[kBlock] = {};
    EXPECT_EQ(p.Write(block, kBlock), DSERR_OBJECTNOTFOUND);
    EXPECT_EQ(p.PlayPosition(), -1);
    p.Reset();
    p.Close();
}

TEST(PlayerSound, WhatIsWrittenReachesTheSoundServerAfterTheThreshold)
{
    CAudioPlayer player;
    ASSERT_EQ(player.Open(nullptr, kBlock, 200, 20, 1, 16, 8000), S_OK);
    soundtest::Recorder rec;
    ASSERT_TRUE(rec.Start(1.6));
    const auto tone = Tone(128 * 60, 500, 10000);
    const DWORD t0 = GetTickCount();
    for (size_t i = 0; i < 19; ++i)
        ASSERT_EQ(player.Write(&tone[i * 128], kBlock), 0);
    Sleep(400); // nothing may be heard while fewer than 20 blocks wait
    const DWORD t1 = GetTickCount();
    for (size_t i = 19; i < 60; ++i)
        ASSERT_EQ(player.Write(&tone[i * 128], kBlock), 0);
    const auto got = rec.Finish();
    ASSERT_GT(got.size(), 8000u);
    // The first 125 ms of the tone locate it; the rest is compared piece by piece near there, as a
    // loaded sound server may glitch.
    const auto m = soundtest::MatchAt(got, tone, 0, 1000, 0, static_cast<long>(got.size() - tone.size()));
    std::vector<double> corr;
    long lag = m.lag;
    for (size_t from = 0; from + 1000 <= tone.size(); from += 1000) {
        const auto p = soundtest::MatchAt(got, tone, from, 1000, lag + long(from) - 200, lag + long(from) + 200);
        corr.push_back(p.correlation);
        lag = p.lag - long(from);
    }
    std::sort(corr.begin(), corr.end());
    EXPECT_GT(corr[corr.size() / 2], 0.6);
    // The tone starts no earlier than the 20th block was written.
    const long earliest = static_cast<long>((t1 - t0) * 8);
    EXPECT_GT(m.lag, earliest - 800) << "heard before the threshold";
    EXPECT_LT(soundtest::Energy(got, 0, static_cast<size_t>(std::max(0L, earliest - 800))), 1000.0);
}

// The capture of ten blocks into a window that reads each block when `read` is set.
struct Capture : ::testing::Test {
    CaptureWindow sink;
    CAudioCapture cap;
    std::vector<int16_t> samples;
    void Start(bool read)
    {
        sink.onCaptured = [this, read](WPARAM wp) {
            if (!read)
                return;
            std::vector<int16_t> b(wp / 2);
            if (cap.Read(b.data(), static_cast<DWORD>(wp)))
                samples.insert(samples.end(), b.begin(), b.end());
        };
        ASSERT_EQ(cap.Open(sink.hwnd, kBlock, 10, 1, 16, 8000), S_OK);
        ASSERT_EQ(cap.Start(), S_OK);
    }
};

TEST_F(Capture, BlocksFromTheMicrophoneArriveInOrder)
{
    ASSERT_NO_FATAL_FAILURE(Start(true));
    // The tone goes in once the capture delivers.
    ASSERT_TRUE(testkit::PumpUntil([&] { return !samples.empty(); }, 5000, testkit::Check::EachWake))
        << "the capture never started";
    const auto tone = Tone(8000, 700, 12000);
    std::string marker;
    ASSERT_TRUE(soundtest::PlayIntoMicrophone(tone, marker));
    ASSERT_TRUE(testkit::PumpUntil([&] { return soundtest::WaitMarker(marker, 0); }, 8000, testkit::Check::EachWake));
    testkit::PumpUntil([] { return false; }, 200, testkit::Check::EachWake);
    EXPECT_EQ(cap.Stop(), 1);
    cap.Close();
    ASSERT_GT(samples.size(), 4000u);
    EXPECT_EQ(samples.size() % 128, 0u);
    // A quarter second of the tone locates it; then each following piece must sit where it belongs
    // after the one before it. A loaded sound server may glitch once, so the median piece decides.
    const auto m = soundtest::MatchAt(samples, tone, 1000, 2000, 0, static_cast<long>(samples.size()));
    ASSERT_GT(m.correlation, 0.8) << "the tone was not captured";
    std::vector<double> corr;
    long lag = m.lag - 1000;
    for (size_t from = 3000; from + 500 <= tone.size(); from += 500) {
        if (lag + long(from) + 500 > static_cast<long>(samples.size()))
            break;
        const auto p = soundtest::MatchAt(samples, tone, from, 500, lag + long(from) - 40, lag + long(from) + 40);
        corr.push_back(p.correlation);
        if (p.correlation > 0.8)
            lag = p.lag - long(from);
    }
    ASSERT_GE(corr.size(), 3u);
    std::sort(corr.begin(), corr.end());
    EXPECT_GT(corr[corr.size() / 2], 0.9);
}

TEST_F(Capture, AnUnreadBlockDoesNotMakeTheThreadSpin)
{
    ASSERT_NO_FATAL_FAILURE(Start(false));
    ASSERT_TRUE(testkit::PumpUntil([&] { return sink.messages > 0; }, 3000, testkit::Check::EachWake));
    const int before = sink.messages;
    testkit::PumpUntil([] { return false; }, 500, testkit::Check::EachWake);
    // Waiting 5 ms per unread block allows about 100 messages in 500 ms; spinning sends thousands.
    EXPECT_LT(sink.messages - before, 200);
    cap.Close();
    EXPECT_EQ(cap.Read(nullptr, 0), 0);
}

TEST_F(Capture, StartWhileCapturingReturnsAtOnceAndKeepsCapturing)
{
    ASSERT_NO_FATAL_FAILURE(Start(true));
    ASSERT_TRUE(testkit::PumpUntil([&] { return sink.messages > 0; }, 3000, testkit::Check::EachWake));
    // From a second thread, so that a Start that waits for its own capture thread can be ended.
    std::atomic<bool> done{false};
    HRESULT hr = E_FAIL;
    std::thread second([&] {
        hr = cap.Start();
        done = true;
    });
    const bool returned = testkit::PumpUntil([&] { return done.load(); }, 3000, testkit::Check::EachWake);
    if (!returned) {
        cap.Stop();
        testkit::PumpUntil([&] { return done.load(); }, 5000, testkit::Check::EachWake);
    }
    second.join();
    EXPECT_TRUE(returned) << "Start waited for the running capture thread";
    EXPECT_EQ(hr, S_OK);
    const int before = sink.messages;
    EXPECT_TRUE(testkit::PumpUntil([&] { return sink.messages > before; }, 3000, testkit::Check::EachWake))
        << "the capture stopped";
    cap.Close();
}

TEST_F(Capture, WithoutABufferStartIsRefused)
{
    EXPECT_EQ(cap.Start(), DSERR_OBJECTNOTFOUND);
    EXPECT_EQ(cap.Stop(), 0);
}

} // namespace
