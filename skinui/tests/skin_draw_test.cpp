// Skin bitmaps drawn into a back buffer: the part taken from the source's origin, and a button
// face whose key colour lets the background through.
#include "SkinDraw.h"
#include "foundation/Dib.h"
#include "foundation/Handles.h"
#include <gtest/gtest.h>
#include <cstdint>

namespace {

constexpr uint32_t kRed = 0xFF0000, kBlue = 0x0000FF, kGrey = 0x808080, kKey = 0xFF00FF;

// A 32-bit top-down bitmap of `w` x `h` whose pixels the test reads and writes directly.
struct Pixels {
    win::Bitmap bitmap;
    uint32_t* bits = nullptr;
    int width;
    Pixels(int w, int h, uint32_t fill) : width(w)
    {
        BITMAPINFO bi = win::TopDownDib(w, h, 32);
        void* p = nullptr;
        bitmap.Attach(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &p, nullptr, 0));
        bits = static_cast<uint32_t*>(p);
        for (int i = 0; i < w * h; ++i)
            bits[i] = fill;
    }
    uint32_t At(int x, int y)
    {
        GdiFlush();
        return bits[y * width + x];
    }
};

TEST(SkinDraw, APartOfTheSourceLandsInTheRectangle)
{
    Pixels back(8, 8, kGrey), source(8, 8, kBlue);
    source.bits[2 * 8 + 3] = kRed; // (3, 2): the origin of the part drawn
    ASSERT_TRUE(skinui::DrawBitmap(back.bitmap.Get(), RECT{4, 4, 6, 6}, {source.bitmap.Get(), {3, 2}}));
    EXPECT_EQ(back.At(4, 4), kRed);
    EXPECT_EQ(back.At(5, 5), kBlue);
    EXPECT_EQ(back.At(3, 4), kGrey);
    EXPECT_EQ(back.At(6, 6), kGrey) << "right and bottom edges are outside";
    EXPECT_FALSE(skinui::DrawBitmap(back.bitmap.Get(), RECT{4, 4, 4, 6}, {source.bitmap.Get()}));
}

TEST(SkinDraw, AKeyedButtonFaceLetsTheBackgroundThrough)
{
    Pixels back(8, 8, kGrey), face(4, 4, kRed);
    face.bits[0] = kKey;
    skinui::CButtonGroup group;
    skinui::CImageButton button(group);
    button.visible = 1;
    button.rect = skinui::ButtonRect{2, 2, 6, 6};
    button.SetNormalBitmaps(face.bitmap.Get(), nullptr, nullptr, nullptr);
    button.transparent = 1;
    button.transparentColour = RGB(0xFF, 0x00, 0xFF);
    ASSERT_TRUE(skinui::DrawButtonFace(back.bitmap.Get(), button));
    EXPECT_EQ(back.At(2, 2), kGrey);
    EXPECT_EQ(back.At(3, 2), kRed);
    EXPECT_EQ(back.At(5, 5), kRed);

    button.state = skinui::kHover; // no hover image: nothing drawn
    EXPECT_FALSE(skinui::DrawButtonFace(back.bitmap.Get(), button));
}

} // namespace
