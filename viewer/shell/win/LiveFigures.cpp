#include "LiveFigures.h"
#include "LiveVideo.h"
#include "ViewAudio.h"
#include <psapi.h>

CLiveFigures::~CLiveFigures()
{
    if (file_)
        fclose(file_);
}

bool CLiveFigures::Start(const std::wstring& path, view::CLiveVideo& live)
{
    if (file_)
        return false;
    file_ = _wfopen(path.c_str(), L"ab");
    if (!file_)
        return false;
    start_ = last_ = std::chrono::steady_clock::now();
    fprintf(file_,
            "# elapsed_s window_s shown dropped pictures lat_p50_ms lat_p99_ms lat_max_ms "
            "working_set_kib private_kib frames_in arrival_p50_ms arrival_p99_ms audio_queued_ms "
            "audio_skipped audio_trimmed refused_full pipeline_dropped av_p50_ms av_p99_ms av_max_ms\n");
    fflush(file_);
    live.SetLatencyStats(&latency_, &arrival_, &sync_);
    return true;
}

void CLiveFigures::Write(const view::CLiveVideo& live, CViewAudio* audio)
{
    if (!file_)
        return;
    const auto now = std::chrono::steady_clock::now();
    const pipeline::CLatencyHistogram::Window w = latency_.Take();
    const pipeline::CLatencyHistogram::Window a = arrival_.Take();
    const pipeline::CLatencyHistogram::Window s = sync_.Take();
    const double bias = pipeline::CFramePipeline::kSyncBiasMicros / 1000.0;
    const pipeline::CFramePipeline* pipe = live.Pipeline();
    PROCESS_MEMORY_COUNTERS_EX mem{};
    mem.cb = sizeof mem;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&mem), sizeof mem);
    const long queued = audio ? audio->MainQueuedBytes() : -1;
    fprintf(file_,
            "%.3f %.3f %llu %llu %llu %.2f %.2f %.2f %llu %llu %llu %.2f %.2f %ld %llu %llu %llu %llu %.1f %.1f %.1f\n",
            std::chrono::duration<double>(now - start_).count(), std::chrono::duration<double>(now - last_).count(),
            static_cast<unsigned long long>(live.PicturesShown()),
            static_cast<unsigned long long>(live.FramesDropped()), static_cast<unsigned long long>(w.count), w.medianMs,
            w.p99Ms, w.maxMs, static_cast<unsigned long long>(mem.WorkingSetSize / 1024),
            static_cast<unsigned long long>(mem.PrivateUsage / 1024), static_cast<unsigned long long>(a.count),
            a.medianMs, a.p99Ms, queued < 0 ? -1L : static_cast<long>(queued / audio::kBlockBytes * audio::kBlockMs),
            static_cast<unsigned long long>(audio ? audio->Receiver().BlocksSkipped() : 0),
            static_cast<unsigned long long>(audio ? audio->Receiver().BlocksTrimmed() : 0),
            static_cast<unsigned long long>(live.FramesRefusedFull()),
            static_cast<unsigned long long>(pipe ? pipe->FramesDropped() : 0), s.count ? s.medianMs - bias : 0.0,
            s.count ? s.p99Ms - bias : 0.0, s.count ? s.maxMs - bias : 0.0);
    fflush(file_);
    last_ = now;
}
