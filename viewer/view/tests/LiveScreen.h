#pragma once
// The display as the live tests read it: its pixels from the screen, where a picture point lands in
// a division, the simulator's burned-in camera number and frame counter read back from
// it; and the fixture of a view with its own live video against the simulator's 4 CIF channels.
#include "CameraScene.h"
#include "DisplayLayout.h"
#include "LiveVideo.h"
#include "TestKit.h"
#include "ViewReadout.h"
#include "ViewSetupFile.h"
#include "ViewTestBase.h"
#include <algorithm>
#include <cstdint>
#include <vector>

namespace view {

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

inline Screen Capture(HWND wnd)
{
    Screen s;
    RECT r;
    GetClientRect(wnd, &r);
    s.width = r.right;
    s.height = r.bottom;
    s.px = testkit::ClientPixels(wnd, r);
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
inline double Mismatch(const Screen& s, const Mapping& m, const dvrsim::YuvPicture& pic, int x0, int y0, int x1, int y1)
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
inline const dvrsim::SceneMarks kMarks = dvrsim::MarksOf(kWidth, kHeight);
inline const int kScale = kMarks.scale;
inline const int kNumberX0 = kMarks.channelX + 12 * kScale, kNumberX1 = kMarks.channelX + 24 * kScale;
inline const int kNumberY0 = kMarks.channelY, kNumberY1 = kMarks.channelY + 7 * kScale;
inline const int kCounterX0 = kMarks.counterX, kCounterX1 = kMarks.counterX + 30 * kScale;
inline const int kCounterY0 = kMarks.counterY, kCounterY1 = kMarks.counterY + 7 * kScale;

// The camera whose burned-in number the division shows (0-based), and how well it matched.
inline int ReadChannel(const Screen& s, const Mapping& m, double* mismatch)
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
inline int ReadCounter(const Screen& s, const Mapping& m, int channel, double* mismatch)
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
inline int Differing(const Screen& a, const Screen& b, const video::TextBox& box)
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
        testkit::PumpUntil([&] { return Shown() > 120; }, 60000);
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
        testkit::PumpUntil([&] { return Readout().Live()->Display().Switches().title != before.title; }, 5000);
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
            testkit::PumpUntil([] { return false; }, 50);
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
            testkit::PumpUntil([] { return false; }, 150);
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

} // namespace view
