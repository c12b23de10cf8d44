// The receive path into real DirectSound: what reaches the sound server is the selected channel
// decoded, with the softened repeats where the sequence jumped.
#include "AudioPlayer.h"
#include "AudioReceiver.h"
#include "CoderSetCoding.h"
#include "FakeCoding.h"
#include "G723Coder.h"
#include "SoundServer.h"
#include "wire/StreamFrame.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

// Four recognisable channel signals: tone, chirp up, chirp down, two-tone.
int16_t ChannelSample(unsigned channel, size_t i)
{
    const double t = double(i) / 8000, pi2 = 2 * 3.14159265358979;
    switch (channel) {
    case 0: return static_cast<int16_t>(9000 * std::sin(pi2 * 440 * t));
    case 1: return static_cast<int16_t>(9000 * std::sin(pi2 * (300 * t + 400 * t * t)));
    case 2: return static_cast<int16_t>(9000 * std::sin(pi2 * (2400 * t - 450 * t * t)));
    default: return static_cast<int16_t>(5000 * (std::sin(pi2 * 600 * t) + std::sin(pi2 * 1500 * t)));
    }
}

// Records of channels 0 and 2 (mask 0b0101); sequence numbers from 1, with a jump of 3 after `jumpAt`.
std::vector<std::vector<uint8_t>> MakeRecords(size_t count, size_t jumpAt)
{
    CG723Coder enc[4];
    std::vector<std::vector<uint8_t>> out;
    uint32_t seq = 1;
    for (size_t r = 0; r < count; ++r) {
        std::vector<uint8_t> rec(264, 0);
        wire::AudioBlockHeader h;
        h.length = 264;
        h.channelMask = 0b0101;
        h.seconds = 100 + static_cast<uint32_t>(r / 62);
        h.microseconds = static_cast<uint32_t>((r % 62) * 16000);
        h.sequence = seq;
        wire::BuildAudioBlockHeader(h, rec.data());
        for (unsigned c = 0; c < 4; ++c) {
            int16_t pcm[128];
            for (size_t i = 0; i < 128; ++i)
                pcm[i] = ChannelSample(c, r * 128 + i);
            enc[c].Encode(pcm, 128, rec.data() + 24 + 48 * c, 48);
        }
        out.push_back(std::move(rec));
        seq += (r == jumpAt) ? 3 : 1;
    }
    return out;
}

std::vector<int16_t> Samples(const BlockSink& sink)
{
    std::vector<int16_t> s;
    for (auto& b : sink.blocks) {
        const auto* p = reinterpret_cast<const int16_t*>(b.data());
        s.insert(s.end(), p, p + 128);
    }
    return s;
}

TEST(ReceiveSound, SelectedChannelWithSoftenedRepeatsReachesTheSoundServer)
{
    const auto records = MakeRecords(120, 59);

    // What the path should produce, written to memory by the same path on its own coders.
    CAudioCoderSet refSet;
    ASSERT_EQ(refSet.Init(6), 1);
    audio::CCoderSetCoding refCoding(refSet);
    BlockSink expected, other;
    audio::CAudioReceiver ref(refCoding, &expected, nullptr);
    ref.SetSelectedChannel(2);
    CAudioCoderSet otherSet;
    ASSERT_EQ(otherSet.Init(6), 1);
    audio::CCoderSetCoding otherCoding(otherSet);
    audio::CAudioReceiver otherRx(otherCoding, &other, nullptr);
    otherRx.SetSelectedChannel(0);
    for (auto& r : records) {
        ref.OnAudioRecord(r.data(), r.size());
        otherRx.OnAudioRecord(r.data(), r.size());
    }
    ASSERT_EQ(expected.blocks.size(), 122u); // 120 records and two repeats
    const auto want = Samples(expected);
    const auto channel0 = Samples(other);

    CAudioCoderSet set;
    ASSERT_EQ(set.Init(6), 1);
    audio::CCoderSetCoding coding(set);
    CAudioPlayer player;
    ASSERT_EQ(player.Open(nullptr, 256, 200, 20, 1, 16, 8000), S_OK);
    audio::CAudioReceiver rx(coding, &player, nullptr);
    rx.SetSelectedChannel(2);
    // The path's own sound to the sample: no block merged away. The queue stays well above the
    // low-water mark, so that a sound server starved of CPU does not run the player dry.
    rx.SetQueueTrim(false);

    soundtest::Recorder rec;
    ASSERT_TRUE(rec.Start(3.5));
    // Records come as a network brings them, no faster than they play: the receive path skips
    // what arrives while the player holds more than its cap.
    const DWORD feedStart = GetTickCount();
    for (auto& r : records) {
        while (player.QueuedBytes() + 3 * 256 > audio::CAudioReceiver::kMaxQueuedBytes) {
            ASSERT_LT(GetTickCount() - feedStart, 10000u) << "the player does not play";
            Sleep(2);
        }
        ASSERT_TRUE(rx.OnAudioRecord(r.data(), r.size()));
    }
    EXPECT_EQ(rx.BlocksSkipped(), 0u);
    const auto got = rec.Finish();
    ASSERT_GT(got.size(), want.size());

    // The sound server may glitch under load: compare in 125 ms pieces, each found near where the
    // one before it was.
    const long maxLag = static_cast<long>(got.size() - want.size());
    const size_t piece = 1000;
    auto first = soundtest::MatchAt(got, want, 0, piece, 0, maxLag);
    long lag = first.lag;
    std::vector<double> corr;
    for (size_t from = 0; from + piece <= want.size(); from += piece) {
        const auto m = soundtest::MatchAt(got, want, from, piece, lag + long(from) - 400, lag + long(from) + 400);
        corr.push_back(m.correlation);
        lag = m.lag - long(from);
    }
    std::vector<double> sorted = corr;
    std::sort(sorted.begin(), sorted.end());
    const double median = sorted[sorted.size() / 2];
    // Either side of the jump (the repeats are blocks 60 and 61 of what should be played): the
    // pieces line up at one offset only if both repeats were played.
    const size_t jumpAt = 62 * 128;
    const auto pre = soundtest::MatchAt(got, want, jumpAt - 3 * 128 - piece, piece, 0, maxLag);
    const auto post = soundtest::MatchAt(got, want, jumpAt, piece, pre.lag + long(3 * 128 + piece) - 400,
                                         pre.lag + long(3 * 128 + piece) + 400);
    const long shift = (post.lag - long(jumpAt)) - (pre.lag - long(jumpAt - 3 * 128 - piece));
    // Channel 0's signal is nowhere in it.
    const auto wrong = soundtest::MatchAt(got, channel0, 0, piece * 4, 0, maxLag);
    const double before = soundtest::Energy(got, pre.lag + piece, 128); // block 59, the last before the jump
    const double repeat = soundtest::Energy(got, pre.lag + piece + 128, 256); // its two softened repeats
    std::printf("pieces %zu: median correlation %.3f, lowest %.3f; offset across the jump %ld; channel 0 %.3f; "
                "repeat/before energy %.3f\n",
                corr.size(), median, sorted.front(), shift, wrong.correlation, before > 0 ? repeat / before : 0.0);
    // The wrong channel or a shifted stream scores near 0; a sound server starved of CPU glitches in
    // places and costs some of the rest.
    EXPECT_GT(median, 0.6);
    EXPECT_GT(pre.correlation, 0.5);
    EXPECT_GT(post.correlation, 0.5);
    // Without the repeats the audio after the jump would come 256 samples early. A starved sound
    // server only ever delays what follows (it plays silence for what it missed).
    EXPECT_GT(shift, -100);
    EXPECT_LT(wrong.correlation, 0.3);
    // The repeats are the softened previous block: about half its level, a quarter of its energy.
    EXPECT_LT(repeat, before * 0.5);
    EXPECT_GT(repeat, before * 0.05);
}

} // namespace
