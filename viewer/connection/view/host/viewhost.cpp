// viewhost: the viewer's main view in a window of its own, until the control shell hosts it.
//   viewhost [--address A] [--port N] [--user ID] [--password PW] [--connect]
//            [--log FILE] [--exit-after SECONDS]
// --log appends each new status line to FILE (UTF-8) as it appears; --exit-after sends the Exit
// command after that many seconds.
#include "ViewHost.h"
#include "ViewSkinLink.h"
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>

namespace {

struct Options {
    std::wstring address, port = L"50000", user, password, logPath;
    bool connect = false;
    double exitAfter = 0;
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
        if (a == L"--address" ? value(o.address)
            : a == L"--port"  ? value(o.port)
            : a == L"--user"  ? value(o.user)
            : a == L"--password" ? value(o.password)
            : a == L"--log"   ? value(o.logPath)
            : false)
            continue;
        if (a == L"--connect") {
            o.connect = true;
            continue;
        }
        if (a == L"--exit-after" && value(seconds)) {
            o.exitAfter = _wtof(seconds.c_str());
            continue;
        }
        fwprintf(stderr, L"viewhost: unknown or incomplete option %ls\n", a.c_str());
        return false;
    }
    return true;
}

view::ViewHost* g_host = nullptr;
FILE* g_log = nullptr;
size_t g_logged = 0;

void CALLBACK CopyNewLines(HWND, UINT, UINT_PTR, DWORD)
{
    view::DVRScreenView* v = g_host ? g_host->View() : nullptr;
    if (!v || !g_log)
        return;
    auto lines = v->StatusLines();
    for (; g_logged < lines.size(); ++g_logged) {
        const std::wstring& w = lines[g_logged];
        int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
        std::string u(static_cast<size_t>(n > 0 ? n : 0), '\0');
        if (n > 0)
            WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), u.data(), n, nullptr, nullptr);
        fprintf(g_log, "%s\n", u.c_str());
    }
    fflush(g_log);
}

void CALLBACK ExitNow(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    if (g_host)
        g_host->Command(view::kCmdExit);
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

    view::ViewPartsConfig parts;
    parts.live = true; // display, decode threads and sound devices of the view's own
    std::unique_ptr<view::ViewHost> host(view::ViewHost::Create(view::LinkedViewSkin(), L"DVR Web Viewer", parts));
    if (!host)
        return 1;
    g_host = host.get();
    if (!o.logPath.empty()) {
        g_log = _wfopen(o.logPath.c_str(), L"ab");
        SetTimer(nullptr, 0, 100, CopyNewLines);
    }
    if (!o.address.empty() || !o.user.empty())
        host->SetAddress(o.address, o.port, o.user, o.password);
    if (o.connect)
        host->Command(view::kCmdConnect);
    if (o.exitAfter > 0)
        SetTimer(nullptr, 0, static_cast<UINT>(o.exitAfter * 1000), ExitNow);

    MSG msg;
    while (!host->Closed() && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    CopyNewLines(nullptr, 0, 0, 0);
    g_host = nullptr;
    if (g_log)
        fclose(g_log);
    return 0;
}
