// The panel as a user meets it: the view under Xvfb, the real pointer moved and clicked by xdotool,
// and what the view receives and what the screen shows read back.
#include "DVRScreenView.h"
#include "TestKit.h"
#include "ViewReadout.h"
#include "ViewSkinLink.h"
#include "foundation/Window.h"
#include <gtest/gtest.h>
#include <memory>
#include <string>

using namespace view;

namespace {

// Records the panel's messages on their way to the view.
class PanelMessages final : public win::Subclass {
public:
    std::vector<std::pair<UINT, WPARAM>> seen;
    LPARAM lastLp = 0;
    size_t Count(UINT msg, WPARAM command) const
    {
        size_t n = 0;
        for (const auto& [m, w] : seen)
            n += m == msg && w == command;
        return n;
    }

private:
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override
    {
        if (msg >= WM_VIEW_COMMAND && msg <= WM_IMGBTN_RELEASED && msg != WM_IMGBTN_DRAWN && msg != WM_IMGBTN_REDRAW) {
            seen.emplace_back(msg, wp);
            if (msg == WM_VIEW_COMMAND)
                lastLp = lp;
            if (msg == WM_VIEW_COMMAND && wp == kCmdExit)
                return 0; // the test keeps its view
        }
        return Default(msg, wp, lp);
    }
};

class PanelUnderTheMouse : public ::testing::Test {
protected:
    void SetUp() override
    {
        const SIZE size = DVRScreenView::PanelSize(LinkedViewSkin());
        host_ = std::make_unique<testkit::RecorderWindow>(WM_APP, WM_APP, nullptr, true, size.cx + 2, size.cy + 2);
        view_ = DVRScreenView::Create(host_->Hwnd(), LinkedViewSkin());
        ASSERT_NE(view_, nullptr);
        ASSERT_TRUE(messages_.Attach(view_->Window()));
        SetForegroundWindow(host_->Hwnd());
        testkit::PumpFor(300);
    }
    void TearDown() override
    {
        messages_.Detach();
        host_.reset(); // the view goes with its parent
    }
    ViewPanel& Panel() { return Readout(*view_).Panel(); }
    RECT ButtonRect(int command)
    {
        const auto& r = Panel().Button(command)->rect;
        return RECT{r.left, r.top, r.right, r.bottom};
    }
    // Moves the real pointer to the middle of a button, then runs the xdotool `action`.
    void Pointer(int command, const std::string& action = "")
    {
        const RECT r = ButtonRect(command);
        POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        ClientToScreen(view_->Window(), &p);
        ASSERT_TRUE(testkit::RunUnixAndWait("xdotool mousemove " + std::to_string(p.x) + " " + std::to_string(p.y) +
                                            (action.empty() ? "" : " " + action)));
        testkit::PumpFor(150);
    }
    std::vector<uint32_t> Pixels() { return testkit::ClientPixels(view_->Window(), Panel().Rect(kRectPanel)); }
    // How many pixels differ outside and inside the button's rectangle.
    std::pair<int, int> Changed(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, int command)
    {
        const RECT panel = Panel().Rect(kRectPanel), r = ButtonRect(command);
        int outside = 0, inside = 0;
        const int w = panel.right - panel.left;
        for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
            if (a[i] == b[i])
                continue;
            POINT p{static_cast<LONG>(i % w), static_cast<LONG>(i / w)};
            (PtInRect(&r, p) ? inside : outside)++;
        }
        return {outside, inside};
    }

    std::unique_ptr<testkit::RecorderWindow> host_;
    DVRScreenView* view_ = nullptr; // not ours: goes with its window
    PanelMessages messages_;
};

TEST_F(PanelUnderTheMouse, EachButtonPostsItsCommandAndOnlyItsPixelsChange)
{
    Pointer(kCmdExit); // park the pointer on a button that only posts its command
    const auto parked = Pixels();
    Pointer(kCmdSetup);
    const auto hovered = Pixels();
    auto [outside, inside] = Changed(parked, hovered, kCmdSetup);
    EXPECT_GT(inside, 0) << "hovering the setup button changes it";
    // Leaving Exit returns it to its normal image, which is what it showed before hovering.
    EXPECT_EQ(Changed(parked, hovered, kCmdExit).first - inside, 0) << "only Setup and Exit changed";

    Pointer(kCmdSetup, "mousedown 1");
    const auto pressed = Pixels();
    std::tie(outside, inside) = Changed(hovered, pressed, kCmdSetup);
    EXPECT_GT(inside, 0);
    EXPECT_EQ(outside, 0) << "pressing changes the button's own pixels only";
    Pointer(kCmdSetup, "mouseup 1");
    EXPECT_EQ(messages_.Count(WM_IMGBTN_PRESSED, kCmdSetup), 1u);
    EXPECT_EQ(messages_.Count(WM_VIEW_COMMAND, kCmdSetup), 1u);

    Panel().SetButton(kCmdSetup, false, skinui::kDisabled);
    testkit::PumpFor(150);
    std::tie(outside, inside) = Changed(Pixels(), hovered, kCmdSetup);
    EXPECT_GT(inside, 0) << "disabled looks different";
    EXPECT_EQ(outside, 0);
    Pointer(kCmdSetup, "click 1");
    EXPECT_EQ(messages_.Count(WM_VIEW_COMMAND, kCmdSetup), 1u) << "a disabled button does not click";

    // The live-phone toggle: down, then up, its checked state in the command.
    Pointer(kCmdPhone, "click 1");
    EXPECT_EQ(messages_.lastLp, 65537);
    Pointer(kCmdPhone, "click 1");
    EXPECT_EQ(messages_.lastLp, 1);
    EXPECT_EQ(messages_.Count(WM_VIEW_COMMAND, kCmdPhone), 2u);
}

TEST_F(PanelUnderTheMouse, AHeldPtzButtonRepeatsEveryHundredMilliseconds)
{
    Pointer(kCmdFirstPtz, "mousedown 1 sleep 1 mouseup 1");
    const size_t ticks = messages_.Count(WM_VIEW_COMMAND, kCmdFirstPtz);
    EXPECT_GE(ticks, 6u);
    EXPECT_LE(ticks, 11u);
    EXPECT_EQ(messages_.Count(WM_IMGBTN_PRESSED, kCmdFirstPtz), 1u);
    EXPECT_EQ(messages_.Count(WM_IMGBTN_REPEATEND, kCmdFirstPtz), 1u);
    EXPECT_EQ(messages_.Count(WM_IMGBTN_RELEASED, kCmdFirstPtz), 1u);
    testkit::PumpFor(300);
    EXPECT_EQ(messages_.Count(WM_VIEW_COMMAND, kCmdFirstPtz), ticks) << "no tick after the release";
}

TEST_F(PanelUnderTheMouse, DisconnectedAndConnectedFacesAndTheVersionLabel)
{
    EXPECT_EQ(ViewPanel::VersionText(), L"Ver 0. 9. 1. 24");
    const RECT label = Panel().Rect(kRectVersion);
    const auto pixels = testkit::ClientPixels(view_->Window(), label);
    int white = 0, black = 0;
    for (uint32_t p : pixels) {
        const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
        white += r > 200 && g > 200 && b > 200;
        black += r < 40 && g < 40 && b < 40;
    }
    EXPECT_GT(white, 20) << "the label's text";
    EXPECT_GT(black, white) << "its outline";

    EXPECT_FALSE(Panel().Button(kCmdFirstChannel)->enabled) << "channels wait for a connection";
    EXPECT_FALSE(testkit::Screenshot("panel-disconnected").empty());
    Panel().SetConnectedState(true, true);
    testkit::PumpFor(200);
    EXPECT_FALSE(testkit::Screenshot("panel-connected").empty());
    Pointer(kCmdFirstChannel + 2, "click 1");
    EXPECT_EQ(messages_.Count(WM_VIEW_COMMAND, kCmdFirstChannel + 2), 1u);
    EXPECT_EQ(messages_.lastLp, 1) << "a checked channel button clicked becomes unchecked";
    Panel().SetConnectedState(false, true);
    testkit::PumpFor(200);
    EXPECT_EQ(Panel().Button(kCmdFirstChannel + 2)->state, skinui::kDisabled);
    EXPECT_TRUE(Panel().Button(kCmdFirstChannel + 2)->checked);
    EXPECT_FALSE(Panel().Button(kCmdSetup)->enabled);
}

} // namespace
