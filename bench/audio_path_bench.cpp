// CPU time of the receive path per record (16 ms of audio), beside the bare decode of one block
// that it is built on, and of the uplink per captured block beside the bare encode.
#include "AudioReceiver.h"
#include "CoderSetCoding.h"
#include "G723Coder.h"
#include "PhoneUplink.h"
#include "wire/StreamFrame.h"
#include <benchmark/benchmark.h>
#include <cmath>
#include <vector>

namespace {

struct NullOut : audio::IAudioOutput {
    long Write(const void*, uint32_t) override { return 0; }
};

std::vector<std::vector<uint8_t>> Records(int n)
{
    CG723Coder enc[4];
    std::vector<std::vector<uint8_t>> out(n);
    for (int r = 0; r < n; ++r) {
        out[r].assign(264, 0);
        wire::AudioBlockHeader h;
        h.length = 264;
        h.channelMask = 0xF;
        h.sequence = static_cast<uint32_t>(r + 1);
        wire::BuildAudioBlockHeader(h, out[r].data());
        for (int c = 0; c < 4; ++c) {
            int16_t pcm[128];
            for (int i = 0; i < 128; ++i)
                pcm[i] = static_cast<int16_t>(9000 * std::sin(0.05 * (c + 1) * (r * 128 + i)));
            enc[c].Encode(pcm, 128, out[r].data() + 24 + 48 * c, 48);
        }
    }
    return out;
}

void BM_ReceivePathPerRecord(benchmark::State& state)
{
    const auto recs = Records(625);
    CAudioCoderSet set;
    set.Init(6);
    audio::CCoderSetCoding coding(set);
    NullOut out;
    audio::CAudioReceiver rx(coding, &out, &out);
    rx.SetSelectedChannel(2);
    size_t i = 0;
    for (auto _ : state) {
        rx.OnAudioRecord(recs[i].data(), recs[i].size());
        if (++i == recs.size())
            i = 0;
    }
}
BENCHMARK(BM_ReceivePathPerRecord);

void BM_BareDecodePerBlock(benchmark::State& state)
{
    const auto recs = Records(625);
    CG723Coder dec;
    int16_t pcm[128];
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(dec.Decode(recs[i].data() + 24 + 96, 48, pcm, 128));
        if (++i == recs.size())
            i = 0;
    }
}
BENCHMARK(BM_BareDecodePerBlock);

struct NullLink : audio::IPhoneTransport, audio::IPhoneDevices {
    bool SendCommand(uint16_t, const void*, size_t) override { return true; }
    bool SendStream(const void*, size_t) override { return true; }
    bool ReadCaptured(void* out, size_t n) override
    {
        auto* s = static_cast<int16_t*>(out);
        for (size_t i = 0; i < n / 2; ++i)
            s[i] = static_cast<int16_t>(8000 * std::sin(0.07 * double(k++)));
        return true;
    }
    void StartCapture() override {}
    void StopCapture() override {}
    void ResetPhonePlayer() override {}
    bool PerformanceCounter(int64_t& c, int64_t& f) override
    {
        c = k;
        f = 8000;
        return true;
    }
    uint64_t k = 0;
};

void BM_UplinkPerCapturedBlock(benchmark::State& state)
{
    CAudioCoderSet set;
    set.Init(6);
    audio::CCoderSetCoding coding(set);
    NullLink link;
    audio::CPhoneUplink phone(coding, link, link);
    phone.SetButton(true);
    phone.OnDvrAnswer(1);
    for (auto _ : state)
        phone.OnCaptured(true);
}
BENCHMARK(BM_UplinkPerCapturedBlock);

void BM_BareEncodePerBlock(benchmark::State& state)
{
    CG723Coder enc;
    int16_t pcm[128];
    for (int i = 0; i < 128; ++i)
        pcm[i] = static_cast<int16_t>(8000 * std::sin(0.07 * i));
    uint8_t out[48];
    for (auto _ : state)
        benchmark::DoNotOptimize(enc.Encode(pcm, 128, out, 48));
}
BENCHMARK(BM_BareEncodePerBlock);

} // namespace

BENCHMARK_MAIN();
