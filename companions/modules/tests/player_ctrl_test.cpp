// The player module as a person meets it, under Wine: a store made by `dvrtool sample-store` in the
// folder the viewer records into, the control hosted by class identifier; the pictures read back
// from the screen (the simulator's burned-in frame counter) after a click on the timeline and after
// the real keyboard's keys; the gap between two recordings drawn as a gap; a damaged segment named
// in the status list while the rest plays; motion marks where the store has them; the lanes growing
// with a store being written.
#include <windows.h>
#include "CameraScene.h"
#include "Format.h"
#include "DisplayLayout.h"
#include "Orvmods_h.h"
#include "Programs.h"
#include "TestKit.h"
#include "Timeline.h"
#include "foundation/ControlHost.h"
#include <gtest/gtest.h>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 352, kHeight = 240;
constexpr int64_t kStartS = 1700000000; // the first recording: 20 s of cameras 1 to 3
constexpr int64_t kSecondS = kStartS + 40; // the second: 10 s more, after a gap of 20 s
constexpr wchar_t kRecordFile[] = L"C:/Program Files/Orvex/ViewRecord.ini";

// The sample store's picture i: its DVR ms and the loop frame it shows (30 frames a loop).
int64_t FrameMs(int64_t startS, int i) { return (startS * 1000000 + int64_t(i) * 1001000 / 30) / 1000; }
// The frame the store holds at DVR ms t of the first recording: the last one at or before t.
int FrameAt(int64_t t)
{
    int i = 0;
    while (FrameMs(kStartS, i + 1) <= t)
        ++i;
    return i % 30;
}

struct Screen {
    int width = 0, height = 0;
    std::vector<uint32_t> px;
    int Luma(int x, int y) const
    {
        const uint32_t p = px[static_cast<size_t>(y) * width + x];
        return static_cast<int>((29 * (p & 255) + 150 * ((p >> 8) & 255) + 77 * ((p >> 16) & 255)) >> 8);
    }
};

Screen Capture(HWND wnd)
{
    Screen s;
    RECT r{};
    GetClientRect(wnd, &r);
    s.width = r.right;
    s.height = r.bottom;
    s.px = testkit::ClientPixels(wnd, r);
    s.px.resize(static_cast<size_t>(s.width) * s.height);
    return s;
}

// The burned-in frame counter of the division at `div`, and how well the best frame matched.
int ReadCounter(const Screen& s, const video::DivRect& div, double* mismatch)
{
    const dvrsim::SceneMarks marks = dvrsim::MarksOf(kWidth, kHeight);
    const int x0 = marks.counterX, x1 = marks.counterX + 30 * marks.scale;
    const int y0 = marks.counterY, y1 = marks.counterY + 7 * marks.scale;
    const video::SourceRect src = video::PictureSourceRect(kWidth, kHeight);
    const dvrsim::CameraScene scene(1, kWidth, kHeight); // the sample store's scene
    dvrsim::YuvPicture pic;
    int best = -1;
    double bestMiss = 2;
    for (int f = 0; f < 30; ++f) {
        scene.Render(f, pic);
        int tested = 0, wrong = 0;
        for (int sy = y0; sy < y1; sy += 2)
            for (int sx = x0; sx < x1; sx += 2) {
                if (sx < src.x || sx >= src.x + src.width || sy < src.y || sy >= src.y + src.height)
                    continue;
                const int x = div.left + (2 * (sx - src.x) + 1) * div.Width() / (2 * src.width);
                const int y = div.top + (2 * (sy - src.y) + 1) * div.Height() / (2 * src.height);
                ++tested;
                wrong += (pic.y[static_cast<size_t>(sy) * pic.width + sx] >= 128) != (s.Luma(x, y) >= 128);
            }
        const double miss = tested ? double(wrong) / tested : 1.0;
        if (miss < bestMiss) {
            bestMiss = miss;
            best = f;
        }
    }
    *mismatch = bestMiss;
    return best;
}

std::vector<std::wstring> ListLines(HWND list)
{
    std::vector<std::wstring> lines;
    const int n = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        wchar_t text[512] = {};
        if (SendMessageW(list, LB_GETTEXTLEN, i, 0) < 511)
            SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
        lines.push_back(text);
    }
    return lines;
}

class PlayerCtrl : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(testkit::RunAndWait(L"regsvr32.exe /s \"" + testkit::BesideMe(L"Orvmods.dll") + L"\""), 0u);
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        // The viewer's recordings folder names it (and is put back afterwards).
        GetPrivateProfileStringW(L"Recording", L"Folder", L"", kept_, MAX_PATH, kRecordFile);
        CreateDirectoryW(L"C:/Program Files/Orvex", nullptr);
        ASSERT_TRUE(WritePrivateProfileStringW(L"Recording", L"Folder", testkit::W(testkit::WinPath(root_)).c_str(),
                                               kRecordFile));
    }
    void TearDown() override
    {
        WritePrivateProfileStringW(L"Recording", L"Folder", kept_[0] ? kept_ : nullptr, kRecordFile);
        OleUninitialize();
    }

    // Recordings of `cameras` ("1,2,3"): 20 s from kStartS and, with `second`, 10 s more after a gap.
    void MakeStore(const std::string& cameras, bool second)
    {
        const std::string tool = std::string(PX_NATIVE_TREE) + "/bin/dvrtool sample-store --store " + root_ +
            " --address 10.9.8.7 --port 5000 --cameras " + cameras + " ";
        ASSERT_TRUE(testkit::RunUnixAndWait("rm -rf " + root_ + " && " + tool + "--seconds 20 --start " +
                                                std::to_string(kStartS) + " >/dev/null" +
                                                (second ? " && " + tool + "--seconds 10 --start " +
                                                         std::to_string(kSecondS) + " >/dev/null"
                                                        : std::string()),
                                            30000));
    }

    const std::string root_ = std::string(PX_WORK_DIR) + "/player-store";
    wchar_t kept_[MAX_PATH] = {};
};

TEST_F(PlayerCtrl, PlaysTheSecondClickedOnTheTimelineFollowsTheKeysAndShowsGapsDamageAndGrowth)
{
    // Two recordings of cameras 1 to 3 with a gap between, the first segment of camera 3 damaged
    // inside its first picture.
    MakeStore("1,2,3", true);
    ASSERT_TRUE(testkit::RunUnixAndWait("f=$(ls " + root_ + "/*/*/cam03/*.seg | sort | head -1) && " +
                                        "printf 'DAMAGEDDAMAGED' | dd of=$f bs=1 seek=300 conv=notrunc 2>/dev/null"));
    // Camera 1 saw motion from the 4th to the 6th second.
    {
        std::ofstream mot(testkit::WinPath(root_) + "\\10.9.8.7_5000\\20231114\\cam01\\motion.mot",
                          std::ios::binary | std::ios::trunc);
        uint8_t head[store::kMotionHeadSize], mark[store::kMotionMarkSize];
        store::EncodeMotionHead(0, 20231114, head);
        mot.write(reinterpret_cast<const char*>(head), sizeof head);
        for (int64_t t = kStartS + 4; t <= kStartS + 6; ++t) {
            store::EncodeMotionMark(static_cast<uint32_t>(t), 80, mark);
            mot.write(reinterpret_cast<const char*>(mark), sizeof mark);
        }
        ASSERT_TRUE(mot.good());
    }
    win::ControlHost host;
    ASSERT_TRUE(host.Create(nullptr, RECT{0, 0, 1000, 700}, WS_POPUP | WS_VISIBLE, L"Player"));
    ASSERT_EQ(host.CreateControl(CLSID_Player), S_OK);
    const HWND control = host.ControlWindow();
    ASSERT_TRUE(control);
    const HWND sites = GetDlgItem(control, 1010), cameras = GetDlgItem(control, 1011), status = GetDlgItem(control, 1012),
               timeline = GetDlgItem(control, 1013), display = FindWindowExW(control, nullptr, nullptr, L"DISPLAY");
    ASSERT_TRUE(sites && cameras && status && timeline && display);
    EXPECT_EQ(SendMessageW(sites, CB_GETCOUNT, 0, 0), 1);
    EXPECT_EQ(SendMessageW(cameras, LB_GETCOUNT, 0, 0), 3);

    // Three cameras: four divisions; camera 1 in the first.
    video::Layout layout = video::BuiltinLayout(video::FindDivisionMode(1)->layout);
    RECT area{};
    GetClientRect(display, &area);
    video::ComputeGeometry(layout, area.right, area.bottom);
    const video::DivRect first = layout.divisions[0].rect;
    auto shown = [&](int frame) {
        int seen = -1;
        double miss = 1;
        testkit::PumpUntil(
            [&] {
                seen = ReadCounter(Capture(display), first, &miss);
                return seen == frame && miss < 0.1;
            },
            3000, testkit::Check::EachWake);
        return seen;
    };
    // Opened at the start of the day's recording, paused: the first picture.
    EXPECT_EQ(shown(0), 0);
    bool damaged = false;
    for (const std::wstring& line : ListLines(status))
        damaged = damaged || (line.find(L"Passed over") != std::wstring::npos && line.find(L"cam03") != std::wstring::npos);
    EXPECT_TRUE(damaged) << "the damaged segment is named in the status list";

    // A click on the lanes: the pictures of that moment.
    RECT lanes{};
    GetClientRect(timeline, &lanes);
    const int x = player::CTimeline::kLabelWidth + (lanes.right - player::CTimeline::kLabelWidth) / 10;
    const int64_t clicked = static_cast<int64_t>(SendMessageW(timeline, player::CTimeline::kMsgTimeAt, x, 0));
    ASSERT_GT(clicked, FrameMs(kStartS, 15));
    ASSERT_LT(clicked, FrameMs(kStartS, 19 * 30 - 30));
    POINT at{x, lanes.bottom / 2};
    ClientToScreen(timeline, &at);
    ASSERT_TRUE(testkit::RunUnixAndWait("xdotool mousemove " + std::to_string(at.x) + " " + std::to_string(at.y) +
                                        " click 1"));
    EXPECT_EQ(shown(FrameAt(clicked)), FrameAt(clicked)) << "clicked at " << clicked;

    // The keys: one picture on, back to the key frame before, 10 s on.
    int64_t head = static_cast<int64_t>(SendMessageW(timeline, player::CTimeline::kMsgHeadTime, 0, 0));
    ASSERT_TRUE(testkit::RunUnixAndWait("xdotool key period"));
    EXPECT_EQ(shown((FrameAt(head) + 1) % 30), (FrameAt(head) + 1) % 30) << "one picture on";
    ASSERT_TRUE(testkit::RunUnixAndWait("xdotool key comma"));
    // The key frames are every 15th picture; the step goes to the one strictly before.
    const int next = (FrameAt(head) + 1) % 30;
    const int key = (next % 15 == 0 ? next + 15 : next / 15 * 15) % 30;
    EXPECT_EQ(shown(key), key) << "back to the key frame";
    testkit::PumpFor(100);
    head = static_cast<int64_t>(SendMessageW(timeline, player::CTimeline::kMsgHeadTime, 0, 0));
    ASSERT_TRUE(testkit::RunUnixAndWait("xdotool key Right"));
    EXPECT_EQ(shown(FrameAt(head + 10000)), FrameAt(head + 10000)) << "10 s on";
    // K plays: the pictures move on by themselves; K again stops them.
    ASSERT_TRUE(testkit::RunUnixAndWait("xdotool key k"));
    const int before = FrameAt(head + 10000);
    int seen = before;
    double miss = 1;
    testkit::PumpUntil([&] { return (seen = ReadCounter(Capture(display), first, &miss)) != before && miss < 0.1; },
                       3000, testkit::Check::EachWake);
    EXPECT_NE(seen, before) << "playing";
    ASSERT_TRUE(testkit::RunUnixAndWait("xdotool key k"));

    // The lanes: recorded where the store holds pictures, background in the gap between.
    testkit::PumpFor(200);
    const std::vector<uint32_t> lanePx = testkit::ClientPixels(timeline, lanes);
    auto laneColour = [&](int64_t ms) {
        for (int px = player::CTimeline::kLabelWidth; px < lanes.right; ++px)
            if (SendMessageW(timeline, player::CTimeline::kMsgTimeAt, px, 0) >= ms)
                return lanePx[static_cast<size_t>(player::CTimeline::kScaleHeight + 6) * lanes.right + px];
        return 0u;
    };
    const uint32_t recorded = laneColour(kStartS * 1000 + 5000), gap = laneColour(kStartS * 1000 + 30000),
                   again = laneColour(kSecondS * 1000 + 5000);
    EXPECT_EQ(recorded, again);
    EXPECT_NE(recorded, gap) << "the gap is drawn as a gap";
    // Motion in the lower half of camera 1's lane (the first of four), not in camera 2's.
    const int laneHeight = (lanes.bottom - player::CTimeline::kScaleHeight) / 4;
    auto lowHalf = [&](int lane, int64_t ms) {
        const size_t y = static_cast<size_t>(player::CTimeline::kScaleHeight + lane * laneHeight + laneHeight - 4);
        for (int px = player::CTimeline::kLabelWidth; px < lanes.right; ++px)
            if (SendMessageW(timeline, player::CTimeline::kMsgTimeAt, px, 0) >= ms)
                return lanePx[y * lanes.right + px];
        return 0u;
    };
    const uint32_t motion = lowHalf(0, kStartS * 1000 + 5500);
    EXPECT_NE(motion, recorded);
    EXPECT_NE(motion, gap);
    EXPECT_EQ(lowHalf(0, kStartS * 1000 + 9500), recorded) << "no motion there";
    EXPECT_EQ(lowHalf(1, kStartS * 1000 + 5500), recorded) << "camera 2 saw none";
    EXPECT_FALSE(testkit::Screenshot("player-timeline").empty());

    // Recording goes on where the second recording ended: the lanes grow with the store.
    const int64_t grown = kSecondS * 1000 + 12000;
    ASSERT_NE(laneColour(grown), recorded);
    ASSERT_TRUE(testkit::RunUnixAndWait(std::string(PX_NATIVE_TREE) + "/bin/dvrtool sample-store --store " + root_ +
                                            " --address 10.9.8.7 --port 5000 --cameras 1,2,3 --seconds 4 --start " +
                                            std::to_string(kSecondS + 10) + " >/dev/null",
                                        20000));
    EXPECT_TRUE(testkit::PumpUntil(
        [&] {
            const std::vector<uint32_t> now = testkit::ClientPixels(timeline, lanes);
            for (int px = player::CTimeline::kLabelWidth; px < lanes.right; ++px)
                if (SendMessageW(timeline, player::CTimeline::kMsgTimeAt, px, 0) >= grown)
                    return now[static_cast<size_t>(player::CTimeline::kScaleHeight + 6) * lanes.right + px] == recorded;
            return false;
        },
        5000, testkit::Check::EachWake))
        << "the lanes show the store's growing end";

    // The wheel zooms (here out: the view is near its 1-minute bound) around the pointer; dragging
    // the head there brings the pictures along.
    auto pixelOf = [&](int64_t ms) {
        for (int px = player::CTimeline::kLabelWidth; px < lanes.right; ++px)
            if (SendMessageW(timeline, player::CTimeline::kMsgTimeAt, px, 0) >= ms)
                return px;
        return -1;
    };
    auto timeAt = [&](int px) { return static_cast<int64_t>(SendMessageW(timeline, player::CTimeline::kMsgTimeAt, px, 0)); };
    const int px = pixelOf(kStartS * 1000 + 6000);
    ASSERT_GT(px, 0);
    const int64_t spanBefore = timeAt(lanes.right - 3) - timeAt(player::CTimeline::kLabelWidth);
    POINT wheel{px, lanes.bottom / 2};
    ClientToScreen(timeline, &wheel);
    const std::string there = std::to_string(wheel.x) + " " + std::to_string(wheel.y);
    ASSERT_TRUE(testkit::RunUnixAndWait("xdotool mousemove " + there + " click 5 click 5 click 5"));
    testkit::PumpUntil([&] { return timeAt(lanes.right - 3) - timeAt(player::CTimeline::kLabelWidth) > spanBefore * 18 / 10; },
                       3000, testkit::Check::EachWake);
    const int64_t spanAfter = timeAt(lanes.right - 3) - timeAt(player::CTimeline::kLabelWidth);
    EXPECT_GT(spanAfter, spanBefore * 18 / 10) << "three notches out";
    EXPECT_NEAR(static_cast<double>(timeAt(px)), kStartS * 1000 + 6000.0, 2.0 * spanAfter / lanes.right)
        << "the time under the pointer stays there";
    ASSERT_TRUE(testkit::RunUnixAndWait("xdotool mousedown 1 mousemove_relative 10 0 mousemove_relative 10 0 mouseup 1"));
    const int64_t dropped = timeAt(px + 20);
    ASSERT_LT(dropped, FrameMs(kStartS, 19 * 30));
    EXPECT_EQ(shown(FrameAt(dropped)), FrameAt(dropped)) << "dragged to " << dropped;

    host.DestroyControl();
}

} // namespace

namespace {

TEST_F(PlayerCtrl, SixteenCamerasInStepAllShowTheSameMoment)
{
    MakeStore("1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16", false);
    win::ControlHost host;
    ASSERT_TRUE(host.Create(nullptr, RECT{0, 0, 1100, 760}, WS_POPUP | WS_VISIBLE, L"Player"));
    ASSERT_EQ(host.CreateControl(CLSID_Player), S_OK);
    const HWND control = host.ControlWindow();
    ASSERT_TRUE(control);
    const HWND display = FindWindowExW(control, nullptr, nullptr, L"DISPLAY"),
               timeline = GetDlgItem(control, 1013);
    ASSERT_TRUE(display && timeline);
    EXPECT_EQ(SendMessageW(GetDlgItem(control, 1011), LB_GETCOUNT, 0, 0), 16);

    // One frame on from the start with the real keyboard: all sixteen divisions show picture 1.
    ASSERT_TRUE(testkit::RunUnixAndWait("xdotool mousemove 300 300 click 1 key period"));
    video::Layout layout = video::BuiltinLayout(video::FindDivisionMode(6)->layout);
    RECT area{};
    GetClientRect(display, &area);
    video::ComputeGeometry(layout, area.right, area.bottom);
    ASSERT_EQ(layout.count, 16);
    std::vector<int> frames(16, -1);
    testkit::PumpUntil(
        [&] {
            const Screen s = Capture(display);
            bool all = true;
            for (int p = 0; p < 16; ++p) {
                double miss = 1;
                frames[size_t(p)] = ReadCounter(s, layout.divisions[p].rect, &miss);
                all = all && frames[size_t(p)] == 1 && miss < 0.15;
            }
            return all;
        },
        4000, testkit::Check::EachWake);
    EXPECT_EQ(frames, std::vector<int>(16, 1));
    EXPECT_FALSE(testkit::Screenshot("player-16-cameras").empty());
    host.DestroyControl();
}

} // namespace
