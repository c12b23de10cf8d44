// SMAPI_GetProfileString reads CONFIG\Title.ini beside the running program. Each case copies a
// probe program and the skin DLL into a fresh folder and runs it there.
#include <gtest/gtest.h>

#include <string>

#include "Programs.h"
#include "SkinExports.h"

namespace {

std::wstring TempFolder(const wchar_t* tag)
{
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    std::wstring dir = std::wstring(base) + L"skinprofile_" + tag + L"_" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir;
}

void WriteFileText(const std::wstring& path, const std::string& text)
{
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    WriteFile(f, text.data(), DWORD(text.size()), &n, nullptr);
    CloseHandle(f);
}

// A fresh folder whose CONFIG\Title.ini holds `ini`.
std::wstring FolderWithTitles(const wchar_t* tag, const std::string& ini)
{
    std::wstring dir = TempFolder(tag);
    CreateDirectoryW((dir + L"\\CONFIG").c_str(), nullptr);
    WriteFileText(dir + L"\\CONFIG\\Title.ini", ini);
    return dir;
}

// Runs the probe in folder with the given skin DLL; returns its output line.
std::string Probe(const std::wstring& folder, const wchar_t* dllName, const std::wstring& args)
{
    const std::wstring here = skintest::ProgramFolder();
    CopyFileW((here + L"skin_profile_probe.exe").c_str(), (folder + L"\\probe.exe").c_str(), FALSE);
    CopyFileW((here + dllName).c_str(), (folder + L"\\" + dllName).c_str(), FALSE);
    std::string out =
        testkit::RunAndCapture(L"\"" + folder + L"\\probe.exe\" " + dllName + L" " + args, folder.c_str());
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

void RemoveTree(const std::wstring& dir)
{
    for (const wchar_t* f : {L"\\CONFIG\\Title.ini", L"\\probe.exe", L"\\Lustrel.dll", L"\\Lumbrel.dll"})
        DeleteFileW((dir + f).c_str());
    RemoveDirectoryW((dir + L"\\CONFIG").c_str());
    RemoveDirectoryW(dir.c_str());
}

class SkinProfile : public ::testing::TestWithParam<const wchar_t*> {};

TEST_P(SkinProfile, MissingConfigFolderGivesTheDefaultAndItsLength)
{
    std::wstring dir = TempFolder(L"noconfig");
    EXPECT_EQ(Probe(dir, GetParam(), L"LOGIN Socket \"Fail Connect\""), "12|Fail Connect|1");
    EXPECT_EQ(Probe(dir, GetParam(), L"LOGIN Cancel \"\""), "0||1");
    RemoveTree(dir);
}

TEST_P(SkinProfile, ReadsValuesAndFallsBackForMissingKeysAndSections)
{
    std::wstring dir = FolderWithTitles(
        L"config", "[LOGIN]\r\nID=Benutzer\r\nLogin=ANMELDEN\r\n[SITE SETUP]\r\nNew Site=NEUE ANLAGE\r\n");
    EXPECT_EQ(Probe(dir, GetParam(), L"LOGIN ID ID"), "8|Benutzer|1");
    EXPECT_EQ(Probe(dir, GetParam(), L"\"SITE SETUP\" \"New Site\" \"REGISTERING SITE\""), "11|NEUE ANLAGE|1");
    EXPECT_EQ(Probe(dir, GetParam(), L"LOGIN ErrMsg3 \"Users connect excess.\""), "21|Users connect excess.|1");
    EXPECT_EQ(Probe(dir, GetParam(), L"\"SETUP CONNECTION\" Port PORT"), "4|PORT|1");
    RemoveTree(dir);
}

TEST_P(SkinProfile, LongValuesAreCutToTheBufferLimit)
{
    std::wstring dir = FolderWithTitles(L"long", "[LOGIN]\r\nErrMsg1=" + std::string(400, 'x') + "\r\n");
    // 255 characters and the terminator; nothing past the 256-character buffer is touched
    EXPECT_EQ(Probe(dir, GetParam(), L"LOGIN ErrMsg1 none"), "255|" + std::string(255, 'x') + "|1");
    RemoveTree(dir);
}

INSTANTIATE_TEST_SUITE_P(Skins, SkinProfile, ::testing::Values(L"Lustrel.dll", L"Lumbrel.dll"), [](const auto& info) {
    return std::string(std::wstring(info.param) == L"Lustrel.dll" ? "Lustrel" : "Lumbrel");
});

} // namespace
