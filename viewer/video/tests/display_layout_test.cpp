// The display's arithmetic and picture store, without a window.
#include "DisplayStore.h"
#include <gtest/gtest.h>
#include <climits>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

using namespace video;

namespace {

std::u16string Str(const char16_t* s) { return std::u16string(s); }

PictureInfo Picture(int w, int h, int bits = 24, uint32_t imageSize = 0)
{
    PictureInfo i{};
    i.header.size = 40;
    i.header.width = w;
    i.header.height = -h;
    i.header.planes = 1;
    i.header.bitCount = static_cast<uint16_t>(bits);
    i.header.imageSize = imageSize ? imageSize : static_cast<uint32_t>(w * (bits / 8) * h);
    return i;
}

} // namespace

TEST(DisplayLayout, D1AreaGivesTheCellsAndStripsOfEachGrid)
{
    Layout four = BuiltinLayout(4);
    ComputeGeometry(four, 704, 480);
    EXPECT_EQ(four.cellWidth, 176);
    EXPECT_EQ(four.cellHeight, 120);
    EXPECT_EQ(four.divisions[15].rect.right, 704);
    EXPECT_EQ(four.divisions[15].rect.bottom, 480);

    Layout three = BuiltinLayout(3);
    ComputeGeometry(three, 704, 480);
    EXPECT_EQ(three.cellWidth, 234);
    EXPECT_EQ(three.cellHeight, 160);
    EXPECT_EQ(704 - three.divisions[8].rect.right, 2); // right strip left uncovered
    EXPECT_EQ(480 - three.divisions[8].rect.bottom, 0);
}

TEST(DisplayLayout, EveryLayoutTilesItsGridWithoutGapOrOverlap)
{
    const int expectedCount[kLayoutCount] = {0, 1, 4, 9, 16, 25, 6, 7, 8, 10, 10};
    for (int li = 0; li < kLayoutCount; ++li) {
        Layout l = BuiltinLayout(li);
        ComputeGeometry(l, 703, 481);
        ASSERT_EQ(l.count, expectedCount[li]) << li;
        if (li == 0)
            continue;
        std::vector<int> cover(l.Columns() * l.Rows(), 0);
        for (int p = 0; p < l.count; ++p) {
            const Division& d = l.divisions[p];
            EXPECT_EQ(d.position, p);
            EXPECT_EQ(d.one, 1);
            ASSERT_LE(d.Column() + d.SpanColumns(), l.Columns()) << li << "/" << p;
            ASSERT_LE(d.Row() + d.SpanRows(), l.Rows()) << li << "/" << p;
            for (int r = d.Row(); r < d.Row() + d.SpanRows(); ++r)
                for (int c = d.Column(); c < d.Column() + d.SpanColumns(); ++c)
                    cover[r * l.Columns() + c]++;
            EXPECT_EQ(d.rect.Width(), d.SpanColumns() * l.cellWidth);
            EXPECT_EQ(d.rect.Height(), d.SpanRows() * l.cellHeight);
        }
        for (int v : cover)
            EXPECT_EQ(v, 1) << "layout " << li;
    }
    Layout eight = BuiltinLayout(8);
    ComputeGeometry(eight, 400, 400);
    EXPECT_EQ(eight.divisions[0].rect.right, 300);
    EXPECT_EQ(eight.divisions[4].rect.top, 300);
    Layout ten = BuiltinLayout(10);
    ComputeGeometry(ten, 400, 400);
    EXPECT_EQ(ten.divisions[7].rect.left, 200);
    EXPECT_EQ(ten.divisions[7].rect.bottom, 400);
    EXPECT_EQ(BuiltinLayout(11).count, 0);
    EXPECT_EQ(BuiltinLayout(-1).count, 0);
}

TEST(DisplayLayout, ModesListNoMoreChannelsThanTheirLayoutAndTheSourceRectangleStaysInside)
{
    const int modes[7][2] = {{1, 1}, {2, 4}, {7, 7}, {3, 9}, {9, 10}, {10, 10}, {4, 16}};
    for (int m = 0; m < 7; ++m) {
        ASSERT_NE(FindDivisionMode(m), nullptr);
        EXPECT_EQ(FindDivisionMode(m)->layout, modes[m][0]);
        EXPECT_EQ(FindDivisionMode(m)->channels, modes[m][1]);
        EXPECT_LE(FindDivisionMode(m)->channels, BuiltinLayout(modes[m][0]).count);
    }
    EXPECT_EQ(FindDivisionMode(7), nullptr);
    EXPECT_EQ(FindDivisionMode(-1), nullptr);

    // The large divisions get the large type.
    EXPECT_EQ(StyleOf(8, 0).fontPoints, 14);
    EXPECT_EQ(StyleOf(10, 7).fontPoints, 12);
    EXPECT_EQ(StyleOf(10, 6).fontPoints, 8);

    const auto xywh = [](const SourceRect& r) { return std::tuple(r.x, r.y, r.width, r.height); };
    const SourceRect d1 = PictureSourceRect(704, -480);
    EXPECT_EQ(xywh(d1), std::tuple(5, 5, 684, 460));
    EXPECT_EQ(d1.StretchY(-480), 15); // rows 5 to 464 from the top, counted from the bottom
    EXPECT_EQ(PictureSourceRect(700, 280).width, 685);
    EXPECT_EQ(PictureSourceRect(700, 280).height, 265);
    EXPECT_EQ(PictureSourceRect(701, 281).width, 681);
    EXPECT_EQ(PictureSourceRect(701, 281).height, 261);
    // Too small to cut: the whole picture, never a rectangle outside it.
    EXPECT_EQ(xywh(PictureSourceRect(1, -1)), std::tuple(0, 0, 1, 1));
    for (int w = 1; w <= 40; ++w) {
        SourceRect r = PictureSourceRect(w, w);
        EXPECT_GT(r.width, 0);
        EXPECT_LE(r.x + r.width, w);
        EXPECT_LE(r.y + r.height, w);
    }
}

TEST(DisplayLayout, TitleFormatFillsOneIntegerAndNothingElse)
{
    char16_t out[kTitleLength];
    FormatTitle(u"Camera %02d", 1, out);
    EXPECT_EQ(Str(out), u"Camera 01");
    FormatTitle(u"Camera %02d", 16, out);
    EXPECT_EQ(Str(out), u"Camera 16");
    FormatTitle(u"", 3, out);
    EXPECT_EQ(Str(out), u"");
    FormatTitle(nullptr, 3, out);
    EXPECT_EQ(Str(out), u"");
    FormatTitle(u"%d%% %d", 7, out); // only the first conversion is filled
    EXPECT_EQ(Str(out), u"7% %d");
    FormatTitle(u"%s %n %x%", 7, out); // nothing to read for these: they stand as text
    EXPECT_EQ(Str(out), u"%s %n %x%");
    FormatTitle(u"%099999999999d", 5, out); // a width that would not fit is capped
    EXPECT_LT(Str(out).size(), static_cast<size_t>(kTitleLength));
    std::u16string longer(200, u'x');
    FormatTitle(longer.c_str(), 1, out);
    EXPECT_EQ(Str(out).size(), static_cast<size_t>(kTitleLength - 1));

    char16_t s[kShortTextLength];
    FormatSizeText(704, 480, s);
    EXPECT_EQ(Str(s), u"704 x 480");
    FormatSizeText(96, 64, s);
    EXPECT_EQ(Str(s), u"096 x 064");
    FormatTimeText(PictureTime{.year = 2008, .month = 7, .day = 1, .hour = 13, .minute = 5, .second = 9}, s);
    EXPECT_EQ(Str(s), u"2008/07/01 13:05:09");
}

TEST(DisplayLayout, PictureCheckRefusesWhatDoesNotFitWhateverTheHeaderSays)
{
    EXPECT_TRUE(CheckPicture(Picture(720, 576).header).ok);
    EXPECT_TRUE(CheckPicture(Picture(720, 600, 32).header).ok); // exactly the buffer
    EXPECT_FALSE(CheckPicture(Picture(721, 600, 32).header).ok);
    // A small stated image size does not hide rows that drawing would read.
    EXPECT_FALSE(CheckPicture(Picture(100000, 1000, 24, 3).header).ok);
    EXPECT_FALSE(CheckPicture(Picture(720, 480, 24, kPictureBufferSize + 1).header).ok);
    PictureInfo bad = Picture(720, 480);
    bad.header.bitCount = 8; // a palette picture would read colours past its 44 bytes
    EXPECT_FALSE(CheckPicture(bad.header).ok);
    bad = Picture(720, 480);
    bad.header.compression = 1;
    EXPECT_FALSE(CheckPicture(bad.header).ok);
    bad = Picture(720, 480);
    bad.header.height = INT32_MIN;
    EXPECT_FALSE(CheckPicture(bad.header).ok);
    bad.header.height = 0;
    EXPECT_FALSE(CheckPicture(bad.header).ok);
    bad = Picture(720, 480);
    bad.header.width = -720;
    EXPECT_FALSE(CheckPicture(bad.header).ok);

    PictureBytes blank = CheckPicture(BlankPictureInfo().header);
    EXPECT_TRUE(blank.ok);
    EXPECT_EQ(blank.copy, 3u); // what the sender states
    EXPECT_EQ(blank.needed, 4u); // one row padded to four bytes
    PictureInfo unstated = Picture(16, 16);
    unstated.header.imageSize = 0;
    EXPECT_EQ(CheckPicture(unstated.header).copy, 16u * 3u * 16u);
}

TEST(DisplayStore, LayoutSwitchMapsChannelsAndBlanksOnlyOnChange)
{
    DisplayStore s;
    ASSERT_TRUE(s.AllocateBuffers());
    s.SetArea(704, 480);
    s.SetFillLevel(0);
    std::vector<uint8_t> px(704 * 480 * 3, 0xAB);
    PictureInfo d1 = Picture(704, 480);
    ASSERT_TRUE(s.StorePicture(2, d1, px.data(), nullptr));

    uint8_t list[16];
    for (int i = 0; i < 16; ++i)
        list[i] = static_cast<uint8_t>(15 - i);
    list[5] = kNoEntry;
    list[6] = 30; // no such channel: the position stays empty
    uint32_t mask = 0;
    ASSERT_TRUE(s.SetLayout(4, list, 16, mask)); // same layout as after construction: no blanking
    EXPECT_EQ(s.Record(2).pixels[100], 0xAB);
    EXPECT_EQ(mask, 0xFFFFu & ~(1u << (15 - 5)) & ~(1u << (15 - 6)));
    EXPECT_EQ(s.ChannelAt(0), 15);
    EXPECT_EQ(s.PositionOf(15), 0);
    EXPECT_EQ(s.ChannelAt(5), kNoEntry);
    EXPECT_EQ(s.ChannelAt(6), kNoEntry);
    EXPECT_EQ(s.PositionOf(10), kNoEntry);
    EXPECT_EQ(s.PositionOf(20), kNoEntry);
    DivisionPlan plan;
    s.Plan(5, plan);
    EXPECT_FALSE(plan.draw);

    ASSERT_TRUE(s.SetLayout(2, list, 2, mask)); // fewer channels than positions
    EXPECT_EQ(mask, (1u << 15) | (1u << 14));
    EXPECT_EQ(s.ChannelAt(2), kNoEntry);
    EXPECT_EQ(s.Record(2).pixels[100], 0); // blanked to the fill level
    EXPECT_EQ(s.Record(2).pixels[kPictureBufferSize - 1], 0);

    EXPECT_FALSE(s.SetLayout(11, list, 16, mask));
    EXPECT_EQ(mask, 0u);
    EXPECT_EQ(s.CurrentLayout(), 2);
}

TEST(DisplayStore, RefusedPictureLeavesPixelsAndTimeAlone)
{
    DisplayStore s;
    ASSERT_TRUE(s.AllocateBuffers());
    std::vector<uint8_t> px(kPictureBufferSize + 64, 0x11);
    PictureTime t;
    t.year = 2010;
    ASSERT_TRUE(s.StorePicture(3, Picture(704, 480), px.data(), &t));
    EXPECT_EQ(s.Record(3).time.year, 2010);
    EXPECT_EQ(s.Record(3).info.header.width, 704);

    std::vector<uint8_t> other(kPictureBufferSize + 64, 0x22);
    PictureTime later;
    later.year = 2011;
    EXPECT_FALSE(s.StorePicture(3, Picture(100000, 1000, 24, 3), other.data(), &later));
    EXPECT_FALSE(s.StorePicture(3, Picture(720, 480, 24, kPictureBufferSize + 1), other.data(), &later));
    EXPECT_FALSE(s.StorePicture(25, Picture(16, 16), other.data(), &later));
    EXPECT_FALSE(s.StorePicture(-1, Picture(16, 16), other.data(), &later));
    EXPECT_FALSE(s.StorePicture(3, Picture(16, 16), nullptr, &later));
    EXPECT_EQ(s.Record(3).time.year, 2010);
    EXPECT_EQ(s.Record(3).info.header.width, 704);
    EXPECT_EQ(s.Record(3).pixels[0], 0x11);

    // Without a time the previous one stays.
    EXPECT_TRUE(s.StorePicture(3, Picture(16, 16), other.data(), nullptr));
    EXPECT_EQ(s.Record(3).time.year, 2010);
    EXPECT_EQ(s.Record(3).pixels[0], 0x22);

    s.FreeBuffers();
    EXPECT_FALSE(s.StorePicture(3, Picture(16, 16), other.data(), nullptr));
}

TEST(DisplayStore, PlanFollowsChannelCountSwitchesAndBlankPicture)
{
    DisplayStore s;
    ASSERT_TRUE(s.AllocateBuffers());
    s.SetArea(704, 480);
    s.SetIdentityMaps();
    s.SetChannelCount(16);
    for (int c = 0; c < kDisplayChannels; ++c)
        s.SetChannelTitle(c, c < 16 ? u"Camera %02d" : u"");
    EXPECT_EQ(Str(s.Record(0).title), u"Camera 01");
    EXPECT_EQ(Str(s.Record(15).title), u"Camera 16");
    EXPECT_EQ(Str(s.Record(16).title), u"");
    EXPECT_FALSE(s.SetChannelTitle(25, u"x"));

    uint8_t ids[kDisplayChannels];
    for (int i = 0; i < kDisplayChannels; ++i)
        ids[i] = static_cast<uint8_t>(i);
    uint32_t mask;
    ASSERT_TRUE(s.SetLayout(3, ids, kDisplayChannels, mask));
    s.SetOsdOptions(1, 1, 1);
    DivisionPlan plan;
    s.Plan(8, plan);
    EXPECT_TRUE(plan.draw);
    EXPECT_TRUE(plan.picture); // the ninth camera of a 16-channel DVR in the 3 x 3 layout
    EXPECT_FALSE(plan.fill);
    EXPECT_TRUE(plan.title);
    s.Plan(7, plan);
    EXPECT_TRUE(plan.picture);
    EXPECT_EQ(Str(plan.sizeText), u"720 x 480");
    s.SetChannelCount(8); // titles and size texts only for positions below the channel count
    s.Plan(8, plan);
    EXPECT_TRUE(plan.picture);
    EXPECT_FALSE(plan.title);
    EXPECT_TRUE(plan.size);
    EXPECT_EQ(Str(plan.sizeText), u"");

    std::vector<uint8_t> black(4, 0);
    PictureInfo blank = BlankPictureInfo();
    ASSERT_TRUE(s.StorePicture(7, blank, black.data(), nullptr));
    s.Plan(7, plan);
    EXPECT_TRUE(plan.picture);
    EXPECT_TRUE(plan.title);
    EXPECT_FALSE(plan.size);
    EXPECT_FALSE(plan.time);
    EXPECT_EQ(plan.source.width, 1);

    s.MarkDrawn(7);
    EXPECT_EQ(s.Record(7).mark, 1);
    s.BlankAll();
    EXPECT_EQ(s.Record(7).mark, 0);
}
