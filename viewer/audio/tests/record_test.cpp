#include "AudioRecord.h"
#include "wire/StreamFrame.h"
#include <gtest/gtest.h>
#include <vector>

using namespace audio;

namespace {

std::vector<uint8_t> Record(const char* tag, uint32_t stated, size_t received)
{
    std::vector<uint8_t> r(received, 0);
    wire::AudioBlockHeader h;
    std::memcpy(h.tag, tag, 4);
    h.length = stated;
    h.channelMask = 0xF;
    h.seconds = 7;
    h.microseconds = 123456;
    h.sequence = 42;
    uint8_t hdr[24];
    wire::BuildAudioBlockHeader(h, hdr);
    std::memcpy(r.data(), hdr, std::min<size_t>(24, received));
    return r;
}

TEST(AudioRecord, TagsAndHeader)
{
    AudioRecord r;
    for (const char* tag : {"g723", "G723", "327g", "327G"}) {
        auto rec = Record(tag, 264, 264);
        ASSERT_TRUE(ParseAudioRecord(rec.data(), rec.size(), r)) << tag;
        EXPECT_EQ(r.sequence, 42u);
        EXPECT_EQ(r.seconds, 7u);
        EXPECT_EQ(r.microseconds, 123456u);
    }
    auto bad = Record("g724", 264, 264);
    EXPECT_FALSE(ParseAudioRecord(bad.data(), bad.size(), r));
    auto shortHeader = Record("g723", 264, 23);
    EXPECT_FALSE(ParseAudioRecord(shortHeader.data(), shortHeader.size(), r));
    EXPECT_EQ(r.data, nullptr);
    EXPECT_FALSE(ParseAudioRecord(nullptr, 264, r));
}

TEST(AudioRecord, BlocksOnlyWhereBothLengthsHoldThem)
{
    AudioRecord r;
    // Stated length covers channels 0-2 only.
    auto rec = Record("g723", 24 + 3 * 48, 264);
    ASSERT_TRUE(ParseAudioRecord(rec.data(), rec.size(), r));
    EXPECT_EQ(r.ChannelBlock(2), rec.data() + 24 + 96);
    EXPECT_EQ(r.ChannelBlock(3), nullptr);
    EXPECT_EQ(r.TalkBackBlock(), nullptr);
    EXPECT_EQ(r.ChannelBlock(4), nullptr);

    // Received bytes one short of channel 1's end, though the header claims more.
    auto cut = Record("G723", 0xFFFFFFFF, 24 + 2 * 48 - 1);
    ASSERT_TRUE(ParseAudioRecord(cut.data(), cut.size(), r));
    EXPECT_NE(r.ChannelBlock(0), nullptr);
    EXPECT_EQ(r.ChannelBlock(1), nullptr);

    auto talk = Record("327g", 264, 264);
    ASSERT_TRUE(ParseAudioRecord(talk.data(), talk.size(), r));
    EXPECT_EQ(r.TalkBackBlock(), talk.data() + 216);
    ASSERT_TRUE(ParseAudioRecord(talk.data(), 263, r));
    EXPECT_EQ(r.TalkBackBlock(), nullptr);
    EXPECT_NE(r.ChannelBlock(3), nullptr);
}

TEST(AudioGap, RepeatsOnlyForGapsOfTwoToNinetyNine)
{
    EXPECT_EQ(RepeatCount(11, 10), 0u);
    EXPECT_EQ(RepeatCount(12, 10), 1u);
    EXPECT_EQ(RepeatCount(13, 10), 2u);
    EXPECT_EQ(RepeatCount(109, 10), 98u);
    EXPECT_EQ(RepeatCount(110, 10), 0u);
    EXPECT_EQ(RepeatCount(10, 10), 0u);
    EXPECT_EQ(RepeatCount(8, 10), 0u);
    EXPECT_EQ(RepeatCount(1, 0xFFFFFFFFu), 1u); // across the wrap
    EXPECT_EQ(RepeatCount(5000, 0), 0u); // first record of a stream
}

TEST(AudioGap, SofteningHalvesEachSixteenBitSampleTowardZero)
{
    auto block = [](std::initializer_list<int16_t> v) {
        std::vector<uint8_t> b;
        for (int16_t x : v) {
            b.push_back(static_cast<uint8_t>(static_cast<uint16_t>(x) & 0xFF));
            b.push_back(static_cast<uint8_t>(static_cast<uint16_t>(x) >> 8));
        }
        return b;
    };
    auto sample = [](const std::vector<uint8_t>& b, size_t i) {
        return static_cast<int16_t>(static_cast<uint16_t>(b[2 * i] | b[2 * i + 1] << 8));
    };
    auto s = block({0, 0, 0, -1000});
    auto t = block({9, -3, -200, 32767});
    SoftenBlock(s.data(), t.data(), t.size());
    // First sample: -1000 - (-1000 - -3) / 2 = -502, then halved; quiet samples stay quiet.
    EXPECT_EQ(sample(t, 0), -251);
    EXPECT_EQ(sample(t, 1), -1); // -3 / 2 truncates toward zero
    EXPECT_EQ(sample(t, 2), -100); // not +28, as halving each byte would make it
    EXPECT_EQ(sample(t, 3), 16383);

    auto same = block({1, 10, 20, 30});
    SoftenBlock(same.data(), same.data(), same.size()); // first: 30 - (30 - 10) / 2 = 20
    EXPECT_EQ(sample(same, 0), 10);
    EXPECT_EQ(sample(same, 1), 5);
    EXPECT_EQ(sample(same, 3), 15);
}

TEST(AudioRing, DryAndBufferedTests)
{
    const uint32_t size = 51200;
    EXPECT_EQ(BufferedBytes(5120, 0, size), 5120u);
    EXPECT_EQ(BufferedBytes(256, 51000, size), 456u);
    EXPECT_EQ(BufferedBytes(0, 0, size), size); // at or past: counted as a whole ring

    EXPECT_FALSE(RingRanDry(1000, 1500, 5120)); // data still ahead
    EXPECT_TRUE(RingRanDry(1000, 1500, 1200)); // position inside the stretch being played
    EXPECT_FALSE(RingRanDry(1000, 1500, 1500));
    EXPECT_TRUE(RingRanDry(51000, 300, 100)); // cursors straddle the end
    EXPECT_TRUE(RingRanDry(51000, 300, 51100));
    EXPECT_FALSE(RingRanDry(51000, 300, 2000));
    EXPECT_FALSE(RingRanDry(0, 0, 0)); // stopped
}

TEST(AudioRing, RoomStopsShortOfUnplayedAudio)
{
    const uint32_t size = 51200;
    EXPECT_TRUE(RingHasRoom(false, 0, 0, 0, size, 256));
    EXPECT_TRUE(RingHasRoom(false, 0, 0, size - 512, size, 256));
    EXPECT_FALSE(RingHasRoom(false, 0, 0, size - 256, size, 256)); // would reach the resting cursor
    // Playing at 10000 with our position just behind it: the ring is full.
    EXPECT_FALSE(RingHasRoom(true, 10000, 10400, 9744, size, 256));
    EXPECT_TRUE(RingHasRoom(true, 10000, 10400, 9488, size, 256));
    // Device cursors straddling the end are a small stretch, not a full ring.
    EXPECT_TRUE(RingHasRoom(true, 51000, 200, 8000, size, 256));
    EXPECT_FALSE(RingHasRoom(true, 0, 0, 0, size, size + 1));
}

} // namespace

namespace {
TEST(AudioRing, DryIsSeenEvenWhenTheCursorsSteppedPastThePosition)
{
    const uint32_t size = 51200;
    // Cursors move in 160-byte steps: at one look (4960, 5120), at the next (5280, 5440). Position
    // 5120 was never strictly between them, yet the ring ran dry.
    EXPECT_FALSE(RingRanDry(4960, 5120, 5120));
    EXPECT_FALSE(RingRanDry(5280, 5440, 5120));
    EXPECT_TRUE(RingRanDrySince(4960, 5280, 5440, 5120, size));
    EXPECT_TRUE(RingRanDrySince(4800, 4960, 5120, 5120, size));
    EXPECT_FALSE(RingRanDrySince(4800, 4960, 5120, 5376, size)); // data still ahead
    EXPECT_TRUE(RingRanDrySince(51040, 160, 320, 0, size)); // across the end
    EXPECT_FALSE(RingRanDrySince(51040, 160, 320, 1024, size));
    EXPECT_FALSE(RingRanDrySince(0, 0, 160, 5120, size)); // just started
}
} // namespace
