// The manager's skinned widgets as a user meets them: a bitmap button under the real pointer
// (xdotool), the screen read back; regions of keyed bitmaps, and a window shaped by one.
#include "BitmapRegion.h"
#include "BmpButton.h"
#include "ManagerMessages.h"
#include "MemDC.h"
#include "TransparentControls.h"
#include "TestKit.h"
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
constexpr int kId = 1000, kW = 60, kH = 30;

// A 32-bit top-down DIB section of one colour whose pixels the test writes.
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
        for (int i = 0; i < w * h; ++i)
            bits[i] = fill;
    }
    void Set(int x, int y, uint32_t rgb) { bits[y * width + x] = rgb; }
    HBITMAP Get() const { return bitmap.Get(); }
};

constexpr uint32_t kBackdrop = 0x00A000;

// A top-most window painted plain green that does not clip its children, as a skinned dialog.
std::unique_ptr<testkit::RecorderWindow> Backdrop(int x, int y, int w, int h)
{
    auto backdrop = std::make_unique<testkit::RecorderWindow>(WM_ERASEBKGND, WM_ERASEBKGND, nullptr, true, w, h);
    HWND wnd = backdrop->Hwnd();
    SetWindowLongPtrW(wnd, GWL_STYLE, GetWindowLongPtrW(wnd, GWL_STYLE) & ~WS_CLIPCHILDREN);
    backdrop->onMessage = [wnd](UINT, WPARAM wp, LPARAM) {
        RECT r;
        GetClientRect(wnd, &r);
        win::Brush green(CreateSolidBrush(RGB(0, 0xA0, 0)));
        FillRect(reinterpret_cast<HDC>(wp), &r, green.Get());
        return LRESULT{1};
    };
    SetWindowPos(wnd, HWND_TOPMOST, x, y, w, h, SWP_SHOWWINDOW | SWP_NOACTIVATE);
    RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    return backdrop;
}

// A button on a visible top-level window that records what it is sent, and the real pointer.
class ButtonUnderThePointer : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(testkit::RunUnixAndWait("xdotool mousemove 5 5"));
        host_ = std::make_unique<testkit::RecorderWindow>(WM_COMMAND, 0x7FFF, nullptr, true, 200, 120);
        host_->onMessage = [this](UINT m, WPARAM w, LPARAM l) { return DefWindowProcW(host_->Hwnd(), m, w, l); };
        SetWindowPos(host_->Hwnd(), HWND_TOPMOST, 100, 100, 200, 120, SWP_SHOWWINDOW);
        HWND b =
            CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 20, 20, kW, kH, host_->Hwnd(),
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kId)), win::ThisModule(), nullptr);
        ASSERT_TRUE(button_.Bind(b));
        button_.SetNotifyWindow(host_->Hwnd());
        ASSERT_TRUE(button_.SetBitmaps(normal_.Get(), pressed_.Get(), hover_.Get(), disabled_.Get()));
        testkit::PumpFor(100);
    }
    void TearDown() override { testkit::RunUnixAndWait("xdotool mousemove 5 5"); }

    // The colour the screen shows in the middle of the button.
    uint32_t Shown()
    {
        UpdateWindow(button_.Hwnd());
        return testkit::ClientPixels(button_.Hwnd(), RECT{kW / 2, kH / 2, kW / 2 + 1, kH / 2 + 1}).at(0);
    }
    // Moves the real pointer over the button (or away from the window), then the xdotool `action`.
    void Pointer(bool over, const std::string& action = "")
    {
        POINT p{kW / 2, kH / 2};
        ClientToScreen(button_.Hwnd(), &p);
        if (!over)
            p = POINT{5, 5};
        ASSERT_TRUE(testkit::RunUnixAndWait("xdotool mousemove " + std::to_string(p.x) + " " + std::to_string(p.y) +
                                            (action.empty() ? "" : " " + action)));
        testkit::PumpFor(150);
    }
    size_t Count(UINT msg) const
    {
        size_t n = 0;
        for (const auto& s : host_->seen)
            n += s.msg == msg && (msg != WM_COMMAND || s.wp == MAKEWPARAM(kId, BN_CLICKED)) &&
                (msg == WM_COMMAND || s.wp == kId);
        return n;
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
    Pointer(true);
    EXPECT_TRUE(CursorIs(IDC_NO));
    EXPECT_EQ(Count(WM_BUTTON_HOVER), 1u);
    Pointer(true, "mousedown 1");
    EXPECT_EQ(Shown(), kGrey);
    Pointer(true, "mouseup 1");
    SendMessageW(button_.Hwnd(), BM_CLICK, 0, 0);
    EXPECT_EQ(Count(WM_COMMAND), 0u);
    EXPECT_EQ(Shown(), kGrey);
    Pointer(false);
    EXPECT_TRUE(testkit::PumpUntil([&] { return Count(WM_BUTTON_LEAVE) == 1; }, 2000));
    EXPECT_EQ(Shown(), kGrey);
    EXPECT_EQ(Count(WM_BUTTON_HOVER), 1u);
}

TEST_F(ButtonUnderThePointer, AnActiveButtonHoversPressesAndClicks)
{
    Pointer(true);
    EXPECT_TRUE(CursorIs(IDC_HAND));
    EXPECT_EQ(Count(WM_BUTTON_HOVER), 1u);
    EXPECT_EQ(Shown(), kBlue);
    Pointer(true, "mousedown 1");
    EXPECT_EQ(Shown(), kGreen);
    Pointer(true, "mouseup 1");
    EXPECT_EQ(Count(WM_COMMAND), 1u);
    EXPECT_EQ(Shown(), kBlue) << "released with the pointer still over it";
    Pointer(false);
    EXPECT_TRUE(testkit::PumpUntil([&] { return Count(WM_BUTTON_LEAVE) == 1; }, 2000));
    EXPECT_EQ(Shown(), kRed);
}

// The region as rectangles, for comparison with one built otherwise.
bool SameRegion(HRGN a, HRGN b) { return a && b && EqualRgn(a, b); }

TEST(BitmapToRegion, KeyedPixelsAreLeftOutWithSixteenGreensOfSlack)
{
    Picture whole(7, 5, kBlue);
    win::Region full(BitmapToRegion(whole.Get())), rect(CreateRectRgn(0, 0, 7, 5));
    EXPECT_TRUE(SameRegion(full.Get(), rect.Get()));

    Picture key(7, 5, kKey);
    win::Region none(BitmapToRegion(key.Get()));
    RECT box;
    ASSERT_TRUE(none);
    EXPECT_EQ(GetRgnBox(none.Get(), &box), NULLREGION);

    Picture edge(2, 1, 0xFF10FF);
    edge.Set(1, 0, 0xFF11FF);
    win::Region r(BitmapToRegion(edge.Get()));
    EXPECT_FALSE(PtInRegion(r.Get(), 0, 0));
    EXPECT_TRUE(PtInRegion(r.Get(), 1, 0));

    EXPECT_EQ(BitmapToRegion(nullptr), nullptr);
}

TEST(BitmapToRegion, ManyBatchesMakeTheSameRegionAsOne)
{
    constexpr int w = 200, h = 20; // 100 runs a row, 2000 in all
    Picture stripes(w, h, kGreen);
    std::vector<RECT> runs;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (x % 2)
                stripes.Set(x, y, kKey);
            else
                runs.push_back(RECT{x, y, x + 1, y + 1});
        }
    std::vector<unsigned char> data(sizeof(RGNDATAHEADER) + runs.size() * sizeof(RECT));
    auto* header = reinterpret_cast<RGNDATAHEADER*>(data.data());
    *header = RGNDATAHEADER{sizeof(RGNDATAHEADER), RDH_RECTANGLES, static_cast<DWORD>(runs.size()), 0, {0, 0, w, h}};
    memcpy(data.data() + sizeof(RGNDATAHEADER), runs.data(), runs.size() * sizeof(RECT));
    win::Region once(
        ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()), reinterpret_cast<RGNDATA*>(data.data())));
    win::Region batched(BitmapToRegion(stripes.Get()));
    EXPECT_TRUE(SameRegion(once.Get(), batched.Get()));
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
        EXPECT_EQ(target.bits[3 * 8 + 3], kGrey) << "nothing reaches the target before the end";
    }
    GdiFlush();
    EXPECT_EQ(target.bits[3 * 8 + 3], kRed);
    EXPECT_EQ(target.bits[2 * 8 + 2], kBlue) << "the clip box starts as the background colour";
    EXPECT_EQ(target.bits[1 * 8 + 1], kGrey) << "outside the clip box nothing changes";
}

// A window that paints a bitmap and takes its shape from it.
class ShapedWindow final : public win::Window {
public:
    explicit ShapedWindow(HBITMAP picture, int x, int y, int w, int h) : picture_(picture)
    {
        static const bool registered = win::RegisterModuleClass(ClassOf(L"PxShapedTest"));
        if (registered && CreateEx(WS_EX_TOPMOST, L"PxShapedTest", L"", WS_POPUP, x, y, w, h, nullptr, 0))
            shaped_ = SetWindowRgn(Hwnd(), BitmapToRegion(picture), TRUE) != 0;
        ShowWindow(Hwnd(), SW_SHOWNOACTIVATE);
    }
    bool shaped_ = false;

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
            const int dy = std::max({radius - py, py - (h - 1 - radius), 0});
            const int d2 = dx * dx + dy * dy;
            if (d2 <= radius * radius)
                body.Set(px, py, d2 > (radius - 2) * (radius - 2) ? 0xFF0CFF : (py < 30 ? 0x2050A0 : 0x182848));
        }
    ShapedWindow shaped(body.Get(), x, y, w, h);
    ASSERT_TRUE(shaped.shaped_);
    testkit::PumpFor(300);
    UpdateWindow(shaped.Hwnd());

    const auto screen = testkit::ClientPixels(nullptr, RECT{x, y, x + w, y + h});
    ASSERT_EQ(screen.size(), static_cast<size_t>(w * h));
    EXPECT_EQ(screen[0], kBackdrop) << "top-left corner: the backdrop";
    EXPECT_EQ(screen[(h - 1) * w + w - 1], kBackdrop) << "bottom-right corner: the backdrop";
    EXPECT_EQ(screen[(h / 2) * w + w / 2], 0x182848u) << "the body";
    EXPECT_EQ(screen[10 * w + w / 2], 0x2050A0u) << "the body's band";
    const std::string shot = testkit::Screenshot("shaped-window");
    EXPECT_FALSE(shot.empty());
    std::printf("screenshot: %s\n", shot.c_str());
}

} // namespace

namespace {

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

HWND Child(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int y)
{
    return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, 10, y, 220, 24, parent, nullptr,
                           win::ThisModule(), nullptr);
}

} // namespace

TEST(TransparentControls, OnlyTheTextIsDrawnAndANewTextLeavesNothingOfTheOld)
{
    auto backdrop = Backdrop(100, 100, 240, 90);
    CTransparentStatic label;
    ASSERT_TRUE(label.Bind(Child(backdrop->Hwnd(), L"STATIC", L"WWWWWWWWWWWWWWWWWW", 0, 10)));
    label.SetTextColor(RGB(255, 255, 255));
    CTransparentButton radio;
    ASSERT_TRUE(radio.Bind(Child(backdrop->Hwnd(), L"BUTTON", L"WWWWWWWWWW", BS_AUTORADIOBUTTON, 50)));
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
    auto [left, clean] = Count(label.Hwnd(), RECT{30, 0, 220, 24}, 0xFFFFFF);
    EXPECT_EQ(clean, 190 * 24) << "the old text is gone";
    testkit::Screenshot("transparent-controls");
}
