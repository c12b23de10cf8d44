// The settings file in a real folder of the prefix (missing, short, interrupted save) and the setup
// dialog from template 203, changed with real mouse input under Xvfb (xdotool), with a screenshot
// of each mode in out/.
#include "TestKit.h"
#include "SetupDialogIds.h"
#include "SimpleSetupDlg.h"
#include "ViewSetupFile.h"
#include <commctrl.h>
#include "foundation/Messages.h"
#include <gtest/gtest.h>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>

using namespace settings;
using namespace testkit;

namespace {

// A fresh folder of the prefix's temporary folder, two levels below which the file goes.
std::wstring FreshSetupPath(const wchar_t* name)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring base = std::wstring(temp) + L"pxsetup-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
        std::to_wstring(GetTickCount()) + L"-" + name;
    return base + L"\\Orvex\\ViewSetup.dat";
}

void WriteBytes(const std::wstring& path, const void* data, DWORD size)
{
    win::KernelHandle f(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD put = 0;
    ASSERT_TRUE(f && WriteFile(f.Get(), data, size, &put, nullptr) && put == size);
}

ViewSetupRecord Marked(uint8_t mark)
{
    ViewSetupRecord r = DefaultViewSetup(16);
    for (ChannelEntry& e : r.channels)
        e.rate = mark;
    return r;
}

} // namespace

TEST(SettingsFile, MissingShortAndWholeFiles)
{
    const std::wstring path = FreshSetupPath(L"load");
    ViewSetupRecord r;
    EXPECT_EQ(kLoadMissing, LoadViewSetup(path.c_str(), 4, r).result);
    ViewSetupRecord d4 = DefaultViewSetup(4);
    EXPECT_EQ(0, std::memcmp(&r, &d4, sizeof r));

    // Saving makes the missing folders; the file is the bare 140-byte record.
    ViewSetupRecord saved = Marked(7);
    saved.audioChoice = 1;
    ASSERT_TRUE(SaveViewSetup(path.c_str(), saved));
    WIN32_FILE_ATTRIBUTE_DATA info{};
    ASSERT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &info));
    EXPECT_EQ(140u, info.nFileSizeLow);
    LoadOutcome o = LoadViewSetup(path.c_str(), 4, r);
    EXPECT_EQ(kLoadRead, o.result);
    EXPECT_EQ(0, std::memcmp(&r, &saved, sizeof r));

    // 139 bytes: defaults, but the audio bytes that were read are reported.
    WriteBytes(path, &saved, 139);
    o = LoadViewSetup(path.c_str(), 4, r);
    EXPECT_EQ(kLoadShort, o.result);
    EXPECT_EQ(1, o.audioRead);
    EXPECT_EQ(0, std::memcmp(&r, &d4, sizeof r));

    // A longer file gives its first 140 bytes.
    uint8_t longer[200];
    std::memcpy(longer, &saved, 140);
    std::memset(longer + 140, 0xEE, 60);
    WriteBytes(path, longer, sizeof longer);
    EXPECT_EQ(kLoadRead, LoadViewSetup(path.c_str(), 4, r).result);
    EXPECT_EQ(0, std::memcmp(&r, &saved, sizeof r));
}

TEST(SettingsFile, SaveInterruptedBeforeTheReplaceLeavesThePreviousFile)
{
    const std::wstring path = FreshSetupPath(L"crash");
    const ViewSetupRecord before = Marked(5), lost = Marked(6), after = Marked(8);
    ASSERT_TRUE(SaveViewSetup(path.c_str(), before));
    // A save that stops where a crash or a full disk would stop it: the new record written beside.
    ASSERT_TRUE(WriteViewSetupBeside(path.c_str(), lost));
    ViewSetupRecord r;
    EXPECT_EQ(kLoadRead, LoadViewSetup(path.c_str(), 16, r).result);
    EXPECT_EQ(0, std::memcmp(&r, &before, sizeof r));

    // The next save is not hindered by what the interrupted one left.
    ASSERT_TRUE(SaveViewSetup(path.c_str(), after));
    EXPECT_EQ(kLoadRead, LoadViewSetup(path.c_str(), 16, r).result);
    EXPECT_EQ(0, std::memcmp(&r, &after, sizeof r));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(SideFilePath(path.c_str()).c_str()));
}

namespace {

class SetupDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        view_.onMessage = [this](UINT, WPARAM, LPARAM) {
            // What the view reads while the message is being sent.
            std::memcpy(applied_, dlg_.Entries(), sizeof applied_);
            return LRESULT(0);
        };
        ASSERT_TRUE(view_.Hwnd());
        ASSERT_TRUE(dlg_.Create(GetModuleHandleW(nullptr)));
    }

    HWND Item(int id) const { return GetDlgItem(dlg_.Hwnd(), id); }
    std::wstring ItemText(int id) const
    {
        wchar_t t[256] = {};
        GetDlgItemTextW(dlg_.Hwnd(), id, t, 256);
        return t;
    }
    bool Checked(int id) const { return IsDlgButtonChecked(dlg_.Hwnd(), id) == BST_CHECKED; }

    void Table(bool ntsc, uint8_t interval, const int (&classes)[kChannels])
    {
        ChannelEntry e[kChannels];
        for (ChannelEntry& x : e)
            x = ChannelEntry{1, 1, 0, interval, 19, 1, 0, 0};
        dlg_.SetTable(e, ntsc, classes);
    }
    void Show()
    {
        ShowWindow(dlg_.Hwnd(), SW_SHOW);
        PumpUntil([&] { return IsWindowVisible(dlg_.Hwnd()) != FALSE; }, 2000);
        PumpFor(200);
    }

    // Real input: the X pointer moves to the item's centre (or a point of it) and clicks.
    static void Click(HWND item, int dx = -1, int dy = -1)
    {
        RECT r;
        GetWindowRect(item, &r);
        int x = dx < 0 ? (r.left + r.right) / 2 : r.left + dx, y = dy < 0 ? (r.top + r.bottom) / 2 : r.top + dy;
        RunUnix("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1");
    }
    // Drags a trackbar's thumb past the right end of its channel.
    static void DragToEnd(HWND bar)
    {
        RECT thumb, w;
        SendMessageW(bar, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
        GetWindowRect(bar, &w);
        int x = w.left + (thumb.left + thumb.right) / 2, y = w.top + (thumb.top + thumb.bottom) / 2;
        RunUnix("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " mousedown 1 mousemove " +
                std::to_string(w.right + 40) + " " + std::to_string(y) + " mouseup 1");
    }
    static void Screenshot(const std::string& name)
    {
        std::string shot = std::string(PX_SOURCE_DIR) + "/out/" + name;
        std::string part = std::string(PX_WORK_DIR) + "/" + name;
        std::remove(WinPath(shot).c_str());
        RunUnix("mkdir -p " + std::string(PX_SOURCE_DIR) + "/out && import -window root " + part + " && mv " + part +
                " " + shot);
        EXPECT_TRUE(
            PumpUntil([&] { return GetFileAttributesA(WinPath(shot).c_str()) != INVALID_FILE_ATTRIBUTES; }, 15000))
            << name;
    }

    RecorderWindow view_{WM_SETUP_APPLIED, WM_SETUP_APPLIED};
    CSimpleSetupDlg dlg_{16, view_.Hwnd()};
    ChannelEntry applied_[kChannels] = {};
};

} // namespace

TEST_F(SetupDialog, StartsHiddenWithTheLanguageTexts)
{
    EXPECT_FALSE(IsWindowVisible(dlg_.Hwnd()));
    EXPECT_EQ(L"Manual Setup", ItemText(IDC_SETUP_MANUAL));
    EXPECT_EQ(L"Frames/Sec", ItemText(IDC_SETUP_HEAD_FPS));
    EXPECT_EQ(L"Quality", ItemText(IDC_SETUP_EASY_QUALITY));
    EXPECT_EQ(L"Total Frame / Sec", ItemText(IDC_SETUP_TOTAL_LABEL));
    EXPECT_EQ(L"CANCEL", ItemText(IDCANCEL));
    EXPECT_EQ(5, SendMessageW(Item(IDC_SETUP_QUALITY_FIRST + 15), CB_GETCOUNT, 0, 0));
    EXPECT_EQ(5, SendMessageW(Item(IDC_SETUP_LEVEL_FIRST + 3), CB_GETCOUNT, 0, 0));
    EXPECT_EQ(8, SendMessageW(Item(IDC_SETUP_REFRESH), CB_GETCOUNT, 0, 0));
    wchar_t last[64] = {};
    SendMessageW(Item(IDC_SETUP_QUALITY_FIRST), CB_GETLBTEXT, 4, reinterpret_cast<LPARAM>(last));
    EXPECT_STREQ(L"Extreamly Low", last);
    EXPECT_FALSE(Checked(IDC_SETUP_AUDIO));
}

TEST_F(SetupDialog, ResolutionChangesRelabelAndRecompute)
{
    int classes[kChannels] = {};
    std::fill(classes, classes + kChannels, kClassCif);
    Table(false, 8, classes); // PAL, 3 frames/s each
    EXPECT_EQ(L"48.0 / 200", ItemText(IDC_SETUP_TOTAL));
    EXPECT_EQ(1, dlg_.SetResolution(3, kClassHalfD1));
    EXPECT_EQ(L"Half D1", ItemText(IDC_SETUP_TYPE_FIRST + 3));
    EXPECT_EQ(L"6", ItemText(IDC_SETUP_WEIGHTED_FIRST + 3));
    EXPECT_EQ(L"51.0 / 200", ItemText(IDC_SETUP_TOTAL));
    EXPECT_EQ(1, dlg_.SetResolution(3, 3));
    EXPECT_EQ(L"Half D1", ItemText(IDC_SETUP_TYPE_FIRST + 3));
    EXPECT_EQ(-1, dlg_.SetResolution(16, kClassCif));
    EXPECT_EQ(-1, dlg_.SetResolution(0, 5));
}

TEST_F(SetupDialog, ManualChangesByMouseAreStoredOnOk)
{
    int classes[kChannels] = {};
    std::fill(classes, classes + kChannels, kClassCif);
    classes[0] = kClassD1;
    Table(false, 8, classes);
    dlg_.ShowSettings(EasySetupBlock{0, {0, 1, 2, 3}, 5, 0, 0});
    Show();
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_SETUP_RATEBAR_FIRST)));
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_SETUP_REFRESH)));

    DragToEnd(Item(IDC_SETUP_RATEBAR_FIRST));
    EXPECT_TRUE(PumpUntil([&] { return ItemText(IDC_SETUP_RATE_FIRST) == L"25"; }, 5000));
    EXPECT_EQ(L"100", ItemText(IDC_SETUP_WEIGHTED_FIRST)); // 25 frames/s of a D1 channel
    Click(Item(IDC_SETUP_ENABLE_FIRST + 1));
    EXPECT_TRUE(PumpUntil([&] { return ItemText(IDC_SETUP_WEIGHTED_FIRST + 1) == L"0"; }, 5000));
    EXPECT_EQ(L"142.0 / 200", ItemText(IDC_SETUP_TOTAL)); // 100 + 14 channels of 3
    PumpFor(200);
    Screenshot("setup-dialog-manual.png");

    Click(Item(IDOK));
    EXPECT_TRUE(PumpUntil([&] { return view_.Count(WM_SETUP_APPLIED) == 1; }, 5000));
    EXPECT_FALSE(IsWindowVisible(dlg_.Hwnd()));
    EXPECT_EQ(0, applied_[0].interval); // D1 at full rate
    EXPECT_EQ(25, applied_[0].rate);
    EXPECT_EQ(0, applied_[1].enabled);
    EXPECT_EQ(8, applied_[2].interval);
    EXPECT_EQ(0, dlg_.Block().easyOn);
    EXPECT_EQ(5, dlg_.Block().refresh);
}

TEST_F(SetupDialog, OverBudgetIsRefusedInManualModeOnly)
{
    int classes[kChannels] = {};
    std::fill(classes, classes + kChannels, kClassCif);
    Table(true, 1, classes); // NTSC, 30 frames/s each
    dlg_.ShowSettings(EasySetupBlock{1, {0, 1, 2, 3}, 2, 0, 0});
    Show();
    EXPECT_EQ(L"480.0 / 240", ItemText(IDC_SETUP_TOTAL));
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_SETUP_QUALITY_FIRST)));
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_SETUP_LEVEL_FIRST)));
    Screenshot("setup-dialog-easy.png");

    Click(Item(IDC_SETUP_MANUAL));
    EXPECT_TRUE(PumpUntil([&] { return Checked(IDC_SETUP_MANUAL) && !Checked(IDC_SETUP_EASY); }, 5000));
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_SETUP_QUALITY_FIRST)));
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_SETUP_LEVEL_FIRST)));

    // OK opens the refusal; a second thread reads it and closes it while the box runs.
    std::atomic<bool> closed{false};
    std::wstring seen;
    std::thread closer([&] {
        for (int i = 0; i < 500 && !closed; ++i, Sleep(20)) {
            struct Find {
                HWND skip, box;
            } find{dlg_.Hwnd(), nullptr};
            EnumThreadWindows(
                GetWindowThreadProcessId(dlg_.Hwnd(), nullptr),
                [](HWND w, LPARAM lp) {
                    auto* f = reinterpret_cast<Find*>(lp);
                    wchar_t cls[16] = {};
                    GetClassNameW(w, cls, 16);
                    if (w != f->skip && std::wcscmp(cls, L"#32770") == 0 && IsWindowVisible(w)) {
                        f->box = w;
                        return FALSE;
                    }
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&find));
            HWND box = find.box;
            if (!box)
                continue;
            seen = testkit::ItemTexts(box);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            closed = true;
        }
    });
    Click(Item(IDOK));
    PumpUntil([&] { return closed.load(); }, 12000);
    closer.join();
    PumpFor(300);
    EXPECT_NE(std::wstring::npos, seen.find(L"Too many FPS. Reduce FPS to 240.")) << seen;
    EXPECT_EQ(0u, view_.Count(WM_SETUP_APPLIED));
    EXPECT_TRUE(IsWindowVisible(dlg_.Hwnd()));

    // Easy setup is never refused here: the rates are lowered when the configuration is made.
    Click(Item(IDC_SETUP_EASY));
    EXPECT_TRUE(PumpUntil([&] { return Checked(IDC_SETUP_EASY); }, 5000));
    Click(Item(IDOK));
    EXPECT_TRUE(PumpUntil([&] { return view_.Count(WM_SETUP_APPLIED) == 1; }, 5000));
    EXPECT_EQ(1, dlg_.Block().easyOn);
    EXPECT_EQ(30, applied_[0].rate);
}
