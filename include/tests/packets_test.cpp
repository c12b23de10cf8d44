// Each packet layout byte for byte, the login reply and phone reply parsers, the administrator test.
#include "wire/Packets.h"
#include "skin/SkinCode.h"
#include <gtest/gtest.h>
#include <cstring>
#include <vector>

using namespace protocol;

namespace {
uint32_t U32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
std::vector<uint8_t> V(std::initializer_list<int> b) { return std::vector<uint8_t>(b.begin(), b.end()); }
} // namespace

TEST(Login, LayoutLowerCaseAndSkinBit)
{
    uint8_t out[kLoginSize];
    std::memset(out, 0xCC, sizeof out);
    BuildLogin("ADMIN#Ab", "Pw1", true, skin::kSkinCodeXJVQ, out);
    EXPECT_EQ(0, std::memcmp(out, "admin#ab\0", 9));
    for (size_t i = 9; i < 128; ++i)
        ASSERT_EQ(0, out[i]) << i;
    EXPECT_EQ(0, std::memcmp(out + 128, "Pw1\0", 4)); // the password keeps its case
    for (size_t i = 132; i < 260; ++i)
        ASSERT_EQ(0, out[i]) << i;
    EXPECT_EQ(1u, U32(out + 260));
    EXPECT_EQ(0x80000000u, U32(out + 264));
    EXPECT_EQ(0u, U32(out + 268));

    BuildLogin("ADMIN", "x", false, 0x41424344u, out); // the manager: case kept, no skin bit
    EXPECT_EQ(0, std::memcmp(out, "ADMIN\0", 6));
    EXPECT_EQ(0u, U32(out + 264));
}

TEST(Login, OnlyAsciiLettersAreLowered)
{
    uint8_t out[kLoginSize];
    // 0xC4 is an upper-case letter in the Western code page; it stays as the ANSI conversion gave it.
    BuildLogin(std::string_view("\xC4Z[@", 4), "", true, 0, out);
    EXPECT_EQ(0xC4, out[0]);
    EXPECT_EQ('z', out[1]);
    EXPECT_EQ('[', out[2]);
    EXPECT_EQ('@', out[3]);
}

TEST(Login, LongFieldsAreCutAndStayTerminated)
{
    uint8_t out[kLoginSize];
    std::string id(300, 'A'), pw(300, 'p');
    BuildLogin(id, pw, true, 0, out);
    EXPECT_EQ('a', out[126]);
    EXPECT_EQ(0, out[127]);
    EXPECT_EQ('p', out[128 + 130]);
    EXPECT_EQ(0, out[128 + 131]);
    EXPECT_EQ(1u, U32(out + 260)); // not overwritten by the password
}

TEST(Packets, FixedLayouts)
{
    uint8_t sr[kStreamRequestSize];
    BuildStreamRequest(StreamRequestMask(false, 0x0F0F), 3, sr);
    EXPECT_EQ(V({0, 0, 0, 0, 0x0F, 0x0F, 0, 0, 8, 0, 0, 0}), std::vector<uint8_t>(sr, sr + 12));
    EXPECT_EQ(15u, StreamRequestMask(true, 0xFFFF));

    uint8_t pa[kPtzActionSize];
    BuildPtzAction(2, 22, pa);
    EXPECT_EQ(V({2, 0, 0, 0, 22, 0, 0, 0, 1, 0, 0, 0, 5, 0, 0, 0}), std::vector<uint8_t>(pa, pa + 16));

    uint8_t cr[kChannelRequestSize];
    std::memset(cr, 0xAA, sizeof cr);
    BuildChannelRequest(0x8001, -1, cr);
    std::vector<uint8_t> want(32, 0);
    want[0] = 0x01;
    want[1] = 0x80;
    want[4] = want[5] = want[6] = want[7] = 0xFF;
    EXPECT_EQ(want, std::vector<uint8_t>(cr, cr + 32));

    uint8_t pp[kPicturePollSize];
    BuildPicturePoll(pp);
    EXPECT_EQ(V({1, 0, 0, 0, 0, 0, 0, 0}), std::vector<uint8_t>(pp, pp + 8));

    uint8_t ps[kPhoneSwitchSize];
    BuildPhoneSwitch(true, ps);
    EXPECT_EQ(V({1, 0, 0, 0}), std::vector<uint8_t>(ps, ps + 4));
    BuildPhoneSwitch(false, ps);
    EXPECT_EQ(V({2, 0, 0, 0}), std::vector<uint8_t>(ps, ps + 4));

    uint8_t ch[kConfigurationHeaderSize];
    std::memset(ch, 0xAA, sizeof ch);
    BuildConfigurationHeader(1, ch);
    want.assign(32, 0);
    want[0] = 1;
    want[4] = 1;
    want[8] = 136;
    EXPECT_EQ(want, std::vector<uint8_t>(ch, ch + 32));

    uint8_t ph[kPhoneHeaderSize];
    BuildPhoneHeader(0x01020304, 7, ph);
    EXPECT_EQ(V({4, 0, 0, 0, 0x38, 1, 0, 0, 4, 3, 2, 1, 7, 0, 0, 0}), std::vector<uint8_t>(ph, ph + 16));

    uint8_t pb[24];
    BuildPhoneBlockHeader(5, 6, 7, pb);
    EXPECT_EQ(0, std::memcmp(pb, "327g", 4));
    EXPECT_EQ(312u, U32(pb + 4));
    EXPECT_EQ(0x10000u, U32(pb + 8));
    EXPECT_EQ(5u, U32(pb + 12));
    EXPECT_EQ(6u, U32(pb + 16));
    EXPECT_EQ(7u, U32(pb + 20));
}

TEST(Packets, CounterToTimeDoesNotOverflowOnLongUptimes)
{
    uint32_t s = 0, us = 0;
    CounterToTime(10'000'000ull * 3 + 2'500'000, 10'000'000, s, us);
    EXPECT_EQ(3u, s);
    EXPECT_EQ(250000u, us);
    // 40 days at 10 MHz: counter * 10^6 would overflow 64 bits.
    uint64_t f = 10'000'000, c = f * 86400 * 40 + f / 4;
    CounterToTime(c, f, s, us);
    EXPECT_EQ(86400u * 40, s);
    EXPECT_EQ(250000u, us);
    CounterToTime(5, 0, s, us);
    EXPECT_EQ(0u, s);
}

TEST(LoginReply, FieldsAndRejections)
{
    uint8_t b[40];
    BuildLoginReply(1, 8, 0, 0x80, 1, b);
    LoginReply r = ParseLoginReply(b, 32);
    ASSERT_TRUE(r.present);
    EXPECT_TRUE(r.HasChannelInfo());
    EXPECT_TRUE(r.Accepted());
    EXPECT_FALSE(r.WrongCredentials());
    EXPECT_EQ(8, r.channelCount);
    EXPECT_TRUE(r.FourChannelLimited());
    EXPECT_EQ(1, r.DecoderOption());

    BuildLoginReply(2, 16, 3, 0, 1, b);
    r = ParseLoginReply(b, 32);
    EXPECT_FALSE(r.Accepted());
    EXPECT_TRUE(r.WrongCredentials());
    EXPECT_EQ(0, r.DecoderOption());

    // Too short to reach the word at 28: as if no payload came.
    EXPECT_FALSE(ParseLoginReply(b, 31).present);
    EXPECT_FALSE(ParseLoginReply(nullptr, 32).present);

    // No channel information: word zero, or a count the viewer's 16-channel tables cannot hold.
    for (int count : {0, 17, 255}) {
        BuildLoginReply(1, static_cast<uint8_t>(count), 0, 0, 1, b);
        r = ParseLoginReply(b, 32);
        EXPECT_TRUE(r.present);
        EXPECT_FALSE(r.HasChannelInfo()) << count;
    }
    BuildLoginReply(1, 4, 0, 0, 0, b);
    EXPECT_FALSE(ParseLoginReply(b, 32).HasChannelInfo());
    BuildLoginReply(1, 1, 0, 0, 0xFFFFFFFF, b);
    EXPECT_TRUE(ParseLoginReply(b, 40).HasChannelInfo());
}

TEST(PhoneReply, Effects)
{
    auto parse = [](int32_t a, int32_t b, size_t n = 8) {
        uint8_t p[8] = {uint8_t(a), uint8_t(a >> 8), uint8_t(a >> 16), uint8_t(a >> 24),
                        uint8_t(b), uint8_t(b >> 8), uint8_t(b >> 16), uint8_t(b >> 24)};
        return ParsePhoneReply(p, n);
    };
    EXPECT_EQ(PhoneReply::Allow, parse(1, 1).effect);
    EXPECT_EQ(PhoneReply::Forbid, parse(2, 5).effect);
    EXPECT_EQ(PhoneReply::NoChange, parse(1, 0).effect);
    EXPECT_EQ(PhoneReply::NoChange, parse(3, 1).effect);
    EXPECT_FALSE(parse(1, 1, 7).present);
}

TEST(Administrator, PrefixAfterLowerCasing)
{
    for (const char* yes : {"admin", "Admin", "ADMIN", "administrator", "AdMiN2"})
        EXPECT_TRUE(IsAdministrator(std::string_view(yes))) << yes;
    for (const char* no : {"xadmin", "admi", "", " admin", "user", "manager"})
        EXPECT_FALSE(IsAdministrator(std::string_view(no))) << no;
    EXPECT_TRUE(IsAdministrator(std::u16string_view(u"ADMIN")));
    EXPECT_FALSE(IsAdministrator(std::u16string_view(u"\u0130admin")));
}
