// The site list and the site edit dialog inside a running Orvex, under the real pointer and
// keyboard: sites added, updated, deleted, saved and chosen; the edit dialog's checks; the file
// written as the manager writes it.
#include <gtest/gtest.h>

#include "OrvexIds.h"
#include "OrvexRun.h"
#include "TestKit.h"

#include <commctrl.h>

using namespace orvextest;

namespace {

// A dialog of the process holding item `id` (the site list holds the list, the edit dialog the
// address field).
HWND WaitDialogWith(DWORD pid, int id, DWORD ms = 10000)
{
    HWND found = nullptr;
    testkit::PumpUntil(
        [&] {
            for (HWND w : TopWindows(pid, L"#32770")) {
                if (GetDlgItem(w, id) && IsWindowVisible(GetDlgItem(w, id)))
                    found = w;
            }
            return found != nullptr;
        },
        ms);
    return found;
}

// A message box of the process whose texts hold `text`; it is closed. False when none came.
bool ReadAndCloseMessage(DWORD pid, const std::wstring& text, std::wstring* seen = nullptr)
{
    HWND box = nullptr;
    testkit::PumpUntil(
        [&] {
            for (HWND w : TopWindows(pid, L"#32770")) {
                if (ItemTexts(w).find(text) != std::wstring::npos)
                    box = w;
            }
            return box != nullptr;
        },
        10000);
    if (!box)
        return false;
    if (seen)
        *seen = ItemTexts(box);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    return testkit::PumpUntil([&] { return !IsWindow(box); }, 5000);
}

void Click(HWND dialog, int id)
{
    RECT r{};
    GetWindowRect(GetDlgItem(dialog, id), &r);
    Pointer(Centre(r), "click 1");
}

// Clears an edit field with the keyboard and types `text` into it.
void Retype(HWND dialog, int id, const std::string& text)
{
    Click(dialog, id);
    testkit::RunUnixAndWait("xdotool key End key --repeat 64 --delay 1 BackSpace");
    if (!text.empty())
        testkit::RunUnixAndWait("xdotool type --delay 5 '" + text + "'");
}

int Rows(HWND siteList)
{
    return static_cast<int>(SendMessageW(GetDlgItem(siteList, IDC_SITE_LIST), LVM_GETITEMCOUNT, 0, 0));
}

// The real pointer on row `row` of the site list (rows are 20 pixels high, under the header).
void ClickRow(HWND siteList, int row)
{
    HWND list = GetDlgItem(siteList, IDC_SITE_LIST);
    RECT header{}, box{};
    GetWindowRect(FindWindowExW(list, nullptr, WC_HEADERW, nullptr), &header);
    GetWindowRect(list, &box);
    Pointer({box.left + 60, header.bottom + row * 20 + 10}, "click 1");
}

std::string Text(HWND dialog, int id)
{
    wchar_t t[128] = {};
    // WM_GETTEXT itself: GetWindowText does not ask a control of another process.
    SendMessageW(GetDlgItem(dialog, id), WM_GETTEXT, 128, reinterpret_cast<LPARAM>(t));
    std::string out;
    for (const wchar_t* p = t; *p; ++p)
        out += static_cast<char>(*p);
    return out;
}

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
    Pointer(Centre(run.ItemRect(IDC_SITE_SETUP)), "click 1");
    HWND list = WaitDialogWith(run.Pid(), IDC_SITE_LIST);
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
    Pointer(Centre(run.ItemRect(IDC_SITE_SETUP)), "click 1");
    HWND list = WaitDialogWith(run.Pid(), IDC_SITE_LIST);
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
    Pointer(Centre(run.ItemRect(IDC_SITE_SETUP)), "click 1");
    HWND list = WaitDialogWith(run.Pid(), IDC_SITE_LIST);
    ASSERT_TRUE(list);
    ClickRow(list, 0);
    Click(list, IDC_SITE_DELETE);
    ASSERT_TRUE(testkit::PumpUntil([&] { return Rows(list) == 1; }, 5000));
    Click(list, IDC_SITE_CANCEL);
    ASSERT_TRUE(testkit::PumpUntil([&] { return !IsWindow(list); }, 5000));
    EXPECT_EQ(FileBytes(file), kTwoSites);

    // A file that cannot be replaced: the message names it, the list keeps the edit, the file stays.
    ASSERT_TRUE(SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY));
    Pointer(Centre(run.ItemRect(IDC_SITE_SETUP)), "click 1");
    list = WaitDialogWith(run.Pid(), IDC_SITE_LIST);
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
