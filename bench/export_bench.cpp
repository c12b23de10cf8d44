// Export speed: a store of SECONDS s of 16 cameras (704 x 480 at 30 pictures/s, the simulator's
// encoded loops) and the site's sound, exported for camera 1 and then for all 16 cameras, REPS times.
// Prints the median seconds of video per second of wall time and the CPU seconds per run.
//   export_bench [SECONDS] [REPS] [DIR]
#include "Export.h"
#include "StoreSource.h"
#include "StoreWriter.h"
#include "Layout.h"
#include "ToolAudio.h"
#include "VideoChannelStream.h"
#include "XvidApi.h"
#include <sys/resource.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

static double Cpu()
{
    rusage u;
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const int reps = argc > 2 ? std::atoi(argv[2]) : 3;
    const fs::path dir = argc > 3 ? fs::path(argv[3]) : fs::temp_directory_path() / "export_bench";
    fs::remove_all(dir);
    fs::create_directories(dir / "out");
    const uint64_t start = 1700000000ull * 1000000;
    std::string error;
    {
        std::vector<dvrsim::VideoLoop> loops(16);
        std::vector<std::unique_ptr<dvrsim::VideoChannelStream>> streams;
        for (int c = 0; c < 16; ++c) {
            dvrsim::VideoFormat f;
            f.width = 704, f.height = 480, f.seconds = 2;
            if (!dvrsim::EncodeVideoLoop(video::LinkedXvidApi(), c, f, loops[size_t(c)]))
                return 1;
            streams.push_back(std::make_unique<dvrsim::VideoChannelStream>(c, &loops[size_t(c)]));
        }
        auto w = store::StoreWriter::Open((dir / "store").string(), "10.0.0.5", 50000, {}, &error);
        if (!w)
            return std::fprintf(stderr, "%s\n", error.c_str()), 1;
        toolaudio::AudioRecordSource audio;
        uint64_t nextAudio = start;
        std::vector<uint8_t> b;
        for (int i = 0; i < seconds * 30; ++i) {
            const uint64_t t = start + uint64_t(i) * 1001000 / 30;
            for (; nextAudio <= t; nextAudio += 16000) {
                audio.Next(false, uint32_t(nextAudio / 1000000), uint32_t(nextAudio % 1000000), b);
                w->Append(b.data(), b.size(), int64_t(nextAudio / 1000));
            }
            for (auto& s : streams) {
                s->Next(t, b);
                w->Append(b.data(), b.size(), int64_t(t / 1000));
            }
        }
        if (!w->Close())
            return std::fprintf(stderr, "%s\n", w->Error().c_str()), 1;
    }
    const std::string site = store::JoinPath((dir / "store").string(), store::SiteFolderName("10.0.0.5", 50000));
    for (int cameras : {1, 16}) {
        std::vector<double> speed, cpu;
        uint64_t bytes = 0;
        for (int r = 0; r < reps; ++r) {
            fs::remove_all(dir / "out");
            fs::create_directories(dir / "out");
            const auto t0 = std::chrono::steady_clock::now();
            const double c0 = Cpu();
            bytes = 0;
            for (int c = 0; c < cameras; ++c) {
                backup::ExportOptions o;
                o.outPath = (dir / "out" / ("cam" + std::to_string(c + 1) + ".avi")).string();
                o.camera = c;
                o.audioChannel = c < 4 ? c : -1;
                o.fromUs = int64_t(start), o.toUs = int64_t(start) + seconds * 1000000ll;
                auto src = backup::StoreSources::Open(site, c, o.fromUs, &error);
                if (!src)
                    return std::fprintf(stderr, "%s\n", error.c_str()), 1;
                auto res = backup::ExportCamera(src->Video(), o.audioChannel >= 0 ? &src->Audio() : nullptr, o);
                if (!res.ok)
                    return std::fprintf(stderr, "%s\n", res.error.c_str()), 1;
                for (const auto& f : res.files)
                    bytes += fs::file_size(f.path);
            }
            const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            speed.push_back(double(seconds) * cameras / wall);
            cpu.push_back(Cpu() - c0);
            std::printf("  run %d: %d camera(s), %.2f s wall, %.2f s CPU, %.1f MB written\n", r + 1, cameras, wall,
                        cpu.back(), double(bytes) / 1e6);
        }
        std::sort(speed.begin(), speed.end());
        std::sort(cpu.begin(), cpu.end());
        std::printf("%2d camera(s), %d s each: median %.0f s of video per s (all cameras together), median CPU %.2f s "
                    "(%.1f ms per s of video)\n",
                    cameras, seconds, speed[speed.size() / 2], cpu[cpu.size() / 2],
                    1000 * cpu[cpu.size() / 2] / (double(seconds) * cameras));
    }
    fs::remove_all(dir);
    return 0;
}
