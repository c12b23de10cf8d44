#include "MainFace.h"

#include <gtest/gtest.h>

using manager::BalloonBox;
using manager::IpLine;
using manager::LayOutBalloon;

TEST(MainFace, AddressLineIsCutFromTwentyThreeCharacters)
{
    EXPECT_EQ(IpLine(L"192.168.100.2001"), L"IP : 192.168.100.2001 "); // 16: whole, 22 characters
    EXPECT_EQ(IpLine(L"192.168.100.20012"), L"IP : 192.168.100.200...");
    EXPECT_EQ(IpLine(L"192.168.100.20012").size(), 23u);
    EXPECT_EQ(IpLine(std::wstring(59, L'a')).size(), 23u);
    EXPECT_EQ(IpLine(std::wstring(L"10.0.0.1\0junk", 13)), L"IP : 10.0.0.1 ") << "a field ends at its terminator";
    EXPECT_EQ(manager::IdLine(L"admin"), L"ID : admin ");
}

TEST(MainFace, BalloonLinesAndTheirPlaces)
{
    const BalloonBox box{100, 300, 600, 400}; // h = 100
    auto one = LayOutBalloon(L"one line", box);
    ASSERT_EQ(one.lines.size(), 1u);
    EXPECT_EQ(one.lineTops[0], 300 + 50 - 10) << "one line is centred";
    EXPECT_EQ(one.textLeft, 116);
    EXPECT_EQ(one.textRight, 595);

    auto two = LayOutBalloon(L"a\r\nb", box);
    EXPECT_EQ(two.lineTops, (std::vector<int>{300 + 33 - 10, 300 + 33 - 10 + 40}));
    auto three = LayOutBalloon(L"a\r\nb\r\nc", box);
    EXPECT_EQ(three.lineTops, (std::vector<int>{315, 345, 375}));
    EXPECT_EQ(three.box.top, 300) << "three lines keep the box";

    auto four = LayOutBalloon(L"a\r\nb\r\nc\r\nd", box);
    EXPECT_EQ(four.box.top, 292);
    EXPECT_EQ(four.box.bottom, 416);
    EXPECT_EQ(four.lineTops.front(), 292 - 4 + 16);
    EXPECT_EQ(four.lineTops.back(), 292 - 4 + 16 + 90);

    auto trailing = LayOutBalloon(L"text \r\n", box);
    EXPECT_EQ(trailing.lines, (std::vector<std::wstring>{L"text ", L""})) << "a final break starts an empty line";
    auto lone = LayOutBalloon(L"a\nb\rc", box);
    EXPECT_EQ(lone.lines.size(), 1u) << "only CR LF pairs break";
}
