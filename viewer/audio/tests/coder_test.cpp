// The coder's sizes, packing and state handling, and the coder set's buffers. Runs natively and
// under Wine; bit-exactness against the reference lives in oracle_test.cpp.
#include "AudioCoderSet.h"
#include "G723Coder.h"
#include "wire/StreamFrame.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

namespace {

std::vector<int16_t> Voice(size_t n, unsigned seed = 1)
{
    std::vector<int16_t> v(n);
    uint32_t x = seed;
    for (size_t i = 0; i < n; ++i) {
        x = x * 1664525u + 1013904223u;
        v[i] = static_cast<int16_t>(9000 * std::sin(i * 0.21) + 5000 * std::sin(i * 0.047 + seed) +
                                    static_cast<int>(x >> 22) - 512);
    }
    return v;
}

std::vector<uint8_t> Record(const char* tag, size_t size, unsigned seed)
{
    std::vector<uint8_t> r(size);
    uint32_t x = seed;
    for (auto& b : r) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 16);
    }
    std::memcpy(r.data(), tag, 4);
    return r;
}

} // namespace

TEST(G723Coder, BlockSizesAndQueries)
{
    CG723Coder c;
    const std::vector<int16_t> pcm = Voice(128);
    uint8_t coded[48];
    EXPECT_EQ(c.Encode(pcm.data(), 128, nullptr, 0), 48);
    EXPECT_EQ(c.EncoderState(), CG723Coder().EncoderState()) << "a size query must not code";
    EXPECT_EQ(c.Encode(pcm.data(), 128, coded, 48), 48);

    int16_t out[130];
    EXPECT_EQ(c.Decode(coded, 48, nullptr, 0), 128);
    EXPECT_EQ(c.Decode(coded, 4, nullptr, 0), 10);
    EXPECT_EQ(c.Decode(coded, 48, out, 128), 128);
    EXPECT_EQ(c.Decode(coded, 0, out, 0), 0);
    EXPECT_EQ(c.Decode(coded, -3, out, 130), -1);
    EXPECT_EQ(c.Decode(nullptr, 3, out, 130), -1);
    EXPECT_EQ(c.Encode(pcm.data(), -1, coded, 48), -1);
}

TEST(G723Coder, TooSmallCapacityWritesNothingAndKeepsState)
{
    CG723Coder c;
    const std::vector<int16_t> pcm = Voice(128);
    std::vector<uint8_t> coded(48, 0xAB);
    EXPECT_EQ(c.Encode(pcm.data(), 128, coded.data(), 47), -1);
    EXPECT_EQ(coded, std::vector<uint8_t>(48, 0xAB));
    EXPECT_EQ(c.EncoderState(), CG723Coder().EncoderState());

    ASSERT_EQ(c.Encode(pcm.data(), 128, coded.data(), 48), 48);
    std::vector<int16_t> out(128, 0x5A5A);
    EXPECT_EQ(c.Decode(coded.data(), 48, out.data(), 127), -1);
    EXPECT_EQ(out, std::vector<int16_t>(128, 0x5A5A));
    EXPECT_EQ(c.DecoderState(), CG723Coder().DecoderState());
}

TEST(G723Coder, EveryEncodedSampleAdvancesTheState)
{
    const std::vector<int16_t> pcm = Voice(130);
    CG723Coder block, single, shorter;
    uint8_t coded[49];
    ASSERT_EQ(block.Encode(pcm.data(), 130, coded, 49), 48);
    uint8_t none;
    for (int i = 0; i < 130; ++i)
        ASSERT_EQ(single.Encode(pcm.data() + i, 1, &none, 0), 0);
    EXPECT_EQ(block.EncoderState(), single.EncoderState());
    ASSERT_EQ(shorter.Encode(pcm.data(), 128, coded, 48), 48);
    EXPECT_NE(block.EncoderState(), shorter.EncoderState());
}

TEST(G723Coder, PackingLayout)
{
    const uint8_t codes[8] = {0, 1, 2, 3, 4, 5, 6, 7};
    uint8_t bytes[3];
    g726::PackCodes(codes, 8, bytes);
    // byte 0: code 0, code 1, low bits of code 2; byte 1: top bit of 2, codes 3, 4, low bit of 5...
    EXPECT_EQ(bytes[0], 0x88);
    EXPECT_EQ(bytes[1], 0xC6);
    EXPECT_EQ(bytes[2], 0xFA);
    uint8_t back[8];
    g726::UnpackCodes(bytes, 3, back);
    EXPECT_EQ(0, std::memcmp(back, codes, 8));

    // Leftover bytes carry the first code words of a group: 2 bytes hold 5 whole codes.
    const uint8_t tail[2] = {0x88, 0xC6};
    uint8_t five[5];
    g726::UnpackCodes(tail, 2, five);
    EXPECT_EQ(0, std::memcmp(five, codes, 5));
}

TEST(G723Coder, LeftoverBytesDecodeTheirWholeCodeWords)
{
    const std::vector<int16_t> pcm = Voice(16, 3);
    CG723Coder enc;
    uint8_t coded[6];
    ASSERT_EQ(enc.Encode(pcm.data(), 16, coded, 6), 6);

    // 4 bytes: 8 samples from the group and 2 from the low six bits of the fourth byte.
    CG723Coder a, b, c;
    int16_t four[10], six[16], flipped[10];
    ASSERT_EQ(a.Decode(coded, 4, four, 10), 10);
    ASSERT_EQ(b.Decode(coded, 6, six, 16), 16);
    EXPECT_EQ(0, std::memcmp(four, six, sizeof four));
    uint8_t changed[4] = {coded[0], coded[1], coded[2], static_cast<uint8_t>(coded[3] ^ 0xC0)};
    ASSERT_EQ(c.Decode(changed, 4, flipped, 10), 10);
    EXPECT_EQ(0, std::memcmp(four, flipped, sizeof four));
}

TEST(G723Coder, PartGroupBytesAreDefined)
{
    // 11 samples give 4 bytes; the fourth holds codes 8, 9 and the low bits of code 10, as a
    // longer encode of the same start does.
    const std::vector<int16_t> pcm = Voice(16, 4);
    CG723Coder shortEnc, longEnc;
    uint8_t s[4] = {0xEE, 0xEE, 0xEE, 0xEE}, l[6];
    ASSERT_EQ(shortEnc.Encode(pcm.data(), 11, s, 4), 4);
    ASSERT_EQ(longEnc.Encode(pcm.data(), 16, l, 6), 6);
    EXPECT_EQ(0, std::memcmp(s, l, 4));
}

TEST(G723Coder, DirectionsDoNotShareState)
{
    const std::vector<int16_t> pcm = Voice(256);
    CG723Coder a, b;
    uint8_t coded[96];
    ASSERT_EQ(a.Encode(pcm.data(), 256, coded, 96), 96);
    EXPECT_EQ(a.DecoderState(), b.DecoderState());
    int16_t out[256];
    ASSERT_EQ(b.Decode(coded, 96, out, 256), 256);
    // The decoder tracks the encoder exactly: same codes, same state.
    EXPECT_EQ(a.EncoderState(), b.DecoderState());
    double err = 0, sig = 0;
    for (int i = 64; i < 256; ++i) {
        sig += double(pcm[i]) * pcm[i];
        err += double(pcm[i] - out[i]) * (pcm[i] - out[i]);
    }
    EXPECT_GT(10 * std::log10(sig / err), 6.0) << "decoded audio should resemble the input";
}

TEST(AudioTag, ExactAndCaseSensitive)
{
    for (const char* tag : {"g723", "G723", "327g", "327G"})
        EXPECT_TRUE(wire::IsAudioTag(reinterpret_cast<const uint8_t*>(tag), 4)) << tag;
    // Fourth byte off, wrong case of one character, a byte-swapped tag that is not one of the four.
    for (const char* tag : {"g72X", "G72g", "327X", "g72G", "G7 3", "3G72", "723g", "gG23"})
        EXPECT_FALSE(wire::IsAudioTag(reinterpret_cast<const uint8_t*>(tag), 4)) << tag;
    EXPECT_FALSE(wire::IsAudioTag(reinterpret_cast<const uint8_t*>("g723"), 3));
    EXPECT_FALSE(wire::IsAudioTag(nullptr, 4));
}

TEST(AudioCoderSet, DecodePacketUsesTheChannelsBlockAndCoder)
{
    CAudioCoderSet set;
    ASSERT_EQ(set.Init(CAudioCoderSet::kDefaultCoders), 1);
    EXPECT_EQ(set.Count(), 6);
    CG723Coder solo[4];
    for (int round = 0; round < 3; ++round) {
        const std::vector<uint8_t> rec = Record(round == 1 ? "327G" : "g723", 264, 10 + round);
        for (int ch = 0; ch < 4; ++ch) {
            const int16_t* pcm = nullptr;
            ASSERT_EQ(set.DecodePacket(ch, rec.data(), rec.size(), &pcm), 256);
            ASSERT_NE(pcm, nullptr);
            int16_t expect[128];
            ASSERT_EQ(solo[ch].Decode(rec.data() + 24 + 48 * ch, 48, expect, 128), 128);
            EXPECT_EQ(0, std::memcmp(pcm, expect, 256)) << "round " << round << " channel " << ch;
        }
    }
}

TEST(AudioCoderSet, DecodePacketRefusesWhatIsNotThere)
{
    CAudioCoderSet set;
    const int16_t* pcm = reinterpret_cast<const int16_t*>(&set);
    const std::vector<uint8_t> rec = Record("g723", 216, 5);
    EXPECT_EQ(set.DecodePacket(0, rec.data(), rec.size(), &pcm), 0) << "no coders yet";
    EXPECT_EQ(pcm, nullptr);
    ASSERT_EQ(set.Init(6), 1);
    EXPECT_EQ(set.DecodePacket(3, rec.data(), rec.size(), &pcm), 256);
    EXPECT_EQ(set.DecodePacket(4, rec.data(), rec.size(), &pcm), 0) << "block 4 lies past the record";
    EXPECT_EQ(set.DecodePacket(3, rec.data(), 215, &pcm), 0) << "one byte short";
    EXPECT_EQ(set.DecodePacket(-1, rec.data(), rec.size(), &pcm), 0);
    const std::vector<uint8_t> big = Record("g723", 24 + 48 * 8, 6);
    EXPECT_EQ(set.DecodePacket(6, big.data(), big.size(), &pcm), 0) << "no coder 6";
    const std::vector<uint8_t> video = Record("g72x", 264, 7);
    EXPECT_EQ(set.DecodePacket(0, video.data(), video.size(), &pcm), 0);
    EXPECT_EQ(pcm, nullptr);
}

TEST(AudioCoderSet, DecodeRawAndEncode)
{
    CAudioCoderSet set;
    ASSERT_EQ(set.Init(6), 1);
    const std::vector<uint8_t> talk = Record("xxxx", 48, 8);
    CG723Coder solo;
    for (int round = 0; round < 2; ++round) {
        const int16_t* pcm = nullptr;
        ASSERT_EQ(set.DecodeRaw(4, talk.data(), 48, &pcm), 256);
        int16_t expect[128];
        ASSERT_EQ(solo.Decode(talk.data(), 48, expect, 128), 128);
        EXPECT_EQ(0, std::memcmp(pcm, expect, 256));
    }
    const int16_t* pcm = nullptr;
    EXPECT_EQ(set.DecodeRaw(4, talk.data(), 4, &pcm), 20);
    EXPECT_EQ(set.DecodeRaw(6, talk.data(), 48, &pcm), 0);
    EXPECT_EQ(pcm, nullptr);

    const std::vector<int16_t> mic = Voice(131, 9);
    CG723Coder enc;
    const uint8_t* coded = nullptr;
    ASSERT_EQ(set.Encode(mic.data(), 128, &coded), 48);
    uint8_t expect[49];
    ASSERT_EQ(enc.Encode(mic.data(), 128, expect, 48), 48);
    EXPECT_EQ(0, std::memcmp(coded, expect, 48));
    // 131 samples need 49 bytes, more than (131 x 3 / 16) x 2 = 48.
    ASSERT_EQ(set.Encode(mic.data(), 131, &coded), 49);
    ASSERT_EQ(enc.Encode(mic.data(), 131, expect, 49), 49);
    EXPECT_EQ(0, std::memcmp(coded, expect, 49));
    EXPECT_EQ(set.Encode(mic.data(), 2, &coded), 0);
    EXPECT_EQ(coded, nullptr);
    EXPECT_NE(set.Coder(0)->EncoderState(), CG723Coder().EncoderState());
}

TEST(AudioCoderSet, InitResetsAndReleaseTwiceIsSafe)
{
    CAudioCoderSet set;
    ASSERT_EQ(set.Init(6), 1);
    const std::vector<int16_t> mic = Voice(128);
    const uint8_t* coded = nullptr;
    ASSERT_EQ(set.Encode(mic.data(), 128, &coded), 48);
    ASSERT_EQ(set.Init(2), 1);
    EXPECT_EQ(set.Count(), 2);
    EXPECT_EQ(set.Coder(0)->EncoderState(), CG723Coder().EncoderState());
    EXPECT_EQ(set.Coder(2), nullptr);
    EXPECT_EQ(set.Init(-1), 0);
    EXPECT_EQ(set.Count(), 0);
    EXPECT_EQ(set.Encode(mic.data(), 128, &coded), -1);
    set.Release();
    set.Release();
}

TEST(AudioCoderSet, PacketRawAndEncodeRunSideBySide)
{
    // The decode thread decodes packets and talk-back while the UI thread encodes: each uses its
    // own coder and buffer (run under ThreadSanitizer to check).
    CAudioCoderSet set;
    ASSERT_EQ(set.Init(6), 1);
    const std::vector<uint8_t> rec = Record("G723", 264, 11);
    const std::vector<int16_t> mic = Voice(128);
    std::thread decoder([&] {
        for (int i = 0; i < 200; ++i) {
            const int16_t* a = nullptr;
            const int16_t* b = nullptr;
            EXPECT_EQ(set.DecodePacket(1, rec.data(), rec.size(), &a), 256);
            EXPECT_EQ(set.DecodeRaw(4, rec.data() + 216, 48, &b), 256);
        }
    });
    for (int i = 0; i < 200; ++i) {
        const uint8_t* coded = nullptr;
        EXPECT_EQ(set.Encode(mic.data(), 128, &coded), 48);
    }
    decoder.join();
}
