// PTZ end to end: the view under Xvfb with the real pointer on its PTZ buttons (xdotool), Conduix
// over TCP, and the DVR simulator's log of what the camera would have done.
#include <winsock2.h>
#include <windows.h>
#include "TestKit.h"
#include "ViewTestBase.h"
#include "ViewHost.h"
#include "ViewReadout.h"
#include "ViewSkinLink.h"
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <string>

using namespace view;
using namespace testkit;

namespace {

const std::string kLog = std::string(PX_WORK_DIR) + "/dvrsim-ptz.log";

std::string SimulatorLog() { return FileText(kLog); }

size_t Count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// The simulator's PTZ lines only, in order.
std::vector<std::string> PtzLines()
{
    std::vector<std::string> lines;
    std::istringstream in(SimulatorLog());
    for (std::string line; std::getline(in, line);)
        if (line.find("cmd 19 ") != std::string::npos || line.find("cmd 4 frame") != std::string::npos)
            lines.push_back(line);
    return lines;
}

class PtzEndToEnd : public ViewTestBase {
protected:
    PtzEndToEnd() : ViewTestBase("dvrsim-ptz") {}
    void Prepare() override
    {
        ASSERT_TRUE(sim_.Start(port_, "--synthetic-rate 100 --synthetic-size 2048 --log " + kLog));
        DeleteFileW(InfoFile().c_str()); // start-up writes sixteen empty records into a new file
        OpenView();
    }
    static std::wstring InfoFile()
    {
        wchar_t dir[MAX_PATH];
        GetWindowsDirectoryW(dir, MAX_PATH);
        return std::wstring(dir) + L"\\PelluxInfo.INF";
    }
    ptz::PtzControl& Ptz() { return Readout().Ptz().Control(); }
    void ConnectAndWaitForVideo()
    {
        Connect();
        PumpUntil([&] { return Readout().FrameCounts().videoFrames > 20; }, 20000);
        ASSERT_GT(Readout().FrameCounts().videoFrames, 20u);
    }
    // The real pointer to the middle of a client rectangle of the view, then the xdotool action.
    void PointerAt(RECT r, const std::string& action)
    {
        POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        ClientToScreen(View(), &p);
        Pointer(p, action);
        PumpFor(200);
    }
    void OnButton(int command, const std::string& action)
    {
        const auto& r = Readout().Panel().Button(command)->rect;
        PointerAt(RECT{r.left, r.top, r.right, r.bottom}, action);
    }
    // Item 205 set as the user's choice arrives: the selection, then its notification.
    void ChooseProtocol(int entry)
    {
        SendDlgItemMessageW(View(), kItemPtzProtocol, CB_SETCURSEL, entry, 0);
        SendMessageW(View(), WM_COMMAND, MAKEWPARAM(kItemPtzProtocol, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(GetDlgItem(View(), kItemPtzProtocol)));
    }
    bool LogHas(const std::string& text, DWORD ms = 5000)
    {
        return PumpUntil([&] { return SimulatorLog().find(text) != std::string::npos; }, ms, Check::EachWake);
    }
};

TEST_F(PtzEndToEnd, DvrModeHeldButtonReachesTheDvrAfterFramesThenStops)
{
    ConnectAndWaitForVideo();
    EXPECT_EQ(IsDlgButtonChecked(View(), kItemAutoPtz), BST_CHECKED);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(View(), kItemPtzProtocol))) << "DVR mode keeps the lists off";

    OnButton(kCmdFirstChannel + 2, "click 1"); // watch camera 3
    OnButton(kCmdFirstPtz, "mousedown 1 sleep 1 mouseup 1");
    ASSERT_TRUE(LogHas("action=22"));
    const std::vector<std::string> lines = PtzLines();
    ASSERT_FALSE(lines.empty());
    size_t ups = 0;
    for (const auto& l : lines)
        ups += l.find("cmd 19 ptz-action channel=2 action=0 w8=1 w12=5 bytes=16 means=up") != std::string::npos;
    EXPECT_GE(ups, 5u) << "renewed every 100 ms while held";
    EXPECT_LE(ups, 13u);
    EXPECT_NE(lines.back().find("channel=2 action=22 w8=1 w12=5 bytes=16 means=stop"), std::string::npos)
        << lines.back();
    EXPECT_EQ(Count(SimulatorLog(), "action=22"), 1u);
}

TEST_F(PtzEndToEnd, ProtocolModeSendsTheCamerasOwnBytesAndRecordsTheChoice)
{
    ConnectAndWaitForVideo();
    // "DVR PTZ" unticked by the pointer: the lists open.
    RECT box;
    GetWindowRect(GetDlgItem(View(), kItemAutoPtz), &box);
    MapWindowPoints(nullptr, View(), reinterpret_cast<POINT*>(&box), 2);
    PointerAt(RECT{box.left, box.top, box.left + 12, box.bottom}, "click 1");
    ASSERT_EQ(IsDlgButtonChecked(View(), kItemAutoPtz), BST_UNCHECKED);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(View(), kItemPtzProtocol)));

    // Camera 1 (settings camera 1) on Pelco-D: 9600 bps comes with it.
    ChooseProtocol(1);
    EXPECT_EQ(SendDlgItemMessageW(View(), kItemBaud, CB_GETCURSEL, 0, 0), 4);
    OnButton(kCmdFirstPtz + 6, "mousedown 1 sleep 0.5 mouseup 1"); // LEFT
    ASSERT_TRUE(LogHas("protocol=pelco-d address=1 action=stop"));
    EXPECT_NE(SimulatorLog().find("cmd 4 ptz-protocol w0=2 count=7 value=9600 bytes=268"), std::string::npos);
    EXPECT_NE(SimulatorLog().find("cmd 4 frame 1/1 protocol=pelco-d address=1 action=left speed=32 checksum=ok"),
              std::string::npos);

    // Entry 8 has no diagonals: a diagonal press runs as pan step, pan stop, tilt step, tilt stop.
    ChooseProtocol(8);
    OnButton(kCmdFirstPtz + 7, "mousedown 1 sleep 0.3 mouseup 1"); // LEFT UP
    ASSERT_TRUE(LogHas("protocol=ad-rs422 address=1 action=tilt-stop"));
    PumpFor(300); // the release follows the last frame
    std::vector<std::string> ad;
    for (const auto& l : PtzLines())
        if (l.find("ad-rs422") != std::string::npos)
            ad.push_back(l.substr(l.find("action=")));
    // Each renewal of the held press sends the four steps; the release stops both axes.
    ASSERT_GE(ad.size(), 6u);
    ASSERT_EQ(ad.size() % 4, 2u) << ad.size();
    const char* const steps[4] = {"action=left ", "action=pan-stop ", "action=up ", "action=tilt-stop "};
    for (size_t i = 0; i + 2 < ad.size(); ++i)
        EXPECT_EQ(ad[i].rfind(steps[i % 4], 0), 0u) << i << ": " << ad[i];
    EXPECT_EQ(ad[ad.size() - 2].rfind(steps[1], 0), 0u);
    EXPECT_EQ(ad.back().rfind(steps[3], 0), 0u);
    EXPECT_EQ(Count(SimulatorLog(), "checksum=bad"), 0u);

    // Camera 4's record, written by the view, as the platform reads it back: section 04.
    for (int i = 0; i < 3; ++i)
        host_->Command(ptz::kCmdSettingsCameraUp);
    PumpFor(100);
    EXPECT_EQ(GetDlgItemInt(View(), kItemPtzCamera, nullptr, FALSE), 4u);
    ChooseProtocol(2);
    ptz::PtzRecord r{};
    ASSERT_TRUE(GetPrivateProfileStructW(L"Camera04", L"PTZ", &r, sizeof r, InfoFile().c_str()));
    EXPECT_EQ(r.protocolEntry, 2);
    EXPECT_EQ(r.baudEntry, 4);
    ASSERT_TRUE(GetPrivateProfileStructW(L"Camera01", L"PTZ", &r, sizeof r, InfoFile().c_str()));
    EXPECT_EQ(r.protocolEntry, 8);
    ASSERT_TRUE(GetPrivateProfileStructW(L"Camera16", L"PTZ", &r, sizeof r, InfoFile().c_str()));
    EXPECT_EQ(r.protocolEntry, 0) << "start-up wrote every camera's record";

    // A new view reads the records back and shows camera 1's; a record whose check byte is wrong
    // and one naming a protocol the list does not have both count as none.
    host_.reset();
    WritePrivateProfileStringW(L"Camera02", L"PTZ", L"0104000000", InfoFile().c_str());
    const ptz::PtzRecord hostile{200, 4, {0, 0}};
    WritePrivateProfileStructW(L"Camera03", L"PTZ", const_cast<ptz::PtzRecord*>(&hostile), sizeof hostile,
                               InfoFile().c_str());
    OpenView();
    EXPECT_EQ(Ptz().Record(1).protocolEntry, 0);
    EXPECT_EQ(Ptz().Record(2).protocolEntry, 0);
    EXPECT_EQ(Ptz().Record(3).protocolEntry, 2);
    EXPECT_EQ(SendDlgItemMessageW(View(), kItemPtzProtocol, CB_GETCURSEL, 0, 0), 8);
    EXPECT_EQ(SendDlgItemMessageW(View(), kItemPtzProtocol, CB_GETCOUNT, 0, 0), 9)
        << "\"-----------\" and eight protocols";
}

} // namespace
