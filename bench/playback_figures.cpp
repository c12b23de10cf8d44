// Playing a site's recordings through the player's own view, for the playback figures
// (bench/playback-figures.sh): the view in a window of its own, 1, 4, 9 or 16 cameras, the play
// head moved by a 20 ms timer as the player control moves it.
//   playback_figures.exe --site FOLDER [--cameras N] [--mode play|seek] [--speed QUARTERS]
//                        [--seconds S] [--seeks K] [--helpers N] [--stats FILE]
// --helpers: the threads beside the interface thread that decode the cameras of one step (default:
// the view's own choice; 0: the interface thread alone).
// play: plays from the store's first second + 1 s at the speed (4: 1x, 64: 16x) for S seconds (default
//       60), from that second again whenever it reaches the end, and appends to FILE once a second the live view's figure line ("elapsed_s window_s shown
//       dropped"), where dropped counts the pictures decoded but never shown (a camera's run that one
//       tick handed out in more than one picture); then prints the totals, the play head's pace
//       and the process's own CPU per picture.
// seek: K (default 40) seeks to times spread over the store, paused, as a click on the timeline
//       does; prints the milliseconds from the call to the pictures drawn (median, 90th, max).
#include "PlaybackView.h"
#include "StoreLanes.h"
#include "foundation/Utf8.h"
#include <windows.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

double NowS() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

double ProcessCpuS()
{
    FILETIME c, e, k, u;
    if (!GetProcessTimes(GetCurrentProcess(), &c, &e, &k, &u))
        return 0;
    auto s = [](FILETIME f) { return (static_cast<uint64_t>(f.dwHighDateTime) << 32 | f.dwLowDateTime) / 1e7; };
    return s(k) + s(u);
}

void Pump()
{
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
}

struct Options {
    std::string site, mode = "play";
    std::wstring stats;
    int cameras = 16, quarters = player::kNormalSpeed, seeks = 40, helpers = -1;
    double seconds = 60;
};

bool Parse(int argc, wchar_t** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::wstring a = argv[i];
        if (i + 1 >= argc)
            return false;
        const std::wstring v = argv[++i];
        if (a == L"--site")
            o.site = win::Utf8(v);
        else if (a == L"--mode")
            o.mode = win::Utf8(v);
        else if (a == L"--stats")
            o.stats = v;
        else if (a == L"--cameras")
            o.cameras = _wtoi(v.c_str());
        else if (a == L"--speed")
            o.quarters = _wtoi(v.c_str());
        else if (a == L"--helpers")
            o.helpers = _wtoi(v.c_str());
        else if (a == L"--seeks")
            o.seeks = _wtoi(v.c_str());
        else if (a == L"--seconds")
            o.seconds = _wtof(v.c_str());
        else
            return false;
    }
    return !o.site.empty() && (o.mode == "play" || o.mode == "seek");
}

double Percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))];
}

int Play(player::CPlaybackView& view, const Options& o, int64_t startMs)
{
    if (!view.SetSpeed(o.quarters)) {
        std::printf("speed %d refused\n", o.quarters);
        return 2;
    }
    FILE* stats = o.stats.empty() ? nullptr : _wfopen(o.stats.c_str(), L"w");
    if (stats) {
        std::fputs("# elapsed_s window_s shown dropped\n", stats);
        std::fflush(stats);
    }
    const double t0 = NowS(), cpu0 = ProcessCpuS();
    const uint64_t shown0 = view.PicturesShown(), passed0 = view.PicturesPassed();
    int64_t played = 0, from = view.HeadMs();
    int rounds = 0;
    view.Play();
    // The player control's tick: a 20 ms timer on the interface thread.
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, nullptr);
    double nextLine = t0 + 1;
    MSG m;
    while (NowS() - t0 < o.seconds && GetMessageW(&m, nullptr, 0, 0) > 0) {
        if (m.message != WM_TIMER || m.hwnd) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
            continue;
        }
        view.Tick(static_cast<int64_t>(GetTickCount64()));
        if (view.Waiting()) { // the end of the recording: from the start again
            played += view.HeadMs() - from;
            view.Seek(startMs);
            from = view.HeadMs();
            ++rounds;
        }
        const double now = NowS();
        if (stats && now >= nextLine) {
            std::fprintf(stats, "%.3f 1 %llu %llu\n", now - t0, static_cast<unsigned long long>(view.PicturesShown() - shown0),
                         static_cast<unsigned long long>(view.PicturesPassed() - passed0));
            std::fflush(stats);
            nextLine += 1;
        }
    }
    KillTimer(nullptr, timer);
    played += view.HeadMs() - from;
    const double wall = NowS() - t0, cpu = ProcessCpuS() - cpu0;
    const uint64_t shown = view.PicturesShown() - shown0, passed = view.PicturesPassed() - passed0;
    std::printf("speed %d/4x, %d cameras, %.1f s (%d times from the start again): shown %llu (%.1f/s), "
                "decoded not shown %llu, head %.2f DVR s per s, CPU %.3f ms per picture shown (%.2f cores)\n",
                o.quarters, o.cameras, wall, rounds, static_cast<unsigned long long>(shown),
                static_cast<double>(shown) / wall, static_cast<unsigned long long>(passed),
                static_cast<double>(played) / 1000.0 / wall, shown ? cpu * 1000.0 / static_cast<double>(shown) : 0.0,
                cpu / wall);
    if (stats)
        std::fclose(stats);
    return 0;
}

int Seeks(player::CPlaybackView& view, const Options& o, int64_t firstMs, int64_t lastMs)
{
    std::vector<double> ms;
    uint32_t lcg = 12345;
    const int64_t span = std::max<int64_t>(1, lastMs - firstMs - 2000);
    for (int i = 0; i < o.seeks; ++i) {
        lcg = lcg * 1664525u + 1013904223u;
        const int64_t at = firstMs + 1000 + static_cast<int64_t>(lcg % static_cast<uint32_t>(span));
        const uint64_t before = view.PicturesShown();
        const double t0 = NowS();
        view.Seek(at);
        GdiFlush();
        const double t1 = NowS();
        if (view.PicturesShown() - before < static_cast<uint64_t>(o.cameras))
            std::printf("seek %d: only %llu pictures shown\n", i,
                        static_cast<unsigned long long>(view.PicturesShown() - before));
        ms.push_back((t1 - t0) * 1000.0);
        Pump();
        Sleep(50); // the person between two clicks
    }
    std::printf("seek, %d cameras, %d seeks paused, %s: ms to the pictures drawn: median %.1f, 90th %.1f, max %.1f\n",
                o.cameras, o.seeks, o.helpers == 0 ? "the interface thread alone" : "cameras side by side",
                Percentile(ms, 0.5), Percentile(ms, 0.9), Percentile(ms, 1.0));
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    Options o;
    if (!Parse(argc, argv, o)) {
        std::fputs("usage: playback_figures --site FOLDER [--cameras N] [--mode play|seek] [--speed Q] "
                   "[--seconds S] [--seeks K] [--stats FILE]\n",
                   stderr);
        return 2;
    }
    player::StoreLanes lanes;
    lanes.Open(o.site, {}, 0, INT64_MAX / 2, false);
    lanes.Refresh();
    if (lanes.FirstMs() >= lanes.LastMs()) {
        std::printf("no recordings in %s\n", o.site.c_str());
        return 1;
    }
    std::vector<int> cameras;
    for (int c = 0; c < o.cameras; ++c)
        cameras.push_back(c);

    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"PlaybackFigures";
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    RegisterClassW(&wc);
    HWND top = CreateWindowW(wc.lpszClassName, L"Playback figures", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 1024, 768,
                             nullptr, nullptr, wc.hInstance, nullptr);
    RECT area;
    GetClientRect(top, &area);
    player::CPlaybackView view;
    view.SetStatus([](const std::wstring& line) { std::printf("status: %s\n", win::Utf8(line).c_str()); });
    if (!top || !view.Create(top, area, o.mode == "play")) {
        std::puts("no window");
        return 1;
    }
    if (o.helpers >= 0)
        view.SetCameraThreads(static_cast<unsigned>(o.helpers));
    Pump();
    const int64_t startMs = lanes.FirstMs() + 1000;
    if (!view.Open(o.site, cameras, startMs))
        return 1;
    Pump();
    const int rc = o.mode == "play" ? Play(view, o, startMs) : Seeks(view, o, lanes.FirstMs(), lanes.LastMs());
    std::fflush(stdout);
    view.Close();
    DestroyWindow(top);
    return rc;
}
