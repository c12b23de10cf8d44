// The site list and the site edit dialog inside a running Orvex, under the real pointer and
// keyboard: sites added, updated, deleted, saved and chosen; the edit dialog's checks; the file
// written as the manager writes it.
#include <gtest/gtest.h>

#include "ManagerSkin.h"
#include "OrvexIds.h"
#include "OrvexRun.h"
#include "TestKit.h"

#include <commctrl.h>

using namespace orvextest;

namespace {

const char kTwoSites[] = "[SETUP_INFO]\r\nNUMBER=3\r\n"
                         "[DVR1]\r\nTYPE=1\r\nIP=dvr-one.example\r\nPORT=50000\r\nID=admin\r\nPWD=1111\r\n"
                         "DDNS_MEMBER=m1\r\nDDNS_NAME=n1\r\nLOCATION=Gate\r\n"
                         "[DVR3]\r\nTYPE=0\r\nIP=10.0.0.3\r\nPORT=50003\r\nID=user\r\nPWD=3333\r\nLOCATION=Yard\r\n";

} // namespace

TEST(SiteList, AddUpdateDeleteSaveAndChoose)
{
    const std::wstring folder = Install("sitelist", kTwoSites);
    OrvexProcess run;
    ASSERT_TRUE(run.Start(folder));
    ASSERT_TRUE(run.WaitMain());
    HWND list = OpenSiteList(run);
    ASSERT_TRUE(list);
    EXPECT_EQ(Rows(list), 2) << "DVR1 and DVR3 of NUMBER 3";

    // A new site; its port typed above the highest is held at 65530 while typing.
    Click(list, IDC_SITE_NEW);
    HWND edit = WaitDialogWith(run.Pid(), IDC_ADDRESS);
    ASSERT_TRUE(edit);
    EXPECT_EQ(Text(edit, IDC_PORT), "50000");
    Retype(edit, IDC_ADDRESS, "10.0.0.9");
    Retype(edit, IDC_PORT, "70000");
    EXPECT_EQ(Text(edit, IDC_PORT), "65530");
    Retype(edit, IDC_LOCATION, std::string(30, 'L') + std::string(30, 'x'));
    Retype(edit, IDC_USER, "op");
    Retype(edit, IDC_PASSWORD, "pw");
    Keys("Return Escape"); // to the focused field: neither confirms nor cancels
    testkit::PumpFor(300);
    EXPECT_TRUE(IsWindowVisible(edit));
    testkit::Screenshot("orvex-site-edit");
    Click(edit, IDC_IP_OK);
    ASSERT_TRUE(testkit::PumpUntil([&] { return !IsWindow(edit) && Rows(list) == 3; }, 5000));

    // The DDNS site, updated without a change, becomes an address entered by hand.
    ClickRow(list, 0);
    Click(list, IDC_SITE_UPDATE);
    edit = WaitDialogWith(run.Pid(), IDC_ADDRESS);
    ASSERT_TRUE(edit);
    EXPECT_EQ(Text(edit, IDC_ADDRESS), "dvr-one.example");
    Click(edit, IDC_IP_OK);
    ASSERT_TRUE(testkit::PumpUntil([&] { return !IsWindow(edit); }, 5000));

    // DVR3 goes; the save renumbers.
    ClickRow(list, 1);
    Click(list, IDC_SITE_DELETE);
    EXPECT_TRUE(testkit::PumpUntil([&] { return Rows(list) == 2; }, 5000));
    testkit::Screenshot("orvex-site-list");
    Click(list, IDC_SITE_SAVE);
    const std::string expected = "[SETUP_INFO]\r\nNUMBER=3\r\n"
                                 "\r\n[DVR1]\r\nTYPE=0\r\nIP=dvr-one.example\r\nPORT=50000\r\nID=admin\r\nPWD=1111\r\n"
                                 "DDNS_MEMBER=\r\nDDNS_NAME=\r\nLOCATION=Gate    \r\n"
                                 "\r\n[DVR2]\r\nTYPE=0\r\nIP=10.0.0.9\r\nPORT=65530\r\nID=op\r\nPWD=pw\r\n"
                                 "DDNS_MEMBER=\r\nDDNS_NAME=\r\nLOCATION=" +
        std::string(29, 'L') + "    \r\n";
    EXPECT_TRUE(testkit::PumpUntil([&] { return FileBytes(folder + L"CONFIG\\H264Site.ini") == expected; }, 5000))
        << FileBytes(folder + L"CONFIG\\H264Site.ini");

    // Choosing a site asks for its password; cancelling the check keeps the list.
    ClickRow(list, 1);
    Click(list, IDC_SITE_SELECT);
    HWND login = WaitDialogWith(run.Pid(), 2074); // the login dialog's password field
    ASSERT_TRUE(login);
    Click(login, 2077);
    EXPECT_TRUE(testkit::PumpUntil([&] { return !IsWindow(login); }, 5000));
    EXPECT_TRUE(IsWindowVisible(list));
}

TEST(SiteList, EditChecksItsFieldsInOrderAndSelectWantsARow)
{
    OrvexProcess run;
    ASSERT_TRUE(run.Start(Install("sitechecks")));
    ASSERT_TRUE(run.WaitMain());
    HWND list = OpenSiteList(run);
    ASSERT_TRUE(list);
    Click(list, IDC_SITE_SELECT);
    EXPECT_TRUE(ReadAndCloseMessage(run.Pid(), L"One Site Select Please."));

    Click(list, IDC_SITE_NEW);
    HWND edit = WaitDialogWith(run.Pid(), IDC_ADDRESS);
    ASSERT_TRUE(edit);
    Retype(edit, IDC_PORT, "");
    Click(edit, IDC_IP_OK);
    EXPECT_TRUE(ReadAndCloseMessage(run.Pid(), L"ADDRESS EMPTY")) << "the address is checked first";
    Retype(edit, IDC_ADDRESS, "10.0.0.1");
    Click(edit, IDC_IP_OK);
    EXPECT_TRUE(ReadAndCloseMessage(run.Pid(), L"INVALID PORT")) << "an empty port";
    Retype(edit, IDC_PORT, "0");
    Click(edit, IDC_IP_OK);
    EXPECT_TRUE(ReadAndCloseMessage(run.Pid(), L"INVALID PORT"));
    Retype(edit, IDC_PORT, "65530");
    Click(edit, IDC_IP_OK);
    EXPECT_TRUE(ReadAndCloseMessage(run.Pid(), L"USER ID EMPTY"));
    EXPECT_TRUE(IsWindowVisible(edit)) << "the dialog stays with the input";

    // Pasted line breaks would read back as another site; a user ID or password the code page
    // cannot hold would be saved as "?" and log in as someone else. Each field is named.
    const auto put = [&](int id, const wchar_t* text) {
        SendMessageW(GetDlgItem(edit, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    };
    const auto label = [&](int id) {
        wchar_t text[128] = {};
        GetWindowTextW(GetDlgItem(edit, id), text, 128);
        return std::wstring(text) + L": ";
    };
    put(IDC_USER, L"op");
    put(IDC_LOCATION, L"Gate\r[DVR2]\rIP=6.6.6.6");
    Click(edit, IDC_IP_OK);
    EXPECT_TRUE(ReadAndCloseMessage(run.Pid(), label(IDC_LOCATION_LABEL) + L"control characters"));
    put(IDC_LOCATION, L"Gate");
    put(IDC_USER, L"\u0418\u0432\u0430\u043d");
    Click(edit, IDC_IP_OK);
    EXPECT_TRUE(ReadAndCloseMessage(run.Pid(), label(IDC_USER_LABEL) + L"it holds a character"));
    put(IDC_USER, L"op");
    put(IDC_PASSWORD, L"\u0142\u00f3d\u017a");
    Click(edit, IDC_IP_OK);
    EXPECT_TRUE(ReadAndCloseMessage(run.Pid(), label(IDC_PASSWORD_LABEL) + L"it holds a character"));
    EXPECT_TRUE(IsWindowVisible(edit));
    Click(edit, IDC_IP_CANCEL);
    EXPECT_TRUE(testkit::PumpUntil([&] { return !IsWindow(edit); }, 5000));
    EXPECT_EQ(Rows(list), 0);
}

TEST(SiteList, CancelKeepsTheFileAndAFailedSaveSaysWhyAndKeepsIt)
{
    const std::wstring folder = Install("sitereadonly", kTwoSites);
    const std::wstring file = folder + L"CONFIG\\H264Site.ini";
    OrvexProcess run;
    ASSERT_TRUE(run.Start(folder));
    ASSERT_TRUE(run.WaitMain());

    // A deletion that is cancelled never reaches the file.
    HWND list = OpenSiteList(run);
    ASSERT_TRUE(list);
    ClickRow(list, 0);
    Click(list, IDC_SITE_DELETE);
    ASSERT_TRUE(testkit::PumpUntil([&] { return Rows(list) == 1; }, 5000));
    Click(list, IDC_SITE_CANCEL);
    ASSERT_TRUE(testkit::PumpUntil([&] { return !IsWindow(list); }, 5000));
    EXPECT_EQ(FileBytes(file), kTwoSites);

    // A file that cannot be replaced: the message names it, the list keeps the edit, the file stays.
    ASSERT_TRUE(SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY));
    list = OpenSiteList(run);
    ASSERT_TRUE(list);
    ClickRow(list, 0);
    Click(list, IDC_SITE_DELETE);
    Click(list, IDC_SITE_SAVE);
    std::wstring seen;
    EXPECT_TRUE(ReadAndCloseMessage(run.Pid(), L"H264Site.ini", &seen));
    EXPECT_EQ(Rows(list), 1) << "the list stays as edited";
    EXPECT_EQ(FileBytes(file), kTwoSites);
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    std::printf("the message: %ls\n", seen.c_str());
}

namespace {

// Chooses site `row` in the site list and types `password` into the login check and presses LOGIN
// (null: leaves the check waiting); the site list and the login dialog stay open when it fails.
struct Choice {
    HWND list = nullptr, login = nullptr;
};
Choice ChooseAndLogIn(const OrvexProcess& run, int row, const char* password)
{
    Choice c;
    c.list = OpenSiteList(run);
    if (!c.list)
        return c;
    ClickRow(c.list, row);
    Click(c.list, IDC_SITE_SELECT);
    c.login = WaitDialogWith(run.Pid(), 2074); // the password field
    if (!c.login || !password)
        return c;
    Click(c.login, 2074);
    testkit::RunUnixAndWait("xdotool type --delay 5 '" + std::string(password) + "'");
    Click(c.login, 2076); // LOGIN
    return c;
}

// The faces of the module buttons (the NVS client's has no place in this skin), with the pointer
// away from them.
std::vector<int> ModuleFaces(const OrvexProcess& run)
{
    RECT w;
    GetWindowRect(run.Main(), &w);
    Pointer({w.left + 500, w.top + 150});
    testkit::PumpFor(200);
    std::vector<int> faces;
    for (int id : {IDC_VIEWER, IDC_BACKUP, IDC_SEARCH, IDC_REMOTE_SETUP, IDC_PLAYER})
        faces.push_back(ButtonFace(run, id));
    return faces;
}

} // namespace

// The rights table on the real main window: what each user may open after the check.
TEST(Login, RightsOfEachUserOnTheMainWindowButtons)
{
    WSADATA wsa;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa), 0);
    testkit::Simulator sim("dvrsim-orvex-login");
    const int port = testkit::FreePort();
    ASSERT_TRUE(sim.Start(port));
    auto site = [&](int n, const std::string& user) {
        return "[DVR" + std::to_string(n) + "]\r\nTYPE=0\r\nIP=127.0.0.1\r\nPORT=" + std::to_string(port) +
            "\r\nID=" + user + "\r\nPWD=\r\nLOCATION=\r\n";
    };
    const std::string file =
        "[SETUP_INFO]\r\nNUMBER=5\r\n" + site(1, "Admin") + site(2, "manager") + site(3, "user") + site(4, "admin");
    OrvexProcess run;
    ASSERT_TRUE(run.Start(Install("rights", file)));
    ASSERT_TRUE(run.WaitMain());
    const int N = 0, D = 3; // normal and disabled faces
    // viewer, backup, search, remote setup, player
    EXPECT_EQ(ModuleFaces(run), (std::vector<int>{D, D, D, D, N})) << "before any check";
    Pointer(Centre(run.ItemRect(IDC_PLAYER)));
    EXPECT_TRUE(testkit::PumpUntil([&] { return ButtonFace(run, IDC_PLAYER) == 1; }, 3000))
        << "the skin's hover face (its second) under the pointer, not its pressed face: "
        << ButtonFace(run, IDC_PLAYER);

    const struct {
        int row;
        const char* password;
        std::vector<int> faces;
    } accepted[] = {{0, "1111", {N, N, N, N, N}}, {1, "2222", {N, N, N, D, N}}, {2, "3333", {N, D, D, D, N}}};
    std::vector<std::vector<uint32_t>> idLines; // the main window's "ID : ..." line after each choice
    for (const auto& a : accepted) {
        Choice c = ChooseAndLogIn(run, a.row, a.password);
        ASSERT_TRUE(c.login);
        ASSERT_TRUE(testkit::PumpUntil([&] { return !IsWindow(c.list); }, 10000)) << "row " << a.row;
        EXPECT_EQ(ModuleFaces(run), a.faces) << "row " << a.row;
        idLines.push_back(testkit::ClientPixels(run.Main(), manager::SkinRect(11)));
    }
    EXPECT_NE(idLines[0], idLines[1]) << "a second site's ID line is drawn";
    EXPECT_NE(idLines[1], idLines[2]);
    // A plain user's forbidden button: a real click opens nothing.
    Pointer(Centre(run.ItemRect(IDC_BACKUP)), "click 1");
    testkit::PumpFor(500);
    EXPECT_EQ(TopWindows(run.Pid()).size(), 1u);

    // Refused: the message, every module but the player forbidden, the dialog stays for another try.
    Choice refused = ChooseAndLogIn(run, 3, "9999");
    ASSERT_TRUE(refused.login);
    EXPECT_TRUE(ReadAndCloseMessage(run.Pid(), L"Check Password!"));
    for (HWND over : {refused.list, refused.login}) // off the main window's buttons
        SetWindowPos(over, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(ModuleFaces(run), (std::vector<int>{D, D, D, D, N}));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(refused.login, 2076)));

    // Cancelled after a pass: the viewer and the rest are forbidden again.
    SendMessageW(GetDlgItem(refused.login, 2074), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    Click(refused.login, 2074);
    testkit::RunUnixAndWait("xdotool type --delay 5 '1111'");
    Click(refused.login, 2076);
    ASSERT_TRUE(testkit::PumpUntil([&] { return !IsWindow(refused.list); }, 10000));
    EXPECT_EQ(ModuleFaces(run), (std::vector<int>{N, N, N, N, N}));
    Choice cancelled = ChooseAndLogIn(run, 0, nullptr);
    ASSERT_TRUE(cancelled.login);
    Click(cancelled.login, 2077); // Cancel
    EXPECT_TRUE(testkit::PumpUntil([&] { return !IsWindow(cancelled.login); }, 5000));
    Click(cancelled.list, IDC_SITE_CANCEL);
    EXPECT_EQ(ModuleFaces(run), (std::vector<int>{D, D, D, D, N}));
}
