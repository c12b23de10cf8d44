// viewhost: the viewer's main view in a window of its own, until the control shell hosts it.
//   viewhost [--address A] [--port N] [--user ID] [--password PW] [--connect]
//            [--log FILE] [--exit-after SECONDS] [--stats FILE] [--wake-on-stop]
// --log appends each new status line to FILE (UTF-8) as it appears; --exit-after sends the Exit
// command after that many seconds; --stats appends a line of live-video figures every second;
// --wake-on-stop makes the decode threads sleep in timed waits (the former idle wait, for comparisons).
#include "LiveVideo.h"
#include "ViewHost.h"
#include "ViewInspector.h"
#include "ViewSkinLink.h"
#include <psapi.h>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>

namespace {

struct Options {
    std::wstring address, port = L"50000", user, password, logPath, statsPath;
    bool connect = false, wakeOnStop = false;
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
            : a == L"--stats" ? value(o.statsPath)
            : false)
            continue;
        if (a == L"--connect") {
            o.connect = true;
            continue;
        }
        if (a == L"--wake-on-stop") {
            o.wakeOnStop = true;
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
    auto lines = view::Inspect(*v).StatusLines();
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

// The live-video figures, one line a second: seconds since start, the window the latency covers,
// pictures shown and frames dropped (totals), the display latency of the window's pictures (wall
// clock at display less the frame header's send time), the process's memory, and the video frames
// that reached the view in the window with their arrival latency (at store, before the queue).
struct Stats {
    FILE* file = nullptr;
    pipeline::CLatencyHistogram latency, arrival;
    std::chrono::steady_clock::time_point start, last;
};
Stats* g_stats = nullptr;

void CALLBACK WriteStats(HWND, UINT, UINT_PTR, DWORD)
{
    view::DVRScreenView* v = g_host ? g_host->View() : nullptr;
    view::CLiveVideo* live = v ? view::Inspect(*v).Live() : nullptr;
    if (!g_stats || !g_stats->file || !live)
        return;
    const auto now = std::chrono::steady_clock::now();
    const pipeline::CLatencyHistogram::Window w = g_stats->latency.Take();
    const pipeline::CLatencyHistogram::Window a = g_stats->arrival.Take();
    PROCESS_MEMORY_COUNTERS_EX mem{};
    mem.cb = sizeof mem;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&mem), sizeof mem);
    fprintf(g_stats->file, "%.3f %.3f %llu %llu %llu %.2f %.2f %.2f %llu %llu %llu %.2f %.2f\n",
            std::chrono::duration<double>(now - g_stats->start).count(),
            std::chrono::duration<double>(now - g_stats->last).count(),
            static_cast<unsigned long long>(live->PicturesShown()),
            static_cast<unsigned long long>(live->FramesDropped()), static_cast<unsigned long long>(w.count),
            w.medianMs, w.p99Ms, w.maxMs, static_cast<unsigned long long>(mem.WorkingSetSize / 1024),
            static_cast<unsigned long long>(mem.PrivateUsage / 1024), static_cast<unsigned long long>(a.count),
            a.medianMs, a.p99Ms);
    fflush(g_stats->file);
    g_stats->last = now;
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

    // The statistics outlive the decode threads that record into them.
    Stats stats;
    view::ViewPartsConfig parts;
    parts.live = true; // display, decode threads and sound devices of the view's own
    std::unique_ptr<view::ViewHost> host(view::ViewHost::Create(view::LinkedViewSkin(), L"DVR Web Viewer", parts));
    if (!host)
        return 1;
    g_host = host.get();
    view::CLiveVideo* live = host->View() ? view::Inspect(*host->View()).Live() : nullptr;
    if (!live)
        return 1;
    pipeline::CFrameQueue::Timing timing;
    timing.wakeOnStop = o.wakeOnStop;
    live->SetQueueTiming(timing);
    if (!o.logPath.empty()) {
        g_log = _wfopen(o.logPath.c_str(), L"ab");
        SetTimer(nullptr, 0, 100, CopyNewLines);
    }
    if (!o.address.empty() || !o.user.empty())
        host->SetAddress(o.address, o.port, o.user, o.password);
    if (!o.statsPath.empty()) {
        stats.file = _wfopen(o.statsPath.c_str(), L"ab");
        stats.start = stats.last = std::chrono::steady_clock::now();
        if (stats.file) {
            fprintf(stats.file, "# elapsed_s window_s shown dropped pictures lat_p50_ms lat_p99_ms lat_max_ms "
                                "working_set_kib private_kib frames_in arrival_p50_ms arrival_p99_ms\n");
            live->SetLatencyStats(&stats.latency, &stats.arrival);
            g_stats = &stats;
            SetTimer(nullptr, 0, 1000, WriteStats);
        }
    }
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
    WriteStats(nullptr, 0, 0, 0);
    g_stats = nullptr;
    g_host = nullptr;
    if (g_log)
        fclose(g_log);
    if (stats.file)
        fclose(stats.file);
    return 0;
}
