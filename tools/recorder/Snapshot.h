#pragma once
// One decoded picture of one channel, from the stream blocks a DVR sends: what `dvrtool snapshot`
// writes. Frames are checked as the viewer checks them.
#include "Mp4DecoderManager.h"
#include <cstdint>
#include <string>
#include <vector>

namespace recorder {

struct Snapshot {
    int width = 0, height = 0;
    std::vector<uint8_t> bgr; // rows top-down, width * 3 bytes each
    // The picture's recording time from its frame header: 2000 + year, month ... second.
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

class SnapshotTaker {
public:
    // `channel`: 0-based. The xvid library stays the caller's.
    SnapshotTaker(const video::XvidApi& xvid, int channel);
    SnapshotTaker(const SnapshotTaker&) = delete;
    SnapshotTaker& operator=(const SnapshotTaker&) = delete;

    // One stream block as received (header command 83); true once the channel gave a picture.
    bool OnStreamBlock(const uint8_t* data, size_t size);
    bool Done() const { return done_; }
    const Snapshot& Picture() const { return picture_; }

private:
    int channel_;
    video::CMp4DecoderManager decoder_;
    Snapshot picture_;
    bool done_ = false;
};

// Writes the picture as PNG to `path`, first beside it, so that a failure leaves no half file.
bool WriteSnapshotPng(const std::string& path, const Snapshot& s);

} // namespace recorder
