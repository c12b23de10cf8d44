// Samples per second of our 24 kbit/s coder beside spandsp (bit-exact with ours) and libavcodec's
// G.726 (not bit-exact; what many would pick). Ours and spandsp run in 128-sample blocks (48
// bytes), as the viewer uses them; libavcodec gets whole 1 s frames and packets, its best case.
//   taskset -c 1 build/native/bin/g723_bench --benchmark_repetitions=9 --benchmark_report_aggregates_only=true
#include "G723Coder.h"
#include "../viewer/audio/tests/Signals.h"

#include <benchmark/benchmark.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <spandsp.h>
}

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int kSamples = 8000; // one second
constexpr int kBlock = 128;

const std::vector<int16_t>& Pcm()
{
    static const std::vector<int16_t> pcm = signals::SpeechLike(kSamples, 20000, 77);
    return pcm;
}

const std::vector<uint8_t>& Coded()
{
    static const std::vector<uint8_t> coded = [] {
        std::vector<uint8_t> out(kSamples * 3 / 8);
        CG723Coder c;
        c.Encode(Pcm().data(), kSamples, out.data(), static_cast<int>(out.size()));
        return out;
    }();
    return coded;
}

void Ours_Encode(benchmark::State& st)
{
    CG723Coder c;
    uint8_t out[kBlock * 3 / 8];
    for (auto _ : st) {
        for (int i = 0; i < kSamples; i += kBlock)
            c.Encode(Pcm().data() + i, kBlock, out, sizeof out);
        benchmark::DoNotOptimize(out);
    }
    st.SetItemsProcessed(st.iterations() * kSamples);
}

void Ours_Decode(benchmark::State& st)
{
    CG723Coder c;
    int16_t out[kBlock];
    for (auto _ : st) {
        for (int i = 0; i < kSamples * 3 / 8; i += kBlock * 3 / 8)
            c.Decode(Coded().data() + i, kBlock * 3 / 8, out, kBlock);
        benchmark::DoNotOptimize(out);
    }
    st.SetItemsProcessed(st.iterations() * kSamples);
}

// The code the Windows build runs, and any processor without AVX2.
void OursPortable_Encode(benchmark::State& st)
{
    g726::SelectPortable(true);
    Ours_Encode(st);
    g726::SelectPortable(false);
}

void OursPortable_Decode(benchmark::State& st)
{
    g726::SelectPortable(true);
    Ours_Decode(st);
    g726::SelectPortable(false);
}

void Spandsp_Encode(benchmark::State& st)
{
    g726_state_t* s = g726_init(nullptr, 24000, G726_ENCODING_LINEAR, G726_PACKING_RIGHT);
    uint8_t out[kBlock];
    for (auto _ : st) {
        for (int i = 0; i < kSamples; i += kBlock)
            g726_encode(s, out, Pcm().data() + i, kBlock);
        benchmark::DoNotOptimize(out);
    }
    st.SetItemsProcessed(st.iterations() * kSamples);
    g726_free(s);
}

void Spandsp_Decode(benchmark::State& st)
{
    g726_state_t* s = g726_init(nullptr, 24000, G726_ENCODING_LINEAR, G726_PACKING_RIGHT);
    int16_t out[kBlock + 8];
    for (auto _ : st) {
        for (int i = 0; i < kSamples * 3 / 8; i += kBlock * 3 / 8)
            g726_decode(s, out, Coded().data() + i, kBlock * 3 / 8);
        benchmark::DoNotOptimize(out);
    }
    st.SetItemsProcessed(st.iterations() * kSamples);
    g726_free(s);
}

AVCodecContext* OpenAv(bool encoder)
{
    const AVCodec* codec =
        encoder ? avcodec_find_encoder(AV_CODEC_ID_ADPCM_G726LE) : avcodec_find_decoder(AV_CODEC_ID_ADPCM_G726LE);
    if (!codec)
        return nullptr;
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    ctx->sample_rate = 8000;
    ctx->bit_rate = 24000;
    ctx->bits_per_coded_sample = 3;
    ctx->sample_fmt = AV_SAMPLE_FMT_S16;
    av_channel_layout_default(&ctx->ch_layout, 1);
    if (encoder)
        ctx->frame_size = kSamples;
    if (avcodec_open2(ctx, codec, nullptr) < 0)
        avcodec_free_context(&ctx);
    return ctx;
}

// A libavcodec G.726 coder with a frame and a packet; no context when the library has no such coder.
struct AvCoder {
    explicit AvCoder(bool encoder) : ctx(OpenAv(encoder)) {}
    ~AvCoder()
    {
        av_packet_free(&pkt);
        av_frame_free(&frame);
        avcodec_free_context(&ctx);
    }
    AvCoder(const AvCoder&) = delete;
    AvCoder& operator=(const AvCoder&) = delete;

    AVCodecContext* ctx;
    AVFrame* frame = av_frame_alloc();
    AVPacket* pkt = av_packet_alloc();
};

void Libavcodec_Encode(benchmark::State& st)
{
    AvCoder av(true);
    if (!av.ctx)
        return st.SkipWithError("no G.726 encoder");
    av.frame->nb_samples = av.ctx->frame_size > 0 ? av.ctx->frame_size : kSamples;
    av.frame->format = AV_SAMPLE_FMT_S16;
    av_channel_layout_copy(&av.frame->ch_layout, &av.ctx->ch_layout);
    av_frame_get_buffer(av.frame, 0);
    const int per = av.frame->nb_samples;
    for (auto _ : st) {
        for (int i = 0; i + per <= kSamples; i += per) {
            av_frame_make_writable(av.frame);
            std::memcpy(av.frame->data[0], Pcm().data() + i, per * 2);
            avcodec_send_frame(av.ctx, av.frame);
            while (avcodec_receive_packet(av.ctx, av.pkt) == 0)
                av_packet_unref(av.pkt);
        }
    }
    st.SetItemsProcessed(st.iterations() * (kSamples / per) * per);
}

void Libavcodec_Decode(benchmark::State& st)
{
    AvCoder av(false);
    if (!av.ctx)
        return st.SkipWithError("no G.726 decoder");
    av_new_packet(av.pkt, static_cast<int>(Coded().size()));
    int64_t samples = 0;
    for (auto _ : st) {
        std::memcpy(av.pkt->data, Coded().data(), Coded().size());
        avcodec_send_packet(av.ctx, av.pkt);
        while (avcodec_receive_frame(av.ctx, av.frame) == 0) {
            samples += av.frame->nb_samples;
            av_frame_unref(av.frame);
        }
    }
    st.SetItemsProcessed(samples);
}

} // namespace

BENCHMARK(Ours_Encode);
BENCHMARK(OursPortable_Encode);
BENCHMARK(Spandsp_Encode);
BENCHMARK(Libavcodec_Encode);
BENCHMARK(Ours_Decode);
BENCHMARK(OursPortable_Decode);
BENCHMARK(Spandsp_Decode);
BENCHMARK(Libavcodec_Decode);

BENCHMARK_MAIN();
