// The skin code and the login option word it selects.
#include <gtest/gtest.h>

#include "LumbrelTable.h"
#include "skin/SkinCode.h"

TEST(SkinCode, OnlyTheXJVQVariantSetsTheLoginOptionBit)
{
    EXPECT_EQ(skin::FourCC('X', 'J', 'V', 'Q'), 0x51564A58u);
    EXPECT_EQ(skin::LoginSkinOption(0x51564A58u), 0x80000000u);
    EXPECT_EQ(skin::LoginSkinOption(skin::FourCC('Q', 'V', 'J', 'X')), 0u); // byte order matters
    EXPECT_EQ(skin::LoginSkinOption(0), 0u);
    EXPECT_EQ(skin::LoginSkinOption(skin::lumbrel::SkinCode()), 0x80000000u);
}

TEST(LumbrelTable, ComparesIdentifiersUnsigned)
{
    skin::SkinRect r{};
    EXPECT_TRUE(skin::lumbrel::Rect(0xF001, &r));
    EXPECT_GT(r.Width(), 0);
    EXPECT_FALSE(skin::lumbrel::Rect(uint16_t(0xF011), &r)); // 0xF011
    EXPECT_NE(skin::lumbrel::SingleBitmap(0xF000), 0);
    for (int i = 0; i < skin::lumbrel::ButtonCount(); ++i) {
        const uint16_t id = skin::lumbrel::ButtonId(i);
        EXPECT_EQ(skin::lumbrel::FourStateBitmaps(id).action, skin::ButtonSetAction::Load) << id;
        const bool channel = id >= 3 && id <= 18;
        if (channel)
            EXPECT_EQ(skin::lumbrel::ExtendedBitmaps(id).action, skin::ButtonSetAction::Load) << id;
    }
}

#include "LustrelTable.h"

// The manager's skin compares signed: identifiers from 0x8000 up, negative as int16, match nothing,
// even where their low bits name a listed entry.
TEST(LustrelTable, ComparesIdentifiersSigned)
{
    skin::SkinRect r{1, 2, 3, 4};
    EXPECT_TRUE(skin::lustrel::Rect(3, &r));
    EXPECT_EQ(r.Width(), 163);
    for (uint16_t id : {uint16_t(0x8003), uint16_t(0xF000), uint16_t(0xFFFF)}) {
        skin::SkinRect keep{1, 2, 3, 4};
        EXPECT_FALSE(skin::lustrel::Rect(id, &keep));
        EXPECT_EQ(keep.left, 1);
        EXPECT_EQ(skin::lustrel::SingleBitmap(id), 0);
        EXPECT_EQ(skin::lustrel::FourStateBitmaps(id).action, skin::ButtonSetAction::Unchanged);
        EXPECT_EQ(skin::lustrel::HelpString(id), 0);
    }
    EXPECT_EQ(skin::lustrel::FourStateBitmaps(0x8013).action, skin::ButtonSetAction::Unchanged);
    EXPECT_EQ(skin::lustrel::FourStateBitmaps(19).action, skin::ButtonSetAction::Clear);
}
