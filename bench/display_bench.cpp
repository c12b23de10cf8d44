// What one picture costs the display: SetChannelPicture of a D1 picture in the 16-division layout with
// every text on, beside a bare halftone StretchDIBits of the same picture into the same window, and
// the parts a picture's cost is made of. One thread: pictures per second are what one core sustains.
// Then the PSNR of the display's own scaling and of the former one against the halftone stretch and
// an exact area average.
//   display_bench.exe [ROUNDS [FOLDER]]   FOLDER: also writes one scene scaled each way at 176 x 120
//                                         and 352 x 240 there, as PPM files
#include "../viewer/video/tests/DisplayTestKit.h"
#include "CameraScene.h"
#include "PictureScale.h"
#include <cmath>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

using namespace video;
using namespace displaykit;

namespace {

double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

// A 32-bit top-down memory bitmap that the platform's halftone stretch draws into.
struct HalftoneBitmap {
    HalftoneBitmap(int w, int h) : info(win::TopDownDib(w, h, 32)), dc(CreateCompatibleDC(nullptr))
    {
        dib = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        old = SelectObject(dc, dib);
        SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
    }
    ~HalftoneBitmap()
    {
        SelectObject(dc, old);
        DeleteObject(dib);
        DeleteDC(dc);
    }
    HalftoneBitmap(const HalftoneBitmap&) = delete;
    HalftoneBitmap& operator=(const HalftoneBitmap&) = delete;

    const BITMAPINFO info;
    const HDC dc;
    void* bits = nullptr;
    HBITMAP dib = nullptr;
    HGDIOBJ old = nullptr;
};

struct Variant {
    const char* name;
    std::function<void()> setup; // state the variant needs (copy mode, texts)
    std::function<void(int)> call;
    std::vector<double> us;
};

// Each round times a batch of every variant in turn, so that the machine's other load falls on all of
// them alike; the figure is the median over rounds of the microseconds per call. The window's
// messages are pumped between batches, as the interface thread would.
void MeasureAll(std::vector<Variant>& vs, int rounds, int batch)
{
    for (int r = 0; r < rounds; ++r)
        for (Variant& v : vs) {
            if (v.setup)
                v.setup();
            const double t0 = Now();
            for (int i = 0; i < batch; ++i)
                v.call(i);
            GdiFlush();
            v.us.push_back((Now() - t0) * 1e6 / batch);
            Host::Pump(0);
        }
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// A frame of the simulator's camera as the decoder hands it over: 24-bit BGR, rows top-down.
Picture SceneFrame(int channel, int w, int h)
{
    dvrsim::YuvPicture yuv;
    dvrsim::CameraScene(channel, w, h).Render(7, yuv);
    Picture p = MakePicture(w, h);
    auto clamp = [](double v) { return static_cast<int>(std::lround(std::min(255.0, std::max(0.0, v)))); };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double Y = 1.164 * (yuv.y[static_cast<size_t>(y) * w + x] - 16);
            const double U = yuv.u[static_cast<size_t>(y / 2) * (w / 2) + x / 2] - 128.0;
            const double V = yuv.v[static_cast<size_t>(y / 2) * (w / 2) + x / 2] - 128.0;
            p.Set(x, y, RGB(clamp(Y + 1.596 * V), clamp(Y - 0.392 * U - 0.813 * V), clamp(Y + 2.017 * U)));
        }
    return p;
}

// The display's former scaling, for comparison: each output pixel the plain average of the whole
// source pixels from floor(i * length / out) to floor((i + 1) * length / out); enlarging, the source
// pixel under the output pixel's centre.
void FormerScale(const uint8_t* pixels, int width, const SourceRect& src, uint32_t* dst, int dw, int dh)
{
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
    auto spans = [](int from, int length, int out, std::vector<int>& b, std::vector<int>& e) {
        b.resize(out);
        e.resize(out);
        for (int i = 0; i < out; ++i) {
            int x0, x1;
            if (length >= out) {
                x0 = from + int(int64_t(i) * length / out);
                x1 = from + int(int64_t(i + 1) * length / out);
            } else {
                x0 = from + int((2 * int64_t(i) + 1) * length / (2 * int64_t(out)));
                x1 = x0 + 1;
            }
            b[i] = x0;
            e[i] = std::min(std::max(x1, x0 + 1), from + length);
        }
    };
    std::vector<int> xb, xe, yb, ye;
    spans(src.x, src.width, dw, xb, xe);
    spans(src.y, src.height, dh, yb, ye);
    std::vector<uint32_t> sum(static_cast<size_t>(dw) * 3);
    for (int dy = 0; dy < dh; ++dy) {
        std::fill(sum.begin(), sum.end(), 0u);
        for (int sy = yb[dy]; sy < ye[dy]; ++sy) {
            const uint8_t* row = pixels + static_cast<size_t>(sy) * stride;
            for (int dx = 0; dx < dw; ++dx)
                for (const uint8_t *p = row + xb[dx] * 3, *end = row + xe[dx] * 3; p < end; p += 3)
                    for (int c = 0; c < 3; ++c)
                        sum[dx * 3 + c] += p[c];
        }
        for (int dx = 0; dx < dw; ++dx) {
            const uint32_t n = uint32_t((xe[dx] - xb[dx]) * (ye[dy] - yb[dy]));
            const uint32_t* s = &sum[dx * 3];
            dst[static_cast<size_t>(dy) * dw + dx] =
                ((s[2] + n / 2) / n) << 16 | ((s[1] + n / 2) / n) << 8 | ((s[0] + n / 2) / n);
        }
    }
}

void WritePpm(const std::wstring& path, const uint32_t* px, int w, int h)
{
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (!f)
        return;
    std::fprintf(f, "P6\n%d %d\n255\n", w, h);
    for (int i = 0; i < w * h; ++i) {
        const uint8_t rgb[3] = {uint8_t(px[i] >> 16), uint8_t(px[i] >> 8), uint8_t(px[i])};
        std::fwrite(rgb, 1, 3, f);
    }
    std::fclose(f);
}

struct Psnrs {
    double oursVsHalftone, formerVsHalftone, oursVsExact, formerVsExact, halftoneVsExact;
};

// PSNR in dB of the display's own scaling against the platform's halftone stretch of the same
// source rectangle into the same division size, and of each against an exact area average in
// floating point (every source pixel weighted by how much of it the destination pixel covers).
Psnrs ScalingPsnr(const Picture& pic, int dw, int dh, const std::wstring& shots = L"")
{
    const SourceRect src = PictureSourceRect(pic.width, -pic.height);
    std::vector<uint32_t> ours(static_cast<size_t>(dw) * dh), former(ours.size());
    ScalePicture(pic.pixels.data(), pic.width, pic.height, src, ours.data(), dw, dh, static_cast<size_t>(dw));
    FormerScale(pic.pixels.data(), pic.width, src, former.data(), dw, dh);
    const HalftoneBitmap halftone(dw, dh);
    StretchDIBits(halftone.dc, 0, 0, dw, dh, src.x, src.StretchY(-pic.height), src.width, src.height, pic.pixels.data(),
                  &pic.info, DIB_RGB_COLORS, SRCCOPY);
    GdiFlush();
    const uint32_t* theirs = static_cast<const uint32_t*>(halftone.bits);
    std::vector<double> exact(ours.size() * 3);
    const double fx = double(src.width) / dw, fy = double(src.height) / dh;
    for (int y = 0; y < dh; ++y)
        for (int x = 0; x < dw; ++x) {
            double sum[3] = {}, area = 0;
            const double x0 = x * fx, x1 = (x + 1) * fx, y0 = y * fy, y1 = (y + 1) * fy;
            for (int sy = int(y0); sy < int(std::ceil(y1)); ++sy)
                for (int sx = int(x0); sx < int(std::ceil(x1)); ++sx) {
                    const double w = (std::min(x1, sx + 1.0) - std::max(x0, double(sx))) *
                        (std::min(y1, sy + 1.0) - std::max(y0, double(sy)));
                    const uint8_t* p = &pic.pixels[(static_cast<size_t>(src.y + sy) * pic.width + src.x + sx) * 3];
                    for (int c = 0; c < 3; ++c)
                        sum[c] += w * p[c];
                    area += w;
                }
            for (int c = 0; c < 3; ++c)
                exact[(static_cast<size_t>(y) * dw + x) * 3 + c] = sum[c] / area;
        }
    auto psnr = [&](auto value) {
        double se = 0;
        for (size_t i = 0; i < ours.size(); ++i)
            for (int c = 0; c < 3; ++c) {
                const double d = value(i, c);
                se += d * d;
            }
        const double mse = se / (3.0 * ours.size());
        return mse > 0 ? 10 * std::log10(255.0 * 255.0 / mse) : 99.0;
    };
    auto channel = [](uint32_t v, int c) { return double((v >> (8 * c)) & 0xFF); };
    Psnrs r;
    r.oursVsHalftone = psnr([&](size_t i, int c) { return channel(ours[i], c) - channel(theirs[i], c); });
    r.formerVsHalftone = psnr([&](size_t i, int c) { return channel(former[i], c) - channel(theirs[i], c); });
    r.oursVsExact = psnr([&](size_t i, int c) { return channel(ours[i], c) - exact[i * 3 + c]; });
    r.formerVsExact = psnr([&](size_t i, int c) { return channel(former[i], c) - exact[i * 3 + c]; });
    r.halftoneVsExact = psnr([&](size_t i, int c) { return channel(theirs[i], c) - exact[i * 3 + c]; });
    if (!shots.empty()) {
        const std::wstring size =
            std::to_wstring(pic.width) + L"-to-" + std::to_wstring(dw) + L"x" + std::to_wstring(dh);
        WritePpm(shots + L"\\scale-ours-" + size + L".ppm", ours.data(), dw, dh);
        WritePpm(shots + L"\\scale-former-" + size + L".ppm", former.data(), dw, dh);
        const std::vector<uint32_t> theirsCopy(theirs, theirs + ours.size());
        WritePpm(shots + L"\\scale-halftone-" + size + L".ppm", theirsCopy.data(), dw, dh);
    }
    return r;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const int rounds = argc > 1 ? std::max(3, _wtoi(argv[1])) : 9;
    const std::wstring shots = argc > 2 ? argv[2] : L"";
    const int batch = 160; // ten pictures for each of the 16 channels
    const int w = 704, h = 480;
    Host host(w, h);
    DisplayManager dm;
    if (!OpenSixteenTitledChannels(host, dm, w, h))
        return 1;
    const DivisionMode* mode = FindDivisionMode(6);
    uint8_t list[kDisplayChannels];
    for (int i = 0; i < kDisplayChannels; ++i)
        list[i] = i < mode->channels ? static_cast<uint8_t>(i) : kNoEntry;
    dm.SetLayout(mode->layout, list, kDisplayChannels);
    Host::Pump(100);

    Picture card = TestCard(720, 480, 5);
    PictureTime t{.year = 2008, .month = 7, .day = 1};
    Layout grid = BuiltinLayout(4);
    ComputeGeometry(grid, w, h);
    const SourceRect src = PictureSourceRect(720, -480);

    std::vector<Variant> vs;
    auto run = [&](const char* name, const std::function<void(int)>& call) { vs.push_back({name, nullptr, call, {}}); };
    auto picture = [&](int i) {
        t.second = static_cast<uint16_t>(i % 60);
        dm.SetChannelPicture(i % 16, &card.info, t, card.pixels.data());
    };
    vs.push_back({"SetChannelPicture, texts on, copy what changed",
                  [&] {
                      dm.SetScaleOutsideLock(true);
                      dm.SetCopyWholeBuffer(false);
                      dm.SetOsdOptions(1, 1, 1);
                  },
                  picture,
                  {}});
    vs.push_back({"SetChannelPicture, texts on, halftone stretch under the lock",
                  [&] {
                      dm.SetScaleOutsideLock(false);
                      dm.SetCopyWholeBuffer(false);
                      dm.SetOsdOptions(1, 1, 1);
                  },
                  [&](int i) {
                      picture(i);
                      if (i + 1 == batch)
                          dm.SetScaleOutsideLock(true);
                  },
                  {}});
    vs.push_back({"SetChannelPicture, texts on, copy whole back buffer",
                  [&] {
                      dm.SetCopyWholeBuffer(true);
                      dm.SetOsdOptions(1, 1, 1);
                  },
                  picture,
                  {}});
    vs.push_back({"SetChannelPicture, texts off, copy what changed",
                  [&] {
                      dm.SetCopyWholeBuffer(false);
                      dm.SetOsdOptions(0, 0, 0);
                  },
                  picture,
                  {}});

    HWND wnd = dm.Window();
    run("bare halftone StretchDIBits into the window", [&](int i) {
        const DivRect& r = grid.divisions[i % 16].rect;
        HDC dc = GetDC(wnd);
        SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        StretchDIBits(dc, r.left, r.top, r.Width(), r.Height(), src.x, src.StretchY(-480), src.width, src.height,
                      card.pixels.data(), &card.info, DIB_RGB_COLORS, SRCCOPY);
        ReleaseDC(wnd, dc);
    });

    // The parts: the copy into the channel's buffer, the stretch into a memory bitmap, the texts,
    // and the copy of the whole back buffer to the window.
    std::vector<uint8_t> buffer(kPictureBufferSize);
    vs.push_back({"part: Redraw of one channel, texts off (no picture copy)",
                  [&] { dm.SetOsdOptions(0, 0, 0); },
                  [&](int i) { dm.Redraw(1u << (i % 16)); },
                  {}});
    std::vector<uint32_t> division(static_cast<size_t>(grid.divisions[0].rect.Width()) *
                                   grid.divisions[0].rect.Height());
    run("part: the display's own scaling into one division (what leaves the lock)", [&](int i) {
        const DivRect& r = grid.divisions[i % 16].rect;
        ScalePicture(card.pixels.data(), 720, 480, src, division.data(), r.Width(), r.Height(),
                     static_cast<size_t>(r.Width()));
    });
    run("part: the former scaling, whole source pixels (for comparison)", [&](int i) {
        const DivRect& r = grid.divisions[i % 16].rect;
        FormerScale(card.pixels.data(), 720, src, division.data(), r.Width(), r.Height());
    });
    run("part: copy of the picture's bytes",
        [&](int) { std::memcpy(buffer.data(), card.pixels.data(), card.info.bmiHeader.biSizeImage); });
    const HalftoneBitmap back(w, h);
    const HDC mem = back.dc;
    run("part: halftone StretchDIBits into a memory bitmap", [&](int i) {
        const DivRect& r = grid.divisions[i % 16].rect;
        StretchDIBits(mem, r.left, r.top, r.Width(), r.Height(), src.x, src.StretchY(-480), src.width, src.height,
                      card.pixels.data(), &card.info, DIB_RGB_COLORS, SRCCOPY);
    });
    // The same picture as 32-bit pixels: whether the stretch's cost is in reading 24-bit rows.
    std::vector<uint32_t> px32(720 * 480);
    BITMAPINFO bi32 = card.info;
    {
        for (int i = 0; i < 720 * 480; ++i) {
            const uint8_t* q = &card.pixels[static_cast<size_t>(i) * 3];
            px32[i] = q[0] | (q[1] << 8) | (q[2] << 16);
        }
        bi32.bmiHeader.biBitCount = 32;
        bi32.bmiHeader.biSizeImage = 720 * 480 * 4;
        run("part: halftone StretchDIBits of a 32-bit copy into a memory bitmap", [&](int i) {
            const DivRect& r = grid.divisions[i % 16].rect;
            StretchDIBits(mem, r.left, r.top, r.Width(), r.Height(), src.x, src.StretchY(-480), src.width, src.height,
                          px32.data(), &bi32, DIB_RGB_COLORS, SRCCOPY);
        });
    }
    std::vector<uint32_t> px32b(720 * 480);
    run("part: conversion of the picture to 32-bit pixels", [&](int) {
        const uint8_t* q = card.pixels.data();
        uint32_t* o = px32b.data();
        for (int i = 0; i < 720 * 480; ++i, q += 3)
            o[i] = q[0] | (q[1] << 8) | (q[2] << 16);
    });
    run("part: COLORONCOLOR StretchDIBits into a memory bitmap", [&](int i) {
        const DivRect& r = grid.divisions[i % 16].rect;
        SetStretchBltMode(mem, COLORONCOLOR);
        StretchDIBits(mem, r.left, r.top, r.Width(), r.Height(), src.x, src.StretchY(-480), src.width, src.height,
                      card.pixels.data(), &card.info, DIB_RGB_COLORS, SRCCOPY);
        SetStretchBltMode(mem, HALFTONE);
    });
    HFONT font = CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Arial");
    SelectObject(mem, font);
    SetBkMode(mem, TRANSPARENT);
    run("part: three outlined texts (15 DrawTextEx)", [&](int i) {
        const DivRect& d = grid.divisions[i % 16].rect;
        const TextBox boxes[3] = {TitleBox(d, 8), SizeBox(d, 8), TimeBox(d, 8)};
        const wchar_t* texts[3] = {L"Camera 01", L"720 x 480", L"2008/07/01 13:00:05"};
        const UINT fmt[3] = {DT_LEFT | DT_TOP | DT_WORD_ELLIPSIS, DT_RIGHT | DT_TOP | DT_SINGLELINE,
                             DT_CENTER | DT_BOTTOM | DT_SINGLELINE};
        DRAWTEXTPARAMS params{sizeof(DRAWTEXTPARAMS), 1, 4, 4, 0};
        for (int b = 0; b < 3; ++b)
            for (int k = 0; k < 5; ++k) {
                RECT rc{boxes[b].left, boxes[b].top, boxes[b].right, boxes[b].bottom};
                if (k < 4)
                    OffsetRect(&rc, (k & 1) ? 1 : -1, (k & 2) ? 1 : -1);
                wchar_t buf[32];
                wcscpy(buf, texts[b]);
                DrawTextExW(mem, buf, -1, &rc, fmt[b] | DT_EXPANDTABS | DT_NOPREFIX, &params);
            }
    });
    run("part: BitBlt of the whole back buffer to the window", [&](int) {
        HDC dc = GetDC(wnd);
        BitBlt(dc, 0, 0, w, h, mem, 0, 0, SRCCOPY);
        ReleaseDC(wnd, dc);
    });
    run("part: BitBlt of one 176 x 120 division to the window", [&](int i) {
        const DivRect& r = grid.divisions[i % 16].rect;
        HDC dc = GetDC(wnd);
        BitBlt(dc, r.left, r.top, r.Width(), r.Height(), mem, r.left, r.top, SRCCOPY);
        ReleaseDC(wnd, dc);
    });
    HPEN pen = CreatePen(PS_SOLID, 2, RGB(255, 255, 255));
    run("part: border of width 2 (four LineTo)", [&](int i) {
        const DivRect& d = grid.divisions[i % 16].rect;
        HGDIOBJ o = SelectObject(mem, pen);
        MoveToEx(mem, d.left, d.top, nullptr);
        LineTo(mem, d.right, d.top);
        LineTo(mem, d.right, d.bottom);
        LineTo(mem, d.left, d.bottom);
        LineTo(mem, d.left, d.top);
        SelectObject(mem, o);
    });
    run("part: GetDC and ReleaseDC of the window", [&](int) {
        HDC dc = GetDC(wnd);
        ReleaseDC(wnd, dc);
    });
    MeasureAll(vs, rounds, batch);
    DeleteObject(pen);
    DeleteObject(font);

    std::printf("display benchmark: 720 x 480 24-bit picture, %d x %d window, layout 4 (16 divisions of 176 x 120),\n"
                "one thread, median of %d rounds of %d calls\n\n",
                w, h, rounds, batch);
    std::printf("%-66s %10s %11s %8s\n", "what", "us/call", "calls/s", "x bare");
    const double bare = Median(vs[3].us);
    for (const Variant& v : vs) {
        const double m = Median(v.us);
        std::printf("%-66s %10.1f %11.0f %8.2f\n", v.name, m, 1e6 / m, m / bare);
    }
    std::printf("\nneeded: 480 pictures/s (16 channels x 30 fps)\n");
    std::printf("\nPSNR over the simulator's 16 scenes, mean (worst) in dB: the display's own scaling (ours) and\n"
                "the former one (whole source pixels, nearest when enlarging) against the halftone stretch,\n"
                "and each against an exact area average in floating point (when enlarging, that reference\n"
                "is a box filter, not a better picture):\n");
    std::printf("  %-24s %14s %14s %14s %14s %14s\n", "", "ours/halftone", "former/halft.", "ours/exact",
                "former/exact", "halftone/exact");
    for (auto [pw, ph] : {std::pair{704, 480}, std::pair{352, 240}})
        for (auto [dw, dh] : {std::pair{176, 120}, std::pair{352, 240}, std::pair{704, 480}}) {
            Psnrs worst{99, 99, 99, 99, 99}, sum{0, 0, 0, 0, 0};
            for (int ch = 0; ch < 16; ++ch) {
                const bool shot = !shots.empty() && ch == 3 && pw == 704 && dw <= 352;
                const Psnrs p = ScalingPsnr(SceneFrame(ch, pw, ph), dw, dh, shot ? shots : L"");
                double Psnrs::*const fields[] = {&Psnrs::oursVsHalftone, &Psnrs::formerVsHalftone, &Psnrs::oursVsExact,
                                                 &Psnrs::formerVsExact, &Psnrs::halftoneVsExact};
                for (auto f : fields) {
                    worst.*f = std::min(worst.*f, p.*f);
                    sum.*f += p.*f;
                }
            }
            std::printf(
                "  %3d x %3d into %3d x %3d: %6.1f (%5.1f) %6.1f (%5.1f) %6.1f (%5.1f) %6.1f (%5.1f) %6.1f (%5.1f)\n",
                pw, ph, dw, dh, sum.oursVsHalftone / 16, worst.oursVsHalftone, sum.formerVsHalftone / 16,
                worst.formerVsHalftone, sum.oursVsExact / 16, worst.oursVsExact, sum.formerVsExact / 16,
                worst.formerVsExact, sum.halftoneVsExact / 16, worst.halftoneVsExact);
        }
    return 0;
}
