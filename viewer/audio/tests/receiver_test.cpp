#include "AudioReceiver.h"
#include "FakeCoding.h"
#include "wire/StreamFrame.h"
#include <gtest/gtest.h>
#include <cstring>
#include <string>

using namespace audio;

namespace {

// A record whose channel n block starts with byte 10 * (n + 1) and whose talk-back starts with 70.
std::vector<uint8_t> Record(uint32_t sequence, uint32_t mask, uint32_t stated = 264, size_t received = 264)
{
    std::vector<uint8_t> r(received, 0);
    wire::AudioBlockHeader h;
    h.length = stated;
    h.channelMask = mask;
    h.seconds = 1000 + sequence;
    h.microseconds = 654321;
    h.sequence = sequence;
    uint8_t hdr[24];
    wire::BuildAudioBlockHeader(h, hdr);
    std::memcpy(r.data(), hdr, 24);
    for (size_t n = 0; n < 4; ++n)
        if (24 + 48 * n < received)
            r[24 + 48 * n] = static_cast<uint8_t>(10 * (n + 1));
    if (received > 216)
        r[216] = 70;
    return r;
}

struct Receiver : ::testing::Test {
    FakeCoding coding;
    BlockSink main, phone;
    CAudioReceiver rx{coding, &main, &phone};
    bool Feed(const std::vector<uint8_t>& r) { return rx.OnAudioRecord(r.data(), r.size()); }
};

TEST_F(Receiver, PlaysOnlyTheSelectedChannelOfTheMask)
{
    rx.SetSelectedChannel(2);
    ASSERT_TRUE(Feed(Record(1, 0b0101)));
    ASSERT_EQ(main.blocks.size(), 1u);
    EXPECT_EQ(main.blocks[0][0], 30 + 2); // channel 3's block (offset 24 + 2 * 48), coder 2
    EXPECT_EQ(coding.channels, std::vector<unsigned>{2});

    rx.SetSelectedChannel(1); // not in the mask: silent, but the clock still moves
    ASSERT_TRUE(Feed(Record(2, 0b0101)));
    EXPECT_EQ(main.blocks.size(), 1u);
    EXPECT_EQ(rx.Clock().seconds, 1002u);
    EXPECT_EQ(rx.Clock().milliseconds, 654u);
    EXPECT_TRUE(phone.blocks.empty());
}

TEST_F(Receiver, MicrosecondsOfAMillionOrMoreLeaveTheClockAlone)
{
    ASSERT_TRUE(Feed(Record(1, 1)));
    auto bad = Record(2, 1);
    bad[16] = 0x40; // microseconds 1,000,000 (0x000F4240)
    bad[17] = 0x42;
    bad[18] = 0x0F;
    bad[19] = 0x00;
    ASSERT_TRUE(Feed(bad));
    EXPECT_EQ(main.blocks.size(), 2u) << "the sound itself is still played";
    EXPECT_EQ(rx.Clock().seconds, 1001u);
    EXPECT_EQ(rx.Clock().milliseconds, 654u);
}

TEST_F(Receiver, JumpOfThreePlaysSoftenedPreviousTwiceThenSoftenedNew)
{
    rx.SetSelectedChannel(0);
    auto a = Record(1, 1);
    a[24] = 100 - 0; // previous block: every sample 0x6464 (25700)
    auto b = Record(4, 1);
    b[24] = 20; // new block: every sample 0x1414 (5140)
    ASSERT_TRUE(Feed(a));
    ASSERT_TRUE(Feed(b));
    ASSERT_EQ(main.blocks.size(), 4u);
    EXPECT_EQ(main.blocks[0][0], 100);
    for (int i : {1, 2}) {
        EXPECT_EQ(main.blocks[i][0], 0x32); // softened in place: every sample halved to 12850
        EXPECT_EQ(main.blocks[i][255], 0x32);
    }
    // First sample (12850 - (12850 - 5140) / 2) / 2 = 4497 = 0x1191; the others 5140 / 2 = 0x0A0A.
    EXPECT_EQ(main.blocks[3][0], 0x91);
    EXPECT_EQ(main.blocks[3][1], 0x11);
    EXPECT_EQ(main.blocks[3][2], 0x0A);
    EXPECT_EQ(main.blocks[3][255], 0x0A);
    EXPECT_EQ(rx.LastSequence(), 4u);

    // The next record in sequence is played as it is, no repeats.
    auto c = Record(5, 1);
    c[24] = 40;
    ASSERT_TRUE(Feed(c));
    ASSERT_EQ(main.blocks.size(), 5u);
    EXPECT_EQ(main.blocks[4][0], 40);
}

TEST_F(Receiver, GapsOutsideTwoToNinetyNineAreNotFilled)
{
    ASSERT_TRUE(Feed(Record(1, 1)));
    ASSERT_TRUE(Feed(Record(101, 1))); // 99 missing
    ASSERT_TRUE(Feed(Record(101, 1))); // repeated number
    ASSERT_TRUE(Feed(Record(50, 1))); // backwards
    EXPECT_EQ(main.blocks.size(), 4u);
    ASSERT_TRUE(Feed(Record(149, 1))); // 98 missing: filled
    EXPECT_EQ(main.blocks.size(), 4u + 98 + 1);
}

TEST_F(Receiver, ShortRecordsAreDroppedNotOverread)
{
    rx.SetSelectedChannel(3);
    // Sequence numbers start at 1 here: the path begins with 0 as the last one played.
    // The header claims the whole record but 200 bytes arrived: channel 3 ends at 216.
    auto cut = Record(1, 0xF, 264, 200);
    EXPECT_TRUE(Feed(cut));
    // The bytes are there but the stated length ends before channel 3.
    EXPECT_TRUE(Feed(Record(2, 0xF, 24 + 3 * 48, 264)));
    EXPECT_TRUE(main.blocks.empty());
    EXPECT_TRUE(coding.channels.empty());
    EXPECT_EQ(rx.LastSequence(), 0u);
    EXPECT_TRUE(Feed(Record(1, 0xF, 216, 216)));
    EXPECT_EQ(main.blocks.size(), 1u);

    std::vector<uint8_t> video(64, 0);
    video[3] = 16;
    EXPECT_FALSE(rx.OnAudioRecord(video.data(), video.size()));
}

TEST_F(Receiver, EnableAudioOffDropsEverything)
{
    rx.SetAudioEnabled(false);
    EXPECT_FALSE(Feed(Record(1, 0xF)));
    EXPECT_TRUE(main.blocks.empty());
    EXPECT_EQ(rx.Clock().seconds, 0u);
    rx.SetAudioEnabled(true);
    EXPECT_TRUE(Feed(Record(1, 0xF)));
    EXPECT_EQ(main.blocks.size(), 1u);
}

TEST_F(Receiver, PhoneDownPlaysTalkBackWithRepeats)
{
    rx.SetPhoneDown(true);
    ASSERT_TRUE(Feed(Record(1, 0xF)));
    ASSERT_TRUE(Feed(Record(4, 0xF)));
    EXPECT_TRUE(main.blocks.empty());
    ASSERT_EQ(phone.blocks.size(), 1u + 3u);
    for (auto& b : phone.blocks)
        EXPECT_EQ(b[0], 74);
    EXPECT_EQ(coding.talkBacks, 2);
    EXPECT_EQ(rx.LastSequence(), 4u);

    // A record of exactly 216 bytes carries no talk-back; one that says 264 but brought 240 is dropped.
    ASSERT_TRUE(Feed(Record(5, 0xF, 216, 216)));
    ASSERT_TRUE(Feed(Record(6, 0xF, 264, 240)));
    EXPECT_EQ(phone.blocks.size(), 4u);
    EXPECT_EQ(coding.talkBacks, 2);
}

} // namespace

// A burst from the network must not leave the player a second behind for good: while more than the
// cap waits, new blocks (and gap repeats) are skipped, yet the clock and the sequence move on, and
// playing resumes once the player has drained below the cap. The end of the audio written (what the
// pictures are timed against) moves only with what was written.
static int64_t EndOfRecordMs(uint32_t sequence) { return int64_t(1000 + sequence) * 1000 + 654 + 16; }

TEST(ReceiverCap, SkipsBlocksWhileThePlayerHoldsTooMuch)
{
    FakeCoding coding;
    BlockSink main;
    CAudioReceiver rx{coding, &main, nullptr};
    auto feed = [&](uint32_t sequence) {
        auto r = Record(sequence, 1);
        return rx.OnAudioRecord(r.data(), r.size());
    };
    main.queued = CAudioReceiver::kMaxQueuedBytes; // at the cap: still played
    ASSERT_TRUE(feed(1));
    EXPECT_EQ(main.blocks.size(), 1u);
    main.queued = CAudioReceiver::kMaxQueuedBytes + 1;
    ASSERT_TRUE(feed(2));
    ASSERT_TRUE(feed(5)); // a gap while behind: no repeats either
    EXPECT_EQ(main.blocks.size(), 1u);
    EXPECT_EQ(rx.BlocksSkipped(), 2u);
    EXPECT_EQ(rx.LastSequence(), 5u);
    EXPECT_EQ(rx.Clock().seconds, 1005u);
    EXPECT_EQ(rx.WrittenEndMs(), EndOfRecordMs(1));
    main.queued = 0;
    ASSERT_TRUE(feed(6));
    EXPECT_EQ(main.blocks.size(), 2u);
    EXPECT_EQ(rx.WrittenEndMs(), EndOfRecordMs(6));
    rx.ResetSequence();
    EXPECT_EQ(rx.WrittenEndMs(), 0);
}

// The trim leaves out what the queue held at its lowest over a window above the low-water mark, no
// more, spaced apart; a queue that dipped to the mark once in the window (jitter) is left alone.
TEST(QueueTrim, LeavesOutTheWindowsSurplusSpacedApart)
{
    CQueueTrim trim(16 * kBlockBytes, 8, 2, kBlockBytes);
    auto run = [&](uint32_t queuedBlocks, int blocks, uint32_t dipBlocks = 0) {
        std::string marks;
        for (int i = 0; i < blocks; ++i)
            marks += trim.Trim((i % 8 == 3 && dipBlocks ? dipBlocks : queuedBlocks) * kBlockBytes) ? 'x' : '.';
        return marks;
    };
    EXPECT_EQ(run(40, 7), "......."); // nothing before a window has been measured
    EXPECT_EQ(run(19, 1), "x"); // lowest 19 over the first window: surplus 3 after this one
    EXPECT_EQ(run(19, 7), "..x..x."); // one in three at most, then the surplus is spent
    EXPECT_EQ(trim.Surplus(), 0u);
    trim.Reset();
    EXPECT_EQ(run(30, 16, 16), "................"); // a dip to the mark in each window: no surplus
    trim.Reset();
    EXPECT_EQ(run(30, 8), ".......x");
}

// What the receiver does with a trim: the block left out is merged into the next one (starts on
// the first's first sample, ends on the second's last), the audio clock and sequence move on, and a
// gap right after it plays the block as it was before the softened repeats.
TEST(ReceiverCap, TrimsTheQueueTowardsItsLowWaterMark)
{
    FakeCoding coding;
    BlockSink main;
    CAudioReceiver rx{coding, &main, nullptr};
    uint32_t sequence = 0;
    auto feed = [&] {
        auto r = Record(++sequence, 1);
        r[24] = static_cast<uint8_t>(sequence);
        return rx.OnAudioRecord(r.data(), r.size());
    };
    main.queued = CAudioReceiver::kQueueLowWaterBytes; // at the mark: everything plays
    for (uint32_t i = 0; i < 2 * CAudioReceiver::kTrimWindowBlocks; ++i)
        ASSERT_TRUE(feed());
    EXPECT_EQ(main.blocks.size(), 2 * CAudioReceiver::kTrimWindowBlocks);
    EXPECT_EQ(rx.BlocksTrimmed(), 0u);

    main.queued = CAudioReceiver::kQueueLowWaterBytes + 2 * kBlockBytes;
    main.blocks.clear();
    for (uint32_t i = 0; i < CAudioReceiver::kTrimWindowBlocks; ++i)
        ASSERT_TRUE(feed());
    // The window ended on the last block: it is held back.
    EXPECT_EQ(main.blocks.size(), CAudioReceiver::kTrimWindowBlocks - 1);
    EXPECT_EQ(rx.WrittenEndMs(), EndOfRecordMs(sequence - 1));
    ASSERT_TRUE(feed());
    EXPECT_EQ(rx.BlocksTrimmed(), 1u);
    EXPECT_EQ(rx.Clock().seconds, 1000u + sequence);
    EXPECT_EQ(rx.WrittenEndMs(), EndOfRecordMs(sequence));
    ASSERT_EQ(main.blocks.size(), CAudioReceiver::kTrimWindowBlocks);
    // Each record's block is filled with its sequence byte (FakeCoding): the merge starts on the
    // held block's first sample and ends on the next block's last.
    uint8_t a[kBlockBytes], b[kBlockBytes], want[kBlockBytes];
    std::memset(a, static_cast<uint8_t>(sequence - 1), kBlockBytes);
    std::memset(b, static_cast<uint8_t>(sequence), kBlockBytes);
    MergeBlocks(a, b, want, kBlockBytes);
    EXPECT_EQ(0, std::memcmp(main.blocks.back().data(), want, kBlockBytes));
    EXPECT_TRUE(want[0] == a[0] && want[1] == a[1]);
    EXPECT_TRUE(want[kBlockBytes - 2] == b[0] && want[kBlockBytes - 1] == b[1]);

    // The next trim is followed by a gap of two: held block as it was, one softened repeat, then new.
    for (uint32_t i = 0; i < CAudioReceiver::kTrimSpacingBlocks; ++i)
        ASSERT_TRUE(feed());
    const size_t before = main.blocks.size();
    ASSERT_TRUE(feed()); // held back
    EXPECT_EQ(main.blocks.size(), before);
    sequence += 1;
    ASSERT_TRUE(feed());
    EXPECT_EQ(main.blocks.size(), before + 3);
    EXPECT_EQ(rx.BlocksTrimmed(), 1u);
}
