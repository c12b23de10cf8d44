// Lumbrel through its real exports, under both decorations: every identifier the viewer asks for.
#include <gtest/gtest.h>

#include <vector>

#include "SkinDllTest.h"
#include "skin/SkinCode.h"

namespace {

// The panel's buttons in the viewer's creation order; 3..18 are the channel toggles.
std::vector<unsigned short> PanelButtons()
{
    std::vector<unsigned short> ids = {1, 2};
    for (unsigned short id = 3; id <= 33; ++id)
        ids.push_back(id);
    for (unsigned short id = 36; id <= 39; ++id)
        ids.push_back(id);
    ids.push_back(46);
    for (unsigned short id = 64; id <= 68; ++id)
        ids.push_back(id);
    ids.push_back(96);
    ids.push_back(97);
    return ids;
}

std::vector<unsigned short> PanelAreas()
{
    std::vector<unsigned short> ids;
    for (unsigned short id = 0xF000; id <= 0xF00D; ++id)
        ids.push_back(id);
    ids.push_back(0x33);
    return ids;
}

class Lumbrel : public skintest::SkinDllTest {
protected:
    void SetUp() override
    {
        Load(L"Lumbrel.dll", true);
        if (!HasFatalFailure())
            api_.GetResourceRect(0xF000, &panel_);
    }
    bool Inside(const RECT& r) const
    {
        return r.left >= panel_.left && r.top >= panel_.top && r.right <= panel_.right && r.bottom <= panel_.bottom &&
            r.right > r.left && r.bottom > r.top;
    }
    RECT panel_{};
};

TEST_P(Lumbrel, EveryPanelAreaHasARectangleInsideThePanel)
{
    EXPECT_EQ(panel_.left, 0);
    EXPECT_EQ(panel_.top, 0);
    EXPECT_GT(panel_.right, 640);
    EXPECT_GT(panel_.bottom, 480);
    for (unsigned short id : PanelAreas()) {
        RECT r{-1, -1, -1, -1};
        api_.GetResourceRect(id, &r);
        EXPECT_TRUE(Inside(r)) << std::hex << id;
    }
    RECT live{};
    api_.GetResourceRect(0xF001, &live);
    EXPECT_GE(live.right - live.left, 704) << "room for four 176-pixel columns";
    EXPECT_GE(live.bottom - live.top, 480);
}

TEST_P(Lumbrel, BackgroundIsThePanelsSize)
{
    HBITMAP bg = api_.GetBitmap(0xF000);
    ASSERT_NE(bg, nullptr);
    auto d = skintest::Describe(bg);
    EXPECT_EQ(d.width, panel_.right - panel_.left);
    EXPECT_EQ(d.height, panel_.bottom - panel_.top);
    EXPECT_EQ(d.bits, 8);
    DeleteObject(bg);
    for (unsigned short id : {0, 3, 0xF001, 0xFFFF})
        EXPECT_EQ(api_.GetBitmap(id), nullptr) << id;
}

TEST_P(Lumbrel, EveryButtonHasFourDistinctFacesOfItsRectanglesSize)
{
    for (unsigned short id : PanelButtons()) {
        RECT r{};
        api_.GetResourceRect(id, &r);
        ASSERT_TRUE(Inside(r)) << id;
        HBITMAP h[4] = {};
        api_.GetBitmaps(id, &h[0], &h[1], &h[2], &h[3]);
        std::string px[4];
        for (int i = 0; i < 4; ++i) {
            ASSERT_NE(h[i], nullptr) << id << " state " << i;
            auto d = skintest::Describe(h[i]);
            EXPECT_EQ(d.width, r.right - r.left) << id;
            EXPECT_EQ(d.height, r.bottom - r.top) << id;
            px[i] = skintest::Pixels(h[i]);
        }
        for (int i = 0; i < 4; ++i)
            for (int j = i + 1; j < 4; ++j)
                EXPECT_NE(px[i], px[j]) << id << " states " << i << "," << j;
        for (HBITMAP b : h)
            DeleteObject(b);
    }
}

TEST_P(Lumbrel, ChannelButtonsHaveACheckedSetThroughTheExtendedCall)
{
    std::vector<unsigned short> ids;
    for (unsigned short id = 3; id <= 18; ++id)
        ids.push_back(id);
    ids.push_back(97); // the live-phone toggle
    for (unsigned short id : ids) {
        RECT r{};
        api_.GetResourceRect(id, &r);
        HBITMAP n[4] = {}, c[4] = {};
        api_.GetBitmaps(id, &n[0], &n[1], &n[2], &n[3]);
        api_.GetBitmapsEx(id, &c[0], &c[1], &c[2], &c[3]);
        for (int i = 0; i < 4; ++i) {
            ASSERT_NE(c[i], nullptr) << id;
            auto d = skintest::Describe(c[i]);
            EXPECT_EQ(d.width, r.right - r.left);
            EXPECT_EQ(d.height, r.bottom - r.top);
            EXPECT_NE(skintest::Pixels(c[i]), skintest::Pixels(n[i])) << id << " checked face looks unchecked";
        }
        for (HBITMAP b : n)
            DeleteObject(b);
        for (HBITMAP b : c)
            DeleteObject(b);
    }
    HBITMAP sentinel = reinterpret_cast<HBITMAP>(uintptr_t(0x55));
    for (unsigned short id : {1, 19, 26, 46, 0xF000}) {
        HBITMAP c[4] = {sentinel, sentinel, sentinel, sentinel};
        api_.GetBitmapsEx(id, &c[0], &c[1], &c[2], &c[3]);
        for (HBITMAP b : c)
            EXPECT_EQ(b, sentinel) << id;
    }
}

TEST_P(Lumbrel, UnlistedIdentifiersLeaveTheCallersValues)
{
    for (unsigned short id : {0, 34, 35, 40, 49, 50, 69, 98, 0xEFFF, 0xF00E, 0xFFFF}) {
        RECT r{-3, -3, -3, -3};
        api_.GetResourceRect(id, &r);
        EXPECT_EQ(r.left, -3) << id;
        HBITMAP sentinel = reinterpret_cast<HBITMAP>(uintptr_t(0x77)), h[4] = {sentinel, sentinel, sentinel, sentinel};
        api_.GetBitmaps(id, &h[0], &h[1], &h[2], &h[3]);
        EXPECT_EQ(h[0], sentinel) << id;
    }
    api_.GetResourceRect(0xF001, nullptr);
}

TEST_P(Lumbrel, SkinCodeSelectsTheLoginOptionBit)
{
    const unsigned int code = api_.GetSkinCode();
    EXPECT_EQ(code, 0x51564A58u);
    EXPECT_EQ(skin::LoginSkinOption(code), 0x80000000u);
}

TEST_P(Lumbrel, ButtonsDoNotCoverEachOtherOrTheControls)
{
    std::vector<std::pair<unsigned short, RECT>> all;
    for (unsigned short id : PanelButtons()) {
        RECT r{};
        api_.GetResourceRect(id, &r);
        all.push_back({id, r});
    }
    for (unsigned short id : PanelAreas()) {
        if (id == 0xF000 || id == 0xF006)
            continue; // the panel and the control column hold the rest
        RECT r{};
        api_.GetResourceRect(id, &r);
        all.push_back({id, r});
    }
    for (size_t i = 0; i < all.size(); ++i)
        for (size_t j = i + 1; j < all.size(); ++j) {
            RECT x;
            EXPECT_FALSE(IntersectRect(&x, &all[i].second, &all[j].second))
                << std::hex << all[i].first << " and " << all[j].first << " overlap";
        }
}

SKIN_BOTH_DECORATIONS(Lumbrel);

} // namespace
