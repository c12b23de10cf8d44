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
    EXPECT_EQ(v16, 0x0605);   // untouched
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
