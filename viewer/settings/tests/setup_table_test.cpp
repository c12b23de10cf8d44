// The settings record's defaults and short-file rule, and the setup dialog's arithmetic: the
// budget check, the D1 full-rate interval, the quality codes and the round trip of every position.
#include "SetupTable.h"
#include "ViewSetup.h"
#include <gtest/gtest.h>
#include <cstring>

using namespace settings;

namespace {

const uint8_t* Bytes(const ViewSetupRecord& r) { return reinterpret_cast<const uint8_t*>(&r); }

struct Table {
    ChannelEntry entries[kChannels] = {};
    int weights[kChannels] = {};
    SetupTable t;
    void Load(bool ntsc) { t.Load(entries, ntsc, weights); }
};

} // namespace

TEST(ViewSetup, DefaultRecordBytes)
{
    ViewSetupRecord r = DefaultViewSetup(8);
    const uint8_t* b = Bytes(r);
    const uint8_t entry[8] = {1, 1, 0, 8, 19, 15, 0, 0};
    for (int c = 0; c < 8; ++c)
        EXPECT_EQ(0, std::memcmp(b + 8 * c, entry, 8)) << c;
    for (size_t i = 64; i < 128; ++i)
        ASSERT_EQ(0, b[i]) << i; // channels the DVR does not have stay unused
    const uint8_t easy[8] = {1, 0, 1, 2, 3, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(b + 128, easy, 8));
    EXPECT_EQ(0, r.audioChoice);
}

TEST(ViewSetup, ShortFileGivesDefaultsButKeepsTheAudioBytesRead)
{
    // The file's bytes as the read leaves them in the record: 139 of 140, audio choice 1.
    ViewSetupRecord r;
    std::memset(&r, 0x55, sizeof r);
    r.audioChoice = 1;
    LoadOutcome o = FinishLoad(r, 139, 16);
    EXPECT_EQ(kLoadShort, o.result);
    EXPECT_EQ(1, o.audioRead);
    ViewSetupRecord d = DefaultViewSetup(16);
    EXPECT_EQ(0, std::memcmp(&r, &d, sizeof r));

    std::memset(&r, 0x55, sizeof r);
    o = FinishLoad(r, 140, 16);
    EXPECT_EQ(kLoadRead, o.result);
    EXPECT_EQ(0x55, Bytes(r)[0]); // a whole record is taken as it stands
}

TEST(SetupTable, NtscSixteenChannelsAtFullRateAreOverTheBudget)
{
    Table x;
    for (int c = 0; c < kChannels; ++c) {
        x.entries[c] = ChannelEntry{1, 1, 0, 1, 19, 30, 0, 0};
        x.weights[c] = kClassCif;
    }
    x.Load(true);
    EXPECT_EQ(11, x.t.Row(5).position);
    EXPECT_EQ("480.0 / 240", x.t.TotalText());
    EXPECT_TRUE(x.t.Refuses(false));
    EXPECT_FALSE(x.t.Refuses(true)); // easy setup lowers the rates itself

    x.t.Row(3).enabled = false; // a disabled channel shows 0 and adds nothing
    EXPECT_EQ("0", WeightedText(x.t.Shown(3), x.t.Row(3).weight, x.t.Row(3).enabled));
    EXPECT_EQ("450.0 / 240", x.t.TotalText());
}

TEST(SetupTable, D1AtFullRateIsStoredAsIntervalZeroAndReadBack)
{
    Table x;
    for (int c = 0; c < kChannels; ++c)
        x.entries[c] = ChannelEntry{1, 1, 0, 1, 19, 25, 0, 0};
    x.weights[0] = kClassD1;
    x.weights[1] = kClassHalfD1;
    x.weights[2] = kClassD1;
    x.Load(false);
    ASSERT_TRUE(x.t.SetResolution(2, 3)); // class 3 leaves the row's "D1" label
    x.t.Store(x.entries);
    EXPECT_EQ(0, x.entries[0].interval);
    EXPECT_EQ(25, x.entries[0].rate);
    EXPECT_EQ(1, x.entries[1].interval);
    EXPECT_EQ(0, x.entries[2].interval);

    x.Load(false);
    EXPECT_EQ(10, x.t.Row(0).position);
    x.t.Row(0).position = 9; // below full rate a D1 channel keeps its interval
    x.t.Store(x.entries);
    EXPECT_EQ(2, x.entries[0].interval);
    EXPECT_EQ(12, x.entries[0].rate);
}

TEST(SetupTable, EveryPositionSurvivesTheRoundTrip)
{
    for (bool ntsc : {false, true})
        for (int p = 0; p <= LastPosition(ntsc); ++p) {
            Table x;
            RateStep s = StepAt(ntsc, p);
            x.entries[0] = ChannelEntry{1, 1, 0, s.interval, 19, s.rate, 0, 0};
            x.Load(ntsc);
            EXPECT_EQ(p, x.t.Row(0).position) << ntsc << " " << p;
            x.t.Store(x.entries);
            EXPECT_EQ(s.interval, x.entries[0].interval) << ntsc << " " << p;
            EXPECT_EQ(s.rate, x.entries[0].rate) << ntsc << " " << p;
        }
}

TEST(SetupTable, QualityCodes)
{
    struct Case {
        int level;
        int code;
    };
    for (Case k : {Case{0, 4}, Case{1, 9}, Case{2, 14}, Case{3, 19}, Case{4, 31}}) {
        Table x;
        x.t.Row(0).level = k.level;
        x.t.Store(x.entries);
        EXPECT_EQ(k.code, x.entries[0].quality);
        x.Load(false);
        EXPECT_EQ(k.level, x.t.Row(0).level);
    }
}

TEST(SetupTable, TextsOfFractionalAndWholeRates)
{
    struct Case {
        double shown;
        int weight;
        const char* rate;
        const char* weighted;
    };
    for (Case k :
         {Case{0.2, 4, "0.2", "0.8"}, Case{0.5, 2, "0.5", "1.0"}, Case{12, 2, "12", "24"}, Case{25, 0, "25", "0"}}) {
        EXPECT_EQ(k.rate, RateText(k.shown));
        EXPECT_EQ(k.weighted, WeightedText(k.shown, k.weight, true));
    }
    Table x;
    x.entries[0] = ChannelEntry{1, 1, 0, 125, 19, 1, 0, 0};
    x.entries[1] = ChannelEntry{1, 1, 0, 50, 19, 1, 0, 0};
    x.weights[0] = x.weights[1] = kClassD1;
    x.Load(false);
    EXPECT_EQ("2.8 / 200", x.t.TotalText());
}

TEST(SetupTable, DamagedValuesAreHeldInRange)
{
    EXPECT_FALSE(SetupTable().SetResolution(16, 1));
    EXPECT_FALSE(SetupTable().SetResolution(-1, 1));
    EXPECT_FALSE(SetupTable().SetResolution(0, 5));
    Table x;
    x.entries[0] = ChannelEntry{1, 1, 0, 7, 200, 7, 0, 0}; // no PAL position has interval 7
    x.entries[1] = ChannelEntry{1, 1, 0, 255, 0, 0, 0, 0};
    x.Load(false);
    EXPECT_EQ(4, x.t.Row(0).position); // the next slower step: interval 8
    EXPECT_EQ(4, x.t.Row(0).level);
    EXPECT_EQ(0, x.t.Row(1).position);
    EXPECT_EQ(0, x.t.Row(1).level);
}
