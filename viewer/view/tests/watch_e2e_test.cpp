// Watching pictures beyond the plain live view, end to end under the real pointer: the digital zoom
// (wheel and drag over a division) and the age of a picture that stopped (a channel the simulator
// stops, then the whole connection dropped).
#include "DivisionOverlay.h"
#include "LiveScreen.h"
#include "ViewPanel.h"
#include <gtest/gtest.h>
#include <string>

using namespace view;
using namespace testkit;

namespace {

class WatchView : public LiveView {
protected:
    video::DisplayManager& Display() { return Readout().Live()->Display(); }
    // A screen point of the display's client point `p`.
    POINT OnScreen(POINT p) const
    {
        ClientToScreen(display_, &p);
        return p;
    }
    // Brightest luma over a block of the screen.
    static int MaxLuma(const Screen& s, int x0, int y0, int x1, int y1)
    {
        int best = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                best = std::max(best, s.Luma(x, y));
        return best;
    }
};

// The camera number of division 0, read through the zoom the display reports: the zoomed picture
// shows exactly the source rectangle that zoom names.
constexpr double kZoomedBound = 0.15;

double ZoomedMismatch(const Screen& s, const Mapping& m0, const video::Zoom& z)
{
    Mapping m = m0;
    m.src = video::ZoomedSource(m0.src, z);
    dvrsim::YuvPicture pic;
    dvrsim::CameraScene(0, kWidth, kHeight).Render(0, pic);
    return Mismatch(s, m, pic, kNumberX0, kNumberY0, kNumberX1, kNumberY1);
}

TEST_F(WatchView, WheelZoomsAroundThePointerDragPansAndALayoutChangeReturnsTheWholePicture)
{
    ConnectAndWaitForPictures("--no-audio");
    TextsOff();
    const Mapping& m0 = divisions_[0];
    // The pointer over the middle of camera 1's number plate.
    const POINT at{m0.X((kNumberX0 + kNumberX1) / 2), m0.Y((kNumberY0 + kNumberY1) / 2)};
    Pointer(OnScreen(at), "click --repeat 4 4");
    PumpUntil([&] { return Display().ZoomOf(0).factor > 2.4; }, 5000);

    video::Zoom expected;
    const double u = (at.x - m0.div.left + 0.5) / m0.div.Width(), v = (at.y - m0.div.top + 0.5) / m0.div.Height();
    for (int i = 0; i < 4; ++i)
        expected = video::ZoomAround(expected, 1, u, v);
    video::Zoom z = Display().ZoomOf(0);
    ASSERT_NEAR(z.factor, expected.factor, 1e-9) << "four notches";
    EXPECT_NEAR(z.cx, expected.cx, 1e-9);
    EXPECT_NEAR(z.cy, expected.cy, 1e-9);
    EXPECT_EQ(Display().ZoomOf(1).factor, 1.0) << "only the division under the pointer";
    PumpFor(300);
    Screen s = Capture(display_);
    // Enlarged, the plate's dot edges blur over a few pixels: a slightly looser bound than at 1x,
    // far from the mismatch of a picture drawn any other way.
    EXPECT_LT(ZoomedMismatch(s, m0, z), kZoomedBound) << "the zoomed plate";
    EXPECT_GT(ZoomedMismatch(s, m0, video::Zoom{}), 0.25) << "the plate is not drawn at 1x";
    Screenshot("zoomed-division");

    // A drag left and up by (40, 20) moves the picture with the pointer.
    Pointer(OnScreen(at), "mousedown 1");
    Pointer(OnScreen({at.x - 40, at.y - 20}), "mouseup 1");
    PumpUntil([&] { return Display().ZoomOf(0).cx != z.cx; }, 5000);
    const video::Zoom panned = video::Panned(z, -40, -20, m0.div.Width(), m0.div.Height());
    const video::Zoom after = Display().ZoomOf(0);
    EXPECT_NEAR(after.cx, panned.cx, 1e-9);
    EXPECT_NEAR(after.cy, panned.cy, 1e-9);
    EXPECT_GT(after.cx, z.cx) << "dragged left: a part further right shows";
    PumpFor(300);
    s = Capture(display_);
    EXPECT_LT(ZoomedMismatch(s, m0, after), kZoomedBound) << "the panned plate";
    EXPECT_GT(ZoomedMismatch(s, m0, z), 0.25) << "the plate where it was before the drag";

    // Camera 1 alone: a layout change returns every division to its whole picture.
    host_->Command(kCmdFirstChannel);
    PumpUntil([&] { return Display().CurrentLayout() != layoutIndex_; }, 5000);
    EXPECT_EQ(Display().ZoomOf(0).factor, 1.0);
}

TEST_F(WatchView, AStoppedChannelIsDimmedWithItsAgeAndClearsOnItsNextPicture)
{
    // Camera 2 stops 3 s after its first frame, for 7 s.
    ConnectAndWaitForPictures("--no-audio --video-stop 2:3:7");
    TextsOff();
    ASSERT_TRUE(PumpUntil([&] { return Display().Aged(1); }, 15000)) << "camera 2 never aged";
    EXPECT_FALSE(Display().Aged(0));
    PumpUntil([&] { return Display().AgeText(1) == u"No picture for 4 s"; }, 3000);
    EXPECT_EQ(Display().AgeText(1), u"No picture for 4 s") << "renewed each second";
    PumpFor(200);
    const Screen s = Capture(display_);
    const video::DivRect& d = divisions_[1].div;
    const int mid = (d.top + d.bottom) / 2;
    // Dimmed: nothing outside the text is brighter than 5/8 of white; the text itself is white.
    EXPECT_LE(MaxLuma(s, d.left + 2, d.top + 2, d.right - 2, mid - 20), 160);
    EXPECT_GE(MaxLuma(s, d.left + 2, mid - 8, d.right - 2, mid + 8), 240);
    EXPECT_GT(MaxLuma(s, divisions_[0].div.left + 2, divisions_[0].div.top + 2, divisions_[0].div.right - 2,
                      divisions_[0].div.bottom - 2),
              200)
        << "a live division is not dimmed";
    Screenshot("aged-picture");

    ASSERT_TRUE(PumpUntil([&] { return !Display().Aged(1); }, 10000)) << "the restarted camera stays aged";
    double miss = 0;
    PumpFor(200);
    EXPECT_EQ(ReadChannel(Capture(display_), divisions_[1], &miss), 1);
    EXPECT_LT(miss, 0.1);

    // The DVR goes: every kept picture ages, with the reconnect attempt.
    sim_.Kill();
    ASSERT_TRUE(
        PumpUntil([&] { return Display().AgeText(0).find(u"\nReconnecting ") != std::u16string::npos; }, 15000));
    const std::u16string text = Display().AgeText(0);
    EXPECT_EQ(text.rfind(u"No picture for ", 0), 0u) << std::string(text.begin(), text.end());
    EXPECT_NE(text.find(u"/10"), std::u16string::npos);
    Screenshot("aged-reconnecting");
    host_->Command(kCmdDisconnect);
    PumpUntil([&] { return !Display().Aged(0); }, 5000);
    EXPECT_FALSE(Display().Aged(0)) << "a user disconnect blanks the pictures and their age";
}

} // namespace
