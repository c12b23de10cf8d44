// What shaping a window from a keyed skin bitmap costs: BitmapToRegion (runs collected and handed
// over a thousand at a time) beside a plain loop that ORs one rectangle region per run into the
// result, on the manager's main background and on a full-HD picture of many runs. Each round times
// both in turn (the plain loop, quadratic in the runs, only within its first minute); the figures are
// medians over rounds. Run it from the tree's bin folder under the Wine bench.
//   region_bench.exe [ROUNDS [Lustrel.dll]]   the skin library beside the program by default
#include "BitmapRegion.h"
#include "RegionRuns.h"
#include "foundation/Dib.h"
#include "foundation/Handles.h"
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// The pixels of a bitmap as a top-down 32-bit buffer.
std::vector<uint8_t> PixelsOf(HBITMAP bitmap, int w, int h)
{
    std::vector<uint8_t> out(static_cast<size_t>(w) * h * 4);
    BITMAPINFO bi = win::TopDownDib(w, h, 32);
    win::WindowDC screen(nullptr);
    if (GetDIBits(screen.Get(), bitmap, 0, h, out.data(), &bi, DIB_RGB_COLORS) != h)
        out.clear();
    return out;
}

// The plain way: the same pixels read the same way, one CombineRgn per run.
HRGN RunByRun(HBITMAP bitmap, int w, int h)
{
    const std::vector<uint8_t> px = PixelsOf(bitmap, w, h);
    HRGN result = CreateRectRgn(0, 0, 0, 0);
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = px.data() + static_cast<size_t>(y) * w * 4;
        for (int x = 0; x < w;) {
            while (x < w && manager::IsKeyPixel(row + x * 4))
                ++x;
            const int start = x;
            while (x < w && !manager::IsKeyPixel(row + x * 4))
                ++x;
            if (x > start) {
                win::Region r(CreateRectRgn(start, y, x, y + 1));
                CombineRgn(result, result, r.Get(), RGN_OR);
            }
        }
    }
    return result;
}

struct Picture {
    std::string name;
    win::Bitmap bitmap;
    int w = 0, h = 0;
    size_t runs = 0;
};

// A 32-bit DIB section filled by `colour(x, y)` (0x00RRGGBB).
win::Bitmap Painted(int w, int h, const std::function<uint32_t(int, int)>& colour)
{
    BITMAPINFO bi = win::TopDownDib(w, h, 32);
    void* bits = nullptr;
    win::Bitmap b(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (b)
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                static_cast<uint32_t*>(bits)[static_cast<size_t>(y) * w + x] = colour(x, y);
    return b;
}

size_t CountRuns(HBITMAP bitmap, int w, int h)
{
    const std::vector<uint8_t> px = PixelsOf(bitmap, w, h);
    size_t n = 0;
    manager::FindRegionRuns(px.data(), w, h, static_cast<size_t>(w) * 4, [&](const manager::RunRect*, size_t c) {
        n += c;
        return true;
    });
    return n;
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    std::vector<Picture> pictures;

    wchar_t dll[MAX_PATH] = L"Lustrel.dll";
    if (argc > 2)
        MultiByteToWideChar(CP_UTF8, 0, argv[2], -1, dll, MAX_PATH);
    win::Library skin(LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_AS_DATAFILE));
    Picture main;
    main.name = "Lustrel main background";
    if (skin)
        main.bitmap.Attach(static_cast<HBITMAP>(
            LoadImageW(skin.Get(), MAKEINTRESOURCEW(200), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (!main.bitmap) {
        // Without the skin: a rounded 800 x 600 body on magenta.
        main.name = "generated rounded 800x600";
        main.bitmap = Painted(800, 600, [](int x, int y) {
            const int dx = std::max({30 - x, x - 769, 0}), dy = std::max({30 - y, y - 569, 0});
            return dx * dx + dy * dy <= 900 ? 0x182848u : 0xFF00FFu;
        });
    }
    BITMAP info{};
    GetObjectW(main.bitmap.Get(), sizeof info, &info);
    main.w = info.bmWidth, main.h = std::abs(info.bmHeight);
    pictures.push_back(std::move(main));

    // Full HD with short runs: stripes of 1 to 8 pixels, keyed and not, shifted row by row.
    Picture stripes{"1920x1080 stripes",
                    Painted(1920, 1080,
                            [](int x, int y) {
                                const int band = (x + 3 * y) % 24;
                                return band < 9 || (band > 12 && band < 15) ? 0xFF00FFu : 0x2050A0u;
                            }),
                    1920, 1080};
    pictures.push_back(std::move(stripes));

    std::printf("region_bench: medians in ms over (rounds)\n");
    std::printf("%-28s %10s %9s %14s %14s %8s %s\n", "picture", "size", "runs", "BitmapToRegion", "run by run", "ratio",
                "same");
    for (Picture& p : pictures) {
        p.runs = CountRuns(p.bitmap.Get(), p.w, p.h);
        std::vector<double> batched, plain;
        bool same = true;
        win::Region(manager::BitmapToRegion(p.bitmap.Get())); // warm-up: the first call sets up GDI's caches
        double plainTotal = 0;
        for (int r = 0; r < rounds; ++r) {
            double t = Now();
            win::Region a(manager::BitmapToRegion(p.bitmap.Get()));
            batched.push_back((Now() - t) * 1e3);
            if (plainTotal > 60e3)
                continue;
            t = Now();
            win::Region b(RunByRun(p.bitmap.Get(), p.w, p.h));
            plain.push_back((Now() - t) * 1e3);
            plainTotal += plain.back();
            same = same && a && b && EqualRgn(a.Get(), b.Get());
        }
        const double mb = Median(batched), mp = Median(plain);
        std::printf("%-28s %4dx%-5d %9zu %9.2f (%2zu) %9.2f (%2zu) %7.1fx %s\n", p.name.c_str(), p.w, p.h, p.runs, mb,
                    batched.size(), mp, plain.size(), mb > 0 ? mp / mb : 0.0, same ? "yes" : "NO");
    }
    return 0;
}
