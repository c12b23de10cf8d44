#include "TestKit.h"
#include "foundation/Dib.h"
#include "foundation/Handles.h"
#include "foundation/MessageLoop.h"
#include "foundation/Module.h"
#include <cstdio>

namespace {
std::mutex g_traceLock;
std::vector<std::wstring>* g_trace = nullptr; // the live capture's lines
} // namespace

// Every module's trace reaches this sink (win/Trace.h looks the program's export up by name).
extern "C" __declspec(dllexport) void __cdecl PxTraceSink(const wchar_t* line)
{
    std::lock_guard<std::mutex> hold(g_traceLock);
    if (g_trace)
        g_trace->emplace_back(line);
}

namespace testkit {

bool PumpUntil(const std::function<bool()>& done, DWORD ms, Check check)
{
    DWORD start = GetTickCount();
    MSG msg;
    while (!done()) {
        if (GetTickCount() - start >= ms)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT);
        while ((check == Check::EachWake || !done()) && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (win::MessageLoop::PreTranslate(&msg))
                continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

void PumpFor(DWORD ms)
{
    PumpUntil([] { return false; }, ms);
}

RecorderWindow::RecorderWindow(UINT first, UINT last, HWND parent, bool visible, int width, int height)
    : first_(first), last_(last)
{
    static const bool registered = win::RegisterModuleClass(ClassOf(L"PxTestRecorder"));
    if (registered)
        CreateEx(0, L"PxTestRecorder", L"recorder", (visible ? WS_VISIBLE : 0) | WS_POPUP | WS_CLIPCHILDREN, 0, 0,
                 width, height, parent, 0);
}

size_t RecorderWindow::Count(UINT msg) const
{
    size_t n = 0;
    for (const Seen& s : seen)
        n += s.msg == msg;
    return n;
}

LRESULT RecorderWindow::OnMessage(UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg < first_ || msg > last_)
        return Default(msg, wp, lp);
    seen.push_back({msg, wp, lp});
    return onMessage ? onMessage(msg, wp, lp) : 0;
}

TraceCapture::TraceCapture()
{
    std::lock_guard<std::mutex> hold(g_traceLock);
    g_trace = new std::vector<std::wstring>;
}

TraceCapture::~TraceCapture()
{
    std::lock_guard<std::mutex> hold(g_traceLock);
    delete g_trace;
    g_trace = nullptr;
}

std::vector<std::wstring> TraceCapture::Lines() const
{
    std::lock_guard<std::mutex> hold(g_traceLock);
    return g_trace ? *g_trace : std::vector<std::wstring>{};
}

bool TraceCapture::Contains(const std::wstring& text) const
{
    for (const auto& l : Lines())
        if (l.find(text) != std::wstring::npos)
            return true;
    return false;
}

bool RunUnix(const std::string& script)
{
    std::wstring cmd = L"Z:\\bin\\sh -c \"" + W(script) + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        return false;
    // For a Unix program Wine leaves hProcess null and the other fields undefined: closing that
    // "thread handle" would close whatever handle happens to carry its value (stdout, once).
    if (pi.hProcess) {
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    return true;
}

bool RunUnixAndWait(const std::string& script, DWORD ms)
{
    static int serial = 0;
    // Two Wine lanes (servers) hand out the same process ids: the lane keeps the markers apart.
    char lane[16] = {};
    const DWORD n = GetEnvironmentVariableA("WINEBENCH_LANE", lane, sizeof lane);
    const std::string laneId = n > 0 && n < sizeof lane ? std::string(lane, n) : std::string("1");
    const std::string marker = std::string(PX_WORK_DIR) + "/done-" + laneId + "-" + std::to_string(GetCurrentProcessId()) +
        "-" + std::to_string(++serial);
    std::remove(WinPath(marker).c_str());
    if (!RunUnix("(" + script + "); touch " + marker))
        return false;
    const bool done = PumpUntil([&] { return GetFileAttributesA(WinPath(marker).c_str()) != INVALID_FILE_ATTRIBUTES; },
                                ms, Check::EachWake);
    std::remove(WinPath(marker).c_str());
    return done;
}

std::wstring ItemTexts(HWND dialog)
{
    std::wstring texts;
    EnumChildWindows(
        dialog,
        [](HWND w, LPARAM lp) {
            wchar_t t[512] = {};
            GetWindowTextW(w, t, 512);
            *reinterpret_cast<std::wstring*>(lp) += std::wstring(t) + L"|";
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&texts));
    return texts;
}

std::string Screenshot(const std::string& name)
{
    const std::string path = std::string(PX_WORK_DIR) + "/" + name + ".png";
    return RunUnixAndWait("import -window root " + path) ? path : std::string();
}

std::vector<uint32_t> ClientPixels(HWND wnd, const RECT& r)
{
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0)
        return {};
    const BITMAPINFO bi = win::TopDownDib(w, h, 32);
    win::WindowDC screen(wnd);
    win::MemoryDC mem(screen.Get());
    void* bits = nullptr;
    win::Bitmap dib(CreateDIBSection(screen.Get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dib)
        return {};
    {
        win::ScopedSelect select(mem.Get(), dib.Get());
        BitBlt(mem.Get(), 0, 0, w, h, screen.Get(), r.left, r.top, SRCCOPY);
        GdiFlush();
    }
    const uint32_t* p = static_cast<const uint32_t*>(bits);
    std::vector<uint32_t> out(p, p + static_cast<size_t>(w) * h);
    for (uint32_t& v : out)
        v &= 0xFFFFFF;
    return out;
}

std::string WinPath(const std::string& unixPath)
{
    std::string p = "Z:" + unixPath;
    for (char& c : p)
        if (c == '/')
            c = '\\';
    return p;
}

bool Listening(int port)
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<u_short>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    closesocket(s);
    return ok;
}

int FreePort()
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    int len = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    closesocket(s);
    return ntohs(a.sin_port);
}

namespace {
bool FileHas(const std::string& unixPath, const std::string& text)
{
    FILE* f = std::fopen(WinPath(unixPath).c_str(), "rb");
    if (!f)
        return false;
    std::string all;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
        all.append(buf, n);
    std::fclose(f);
    return all.find(text) != std::string::npos;
}
} // namespace

bool Simulator::Start(int port, const std::string& options, bool accepts)
{
    port_ = port;
    std::string dir = PX_WORK_DIR;
    pidFile_ = dir + "/" + name_ + ".pid";
    std::remove(WinPath(pidFile_).c_str());
    std::string script = "echo $$ > " + pidFile_ + "; exec " + std::string(PX_NATIVE_TREE) + "/bin/dvrsim --port " +
        std::to_string(port) + " " + options + " >>" + LogPath() + " 2>&1";
    if (!RunUnix(script))
        return false;
    const std::string listening = "listening on 127.0.0.1:" + std::to_string(port) + "\n";
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 10000) {
        if (Pid() > 0 && (accepts ? Listening(port) : FileHas(LogPath(), listening)))
            return true;
        Sleep(20);
    }
    return false;
}

std::string Simulator::LogPath() const { return std::string(PX_WORK_DIR) + "/" + name_ + ".log"; }

int Simulator::Pid() const
{
    FILE* f = pidFile_.empty() ? nullptr : std::fopen(WinPath(pidFile_).c_str(), "r");
    int pid = 0;
    if (f) {
        if (std::fscanf(f, "%d", &pid) != 1)
            pid = 0;
        std::fclose(f);
    }
    return pid;
}

void Simulator::Kill()
{
    int pid = Pid();
    if (pid <= 0)
        return;
    RunUnix("kill -9 " + std::to_string(pid));
    std::remove(WinPath(pidFile_).c_str());
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 10000 && Listening(port_))
        Sleep(20);
}

} // namespace testkit
