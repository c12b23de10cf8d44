// lingua_res.dll holds every viewer string with the viewer's English text.
#include <gtest/gtest.h>

#include <string>

#include "skin/LanguageLibrary.h"
#include "skin/ViewerStrings.h"

namespace {

TEST(LinguaRes, LoadsAsADataFileBesideTheGivenModuleAndHoldsEveryViewerString)
{
    HMODULE lang = viewer_strings::LoadLanguageLibrary(GetModuleHandleW(nullptr));
    ASSERT_NE(lang, nullptr) << GetLastError();
    for (const auto& s : viewer_strings::kDefaults) {
        wchar_t buf[256];
        const int n = LoadStringW(lang, UINT(s.id), buf, 256);
        EXPECT_GT(n, 0) << "id " << s.id;
        EXPECT_STREQ(buf, s.text) << "id " << s.id;
    }
    wchar_t buf[8] = L"x";
    EXPECT_EQ(LoadStringW(lang, 110, buf, 8), 0);
    FreeLibrary(lang);
}

TEST(LinguaRes, TheLibraryHasNoCode)
{
    HMODULE dll = LoadLibraryExW(viewer_strings::LanguageLibraryPath(GetModuleHandleW(nullptr)).c_str(), nullptr,
                                 DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_NE(dll, nullptr);
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(dll);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(reinterpret_cast<const char*>(dll) + dos->e_lfanew);
    EXPECT_EQ(nt->OptionalHeader.AddressOfEntryPoint, 0u);
    const auto& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.Size) { // at most the terminating descriptor: no library is imported
        auto* first = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(reinterpret_cast<const char*>(dll) +
                                                                       imports.VirtualAddress);
        EXPECT_EQ(first->Name, 0u);
    }
    FreeLibrary(dll);
}

TEST(LinguaRes, PathFollowsTheGivenModulesFolder)
{
    const std::wstring p = viewer_strings::LanguageLibraryPath(GetModuleHandleW(L"kernel32.dll"));
    EXPECT_NE(p.find(L"\\system32\\lingua_res.dll"), std::wstring::npos) << std::string(p.begin(), p.end());
}

TEST(LinguaRes, StringsFallBackToTheViewersOwnTable)
{
    wchar_t buf[64];
    EXPECT_EQ(viewer_strings::LoadViewerString(nullptr, viewer_strings::kStrEmptyIpOrUser, buf, 64), 21);
    EXPECT_STREQ(buf, L"Empty IP or User ID !");
    EXPECT_EQ(viewer_strings::LoadViewerString(nullptr, 5555, buf, 64), 0);
    EXPECT_STREQ(buf, L"");
    wchar_t small[6];
    EXPECT_EQ(viewer_strings::LoadViewerString(nullptr, viewer_strings::kStrConnectionFailed, small, 6), 5);
    EXPECT_STREQ(small, L"Conne");
    HMODULE lang = viewer_strings::LoadLanguageLibrary(GetModuleHandleW(nullptr));
    ASSERT_NE(lang, nullptr);
    EXPECT_EQ(viewer_strings::LoadViewerString(lang, 7020, buf, 64), 21);
    EXPECT_STREQ(buf, L"Waiting for images...");
    FreeLibrary(lang);
}

} // namespace
