// viewhost: a thin container of the Pellux control, in a window of its own.
//   viewhost [--address A] [--port N] [--user ID] [--password PW] [--connect]
//            [--log FILE] [--exit-after SECONDS] [--exit-when FILE] [--stats FILE] [--wake-on-stop] [--no-audio-trim]
//            [--enable-audio] [--scale-under-lock] [--zoom-all FACTOR] [--record SECONDS]
// The control is created by its class identifier; when it is not registered, from the Pellux.dll
// beside this program. The four values go to the control's properties 1 to 4 and its SetAddr, as the
// manager's module dialogs do. --connect and --exit-after press the view's Connect and Exit;
// --exit-when presses Exit once FILE exists (a script's "done", whatever its steps took); --log
// appends each new status line to FILE (UTF-8) as it appears; --stats makes the control append a line
// of live-video figures every second; --wake-on-stop makes the decode threads sleep in timed waits
// (the former idle wait, for comparisons); --no-audio-trim leaves the live audio queue untrimmed;
// --enable-audio ticks "Enable Audio" in the stored settings before the view starts;
// --scale-under-lock makes the display stretch pictures with the halftone stretch under its lock;
// --zoom-all zooms every division by FACTOR around its middle (the digital zoom's cost).
// --record presses Ctrl+R in the view SECONDS after the start (the view's own key handler, with the
// keyboard state of this thread showing Ctrl down): recording's cost in the live benchmark.
#include <windows.h>
#include "Pellux_h.h"
#include "PelluxLive.h"
#include "ViewSetupFile.h"
#include "foundation/ComPtr.h"
#include "foundation/ControlHost.h"
#include "foundation/Handles.h"
#include "foundation/MessageLoop.h"
#include "foundation/Messages.h"
#include "foundation/Module.h"
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

constexpr int kViewPane = 0xE900, kStatusLog = 211;
constexpr WPARAM kCmdConnect = 1, kCmdExit = 46;

struct Options {
    std::wstring address, port = L"50000", user, password, logPath, statsPath, exitWhen;
    bool connect = false, wakeOnStop = false, noAudioTrim = false, enableAudio = false, scaleUnderLock = false;
    double exitAfter = 0, zoomAll = 1, recordAfter = 0;
};

bool Parse(int argc, wchar_t** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        std::wstring a = argv[i];
        auto value = [&](std::wstring& out) {
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        std::wstring seconds;
        if (a == L"--address"        ? value(o.address)
                : a == L"--port"     ? value(o.port)
                : a == L"--user"     ? value(o.user)
                : a == L"--password" ? value(o.password)
                : a == L"--log"      ? value(o.logPath)
                : a == L"--stats"    ? value(o.statsPath)
                : a == L"--exit-when" ? value(o.exitWhen)
                                     : false)
            continue;
        bool* flag = a == L"--connect"   ? &o.connect
            : a == L"--enable-audio"     ? &o.enableAudio
            : a == L"--no-audio-trim"    ? &o.noAudioTrim
            : a == L"--scale-under-lock" ? &o.scaleUnderLock
            : a == L"--wake-on-stop"     ? &o.wakeOnStop
                                         : nullptr;
        if (flag) {
            *flag = true;
            continue;
        }
        if (a == L"--exit-after" && value(seconds)) {
            o.exitAfter = _wtof(seconds.c_str());
            continue;
        }
        if (a == L"--record" && value(seconds)) {
            o.recordAfter = _wtof(seconds.c_str());
            continue;
        }
        if (a == L"--zoom-all" && value(seconds)) {
            o.zoomAll = _wtof(seconds.c_str());
            continue;
        }
        fwprintf(stderr, L"viewhost: unknown or incomplete option %ls\n", a.c_str());
        return false;
    }
    return true;
}

// The container window: it closes when the control asks (the view's Exit).
class Host final : public win::ControlHost {
public:
    bool closed = false;

private:
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override
    {
        if (msg == WM_CLOSE) {
            DestroyWindow(Hwnd());
            return 0;
        }
        if (msg == WM_NCDESTROY)
            closed = true;
        return ControlHost::OnMessage(msg, wp, lp);
    }
};

// The control: registered, or else from the Pellux.dll beside this program.
HRESULT MakeControl(win::ComPtr<IUnknown>& control, win::Library& dll)
{
    HRESULT hr = CoCreateInstance(CLSID_Pellux, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, control.PutVoid());
    if (hr != REGDB_E_CLASSNOTREG)
        return hr;
    const std::wstring file = win::ModuleFolder(nullptr) + L"Pellux.dll";
    dll.Attach(LoadLibraryExW(file.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    auto get = dll ? reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(
                         reinterpret_cast<void*>(GetProcAddress(dll.Get(), "DllGetClassObject")))
                   : nullptr;
    if (!get)
        return REGDB_E_CLASSNOTREG;
    win::ComPtr<IClassFactory> factory;
    if (FAILED(hr = get(CLSID_Pellux, IID_IClassFactory, factory.PutVoid())))
        return hr;
    return factory->CreateInstance(nullptr, IID_IUnknown, control.PutVoid());
}

HWND g_view = nullptr; // not ours: the control's view
FILE* g_log = nullptr;
size_t g_logged = 0;

void CopyNewLines()
{
    HWND log = g_view ? GetDlgItem(g_view, kStatusLog) : nullptr;
    if (!log || !g_log)
        return;
    const LRESULT count = SendMessageW(log, LB_GETCOUNT, 0, 0);
    for (; count > 0 && g_logged < static_cast<size_t>(count); ++g_logged) {
        const LRESULT len = SendMessageW(log, LB_GETTEXTLEN, g_logged, 0);
        std::wstring w(static_cast<size_t>(len > 0 ? len : 0) + 1, L'\0');
        const LRESULT got = len >= 0 ? SendMessageW(log, LB_GETTEXT, g_logged, reinterpret_cast<LPARAM>(w.data())) : 0;
        w.resize(static_cast<size_t>(got > 0 ? got : 0));
        int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
        std::string u(static_cast<size_t>(n > 0 ? n : 0), '\0');
        if (n > 0)
            WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), u.data(), n, nullptr, nullptr);
        fprintf(g_log, "%s\n", u.c_str());
    }
    fflush(g_log);
}

void CALLBACK CopyNewLinesTimer(HWND, UINT, UINT_PTR, DWORD) { CopyNewLines(); }

void CALLBACK ExitNow(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    if (g_view)
        PostMessageW(g_view, WM_VIEW_COMMAND, kCmdExit, 0);
}

std::wstring g_exitWhen;

void CALLBACK PressCtrlR(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    if (!g_view)
        return;
    BYTE keys[256] = {}, held[256] = {};
    GetKeyboardState(keys);
    memcpy(held, keys, sizeof keys);
    held[VK_CONTROL] = held[VK_LCONTROL] = 0x80;
    SetKeyboardState(held);
    MSG msg{g_view, WM_KEYDOWN, 'R', 1, static_cast<DWORD>(GetMessageTime()), {}};
    if (!win::MessageLoop::PreTranslate(&msg))
        DispatchMessageW(&msg);
    SetKeyboardState(keys);
}

void CALLBACK ExitWhenFileExists(HWND, UINT, UINT_PTR id, DWORD)
{
    if (GetFileAttributesW(g_exitWhen.c_str()) != INVALID_FILE_ATTRIBUTES)
        ExitNow(nullptr, 0, id, 0);
}

int Run(const Options& o)
{
    win::Library dll; // the control's module when it was not registered; freed after the control
    Host host;
    RECT r{20, 20, 20 + 900, 20 + 700};
    if (!host.Create(nullptr, r, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, L"DVR Web Viewer"))
        return 1;
    win::ComPtr<IUnknown> object;
    if (FAILED(MakeControl(object, dll)))
        return 1;
    // The window takes the control's natural size.
    win::ComPtr<IOleObject> ole;
    SIZEL extent{};
    if (SUCCEEDED(object.As(ole)) && SUCCEEDED(ole->GetExtent(DVASPECT_CONTENT, &extent))) {
        HDC screen = GetDC(nullptr);
        RECT client{0, 0, MulDiv(extent.cx, GetDeviceCaps(screen, LOGPIXELSX), 2540),
                    MulDiv(extent.cy, GetDeviceCaps(screen, LOGPIXELSY), 2540)};
        ReleaseDC(nullptr, screen);
        AdjustWindowRect(&client, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, FALSE);
        SetWindowPos(host.Hwnd(), nullptr, 0, 0, client.right - client.left, client.bottom - client.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ole.Release();
    if (FAILED(host.HostControl(object.Get())))
        return 1;
    object.Release();
    g_view = GetDlgItem(host.ControlWindow(), kViewPane);
    if (!g_view)
        return 1;
    ShowWindow(host.Hwnd(), SW_SHOW);
    UpdateWindow(host.Hwnd());

    if (!o.address.empty() || !o.user.empty()) {
        IDispatch* d = host.Dispatch();
        const std::wstring* values[] = {&o.address, &o.port, &o.user, &o.password};
        for (DISPID id = 1; id <= 4; ++id)
            win::dispatch::PutText(d, id, *values[id - 1]);
        win::dispatch::Call(d, 5);
    }
    win::ComPtr<IPelluxLive> live;
    if (host.Control())
        host.Control()->QueryInterface(__uuidof(IPelluxLive), live.PutVoid());
    if (o.wakeOnStop && live)
        live->SetWakeOnStop(TRUE);
    if (o.noAudioTrim && live)
        live->SetAudioQueueTrim(FALSE);
    if (o.scaleUnderLock && live)
        live->SetScaleOutsideLock(FALSE);
    if (o.zoomAll > 1 && live)
        live->SetZoomAll(o.zoomAll);
    if (!o.statsPath.empty() && live)
        live->WriteFigures(o.statsPath.c_str());
    live.Release();
    if (!o.logPath.empty()) {
        g_log = _wfopen(o.logPath.c_str(), L"ab");
        SetTimer(nullptr, 0, 100, CopyNewLinesTimer);
    }
    if (o.connect)
        PostMessageW(g_view, WM_VIEW_COMMAND, kCmdConnect, 0);
    if (o.exitAfter > 0)
        SetTimer(nullptr, 0, static_cast<UINT>(o.exitAfter * 1000), ExitNow);
    if (o.recordAfter > 0)
        SetTimer(nullptr, 0, static_cast<UINT>(o.recordAfter * 1000), PressCtrlR);
    if (!o.exitWhen.empty()) {
        g_exitWhen = o.exitWhen;
        SetTimer(nullptr, 0, 100, ExitWhenFileExists);
    }

    MSG msg;
    while (!host.closed && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (win::MessageLoop::PreTranslate(&msg)) // the control host is in the chain
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        // The status log goes with the view: copy its last lines while it is there.
        if (msg.message == WM_VIEW_COMMAND || msg.message == WM_CLOSE_HOST)
            CopyNewLines();
    }
    g_view = nullptr;
    if (g_log)
        fclose(g_log);
    return 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    Options o;
    if (!argv || !Parse(argc, argv, o))
        return 2;
    LocalFree(argv);
    if (o.enableAudio) {
        // The view reads "Enable Audio" from the stored settings at login; unticked, received audio
        // is dropped and pictures do not wait for it.
        settings::ViewSetupRecord r;
        settings::LoadViewSetup(settings::kViewSetupPath, settings::kChannels, r);
        r.audioChoice = 1;
        if (!settings::SaveViewSetup(settings::kViewSetupPath, r))
            return 1;
    }
    if (FAILED(OleInitialize(nullptr)))
        return 1;
    int code = Run(o);
    OleUninitialize();
    return code;
}
