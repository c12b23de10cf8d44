// The recording store's figures (native tree, a plain program):
//   store_bench seek [--root DIR] [--hours 24] [--cameras 16] [--fps 30] [--key-bytes 2000] [--probes 200] [--keep]
//     makes a store of that many hours and cameras from the simulator's frames (fresh headers from its
//     channel streams; key frames keep --key-bytes of their VOP, predicted frames 16, so that a day of
//     16 cameras at 30 frames a second fits in a few GB), then opens random seconds of random cameras:
//     a new reader, Seek, and the first record (the key frame) in hand. Prints median, 90th
//     percentile and worst, and the catalogue of the day (16 cameras' spans) the same way: from the
//     days' summaries, then with them put aside (every segment from its index), and whether both agree.
//   store_bench catalogue --site DIR
//     the catalogue figures alone, of a site folder that exists (kept by seek --keep, say).
//   store_bench motion [--reps 9]
//     the motion meter's cost per picture: D1 and CIF BGR24 as the viewer's decoder gives, and D1 luma.
#include "Catalogue.h"
#include "Layout.h"
#include "StoreReader.h"
#include "StoreWriter.h"
#include "VideoChannelStream.h"
#include "VideoLoop.h"
#include "XvidApi.h"
#include "wire/StreamFrame.h"
#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void PrintFigures(const char* what, std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    std::printf("%-34s n=%zu  median %.3f ms  p90 %.3f ms  worst %.3f ms\n", what, v.size(), v[v.size() / 2],
                v[v.size() * 9 / 10], v.back());
}

const char* Arg(int argc, char** argv, const char* name, const char* fallback)
{
    for (int i = 2; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return argv[i + 1];
    return fallback;
}

bool Flag(int argc, char** argv, const char* name)
{
    for (int i = 2; i < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return true;
    return false;
}

// The catalogue of a site as it stands (from the days' summaries), then the same with the summaries
// put aside (every segment from its index, as for a store whose summaries are lost): both in one
// run, wall time and the process's CPU time (on a loaded machine the wall time is mostly waiting).
// False when the two answers differ.
bool CatalogueFigures(const std::string& site)
{
    auto catalogue = [&](const char* what, std::vector<std::vector<store::Span>>* answer) {
        std::vector<double> cat, cpu;
        for (int i = 0; i < 9; ++i) {
            const auto a = Clock::now();
            const std::clock_t c0 = std::clock();
            store::Catalogue c(site);
            std::vector<std::vector<store::Span>> all;
            for (uint32_t day : c.Days())
                for (int cam : c.Cameras(day))
                    all.push_back(c.Spans(cam, day));
            cat.push_back(Ms(Clock::now() - a));
            cpu.push_back(1000.0 * double(std::clock() - c0) / CLOCKS_PER_SEC);
            if (i == 0)
                *answer = all;
        }
        PrintFigures(what, cat);
        PrintFigures("  CPU of it", cpu);
        std::sort(cat.begin(), cat.end());
        return cat[cat.size() / 2];
    };
    std::vector<std::vector<store::Span>> withSummary, fromIndexes;
    const double fast = catalogue("catalogue of every day and camera", &withSummary);
    std::vector<std::filesystem::path> hidden;
    for (uint32_t day : store::ListDays(site)) {
        const std::filesystem::path p = store::SummaryPathOf(site, day);
        std::error_code ec;
        std::filesystem::rename(p, p.string() + ".aside", ec);
        if (!ec)
            hidden.push_back(p);
    }
    const double slow = catalogue("the same from the indexes alone", &fromIndexes);
    for (const auto& p : hidden)
        std::filesystem::rename(p.string() + ".aside", p);
    size_t spans = 0;
    bool same = withSummary.size() == fromIndexes.size();
    for (size_t i = 0; same && i < withSummary.size(); ++i) {
        spans += withSummary[i].size();
        same = withSummary[i].size() == fromIndexes[i].size();
        for (size_t k = 0; same && k < withSummary[i].size(); ++k)
            same = withSummary[i][k].startMs == fromIndexes[i][k].startMs && withSummary[i][k].endMs == fromIndexes[i][k].endMs;
    }
    std::printf("catalogue: %zu spans, %zu summaries; the two answers %s; indexes / summary median %.1f\n", spans,
                hidden.size(), same ? "agree" : "DIFFER", slow / fast);
    return same;
}

// store_bench catalogue --site DIR: the catalogue figures of a site folder that exists (one kept
// with seek --keep, or a real one), without writing a store first.
int CatalogueOnly(int argc, char** argv)
{
    const char* site = Arg(argc, argv, "--site", "");
    if (!*site || !std::filesystem::is_directory(site)) {
        std::printf("store_bench catalogue --site DIR: DIR is a site folder of a store\n");
        return 2;
    }
    return CatalogueFigures(site) ? 0 : 1;
}

int Seek(int argc, char** argv)
{
    const std::string root = Arg(argc, argv, "--root", "build/store-bench");
    const int hours = std::atoi(Arg(argc, argv, "--hours", "24"));
    const int cameras = std::clamp(std::atoi(Arg(argc, argv, "--cameras", "16")), 1, 16);
    const int fps = std::clamp(std::atoi(Arg(argc, argv, "--fps", "30")), 1, 30);
    const int probes = std::max(1, std::atoi(Arg(argc, argv, "--probes", "200")));
    const size_t keyBytes = size_t(std::clamp(std::atoi(Arg(argc, argv, "--key-bytes", "2000")), 16, 200000));
    const int64_t t0 = 1704067200000; // 2024-01-01 00:00:00 UTC
    const int64_t length = int64_t(hours) * 3600000;

    std::filesystem::remove_all(root);
    const video::XvidApi& x = video::LinkedXvidApi();
    std::vector<dvrsim::VideoLoop> loops(4);
    for (int i = 0; i < 4; ++i) {
        dvrsim::VideoFormat f; // CIF, 30 a second, a key frame a second
        f.seconds = 2;
        std::string err;
        if (!dvrsim::EncodeVideoLoop(x, i, f, loops[size_t(i)], &err)) {
            std::printf("encoding failed: %s\n", err.c_str());
            return 1;
        }
    }
    std::vector<dvrsim::VideoChannelStream> streams;
    for (int c = 0; c < cameras; ++c)
        streams.emplace_back(c, &loops[size_t(c % 4)], nullptr, dvrsim::VideoFaults{}, 34, 0);

    std::string error;
    auto w = store::StoreWriter::Open(root, "192.168.1.20", 5000, {}, &error);
    if (!w) {
        std::printf("%s\n", error.c_str());
        return 1;
    }
    const auto writeStart = Clock::now();
    std::vector<uint8_t> frame;
    dvrsim::SentVideoFrame info;
    uint64_t records = 0, bytes = 0;
    const int64_t step = 1000 / fps;
    for (int64_t t = 0; t < length; t += step) {
        const int64_t s = t / 1000;
        const bool keyDue = t % 1000 < step;
        for (int c = 0; c < cameras; ++c) {
            streams[size_t(c)].Next(uint64_t(t0 + t) * 1000, frame, &info);
            // Below 30 a second, the second's first frame is made the key frame.
            const bool key = fps == 30 ? info.intra : keyDue;
            uint32_t word0 = wire::LoadLE32(frame.data());
            word0 = (word0 & ~(3u << 22)) | (key ? 0u : (1u << 22));
            wire::StoreLE32(frame.data(), word0);
            const size_t keep = std::min(frame.size(), wire::kVideoHeaderSize + (key ? keyBytes : 16));
            frame.resize(keep);
            wire::StoreLE32(frame.data() + 60, uint32_t(keep));
            if (!w->Append(frame.data(), frame.size(), NowMs())) {
                std::printf("append failed at %lld s: %s\n", (long long)s, w->Error().c_str());
                return 1;
            }
            ++records;
            bytes += keep;
        }
    }
    w->Close();
    std::printf("store of %d h x %d cameras at %d/s: %llu records, %.2f GB of blocks, written in %.1f s\n", hours,
                cameras, fps, (unsigned long long)records, bytes / 1e9, Ms(Clock::now() - writeStart) / 1000);

    std::mt19937_64 rng(36);
    std::vector<double> open;
    int misses = 0;
    for (int i = 0; i < probes; ++i) {
        const int c = int(rng() % unsigned(cameras));
        const int64_t t = t0 + int64_t(rng() % uint64_t(length));
        const auto a = Clock::now();
        auto r = store::StoreReader::Open(w->SiteFolder(), c, true, &error);
        store::Record rec;
        const bool ok = r && r->Seek(t) && r->Next(&rec) && rec.key && rec.dvrMs <= t && t - rec.dvrMs <= 1100;
        open.push_back(Ms(Clock::now() - a));
        misses += ok ? 0 : 1;
    }
    PrintFigures("open a second (reader, seek, key)", open);
    if (misses)
        std::printf("  %d probes did not land on the key frame at or before their time\n", misses);
    const bool catalogueOk = CatalogueFigures(w->SiteFolder());
    if (!Flag(argc, argv, "--keep"))
        std::filesystem::remove_all(root);
    return misses || !catalogueOk ? 1 : 0;
}

int Motion(int argc, char** argv)
{
    const int reps = std::max(1, std::atoi(Arg(argc, argv, "--reps", "9")));
    struct Case {
        const char* name;
        int w, h, bpp;
    } cases[] = {{"BGR24 720x480", 720, 480, 3}, {"BGR24 352x240", 352, 240, 3}, {"luma 720x480", 720, 480, 1}};
    for (const Case& k : cases) {
        // Two pictures that differ (a moving bar), alternated.
        std::vector<uint8_t> a(size_t(k.w) * k.h * k.bpp, 80), b = a;
        for (int y = 0; y < k.h; ++y)
            std::memset(&b[size_t(y) * k.w * k.bpp + size_t(k.w / 4) * k.bpp], 200, size_t(k.w / 8) * k.bpp);
        std::vector<double> perPicture;
        for (int r = 0; r < reps; ++r) {
            store::MotionMeter m;
            const int n = 600;
            const auto t = Clock::now();
            for (int i = 0; i < n; ++i) {
                const uint8_t* p = (i & 1) ? b.data() : a.data();
                if (k.bpp == 3)
                    m.AddBgr(p, k.w, k.h, k.w * 3, uint32_t(i / 30));
                else
                    m.AddLuma(p, k.w, k.h, k.w, uint32_t(i / 30));
                uint32_t s;
                uint8_t l;
                m.Take(&s, &l);
            }
            perPicture.push_back(Ms(Clock::now() - t) * 1000 / n);
        }
        std::sort(perPicture.begin(), perPicture.end());
        std::printf("motion meter, %-14s median %.1f us a picture (min %.1f, max %.1f, %d reps of 600)\n", k.name,
                    perPicture[perPicture.size() / 2], perPicture.front(), perPicture.back(), reps);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "seek") == 0)
        return Seek(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "catalogue") == 0)
        return CatalogueOnly(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "motion") == 0)
        return Motion(argc, argv);
    std::printf("usage: store_bench seek [--root DIR] [--hours 24] [--cameras 16] [--fps 30] [--key-bytes 2000] [--probes 200] [--keep]\n"
                "       store_bench catalogue --site DIR\n"
                "       store_bench motion [--reps 9]\n");
    return 2;
}
