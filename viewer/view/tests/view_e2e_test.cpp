// The view end to end: real windows under the Wine session, real Conduix over TCP, and the DVR
// simulator (a native program, started through /bin/sh and stopped by its pid).
#include <winsock2.h>
#include <windows.h>
#include "ViewHost.h"
#include "ViewSkinLink.h"
#include "TestKit.h"
#include "ViewTestBase.h"
#include "ViewReadout.h"
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace view;
using namespace testkit;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

namespace {

// Video blocks after login (not decodable, which the view does not need yet), and a log of every
// command the simulator received.
const std::string kSimOptions =
    "--synthetic-rate 100 --synthetic-size 2048 --log " + std::string(PX_WORK_DIR) + "/dvrsim-view-commands.log";

class ViewEndToEnd : public ViewTestBase {
protected:
    ViewEndToEnd() : ViewTestBase("dvrsim-view") {}
    void Prepare() override { OpenView(); }

    std::vector<std::wstring> Lines() const
    {
        return host_->View() ? Readout().StatusLines() : std::vector<std::wstring>{};
    }
    bool HasLine(const wchar_t* text) const
    {
        for (const auto& l : Lines())
            if (l == text)
                return true;
        return false;
    }
    // True when all four connection fields are enabled; false when all four are disabled.
    bool FieldsEnabled() const
    {
        int enabled = 0;
        for (int item : {kItemAddress, kItemPort, kItemUser, kItemPassword})
            enabled += IsWindowEnabled(GetDlgItem(View(), item)) ? 1 : 0;
        EXPECT_TRUE(enabled == 0 || enabled == 4) << enabled << " of the four fields enabled";
        return enabled == 4;
    }
    bool LoggedIn() const { return State().loggedIn && State().connected; }
};

TEST_F(ViewEndToEnd, LoginSequenceLogsTheStatusTextsInOrderAndPicturesFlow)
{
    ASSERT_TRUE(sim_.Start(port_, kSimOptions));
    Connect(L"Admin");
    PumpUntil([&] { return HasLine(L"Waiting for images..."); }, 20000);
    EXPECT_THAT(Lines(),
                ElementsAre(L"Start DVR Web Viewer.", L"0,9,1,24", L"Waiting for connection...",
                            L"Starting DVR Web Viewer.", L"Check ID : Admin", L"Connection established.",
                            L"Waiting for images..."));
    EXPECT_FALSE(FieldsEnabled());
    EXPECT_EQ(State().channelCount, 16);
    EXPECT_TRUE(State().quietSwitch);
    // The configuration answer arms the watchdog; the simulator's pictures reach the frame sink.
    PumpUntil([&] { return Readout().FrameCounts().videoFrames > 16; }, 10000);
    EXPECT_GT(Readout().FrameCounts().videoFrames, 16u);

    // One look at the window, for people.
    std::string shot = std::string(PX_SOURCE_DIR) + "/out/viewhost-login.png";
    std::string part = std::string(PX_WORK_DIR) + "/viewhost-login.png";
    std::remove(WinPath(shot).c_str());
    RunUnix("mkdir -p " + std::string(PX_SOURCE_DIR) + "/out && import -window root " + part + " && mv " + part + " " +
            shot);
    PumpUntil([&] { return GetFileAttributesA(WinPath(shot).c_str()) != INVALID_FILE_ATTRIBUTES; }, 10000);

    host_->Command(kCmdDisconnect);
    PumpUntil([&] { return FieldsEnabled(); }, 5000);
    EXPECT_EQ(Lines().back(), L"Disconnect.");
    EXPECT_FALSE(State().connected);
    EXPECT_FALSE(State().quietSwitch);

    host_->Command(kCmdExit);
    PumpUntil([&] { return host_->Closed(); }, 5000);
    EXPECT_TRUE(host_->Closed()) << "Exit closes the host window";
}

TEST_F(ViewEndToEnd, WrongPasswordIsRefusedAndTheFieldsComeBack)
{
    ASSERT_TRUE(sim_.Start(port_, kSimOptions));
    Connect(L"admin", L"9999");
    PumpUntil([&] { return HasLine(L"Error - Invalid ID or Password."); }, 20000);
    PumpUntil([&] { return FieldsEnabled(); }, 2000);
    EXPECT_THAT(Lines(), Contains(L"Error - Invalid ID or Password."));
    EXPECT_THAT(Lines(), Not(Contains(L"Connection established.")));
    EXPECT_TRUE(FieldsEnabled());
    EXPECT_TRUE(State().userStopped);
    EXPECT_FALSE(State().reconnectPending);

    // The password can be typed again and the next try gets in.
    Connect(L"admin", L"1111");
    PumpUntil([&] { return HasLine(L"Connection established."); }, 20000);
    EXPECT_TRUE(LoggedIn());
}

TEST_F(ViewEndToEnd, EmptyAddressIsReportedWithoutConnecting)
{
    Connect(L"admin", L"1111", L"");
    PumpUntil([&] { return HasLine(L"Empty IP or User ID !"); }, 5000);
    EXPECT_THAT(
        Lines(),
        ElementsAre(L"Start DVR Web Viewer.", L"0,9,1,24", L"Waiting for connection...", L"Empty IP or User ID !"));
    EXPECT_FALSE(State().connected);
    EXPECT_TRUE(FieldsEnabled());
}

TEST_F(ViewEndToEnd, LostDvrIsRetriedEverySecondTenTimesThenConnectionFailed)
{
    ASSERT_TRUE(sim_.Start(port_, kSimOptions));
    Connect();
    PumpUntil([&] { return LoggedIn(); }, 20000);
    ASSERT_TRUE(LoggedIn());
    size_t before = Lines().size();

    sim_.Kill();
    // Every attempt shows up as the next reconnect count; the tenth failure stops the retries.
    std::vector<int> counts;
    auto start = std::chrono::steady_clock::now();
    PumpUntil(
        [&] {
            int n = State().reconnectCount;
            if (n > 0 && (counts.empty() || counts.back() != n))
                counts.push_back(n);
            return HasLine(L"Connection failed.");
        },
        30000);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_THAT(counts, ElementsAre(1, 2, 3, 4, 5, 6, 7, 8, 9, 10));
    EXPECT_GE(seconds, 9.5) << "one attempt per second";
    auto lines = Lines();
    ASSERT_EQ(lines.size(), before + 1) << "retries are quiet; one final line";
    EXPECT_EQ(lines.back(), L"Connection failed.");
    EXPECT_TRUE(State().userStopped);
    EXPECT_TRUE(FieldsEnabled());
}

// Connect while the DVR is down: whether its address refuses at once or lets attempts hang until
// they time out, every attempt counts and only the start and the end are reported.
TEST_F(ViewEndToEnd, ConnectToARefusingOrHangingDvrEndsWithConnectionFailedAfterQuietRetries)
{
    for (bool hang : {false, true}) {
        if (hang) { // nothing listens on the port in the first case: refused at once
            ASSERT_TRUE(sim_.Start(port_, "--hang-connects", false));
        }
        Connect();
        PumpUntil([&] { return HasLine(L"Connection failed."); }, 40000);
        EXPECT_THAT(
            Lines(),
            ElementsAre(L"Start DVR Web Viewer.", L"0,9,1,24", L"Waiting for connection...", L"Connection failed."))
            << "hang " << hang;
        EXPECT_TRUE(State().userStopped) << "hang " << hang;
        EXPECT_FALSE(State().connected) << "hang " << hang;
        EXPECT_TRUE(FieldsEnabled()) << "hang " << hang;
        if (!hang) { // a fresh view for the second case
            ASSERT_NO_FATAL_FAILURE(OpenView());
        }
    }
}

// Command 9 ends the connection; a login reply without channel information ends the attempt as
// the user's stop would, without a login text.
TEST_F(ViewEndToEnd, DisconnectCommandAndLoginWithoutChannelInformationTearDown)
{
    ASSERT_TRUE(sim_.Start(port_, kSimOptions + " --disconnect-after 2"));
    Connect();
    PumpUntil([&] { return HasLine(L"Connection established."); }, 20000);
    ASSERT_TRUE(HasLine(L"Connection established.")) << ::testing::PrintToString(Lines());
    PumpUntil([&] { return !State().connected; }, 10000);
    // Torn down, and not as a loss (which would arm the reconnect) nor as a user stop.
    EXPECT_FALSE(State().connected) << "command 9 did not tear down";
    EXPECT_FALSE(State().userStopped);
    EXPECT_FALSE(State().reconnectPending);
    sim_.Kill();

    ASSERT_NO_FATAL_FAILURE(OpenView());
    ASSERT_TRUE(sim_.Start(port_, kSimOptions + " --no-channel-info"));
    Connect();
    PumpUntil([&] { return HasLine(L"Check ID : admin") && FieldsEnabled(); }, 20000);
    EXPECT_TRUE(FieldsEnabled());
    EXPECT_TRUE(State().userStopped);
    EXPECT_FALSE(State().loggedIn);
    EXPECT_FALSE(State().connected);
    EXPECT_THAT(Lines(), Not(Contains(L"Connection established.")));
    EXPECT_EQ(Readout().FrameCounts().videoFrames, 0u);
}

TEST_F(ViewEndToEnd, DvrBackWithinTheAttemptsLogsInAgain)
{
    ASSERT_TRUE(sim_.Start(port_, kSimOptions));
    Connect();
    PumpUntil([&] { return LoggedIn(); }, 20000);
    ASSERT_TRUE(LoggedIn());

    sim_.Kill();
    PumpUntil([&] { return State().reconnectCount >= 2; }, 10000);
    ASSERT_GE(State().reconnectCount, 2);
    ASSERT_TRUE(sim_.Start(port_, kSimOptions));
    PumpUntil([&] { return LoggedIn() && State().reconnectCount == 0; }, 15000);
    EXPECT_TRUE(LoggedIn());
    EXPECT_EQ(State().reconnectCount, 0);
    EXPECT_FALSE(FieldsEnabled());
    EXPECT_THAT(Lines(), Not(Contains(L"Connection failed.")));
    uint64_t frames = Readout().FrameCounts().videoFrames;
    PumpUntil([&] { return Readout().FrameCounts().videoFrames > frames + 16; }, 10000);
    EXPECT_GT(Readout().FrameCounts().videoFrames, frames + 16) << "pictures flow again";
}

} // namespace

namespace {

std::string SimulatorLog() { return FileText(std::string(PX_WORK_DIR) + "/dvrsim-view-commands.log"); }

} // namespace

TEST_F(ViewEndToEnd, ThePanelFollowsTheConnectionAndThePhoneButtonSwitchesTheDvr)
{
    ASSERT_TRUE(sim_.Start(port_, kSimOptions));
    ASSERT_NO_FATAL_FAILURE(OpenView(true)); // the phone switch goes out through the view's own sound devices
    ViewPanel& panel = Readout().Panel();
    Connect(L"admin");
    PumpUntil([&] { return LoggedIn(); }, 20000);
    ASSERT_TRUE(LoggedIn());
    PumpUntil([] { return false; }, 200);
    EXPECT_FALSE(panel.Button(kCmdConnect)->enabled);
    EXPECT_TRUE(panel.Button(kCmdDisconnect)->enabled);
    EXPECT_TRUE(panel.Button(kCmdFirstChannel)->enabled);
    EXPECT_TRUE(panel.Button(kCmdSetup)->enabled) << "an administrator may open the setup";

    // The phone toggle as its button sends it: down (checked 1, toggle 1), then up.
    panel.SetChecked(kCmdPhone, true);
    PostMessageW(View(), WM_VIEW_COMMAND, kCmdPhone, 65537);
    PumpUntil([] { return SimulatorLog().find("phone-switch state=1") != std::string::npos; }, 5000);
    EXPECT_NE(SimulatorLog().find("cmd 100 phone-switch state=1"), std::string::npos);
    EXPECT_TRUE(panel.PhoneButtonDown());

    host_->Command(kCmdDisconnect);
    PumpUntil([&] { return !State().connected; }, 5000);
    PumpUntil([] { return false; }, 200);
    EXPECT_FALSE(panel.PhoneButtonDown()) << "a disconnect releases the phone button";
    EXPECT_EQ(panel.Button(kCmdPhone)->state, skinui::kDisabled);
    EXPECT_EQ(panel.Button(kCmdFirstChannel)->state, skinui::kDisabled);
    EXPECT_TRUE(panel.Button(kCmdConnect)->enabled);
}
