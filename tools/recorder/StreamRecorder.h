#pragma once
// Records the video frames a DVR sends: per channel an MPEG-4 elementary stream with the VOL the
// viewer would synthesize in front of it (and again after every size change, so that players can
// open the file), a CSV of sequence, picture type, size and recording time, and a decoded
// snapshot as PNG. Frames are checked like the viewer checks them; nothing is trusted.
#include "Mp4DecoderManager.h"
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace recorder {

struct ChannelSummary {
    int channel = 0;
    uint64_t frames = 0; // video frames received
    uint64_t lost = 0; // sequence numbers skipped
    uint64_t decoded = 0; // frames that gave a picture
    uint64_t refused = 0; // malformed frames (bad size or length)
    int width = 0, height = 0;
};

class StreamRecorder {
public:
    // dir must exist. The xvid library stays the caller's.
    StreamRecorder(const video::XvidApi& xvid, std::string dir, int channels = 16);
    ~StreamRecorder();
    StreamRecorder(const StreamRecorder&) = delete;
    StreamRecorder& operator=(const StreamRecorder&) = delete;

    // One stream block as received (header command 83). Audio blocks are ignored.
    void OnStreamBlock(const uint8_t* data, size_t size);
    // Writes the snapshots and closes the files. Safe to call twice.
    bool Finish(std::string* error = nullptr);
    std::vector<ChannelSummary> Summaries() const;
    static std::string SummaryLine(const ChannelSummary& s);

private:
    struct Channel;
    Channel* Open(int ch);

    std::string dir_;
    int channels_;
    video::CMp4DecoderManager decoder_;
    std::vector<std::unique_ptr<Channel>> ch_;
    bool finished_ = false;
};

// An 8-bit RGB PNG from top-down BGR rows.
bool WriteBgrPng(const std::string& path, const uint8_t* bgr, int width, int height, int stride);

} // namespace recorder
