// xvidcore.dll beside the program is the bridge to the system's libxvidcore.
#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include <xvid.h>

TEST(BenchXvid, InformationQueryThroughBridgeGivesSystemLibraryVersion)
{
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    ASSERT_GT(n, 0u);
    std::wstring dir(path, n);
    dir.resize(dir.find_last_of(L"\\/") + 1);
    HMODULE lib = LoadLibraryW((dir + L"xvidcore.dll").c_str());
    ASSERT_NE(lib, nullptr) << "LoadLibrary xvidcore.dll: " << GetLastError();
    using GlobalFn = int(__cdecl*)(void*, int, void*, void*);
    auto global = reinterpret_cast<GlobalFn>(GetProcAddress(lib, "xvid_global"));
    ASSERT_NE(global, nullptr);
    EXPECT_NE(GetProcAddress(lib, "xvid_decore"), nullptr);
    EXPECT_NE(GetProcAddress(lib, "xvid_encore"), nullptr);

    xvid_gbl_info_t info{};
    info.version = XVID_VERSION;
    ASSERT_GE(global(nullptr, XVID_GBL_INFO, &info, nullptr), 0);
    EXPECT_EQ(info.actual_version, PX_XVID_VERSION);
    EXPECT_GE(info.num_threads, 1);

    // A decoder can be created and destroyed through the bridge.
    xvid_gbl_init_t init{};
    init.version = XVID_VERSION;
    ASSERT_GE(global(nullptr, XVID_GBL_INIT, &init, nullptr), 0);
    using DecoreFn = int(__cdecl*)(void*, int, void*, void*);
    auto decore = reinterpret_cast<DecoreFn>(GetProcAddress(lib, "xvid_decore"));
    xvid_dec_create_t create{};
    create.version = XVID_VERSION;
    create.width = 352;
    create.height = 240;
    ASSERT_EQ(decore(nullptr, XVID_DEC_CREATE, &create, nullptr), 0);
    ASSERT_NE(create.handle, nullptr);
    EXPECT_EQ(decore(create.handle, XVID_DEC_DESTROY, nullptr, nullptr), 0);
    FreeLibrary(lib);
}
