// Layouts end to end: the view under Xvfb with the real pointer on the panel's layout and channel
// buttons and double-clicks in the picture (xdotool), Conduix over TCP, and the simulator's log of
// the channel requests (51) the DVR received, checked there against its eight channels.
#include <winsock2.h>
#include <windows.h>
#include "TestKit.h"
#include "ViewTestBase.h"
#include "ViewHost.h"
#include "LiveVideo.h"
#include "ViewInspector.h"
#include "ViewSkinLink.h"
#include "PanelSkin.h"
#include "ViewSetupFile.h"
#include "settings/ViewSetup.h"
#include <gtest/gtest.h>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>

using namespace view;
using namespace testkit;

namespace {

const std::string kLog = std::string(PX_WORK_DIR) + "/dvrsim-layout.log";

// The simulator's channel-request lines, in order.
std::vector<std::string> Requests()
{
    std::ifstream in(WinPath(kLog));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        if (line.find("cmd 51 ") != std::string::npos)
            lines.push_back(line.substr(line.find("mask=")));
    return lines;
}

class LayoutEndToEnd : public ViewTestBase {
protected:
    LayoutEndToEnd() : ViewTestBase("dvrsim-layout") {}
    void SetUp() override
    {
        ViewTestBase::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(sim_.Start(port_, "--channels 8 --video cif --no-audio --log " + kLog));
        // Every channel of the DVR enabled in the stored settings, whatever an earlier test left.
        ASSERT_TRUE(settings::SaveViewSetup(settings::kViewSetupPath, settings::DefaultViewSetup(8)));
        OpenHost(true);
        ASSERT_TRUE(host_ && host_->View());
        SetForegroundWindow(host_->Window());
    }
    HWND View() const { return host_->View()->Window(); }
    const connection::LiveLayout& Layout() const { return *Inspect(*host_->View()).Layout(); }
    const connection::ConnectionState& State() const { return Inspect(*host_->View()).Controller().State(); }
    void At(POINT p, const std::string& action)
    {
        ClientToScreen(View(), &p);
        ASSERT_TRUE(RunUnixAndWait("xdotool mousemove " + std::to_string(p.x) + " " + std::to_string(p.y) + " " + action));
    }
    void Click(int command)
    {
        const auto& r = Inspect(*host_->View()).Panel().Button(command)->rect;
        At(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}, "click 1");
    }
    // A double-click in cell (column, row) of the current grid.
    void DoubleClick(int column, int row)
    {
        const RECT a = Inspect(*host_->View()).Panel().Rect(kRectDisplay);
        const int n = connection::GridSideOfLayout(Layout().Layout());
        const int w = (a.right - a.left) / n, h = (a.bottom - a.top) / n;
        At(POINT{a.left + column * w + w / 2, a.top + row * h + h / 2}, "click --repeat 2 --delay 80 1");
    }
    // Waits for the login that shows `layout` and for the request it sends.
    void AwaitLayout(int layout, size_t requests)
    {
        PumpUntil([&] { return Layout().Layout() == layout && State().loggedIn && Requests().size() >= requests; }, 20000);
        ASSERT_EQ(Layout().Layout(), layout);
        ASSERT_GE(Requests().size(), requests);
    }
    void Shot(const std::string& name)
    {
        PumpFor(1500);
        std::string shot = std::string(PX_SOURCE_DIR) + "/out/" + name + ".png";
        ASSERT_TRUE(RunUnixAndWait("mkdir -p " + std::string(PX_SOURCE_DIR) + "/out && import -window root " + shot));
    }

};

TEST_F(LayoutEndToEnd, ButtonsAndDoubleClicksAskForTheirChannelsAndAReconnectKeepsTheLayout)
{
    host_->SetAddress(L"127.0.0.1", std::to_wstring(port_), L"admin", L"1111");
    host_->Command(kCmdConnect);
    // A fresh login on eight channels: the 9-picture page, its request, then the stored one again.
    AwaitLayout(3, 2);
    EXPECT_EQ(Requests()[0].substr(0, 15), "mask=0x000000ff");
    EXPECT_NE(Requests()[0].find("channels=8 ok"), std::string::npos);
    Shot("layout-9");

    struct Step { int button; int layout; const char* request; };
    const Step steps[] = {{20, 2, "mask=0x0000000f"}, {19, 1, "mask=0x00000001"}, {22, 3, "mask=0x000000ff"},
                          {3 + 5, 1, "mask=0x00000020"}};
    for (const Step& s : steps) {
        const size_t before = Requests().size();
        Click(s.button);
        AwaitLayout(s.layout, before + 1);
        EXPECT_EQ(Requests()[before].substr(0, 15), s.request) << "button " << s.button;
        EXPECT_NE(Requests()[before].find(" ok"), std::string::npos);
    }
    Shot("layout-1");

    // Out of the single channel and into another by double-clicks.
    size_t before = Requests().size();
    Click(20);
    AwaitLayout(2, before + 1);
    Shot("layout-4");
    before = Requests().size();
    DoubleClick(1, 1); // channel 3
    AwaitLayout(1, before + 1);
    EXPECT_EQ(Requests()[before].substr(0, 15), "mask=0x00000008");
    before = Requests().size();
    DoubleClick(0, 0);
    AwaitLayout(2, before + 1);
    EXPECT_EQ(Requests()[before].substr(0, 15), "mask=0x0000000f");

    // The DVR drops the connection and comes back: the 4-picture layout stays.
    sim_.Kill();
    PumpUntil([&] { return State().reconnectPending; }, 10000);
    ASSERT_TRUE(sim_.Start(port_, "--channels 8 --video cif --no-audio --log " + kLog));
    PumpUntil([&] { return State().loggedIn && State().connected && Inspect(*host_->View()).Live()->Running(); }, 20000);
    EXPECT_EQ(Layout().Layout(), 2);
}

} // namespace
