// The manager's skinned widgets as a user meets them: a bitmap button under the real pointer
// (xdotool), regions of keyed bitmaps and a window shaped by one, labels over a dialog's picture; the
// screen read back.
#include "BitmapRegion.h"
#include "BmpButton.h"
#include "ManagerMessages.h"
#include "MemDC.h"
#include "TestKit.h"
#include "TransparentControls.h"
#include "foundation/Dib.h"
#include "foundation/Handles.h"
#include "foundation/Module.h"
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

using namespace manager;

namespace {

constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kGrey = 0x808080, kKey = 0xFF00FF;
constexpr uint32_t kBackdrop = 0x00A000;

// A 32-bit top-down DIB section of one colour whose pixels the test writes and reads.
struct Picture {
    win::Bitmap bitmap;
    uint32_t* bits = nullptr;
    int width;
    Picture(int w, int h, uint32_t fill) : width(w)
    {
        BITMAPINFO bi = win::TopDownDib(w, h, 32);
        void* p = nullptr;
        bitmap.Attach(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &p, nullptr, 0));
        bits = static_cast<uint32_t*>(p);
        std::fill(bits, bits + w * h, fill);
    }
    uint32_t& At(int x, int y) { return bits[y * width + x]; }
    HBITMAP Get() const { return bitmap.Get(); }
};

// A top-most window painted plain green that does not clip its children, as a skinned dialog; it
// records messages first..last.
std::unique_ptr<testkit::RecorderWindow> Backdrop(int x, int y, int w, int h, UINT first = 0, UINT last = 0)
{
    auto backdrop = std::make_unique<testkit::RecorderWindow>(first, last, nullptr, true, w, h);
    HWND wnd = backdrop->Hwnd();
    SetWindowLongPtrW(wnd, GWL_STYLE, GetWindowLongPtrW(wnd, GWL_STYLE) & ~WS_CLIPCHILDREN);
    SetWindowPos(wnd, HWND_TOPMOST, x, y, w, h, SWP_SHOWWINDOW | SWP_NOACTIVATE);
    static const win::Brush green(CreateSolidBrush(RGB(0, 0xA0, 0))); // the class's from now on
    SetClassLongPtrW(wnd, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(green.Get()));
    backdrop->onMessage = [wnd](UINT m, WPARAM w, LPARAM l) { return DefWindowProcW(wnd, m, w, l); };
    RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    return backdrop;
}

HWND Child(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, RECT r, int id = 0)
{
    return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, r.left, r.top, r.right - r.left,
                           r.bottom - r.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           win::ThisModule(), nullptr);
}

// A button on a visible window that records what it is sent, and the real pointer.
class ButtonUnderThePointer : public ::testing::Test {
protected:
    static constexpr int kId = 1000, kW = 60, kH = 30;
    void SetUp() override
    {
        Pointer("mousemove 5 5");
        host_ = Backdrop(100, 100, 200, 120, WM_COMMAND, 0x7FFF);
        ASSERT_TRUE(button_.Bind(Child(host_->Hwnd(), L"BUTTON", L"", BS_PUSHBUTTON, {20, 20, 20 + kW, 20 + kH}, kId)));
        button_.SetNotifyWindow(host_->Hwnd());
        ASSERT_TRUE(button_.SetBitmaps(normal_.Get(), pressed_.Get(), hover_.Get(), disabled_.Get()));
    }
    void TearDown() override { Pointer("mousemove 5 5"); }

    // The colour the screen shows in the middle of the button.
    uint32_t Shown()
    {
        UpdateWindow(button_.Hwnd());
        return testkit::ClientPixels(button_.Hwnd(), RECT{kW / 2, kH / 2, kW / 2 + 1, kH / 2 + 1}).at(0);
    }
    void Pointer(const std::string& xdotool)
    {
        ASSERT_TRUE(testkit::RunUnixAndWait("xdotool " + xdotool));
        testkit::PumpFor(150);
    }
    void Over(const std::string& then = "")
    {
        POINT p{kW / 2, kH / 2};
        ClientToScreen(button_.Hwnd(), &p);
        Pointer("mousemove " + std::to_string(p.x) + " " + std::to_string(p.y) + " " + then);
    }
    // The button's clicks (BN_CLICKED) or notices of kind `msg`.
    size_t Count(UINT msg) const
    {
        size_t n = 0;
        for (const auto& s : host_->seen)
            n += s.msg == msg && s.wp == (msg == WM_COMMAND ? MAKEWPARAM(kId, BN_CLICKED) : kId);
        return n;
    }
    bool LeaveReported() const
    {
        return testkit::PumpUntil([&] { return Count(WM_BUTTON_LEAVE) == 1; }, 2000);
    }
    bool CursorIs(const wchar_t* id) const { return GetCursor() == LoadCursorW(nullptr, id); }

    Picture normal_{kW, kH, kRed}, pressed_{kW, kH, kGreen}, hover_{kW, kH, kBlue}, disabled_{kW, kH, kGrey};
    std::unique_ptr<testkit::RecorderWindow> host_;
    CBmpButton button_;
};

TEST_F(ButtonUnderThePointer, EachDrawStateShowsItsBitmapAndAMissingOneFallsBackToNormal)
{
    const uint32_t byState[] = {kRed, kGreen, kBlue, kGrey};
    for (int s = 0; s < 4; ++s) {
        button_.SetButtonAccess(s, false, true);
        EXPECT_EQ(Shown(), byState[s]) << "state " << s;
    }
    ASSERT_TRUE(button_.SetBitmaps(normal_.Get()));
    for (int s = 0; s < 4; ++s) {
        button_.SetButtonAccess(s, false, true);
        EXPECT_EQ(Shown(), kRed) << "state " << s;
    }
    EXPECT_FALSE(button_.SetBitmaps(nullptr, pressed_.Get()));
}

TEST_F(ButtonUnderThePointer, AForbiddenButtonKeepsItsPictureNeverClicksAndReportsHoverAndLeave)
{
    button_.SetButtonAccess(CBmpButton::kDisabled, true, false);
    Over();
    EXPECT_TRUE(CursorIs(IDC_NO));
    EXPECT_EQ(Count(WM_BUTTON_HOVER), 1u);
    Over("mousedown 1");
    EXPECT_EQ(Shown(), kGrey);
    Over("mouseup 1");
    SendMessageW(button_.Hwnd(), BM_CLICK, 0, 0);
    EXPECT_EQ(Count(WM_COMMAND), 0u);
    Pointer("mousemove 5 5");
    EXPECT_TRUE(LeaveReported());
    EXPECT_EQ(Shown(), kGrey);
}

TEST_F(ButtonUnderThePointer, AnActiveButtonHoversPressesAndClicks)
{
    Over();
    EXPECT_TRUE(CursorIs(IDC_HAND));
    EXPECT_EQ(Count(WM_BUTTON_HOVER), 1u);
    EXPECT_EQ(Shown(), kBlue);
    Over("mousedown 1");
    EXPECT_EQ(Shown(), kGreen);
    Over("mouseup 1");
    EXPECT_EQ(Count(WM_COMMAND), 1u);
    EXPECT_EQ(Shown(), kBlue) << "released with the pointer still over it";
    Pointer("mousemove 5 5");
    EXPECT_TRUE(LeaveReported());
    EXPECT_EQ(Shown(), kRed);
}

TEST(BitmapToRegion, WholeEmptyAndManyBatchedPictures)
{
    Picture whole(7, 5, kBlue), key(7, 5, kKey);
    win::Region full(BitmapToRegion(whole.Get())), rect(CreateRectRgn(0, 0, 7, 5)), none(BitmapToRegion(key.Get()));
    EXPECT_TRUE(EqualRgn(full.Get(), rect.Get()));
    RECT box;
    ASSERT_TRUE(none);
    EXPECT_EQ(GetRgnBox(none.Get(), &box), NULLREGION);
    EXPECT_EQ(BitmapToRegion(nullptr), nullptr);

    constexpr int w = 200, h = 20; // every other pixel: 2000 runs, against one region of them all
    Picture stripes(w, h, kGreen);
    std::vector<unsigned char> data(sizeof(RGNDATAHEADER) + w * h / 2 * sizeof(RECT));
    *reinterpret_cast<RGNDATAHEADER*>(data.data()) = {
        sizeof(RGNDATAHEADER), RDH_RECTANGLES, w * h / 2, 0, {0, 0, w, h}};
    auto* runs = reinterpret_cast<RECT*>(data.data() + sizeof(RGNDATAHEADER));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; x += 2) {
            stripes.At(x + 1, y) = kKey;
            *runs++ = RECT{x, y, x + 1, y + 1};
        }
    win::Region once(
        ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()), reinterpret_cast<RGNDATA*>(data.data())));
    win::Region batched(BitmapToRegion(stripes.Get()));
    EXPECT_TRUE(once && EqualRgn(once.Get(), batched.Get()));
}

// A window that paints a bitmap and takes its shape from it.
class ShapedWindow final : public win::Window {
public:
    ShapedWindow(HBITMAP picture, int x, int y, int w, int h) : picture_(picture)
    {
        static const bool registered = win::RegisterModuleClass(ClassOf(L"PxShapedTest"));
        if (registered && CreateEx(WS_EX_TOPMOST, L"PxShapedTest", L"", WS_POPUP, x, y, w, h, nullptr, 0))
            shaped = SetWindowRgn(Hwnd(), BitmapToRegion(picture), TRUE) != 0;
        ShowWindow(Hwnd(), SW_SHOWNOACTIVATE);
    }
    bool shaped = false;

private:
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override
    {
        if (msg != WM_PAINT)
            return Default(msg, wp, lp);
        win::PaintDC paint(Hwnd());
        RECT r;
        GetClientRect(Hwnd(), &r);
        DrawBitmap(picture_, paint.Get(), 0, 0, r.right, r.bottom);
        return 0;
    }
    HBITMAP picture_; // not ours
};

TEST(BitmapToRegion, AShapedWindowShowsWhatIsBehindItsKeyedCorners)
{
    constexpr int x = 300, y = 80, w = 240, h = 160, radius = 40;
    auto backdrop = Backdrop(x - 40, y - 40, w + 80, h + 80);
    // A rounded body on magenta, with the skin painters' near-magenta at its rim.
    Picture body(w, h, kKey);
    for (int py = 0; py < h; ++py)
        for (int px = 0; px < w; ++px) {
            const int dx = std::max({radius - px, px - (w - 1 - radius), 0});
            const int dy = std::max({radius - py, py - (h - 1 - radius), 0}), d2 = dx * dx + dy * dy;
            if (d2 <= radius * radius)
                body.At(px, py) = d2 > (radius - 2) * (radius - 2) ? 0xFF0CFF : (py < 30 ? 0x2050A0 : 0x182848);
        }
    ShapedWindow shaped(body.Get(), x, y, w, h);
    ASSERT_TRUE(shaped.shaped);
    testkit::PumpFor(300);
    UpdateWindow(shaped.Hwnd());

    const auto screen = testkit::ClientPixels(nullptr, RECT{x, y, x + w, y + h});
    ASSERT_EQ(screen.size(), static_cast<size_t>(w * h));
    EXPECT_EQ(screen[0], kBackdrop) << "top-left corner: what is behind";
    EXPECT_EQ(screen[(h - 1) * w + w - 1], kBackdrop) << "bottom-right corner";
    EXPECT_EQ(screen[(h / 2) * w + w / 2], 0x182848u) << "the body";
    EXPECT_FALSE(testkit::Screenshot("shaped-window").empty());
}

TEST(CMemDC, DrawingLandsInTheClipBoxOnTheBackgroundColourOnlyWhenItGoes)
{
    Picture target(8, 8, kGrey);
    win::MemoryDC dc;
    win::ScopedSelect select(dc.Get(), target.Get());
    win::Region clip(CreateRectRgn(2, 2, 6, 6));
    SelectClipRgn(dc.Get(), clip.Get());
    SetBkColor(dc.Get(), RGB(0, 0, 255));
    {
        CMemDC memory(dc.Get());
        ASSERT_TRUE(memory.Buffered());
        SetPixel(memory, 3, 3, RGB(255, 0, 0)); // the target's own coordinates
        GdiFlush();
        EXPECT_EQ(target.At(3, 3), kGrey) << "nothing reaches the target before the end";
    }
    GdiFlush();
    EXPECT_EQ(target.At(3, 3), kRed);
    EXPECT_EQ(target.At(2, 2), kBlue) << "the clip box starts as the background colour";
    EXPECT_EQ(target.At(1, 1), kGrey) << "outside the clip box nothing changes";
}

// How many pixels of `r` of `wnd` the screen shows in `colour`, and how many in the backdrop's.
std::pair<int, int> Count(HWND wnd, const RECT& r, uint32_t colour)
{
    int ink = 0, backdrop = 0;
    for (uint32_t p : testkit::ClientPixels(wnd, r)) {
        ink += p == colour;
        backdrop += p == kBackdrop;
    }
    return {ink, backdrop};
}

TEST(TransparentControls, OnlyTheTextIsDrawnAndANewTextLeavesNothingOfTheOld)
{
    auto backdrop = Backdrop(100, 100, 240, 90);
    CTransparentStatic label;
    ASSERT_TRUE(label.Bind(Child(backdrop->Hwnd(), L"STATIC", L"WWWWWWWWWWWWWWWWWW", 0, {10, 10, 230, 34})));
    label.SetTextColor(RGB(255, 255, 255));
    CTransparentButton radio;
    ASSERT_TRUE(radio.Bind(Child(backdrop->Hwnd(), L"BUTTON", L"WWWWWWWWWW", BS_AUTORADIOBUTTON, {10, 50, 230, 74})));
    testkit::PumpFor(200);
    UpdateWindow(backdrop->Hwnd());

    // Text, and the backdrop around it rather than a background of the control's own.
    auto [white, green] = Count(label.Hwnd(), RECT{0, 0, 220, 24}, 0xFFFFFF);
    EXPECT_GT(white, 50);
    EXPECT_GT(green, 220 * 24 / 2);
    auto [grey, behind] = Count(radio.Hwnd(), RECT{20, 0, 220, 24}, 0xD2D2D2);
    EXPECT_GT(grey, 30) << "the radio button's text";
    EXPECT_GT(behind, 200 * 24 / 2);

    SetWindowTextW(label.Hwnd(), L"W");
    testkit::PumpFor(200);
    EXPECT_EQ(Count(label.Hwnd(), RECT{30, 0, 220, 24}, 0xFFFFFF).second, 190 * 24) << "the old text is gone";
    testkit::Screenshot("transparent-controls");
}

} // namespace
