// Live phone on the viewer's side, with the real capture: a known signal played into the
// microphone source comes out of the uplink records decoded; switching off stops the uplink.
#include "CaptureWindow.h"
#include "G723Coder.h"
#include "PhoneTransportFake.h"
#include "SoundServer.h"
#include "TestKit.h"
#include "ViewAudio.h"
#include "wire/StreamFrame.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// The view's audio on a window that hands it the capture's messages, as the view's window does,
// and a transport that keeps what it sends; the phone switched on.
struct LivePhone : ::testing::Test {
    CaptureWindow view;
    RecordingTransport net;
    CViewAudio audio{net};
    void SetUp() override
    {
        view.onCaptured = [this](WPARAM) { audio.OnCaptured(true); };
        ASSERT_EQ(audio.Open(view.hwnd), S_OK);
        ASSERT_TRUE(audio.SetPhoneButton(true));
    }
};

std::vector<int16_t> Speech(size_t n)
{
    // A falling chirp with a slow swell: not periodic, so only the right alignment matches.
    std::vector<int16_t> s(n);
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / 8000;
        s[i] = static_cast<int16_t>((6000 + 4000 * std::sin(6.2832 * 1.5 * t)) *
                                    std::sin(6.2832 * (1800 * t - 300 * t * t)));
    }
    return s;
}

TEST_F(LivePhone, MicrophoneReachesTheUplinkAndStopsWithTheButton)
{
    ASSERT_EQ(net.sent.size(), 1u);
    EXPECT_EQ(net.sent[0].code, 100);
    EXPECT_EQ(wire::LoadLE32(net.sent[0].bytes.data()), 1u);
    audio.OnPhoneReply(1);

    const auto speech = Speech(8000 * 2);
    std::string marker;
    ASSERT_TRUE(soundtest::PlayIntoMicrophone(speech, marker));
    ASSERT_TRUE(testkit::PumpUntil([&] { return soundtest::WaitMarker(marker, 0); }, 10000, testkit::Check::EachWake));
    testkit::PumpUntil([] { return false; }, 200, testkit::Check::EachWake);

    ASSERT_TRUE(audio.SetPhoneButton(false));
    const size_t records = net.Count(-1);
    const size_t sentAtOff = net.sent.size();
    EXPECT_EQ(net.sent.back().code, 100);
    EXPECT_EQ(wire::LoadLE32(net.sent.back().bytes.data()), 2u);
    // A capture message that was already on its way is ignored, and none follow.
    SendMessageW(view.hwnd, WM_AUDIO_CAPTURED, 256, 256);
    testkit::PumpUntil([] { return false; }, 300, testkit::Check::EachWake);
    EXPECT_EQ(net.sent.size(), sentAtOff);

    // Every record follows its command 99; counters go up by one; decode them in order.
    ASSERT_GE(records, 20u); // 2 s of signal is about 20 records of 96 ms
    EXPECT_EQ(net.Count(99), records);
    CG723Coder decoder;
    std::vector<int16_t> heard;
    uint32_t counter = 0;
    for (size_t i = 1; i + 1 < net.sent.size(); ++i) {
        if (net.sent[i].code != 99)
            continue;
        const auto& head = net.sent[i].bytes;
        const auto& rec = net.sent[i + 1].bytes;
        ASSERT_EQ(net.sent[i + 1].code, -1);
        ASSERT_EQ(head.size(), 16u);
        ASSERT_EQ(rec.size(), 312u);
        EXPECT_EQ(wire::LoadLE32(&head[12]), counter);
        EXPECT_EQ(wire::LoadLE32(&rec[20]), counter);
        EXPECT_EQ(wire::LoadLE32(&head[8]), wire::LoadLE32(&rec[12]));
        EXPECT_EQ(std::string(rec.begin(), rec.begin() + 4), "327g");
        ++counter;
        int16_t pcm[768];
        ASSERT_EQ(decoder.Decode(rec.data() + 24, 288, pcm, 768), 768);
        heard.insert(heard.end(), pcm, pcm + 768);
    }
    // Matched in 125 ms pieces, each near where the one before it was: a loaded machine may lose a
    // stretch of the 160 ms capture ring now and then, which must not hide the signal elsewhere.
    const size_t piece = 1000;
    ASSERT_GT(heard.size(), 4 * piece);
    auto first = soundtest::MatchAt(heard, speech, 4000, piece, 0, static_cast<long>(heard.size() - piece));
    long lag = first.lag - 4000;
    std::vector<double> corr;
    for (size_t from = 4000; from + piece <= speech.size() && long(from) + lag + long(piece) <= long(heard.size());
         from += piece) {
        const auto m = soundtest::MatchAt(heard, speech, from, piece, lag + long(from) - 200, lag + long(from) + 200);
        corr.push_back(m.correlation);
        lag = m.lag - long(from);
    }
    ASSERT_GE(corr.size(), 4u);
    std::sort(corr.begin(), corr.end());
    const double median = corr[corr.size() / 2];
    std::printf("uplink: %zu records, %zu pieces, median correlation %.3f, lowest %.3f\n", records, corr.size(), median,
                corr.front());
    // No signal, or a misplaced one, scores near 0. The capture ring holds only 160 ms: when this
    // thread is starved longer than that, the device laps the read position and pieces are lost.
    EXPECT_GT(median, 0.3);
    audio.Close();
}

TEST_F(LivePhone, ForbiddenPhoneAudioSendsNothingAndDoesNotSpin)
{
    audio.OnPhoneReply(2);
    ASSERT_TRUE(testkit::PumpUntil([&] { return view.messages > 5; }, 3000, testkit::Check::EachWake));
    const int before = view.messages;
    testkit::PumpUntil([] { return false; }, 500, testkit::Check::EachWake);
    // One message per captured block (16 ms) while the blocks are read and dropped.
    EXPECT_LT(view.messages - before, 100);
    EXPECT_EQ(net.sent.size(), 1u); // only the phone switch
    // Allowed again: the uplink starts.
    audio.OnPhoneReply(1);
    EXPECT_TRUE(testkit::PumpUntil([&] { return net.Count(99) >= 2; }, 3000, testkit::Check::EachWake));
    EXPECT_TRUE(audio.OnDisconnected());
    const size_t n = net.sent.size();
    testkit::PumpUntil([] { return false; }, 200, testkit::Check::EachWake);
    EXPECT_EQ(net.sent.size(), n);
    audio.Close();
}

} // namespace
