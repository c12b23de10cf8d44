// A COM server DLL registers with regsvr32 and is created by its class id and by its ProgID.
#include "benchcom.h"
#include "Programs.h"
#include <objbase.h>
#include <gtest/gtest.h>
#include <string>

namespace {

DWORD Regsvr32(const std::wstring& args) { return testkit::RunAndWait(L"regsvr32.exe /s " + args, 30000); }

struct ComInit {
    ComInit() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~ComInit() { CoUninitialize(); }
};

TEST(BenchCom, RegisteredServerIsCreatedByClassIdAndProgId)
{
    ComInit com;
    const std::wstring dll = L"\"" + testkit::BesideMe(L"benchcom.dll") + L"\"";
    ASSERT_EQ(Regsvr32(dll), 0u);

    IPersist* obj = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_BenchObject, nullptr, CLSCTX_INPROC_SERVER, IID_IPersist,
                               reinterpret_cast<void**>(&obj)),
              S_OK);
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
                               reinterpret_cast<void**>(&obj)),
              REGDB_E_CLASSNOTREG);
}

} // namespace
