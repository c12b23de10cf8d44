// The live view's request arithmetic: pages, channel masks, easy setup, the total-rate cap, the
// double-click grid and the speed level.
#include "LiveRequests.h"
#include <gtest/gtest.h>
#include <vector>

using namespace connection;

namespace {

std::vector<int> Channels(const Page& p) { return std::vector<int>(p.channels, p.channels + p.count); }

settings::ViewSetupRecord Record(int enabledChannels)
{
    settings::ViewSetupRecord r{};
    for (int c = 0; c < enabledChannels; ++c)
        r.channels[c] = {1, 1, 0, 8, 19, 15, 0, 0};
    r.easy = {1, {0, 1, 2, 3}, 2, 0, 0};
    return r;
}

TEST(PageRule, ConsecutiveChannelsWrapOnTheDvrsCount)
{
    struct Case {
        int layout, start, n;
        std::vector<int> shown;
    };
    const Case cases[] = {
        {2, 6, 8, {6, 7, 0, 1}},
        {2, 2, 4, {2, 3, 0, 1}},
        {3, 0, 8, {0, 1, 2, 3, 4, 5, 6, 7}}, // the ninth cell stays empty
        {3, 12, 16, {12, 13, 14, 15, 0, 1, 2, 3, 4}},
        {1, 9, 16, {0}}, // the lowest permitted channel
        {4, 5, 4, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},
        {2, 3, 0, {3, 4, 5, 6}}, // a count the DVR cannot have: 16
        {2, 15, 200, {15, 0, 1, 2}},
    };
    for (const Case& k : cases)
        EXPECT_EQ(Channels(PageChannels(k.layout, k.start, k.n)), k.shown) << k.layout << "/" << k.start << "/" << k.n;
    EXPECT_EQ(Channels(PageChannels(1, 0, 16, 0x0120)), std::vector<int>{5});
}

TEST(PageRule, RequestHoldsEnabledPageChannelsBelowTheCount)
{
    const settings::ViewSetupRecord all = Record(16);
    EXPECT_EQ(RequestMask(PageChannels(3, 0, 8), all.channels, 8), 0xFFu); // at most eight
    EXPECT_EQ(RequestMask(PageChannels(4, 0, 4), all.channels, 4), 0xFu);
    EXPECT_EQ(RequestMask(PageChannels(2, 6, 8), all.channels, 8), 0xC3u);
    settings::ViewSetupRecord some = all;
    some.channels[7].enabled = 0;
    EXPECT_EQ(RequestMask(PageChannels(2, 6, 8), some.channels, 8), 0x43u);
}

TEST(EasySetup, QualityFromTheLayoutsLevelAndOneRateForEveryChannel)
{
    settings::ViewSetupRecord r = Record(4);
    const int d1[16] = {4, 4, 4, 4};
    ApplyEasySetup(r, 4, d1, false); // 200 / 16 = 12, 12 / 4 = 3: step 3, 25 / 3 = 8, 25 / 8 = 3
    for (const auto& e : r.channels) {
        EXPECT_EQ(e.interval, 8);
        EXPECT_EQ(e.rate, 3);
        EXPECT_EQ(e.quality, 19); // level 3
    }
    r.easy.layoutLevel[0] = 4;
    ApplyEasySetup(r, 1, d1, false);
    EXPECT_EQ(r.channels[9].quality, 31);

    // clang-format off
    struct Case { int refresh; bool ntsc; int weights; int interval, rate; };
    // clang-format on
    const Case cases[] = {
        {0, true, 1, 1, 30}, // 240 / 4 = 60: the fastest step
        {3, true, 1, 4, 7}, // 60 / 8 = 7
        {1, false, 0, 25, 1}, // no weights count as 64: 200 / 64 = 3, halved 1
        {4, false, 4, 25, 2}, {5, true, 4, 30, 1},  {6, false, 4, 50, 5},
        {7, true, 4, 150, 5}, {9, false, 4, 8, 15}, // as stored
    };
    for (const Case& k : cases) {
        settings::ViewSetupRecord t = Record(4);
        t.easy.refresh = static_cast<uint8_t>(k.refresh);
        const int w[16] = {k.weights, k.weights, k.weights, k.weights};
        ApplyEasySetup(t, 2, w, k.ntsc);
        EXPECT_EQ(t.channels[0].interval, k.interval) << k.refresh;
        EXPECT_EQ(t.channels[3].rate, k.rate) << k.refresh;
    }
    settings::ViewSetupRecord manual = Record(4);
    manual.easy.easyOn = 0;
    ApplyEasySetup(manual, 4, d1, false);
    EXPECT_EQ(manual.channels[0].quality, 19);
    EXPECT_EQ(manual.channels[0].interval, 8);
}

settings::SetupTable FullRateTable(int channels, int weight)
{
    settings::ViewSetupRecord r = Record(channels);
    int w[16] = {};
    for (int c = 0; c < channels; ++c) {
        r.channels[c].interval = 1;
        w[c] = weight;
    }
    settings::SetupTable t;
    t.Load(r.channels, false, w);
    return t;
}

TEST(TotalRateCap, SlowsChannelByChannelUntilTheTotalFits)
{
    settings::SetupTable t = FullRateTable(16, 4); // 16 x 25 x 4 = 1600 against 200
    EXPECT_TRUE(CapTotalRate(t, false));
    EXPECT_LE(t.Total(), 200);
    // Several rounds: every channel is below 12 frames per second, and the first channels are
    // one step slower than the last (the cap stopped in the middle of a round).
    EXPECT_LE(t.Shown(15), 5);
    EXPECT_GE(t.Shown(15), t.Shown(0));
    const double before = t.Total();
    EXPECT_FALSE(CapTotalRate(t, false));
    EXPECT_EQ(t.Total(), before);

    settings::SetupTable easy = FullRateTable(16, 4);
    EXPECT_TRUE(CapTotalRate(easy, true)); // over the budget, but easy setup lowers it itself
    EXPECT_EQ(easy.Total(), 1600);

    settings::SetupTable cannot = FullRateTable(16, 4);
    for (int c = 0; c < 16; ++c)
        cannot.Row(c).weight = 4 * 4; // thirteen rounds end at one frame per second
    EXPECT_TRUE(CapTotalRate(cannot, false));
    EXPECT_EQ(cannot.Shown(0), 1);
}

TEST(DoubleClick, GridCellToChannelInRange)
{
    struct Case {
        int layout, column, row, start, n, channel;
    };
    const Case cases[] = {
        {2, 1, 1, 0, 16, 3},  {2, 0, 1, 6, 8, 0},  {2, 1, 1, 6, 8, 1},   {2, 1, 1, 2, 4, 1},
        {3, 2, 2, 0, 16, 8},  {3, 1, 2, 0, 8, 7},  {3, 2, 2, 0, 8, -1}, // the empty ninth cell
        {4, 3, 3, 0, 16, 15}, {4, 3, 3, 0, 8, -1}, {3, 3, 0, 0, 16, -1},
    };
    for (const Case& k : cases)
        EXPECT_EQ(DoubleClickChannel(k.layout, k.column, k.row, k.start, k.n), k.channel)
            << k.layout << " " << k.column << "," << k.row;
    int col = -1, row = -1;
    EXPECT_TRUE(GridCell(3, 300, 240, 299, 100, col, row));
    EXPECT_EQ(col, 2);
    EXPECT_EQ(row, 1);
    EXPECT_FALSE(GridCell(3, 301, 240, 300, 10, col, row)); // the strip left over by the division
    EXPECT_FALSE(GridCell(2, 100, 100, -1, 10, col, row));
    EXPECT_FALSE(GridCell(4, 2, 2, 0, 0, col, row));
}

TEST(SpeedLevel, UpNeverLowersAndUnknownDvrsCapAtTen)
{
    EXPECT_EQ(SpeedCap(-1), 10);
    EXPECT_EQ(SpeedCap(2), 5);
    EXPECT_EQ(SpeedCap(4), 10);
    EXPECT_EQ(SpeedUp(kSpeedLevelAtStart, SpeedCap(-1)), 5);
    EXPECT_EQ(SpeedUp(10, SpeedCap(-1)), 10);
    EXPECT_EQ(SpeedUp(4, SpeedCap(0)), 4); // a cap of 0 does not pull the level down
    EXPECT_EQ(SpeedDown(2), 1);
    EXPECT_EQ(SpeedDown(1), 1);
}

} // namespace
