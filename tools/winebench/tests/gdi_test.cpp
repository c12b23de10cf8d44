// GDI draws into a DIB section and the pixels read back where they were drawn.
#include <windows.h>
#include <gtest/gtest.h>
#include <cstdint>

TEST(BenchGdi, DrawsIntoDibSectionAndReadsBack)
{
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = 64;
    bi.bmiHeader.biHeight = -32; // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc, nullptr);
    HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bmp, nullptr);
    HGDIOBJ old = SelectObject(dc, bmp);

    RECT all{0, 0, 64, 32};
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
    FillRect(dc, &all, blue);
    RECT box{10, 5, 20, 15};
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(dc, &box, red);
    GdiFlush();

    auto px = [&](int x, int y) { return static_cast<uint32_t*>(bits)[y * 64 + x] & 0xFFFFFF; };
    EXPECT_EQ(px(0, 0), 0x0000FFu); // blue, stored as B G R x
    EXPECT_EQ(px(10, 5), 0xFF0000u); // red
    EXPECT_EQ(px(19, 14), 0xFF0000u);
    EXPECT_EQ(px(20, 15), 0x0000FFu); // the rectangle's right and bottom edges are exclusive
    EXPECT_EQ(GetPixel(dc, 12, 7), RGB(255, 0, 0));

    SelectObject(dc, old);
    DeleteObject(red);
    DeleteObject(blue);
    DeleteObject(bmp);
    DeleteDC(dc);
}
