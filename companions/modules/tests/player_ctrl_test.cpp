// The player module as a person meets it, under Wine: a store made by `dvrtool sample-store` in the
// folder the viewer records into, the control hosted by class identifier; the pictures read back
// from the screen (the simulator's burned-in frame counter) after a click on the timeline and after
// the real keyboard's keys; the gap between two recordings drawn as a gap; a damaged segment named
// in the status list while the rest plays; motion marks where the store has them; the lanes growing
// with a store being written. The search module on such a store: its calendar, its motion events by
// sensitivity and camera, a double click that plays, and what it says of a day or a site without
// recordings.
#include <windows.h>
#include "CameraScene.h"
#include "SoundServer.h"
#include "Format.h"
#include "MonthGrid.h"
#include "DisplayLayout.h"
#include "ExportJob.h"
#include "Orvmods_h.h"
#include "Programs.h"
#include "TestKit.h"
#include "Timeline.h"
#include "foundation/ControlHost.h"
#include "foundation/ListView.h"
#include "foundation/Utf8.h"
#include <commctrl.h>
#include <shlobj.h>
#include <windowsx.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdio>
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

// Division `index` of the four-division layout as `display` shows it.
video::DivRect FourDivisions(HWND display, int index)
{
    video::Layout layout = video::BuiltinLayout(video::FindDivisionMode(1)->layout);
    RECT area{};
    GetClientRect(display, &area);
    video::ComputeGeometry(layout, area.right, area.bottom);
    return layout.divisions[index].rect;
}

// The counter `display` shows in `div`, waited for (3 s at most) until it is `frame`.
int CounterOnceShown(HWND display, const video::DivRect& div, int frame)
{
    int seen = -1;
    double miss = 1;
    testkit::PumpUntil(
        [&] {
            seen = ReadCounter(Capture(display), div, &miss);
            return seen == frame && miss < 0.1;
        },
        3000, testkit::Check::EachWake);
    return seen;
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
    const video::DivRect first = FourDivisions(display, 0);
    auto shown = [&](int frame) { return CounterOnceShown(display, first, frame); };
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
    // The counters the sixteen divisions show, waited for (4 s at most) until each is `frame`.
    auto sixteen = [&](int frame) {
        std::vector<int> frames(16, -1);
        testkit::PumpUntil(
            [&] {
                const Screen s = Capture(display);
                bool all = true;
                for (int p = 0; p < 16; ++p) {
                    double miss = 1;
                    frames[size_t(p)] = ReadCounter(s, layout.divisions[p].rect, &miss);
                    all = all && frames[size_t(p)] == frame && miss < 0.15;
                }
                return all;
            },
            4000, testkit::Check::EachWake);
        return frames;
    };
    EXPECT_EQ(sixteen(1), std::vector<int>(16, 1));
    EXPECT_FALSE(testkit::Screenshot("player-16-cameras").empty());

    // The speeds: the head moves by the PC's time times the speed, and the sound plays at 1x only.
    auto head = [&] { return static_cast<int64_t>(SendMessageW(timeline, player::CTimeline::kMsgHeadTime, 0, 0)); };
    auto pace = [&](DWORD ms) { // DVR ms per PC ms while it plays, over `ms`
        testkit::PumpFor(200);
        const int64_t h0 = head();
        const ULONGLONG t0 = GetTickCount64();
        testkit::PumpFor(ms);
        return static_cast<double>(head() - h0) / static_cast<double>(GetTickCount64() - t0);
    };
    auto heardWhile = [&](const char* keys) { // the sound energy while playing for a second
        soundtest::Recorder rec;
        EXPECT_TRUE(rec.Start(1.0));
        EXPECT_TRUE(testkit::RunUnixAndWait(std::string("xdotool key ") + keys));
        const double p = pace(900);
        const std::vector<int16_t> heard = rec.Finish();
        EXPECT_TRUE(testkit::RunUnixAndWait("xdotool key k"));
        return std::make_pair(p, heard.size() > 4000 ? soundtest::Energy(heard, 0, heard.size()) : -1.0);
    };
    const auto [normal, loud] = heardWhile("k");
    EXPECT_NEAR(normal, 1.0, 0.15);
    EXPECT_GT(loud, 1e4) << "the site's sound at 1x";
    const auto [fourfold, quiet] = heardWhile("KP_Add KP_Add k");
    EXPECT_NEAR(fourfold, 4.0, 0.5);
    EXPECT_GE(quiet, 0);
    EXPECT_LT(quiet, loud / 100) << "no sound at 4x";
    ASSERT_TRUE(testkit::RunUnixAndWait("xdotool key KP_Subtract KP_Subtract KP_Subtract KP_Subtract k"));
    EXPECT_NEAR(pace(1200), 0.25, 0.07) << "1/4x";
    ASSERT_TRUE(testkit::RunUnixAndWait("xdotool key k"));
    // Paused: every division shows the picture of the head's time.
    testkit::PumpFor(100);
    const int at = FrameAt(head());
    EXPECT_EQ(sixteen(at), std::vector<int>(16, at)) << "the head at " << head();
    host.DestroyControl();
}

} // namespace

// ---- the search module on the same kind of store ----
namespace {

// Camera `camera` (0..15) saw motion of `level` in each of `seconds` of the day `day`.
void WriteMotion(const std::string& root, int camera, uint32_t day, const std::vector<std::pair<int64_t, int>>& marks)
{
    char cam[8];
    std::snprintf(cam, sizeof cam, "cam%02d", camera + 1);
    std::ofstream mot(testkit::WinPath(root) + "\\10.9.8.7_5000\\" + std::to_string(day) + "\\" + cam + "\\motion.mot",
                      std::ios::binary | std::ios::trunc);
    uint8_t head[store::kMotionHeadSize], mark[store::kMotionMarkSize];
    store::EncodeMotionHead(static_cast<uint16_t>(camera), day, head);
    mot.write(reinterpret_cast<const char*>(head), sizeof head);
    for (const auto& [second, level] : marks) {
        store::EncodeMotionMark(static_cast<uint32_t>(second), static_cast<uint8_t>(level), mark);
        mot.write(reinterpret_cast<const char*>(mark), sizeof mark);
    }
    ASSERT_TRUE(mot.good());
}

std::wstring WindowText(HWND w)
{
    wchar_t text[512] = {};
    GetWindowTextW(w, text, 512);
    return text;
}

std::vector<std::wstring> Rows(HWND list)
{
    std::vector<std::wstring> rows;
    const win::ListView view(list);
    for (int r = 0; r < view.Count(); ++r)
        rows.push_back(view.Text(r, 0) + L" " + view.Text(r, 2));
    return rows;
}

void Point(HWND wnd, int x, int y, const std::string& what)
{
    POINT at{x, y};
    ClientToScreen(wnd, &at);
    ASSERT_TRUE(testkit::RunUnixAndWait("xdotool mousemove " + std::to_string(at.x) + " " + std::to_string(at.y) + " " +
                                        what));
}

class SearchCtrl : public PlayerCtrl {
protected:
    // The search hosted and handed the site as Orvex hands it.
    HWND Open(win::ControlHost& host, const wchar_t* address)
    {
        if (!host.Create(nullptr, RECT{0, 0, 1000, 700}, WS_POPUP | WS_VISIBLE, L"Search") ||
            host.CreateControl(CLSID_Search) != S_OK || !host.Dispatch())
            return nullptr;
        IDispatch* d = host.Dispatch();
        win::dispatch::PutText(d, 1, address);
        win::dispatch::PutText(d, 2, L"5000");
        win::dispatch::PutText(d, 3, L"admin");
        win::dispatch::PutText(d, 4, L"1111");
        win::Variant answer;
        win::dispatch::Call(d, 5, answer.Put());
        return host.ControlWindow();
    }
};

TEST_F(SearchCtrl, MarksRecordedDaysListsMotionBySensitivityAndCameraPlaysWhatIsDoubleClickedAndSaysWhatIsMissing)
{
    // 20 s of cameras 1 and 2 on 2023-11-14, 5 s of camera 1 the next day. Camera 2 moved in the
    // 4th to 6th second (level 80) and the 12th (40), camera 1 in the 15th (90).
    MakeStore("1,2", false);
    ASSERT_TRUE(testkit::RunUnixAndWait(std::string(PX_NATIVE_TREE) + "/bin/dvrtool sample-store --store " + root_ +
                                            " --address 10.9.8.7 --port 5000 --cameras 1 --seconds 5 --start " +
                                            std::to_string(kStartS + 86400) + " >/dev/null",
                                        20000));
    WriteMotion(root_, 1, 20231114, {{kStartS + 4, 80}, {kStartS + 5, 80}, {kStartS + 6, 80}, {kStartS + 12, 40}});
    WriteMotion(root_, 0, 20231114, {{kStartS + 15, 90}});

    win::ControlHost host;
    const HWND control = Open(host, L"10.9.8.7");
    ASSERT_TRUE(control);
    const HWND calendar = GetDlgItem(control, 1024), list = GetDlgItem(control, 1022), notice = GetDlgItem(control, 1023),
               timeline = GetDlgItem(control, 1013), sensitivity = GetDlgItem(control, 1021),
               filter = GetDlgItem(control, 1020), display = FindWindowExW(control, nullptr, nullptr, L"DISPLAY");
    ASSERT_TRUE(calendar && list && notice && timeline && sensitivity && filter && display);
    // The latest day first.
    EXPECT_EQ(WindowText(notice), L"2023-11-15: 1 camera(s) recorded, no motion at this sensitivity");

    // The days with recordings are marked; a click on the 14th opens it.
    auto dayPoint = [&](uint32_t day) {
        const LRESULT p = SendMessageW(calendar, player::CMonthGrid::kMsgDayPoint, day, 0);
        return p == -1 ? POINT{-1, -1} : POINT{GET_X_LPARAM(p), GET_Y_LPARAM(p)};
    };
    RECT cal{};
    GetClientRect(calendar, &cal);
    std::vector<uint32_t> calPx;
    auto fill = [&](uint32_t day) {
        const POINT p = dayPoint(day);
        return calPx[static_cast<size_t>(p.y - 7) * cal.right + p.x - 12];
    };
    ASSERT_NE(dayPoint(20231114).x, -1);
    testkit::PumpUntil(
        [&] {
            calPx = testkit::ClientPixels(calendar, cal);
            return fill(20231114) != fill(20231113);
        },
        3000, testkit::Check::EachWake);
    EXPECT_EQ(fill(20231114), fill(20231115));
    EXPECT_NE(fill(20231114), fill(20231113)) << "a day without recordings is not marked";
    Point(calendar, dayPoint(20231114).x, dayPoint(20231114).y, "click 1");
    ASSERT_TRUE(testkit::PumpUntil([&] { return WindowText(notice).rfind(L"2023-11-14", 0) == 0; }, 3000,
                                   testkit::Check::EachWake));
    EXPECT_EQ(WindowText(notice), L"2023-11-14: 2 camera(s) recorded, 3 motion event(s)");
    EXPECT_EQ(Rows(list), (std::vector<std::wstring>{L"Camera 02 3 s", L"Camera 02 1 s", L"Camera 01 1 s"}));

    // Less sensitive with the real keyboard (the thumb clicked, two pages down): the weak motion goes.
    RECT thumb{};
    SendMessageW(sensitivity, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    Point(sensitivity, (thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2, "click 1 key Prior Prior");
    testkit::PumpUntil([&] { return Rows(list).size() == 2; }, 3000, testkit::Check::EachWake);
    const int threshold = 101 - static_cast<int>(SendMessageW(sensitivity, TBM_GETPOS, 0, 0));
    ASSERT_GT(threshold, 40);
    ASSERT_LE(threshold, 80);
    EXPECT_EQ(Rows(list), (std::vector<std::wstring>{L"Camera 02 3 s", L"Camera 01 1 s"}));
    // Camera 2 alone.
    SendMessageW(filter, CB_SETCURSEL, 2, 0);
    SendMessageW(control, WM_COMMAND, MAKEWPARAM(1020, CBN_SELCHANGE), reinterpret_cast<LPARAM>(filter));
    EXPECT_EQ(Rows(list), std::vector<std::wstring>{L"Camera 02 3 s"});

    // A double click on the event plays from its start: camera 2 (the second of four divisions)
    // shows the pictures of that moment.
    RECT row{};
    row.left = LVIR_BOUNDS;
    ASSERT_TRUE(SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row)));
    Point(list, row.left + 30, (row.top + row.bottom) / 2, "click --repeat 2 --delay 60 1");
    auto head = [&] { return static_cast<int64_t>(SendMessageW(timeline, player::CTimeline::kMsgHeadTime, 0, 0)); };
    const int64_t event = kStartS * 1000 + 4000;
    EXPECT_TRUE(testkit::PumpUntil([&] { return head() > event + 300; }, 4000, testkit::Check::EachWake))
        << "playing from the event";
    ASSERT_TRUE(testkit::RunUnixAndWait("xdotool key k"));
    testkit::PumpFor(100);
    const int64_t paused = head();
    EXPECT_GE(paused, event);
    EXPECT_LT(paused, event + 4000);
    video::Layout layout = video::BuiltinLayout(video::FindDivisionMode(1)->layout);
    RECT area{};
    GetClientRect(display, &area);
    video::ComputeGeometry(layout, area.right, area.bottom);
    int seen = -1;
    double miss = 1;
    testkit::PumpUntil(
        [&] {
            seen = ReadCounter(Capture(display), layout.divisions[1].rect, &miss);
            return seen == FrameAt(paused) && miss < 0.1;
        },
        3000, testkit::Check::EachWake);
    EXPECT_EQ(seen, FrameAt(paused)) << "paused at " << paused;

    // A double click on the timeline plays from the time under the pointer.
    RECT lanes{};
    GetClientRect(timeline, &lanes);
    const int x = player::CTimeline::kLabelWidth + (lanes.right - player::CTimeline::kLabelWidth) / 5;
    const int64_t there = static_cast<int64_t>(SendMessageW(timeline, player::CTimeline::kMsgTimeAt, x, 0));
    ASSERT_GT(there, kStartS * 1000 + 6000);
    ASSERT_LT(there, kStartS * 1000 + 16000);
    Point(timeline, x, lanes.bottom / 2, "click --repeat 2 --delay 60 1");
    EXPECT_TRUE(testkit::PumpUntil([&] { return head() > there + 300; }, 4000, testkit::Check::EachWake))
        << "playing from the timeline";
    EXPECT_LT(head(), there + 3000);
    ASSERT_TRUE(testkit::RunUnixAndWait("xdotool key k"));

    // The pointer on camera 2's lane: a small picture of that moment.
    const int hx = player::CTimeline::kLabelWidth + (lanes.right - player::CTimeline::kLabelWidth) / 8;
    const int64_t hovered = static_cast<int64_t>(SendMessageW(timeline, player::CTimeline::kMsgTimeAt, hx, 0));
    ASSERT_GT(hovered, kStartS * 1000);
    ASSERT_LT(hovered, FrameMs(kStartS, 19 * 30));
    Point(timeline, hx, player::CTimeline::kScaleHeight + (lanes.bottom - player::CTimeline::kScaleHeight) * 3 / 4, "");
    HWND popup = nullptr;
    ASSERT_TRUE(testkit::PumpUntil(
        [&] { return (popup = FindWindowW(L"OrvmodsSearchPreview", nullptr)) && IsWindowVisible(popup); }, 3000,
        testkit::Check::EachWake));
    const HWND small = FindWindowExW(popup, nullptr, nullptr, L"DISPLAY");
    ASSERT_TRUE(small);
    video::Layout one = video::BuiltinLayout(video::FindDivisionMode(0)->layout);
    GetClientRect(small, &area);
    video::ComputeGeometry(one, area.right, area.bottom);
    testkit::PumpUntil(
        [&] {
            seen = ReadCounter(Capture(small), one.divisions[0].rect, &miss);
            return seen == FrameAt(hovered) && miss < 0.15;
        },
        3000, testkit::Check::EachWake);
    EXPECT_EQ(seen, FrameAt(hovered)) << "the small picture of " << hovered;
    // Hidden when the pointer leaves; on the next hover it appears with that moment's picture,
    // never first with the one before or with empty divisions.
    Point(calendar, 5, 5, "");
    EXPECT_TRUE(testkit::PumpUntil([&] { return !IsWindowVisible(popup); }, 3000, testkit::Check::EachWake));
    const int hx2 = hx + 9;
    const int64_t hovered2 = static_cast<int64_t>(SendMessageW(timeline, player::CTimeline::kMsgTimeAt, hx2, 0));
    ASSERT_NE(FrameAt(hovered2), FrameAt(hovered));
    SendMessageW(timeline, WM_MOUSEMOVE, 0,
                 MAKELPARAM(hx2, player::CTimeline::kScaleHeight + (lanes.bottom - player::CTimeline::kScaleHeight) * 3 / 4));
    if (IsWindowVisible(popup)) {
        UpdateWindow(small);
        EXPECT_EQ(ReadCounter(Capture(small), one.divisions[0].rect, &miss), FrameAt(hovered2)) << "as it appears";
    }
    EXPECT_TRUE(testkit::PumpUntil([&] { return IsWindowVisible(popup) != FALSE; }, 3000, testkit::Check::EachWake));
    EXPECT_FALSE(testkit::Screenshot("search-motion-events").empty());

    // A day without recordings, and a site without any, say so.
    Point(calendar, dayPoint(20231113).x, dayPoint(20231113).y, "click 1");
    EXPECT_TRUE(testkit::PumpUntil([&] { return WindowText(notice) == L"No recordings on 2023-11-13"; }, 3000,
                                   testkit::Check::EachWake))
        << win::Utf8(WindowText(notice));
    EXPECT_TRUE(Rows(list).empty());
    host.DestroyControl();

    win::ControlHost other;
    const HWND elsewhere = Open(other, L"10.9.8.6");
    ASSERT_TRUE(elsewhere);
    EXPECT_EQ(WindowText(GetDlgItem(elsewhere, 1023)), L"No recordings of 10.9.8.6:5000 on this PC");
    other.DestroyControl();
}

TEST_F(SearchCtrl, FollowsAStoreBeingWrittenNewSpansCamerasAndDays)
{
    // 20 s of camera 1; then, with the search open, a writer adds 4 s of cameras 1 and 2 after a
    // gap, and then the next day.
    MakeStore("1", false);
    win::ControlHost host;
    const HWND control = Open(host, L"10.9.8.7");
    ASSERT_TRUE(control);
    const HWND notice = GetDlgItem(control, 1023), timeline = GetDlgItem(control, 1013),
               filter = GetDlgItem(control, 1020), calendar = GetDlgItem(control, 1024);
    ASSERT_TRUE(notice && timeline && filter && calendar);
    EXPECT_EQ(WindowText(notice), L"2023-11-14: 1 camera(s) recorded, no motion at this sensitivity");
    EXPECT_EQ(SendMessageW(filter, CB_GETCOUNT, 0, 0), 2);

    RECT lanes{};
    GetClientRect(timeline, &lanes);
    auto laneColour = [&](int64_t ms) {
        const std::vector<uint32_t> px = testkit::ClientPixels(timeline, lanes);
        for (int x = player::CTimeline::kLabelWidth; x < lanes.right; ++x)
            if (SendMessageW(timeline, player::CTimeline::kMsgTimeAt, x, 0) >= ms)
                return px[static_cast<size_t>(player::CTimeline::kScaleHeight + 6) * lanes.right + x];
        return 0u;
    };
    const int64_t later = (kStartS + 32) * 1000;
    uint32_t recorded = 0;
    testkit::PumpUntil([&] { return (recorded = laneColour(kStartS * 1000 + 5000)) != laneColour(later); }, 3000,
                       testkit::Check::EachWake);
    ASSERT_NE(laneColour(later), recorded) << "nothing there yet (and in sight)";

    ASSERT_TRUE(testkit::RunUnixAndWait(std::string(PX_NATIVE_TREE) + "/bin/dvrtool sample-store --store " + root_ +
                                            " --address 10.9.8.7 --port 5000 --cameras 1,2 --seconds 4 --start " +
                                            std::to_string(kStartS + 30) + " >/dev/null",
                                        20000));
    EXPECT_TRUE(testkit::PumpUntil([&] { return laneColour(later) == recorded; }, 6000, testkit::Check::EachWake))
        << "the new span appears in camera 1's lane";
    EXPECT_TRUE(testkit::PumpUntil([&] { return WindowText(notice).find(L"2 camera(s)") != std::wstring::npos; }, 3000,
                                   testkit::Check::EachWake))
        << win::Utf8(WindowText(notice));
    EXPECT_EQ(SendMessageW(filter, CB_GETCOUNT, 0, 0), 3) << "camera 2 joins the filter";

    // A new day is marked on the calendar as it is written.
    RECT cal{};
    GetClientRect(calendar, &cal);
    auto fill = [&](uint32_t day) {
        const LRESULT p = SendMessageW(calendar, player::CMonthGrid::kMsgDayPoint, day, 0);
        const std::vector<uint32_t> px = testkit::ClientPixels(calendar, cal);
        return px[static_cast<size_t>(GET_Y_LPARAM(p) - 7) * cal.right + GET_X_LPARAM(p) - 12];
    };
    ASSERT_NE(fill(20231115), fill(20231114));
    ASSERT_TRUE(testkit::RunUnixAndWait(std::string(PX_NATIVE_TREE) + "/bin/dvrtool sample-store --store " + root_ +
                                            " --address 10.9.8.7 --port 5000 --cameras 1 --seconds 2 --start " +
                                            std::to_string(kStartS + 86400) + " >/dev/null",
                                        20000));
    EXPECT_TRUE(testkit::PumpUntil([&] { return fill(20231115) == fill(20231114); }, 6000, testkit::Check::EachWake))
        << "the 15th marked";
    EXPECT_EQ(WindowText(notice).rfind(L"2023-11-14", 0), 0u) << "the day chosen stays open";
    host.DestroyControl();
}

} // namespace

// ---- an export of the backup module, played ----
namespace {

// Cameras 1 and 2 exported as the backup module does, camera 2's file then cut short; the export
// chosen in the open dialog: camera 1's pictures at their times, the exported span on the timeline,
// the cut file said in the status list; Ctrl+S over camera 1 saves its picture where the save
// dialog says.
TEST_F(PlayerCtrl, PlaysAnExportChosenInTheOpenDialogAndSavesAStillWithCtrlS)
{
    MakeStore("1,2", false);
    const std::string out = std::string(PX_WORK_DIR) + "/player-export";
    ASSERT_TRUE(testkit::RunUnixAndWait("rm -rf " + out + " && mkdir -p " + out));
    backup::ExportJobRequest job;
    job.siteFolder = testkit::WinPath(root_) + "\\10.9.8.7_5000";
    job.site = "10.9.8.7:5000";
    job.folder = testkit::WinPath(out);
    job.cameras = {0, 1};
    job.fromUs = (kStartS + 2) * 1000000;
    job.toUs = (kStartS + 18) * 1000000;
    const backup::SiteRecordings recorded = backup::ListSiteRecordings(job.siteFolder);
    job.zone = recorded.zone, job.daylight = recorded.daylight;
    const backup::ExportJobResult done = backup::RunExportJob(job, nullptr);
    ASSERT_TRUE(done.ok) << done.error;
    ASSERT_TRUE(testkit::RunUnixAndWait("f=$(ls " + out + "/*cam02.avi) && truncate -s $(($(stat -c %s $f) / 2)) $f"));

    win::ControlHost host;
    ASSERT_TRUE(host.Create(nullptr, RECT{0, 0, 1000, 700}, WS_POPUP | WS_VISIBLE, L"Player"));
    ASSERT_EQ(host.CreateControl(CLSID_Player), S_OK);
    const HWND control = host.ControlWindow();
    ASSERT_TRUE(control);
    const HWND sites = GetDlgItem(control, 1010), cameras = GetDlgItem(control, 1011), status = GetDlgItem(control, 1012),
               timeline = GetDlgItem(control, 1013), display = FindWindowExW(control, nullptr, nullptr, L"DISPLAY");
    ASSERT_TRUE(sites && cameras && status && timeline && display);

    // "Export..." (the second button of the bar), then the manifest's path typed into the dialog.
    std::string windowsPath = done.manifest;
    std::replace(windowsPath.begin(), windowsPath.end(), '/', '\\');
    const std::string typer = std::string(PX_WORK_DIR) + "/open-export.sh";
    {
        std::ofstream script(testkit::WinPath(typer), std::ios::binary | std::ios::trunc);
        script << "until xdotool search --onlyvisible --name 'Open an export' >/dev/null 2>&1; do sleep 0.1; done\n"
               << "xdotool type --delay 20 '" << windowsPath << "'\nxdotool key Return\n";
        ASSERT_TRUE(script.good());
    }
    ASSERT_TRUE(testkit::RunUnix("timeout 30 sh " + typer));
    Point(control, 100, 17, "click 1");
    auto statusHas = [&](const wchar_t* text) {
        for (const std::wstring& line : ListLines(status))
            if (line.find(text) != std::wstring::npos)
                return true;
        return false;
    };
    ASSERT_TRUE(testkit::PumpUntil([&] { return statusHas(L"Export: "); }, 30000, testkit::Check::EachWake))
        << "the export was not opened";
    EXPECT_EQ(SendMessageW(sites, CB_GETCOUNT, 0, 0), 1);
    EXPECT_EQ(SendMessageW(cameras, LB_GETCOUNT, 0, 0), 2);
    EXPECT_TRUE(statusHas(L"cut short")) << "the cut file is named";

    // Opened at the export's first picture (the key frame at 2 s), paused.
    const video::DivRect first = FourDivisions(display, 0);
    auto shown = [&](int frame) { return CounterOnceShown(display, first, frame); };
    auto head = [&] { return static_cast<int64_t>(SendMessageW(timeline, player::CTimeline::kMsgHeadTime, 0, 0)); };
    EXPECT_EQ(head(), FrameMs(kStartS, 60));
    EXPECT_EQ(shown(FrameAt(head())), FrameAt(head()));
    // The exported span (pictures 60 to 539) on the timeline, a twentieth of it (a minute at least)
    // before it.
    RECT lanes{};
    GetClientRect(timeline, &lanes);
    const int64_t left = static_cast<int64_t>(SendMessageW(timeline, player::CTimeline::kMsgTimeAt, player::CTimeline::kLabelWidth, 0));
    const int64_t span = std::max<int64_t>(FrameMs(kStartS, 539) - FrameMs(kStartS, 60), player::kAxisMinSpanMs);
    EXPECT_NEAR(static_cast<double>(left), static_cast<double>(FrameMs(kStartS, 60) - span / 20),
                2.0 * span / lanes.right);
    // One picture on, then 10 s on: the pictures of those moments.
    ASSERT_TRUE(testkit::RunUnixAndWait("xdotool mousemove 300 300 click 1 key period"));
    EXPECT_EQ(shown(FrameAt(FrameMs(kStartS, 61))), FrameAt(FrameMs(kStartS, 61)));
    ASSERT_TRUE(testkit::RunUnixAndWait("xdotool key Right"));
    EXPECT_EQ(shown(FrameAt(FrameMs(kStartS, 61) + 10000)), FrameAt(FrameMs(kStartS, 61) + 10000));

    // The sound of camera 3 (the third Sound button, at the bar's end).
    Point(control, 767, 17, "click 1");
    EXPECT_TRUE(testkit::PumpUntil([&] { return statusHas(L"Sound: camera 3"); }, 3000, testkit::Check::EachWake));

    // Ctrl+S over camera 1: the save dialog proposes CAM01 ... in the Pictures folder.
    wchar_t pictures[MAX_PATH] = {};
    ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_MYPICTURES | CSIDL_FLAG_CREATE, nullptr, 0, pictures)));
    ASSERT_TRUE(testkit::RunUnix("timeout 30 sh -c 'until xdotool search --onlyvisible --name Save.As >/dev/null 2>&1; "
                                 "do sleep 0.1; done; xdotool key Return'"));
    Point(display, (first.left + first.right) / 2, (first.top + first.bottom) / 2, "key ctrl+s");
    ASSERT_TRUE(testkit::PumpUntil([&] { return statusHas(L"Picture saved: "); }, 20000, testkit::Check::EachWake))
        << "no still saved";
    WIN32_FIND_DATAW found;
    const HANDLE h = FindFirstFileW((std::wstring(pictures) + L"\\CAM01 *.png").c_str(), &found);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << "no CAM01 file in the Pictures folder";
    FindClose(h);
    DeleteFileW((std::wstring(pictures) + L"\\" + found.cFileName).c_str());
    EXPECT_FALSE(testkit::Screenshot("player-export").empty());
    host.DestroyControl();
}

} // namespace
