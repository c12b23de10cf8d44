// A COM server DLL registers with regsvr32 and is created by its class id and by its ProgID.
#include "benchcom.h"
#include <objbase.h>
#include <gtest/gtest.h>
#include <string>

namespace {

std::wstring BesideMe(const wchar_t* name)
{
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, n);
    return dir.substr(0, dir.find_last_of(L"\\/") + 1) + name;
}

DWORD Regsvr32(const std::wstring& args)
{
    std::wstring cmd = L"regsvr32.exe /s " + args;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return GetLastError() | 0x80000000u;
    WaitForSingleObject(pi.hProcess, 30000);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

struct ComInit {
    ComInit() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~ComInit() { CoUninitialize(); }
};

TEST(BenchCom, RegisteredServerIsCreatedByClassIdAndProgId)
{
    ComInit com;
    const std::wstring dll = L"\"" + BesideMe(L"benchcom.dll") + L"\"";
    ASSERT_EQ(Regsvr32(dll), 0u);

    IPersist* obj = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_BenchObject, nullptr, CLSCTX_INPROC_SERVER, IID_IPersist,
                               reinterpret_cast<void**>(&obj)), S_OK);
    CLSID got{};
    EXPECT_EQ(obj->GetClassID(&got), S_OK);
    EXPECT_TRUE(IsEqualCLSID(got, CLSID_BenchObject));
    EXPECT_EQ(obj->Release(), 0u);

    CLSID byName{};
    ASSERT_EQ(CLSIDFromProgID(BENCH_PROGID, &byName), S_OK);
    EXPECT_TRUE(IsEqualCLSID(byName, CLSID_BenchObject));

    ASSERT_EQ(Regsvr32(L"/u " + dll), 0u);
    CoFreeUnusedLibraries();
    obj = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_BenchObject, nullptr, CLSCTX_INPROC_SERVER, IID_IPersist,
                               reinterpret_cast<void**>(&obj)), REGDB_E_CLASSNOTREG);
}

} // namespace
