// Pellux.dll as containers meet it: registered with regsvr32, created by class identifier and
// ProgID in a container of ours and in the platform's control-hosting window, driven from VBScript,
// in a browser-like site, and connected to the DVR simulator. Every COM test ends with the control's
// last reference gone and DllCanUnloadNow answering S_OK.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <exdisp.h>
#include <objsafe.h>
#include <ocidl.h>
#include <olectl.h>
#include <shlguid.h>
#include "ClassInfo.h"
#include "FakeBrowser.h"
#include "Pellux_h.h"
#include "Programs.h"
#include "PropertyBag.h"
#include "TestKit.h"
#include "foundation/ComPtr.h"
#include "foundation/ComServer.h"
#include "foundation/ControlHost.h"
#include "foundation/Messages.h"
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <vector>

namespace {

using win::ComPtr;
using namespace testkit;

const CLSID kClsidPage = {0xbc322bd5, 0x6359, 0x47d4, {0x99, 0x26, 0x36, 0x3f, 0xe6, 0xa1, 0x10, 0x24}};
constexpr const wchar_t* kProgId = L"PELLUX.PelluxCtrl.1";
constexpr int kAddress = 201, kPort = 202, kUser = 203, kPassword = 204, kPtzProtocol = 205, kBaud = 206,
              kStatusLog = 211, kAutoPtz = 214;
constexpr int kViewPane = 0xE900;
constexpr WPARAM kCmdConnect = 1;

DWORD Regsvr32(const wchar_t* options)
{
    return testkit::RunAndWait(L"regsvr32.exe /s " + std::wstring(options) + L"\"" + testkit::BesideMe(L"Pellux.dll") +
                               L"\"");
}

bool KeyExists(const std::wstring& key)
{
    HKEY k = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS)
        return false;
    RegCloseKey(k);
    return true;
}

std::wstring RegText(const std::wstring& key, const wchar_t* name = nullptr)
{
    wchar_t text[512];
    DWORD bytes = sizeof text;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, text, &bytes) != ERROR_SUCCESS)
        return L"<missing>";
    return text;
}

HRESULT CanUnloadNow()
{
    HMODULE dll = GetModuleHandleW(L"Pellux.dll");
    if (!dll)
        return S_OK; // already unloaded
    auto fn = reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
    return fn ? fn() : E_FAIL;
}

// ---- the connection-info file in the Windows directory ----

std::wstring InfoFile()
{
    wchar_t dir[MAX_PATH];
    GetWindowsDirectoryW(dir, MAX_PATH);
    return std::wstring(dir) + L"\\PelluxInfo.INF";
}

void WriteInfo(const wchar_t* url, const wchar_t* port, const wchar_t* user, const wchar_t* password, bool withAuto)
{
    const std::wstring f = InfoFile();
    DeleteFileW(f.c_str());
    const wchar_t* s = L"Connect Information";
    WritePrivateProfileStringW(s, L"URL", url, f.c_str());
    WritePrivateProfileStringW(s, L"PORT", port, f.c_str());
    WritePrivateProfileStringW(s, L"PASSWORD", password, f.c_str());
    WritePrivateProfileStringW(s, L"USER", user, f.c_str());
    if (withAuto)
        WritePrivateProfileStringW(L"AUTO_PTZ_TYPE", L"AUTO", L"OFF", f.c_str());
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, f.c_str()); // flush
}

// The keys of a section in file order, "KEY=value" each.
std::vector<std::wstring> InfoSection(const wchar_t* section)
{
    wchar_t buf[4096];
    DWORD n = GetPrivateProfileSectionW(section, buf, 4096, InfoFile().c_str());
    std::vector<std::wstring> keys;
    for (const wchar_t* p = buf; p < buf + n && *p; p += wcslen(p) + 1)
        keys.emplace_back(p);
    return keys;
}

std::wstring Field(HWND view, int item)
{
    wchar_t text[256] = {};
    GetDlgItemTextW(view, item, text, 256);
    return text;
}

std::vector<std::wstring> StatusLines(HWND view)
{
    std::vector<std::wstring> lines;
    HWND log = GetDlgItem(view, kStatusLog);
    LRESULT count = SendMessageW(log, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t line[512] = {};
        if (SendMessageW(log, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0) < 512)
            SendMessageW(log, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(line));
        lines.emplace_back(line);
    }
    return lines;
}

bool HasLine(HWND view, const wchar_t* text)
{
    for (const auto& l : StatusLines(view))
        if (l == text)
            return true;
    return false;
}

// ---- container side ----

// Our container, optionally a browser's page (it answers SID_SWebBrowserApp), counting the
// control's requests to close it.
class TestHost final : public win::ControlHost {
public:
    explicit TestHost(IWebBrowser2* b = nullptr) : browser(b) {}
    IWebBrowser2* browser; // not ours
    int closeRequests = 0;
    HRESULT QueryService(REFGUID service, REFIID riid, void** ppv) override
    {
        if (browser && IsEqualGUID(service, SID_SWebBrowserApp))
            return browser->QueryInterface(riid, ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    HWND View() const { return GetDlgItem(ControlWindow(), kViewPane); }

private:
    void OnCloseHost() override { ++closeRequests; }
};

// Counts WM_HOST_MOVED at a view window.
class MoveCounter final : public win::Subclass {
public:
    int moves = 0;

private:
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override
    {
        if (msg == WM_HOST_MOVED)
            ++moves;
        return Default(msg, wp, lp);
    }
};

void MoveWindowBy(HWND wnd, int dx)
{
    RECT r{};
    GetWindowRect(wnd, &r);
    SetWindowPos(wnd, nullptr, r.left + dx, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

class Pellux : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        CLSID id{};
        if (FAILED(CLSIDFromProgID(kProgId, &id))) {
            ASSERT_EQ(Regsvr32(L""), 0u);
        }
    }
    void TearDown() override
    {
        PumpFor(50); // posted messages of windows already gone
        EXPECT_EQ(CanUnloadNow(), S_OK) << "a Pellux object or lock outlived the test";
        OleUninitialize();
    }

    // A host window (top-level unless `parent`) with the control created in it.
    std::unique_ptr<TestHost> Host(HWND parent = nullptr, IWebBrowser2* browser = nullptr, IPropertyBag* bag = nullptr,
                                   int x = 0)
    {
        auto host = std::make_unique<TestHost>(browser);
        RECT r{x, 0, x + 900, 680};
        if (!host->Create(parent, r, parent ? WS_CHILD | WS_VISIBLE : WS_OVERLAPPEDWINDOW | WS_VISIBLE))
            return nullptr;
        if (FAILED(host->CreateControl(CLSID_Pellux, bag)))
            return nullptr;
        return host;
    }
};

// ---- registration ----

TEST_F(Pellux, Regsvr32WritesEveryKeyAndTheTypeLibraryAndUnregisterRemovesThem)
{
    const std::wstring ctrl = L"CLSID\\" + win::com::GuidText(CLSID_Pellux);
    const std::wstring page = L"CLSID\\" + win::com::GuidText(kClsidPage);
    const std::wstring lib = L"TypeLib\\" + win::com::GuidText(LIBID_PELLUXLib);
    const std::wstring cats = ctrl + L"\\Implemented Categories\\";
    const std::wstring scriptable = L"{7DD95801-9882-11CF-9FA9-00AA006C42C4}";
    const std::wstring initializable = L"{7DD95802-9882-11CF-9FA9-00AA006C42C4}";
    const std::vector<std::wstring> owned = {ctrl, page, lib, L"PELLUX.PelluxCtrl.1", L"PELLUX.PelluxPropPage.1"};

    ASSERT_EQ(Regsvr32(L"/u "), 0u);
    for (const auto& k : owned)
        EXPECT_FALSE(KeyExists(k)) << "left after /u: " << std::string(k.begin(), k.end());

    ASSERT_EQ(Regsvr32(L""), 0u);
    EXPECT_EQ(RegText(ctrl), L"Pellux Control");
    EXPECT_EQ(RegText(ctrl + L"\\InprocServer32"), testkit::BesideMe(L"Pellux.dll"));
    EXPECT_EQ(RegText(ctrl + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(RegText(ctrl + L"\\ProgID"), kProgId);
    EXPECT_TRUE(KeyExists(ctrl + L"\\Control"));
    EXPECT_FALSE(KeyExists(ctrl + L"\\Insertable"));
    EXPECT_EQ(RegText(ctrl + L"\\MiscStatus\\1"), L"131473");
    EXPECT_EQ(RegText(ctrl + L"\\TypeLib"), win::com::GuidText(LIBID_PELLUXLib));
    EXPECT_EQ(RegText(ctrl + L"\\ToolboxBitmap32"), testkit::BesideMe(L"Pellux.dll") + L", 1");
    EXPECT_TRUE(KeyExists(cats + scriptable));
    EXPECT_TRUE(KeyExists(cats + initializable));
    EXPECT_TRUE(KeyExists(L"Component Categories\\" + scriptable));
    EXPECT_EQ(RegText(L"PELLUX.PelluxCtrl.1\\CLSID"), win::com::GuidText(CLSID_Pellux));
    EXPECT_EQ(RegText(page), L"Pellux Property Page");
    EXPECT_EQ(RegText(page + L"\\InprocServer32"), testkit::BesideMe(L"Pellux.dll"));
    EXPECT_EQ(RegText(L"PELLUX.PelluxPropPage.1\\CLSID"), win::com::GuidText(kClsidPage));
    EXPECT_EQ(RegText(lib + L"\\1.0"), L"Pellux ActiveX Control module");
    std::wstring libPath = RegText(lib + L"\\1.0\\0\\win64");
    if (libPath.rfind(L"\\\\?\\", 0) == 0)
        libPath.erase(0, 4); // the platform may write the long-path form
    EXPECT_EQ(libPath, testkit::BesideMe(L"Pellux.dll"));

    // The registered library describes _DPellux: four BSTR properties and SetAddr.
    ComPtr<ITypeLib> tl;
    ASSERT_EQ(LoadRegTypeLib(LIBID_PELLUXLib, 1, 0, LOCALE_NEUTRAL, tl.Put()), S_OK);
    ComPtr<ITypeInfo> ti;
    ASSERT_EQ(tl->GetTypeInfoOfGuid(DIID__DPellux, ti.Put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(ti->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
    std::map<MEMBERID, std::pair<std::wstring, VARTYPE>> members;
    auto name = [&](MEMBERID id) {
        BSTR n = nullptr;
        ti->GetDocumentation(id, &n, nullptr, nullptr, nullptr);
        std::wstring s = n ? n : L"";
        SysFreeString(n);
        return s;
    };
    for (UINT i = 0; i < attr->cVars; ++i) {
        VARDESC* v = nullptr;
        ASSERT_EQ(ti->GetVarDesc(i, &v), S_OK);
        members[v->memid] = {name(v->memid), v->elemdescVar.tdesc.vt};
        ti->ReleaseVarDesc(v);
    }
    for (UINT i = 0; i < attr->cFuncs; ++i) {
        FUNCDESC* f = nullptr;
        ASSERT_EQ(ti->GetFuncDesc(i, &f), S_OK);
        if (f->memid == 5) {
            members[5] = {name(5), f->elemdescFunc.tdesc.vt};
            EXPECT_EQ(f->cParams, 0);
        }
        ti->ReleaseFuncDesc(f);
    }
    ti->ReleaseTypeAttr(attr);
    const std::map<MEMBERID, std::pair<std::wstring, VARTYPE>> expected = {{1, {L"URLorIP", VT_BSTR}},
                                                                           {2, {L"PortNumber", VT_BSTR}},
                                                                           {3, {L"UserID", VT_BSTR}},
                                                                           {4, {L"UserPwd", VT_BSTR}},
                                                                           {5, {L"SetAddr", VT_BOOL}}};
    EXPECT_EQ(members, expected);
    ComPtr<ITypeInfo> events;
    EXPECT_EQ(tl->GetTypeInfoOfGuid(DIID__DPelluxEvents, events.Put()), S_OK);
    ti.Release();
    events.Release();
    tl.Release();

    // The file version the version resource carries.
    const std::wstring dll = testkit::BesideMe(L"Pellux.dll");
    std::vector<BYTE> ver(GetFileVersionInfoSizeW(dll.c_str(), nullptr));
    ASSERT_FALSE(ver.empty());
    ASSERT_TRUE(GetFileVersionInfoW(dll.c_str(), 0, static_cast<DWORD>(ver.size()), ver.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueW(ver.data(), L"\\", reinterpret_cast<void**>(&fixed), &len));
    EXPECT_EQ(fixed->dwFileVersionMS, (0u << 16) | 9u);
    EXPECT_EQ(fixed->dwFileVersionLS, (1u << 16) | 24u);

    ASSERT_EQ(Regsvr32(L"/u "), 0u);
    for (const auto& k : owned)
        EXPECT_FALSE(KeyExists(k)) << "left after /u: " << std::string(k.begin(), k.end());
    ASSERT_EQ(Regsvr32(L""), 0u); // the other tests find it registered
}

// ---- our own container ----

TEST_F(Pellux, CreatedByClassIdAndProgIdTakesPropertiesAndSetAddrFillsTheViewAndTheInfoFile)
{
    for (bool byProgId : {false, true}) {
        SCOPED_TRACE(byProgId ? "by ProgID" : "by class identifier");
        WriteInfo(L"info.example", L"4000", L"infouser", L"infopw", true);
        auto host = std::make_unique<TestHost>();
        ASSERT_TRUE(host->Create(nullptr, RECT{0, 0, 900, 680}, WS_OVERLAPPEDWINDOW | WS_VISIBLE));
        ASSERT_EQ(byProgId ? host->CreateControl(kProgId) : host->CreateControl(CLSID_Pellux), S_OK);
        HWND view = host->View();
        ASSERT_TRUE(view) << "the view is the control's child 0xE900";
        const LONG style = GetWindowLongW(view, GWL_STYLE);
        EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE | WS_BORDER), WS_CHILD | WS_VISIBLE | WS_BORDER);
        // No address from the container: the view starts with the info file's, "DVR PTZ" off.
        EXPECT_EQ(Field(view, kAddress), L"info.example");
        EXPECT_EQ(Field(view, kPassword), L"infopw");
        EXPECT_EQ(IsDlgButtonChecked(view, kAutoPtz), BST_UNCHECKED);
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(view, kPtzProtocol)) && IsWindowEnabled(GetDlgItem(view, kBaud)));

        IDispatch* d = host->Dispatch();
        ASSERT_TRUE(d);
        LPOLESTR names[] = {const_cast<LPOLESTR>(L"URLorIP"), const_cast<LPOLESTR>(L"SetAddr")};
        DISPID ids[2] = {};
        for (int i = 0; i < 2; ++i)
            ASSERT_EQ(d->GetIDsOfNames(IID_NULL, &names[i], 1, LOCALE_USER_DEFAULT, &ids[i]), S_OK);
        EXPECT_EQ(ids[0], 1);
        EXPECT_EQ(ids[1], 5);

        // An empty port: SetAddr refuses and nothing changes.
        ASSERT_EQ(win::dispatch::PutText(d, 1, L"10.1.2.3"), S_OK);
        ASSERT_EQ(win::dispatch::PutText(d, 3, L"admin"), S_OK);
        VARIANT result;
        VariantInit(&result);
        ASSERT_EQ(win::dispatch::Call(d, 5, &result), S_OK);
        EXPECT_EQ(result.vt, VT_BOOL);
        EXPECT_EQ(result.boolVal, VARIANT_FALSE);
        EXPECT_EQ(Field(view, kAddress), L"info.example");
        EXPECT_EQ(InfoSection(L"Connect Information")[0], L"URL=info.example");

        // An empty password is accepted, and written as an empty key.
        ASSERT_EQ(win::dispatch::PutText(d, 2, L"8000"), S_OK);
        ASSERT_EQ(win::dispatch::PutText(d, 4, L""), S_OK);
        ASSERT_EQ(win::dispatch::Call(d, 5, &result), S_OK);
        EXPECT_EQ(result.boolVal, VARIANT_TRUE);
        EXPECT_EQ(Field(view, kAddress), L"10.1.2.3");
        EXPECT_EQ(Field(view, kPort), L"8000");
        EXPECT_EQ(Field(view, kUser), L"admin");
        EXPECT_EQ(Field(view, kPassword), L"");
        EXPECT_EQ(InfoSection(L"Connect Information"),
                  (std::vector<std::wstring>{L"URL=10.1.2.3", L"PORT=8000", L"PASSWORD=", L"USER=admin"}));
        EXPECT_EQ(InfoSection(L"AUTO_PTZ_TYPE"), std::vector<std::wstring>{L"AUTO=OFF"});

        std::wstring text;
        const wchar_t* expected[] = {L"10.1.2.3", L"8000", L"admin", L""};
        for (DISPID id = 1; id <= 4; ++id) {
            ASSERT_EQ(win::dispatch::GetText(d, id, text), S_OK);
            EXPECT_EQ(text, expected[id - 1]);
        }
        EXPECT_EQ(win::dispatch::GetText(d, 6, text), DISP_E_MEMBERNOTFOUND);

        // The instance event marks a live viewer control, and only while one lives.
        HANDLE alive = OpenEventW(SYNCHRONIZE, FALSE, L"Global\\PELLUX_WEB_VIEWER");
        EXPECT_TRUE(alive);
        if (alive)
            CloseHandle(alive);

        ComPtr<IUnknown> control;
        control.Assign(host->Control());
        host.reset();
        EXPECT_EQ(control.Detach()->Release(), 0u);
        EXPECT_EQ(OpenEventW(SYNCHRONIZE, FALSE, L"Global\\PELLUX_WEB_VIEWER"), nullptr);

        // Unloaded, the module says goodbye and takes its window classes along: the next load
        // (the second pass) registers them again with its own window procedures.
        TraceCapture trace;
        CoFreeUnusedLibrariesEx(0, 0);
        EXPECT_EQ(GetModuleHandleW(L"Pellux.dll"), nullptr);
        EXPECT_TRUE(trace.Contains(L"<<< CPelluxApp::ExitInstance() \r\n"));
    }
}

// A page's script or PARAM values: a value with a line break (or any character below 0x20) would
// write sections and keys of its own into the info file the next start reads, so it is refused;
// an over-long one is stored cut to its field.
TEST_F(Pellux, ScriptAndPageValuesNeverWriteLinesOfTheirOwnIntoTheInfoFile)
{
    WriteInfo(L"info.example", L"4000", L"infouser", L"infopw", true);
    auto host = Host();
    ASSERT_TRUE(host);
    IDispatch* d = host->Dispatch();
    ASSERT_EQ(win::dispatch::PutText(d, 1, L"10.1.2.3"), S_OK);
    ASSERT_EQ(win::dispatch::PutText(d, 2, L"8000"), S_OK);
    ASSERT_EQ(win::dispatch::PutText(d, 4, L"pw"), S_OK);
    VARIANT result;
    VariantInit(&result);
    for (const wchar_t* user : {L"admin\r\n[AUTO_PTZ_TYPE]\r\nAUTO=ON", L"admin\tx"}) {
        ASSERT_EQ(win::dispatch::PutText(d, 3, user), S_OK);
        ASSERT_EQ(win::dispatch::Call(d, 5, &result), S_OK);
        EXPECT_EQ(result.boolVal, VARIANT_FALSE);
    }
    EXPECT_EQ(Field(host->View(), kUser), L"infouser");
    EXPECT_EQ(InfoSection(L"Connect Information"),
              (std::vector<std::wstring>{L"URL=info.example", L"PORT=4000", L"PASSWORD=infopw", L"USER=infouser"}));
    EXPECT_EQ(InfoSection(L"AUTO_PTZ_TYPE"), std::vector<std::wstring>{L"AUTO=OFF"});

    ASSERT_EQ(win::dispatch::PutText(d, 1, std::wstring(300, L'a').c_str()), S_OK);
    ASSERT_EQ(win::dispatch::PutText(d, 2, L"1234567"), S_OK);
    ASSERT_EQ(win::dispatch::PutText(d, 3, std::wstring(80, L'u').c_str()), S_OK);
    ASSERT_EQ(win::dispatch::PutText(d, 4, std::wstring(40, L'p').c_str()), S_OK);
    ASSERT_EQ(win::dispatch::Call(d, 5, &result), S_OK);
    EXPECT_EQ(result.boolVal, VARIANT_TRUE);
    EXPECT_EQ(InfoSection(L"Connect Information"),
              (std::vector<std::wstring>{L"URL=" + std::wstring(100, L'a'), L"PORT=12345",
                                         L"PASSWORD=" + std::wstring(20, L'p'), L"USER=" + std::wstring(50, L'u')}));
    host.reset();

    // The same values as PARAM elements: the one with a line break counts as not given.
    auto* bag = new testkit::PropertyBag;
    bag->values = {
        {L"sURLorIP", L"page.example"}, {L"sPortNum", L"6000"}, {L"sUserID", L"admin\r\n[AUTO_PTZ_TYPE]\r\nAUTO=ON"}};
    WriteInfo(L"info.example", L"4000", L"infouser", L"infopw", true);
    host = Host(nullptr, nullptr, bag);
    ASSERT_TRUE(host);
    EXPECT_EQ(Field(host->View(), kAddress), L"info.example");
    std::wstring user;
    ASSERT_EQ(win::dispatch::GetText(host->Dispatch(), 3, user), S_OK);
    EXPECT_EQ(user, L"");
    EXPECT_EQ(InfoSection(L"AUTO_PTZ_TYPE"), std::vector<std::wstring>{L"AUTO=OFF"});
    host.reset();
    EXPECT_EQ(bag->Release(), 0u);
}

TEST_F(Pellux, PersistedNamesLoadFromABagAndAPageWithoutThePortFallsBackToTheInfoFile)
{
    WriteInfo(L"saved.example", L"5000", L"saveduser", L"savedpw", false);
    auto* bag = new testkit::PropertyBag;
    bag->values = {{L"sURLorIP", L"page.example"}, {L"sUserID", L"pageuser"}, {L"sUserPWD", L"pagepw"}};
    {
        auto host = Host(nullptr, nullptr, bag);
        ASSERT_TRUE(host);
        // No port from the page: the info file's values, not the page's; a file without the
        // AUTO_PTZ_TYPE section means "DVR PTZ" on, and the PTZ selectors disabled.
        HWND view = host->View();
        EXPECT_EQ(Field(view, kAddress), L"saved.example");
        EXPECT_EQ(Field(view, kPort), L"5000");
        EXPECT_EQ(Field(view, kUser), L"saveduser");
        EXPECT_EQ(IsDlgButtonChecked(view, kAutoPtz), BST_CHECKED);
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(view, kPtzProtocol)) || IsWindowEnabled(GetDlgItem(view, kBaud)));
        std::wstring url;
        ASSERT_EQ(win::dispatch::GetText(host->Dispatch(), 1, url), S_OK);
        EXPECT_EQ(url, L"page.example");
    }
    bag->values[L"sPortNum"] = L"6000";
    {
        auto host = Host(nullptr, nullptr, bag);
        ASSERT_TRUE(host);
        EXPECT_EQ(Field(host->View(), kAddress), L"page.example");
        EXPECT_EQ(Field(host->View(), kPort), L"6000");
        EXPECT_EQ(Field(host->View(), kPassword), L"pagepw");
        EXPECT_EQ(InfoSection(L"Connect Information")[0], L"URL=page.example");

        // Saved back under the same names, and through a stream into a second control.
        auto* out = new testkit::PropertyBag;
        ComPtr<IPersistPropertyBag> pb;
        ASSERT_EQ(host->Control()->QueryInterface(IID_IPersistPropertyBag, pb.PutVoid()), S_OK);
        ASSERT_EQ(pb->Save(out, TRUE, TRUE), S_OK);
        EXPECT_EQ(out->values, bag->values);
        EXPECT_EQ(out->Release(), 0u);

        ComPtr<IStream> stream;
        ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()), S_OK);
        ComPtr<IPersistStreamInit> ps;
        ASSERT_EQ(host->Control()->QueryInterface(IID_IPersistStreamInit, ps.PutVoid()), S_OK);
        ASSERT_EQ(ps->Save(stream.Get(), TRUE), S_OK);
        ComPtr<IPersistStreamInit> second;
        ASSERT_EQ(
            CoCreateInstance(CLSID_Pellux, nullptr, CLSCTX_INPROC_SERVER, IID_IPersistStreamInit, second.PutVoid()),
            S_OK);
        LARGE_INTEGER zero{};
        stream->Seek(zero, STREAM_SEEK_SET, nullptr);
        ASSERT_EQ(second->Load(stream.Get()), S_OK);
        ComPtr<IDispatch> d;
        ASSERT_EQ(second.As(d), S_OK);
        std::wstring pw;
        ASSERT_EQ(win::dispatch::GetText(d.Get(), 4, pw), S_OK);
        EXPECT_EQ(pw, L"pagepw");
        // A damaged stream (a string longer than any the control writes) is refused.
        stream.Release();
        ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()), S_OK);
        const DWORD damaged[] = {0x00010000, 0x7FFFFFFF};
        stream->Write(damaged, sizeof damaged, nullptr);
        stream->Seek(zero, STREAM_SEEK_SET, nullptr);
        EXPECT_EQ(second->Load(stream.Get()), E_FAIL);
    }
    EXPECT_EQ(bag->Release(), 0u);
}

TEST_F(Pellux, ObjectSafetyClassInfoAndTheEmptyEventPoint)
{
    ComPtr<IObjectSafety> safety;
    ASSERT_EQ(CoCreateInstance(CLSID_Pellux, nullptr, CLSCTX_INPROC_SERVER, IID_IObjectSafety, safety.PutVoid()), S_OK);
    DWORD supported = 0, enabled = 0;
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
    EXPECT_EQ(supported, 3u);
    EXPECT_EQ(enabled, 3u);
    supported = enabled = 0;
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IClassFactory, &supported, &enabled), E_NOINTERFACE);
    EXPECT_EQ(supported, 3u) << "both outputs are set whatever the answer";
    const struct {
        DWORD mask, enabled;
        HRESULT hr;
    } cases[] = {{3, 3, S_OK}, {1, 1, S_OK}, {0, 0, S_OK}, {3, 1, E_FAIL}, {4, 4, E_FAIL}, {7, 7, E_FAIL}};
    for (const auto& c : cases)
        EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IPersistPropertyBag, c.mask, c.enabled), c.hr)
            << "mask " << c.mask << " enabled " << c.enabled;
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IClassFactory, 3, 3), E_NOINTERFACE);

    EXPECT_TRUE(testkit::NamesItsClass(safety.Get(), CLSID_Pellux, DIID__DPelluxEvents));

    ComPtr<IConnectionPointContainer> cpc;
    ASSERT_EQ(safety.As(cpc), S_OK);
    ComPtr<IConnectionPoint> cp;
    EXPECT_EQ(cpc->FindConnectionPoint(IID_IPropertyNotifySink, cp.Put()), CONNECT_E_NOCONNECTION);
    ASSERT_EQ(cpc->FindConnectionPoint(DIID__DPelluxEvents, cp.Put()), S_OK);
    auto* sink = new testkit::PropertyBag; // any object stands for a sink of an interface without events
    DWORD cookie = 0;
    ASSERT_EQ(cp->Advise(sink, &cookie), S_OK);
    EXPECT_EQ(cp->Unadvise(cookie + 1), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(cp->Unadvise(cookie), S_OK);
    EXPECT_EQ(sink->Release(), 0u) << "the point gives its sink back";

    DWORD status = 0;
    ComPtr<IOleObject> ole;
    ASSERT_EQ(safety.As(ole), S_OK);
    EXPECT_EQ(ole->GetMiscStatus(DVASPECT_CONTENT, &status), S_OK);
    EXPECT_EQ(status, 0x20191u);
    cp.Release();
    cpc.Release();
    ole.Release();
    EXPECT_EQ(safety.Detach()->Release(), 0u);
}

// Two viewers on one browser page hook the same top-level window; each keeps and removes its own
// hook, in either order of destruction.
TEST_F(Pellux, InABrowserTheCaptionIsClearedTwoControlsHookItAndCloseHostClosesIt)
{
    for (bool firstGoesFirst : {true, false}) {
        SCOPED_TRACE(firstGoesFirst ? "first control destroyed first" : "second control destroyed first");
        RecorderWindow frame(WM_CLOSE, WM_CLOSE, nullptr, true, 1820, 700);
        ASSERT_TRUE(frame.Hwnd());
        SetWindowTextW(frame.Hwnd(), L"A page with two DVRs");
        const LONG_PTR originalProc = GetWindowLongPtrW(frame.Hwnd(), GWLP_WNDPROC);
        IWebBrowser2* browser = FakeBrowserCreate(frame.Hwnd());
        std::unique_ptr<TestHost> hosts[2] = {Host(frame.Hwnd(), browser), Host(frame.Hwnd(), browser, nullptr, 910)};
        ASSERT_TRUE(hosts[0] && hosts[1]);
        wchar_t caption[64] = L"?";
        GetWindowTextW(frame.Hwnd(), caption, 64);
        EXPECT_STREQ(caption, L"");

        MoveCounter counters[2];
        for (int i = 0; i < 2; ++i)
            ASSERT_TRUE(counters[i].Attach(hosts[i]->View()));
        MoveWindowBy(frame.Hwnd(), 5);
        EXPECT_EQ(counters[0].moves, 1);
        EXPECT_EQ(counters[1].moves, 1);

        const int first = firstGoesFirst ? 0 : 1, second = 1 - first;
        hosts[first].reset();
        MoveWindowBy(frame.Hwnd(), 5);
        EXPECT_EQ(counters[second].moves, 2) << "the other control's hook survives";

        PostMessageW(hosts[second]->ControlWindow(), WM_CLOSE_HOST, 0, 0);
        EXPECT_TRUE(PumpUntil([&] { return frame.Count(WM_CLOSE) == 1; }, 2000)) << "WM_CLOSE to the browser";

        hosts[second].reset();
        EXPECT_EQ(GetWindowLongPtrW(frame.Hwnd(), GWLP_WNDPROC), originalProc) << "every hook removed";
        MoveWindowBy(frame.Hwnd(), 5);
        EXPECT_EQ(browser->Release(), 0u) << "both controls released the browser";
    }
}

TEST_F(Pellux, WithoutABrowserCloseHostReachesTheParentAndItsMovesReachTheView)
{
    auto host = Host();
    ASSERT_TRUE(host);
    wchar_t caption[64] = L"";
    SetWindowTextW(host->Hwnd(), L"container");
    MoveCounter counter;
    ASSERT_TRUE(counter.Attach(host->View()));
    MoveWindowBy(host->Hwnd(), 5);
    EXPECT_EQ(counter.moves, 1);
    PostMessageW(host->ControlWindow(), WM_CLOSE_HOST, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return host->closeRequests == 1; }, 2000));
    GetWindowTextW(host->Hwnd(), caption, 64);
    EXPECT_STREQ(caption, L"container") << "only a browser's caption is cleared";

    // Tab, handed to the control by the container's loop, moves between the view's fields.
    HWND view = host->View();
    SetFocus(GetDlgItem(view, kAddress));
    MSG tab{GetDlgItem(view, kAddress), WM_KEYDOWN, VK_TAB, 0, 0, {}};
    EXPECT_TRUE(host->PreTranslate(&tab));
    EXPECT_EQ(GetFocus(), GetDlgItem(view, kPort));
    MSG outside{host->Hwnd(), WM_KEYDOWN, VK_TAB, 0, 0, {}};
    EXPECT_FALSE(host->PreTranslate(&outside)) << "keys of other windows are not the control's";
}

// The properties verb opens the property frame with the control's one page, "General".
TEST_F(Pellux, PropertiesVerbShowsTheGeneralPage)
{
    auto host = Host();
    ASSERT_TRUE(host);
    static std::wstring s_tab;
    s_tab.clear();
    // The frame is modal: a timer inside its loop reads the page's tab and cancels the frame.
    SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR id, DWORD) {
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND w, LPARAM) -> BOOL {
                wchar_t cls[32] = {};
                GetClassNameW(w, cls, 32);
                if (!IsWindowVisible(w) || wcscmp(cls, L"#32770") != 0)
                    return TRUE;
                if (HWND tab = FindWindowExW(w, nullptr, WC_TABCONTROLW, nullptr)) {
                    wchar_t text[64] = {};
                    TCITEMW item{};
                    item.mask = TCIF_TEXT;
                    item.pszText = text;
                    item.cchTextMax = 64;
                    if (SendMessageW(tab, TCM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
                        s_tab = text;
                }
                PostMessageW(w, WM_COMMAND, IDCANCEL, 0);
                return FALSE;
            },
            0);
        KillTimer(nullptr, id);
    });
    ComPtr<IOleObject> ole;
    ASSERT_EQ(host->Control()->QueryInterface(IID_IOleObject, ole.PutVoid()), S_OK);
    EXPECT_EQ(ole->DoVerb(OLEIVERB_PROPERTIES, nullptr, nullptr, 0, host->Hwnd(), nullptr), S_OK);
    EXPECT_EQ(s_tab, L"General");
}

// ---- a container nobody here wrote ----

TEST_F(Pellux, PlatformControlHostingWindowCreatesItAndItConnectsToTheSimulator)
{
    HMODULE atl = LoadLibraryW(L"atl.dll");
    ASSERT_TRUE(atl);
    auto init = reinterpret_cast<BOOL(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxWinInit")));
    auto getControl = reinterpret_cast<HRESULT(WINAPI*)(HWND, IUnknown**)>(
        reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxGetControl")));
    ASSERT_TRUE(init && getControl && init());

    WSADATA wsa;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa), 0);
    const int port = FreePort();
    Simulator sim("dvrsim-pellux");
    ASSERT_TRUE(sim.Start(port, "--synthetic-rate 100 --synthetic-size 2048"));

    RecorderWindow page(WM_USER, WM_USER, nullptr, true, 920, 700);
    const std::wstring byClsid = win::com::GuidText(CLSID_Pellux);
    for (const wchar_t* name : {byClsid.c_str(), kProgId}) {
        SCOPED_TRACE(name == kProgId ? "by ProgID" : "by class identifier");
        HWND ax = CreateWindowExW(0, L"AtlAxWin", name, WS_CHILD | WS_VISIBLE, 0, 0, 900, 680, page.Hwnd(), nullptr,
                                  nullptr, nullptr);
        ASSERT_TRUE(ax);
        ComPtr<IUnknown> control;
        ASSERT_EQ(getControl(ax, control.Put()), S_OK);
        ComPtr<IOleWindow> ow;
        ASSERT_EQ(control.As(ow), S_OK);
        HWND wnd = nullptr;
        ASSERT_EQ(ow->GetWindow(&wnd), S_OK);
        HWND view = GetDlgItem(wnd, kViewPane);
        ASSERT_TRUE(view) << "the view inside the hosted control";
        ComPtr<IDispatch> d;
        ASSERT_EQ(control.As(d), S_OK);
        for (auto [id, text] : {std::pair<DISPID, std::wstring>{1, L"127.0.0.1"},
                                {2, std::to_wstring(port)},
                                {3, L"admin"},
                                {4, L"1111"}})
            ASSERT_EQ(win::dispatch::PutText(d.Get(), id, text), S_OK);
        VARIANT ok;
        VariantInit(&ok);
        ASSERT_EQ(win::dispatch::Call(d.Get(), 5, &ok), S_OK);
        EXPECT_EQ(ok.boolVal, VARIANT_TRUE);
        if (name == kProgId) {
            PostMessageW(view, WM_VIEW_COMMAND, kCmdConnect, 0);
            EXPECT_TRUE(PumpUntil([&] { return HasLine(view, L"Connection established."); }, 20000))
                << "status: " << StatusLines(view).size() << " lines";
        }
        ow.Release();
        d.Release();
        DestroyWindow(ax);
        PumpFor(50);
        EXPECT_EQ(control.Detach()->Release(), 0u) << "the hosting window released the control";
    }
    sim.Kill();
    WSACleanup();
}

// ---- a script host ----

// Runs `text` as a VBScript file under cscript; its exit code, and what it printed in `output`.
DWORD RunScript(const std::string& text, std::string& output)
{
    const std::string dir = PX_WORK_DIR;
    const std::string script = WinPath(dir + "/pellux-script.vbs"), printed = WinPath(dir + "/pellux-script.out");
    FILE* f = fopen(script.c_str(), "wb");
    if (!f)
        return ~0u;
    fputs(text.c_str(), f);
    fclose(f);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileA(printed.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return ~0u;
    const DWORD code = testkit::RunAndWait(L"cscript.exe //nologo \"" + W(script) + L"\"", 60000, out);
    CloseHandle(out);
    output.assign(4096, '\0');
    f = fopen(printed.c_str(), "rb");
    output.resize(f ? fread(output.data(), 1, output.size(), f) : 0);
    if (f)
        fclose(f);
    return code;
}

TEST_F(Pellux, VbscriptCreatesItByProgIdSetsThePropertiesAndCallsSetAddr)
{
    std::string out;
    EXPECT_EQ(RunScript("Set c = CreateObject(\"PELLUX.PelluxCtrl.1\")\r\n"
                        "c.URLorIP = \"10.1.2.3\"\r\nc.PortNumber = \"8000\"\r\nc.UserID = \"admin\"\r\n"
                        "c.UserPwd = \"pw\"\r\nr = c.SetAddr()\r\n"
                        "WScript.Echo r & \"|\" & c.URLorIP & \"|\" & c.PortNumber & \"|\" & c.UserID & \"|\" & "
                        "c.UserPwd\r\nc.PortNumber = \"\"\r\nWScript.Echo \"\" & c.SetAddr()\r\n",
                        out),
              0u);
    EXPECT_EQ(out, "True|10.1.2.3|8000|admin|pw\r\nFalse\r\n");
}

// ---- the README's examples, read from README.md so that they cannot drift from the control ----

// The body of the README's first fenced block of `language`.
std::string ReadmeBlock(const std::string& readme, const std::string& language)
{
    const std::string fence = "```" + language + "\n";
    const size_t from = readme.find(fence);
    const size_t end = from == std::string::npos ? from : readme.find("```", from + fence.size());
    return end == std::string::npos ? std::string() : readme.substr(from + fence.size(), end - from - fence.size());
}

TEST_F(Pellux, TheReadmesPageAndScriptWorkAsWritten)
{
    std::string readme(1 << 16, '\0');
    FILE* f = fopen(WinPath(PX_README).c_str(), "rb");
    ASSERT_TRUE(f);
    readme.resize(fread(readme.data(), 1, readme.size(), f));
    fclose(f);

    // The page's OBJECT element: its class identifier, and its PARAM elements through the control's
    // property bag, in the order of the properties 1 to 4. The info file holds other values, so a
    // name the control does not read shows.
    const std::string page = ReadmeBlock(readme, "html");
    std::smatch id;
    ASSERT_TRUE(std::regex_search(page, id, std::regex("classid=\"clsid:([0-9A-Fa-f-]{36})\""))) << page;
    EXPECT_EQ(W("{" + id[1].str() + "}"), win::com::GuidText(CLSID_Pellux));
    WriteInfo(L"saved.example", L"5000", L"saveduser", L"savedpw", true);
    auto* bag = new testkit::PropertyBag;
    std::vector<std::wstring> values;
    const std::regex param("<param name=\"(\\w+)\" value=\"([^\"]*)\">");
    for (std::sregex_iterator it(page.begin(), page.end(), param), end; it != end; ++it) {
        bag->values[W((*it)[1].str())] = W((*it)[2].str());
        values.push_back(W((*it)[2].str()));
    }
    ASSERT_EQ(values.size(), 4u) << page;
    {
        auto host = Host(nullptr, nullptr, bag);
        ASSERT_TRUE(host);
        for (DISPID member = 1; member <= 4; ++member) {
            std::wstring text;
            EXPECT_EQ(win::dispatch::GetText(host->Dispatch(), member, text), S_OK);
            EXPECT_EQ(text, values[size_t(member) - 1]) << "property " << member;
        }
        EXPECT_EQ(Field(host->View(), kAddress), values[0]);
    }
    EXPECT_EQ(bag->Release(), 0u);

    // The script prints only when SetAddr answers True.
    std::string script, out;
    for (char c : ReadmeBlock(readme, "vbscript"))
        script += c == '\n' ? std::string("\r\n") : std::string(1, c);
    ASSERT_FALSE(script.empty());
    EXPECT_EQ(RunScript(script, out), 0u) << out;
    EXPECT_FALSE(out.empty()) << "SetAddr answered False";
}

} // namespace
