// Conversions per second of ConvertFrameTime beside glibc's localtime_r for the same instants and
// a TZ with the same rules. Run with --benchmark_repetitions=N for medians.
#include "TimeZoneConvert.h"
#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

struct Instants {
    std::vector<video::RecordingTime> fields;
    std::vector<time_t> seconds;
};

// 4096 instants spread over 2008 to 2012 (UTC), the same in both forms.
const Instants& TestInstants()
{
    static const Instants all = [] {
        Instants in;
        uint64_t x = 0x9E3779B97F4A7C15ull;
        const time_t from = 1199145600; // 2008-01-01T00:00:00Z
        for (int i = 0; i < 4096; ++i) {
            x = x * 6364136223846793005ull + 1442695040888963407ull;
            const time_t t = from + static_cast<time_t>((x >> 33) % (5 * 365 * 86400ull));
            struct tm u;
            gmtime_r(&t, &u);
            in.fields.push_back({u.tm_year + 1900, u.tm_mon + 1, u.tm_mday, u.tm_hour, u.tm_min, u.tm_sec});
            in.seconds.push_back(t);
        }
        return in;
    }();
    return all;
}

struct Zone {
    unsigned index;
    const char* tzfile;
    const char* posix;
};
constexpr Zone kZones[] = {
    {4, "America/Los_Angeles", "PST8PDT,M3.2.0,M11.1.0"},
    {34, "Europe/Paris", "CET-1CEST,M3.5.0,M10.5.0/3"},
    {76, "Australia/Sydney", "AEST-10AEDT,M10.1.0,M4.1.0/3"},
};

// `loadEachPicture`: the settings loaded again for every conversion, the decode thread's whole
// per-picture step; otherwise once, as a thread keeps them while the zone does not change.
void ConvertLoop(benchmark::State& state, bool loadEachPicture)
{
    const Zone& z = kZones[state.range(0)];
    const auto& in = TestInstants().fields;
    video::TimeZoneSettings s;
    video::LoadTimeZone(s, z.index, 1);
    size_t i = 0;
    for (auto _ : state) {
        if (loadEachPicture) {
            s = video::TimeZoneSettings{};
            video::LoadTimeZone(s, z.index, 1);
        }
        video::PictureTime local;
        uint32_t mark;
        benchmark::DoNotOptimize(video::ConvertFrameTime(s, in[i], local, mark));
        benchmark::DoNotOptimize(local);
        i = (i + 1) & 4095;
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(z.tzfile);
}

void BM_ConvertFrameTime(benchmark::State& state) { ConvertLoop(state, false); }

void BM_LoadAndConvert(benchmark::State& state) { ConvertLoop(state, true); }

void LocaltimeLoop(benchmark::State& state, const char* tz)
{
    setenv("TZ", tz, 1);
    tzset();
    const auto& in = TestInstants().seconds;
    size_t i = 0;
    for (auto _ : state) {
        struct tm local;
        benchmark::DoNotOptimize(localtime_r(&in[i], &local));
        benchmark::DoNotOptimize(local);
        i = (i + 1) & 4095;
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(tz);
}

void BM_LocaltimeR_TzFile(benchmark::State& state) { LocaltimeLoop(state, kZones[state.range(0)].tzfile); }

void BM_LocaltimeR_PosixRule(benchmark::State& state) { LocaltimeLoop(state, kZones[state.range(0)].posix); }

BENCHMARK(BM_ConvertFrameTime)->DenseRange(0, 2);
BENCHMARK(BM_LoadAndConvert)->DenseRange(0, 2);
BENCHMARK(BM_LocaltimeR_TzFile)->DenseRange(0, 2);
BENCHMARK(BM_LocaltimeR_PosixRule)->DenseRange(0, 2);

} // namespace

BENCHMARK_MAIN();
