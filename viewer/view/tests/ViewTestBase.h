#pragma once
// What the view's end-to-end tests share: Winsock, a free loopback port, the DVR simulator on it
// (each test starts it with its own options), and a view host that goes before the simulator.
#include "TestKit.h"
#include "ViewHost.h"
#include "ViewSkinLink.h"
#include <gtest/gtest.h>
#include <memory>

namespace view {

class ViewTestBase : public ::testing::Test {
protected:
    explicit ViewTestBase(const char* simulatorName) : sim_(simulatorName) {}
    void SetUp() override
    {
        WSADATA wsa;
        ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa), 0);
        port_ = testkit::FreePort();
    }
    void TearDown() override
    {
        host_.reset();
        sim_.Kill();
        WSACleanup();
    }
    // A host and its view; `live`: with the view's own display, decode threads and sound devices.
    void OpenHost(bool live)
    {
        ViewPartsConfig config;
        config.live = live;
        host_.reset(ViewHost::Create(LinkedViewSkin(), L"DVR Web Viewer", config));
    }

    int port_ = 0;
    testkit::Simulator sim_;
    std::unique_ptr<ViewHost> host_;
};

} // namespace view
