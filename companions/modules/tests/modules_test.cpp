// The module controls as the manager meets them: registered with regsvr32, created by class
// identifier in the foundation's control host, handed a site in the manager's order (the remote
// setup's port as a number, the others' as text), read back, and closed from inside by the real
// pointer on their Close button and by their key. The remote setup against the DVR simulator: what
// the DVR tells it, a refusal, a DVR that does not answer, and closing without waiting.
#include <windows.h>
#include <olectl.h>
#include "BackupIds.h"
#include "Orvmods_h.h"
#include "Programs.h"
#include "TestKit.h"
#include "foundation/ComServer.h"
#include "foundation/ControlHost.h"
#include "foundation/Handles.h"
#include <gtest/gtest.h>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <string>
#include <vector>

namespace {

DWORD Regsvr32(const wchar_t* options)
{
    return testkit::RunAndWait(L"regsvr32.exe /s " + std::wstring(options) + L"\"" + testkit::BesideMe(L"Orvmods.dll") +
                               L"\"");
}

std::wstring RegText(const std::wstring& key)
{
    wchar_t text[512];
    DWORD bytes = sizeof text;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text, &bytes) != ERROR_SUCCESS)
        return L"<missing>";
    return text;
}

bool KeyExists(const std::wstring& key)
{
    win::RegKey k;
    return RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, k.Put()) == ERROR_SUCCESS;
}

HRESULT Put(IDispatch* d, DISPID id, VARIANT value)
{
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS p{&value, &named, 1, 1};
    UINT argErr = 99;
    HRESULT hr = d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &p, nullptr, nullptr, &argErr);
    EXPECT_TRUE(SUCCEEDED(hr) || argErr == 0) << "the refused argument named";
    return hr;
}

VARIANT Number(ULONG n)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_UI4;
    v.ulVal = n;
    return v;
}

std::wstring Received(IDispatch* d)
{
    std::wstring text = L"<failed>";
    win::dispatch::GetText(d, 100, text);
    return text;
}

struct Module {
    const CLSID* clsid;
    const char* name; // of the test case
    const wchar_t* title;
    bool portIsNumber;
};
const Module kModules[] = {{&CLSID_RemoteSetup, "RemoteSetup", L"Remote setup", true},
                           {&CLSID_Backup, "Backup", L"Backup", false},
                           {&CLSID_Player, "Player", L"Player", false},
                           {&CLSID_Search, "Search", L"Search", false}};

void PrintTo(const Module& m, std::ostream* os) { *os << m.name; }

class Host final : public win::ControlHost {
public:
    int closeRequests = 0;

private:
    void OnCloseHost() override { ++closeRequests; }
};

class Orvmods : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(Regsvr32(L""), 0u); }
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr))); }
    void TearDown() override
    {
        testkit::PumpFor(50);
        if (HMODULE dll = GetModuleHandleW(L"Orvmods.dll")) {
            auto canUnload =
                reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
            ASSERT_TRUE(canUnload);
            EXPECT_EQ(canUnload(), S_OK) << "a control outlived its host";
        }
        OleUninitialize();
    }
};

TEST_F(Orvmods, Regsvr32RegistersTheFourControlsSafeForScriptingAndUnregisterRemovesThem)
{
    const std::wstring safe = L"\\Implemented Categories\\{7DD95801-9882-11CF-9FA9-00AA006C42C4}";
    const std::wstring lib = L"TypeLib\\" + win::com::GuidText(LIBID_OrvmodsLib);
    for (const Module& m : kModules) {
        const std::wstring key = L"CLSID\\" + win::com::GuidText(*m.clsid);
        EXPECT_EQ(RegText(key + L"\\InprocServer32"), testkit::BesideMe(L"Orvmods.dll")) << m.name;
        EXPECT_TRUE(KeyExists(key + safe)) << m.name;
        EXPECT_TRUE(KeyExists(RegText(key + L"\\ProgID"))) << m.name;
    }
    EXPECT_TRUE(KeyExists(lib));

    ASSERT_EQ(Regsvr32(L"/u "), 0u);
    for (const Module& m : kModules)
        EXPECT_FALSE(KeyExists(L"CLSID\\" + win::com::GuidText(*m.clsid))) << m.name;
    EXPECT_FALSE(KeyExists(lib));
    ASSERT_EQ(Regsvr32(L""), 0u);
}

class ModuleControl : public Orvmods, public ::testing::WithParamInterface<Module> {};

TEST_P(ModuleControl, TakesTheSiteInTheManagersOrderRefusesAWrongTypeShowsItAndClosesItsHost)
{
    const Module& m = GetParam();
    Host host;
    ASSERT_TRUE(host.Create(nullptr, RECT{40, 40, 720, 500}, WS_POPUP | WS_BORDER | WS_VISIBLE, m.title));
    ASSERT_EQ(host.CreateControl(*m.clsid), S_OK);
    IDispatch* d = host.Dispatch();
    ASSERT_TRUE(d);
    const std::wstring head = std::wstring(m.title) + L" module\r\n";
    EXPECT_EQ(Received(d),
              head +
                  L"Address: (not given)\r\nPort: (not given)\r\nUser: (not given)\r\n"
                  L"Password: (not given)\r\nSetAddr: not called\r\n");
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Port"), const_cast<LPOLESTR>(L"SetAddr")};
    DISPID ids[2] = {};
    ASSERT_EQ(d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &ids[0]), S_OK);
    ASSERT_EQ(d->GetIDsOfNames(IID_NULL, names + 1, 1, LOCALE_USER_DEFAULT, &ids[1]), S_OK);
    EXPECT_EQ(ids[0], 2);
    EXPECT_EQ(ids[1], 5);

    // The manager's order: address, port, user (here by reference, as a script passes it), password.
    win::Variant address = win::Variant::OfText(L"10.1.2.3"), port = win::Variant::OfText(L"8000"),
                 user = win::Variant::OfText(L"admin"), password = win::Variant::OfText(L"secret");
    VARIANT userRef;
    VariantInit(&userRef);
    userRef.vt = VT_BYREF | VT_BSTR;
    userRef.pbstrVal = &user->bstrVal;
    EXPECT_EQ(Put(d, 1, *address.Get()), S_OK);
    EXPECT_EQ(Put(d, 2, m.portIsNumber ? Number(8000) : *port.Get()), S_OK);
    EXPECT_EQ(Put(d, 3, userRef), S_OK);
    EXPECT_EQ(Put(d, 4, *password.Get()), S_OK);
    // Refused, keeping what came before: the port in the other type, a number for the address.
    EXPECT_EQ(Put(d, 2, m.portIsNumber ? *port.Get() : Number(9000)), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Put(d, 1, Number(1)), DISP_E_TYPEMISMATCH);
    win::Variant answer;
    ASSERT_EQ(win::dispatch::Call(d, 5, answer.Put()), S_OK);
    EXPECT_EQ(answer->vt, VT_BOOL);
    EXPECT_EQ(answer->boolVal, VARIANT_TRUE);
    const std::wstring portLine = m.portIsNumber ? L"Port: 8000 (VT_UI4)\r\n" : L"Port: 8000 (VT_BSTR)\r\n";
    EXPECT_EQ(Received(d),
              head + L"Address: 10.1.2.3\r\n" + portLine +
                  L"User: admin\r\nPassword: 6 characters\r\nSetAddr: called 1 time(s), answered TRUE\r\n");

    const HWND control = host.ControlWindow();
    ASSERT_TRUE(control && GetParent(control) == host.Hwnd());
    UpdateWindow(control);
    if (m.portIsNumber) {
        EXPECT_FALSE(testkit::Screenshot("orvmods_remote_setup").empty());
        // The remote setup in the viewer's look: black, with the site's lines in white.
        RECT c{};
        GetClientRect(control, &c);
        HDC screen = GetDC(control);
        HDC mem = CreateCompatibleDC(screen);
        HBITMAP bmp = CreateCompatibleBitmap(screen, c.right, c.bottom);
        HGDIOBJ old = SelectObject(mem, bmp);
        BitBlt(mem, 0, 0, c.right, c.bottom, screen, 0, 0, SRCCOPY);
        int black = 0, white = 0;
        for (int y = 0; y < c.bottom; y += 2)
            for (int x = 0; x < c.right; x += 2) {
                const COLORREF p = GetPixel(mem, x, y);
                black += p == RGB(0, 0, 0);
                white += p == RGB(255, 255, 255);
            }
        SelectObject(mem, old);
        DeleteObject(bmp);
        DeleteDC(mem);
        ReleaseDC(control, screen);
        EXPECT_GT(black, c.right * c.bottom / 4 / 2) << "mostly black";
        EXPECT_GT(white, 100) << "text in white";
    }

    // The real pointer on the Close button, then F8 with the focus on the button.
    const HWND button = GetDlgItem(control, 1001);
    ASSERT_TRUE(button);
    RECT r{};
    GetWindowRect(button, &r);
    ASSERT_TRUE(testkit::RunUnixAndWait("xdotool mousemove " + std::to_string((r.left + r.right) / 2) + " " +
                                        std::to_string((r.top + r.bottom) / 2) + " click 1"));
    EXPECT_TRUE(testkit::PumpUntil([&] { return host.closeRequests == 1; }, 5000)) << "the Close button";
    ASSERT_TRUE(testkit::RunUnixAndWait("xdotool key F8"));
    EXPECT_TRUE(testkit::PumpUntil([&] { return host.closeRequests == 2; }, 5000)) << "the close key";

    host.DestroyControl();
}

INSTANTIATE_TEST_SUITE_P(All, ModuleControl, ::testing::ValuesIn(kModules),
                         [](const ::testing::TestParamInfo<Module>& info) { return std::string(info.param.name); });

} // namespace

// ---- the backup control against a real store ----
namespace {

const std::string kWork = PX_WORK_DIR;
std::wstring g_target; // what the folder chooser answers for the target folder

BOOL WINAPI ChooseForTest(int which, wchar_t* path, UINT chars)
{
    const std::wstring p = which == 0 ? testkit::W(testkit::WinPath(kWork + "/store")) : g_target;
    if (p.size() >= chars)
        return FALSE;
    wcscpy(path, p.c_str());
    return TRUE;
}

std::wstring ItemText(HWND control, int id)
{
    wchar_t text[512] = {};
    GetWindowTextW(GetDlgItem(control, id), text, 512);
    return text;
}

std::string UnixFileText(const std::string& unixPath)
{
    std::string text;
    if (FILE* f = _wfopen(testkit::W(testkit::WinPath(unixPath)).c_str(), L"rb")) {
        char buf[4096];
        for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;)
            text.append(buf, n);
        fclose(f);
    }
    return text;
}

bool Checked(HWND control, int camera)
{
    return SendMessageW(GetDlgItem(control, CBackupIds::kFirstCamera + camera), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void ClickAt(HWND item)
{
    RECT r{};
    GetWindowRect(item, &r);
    ASSERT_TRUE(testkit::RunUnixAndWait("xdotool mousemove " + std::to_string(r.left + 8) + " " +
                                        std::to_string((r.top + r.bottom) / 2) + " click 1"));
}

} // namespace

TEST_F(Orvmods, BackupExportsTheChosenCamerasToFilesAPlayerReadsWithAManifestAndACancelKeepsNothing)
{
    const std::string dvrtool = std::string(PX_NATIVE_TREE) + "/bin/dvrtool";
    ASSERT_TRUE(testkit::RunUnixAndWait("rm -rf " + kWork + " && mkdir -p " + kWork + "/out " + kWork + "/cancel " + kWork + "/closed && " +
                                            dvrtool + " sample-store --store " + kWork +
                                            "/store --address 10.0.0.5 --port 50000 --cameras 1,3 --seconds 20 > " +
                                            kWork + "/sample.txt 2>&1",
                                        30000));
    ASSERT_NE(UnixFileText(kWork + "/sample.txt").find("1200 pictures"), std::string::npos)
        << UnixFileText(kWork + "/sample.txt");

    Host host;
    ASSERT_TRUE(host.Create(nullptr, RECT{20, 20, 680, 460}, WS_POPUP | WS_BORDER | WS_VISIBLE, L"Backup"));
    ASSERT_EQ(host.CreateControl(CLSID_Backup), S_OK);
    auto setChooser = reinterpret_cast<void(WINAPI*)(BOOL(WINAPI*)(int, wchar_t*, UINT))>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"Orvmods.dll"), "OrvmodsSetFolderChooser")));
    ASSERT_TRUE(setChooser);
    setChooser(ChooseForTest);
    IDispatch* d = host.Dispatch();
    win::Variant address = win::Variant::OfText(L"10.0.0.5"), port = win::Variant::OfText(L"50000"),
                 user = win::Variant::OfText(L"admin"), password = win::Variant::OfText(L"1234");
    ASSERT_EQ(Put(d, 1, *address.Get()), S_OK);
    ASSERT_EQ(Put(d, 2, *port.Get()), S_OK);
    ASSERT_EQ(Put(d, 3, *user.Get()), S_OK);
    ASSERT_EQ(Put(d, 4, *password.Get()), S_OK);
    win::Variant answer;
    ASSERT_EQ(win::dispatch::Call(d, 5, answer.Put()), S_OK);
    const HWND control = host.ControlWindow();
    ASSERT_TRUE(control);

    // The person's Videos folder holds no recordings here: the recordings folder is chosen.
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(control, CBackupIds::kExportButton)));
    SendMessageW(GetDlgItem(control, CBackupIds::kRecordingsButton), BM_CLICK, 0, 0);
    for (int c = 0; c < 16; ++c) {
        const bool recorded = c == 0 || c == 2;
        EXPECT_EQ(IsWindowEnabled(GetDlgItem(control, CBackupIds::kFirstCamera + c)) != FALSE, recorded) << c;
        EXPECT_EQ(Checked(control, c), recorded) << c;
    }
    // The focus moves into the control's own items as the manager's WM_NEXTDLGCTL moves it.
    const HWND first = GetNextDlgTabItem(host.Hwnd(), nullptr, FALSE);
    EXPECT_TRUE(first && GetParent(first) == control);

    // The real pointer takes camera 3 out and back: the size follows.
    const std::wstring both = ItemText(control, CBackupIds::kSize);
    ClickAt(GetDlgItem(control, CBackupIds::kFirstCamera + 2));
    EXPECT_TRUE(testkit::PumpUntil([&] { return !Checked(control, 2); }, 5000));
    const std::wstring one = ItemText(control, CBackupIds::kSize);
    ClickAt(GetDlgItem(control, CBackupIds::kFirstCamera + 2));
    EXPECT_TRUE(testkit::PumpUntil([&] { return Checked(control, 2); }, 5000));
    EXPECT_NE(one, both);
    EXPECT_EQ(ItemText(control, CBackupIds::kSize), both);

    g_target = testkit::W(testkit::WinPath(kWork + "/out"));
    SendMessageW(GetDlgItem(control, CBackupIds::kFolderButton), BM_CLICK, 0, 0);
    EXPECT_NE(ItemText(control, CBackupIds::kSize).find(L"free there"), std::wstring::npos);
    ASSERT_TRUE(IsWindowEnabled(GetDlgItem(control, CBackupIds::kExportButton)));
    SendMessageW(GetDlgItem(control, CBackupIds::kExportButton), BM_CLICK, 0, 0);
    ASSERT_TRUE(testkit::PumpUntil([&] { return ItemText(control, CBackupIds::kStatus).rfind(L"Done", 0) == 0; }, 20000))
        << ItemText(control, CBackupIds::kStatus);
    UpdateWindow(control);
    EXPECT_FALSE(testkit::Screenshot("orvmods_backup").empty());

    // Each camera's 20 s of pictures, every one of them, and a manifest that verifies.
    ASSERT_TRUE(testkit::RunUnixAndWait("cd " + kWork + "/out && for f in *-cam*.avi; do ffprobe -v error -count_frames "
                                        "-select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 $f; done > " +
                                            kWork + "/probe.txt 2>&1; " + dvrtool + " verify *-manifest.txt > " + kWork +
                                            "/verify.txt 2>&1",
                                        30000));
    EXPECT_EQ(UnixFileText(kWork + "/probe.txt"), "600\n600\n");
    EXPECT_NE(UnixFileText(kWork + "/verify.txt").find("all 4 files match"), std::string::npos)
        << UnixFileText(kWork + "/verify.txt");

    // Cancelled at once: nothing of it stays in the folder.
    g_target = testkit::W(testkit::WinPath(kWork + "/cancel"));
    SendMessageW(GetDlgItem(control, CBackupIds::kFolderButton), BM_CLICK, 0, 0);
    SendMessageW(GetDlgItem(control, CBackupIds::kExportButton), BM_CLICK, 0, 0);
    SendMessageW(GetDlgItem(control, CBackupIds::kCancelButton), BM_CLICK, 0, 0);
    ASSERT_TRUE(testkit::PumpUntil(
        [&] { return ItemText(control, CBackupIds::kStatus).rfind(L"Cancelled", 0) == 0; }, 20000));
    int left = 0;
    WIN32_FIND_DATAW found;
    const HANDLE h = FindFirstFileW((g_target + L"\\*").c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
        do
            left += found.cFileName[0] != L'.';
        while (FindNextFileW(h, &found));
        FindClose(h);
    }
    EXPECT_EQ(left, 0);

    // Closed mid-export: the worker cancels by itself and the module stays loaded until it has
    // ended. Then nothing is left half written: no file at all, or (when it had finished just
    // before the close) every file, matching its manifest.
    g_target = testkit::W(testkit::WinPath(kWork + "/closed"));
    SendMessageW(GetDlgItem(control, CBackupIds::kFolderButton), BM_CLICK, 0, 0);
    SendMessageW(GetDlgItem(control, CBackupIds::kExportButton), BM_CLICK, 0, 0);
    testkit::PumpUntil([&] { return SendMessageW(GetDlgItem(control, CBackupIds::kProgress), PBM_GETPOS, 0, 0) > 0; }, 5000);
    setChooser(nullptr);
    host.DestroyControl();
    auto canUnload = reinterpret_cast<HRESULT(WINAPI*)()>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"Orvmods.dll"), "DllCanUnloadNow")));
    ASSERT_TRUE(canUnload);
    ASSERT_TRUE(testkit::PumpUntil([&] { return canUnload() == S_OK; }, 20000)) << "the worker never ended";
    ASSERT_TRUE(testkit::RunUnixAndWait("cd " + kWork + "/closed && ls > " + kWork + "/closed.txt; " + dvrtool +
                                            " verify *-manifest.txt >> " + kWork + "/closed.txt 2>&1",
                                        30000));
    const std::string closed = UnixFileText(kWork + "/closed.txt");
    EXPECT_EQ(closed.find(".part"), std::string::npos) << closed;
    if (closed.find(".avi") != std::string::npos)
        EXPECT_NE(closed.find("all 4 files match"), std::string::npos) << closed;
    std::printf("closed mid-export: %s\n",
                closed.find(".avi") == std::string::npos ? "nothing kept" : "the export had finished, all kept");
}

// ---- the remote setup against the DVR simulator ----
namespace {

std::wstring DvrInfo(IDispatch* d)
{
    std::wstring text = L"<failed>";
    win::dispatch::GetText(d, 101, text);
    return text;
}

// The value after "LABEL: " on its line, or "" when there is no such line.
std::wstring InfoLine(const std::wstring& info, const std::wstring& label)
{
    const size_t at = info.find(label + L": ");
    if (at == std::wstring::npos)
        return {};
    const size_t from = at + label.size() + 2;
    return info.substr(from, info.find(L"\r\n", from) - from);
}

// The number before `unit` in `text` (e.g. "30" of "352 x 240, 30 frames/s"), or -1.
int NumberBefore(const std::wstring& text, const wchar_t* unit)
{
    const size_t end = text.find(unit);
    if (end == std::wstring::npos)
        return -1;
    size_t begin = end;
    while (begin > 0 && iswdigit(text[begin - 1]))
        --begin;
    return begin < end ? _wtoi(text.substr(begin, end - begin).c_str()) : -1;
}

// The simulator's decoded log (--log): every command code it received.
std::vector<int> CommandsReceived(const std::string& logPath)
{
    std::vector<int> codes;
    const std::string log = UnixFileText(logPath);
    for (size_t at = log.find(" cmd "); at != std::string::npos; at = log.find(" cmd ", at + 5))
        codes.push_back(atoi(log.c_str() + at + 5));
    return codes;
}

// Hands the control a site as the manager does; SetAddr only when `take`.
void HandSite(IDispatch* d, int port, const wchar_t* user, bool take, const wchar_t* host = L"127.0.0.1")
{
    win::Variant address = win::Variant::OfText(host), id = win::Variant::OfText(user),
                 password = win::Variant::OfText(L"1111");
    ASSERT_EQ(Put(d, 1, *address.Get()), S_OK);
    ASSERT_EQ(Put(d, 2, Number(static_cast<ULONG>(port))), S_OK);
    ASSERT_EQ(Put(d, 3, *id.Get()), S_OK);
    ASSERT_EQ(Put(d, 4, *password.Get()), S_OK);
    if (take) {
        win::Variant answer;
        ASSERT_EQ(win::dispatch::Call(d, 5, answer.Put()), S_OK);
    }
}

// Closing the control with a connection in any state must not wait for the DVR.
DWORD MillisecondsToClose(Host& host)
{
    const DWORD start = GetTickCount();
    host.DestroyControl();
    return GetTickCount() - start;
}

// The test's own sockets (free ports, the simulator's readiness) need Winsock.
class RemoteSetupDvr : public Orvmods {
protected:
    void SetUp() override
    {
        Orvmods::SetUp();
        WSADATA wsa;
        ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa), 0);
    }
    void TearDown() override
    {
        WSACleanup();
        Orvmods::TearDown();
    }
};

} // namespace

TEST_F(RemoteSetupDvr, ShowsTheDvrsChannelsCamerasAndTimeThroughTheViewersConnection)
{
    const int port = testkit::FreePort();
    const std::string commands = kWork + "/remote-setup-commands.log";
    ASSERT_TRUE(testkit::RunUnixAndWait("mkdir -p " + kWork + " && rm -f " + commands));
    testkit::Simulator sim("remote_setup_dvr");
    ASSERT_TRUE(sim.Start(port, "--channels 4 --video cif half --video-zone 2 --no-audio --log " + commands));
    Host host;
    ASSERT_TRUE(host.Create(nullptr, RECT{20, 20, 900, 700}, WS_POPUP | WS_BORDER | WS_VISIBLE, L"Remote setup"));
    ASSERT_EQ(host.CreateControl(CLSID_RemoteSetup), S_OK);
    IDispatch* d = host.Dispatch();
    ASSERT_TRUE(d);

    // The site alone starts nothing: only SetAddr does.
    HandSite(d, port, L"admin", false);
    testkit::PumpFor(500);
    EXPECT_EQ(InfoLine(DvrInfo(d), L"Connection"), L"Not connected");
    EXPECT_TRUE(CommandsReceived(commands).empty());
    ASSERT_EQ(win::dispatch::Call(d, 5, nullptr), S_OK);

    // Channel 1 is CIF and channel 2 half D1, both at 30 frames a second; the DVR's zone is Hawaii.
    std::wstring info;
    const bool flowing = testkit::PumpUntil(
        [&] {
            info = DvrInfo(d);
            const int fps = NumberBefore(InfoLine(info, L"Camera 1"), L" frames/s");
            return fps >= 25 && !InfoLine(info, L"Camera 2").empty();
        },
        30000, testkit::Check::EachWake);
    ASSERT_TRUE(flowing) << std::string(info.begin(), info.end());
    EXPECT_EQ(InfoLine(info, L"Connection"), L"Logged in");
    EXPECT_EQ(InfoLine(info, L"Rights"), L"login accepted; live view of every channel");
    EXPECT_EQ(InfoLine(info, L"Channels"), L"4");
    const std::wstring camera1 = InfoLine(info, L"Camera 1"), camera2 = InfoLine(info, L"Camera 2");
    EXPECT_EQ(camera1.rfind(L"352 x 240, ", 0), 0u) << std::string(camera1.begin(), camera1.end());
    EXPECT_EQ(camera2.rfind(L"704 x 240, ", 0), 0u) << std::string(camera2.begin(), camera2.end());
    EXPECT_LE(NumberBefore(camera1, L" frames/s"), 31);
    EXPECT_GT(NumberBefore(camera1, L" kbit/s"), 0);

    // The DVR's clock: universal time less Hawaii's ten hours, as the viewer converts it.
    const std::wstring time = InfoLine(info, L"DVR time");
    SYSTEMTIME shown{};
    ASSERT_EQ(swscanf(time.c_str(), L"%hu-%hu-%hu %hu:%hu:%hu", &shown.wYear, &shown.wMonth, &shown.wDay, &shown.wHour,
                      &shown.wMinute, &shown.wSecond),
              6)
        << std::string(time.begin(), time.end());
    EXPECT_NE(time.find(L", (GMT-10:00) Hawaii"), std::wstring::npos);
    FILETIME shownFile{}, nowFile{};
    ASSERT_TRUE(SystemTimeToFileTime(&shown, &shownFile));
    GetSystemTimeAsFileTime(&nowFile);
    auto seconds = [](const FILETIME& f) {
        return static_cast<int64_t>((static_cast<uint64_t>(f.dwHighDateTime) << 32 | f.dwLowDateTime) / 10000000);
    };
    EXPECT_LT(std::llabs(seconds(nowFile) - 10 * 3600 - seconds(shownFile)), 30);

    // What Orvex handed stays; the screen shows both.
    EXPECT_NE(Received(d).find(L"Address: 127.0.0.1\r\n"), std::wstring::npos);
    UpdateWindow(host.ControlWindow());
    EXPECT_FALSE(testkit::Screenshot("orvmods_remote_setup_dvr").empty());

    EXPECT_LT(MillisecondsToClose(host), 1000u);
    // Only what the viewer sends: the login, the channel request, picture polls, stream requests and
    // the configuration answer.
    const std::vector<int> codes = CommandsReceived(commands);
    EXPECT_FALSE(codes.empty());
    for (int code : codes)
        EXPECT_TRUE(code == 1 || code == 2 || code == 51 || code == 82 || code == 138) << "command " << code;
}

TEST_F(RemoteSetupDvr, SaysWhenTheDvrRefusesOrDoesNotAnswerAndClosesAtOnce)
{
    const struct {
        const char* options;
        bool accepts;
        const wchar_t* says;
        const wchar_t* channels;
        const wchar_t* host = L"127.0.0.1";
    } cases[] = {
        // The refusal still states the DVR's channels.
        {"--refuse-logins", true, L"The DVR refused the login: wrong ID or password", L"16"},
        {"--hang-connects", false, L"No answer from the DVR", L"-"}, // connect attempts hang, unanswered
        {"--silent", true, L"No answer from the DVR", L"-"}, // connected, but it never asks for the login
        {"", true, L"No answer from the DVR", L"-", L"dvr.invalid"}, // a name no look-up finds
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        const int port = testkit::FreePort();
        testkit::Simulator sim("remote_setup_fault");
        ASSERT_TRUE(sim.Start(port, c.options, c.accepts));
        Host host;
        ASSERT_TRUE(host.Create(nullptr, RECT{20, 20, 900, 700}, WS_POPUP | WS_BORDER | WS_VISIBLE, L"Remote setup"));
        ASSERT_EQ(host.CreateControl(CLSID_RemoteSetup), S_OK);
        IDispatch* d = host.Dispatch();
        HandSite(d, port, L"admin", true, c.host);
        std::wstring info;
        EXPECT_TRUE(testkit::PumpUntil([&] { return InfoLine(info = DvrInfo(d), L"Connection") == c.says; }, 15000))
            << std::string(info.begin(), info.end());
        EXPECT_EQ(InfoLine(info, L"Channels"), c.channels);
        EXPECT_NE(Received(d).find(L"SetAddr: called 1 time(s), answered TRUE"), std::wstring::npos);
        EXPECT_LT(MillisecondsToClose(host), 1000u);
    }
}
