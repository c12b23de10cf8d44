// The display window under Wine: real windows on the bench's X server, checked on the pixels of the
// back buffer and of the window.
#include "DisplayTestKit.h"
#include <gtest/gtest.h>
#include <atomic>
#include <thread>

using namespace video;
using namespace displaykit;

namespace {

constexpr int kW = 704, kH = 480;

class DisplayWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(host.Window(), nullptr);
        host.display = &dm;
        ASSERT_TRUE(dm.Create(host.Window(), RECT{0, 0, kW, kH}, 4));
        dm.Show(1);
        Host::Pump(30);
    }

    // As the view does at login for a DVR of n channels.
    void Login(int n)
    {
        for (int c = 0; c < kDisplayChannels; ++c)
            dm.SetChannelTitle(c, c < n ? L"Camera %02d" : L"");
        dm.SetChannelCount(n);
    }

    void UseMode(int mode)
    {
        const DivisionMode* m = FindDivisionMode(mode);
        ASSERT_NE(m, nullptr);
        uint8_t list[kDisplayChannels];
        for (int i = 0; i < kDisplayChannels; ++i)
            list[i] = i < m->channels ? static_cast<uint8_t>(i) : kNoEntry;
        ASSERT_TRUE(dm.SetLayout(m->layout, list, kDisplayChannels));
    }

    static DivRect RectOf(int layout, int p)
    {
        Layout l = BuiltinLayout(layout);
        ComputeGeometry(l, kW, kH);
        return l.divisions[p].rect;
    }

    // Every pixel of the window equals the back buffer.
    void ExpectWindowShowsBackBuffer()
    {
        Host::Pump(20);
        WindowPixels w;
        ASSERT_TRUE(w.Capture(dm.Window()));
        ASSERT_EQ(w.Width(), kW);
        ASSERT_EQ(w.Height(), kH);
        int differ = 0;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                if (w.At(x, y) != dm.BackBufferPixel(x, y) && differ++ < 5)
                    ADD_FAILURE() << "window differs from back buffer at " << x << "," << y;
        EXPECT_EQ(differ, 0);
    }

    // Counts pixels of a colour in a box of the back buffer.
    int Count(int left, int top, int right, int bottom, COLORREF c)
    {
        int n = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                n += dm.BackBufferPixel(x, y) == c;
        return n;
    }

    Host host{kW, kH};
    DisplayManager dm;
};

COLORREF ChannelColour(int c) { return RGB(30 + c * 8, 60, 120 - c * 4); }

TEST_F(DisplayWindow, CreatesTheNamedChildWindowAndAnswersTheFontQuery)
{
    wchar_t cls[64] = {}, title[64] = {};
    GetClassNameW(dm.Window(), cls, 64);
    GetWindowTextW(dm.Window(), title, 64);
    EXPECT_STREQ(cls, L"DisplayManager");
    EXPECT_STREQ(title, L"DISPLAY");
    EXPECT_EQ(GetParent(dm.Window()), host.Window());
    EXPECT_TRUE(GetClassLongW(dm.Window(), GCL_STYLE) & CS_DBLCLKS);
    HFONT f = reinterpret_cast<HFONT>(SendMessageW(dm.Window(), WM_GETFONT, 0, 0));
    ASSERT_NE(f, nullptr);
    LOGFONTW lf{};
    ASSERT_TRUE(GetObjectW(f, sizeof lf, &lf));
    EXPECT_STREQ(lf.lfFaceName, L"Fixedsys");
    EXPECT_EQ(lf.lfWeight, 300);
    for (int i = 0; i < kDisplayChannels; ++i) {
        EXPECT_EQ(dm.PositionOf(i), i);
        EXPECT_EQ(dm.ChannelAt(i), i);
    }
    EXPECT_EQ(dm.CurrentLayout(), 4);
    EXPECT_FALSE(dm.Create(host.Window(), RECT{0, 0, 10, 10}, 4)); // one window per manager
}

TEST_F(DisplayWindow, Mode6ShowsSixteenTitledCamerasInAFourByFourGrid)
{
    Login(16);
    UseMode(6);
    dm.SetOsdOptions(1, 0, 0);
    for (int c = 0; c < 16; ++c) {
        Picture p = Solid(704, 480, ChannelColour(c));
        ASSERT_TRUE(dm.SetChannelPicture(c, &p.info, p.pixels.data()));
    }
    EXPECT_EQ(dm.CurrentLayout(), 4);
    for (int p = 0; p < 16; ++p) {
        const DivRect r = RectOf(4, p);
        EXPECT_EQ(r.left, (p % 4) * 176);
        EXPECT_EQ(r.top, (p / 4) * 120);
        // The lower half, clear of the title, is the camera's picture.
        EXPECT_EQ(dm.BackBufferPixel(r.left + 88, r.top + 80), ChannelColour(p)) << "position " << p;
        const TextBox t = TitleBox(r, 8);
        EXPECT_GT(Count(t.left, t.top, t.right, t.bottom, RGB(255, 255, 255)), 20) << "title of " << p;
        EXPECT_GT(Count(t.left, t.top, t.right, t.bottom, RGB(0, 0, 0)), 20) << "outline of " << p;
    }
    ExpectWindowShowsBackBuffer();
}

// The 9-picture page of a 16-channel DVR asks for nine cameras: the ninth division shows its own.
// The player sizes its display with its window: the divisions are laid out for the new size and
// the kept pictures drawn again, beyond the old edge too.
TEST_F(DisplayWindow, ResizeLaysTheDivisionsOutForTheNewSizeAndRedrawsThePictures)
{
    Login(4);
    UseMode(1);
    for (int c = 0; c < 4; ++c) {
        Picture p = Solid(352, 240, ChannelColour(c));
        ASSERT_TRUE(dm.SetChannelPicture(c, &p.info, p.pixels.data()));
    }
    ASSERT_TRUE(dm.Resize(RECT{0, 0, 2 * kW, 2 * kH}));
    RECT client{};
    GetClientRect(dm.Window(), &client);
    EXPECT_EQ(client.right, 2 * kW);
    EXPECT_EQ(client.bottom, 2 * kH);
    Layout l = BuiltinLayout(FindDivisionMode(1)->layout);
    ComputeGeometry(l, 2 * kW, 2 * kH);
    for (int p = 0; p < 4; ++p) {
        const DivRect r = l.divisions[p].rect;
        EXPECT_EQ(dm.BackBufferPixel((r.left + r.right) / 2, r.top + r.Height() * 3 / 4), ChannelColour(p)) << p;
    }
    EXPECT_EQ(dm.ChannelAtPoint(POINT{2 * kW - 10, 2 * kH - 10}), 3);
}

TEST_F(DisplayWindow, Layout3OnSixteenChannelsShowsTheNinthCameraInPosition8)
{
    Login(16);
    dm.SetOsdOptions(1, 0, 0);
    dm.SetFillLevel(0);
    for (int c = 0; c < 16; ++c) { // the 4 x 4 layout first: its pictures must not stay behind
        Picture p = Solid(704, 480, kRed);
        ASSERT_TRUE(dm.SetChannelPicture(c, &p.info, p.pixels.data()));
    }
    uint8_t list[9] = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_TRUE(dm.SetLayout(3, list, 9));
    for (int c = 0; c < 9; ++c) {
        Picture p = Solid(704, 480, ChannelColour(c));
        ASSERT_TRUE(dm.SetChannelPicture(c, &p.info, p.pixels.data()));
    }
    const DivRect r8 = RectOf(3, 8);
    EXPECT_EQ(Count(r8.left + 4, r8.top + 4, r8.right - 4, r8.bottom - 4, kRed), 0);
    EXPECT_EQ(dm.BackBufferPixel(r8.left + 117, r8.top + 120), ChannelColour(8));
    const TextBox t = TitleBox(r8, 10);
    EXPECT_GT(Count(t.left, t.top, t.right, t.bottom, RGB(255, 255, 255)), 20); // its title
    EXPECT_EQ(dm.BackBufferPixel(r8.left, r8.top + 80), RGB(255, 255, 255)); // and its border
}

TEST_F(DisplayWindow, BlankOneByOnePictureDrawsBlackWithoutSizeOrTime)
{
    Login(16);
    dm.SetOsdOptions(0, 1, 1);
    const PictureTime t{.year = 2008, .month = 7, .day = 1, .hour = 13};
    Picture red = Solid(704, 480, kRed);
    ASSERT_TRUE(dm.SetChannelPicture(5, &red.info, t, red.pixels.data()));
    const DivRect r = RectOf(4, 5);
    const TextBox size = SizeBox(r, 8), time = TimeBox(r, 8);
    EXPECT_GT(Count(size.left, size.top, size.right, size.bottom, RGB(255, 255, 255)), 10);
    EXPECT_GT(Count(time.left, time.top, time.right, time.bottom, RGB(255, 255, 255)), 10);

    const PictureInfo blank = BlankPictureInfo();
    const uint8_t black[4] = {0, 0, 0, 0};
    ASSERT_TRUE(dm.SetChannelPicture(5, reinterpret_cast<const BITMAPINFO*>(&blank), black));
    const int inner = (r.Width() - 4) * (r.Height() - 4);
    EXPECT_EQ(Count(r.left + 2, r.top + 2, r.right - 2, r.bottom - 2, RGB(0, 0, 0)), inner);
    ExpectWindowShowsBackBuffer();
}

TEST_F(DisplayWindow, D1AreaCellsAndTheUncoveredStripOfThe3x3Layout)
{
    Login(4);
    uint8_t list[9] = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    dm.SetFillLevel(0);
    ASSERT_TRUE(dm.SetLayout(3, list, 9));
    for (int c = 0; c < 9; ++c) {
        Picture p = Solid(704, 480, kGreen);
        ASSERT_TRUE(dm.SetChannelPicture(c, &p.info, p.pixels.data()));
    }
    // 234 x 160 cells: pictures reach column 701, the last two columns keep what was there.
    for (int y = 10; y < kH; y += 37) {
        EXPECT_EQ(dm.BackBufferPixel(700, y == 160 || y == 320 ? y + 5 : y), kGreen) << y;
        EXPECT_NE(dm.BackBufferPixel(703, y), kGreen) << y;
    }
    EXPECT_EQ(dm.BackBufferPixel(351, kH - 2), kGreen); // no strip at the bottom
    EXPECT_EQ(dm.BackBufferPixel(468, 80), RGB(255, 255, 255)); // border between columns 1 and 2
}

TEST_F(DisplayWindow, EmptyCellOfANewLayoutStartsAtTheFillLevel)
{
    Login(8);
    dm.SetOsdOptions(0, 0, 0);
    dm.SetFillLevel(40);
    UseMode(6); // the 4 x 4 grid with pictures: its lines and pictures cross the ninth cell of 3 x 3
    for (int c = 0; c < 8; ++c) {
        Picture p = Solid(704, 480, kRed);
        ASSERT_TRUE(dm.SetChannelPicture(c, &p.info, p.pixels.data()));
    }
    uint8_t list[9] = {0, 1, 2, 3, 4, 5, 6, 7, kNoEntry};
    ASSERT_TRUE(dm.SetLayout(3, list, 9));
    const DivRect r8 = RectOf(3, 8);
    const int inside = (r8.right - r8.left - 8) * (r8.bottom - r8.top - 8);
    EXPECT_EQ(Count(r8.left + 4, r8.top + 4, r8.right - 4, r8.bottom - 4, RGB(40, 40, 40)), inside);
    ExpectWindowShowsBackBuffer();
}

TEST_F(DisplayWindow, PositionOfChannel255IsNotDrawnAtAll)
{
    Login(16);
    dm.SetOsdOptions(1, 1, 1);
    for (int c = 0; c < 16; ++c) {
        Picture p = Solid(704, 480, kRed);
        ASSERT_TRUE(dm.SetChannelPicture(c, &p.info, p.pixels.data()));
    }
    const DivRect r = RectOf(4, 5);
    std::vector<COLORREF> before;
    for (int y = r.top + 2; y < r.bottom - 2; ++y)
        for (int x = r.left + 2; x < r.right - 2; ++x)
            before.push_back(dm.BackBufferPixel(x, y));

    uint8_t list[16];
    for (int i = 0; i < 16; ++i)
        list[i] = static_cast<uint8_t>(i);
    list[5] = kNoEntry;
    ASSERT_TRUE(dm.SetLayout(4, list, 16));
    dm.SetOsdOptions(0, 0, 0);
    dm.SetBorderColour(RGB(0, 0, 255));
    for (int c = 0; c < 16; ++c) {
        Picture p = Solid(704, 480, kBlue);
        ASSERT_TRUE(dm.SetChannelPicture(c, &p.info, p.pixels.data()));
    }
    dm.Redraw(0x1FFFFFF);
    size_t i = 0;
    int changed = 0;
    for (int y = r.top + 2; y < r.bottom - 2; ++y)
        for (int x = r.left + 2; x < r.right - 2; ++x)
            changed += dm.BackBufferPixel(x, y) != before[i++];
    EXPECT_EQ(changed, 0);
    const DivRect r6 = RectOf(4, 6);
    EXPECT_EQ(dm.BackBufferPixel(r6.left + 88, r6.top + 60), kBlue);
}

// The border band where two divisions meet, measured along a row through their middle.
int BorderBand(DisplayManager& dm, int x, int y, COLORREF border)
{
    int left = x, right = x;
    while (left > 0 && dm.BackBufferPixel(left - 1, y) == border)
        --left;
    while (dm.BackBufferPixel(right + 1, y) == border)
        ++right;
    return dm.BackBufferPixel(x, y) == border ? right - left + 1 : 0;
}

TEST_F(DisplayWindow, PicturesLandStretchedInTheirDivisionWithTheLayoutsBorder)
{
    Login(16);
    dm.SetOsdOptions(0, 0, 0);
    const COLORREF border = RGB(255, 255, 255);
    Picture card = QuadrantCard(704, 480);
    for (int layout : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}) {
        uint8_t list[kDisplayChannels];
        for (int i = 0; i < kDisplayChannels; ++i)
            list[i] = static_cast<uint8_t>(i);
        ASSERT_TRUE(dm.SetLayout(layout, list, kDisplayChannels));
        const int count = BuiltinLayout(layout).count;
        for (int c = 0; c < count; ++c)
            ASSERT_TRUE(dm.SetChannelPicture(c, &card.info, card.pixels.data()));
        for (int p = 0; p < count; ++p) {
            const DivRect r = RectOf(layout, p);
            const int w = StyleOf(layout, p).borderWidth;
            auto at = [&](int fx, int fy) {
                return dm.BackBufferPixel(r.left + r.Width() * fx / 4, r.top + r.Height() * fy / 4);
            };
            EXPECT_EQ(at(1, 1), kRed) << layout << "/" << p;
            EXPECT_EQ(at(3, 1), kGreen) << layout << "/" << p;
            EXPECT_EQ(at(1, 3), kBlue) << layout << "/" << p;
            EXPECT_EQ(at(3, 3), kYellow) << layout << "/" << p;
            // The cut edges never reach the screen.
            int edges = 0;
            for (int y = r.top + w; y < r.bottom - w; ++y)
                for (int x = r.left + w; x < r.right - w; x += 3) {
                    const COLORREF c = dm.BackBufferPixel(x, y);
                    if ((c == kMagenta || c == kCyan) && edges++ < 3)
                        ADD_FAILURE() << "edge colour " << std::hex << c << std::dec << " at " << x - r.left << ","
                                      << y - r.top << " of " << r.Width() << "x" << r.Height();
                }
            EXPECT_EQ(edges, 0) << layout << "/" << p;
            // Where a division meets the one to its right, the two borders make one band of width w.
            if (r.right < kW - 4) {
                const int band = BorderBand(dm, r.right, r.top + kH / BuiltinLayout(layout).Rows() / 2, border);
                EXPECT_EQ(band, w) << "layout " << layout << " position " << p;
            }
        }
        if (layout == 1) {
            // A lone division's border is half outside the window: what shows of it is inside.
            EXPECT_EQ(dm.BackBufferPixel(0, kH / 4), border);
            EXPECT_EQ(dm.BackBufferPixel(1, kH / 4), border);
            EXPECT_EQ(dm.BackBufferPixel(3, kH / 4), kRed);
        }
    }
    ExpectWindowShowsBackBuffer();
}

TEST_F(DisplayWindow, TextsAppearInTheirBoxesOnlyWhenTheirSwitchIsOn)
{
    Login(16);
    const PictureTime t{.year = 2012, .month = 12, .day = 31, .hour = 23, .minute = 59, .second = 58};
    const COLORREF bg = RGB(0, 96, 0);
    Picture p = Solid(704, 480, bg);
    struct Case {
        int title, size, time;
    };
    for (Case k : {Case{0, 0, 0}, Case{1, 0, 0}, Case{0, 1, 0}, Case{0, 0, 1}, Case{1, 1, 1}}) {
        dm.SetOsdOptions(k.title, k.size, k.time);
        ASSERT_TRUE(dm.SetChannelPicture(5, &p.info, t, p.pixels.data()));
        const DivRect r = RectOf(4, 5);
        const TextBox boxes[3] = {TitleBox(r, 8), SizeBox(r, 8), TimeBox(r, 8)};
        const int on[3] = {k.title, k.size, k.time};
        int outside = 0, inBox[3] = {0, 0, 0};
        for (int y = r.top + 2; y < r.bottom - 2; ++y)
            for (int x = r.left + 2; x < r.right - 2; ++x) {
                if (dm.BackBufferPixel(x, y) == bg)
                    continue;
                bool inside = false;
                for (int b = 0; b < 3; ++b) {
                    const TextBox& bx = boxes[b];
                    if (on[b] && x >= bx.left - 1 && x <= bx.right && y >= bx.top - 1 && y <= bx.bottom) {
                        inside = true;
                        inBox[b]++;
                    }
                }
                outside += !inside;
            }
        EXPECT_EQ(outside, 0) << k.title << k.size << k.time;
        for (int b = 0; b < 3; ++b) {
            if (on[b])
                EXPECT_GT(inBox[b], 30) << "box " << b;
        }
    }
    ExpectWindowShowsBackBuffer();
}

TEST_F(DisplayWindow, RefusesPicturesThatDoNotFitTheirBuffer)
{
    Picture small = Solid(16, 16, kRed);
    BITMAPINFO lie = small.info;
    lie.bmiHeader.biWidth = 4000;
    lie.bmiHeader.biHeight = -4000; // rows a draw would read, far past the buffer
    EXPECT_FALSE(dm.SetChannelPicture(0, &lie, small.pixels.data()));
    lie = small.info;
    lie.bmiHeader.biSizeImage = kPictureBufferSize + 1;
    EXPECT_FALSE(dm.SetChannelPicture(0, &lie, small.pixels.data()));
    EXPECT_FALSE(dm.SetChannelPicture(25, &small.info, small.pixels.data()));
    EXPECT_FALSE(dm.SetChannelPicture(0, nullptr, small.pixels.data()));
    EXPECT_TRUE(dm.SetChannelPicture(0, &small.info, small.pixels.data()));
    EXPECT_EQ(dm.BackBufferPixel(88, 60), kRed);
}

TEST_F(DisplayWindow, DoubleClickGoesToTheViewAndRightClickFlipsTheSwitches)
{
    Login(16);
    dm.SetOsdOptions(1, 0, 0);
    SendMessageW(dm.Window(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(33, 44));
    Host::Pump(30);
    EXPECT_EQ(host.doubleClicks, 1);
    EXPECT_EQ(host.lastDoubleClick, MAKELPARAM(33, 44));
    EXPECT_EQ(SendMessageW(dm.Window(), WM_LBUTTONDOWN, MK_LBUTTON, 0), 0);

    // A real right click: the system tells the parent, which flips the switches.
    SetForegroundWindow(host.Window());
    SetCursorPos(300, 200);
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_MOUSE;
    in[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
    in[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
    ASSERT_EQ(SendInput(2, in, sizeof(INPUT)), 2u);
    for (int i = 0; i < 40 && dm.Switches().title == 0; ++i)
        Host::Pump(25);
    EXPECT_EQ(dm.Switches().title, 1);
    EXPECT_EQ(dm.Switches().size, 1);
    EXPECT_EQ(dm.Switches().time, 1);
    const DivRect r = RectOf(4, 0);
    const TextBox s = SizeBox(r, 8);
    EXPECT_GT(Count((s.left + s.right) / 2, s.top, s.right, s.bottom, RGB(255, 255, 255)), 10);
    ASSERT_EQ(SendInput(2, in, sizeof(INPUT)), 2u);
    for (int i = 0; i < 40 && dm.Switches().title == 1; ++i)
        Host::Pump(25);
    EXPECT_EQ(dm.Switches().title, 0);
}

TEST_F(DisplayWindow, PaintCopiesTheBackBufferAndDestroyResetsEverything)
{
    Login(16);
    dm.SetOsdOptions(1, 1, 1);
    Picture card = TestCard(704, 480, 3);
    for (int c = 0; c < 16; ++c)
        ASSERT_TRUE(dm.SetChannelPicture(c, &card.info, card.pixels.data()));
    // Something else painted over the window: a repaint brings the back buffer back.
    HDC dc = GetDC(dm.Window());
    RECT all{0, 0, kW, kH};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ReleaseDC(dm.Window(), dc);
    InvalidateRect(dm.Window(), nullptr, TRUE);
    UpdateWindow(dm.Window());
    ExpectWindowShowsBackBuffer();

    ASSERT_TRUE(DestroyWindow(dm.Window()));
    EXPECT_EQ(dm.Window(), nullptr);
    EXPECT_EQ(dm.CurrentLayout(), 4);
    EXPECT_EQ(dm.PositionOf(0), kNoEntry);
    EXPECT_EQ(dm.ChannelAt(0), kNoEntry);
    EXPECT_FALSE(dm.SetChannelPicture(0, &card.info, card.pixels.data())); // buffers are gone
    EXPECT_EQ(dm.BackBufferPixel(0, 0), CLR_INVALID);

    // A new window brings the buffers back.
    ASSERT_TRUE(dm.Create(host.Window(), RECT{0, 0, kW, kH}, 4));
    dm.Show(1);
    EXPECT_TRUE(dm.SetChannelPicture(0, &card.info, card.pixels.data()));
}

TEST_F(DisplayWindow, PaintsBlueWhenThereIsNoBackBuffer)
{
    DisplayManager huge;
    Host big(200, 200);
    // Larger than any screen: no back buffer is made; the window is clipped to its small parent.
    ASSERT_TRUE(huge.Create(big.Window(), RECT{0, 0, 9000, 9000}, 4));
    huge.Show(1);
    EXPECT_EQ(huge.BackBufferPixel(0, 0), CLR_INVALID);
    InvalidateRect(huge.Window(), nullptr, TRUE);
    UpdateWindow(huge.Window());
    Host::Pump(20);
    WindowPixels w;
    ASSERT_TRUE(w.Capture(big.Window()));
    EXPECT_EQ(w.At(10, 10), RGB(0, 0, 255));
    EXPECT_EQ(w.At(150, 190), RGB(0, 0, 255));
}

TEST_F(DisplayWindow, DecodeThreadsAndTheInterfaceThreadDrawTogether)
{
    Login(16);
    dm.SetOsdOptions(1, 1, 1);
    std::atomic<int> refused{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 60; ++i) {
                const int c = t * 4 + (i % 4);
                Picture p = Solid(352, 240, i >= 56 ? ChannelColour(c) : RGB(i * 4, 0, t * 50));
                PictureTime tm;
                tm.year = 2020;
                tm.second = static_cast<uint16_t>(i);
                if (!dm.SetChannelPicture(c, &p.info, tm, p.pixels.data()))
                    refused++;
            }
        });
    for (int i = 0; i < 30; ++i) {
        dm.SetOsdOptions(i & 1, 1, 1);
        Host::Pump(2);
    }
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(refused.load(), 0);
    dm.SetOsdOptions(0, 0, 0);
    for (int p = 0; p < 16; ++p) {
        const DivRect r = RectOf(4, p);
        EXPECT_EQ(dm.BackBufferPixel(r.left + 88, r.top + 60), ChannelColour(p)) << p;
    }
    ExpectWindowShowsBackBuffer();
}

} // namespace
