// Live video end to end: the view with its own display, decode threads and sound devices, connected
// over Conduix to the DVR simulator's real MPEG-4 streams. What is checked is what a user sees: the
// display window's pixels read back from the screen, where each division must show its own camera
// (the channel number burned into the simulator's pictures), moving (the burned-in frame counter
// advances), with its title and time while connected; and the DVR's sound at the sound server.
#include "CameraScene.h"
#include "DisplayLayout.h"
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

constexpr int kChannels = 4;
constexpr int kWidth = 352, kHeight = 240; // the simulator's "cif"

// The display window's client area as it is on the screen, 32-bit pixels, top-down rows.
struct Screen {
    int width = 0, height = 0;
    std::vector<uint32_t> px;
    uint32_t At(int x, int y) const { return px[static_cast<size_t>(y) * width + x]; }
    int Luma(int x, int y) const
    {
        const uint32_t p = At(x, y);
        return static_cast<int>((29 * (p & 255) + 150 * ((p >> 8) & 255) + 77 * ((p >> 16) & 255)) >> 8);
    }
};

Screen Capture(HWND wnd)
{
    Screen s;
    RECT r;
    GetClientRect(wnd, &r);
    s.width = r.right;
    s.height = r.bottom;
    s.px = ClientPixels(wnd, r);
    s.px.resize(static_cast<size_t>(s.width) * s.height);
    return s;
}

// Where a point of the picture lands in its division (the display's stretch of the source rectangle).
struct Mapping {
    video::DivRect div;
    video::SourceRect src = video::PictureSourceRect(kWidth, kHeight);
    bool Inside(int sx, int sy) const
    {
        return sx >= src.x && sx < src.x + src.width && sy >= src.y && sy < src.y + src.height;
    }
    int X(int sx) const { return div.left + (2 * (sx - src.x) + 1) * div.Width() / (2 * src.width); }
    int Y(int sy) const { return div.top + (2 * (sy - src.y) + 1) * div.Height() / (2 * src.height); }
};

// How far the screen's division differs from a rendered picture over a region of the picture:
// the share of sample points whose brightness falls on the other side of mid-grey.
double Mismatch(const Screen& s, const Mapping& m, const dvrsim::YuvPicture& pic, int x0, int y0, int x1, int y1)
{
    int tested = 0, wrong = 0;
    for (int sy = y0; sy < y1; sy += 2)
        for (int sx = x0; sx < x1; sx += 2) {
            if (!m.Inside(sx, sy))
                continue;
            const bool expected = pic.y[static_cast<size_t>(sy) * pic.width + sx] >= 128;
            const bool seen = s.Luma(m.X(sx), m.Y(sy)) >= 128;
            ++tested;
            wrong += expected != seen;
        }
    return tested ? double(wrong) / tested : 1.0;
}

// The simulator's burned-in marks, on dark plates: the number's two digits of "CH<nn>", and the
// frame counter.
const dvrsim::SceneMarks kMarks = dvrsim::MarksOf(kWidth, kHeight);
const int kScale = kMarks.scale;
const int kNumberX0 = kMarks.channelX + 12 * kScale, kNumberX1 = kMarks.channelX + 24 * kScale;
const int kNumberY0 = kMarks.channelY, kNumberY1 = kMarks.channelY + 7 * kScale;
const int kCounterX0 = kMarks.counterX, kCounterX1 = kMarks.counterX + 30 * kScale;
const int kCounterY0 = kMarks.counterY, kCounterY1 = kMarks.counterY + 7 * kScale;

// The camera whose burned-in number the division shows (0-based), and how well it matched.
int ReadChannel(const Screen& s, const Mapping& m, double* mismatch)
{
    int best = -1;
    double bestMiss = 2;
    dvrsim::YuvPicture pic;
    for (int ch = 0; ch < 16; ++ch) {
        dvrsim::CameraScene(ch, kWidth, kHeight).Render(0, pic);
        const double miss = Mismatch(s, m, pic, kNumberX0, kNumberY0, kNumberX1, kNumberY1);
        if (miss < bestMiss) {
            bestMiss = miss;
            best = ch;
        }
    }
    *mismatch = bestMiss;
    return best;
}

// The burned-in frame counter (the simulator's loop holds 60 frames).
int ReadCounter(const Screen& s, const Mapping& m, int channel, double* mismatch)
{
    int best = -1;
    double bestMiss = 2;
    dvrsim::YuvPicture pic;
    const dvrsim::CameraScene scene(channel, kWidth, kHeight);
    for (int f = 0; f < 60; ++f) {
        scene.Render(f, pic);
        const double miss = Mismatch(s, m, pic, kCounterX0, kCounterY0, kCounterX1, kCounterY1);
        if (miss < bestMiss) {
            bestMiss = miss;
            best = f;
        }
    }
    *mismatch = bestMiss;
    return best;
}

// Pixels of a text box that differ between two screens.
int Differing(const Screen& a, const Screen& b, const video::TextBox& box)
{
    int n = 0;
    for (int y = std::max(0, box.top); y < std::min(a.height, box.bottom); ++y)
        for (int x = std::max(0, box.left); x < std::min(a.width, box.right); ++x)
            n += a.At(x, y) != b.At(x, y);
    return n;
}

class LiveView : public ViewTestBase {
protected:
    LiveView() : ViewTestBase("dvrsim-live") {}
    void Prepare() override
    {
        ASSERT_NO_FATAL_FAILURE(OpenView(true));
        ASSERT_TRUE(Readout().Live());
        display_ = Readout().Live()->Display().Window();
        ASSERT_TRUE(display_);
        // The divisions of the 4-channel layout in the display's client area.
        const video::DivisionMode* mode = nullptr;
        for (int i = 0; i < video::kDivisionModeCount; ++i) {
            const video::DivisionMode* d = video::FindDivisionMode(i);
            if (d && d->channels >= kChannels && (!mode || d->channels < mode->channels))
                mode = d;
        }
        ASSERT_TRUE(mode);
        layoutIndex_ = mode->layout;
        video::Layout layout = video::BuiltinLayout(layoutIndex_);
        RECT area;
        GetClientRect(display_, &area);
        video::ComputeGeometry(layout, area.right, area.bottom);
        for (int p = 0; p < kChannels; ++p) {
            Mapping m;
            m.div = layout.divisions[p].rect;
            divisions_.push_back(m);
        }
        layout_ = layout;
    }

    void ConnectAndWaitForPictures(const std::string& simOptions)
    {
        // The user wants the DVR's audio: "Enable Audio" ticked in the stored settings, which the
        // view reads at login (without it, received audio is dropped and pictures do not wait).
        settings::ViewSetupRecord wanted = settings::DefaultViewSetup(kChannels);
        wanted.audioChoice = 1;
        ASSERT_TRUE(settings::SaveViewSetup(settings::kViewSetupPath, wanted));
        ASSERT_TRUE(sim_.Start(port_, "--channels 4 --video cif " + simOptions));
        Connect();
        // The simulator encodes its loops first; then every channel's pictures flow.
        PumpUntil([&] { return Shown() > 120; }, 60000);
        ASSERT_GT(Shown(), 120u) << "pictures shown";
        ASSERT_EQ(Readout().Live()->Display().CurrentLayout(), layoutIndex_);
    }
    uint64_t Shown() const { return Readout().Live()->PicturesShown(); }

    // A right click in the display, as the mouse gives it.
    void RightClick()
    {
        SetForegroundWindow(host_->Window());
        POINT pt{divisions_[0].div.left + 40, divisions_[0].div.top + 100};
        ClientToScreen(display_, &pt);
        SetCursorPos(pt.x, pt.y);
        INPUT in[2]{};
        in[0].type = in[1].type = INPUT_MOUSE;
        in[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
        in[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
        SendInput(2, in, sizeof(INPUT));
        const video::OsdSwitches before = Readout().Live()->Display().Switches();
        PumpUntil([&] { return Readout().Live()->Display().Switches().title != before.title; }, 5000);
        ASSERT_NE(Readout().Live()->Display().Switches().title, before.title) << "the right click was not seen";
    }
    // Right clicks until the texts are off (the switches start off and flip together).
    void TextsOff()
    {
        RightClick();
        RightClick();
        const video::OsdSwitches off = Readout().Live()->Display().Switches();
        ASSERT_EQ(off.title + off.size + off.time, 0) << "the right-click switches";
    }

    // A look at the screen in which every division reads as its camera; a capture taken while a
    // decode thread was halfway through a division is taken again.
    Screen SettledCapture(double* worst)
    {
        Screen s;
        for (int attempt = 0; attempt < 8; ++attempt) {
            s = Capture(display_);
            *worst = 0;
            for (int p = 0; p < kChannels; ++p) {
                double miss = 0, counterMiss = 0;
                if (ReadChannel(s, divisions_[p], &miss) != p)
                    miss = 1;
                ReadCounter(s, divisions_[p], p, &counterMiss);
                *worst = std::max({*worst, miss, counterMiss});
            }
            if (*worst < 0.1)
                break;
            PumpUntil([] { return false; }, 50);
        }
        return s;
    }

    // Every division shows its own camera's number, and its frame counter moves on within a few
    // seconds (pictures wait for the audio clock, which pauses them once when the sound starts).
    void ExpectEachCameraMoving()
    {
        double worst = 0;
        const Screen first = SettledCapture(&worst);
        std::vector<int> counters(kChannels);
        for (int p = 0; p < kChannels; ++p) {
            double miss = 0;
            EXPECT_EQ(ReadChannel(first, divisions_[p], &miss), p) << "division " << p;
            EXPECT_LT(miss, 0.1) << "division " << p;
            counters[p] = ReadCounter(first, divisions_[p], p, &miss);
            EXPECT_LT(miss, 0.1) << "division " << p;
        }
        std::vector<bool> moved(kChannels, false);
        for (int look = 0; look < 60 && std::count(moved.begin(), moved.end(), false) > 0; ++look) {
            PumpUntil([] { return false; }, 150);
            const Screen later = Capture(display_);
            for (int p = 0; p < kChannels; ++p) {
                double miss = 0;
                const int f = ReadCounter(later, divisions_[p], p, &miss);
                moved[p] = moved[p] || (miss < 0.1 && f != counters[p]);
            }
        }
        for (int p = 0; p < kChannels; ++p)
            EXPECT_TRUE(moved[p]) << "division " << p << " does not move";
    }

    HWND display_ = nullptr;
    std::vector<Mapping> divisions_;
    video::Layout layout_;
    int layoutIndex_ = 0;
};

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
    const Screen withTexts = Capture(display_);
    TextsOff();
    double worst = 0;
    const Screen plain = SettledCapture(&worst);
    EXPECT_LT(worst, 0.1) << "a division lost its picture";
    for (int p = 0; p < kChannels; ++p) {
        // The pictures stand still; only the texts went, so they were there: the title, the size
        // and the time boxes changed, and the middle of the picture did not.
        const int points = video::StyleOf(layoutIndex_, p).fontPoints;
        const video::DivRect& d = divisions_[p].div;
        EXPECT_GT(Differing(withTexts, plain, video::TitleBox(d, points)), 30) << "title of division " << p;
        EXPECT_GT(Differing(withTexts, plain, video::SizeBox(d, points)), 30) << "size of division " << p;
        EXPECT_GT(Differing(withTexts, plain, video::TimeBox(d, points)), 30) << "time of division " << p;
        const video::TextBox middle{d.left + d.Width() / 3, d.top + d.Height() / 3, d.right - d.Width() / 3,
                                    d.bottom - d.Height() / 3};
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
