// The settings end to end: the view logs in to the DVR simulator, the panel's Setup button opens the
// setup dialog, the real pointer changes it, OK saves ViewSetup.dat in its real place, and a fresh
// view reads the same rows back.
#include <winsock2.h>
#include <windows.h>
#include "SetupDialogIds.h"
#include "TestKit.h"
#include "ViewTestBase.h"
#include "ViewHost.h"
#include "ViewReadout.h"
#include "ViewSkinLink.h"
#include <commctrl.h>
#include <gtest/gtest.h>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

using namespace view;
using namespace testkit;

namespace {

const std::string kSimOptions = "--synthetic-rate 25 --synthetic-size 2048";

class SettingsEndToEnd : public ViewTestBase {
protected:
    SettingsEndToEnd() : ViewTestBase("dvrsim-settings") {}
    void Prepare() override
    {
        DeleteFileW(settings::kViewSetupPath);
        ASSERT_TRUE(sim_.Start(port_, kSimOptions));
    }

    settings::CSimpleSetupDlg* Dialog() const { return Readout().Settings().Dialog(); }
    HWND Item(int id) const { return GetDlgItem(Dialog()->Hwnd(), id); }
    bool Checked(int id) const { return IsDlgButtonChecked(Dialog()->Hwnd(), id) == BST_CHECKED; }

    bool LogIn(const wchar_t* user, const wchar_t* password)
    {
        Connect(user, password);
        return PumpUntil([&] { return Readout().Controller().State().loggedIn && Dialog() && Dialog()->Hwnd(); },
                         20000);
    }
    void ClickSetupButton()
    {
        const auto& r = Readout().Panel().Button(kCmdSetup)->rect;
        POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        ClientToScreen(View(), &p);
        Pointer(p, "click 1");
    }
    void Click(int id)
    {
        RECT r;
        GetWindowRect(Item(id), &r);
        Pointer(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}, "click 1");
    }
    // Drags a trackbar's thumb past the left end of its channel.
    void DragToStart(int id)
    {
        RECT thumb, w;
        SendMessageW(Item(id), TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
        GetWindowRect(Item(id), &w);
        const int y = w.top + (thumb.top + thumb.bottom) / 2;
        Pointer(POINT{w.left + (thumb.left + thumb.right) / 2, y},
                "mousedown 1 mousemove " + std::to_string(w.left - 40) + " " + std::to_string(y) + " mouseup 1");
    }
    bool DialogVisible() const { return Dialog() && IsWindowVisible(Dialog()->Hwnd()); }
};

} // namespace

TEST_F(SettingsEndToEnd, SetupButtonChangesAreSavedAndAFreshViewShowsThem)
{
    OpenView();
    EXPECT_TRUE(Readout().AudioEnabled()) << "no dialog yet: audio plays";

    // Every login with channel information makes the dialog, hidden; only an administrator opens it.
    ASSERT_TRUE(LogIn(L"user", L"3333"));
    EXPECT_FALSE(DialogVisible());
    EXPECT_FALSE(Readout().AudioEnabled()) << "no settings file: audio not wanted";
    host_->Command(kCmdSetup);
    PumpFor(300);
    EXPECT_FALSE(DialogVisible());
    host_->Command(kCmdDisconnect);
    ASSERT_TRUE(PumpUntil([&] { return !Readout().Controller().State().connected; }, 5000));

    ASSERT_TRUE(LogIn(L"Admin", L"1111"));
    ClickSetupButton();
    ASSERT_TRUE(PumpUntil([&] { return DialogVisible(); }, 5000));
    PumpFor(200);
    EXPECT_TRUE(Checked(IDC_SETUP_EASY)) << "the default settings are easy setup";

    Click(IDC_SETUP_MANUAL);
    ASSERT_TRUE(PumpUntil([&] { return Checked(IDC_SETUP_MANUAL); }, 5000));
    DragToStart(IDC_SETUP_RATEBAR_FIRST);
    EXPECT_TRUE(PumpUntil([&] { return SendMessageW(Item(IDC_SETUP_RATEBAR_FIRST), TBM_GETPOS, 0, 0) == 0; }, 5000));
    Click(IDC_SETUP_ENABLE_FIRST + 2);
    EXPECT_TRUE(PumpUntil([&] { return !Checked(IDC_SETUP_ENABLE_FIRST + 2); }, 5000));
    Click(IDC_SETUP_AUDIO);
    EXPECT_TRUE(PumpUntil([&] { return Checked(IDC_SETUP_AUDIO); }, 5000));
    EXPECT_TRUE(Readout().AudioEnabled()) << "the box reaches the decode threads at once";
    const bool ntsc = Dialog()->Ntsc();

    Click(IDOK);
    ASSERT_TRUE(PumpUntil([&] { return !DialogVisible(); }, 5000));
    settings::ViewSetupRecord saved;
    ASSERT_EQ(settings::kLoadRead, settings::LoadViewSetup(settings::kViewSetupPath, 16, saved).result);
    EXPECT_EQ(settings::StepAt(ntsc, 0).interval, saved.channels[0].interval);
    EXPECT_EQ(1, saved.channels[0].rate);
    EXPECT_EQ(1, saved.channels[1].enabled);
    EXPECT_EQ(0, saved.channels[2].enabled);
    EXPECT_EQ(0, saved.easy.easyOn);
    EXPECT_EQ(1, saved.audioChoice);

    // The dialog goes with its view.
    const HWND old = Dialog()->Hwnd();
    host_.reset();
    EXPECT_FALSE(IsWindow(old));

    // A fresh view reads the file at start-up, and its dialog shows the same rows.
    OpenView();
    EXPECT_EQ(0, std::memcmp(&Readout().Settings().Record(), &saved, sizeof saved));
    ASSERT_TRUE(LogIn(L"admin", L"1111"));
    EXPECT_TRUE(Readout().AudioEnabled()) << "the stored audio choice ticks the box at login";
    ClickSetupButton();
    ASSERT_TRUE(PumpUntil([&] { return DialogVisible(); }, 5000));
    EXPECT_EQ(0, SendMessageW(Item(IDC_SETUP_RATEBAR_FIRST), TBM_GETPOS, 0, 0));
    EXPECT_TRUE(Checked(IDC_SETUP_ENABLE_FIRST + 1));
    EXPECT_FALSE(Checked(IDC_SETUP_ENABLE_FIRST + 2));
    EXPECT_TRUE(Checked(IDC_SETUP_MANUAL));
    EXPECT_TRUE(Checked(IDC_SETUP_AUDIO));
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_SETUP_QUALITY_FIRST)));
    PumpFor(200);
    const std::string shot = Screenshot("setup-dialog-from-view");
    EXPECT_FALSE(shot.empty());
    std::printf("screenshot: %s\n", shot.c_str());
}
