#include "wire/ByteOrder.h"
#include <gtest/gtest.h>

TEST(ByteReader, ReadsLittleEndianAndRefusesShortReads)
{
    const uint8_t b[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0xFF};
    wire::ByteReader r(b, sizeof b);
    uint32_t v32 = 0;
    uint16_t v16 = 0;
    ASSERT_TRUE(r.U32(v32));
    EXPECT_EQ(v32, 0x04030201u);
    ASSERT_TRUE(r.U16(v16));
    EXPECT_EQ(v16, 0x0605);
    EXPECT_EQ(r.Remaining(), 1u);
    EXPECT_FALSE(r.U16(v16)); // one byte left
    EXPECT_EQ(v16, 0x0605); // untouched
    EXPECT_FALSE(r.Ok());
    EXPECT_EQ(r.Offset(), 6u);
    uint8_t last = 0;
    EXPECT_TRUE(r.U8(last));
    EXPECT_EQ(last, 0xFF);
    EXPECT_FALSE(r.Skip(1));
}

TEST(ByteReader, HugeLengthsDoNotWrap)
{
    const uint8_t b[8] = {};
    wire::ByteReader r(b, sizeof b);
    ASSERT_TRUE(r.Skip(4));
    EXPECT_FALSE(r.Has(SIZE_MAX));
    EXPECT_EQ(r.Take(SIZE_MAX - 2), nullptr);
    EXPECT_EQ(r.Remaining(), 4u);
    wire::ByteReader none(nullptr, 100);
    EXPECT_EQ(none.Size(), 0u);
}

TEST(ByteOrder, StoreThenLoadRoundTrips)
{
    uint8_t b[4];
    wire::StoreLE32(b, 0xDEADBEEF);
    EXPECT_EQ(b[0], 0xEF);
    EXPECT_EQ(b[3], 0xDE);
    EXPECT_EQ(wire::LoadLE32(b), 0xDEADBEEFu);
    wire::StoreLE16(b, 0xBEEF);
    EXPECT_EQ(wire::LoadLE16(b), 0xBEEF);
}

#include "wire/StreamFrame.h"

TEST(StreamFrame, VideoHeaderRoundTripsAndShortBlocksAreRefused)
{
    wire::VideoFrameHeader h;
    h.word0 = wire::MakeVideoWord0(5, true);
    h.heightDiv16 = 36;
    h.widthDiv16 = 45;
    h.flags = 0x80;
    h.sequence = 77;
    h.zone = 84;
    h.total = wire::kMaxFrameTotal;
    uint8_t b[64];
    wire::BuildVideoFrameHeader(h, b);
    EXPECT_EQ(b[3], 16 + 5);
    wire::VideoFrameHeader g;
    ASSERT_TRUE(wire::ParseVideoFrameHeader(b, sizeof b, g));
    EXPECT_EQ(g.ChannelBits(), 21u);
    EXPECT_TRUE(g.Predicted());
    EXPECT_TRUE(g.Interlaced());
    EXPECT_EQ(g.Width(), 720);
    EXPECT_EQ(g.Height(), 576);
    EXPECT_EQ(g.sequence, 77u);
    EXPECT_EQ(g.zone, 84);
    EXPECT_EQ(g.total, 262016u);
    EXPECT_FALSE(wire::ParseVideoFrameHeader(b, 63, g));
}

TEST(StreamFrame, AudioTagsAreCaseSensitiveAndNeedFourBytes)
{
    EXPECT_TRUE(wire::IsAudioTag(reinterpret_cast<const uint8_t*>("327G...."), 8));
    EXPECT_TRUE(wire::IsAudioTag(reinterpret_cast<const uint8_t*>("g723"), 4));
    EXPECT_FALSE(wire::IsAudioTag(reinterpret_cast<const uint8_t*>("g7230"), 3));
    EXPECT_FALSE(wire::IsAudioTag(reinterpret_cast<const uint8_t*>("G72e"), 4));
    EXPECT_FALSE(wire::IsAudioTag(reinterpret_cast<const uint8_t*>("327x"), 4));
}
