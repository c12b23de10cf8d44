#pragma once
// The live-video figures of one view, a line a second in a text file: seconds since start, the
// window the latency covers, pictures shown and frames dropped (totals), the display latency of
// the window's pictures (wall clock at display less the frame header's send time), the process's
// memory, the video frames that reached the view in the window with their arrival latency, and the
// live audio: what the player holds now (ms, -1 when silent) and the blocks skipped at the cap and
// trimmed towards the low-water mark (totals); of the dropped frames, those the full ring refused and
// those the pipeline dropped (totals); and the window's audio clock less each picture's time when it
// was shown, while pictures wait for the audio (ms; positive: the picture comes after its sound).
#include <windows.h>
#include <chrono>
#include <cstdio>
#include <string>
#include "LatencyHistogram.h"

namespace view {
class CLiveVideo;
}
class CViewAudio;

class CLiveFigures {
public:
    CLiveFigures() = default;
    ~CLiveFigures();
    CLiveFigures(const CLiveFigures&) = delete;
    CLiveFigures& operator=(const CLiveFigures&) = delete;

    // Opens `path` for appending, writes the column line and hooks the histograms into `live`,
    // whose decode threads record into them: this object must outlive them.
    bool Start(const std::wstring& path, view::CLiveVideo& live);
    // Appends one line.
    void Write(const view::CLiveVideo& live, CViewAudio* audio);

private:
    FILE* file_ = nullptr; // ours
    pipeline::CLatencyHistogram latency_, arrival_, sync_;
    std::chrono::steady_clock::time_point start_, last_;
};
