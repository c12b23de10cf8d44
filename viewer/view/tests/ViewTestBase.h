#pragma once
// What the view's end-to-end tests share: Winsock, a free loopback port, the DVR simulator on it
// (each test starts it with its own options), a view host that goes before the simulator, and the
// user's ways into the view: the connection fields, the real pointer (xdotool), the simulator's log.
#include "TestKit.h"
#include "ViewHost.h"
#include "ViewReadout.h"
#include "ViewSkinLink.h"
#include <gtest/gtest.h>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

namespace view {

// A Unix file's text ("" when it is not there): the simulator's logs.
inline std::string FileText(const std::string& unixPath)
{
    std::ifstream in(testkit::WinPath(unixPath));
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class ViewTestBase : public ::testing::Test {
protected:
    explicit ViewTestBase(const char* simulatorName) : sim_(simulatorName) {}
    void SetUp() override
    {
        WSADATA wsa;
        ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa), 0);
        port_ = testkit::FreePort();
        Prepare();
    }
    // Each test's own start, once Winsock and the port are there.
    virtual void Prepare() {}
    void TearDown() override
    {
        host_.reset();
        sim_.Kill();
        WSACleanup();
    }
    // A host and its view in front; `live`: with the view's own display, decode threads and sound devices.
    void OpenView(bool live = false)
    {
        ViewPartsConfig config;
        config.live = live;
        host_.reset(ViewHost::Create(LinkedViewSkin(), L"DVR Web Viewer", config));
        ASSERT_TRUE(host_ && host_->View()) << "host window: " << GetLastError();
        SetForegroundWindow(host_->Window());
        testkit::PumpFor(200);
    }
    // The user's login to the simulator, as the connection fields and the Connect button give it.
    void Connect(const wchar_t* user = L"admin", const wchar_t* password = L"1111",
                 const wchar_t* address = L"127.0.0.1")
    {
        host_->SetAddress(address, std::to_wstring(port_), user, password);
        host_->Command(kCmdConnect);
    }

    HWND View() const { return host_->View()->Window(); }
    ViewReadout Readout() const { return view::Readout(*host_->View()); }
    const connection::ConnectionState& State() const { return Readout().Controller().State(); }

    // The real pointer to screen point `p`, then the xdotool action ("click 1", ...).
    static void Pointer(POINT p, const std::string& action)
    {
        ASSERT_TRUE(testkit::RunUnixAndWait("xdotool mousemove " + std::to_string(p.x) + " " + std::to_string(p.y) +
                                            " " + action));
    }

    int port_ = 0;
    testkit::Simulator sim_;
    std::unique_ptr<ViewHost> host_;
};

} // namespace view
