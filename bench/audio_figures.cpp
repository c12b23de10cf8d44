// Figures of the audio path under the sound server: the latency from handing a record to the
// receive path to its sound arriving at the server (median over bursts), what of it lies below the
// player's play cursor (the latency less the audio queued ahead of the burst at hand-over: the
// device's own), and the CPU time the path takes per second of audio. Records come at the DVR's rate, one per 16 ms.
//   audio_figures.exe [seconds]
#include "AudioPlayer.h"
#include "AudioReceiver.h"
#include "CoderSetCoding.h"
#include "G723Coder.h"
#include "../viewer/audio/tests/SoundServer.h"
#include "wire/StreamFrame.h"
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

double Seconds(const FILETIME& f) { return (double(f.dwHighDateTime) * 4294967296.0 + f.dwLowDateTime) / 1e7; }

double ThreadCpu()
{
    FILETIME c, e, k, u;
    GetThreadTimes(GetCurrentThread(), &c, &e, &k, &u);
    return Seconds(k) + Seconds(u);
}

double ProcessCpu()
{
    FILETIME c, e, k, u;
    GetProcessTimes(GetCurrentProcess(), &c, &e, &k, &u);
    return Seconds(k) + Seconds(u);
}

} // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::max(2, std::atoi(argv[1])) : 8;
    const int records = seconds * 1000 / 16;
    constexpr int kBurstEvery = 31; // about every half second
    timeBeginPeriod(1);

    // Silence with a 1 kHz burst of two blocks every kBurstEvery records, on channel 0.
    CG723Coder enc;
    std::vector<std::vector<uint8_t>> recs(records);
    for (int r = 0; r < records; ++r) {
        auto& rec = recs[r];
        rec.assign(216, 0);
        wire::AudioBlockHeader h;
        h.length = 216;
        h.channelMask = 1;
        h.sequence = static_cast<uint32_t>(r + 1);
        wire::BuildAudioBlockHeader(h, rec.data());
        int16_t pcm[128];
        const bool burst = r % kBurstEvery == 5 || r % kBurstEvery == 6;
        for (int i = 0; i < 128; ++i)
            pcm[i] = burst ? static_cast<int16_t>(12000 * std::sin(6.2832 * 1000 * (r * 128 + i) / 8000)) : 0;
        enc.Encode(pcm, 128, rec.data() + 24, 48);
    }

    CAudioCoderSet set;
    set.Init(6);
    audio::CCoderSetCoding coding(set);
    CAudioPlayer player;
    if (FAILED(player.Open(nullptr, 256, 200, 20, 1, 16, 8000))) {
        std::printf("no sound device\n");
        return 1;
    }
    audio::CAudioReceiver rx(coding, &player, nullptr);
    rx.SetQueueTrim(false); // every burst's block is written when handed over

    // Reference: the process with the player open but idle (its monitor thread polling) for 2 s.
    const double idle0 = ProcessCpu();
    Sleep(2000);
    const double idleCpu = (ProcessCpu() - idle0) / 2;

    soundtest::Recorder rec;
    if (!rec.Start(seconds + 2.0)) {
        std::printf("cannot record the sound server\n");
        return 1;
    }
    std::vector<long> sendAt; // recording size (samples) when each burst was handed over
    std::vector<double> aheadMs; // audio queued before each burst's block, just after the hand-over
    LARGE_INTEGER f, t0, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t0);
    const double cpu0 = ThreadCpu(), proc0 = ProcessCpu();
    double pathCpu = 0;
    for (int r = 0; r < records; ++r) {
        for (;;) { // pace: record r is due at r * 16 ms
            QueryPerformanceCounter(&t);
            const double ms = double(t.QuadPart - t0.QuadPart) * 1000 / f.QuadPart;
            if (ms >= r * 16.0)
                break;
            Sleep(1);
        }
        if (r % kBurstEvery == 5)
            sendAt.push_back(soundtest::RecordedSamples(rec));
        const double c = ThreadCpu();
        rx.OnAudioRecord(recs[r].data(), recs[r].size());
        pathCpu += ThreadCpu() - c;
        if (r % kBurstEvery == 5)
            aheadMs.push_back(double(player.QueuedBytes()) / 16.0 - 16.0);
    }
    const double feedCpu = ThreadCpu() - cpu0, procCpu = ProcessCpu() - proc0;
    const auto got = rec.Finish(30000);
    player.Close();
    timeEndPeriod(1);

    // Each burst's onset: the first 2 ms window after its hand-over above a clear threshold.
    std::vector<double> latency, below;
    for (size_t b = 0; b < sendAt.size(); ++b) {
        const long s = sendAt[b];
        for (size_t i = static_cast<size_t>(std::max(0L, s)); i + 16 < got.size(); i += 4) {
            if (soundtest::Energy(got, i, 16) > 1e6) {
                latency.push_back(double(long(i) - s) / 8.0);
                below.push_back(latency.back() - aheadMs[b]);
                break;
            }
        }
    }
    std::sort(below.begin(), below.end());
    std::sort(latency.begin(), latency.end());
    std::printf("audio figures: %d records (%d s of audio), %zu bursts heard of %zu\n", records, seconds,
                latency.size(), sendAt.size());
    if (!latency.empty())
        std::printf("latency hand-over -> sound server: median %.1f ms, min %.1f ms, max %.1f ms\n",
                    latency[latency.size() / 2], latency.front(), latency.back());
    if (!below.empty())
        std::printf("of it below the play cursor (less the audio queued ahead at hand-over): median %.1f ms, "
                    "min %.1f ms, max %.1f ms\n",
                    below[below.size() / 2], below.front(), below.back());
    std::printf("CPU per second, idle player open (reference): whole process %.2f ms\n", idleCpu * 1000);
    std::printf("CPU per second of audio: receive path (decode + write) %.3f ms, feeding thread %.3f ms, "
                "whole process (monitor, mixer, sound server client) %.2f ms\n",
                pathCpu * 1000 / seconds, feedCpu * 1000 / seconds, procCpu * 1000 / seconds);
    return 0;
}
