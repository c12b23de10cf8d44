// Live video end to end: the view with its own display, decode threads and sound devices, connected
// over Conduix to the DVR simulator's real MPEG-4 streams. What is checked is what a user sees: the
// display window's pixels read back from the screen, where each division must show its own camera
// (the channel number burned into the simulator's pictures), moving (the burned-in frame counter
// advances), with its title and time while connected; and the DVR's sound at the sound server.
#include "LiveScreen.h"
#include "TestKit.h"
#include "ViewTestBase.h"
#include "ViewReadout.h"
#include "LiveVideo.h"
#include "../../audio/tests/SoundServer.h"
#include "ViewAudio.h"
#include "ViewHost.h"
#include "ViewSkinLink.h"
#include "ViewSetupFile.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace view;
using namespace testkit;

namespace {

TEST_F(LiveView, EveryDivisionShowsItsOwnMovingCameraAndTheSoundPlays)
{
    soundtest::Recorder rec;
    ConnectAndWaitForPictures("");
    ASSERT_TRUE(rec.Start(1.5));

    // The texts cover the burned-in numbers: off with two right clicks.
    TextsOff();
    ExpectEachCameraMoving();

    // The DVR's audio (channel 1) reached the sound server.
    const std::vector<int16_t> heard = rec.Finish();
    ASSERT_GT(heard.size(), 4000u);
    EXPECT_GT(soundtest::Energy(heard, 0, heard.size()), 1e4) << "nothing heard";
}

// A DVR that sends no audio must not freeze the pictures that wait for the audio clock.
TEST_F(LiveView, WithoutAudioPicturesStillFlow)
{
    ConnectAndWaitForPictures("--no-audio");
    TextsOff();
    ExpectEachCameraMoving();
}

// When the DVR drops the connection, the last pictures stay, with the texts a connection shows
// (title, size and time), while the view reconnects; a user disconnect then blanks them.
TEST_F(LiveView, DroppedDvrKeepsTheLastPicturesWithTheirTextsUntilTheUserStops)
{
    ConnectAndWaitForPictures("--no-audio");
    sim_.Kill();
    PumpUntil([&] { return State().reconnectCount >= 1; }, 10000);
    ASSERT_GE(State().reconnectCount, 1);
    ASSERT_TRUE(State().connectionDropped);
    ASSERT_FALSE(Readout().Live()->Running()) << "the decode threads end with the connection";
    // Compared once every kept picture is dimmed with its age, which then changes only in the middle.
    PumpUntil([&] { return Readout().Live()->Display().Aged(kChannels - 1); }, 5000);
    const Screen withTexts = Capture(display_);
    TextsOff();
    PumpUntil([] { return false; }, 300);
    const Screen plain = Capture(display_);
    for (int p = 0; p < kChannels; ++p) {
        // The kept picture is still there, dimmed (its burned-in marks lie under the age text).
        const video::DivRect& d = divisions_[p].div;
        int bright = 0;
        for (int y = d.top + 8; y < d.top + d.Height() / 3; y += 3)
            for (int x = d.left + 8; x < d.right - 8; x += 3)
                bright += plain.Luma(x, y) > 40;
        EXPECT_GT(bright, 50) << "division " << p << " lost its picture";
    }
    for (int p = 0; p < kChannels; ++p) {
        // The pictures stand still; only the texts went, so they were there: the title, the size
        // and the time boxes changed, and the middle of the picture did not.
        const int points = video::StyleOf(layoutIndex_, p).fontPoints;
        const video::DivRect& d = divisions_[p].div;
        EXPECT_GT(Differing(withTexts, plain, video::TitleBox(d, points)), 30) << "title of division " << p;
        EXPECT_GT(Differing(withTexts, plain, video::SizeBox(d, points)), 30) << "size of division " << p;
        EXPECT_GT(Differing(withTexts, plain, video::TimeBox(d, points)), 30) << "time of division " << p;
        const video::TextBox middle{d.left + d.Width() / 3, d.top + d.Height() / 5, d.right - d.Width() / 3,
                                    d.top + d.Height() / 3};
        EXPECT_EQ(Differing(withTexts, plain, middle), 0) << "division " << p << " still moves";
    }

    host_->Command(kCmdDisconnect);
    PumpUntil([&] { return State().userStopped && !State().reconnectPending; }, 5000);
    EXPECT_FALSE(State().connectionDropped);
    PumpUntil([] { return false; }, 300);
    const Screen blank = Capture(display_);
    for (int p = 0; p < kChannels; ++p) {
        const video::DivRect& d = divisions_[p].div;
        int bright = 0;
        for (int y = d.top + 8; y < d.bottom - 8; y += 3)
            for (int x = d.left + 8; x < d.right - 8; x += 3)
                bright += blank.Luma(x, y) > 40;
        EXPECT_LT(bright, 10) << "division " << p << " still shows a picture";
    }
}

// A DVR whose video clock runs an hour ahead of its audio, with some frames carrying a million
// microseconds or more: the pictures are shown, not held for good while the audio flows.
TEST_F(LiveView, PicturesFarAheadOfTheAudioClockKeepFlowing)
{
    ConnectAndWaitForPictures("--video-clock-ahead 3600 --video-bad-time 7");
    const uint64_t shown = Shown();
    PumpFor(3000);
    EXPECT_GT(Shown() - shown, 4u * 30 * 3 / 2) << "pictures stopped";
    TextsOff();
    ExpectEachCameraMoving();
}

// The login's byte 6 reaches the decoder manager of that login, and each channel's resolution
// class reaches the view as message 1223.
TEST_F(LiveView, LoginSetsTheNtscMarkAndResolutionClassesReachTheView)
{
    static WNDPROC viewProc = nullptr;
    static std::map<WPARAM, LPARAM> classes;
    classes.clear();
    HWND view = View();
    viewProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(view, GWLP_WNDPROC));
    SetWindowLongPtrW(view, GWLP_WNDPROC,
                      reinterpret_cast<LONG_PTR>(+[](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
                          if (m == video::kMsgResolutionClass)
                              classes[wp] = lp;
                          return CallWindowProcW(viewProc, w, m, wp, lp);
                      }));

    ASSERT_TRUE(sim_.Start(port_, "--channels 4 --no-pictures --decoder-byte 0"));
    Connect();
    PumpUntil([&] { return Readout().Live()->Running(); }, 20000);
    ASSERT_TRUE(Readout().Live()->Running());
    EXPECT_EQ(Readout().Live()->NtscMark(), 1) << "byte 6 of 0 sets the mark";
    host_->Command(kCmdDisconnect);
    PumpUntil([&] { return !State().connected; }, 5000);
    sim_.Kill();

    ConnectAndWaitForPictures("");
    PumpUntil([&] { return classes.size() >= kChannels; }, 5000);
    SetWindowLongPtrW(view, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(viewProc));
    ASSERT_EQ(classes.size(), static_cast<size_t>(kChannels));
    for (const auto& [channel, cls] : classes)
        EXPECT_EQ(cls, video::ResolutionClassOf(352, 240)) << "channel " << channel;
}

} // namespace
