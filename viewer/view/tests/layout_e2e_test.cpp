// The live view's requests end to end: the view under Xvfb with the real pointer on the panel's
// layout, channel and audio buttons and double-clicks in the picture (xdotool), Conduix over TCP,
// and the simulator's log of the channel requests (51) and configurations (138) the DVR received,
// checked there against its channels. Also the resolution changes (1223) that lead to a
// configuration, the confirmed setup dialog (3072) and the speed commands (49, 50).
#include <winsock2.h>
#include <windows.h>
#include "TestKit.h"
#include "ViewTestBase.h"
#include "ViewHost.h"
#include "LiveVideo.h"
#include "SetupDialogIds.h"
#include "ViewReadout.h"
#include "ViewSkinLink.h"
#include "PanelSkin.h"
#include "ViewSetupFile.h"
#include "ViewSetup.h"
#include "foundation/Messages.h"
#include <gtest/gtest.h>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

using namespace view;
using namespace testkit;

namespace {

const std::string kVideo = " --video cif --no-audio";

std::vector<std::string> LogLines(const std::string& path, const std::string& marker)
{
    std::ifstream in(WinPath(path));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        if (line.find(marker) != std::string::npos)
            lines.push_back(line);
    return lines;
}

std::string Hex(uint32_t mask)
{
    char b[16];
    std::snprintf(b, sizeof b, "0x%08x", mask);
    return b;
}

class LayoutEndToEnd : public ViewTestBase {
protected:
    LayoutEndToEnd() : ViewTestBase("dvrsim-layout") {}
    void Prepare() override
    {
        // Every channel enabled in the stored settings, whatever an earlier test left.
        RemoveDirectoryW(kBlockedSave.c_str());
        ASSERT_TRUE(settings::SaveViewSetup(settings::kViewSetupPath, settings::DefaultViewSetup(16)));
        OpenView(true);
    }
    void TearDown() override
    {
        RemoveDirectoryW(kBlockedSave.c_str());
        ViewTestBase::TearDown();
    }
    // `record` as the stored settings, in a file the viewer cannot replace (as for a user who may
    // not write in the program's folder): a folder stands where a save writes first.
    const std::wstring kBlockedSave = std::wstring(settings::kViewSetupPath) + L".new";
    void StoreUnwritable(const settings::ViewSetupRecord& record)
    {
        ASSERT_TRUE(settings::SaveViewSetup(settings::kViewSetupPath, record));
        ASSERT_TRUE(CreateDirectoryW(kBlockedSave.c_str(), nullptr));
    }
    // The real pointer on a control of the setup dialog.
    void OnDialogItem(int item)
    {
        RECT r;
        GetWindowRect(GetDlgItem(Dialog()->Hwnd(), item), &r);
        Pointer(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}, "click 1");
        PumpFor(200);
    }
    void OpenSetup()
    {
        Click(kCmdSetup);
        ASSERT_TRUE(PumpUntil([&] { return Dialog() && IsWindowVisible(Dialog()->Hwnd()); }, 5000));
        PumpFor(200);
    }
    // A simulator with `channels` channels; each run logs to a file of its own.
    void StartDvr(int channels)
    {
        log_ = std::string(PX_WORK_DIR) + "/dvrsim-layout-" + std::to_string(++runs_) + ".log";
        ASSERT_TRUE(sim_.Start(port_, "--channels " + std::to_string(channels) + kVideo + " --log " + log_));
    }
    // The DVR kills the connection and comes back with `channels` channels.
    void RestartDvr(int channels)
    {
        earlier_ = Requests();
        sim_.Kill();
        PumpUntil([&] { return State().reconnectPending; }, 10000);
        StartDvr(channels);
    }
    // The channel requests of every simulator run of the test, "mask=... ok" each.
    std::vector<std::string> Requests() const
    {
        std::vector<std::string> all = earlier_;
        for (const std::string& l : LogLines(log_, "cmd 51 "))
            all.push_back(l.substr(l.find("mask=")));
        return all;
    }
    std::vector<std::string> Records() const { return LogLines(log_, "stream 138 record "); }

    const connection::LiveLayout& Layout() const { return *Readout().Layout(); }
    CLiveVideo& Live() const { return *Readout().Live(); }
    settings::CSimpleSetupDlg* Dialog() const { return Readout().Settings().Dialog(); }

    void At(POINT p, const std::string& action)
    {
        ClientToScreen(View(), &p);
        Pointer(p, action);
    }
    void Click(int command)
    {
        const auto& r = Readout().Panel().Button(command)->rect;
        At(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}, "click 1");
    }
    // A double-click in cell (column, row) of the current grid.
    void DoubleClick(int column, int row)
    {
        const RECT a = Readout().Panel().Rect(kRectDisplay);
        const int n = connection::GridSideOfLayout(Layout().Layout());
        const int w = (a.right - a.left) / n, h = (a.bottom - a.top) / n;
        At(POINT{a.left + column * w + w / 2, a.top + row * h + h / 2}, "click --repeat 2 --delay 80 1");
    }
    // What a switch must ask for: the masks of the requests it sends, in order. Waits for them and
    // for the layout, then checks that exactly these were sent since the last call.
    void Expect(int layout, std::vector<uint32_t> masks, const std::string& what)
    {
        const size_t from = expected_.size();
        for (uint32_t m : masks)
            expected_.push_back("mask=" + Hex(m));
        PumpUntil(
            [&] { return Layout().Layout() == layout && State().loggedIn && Requests().size() >= expected_.size(); },
            20000, Check::EachWake);
        ASSERT_EQ(Layout().Layout(), layout) << what;
        const std::vector<std::string> got = Requests();
        ASSERT_GE(got.size(), expected_.size()) << what;
        for (size_t i = from; i < expected_.size(); ++i)
            EXPECT_EQ(got[i].substr(0, 15), expected_[i]) << what << ", request " << i - from;
    }
    // True when the middle of every cell of the page shows a picture, not the black of a blank.
    bool EveryCellLit() const
    {
        const HWND display = Live().Display().Window();
        RECT area;
        GetClientRect(display, &area);
        const int n = connection::GridSideOfLayout(Layout().Layout());
        for (int i = 0; i < Layout().ShownPage().count; ++i) {
            const int x = area.right * (2 * (i % n) + 1) / (2 * n), y = area.bottom * (2 * (i / n) + 1) / (2 * n);
            bool lit = false;
            for (uint32_t p : ClientPixels(display, RECT{x - 4, y - 4, x + 4, y + 4}))
                lit |= (p & 0xFF) + ((p >> 8) & 0xFF) + ((p >> 16) & 0xFF) > 96;
            if (!lit)
                return false;
        }
        return true;
    }
    // Waits for pictures in every cell of the page, then a screenshot into the kit's work folder,
    // copied to out/.
    void Shot(const std::string& name)
    {
        EXPECT_TRUE(PumpUntil([&] { return EveryCellLit(); }, 10000, Check::EachWake)) << name;
        const std::string shot = Screenshot(name);
        ASSERT_FALSE(shot.empty());
        ASSERT_TRUE(RunUnixAndWait("mkdir -p " + std::string(PX_SOURCE_DIR) + "/out && cp " + shot + " " +
                                   std::string(PX_SOURCE_DIR) + "/out/"));
        std::printf("screenshot: %s\n", shot.c_str());
    }

    std::string log_;
    int runs_ = 0;
    std::vector<std::string> earlier_, expected_;
};

TEST_F(LayoutEndToEnd, EveryButtonAndDoubleClickAsksForItsChannelsAndReconnectsKeepTheLayout)
{
    StartDvr(16);
    Connect();
    // A fresh login on sixteen channels: the 16-picture page, then the stored request again.
    Expect(4, {0xFFFF, 0xFFFF}, "fresh login");
    ASSERT_NE(Live().Decoder(), nullptr);
    EXPECT_EQ(Live().Decoder()->Channels(), 16);
    const int made = Live().DecodersMade();
    Shot("layout-16");

    // The three layout buttons without an action first: they ask for nothing.
    for (int button : {21, 23, 24})
        Click(button);
    Click(20);
    Expect(2, {0xF, 0xF}, "4 pictures");
    Shot("layout-4");
    Click(22);
    Expect(3, {0x1FF, 0x1FF}, "9 pictures");
    Shot("layout-9");
    Click(19);
    Expect(1, {0x1, 0x1}, "1 picture");
    Shot("layout-1");
    Click(25);
    Expect(4, {0xFFFF, 0xFFFF}, "16 pictures");
    for (int ch = 0; ch < 16; ++ch) {
        Click(kCmdFirstChannel + ch);
        Expect(1, {1u << ch, 1u << ch}, "channel button " + std::to_string(ch + 1));
        EXPECT_EQ(Layout().ShownPage().channels[0], ch);
    }
    EXPECT_EQ(Live().DecodersMade(), made) << "quiet switches keep the decoder manager";

    // Into one channel of the 4-picture page and out again by double-clicks.
    Click(20);
    Expect(2, {0xF, 0xF}, "4 pictures");
    DoubleClick(1, 1);
    Expect(1, {0x8, 0x8}, "double-click on channel 4");
    DoubleClick(0, 0);
    Expect(2, {0xF, 0xF}, "double-click back");

    // An audio channel: chosen locally, nothing asked of the DVR.
    Click(kCmdFirstAudio + 1);
    EXPECT_TRUE(
        PumpUntil([&] { return Readout().Panel().Button(kCmdFirstAudio + 1)->state == skinui::kDisabled; }, 5000));

    // The DVR drops the connection and comes back: the layout and the audio choice stay, and only
    // the kept request (every enabled channel since the last login) goes out again.
    RestartDvr(16);
    Expect(2, {0xFFFF}, "automatic reconnect");
    PumpUntil([&] { return Live().Running(); }, 10000);
    EXPECT_EQ(Readout().Panel().Button(kCmdFirstLayout + 1)->state, skinui::kPressed);
    EXPECT_EQ(Readout().Panel().Button(kCmdFirstAudio + 1)->state, skinui::kDisabled);
    EXPECT_EQ(Live().DecodersMade(), made) << "a reconnect keeps the decoder manager";

    // It comes back with eight channels: a fresh login's 9-picture page on eight, a decoder
    // manager for eight.
    RestartDvr(8);
    Expect(3, {0xFF, 0xFF}, "back with eight channels");
    ASSERT_NE(Live().Decoder(), nullptr);
    EXPECT_EQ(Live().Decoder()->Channels(), 8);
    EXPECT_EQ(Live().DecodersMade(), made + 1);

    // Every request of the run, and nothing else, each within the DVR's channels.
    const std::vector<std::string> all = Requests();
    ASSERT_EQ(all.size(), expected_.size());
    for (const std::string& r : all)
        EXPECT_NE(r.find(" ok"), std::string::npos) << r;

    host_->Command(kCmdDisconnect);
    PumpUntil([&] { return !State().connected; }, 5000);
    EXPECT_EQ(Live().Decoder(), nullptr) << "a disconnect frees the decoder manager";
}

// The first pictures of each channel change its resolution class: one configuration follows the
// burst, with the table's total rate capped to the budget, saved and shown in the setup dialog.
TEST_F(LayoutEndToEnd, ResolutionChangesSendOneConfigurationCappedToTheBudget)
{
    settings::ViewSetupRecord full = settings::DefaultViewSetup(16);
    full.easy.easyOn = 0;
    for (auto& e : full.channels) {
        e.interval = 1; // every frame of the camera
        e.rate = 30;
    }
    ASSERT_TRUE(settings::SaveViewSetup(settings::kViewSetupPath, full));
    StartDvr(16);
    Connect();
    Expect(4, {0xFFFF, 0xFFFF}, "fresh login");
    ASSERT_TRUE(PumpUntil([&] { return Records().size() >= 2; }, 15000, Check::EachWake));
    PumpFor(3000);
    const std::vector<std::string> records = Records();
    ASSERT_EQ(records.size(), 2u) << "one configuration at the login, one after the burst";
    EXPECT_NE(records[0].find(" 0:1/1/19/30 "), std::string::npos) << records[0];

    settings::CSimpleSetupDlg* dialog = Dialog();
    ASSERT_TRUE(dialog && dialog->Hwnd());
    EXPECT_LE(dialog->Table().Total(), dialog->Table().Budget());
    EXPECT_GT(dialog->Table().Total(), 0.0) << "the resolution classes reached the dialog";
    settings::ViewSetupRecord saved;
    ASSERT_EQ(settings::kLoadRead, settings::LoadViewSetup(settings::kViewSetupPath, 16, saved).result);
    std::string table;
    for (int c = 0; c < 16; ++c)
        table += std::to_string(c) + ":1/" + std::to_string(saved.channels[c].interval) + "/19/" +
            std::to_string(saved.channels[c].rate) + " ";
    EXPECT_NE(saved.channels[15].interval, 1) << "the cap slowed every channel";
    EXPECT_NE(records[1].find(table), std::string::npos) << records[1] << "\nsaved: " << table;
}

// OK in the setup dialog: the enabled channels are asked for at once, the settings saved with easy
// setup's quality for the layout, and the layout taken again by a quiet reconnect.
TEST_F(LayoutEndToEnd, ConfirmedSetupAsksForTheEnabledChannelsAndRetakesTheLayout)
{
    settings::ViewSetupRecord low = settings::DefaultViewSetup(16);
    for (auto& e : low.channels)
        e.quality = 4;
    ASSERT_TRUE(settings::SaveViewSetup(settings::kViewSetupPath, low));
    StartDvr(16);
    Connect();
    Expect(4, {0xFFFF, 0xFFFF}, "fresh login");
    host_->Command(kCmdSetup);
    ASSERT_TRUE(PumpUntil([&] { return Dialog() && IsWindowVisible(Dialog()->Hwnd()); }, 5000));
    const HWND dialog = Dialog()->Hwnd();
    CheckDlgButton(dialog, IDC_SETUP_ENABLE_FIRST + 2, BST_UNCHECKED);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_SETUP_ENABLE_FIRST + 2, BN_CLICKED), 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    Expect(4, {0xFFFB, 0xFFFB, 0xFFFB}, "setup confirmed");

    settings::ViewSetupRecord saved;
    ASSERT_EQ(settings::kLoadRead, settings::LoadViewSetup(settings::kViewSetupPath, 16, saved).result);
    EXPECT_EQ(saved.channels[2].enabled, 0);
    for (int c = 0; c < 16; ++c)
        EXPECT_EQ(saved.channels[c].quality, 19) << "easy setup's level 3 of the 16-picture layout, channel " << c;
    EXPECT_EQ(Requests().size(), expected_.size());
}

// Speed up stops at ten on a DVR whose option bits are unknown and never lowers the level; speed
// down stops at one. The stream request's pace reads the same item.
TEST_F(LayoutEndToEnd, SpeedCommandsStayWithinOneToTen)
{
    auto level = [&] {
        BOOL ok = FALSE;
        const UINT v = GetDlgItemInt(View(), kItemSpeed, &ok, FALSE);
        return ok ? static_cast<int>(v) : -1;
    };
    ASSERT_EQ(level(), connection::kSpeedLevelAtStart);
    std::vector<int> seen;
    for (int i = 0; i < 8; ++i) {
        host_->Command(49);
        PumpFor(20);
        seen.push_back(level());
    }
    EXPECT_EQ(seen, (std::vector<int>{5, 6, 7, 8, 9, 10, 10, 10}));
    for (int i = 0; i < 11; ++i)
        host_->Command(50);
    PumpFor(200);
    EXPECT_EQ(level(), 1);
    EXPECT_EQ(Readout().Panel().SpeedLevel(), 1);
}

// A double-click into one camera is the channel command of that camera: the PTZ buttons then
// move the camera shown, not the one last chosen with a channel button.
TEST_F(LayoutEndToEnd, PtzButtonsMoveTheCameraADoubleClickShows)
{
    StartDvr(16);
    Connect();
    Expect(4, {0xFFFF, 0xFFFF}, "fresh login");
    DoubleClick(1, 1);
    Expect(1, {0x20, 0x20}, "double-click on camera 6");
    Click(kCmdFirstPtz);
    ASSERT_TRUE(PumpUntil([&] { return !LogLines(log_, "cmd 19 ").empty(); }, 5000, Check::EachWake));
    for (const std::string& l : LogLines(log_, "cmd 19 "))
        EXPECT_NE(l.find("channel=5 "), std::string::npos) << l;
}

// Settings the viewer cannot save are confirmed all the same: they hold through the reconnect that
// OK itself causes and in the dialog opened again, and the person is told once where and why.
TEST_F(LayoutEndToEnd, ConfirmedSetupThatCannotBeSavedHoldsAndIsToldOnce)
{
    settings::ViewSetupRecord manual = settings::DefaultViewSetup(16);
    manual.easy.easyOn = 0; // the channels' boxes are open to the pointer
    StoreUnwritable(manual);
    StartDvr(16);
    Connect();
    Expect(4, {0xFFFF, 0xFFFF}, "fresh login");
    for (int round = 0; round < 2; ++round) {
        OpenSetup();
        ASSERT_EQ(IsDlgButtonChecked(Dialog()->Hwnd(), IDC_SETUP_ENABLE_FIRST + 2 + round), BST_CHECKED);
        OnDialogItem(IDC_SETUP_ENABLE_FIRST + 2 + round);
        OnDialogItem(IDOK);
        const uint32_t mask = round ? 0xFFF3 : 0xFFFB;
        Expect(4, {mask, mask, mask}, "setup confirmed, round " + std::to_string(round));
    }
    OpenSetup();
    EXPECT_EQ(IsDlgButtonChecked(Dialog()->Hwnd(), IDC_SETUP_ENABLE_FIRST + 2), BST_UNCHECKED);
    int told = 0;
    for (const std::wstring& line : Readout().StatusLines())
        told += line.find(L"ViewSetup.dat") != std::wstring::npos;
    EXPECT_EQ(told, 1);
}

// A resolution change with the setup dialog open leaves the person's unconfirmed edits alone, and
// the configuration it leads to carries the capped table even though it could not be saved.
TEST_F(LayoutEndToEnd, ResolutionChangeKeepsAnOpenDialogAndSendsTheCapUnsaved)
{
    settings::ViewSetupRecord full = settings::DefaultViewSetup(16);
    full.easy.easyOn = 0;
    for (auto& e : full.channels) {
        e.interval = 1;
        e.rate = 30;
    }
    StoreUnwritable(full);
    StartDvr(16);
    Connect();
    Expect(4, {0xFFFF, 0xFFFF}, "fresh login");
    ASSERT_TRUE(PumpUntil([&] { return Records().size() >= 2; }, 15000, Check::EachWake));
    EXPECT_EQ(Records()[1].find(" 15:1/1/19/30 "), std::string::npos) << "not capped: " << Records()[1];

    OpenSetup();
    OnDialogItem(IDC_SETUP_ENABLE_FIRST + 2);
    ASSERT_EQ(IsDlgButtonChecked(Dialog()->Hwnd(), IDC_SETUP_ENABLE_FIRST + 2), BST_UNCHECKED);
    PostMessageW(View(), WM_RESOLUTION_CLASS, 0, settings::kClassHalfD1);
    ASSERT_TRUE(PumpUntil([&] { return Records().size() >= 3; }, 6000, Check::EachWake));
    PumpFor(300);
    EXPECT_EQ(IsDlgButtonChecked(Dialog()->Hwnd(), IDC_SETUP_ENABLE_FIRST + 2), BST_UNCHECKED);
    EXPECT_TRUE(IsWindowVisible(Dialog()->Hwnd()));
}

} // namespace
