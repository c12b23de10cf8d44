// Framing round trips in any split, and the refusal of malformed and oversized frames.
#include "conduix/Framing.h"
#include <gtest/gtest.h>
#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace conduix;

namespace {
struct Got {
    FrameKind kind;
    uint16_t command;
    std::vector<uint8_t> payload;
    uint32_t value, open;
};

// Feeds `bytes` in pieces of at most `piece` and collects what comes out.
std::vector<Got> Decode(const std::vector<uint8_t>& bytes, size_t piece, FrameDecoder& dec, bool& failed)
{
    std::vector<Got> out;
    failed = false;
    size_t at = 0;
    for (;;) {
        Frame f;
        FrameDecoder::Result r;
        while ((r = dec.Next(f)) == FrameDecoder::Result::Ready)
            out.push_back({f.kind, f.header.command, std::vector<uint8_t>(f.payload, f.payload + f.payloadLength),
                           f.statusValue, f.statusOpen});
        if (r == FrameDecoder::Result::Failed) {
            failed = true;
            return out;
        }
        if (at == bytes.size())
            return out;
        at += dec.Feed(bytes.data() + at, std::min(piece, bytes.size() - at));
    }
}

std::vector<uint8_t> Pattern(size_t n, uint8_t seed)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<uint8_t>(seed + i * 7);
    return v;
}
} // namespace

TEST(Framing, HeaderBytes)
{
    std::vector<uint8_t> out;
    uint8_t payload[3] = {9, 8, 7};
    AppendPacketFrame(out, 85, payload, 3, 0x01020304);
    std::vector<uint8_t> want = {'C', 'X', 1, 2, 19, 0, 0,  0, // frame header, body 16 + 3
                                 4,   3,   2, 1, 0,  0, 85, 0, 3, 0, 0, 0, 0, 0, 0, 0, 9, 8, 7};
    EXPECT_EQ(want, out);
    out.clear();
    AppendStreamStatusFrame(out, 5, 1);
    EXPECT_EQ((std::vector<uint8_t>{'C', 'X', 1, 4, 8, 0, 0, 0, 5, 0, 0, 0, 1, 0, 0, 0}), out);
    out.clear();
    AppendInitFrame(out);
    EXPECT_EQ((std::vector<uint8_t>{'C', 'X', 1, 1, 0, 0, 0, 0}), out);
}

TEST(Framing, RoundTripInEverySplit)
{
    std::vector<uint8_t> bytes;
    AppendInitFrame(bytes);
    auto big = Pattern(300000, 3);
    auto small = Pattern(272, 1);
    AppendPacketFrame(bytes, 1, small.data(), small.size(), 0);
    AppendPacketFrame(bytes, 85, nullptr, 0, 1);
    AppendStreamFrame(bytes, 83, big.data(), big.size(), 0);
    AppendStreamFrame(bytes, 138, nullptr, 0, 1);
    AppendStreamStatusFrame(bytes, 7, 1);
    AppendStreamFrame(bytes, 83, nullptr, 0, 2);
    auto maxBlock = Pattern(kMaxPayload, 9);
    AppendStreamFrame(bytes, 83, maxBlock.data(), maxBlock.size(), 3);

    for (size_t piece : {size_t(1), size_t(7), size_t(4096), size_t(1) << 22}) {
        FrameDecoder dec(3072);
        bool failed = false;
        auto got = Decode(bytes, piece, dec, failed);
        ASSERT_FALSE(failed) << piece;
        ASSERT_EQ(8u, got.size()) << piece;
        EXPECT_EQ(FrameKind::Init, got[0].kind);
        EXPECT_EQ(1, got[1].command);
        EXPECT_EQ(small, got[1].payload);
        EXPECT_EQ(85, got[2].command);
        EXPECT_TRUE(got[2].payload.empty());
        EXPECT_EQ(FrameKind::Stream, got[3].kind);
        EXPECT_EQ(big, got[3].payload);
        EXPECT_EQ(138, got[4].command);
        EXPECT_EQ(FrameKind::StreamStatus, got[5].kind);
        EXPECT_EQ(7u, got[5].value);
        EXPECT_EQ(1u, got[5].open);
        EXPECT_EQ(maxBlock, got[7].payload);
        EXPECT_LE(dec.Capacity(), kFrameHeaderSize + kMaxFrameBody);
    }
}

TEST(Framing, EncoderRefusesOversizedPayload)
{
    std::vector<uint8_t> out;
    std::vector<uint8_t> tooBig(kMaxPayload + 1);
    EXPECT_FALSE(AppendPacketFrame(out, 1, tooBig.data(), tooBig.size(), 0));
    EXPECT_FALSE(AppendStreamFrame(out, 83, nullptr, 5, 0));
    EXPECT_TRUE(out.empty());
}

TEST(Framing, MalformedFramesFailWithoutAllocating)
{
    struct Case {
        std::vector<uint8_t> bytes;
        FrameError error;
    };
    std::vector<Case> cases = {
        {{'C', 'Y', 1, 2, 0, 0, 0, 0}, FrameError::BadMagic},
        {{'C', 'X', 2, 2, 0, 0, 0, 0}, FrameError::BadVersion},
        {{'C', 'X', 1, 0, 0, 0, 0, 0}, FrameError::BadKind},
        {{'C', 'X', 1, 5, 0, 0, 0, 0}, FrameError::BadKind},
        {{'C', 'X', 1, 3, 0xFF, 0xFF, 0xFF, 0xFF}, FrameError::TooLarge}, // 4 GiB stated
        {{'C', 'X', 1, 3, 0x11, 0x00, 0x10, 0x00}, FrameError::TooLarge}, // 1 MiB + 17
        {{'C', 'X', 1, 1, 1, 0, 0, 0, 0}, FrameError::BadBody}, // init with a body
        {{'C', 'X', 1, 4, 4, 0, 0, 0, 1, 0, 0, 0}, FrameError::BadBody}, // short status
        {{'C', 'X', 1, 2, 4, 0, 0, 0, 1, 2, 3, 4}, FrameError::BadBody}, // no packet header
    };
    // A packet header whose length disagrees with the body.
    std::vector<uint8_t> lying;
    AppendPacketFrame(lying, 1, "abcd", 4, 0);
    lying[8 + 8] = 9;
    cases.push_back({lying, FrameError::BadBody});

    for (auto& c : cases) {
        FrameDecoder dec(256);
        bool failed = false;
        auto got = Decode(c.bytes, 3, dec, failed);
        EXPECT_TRUE(failed);
        EXPECT_TRUE(got.empty());
        EXPECT_EQ(c.error, dec.Error()) << FrameErrorText(dec.Error());
        EXPECT_LE(dec.Capacity(), 128u * 1024); // nothing allocated for the stated length
        size_t room = 1;
        EXPECT_EQ(nullptr, dec.WriteArea(room));
        EXPECT_EQ(0u, dec.Feed(c.bytes.data(), c.bytes.size()));
    }
}

TEST(Framing, SideLimitAndGoodFramesBeforeABadOne)
{
    std::vector<uint8_t> bytes;
    auto p = Pattern(100, 1);
    AppendPacketFrame(bytes, 51, p.data(), p.size(), 0);
    auto q = Pattern(5000, 2);
    AppendStreamFrame(bytes, 83, q.data(), q.size(), 0);
    FrameDecoder dec(256, 4096);
    bool failed = false;
    auto got = Decode(bytes, 1000, dec, failed);
    EXPECT_TRUE(failed);
    ASSERT_EQ(1u, got.size()); // the packet before the oversized block still arrives
    EXPECT_EQ(p, got[0].payload);
    EXPECT_EQ(FrameError::TooLarge, dec.Error());
}
