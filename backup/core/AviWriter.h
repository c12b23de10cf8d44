#pragma once
// A RIFF AVI file (AVI 1.0 with an idx1 index) of one MPEG-4 video stream, stored exactly as it is
// given, and optionally one sound stream of 8 kHz 16-bit mono PCM. A zero-length video chunk is a
// dropped frame: players and ffmpeg advance the clock by one frame for it and show nothing new, so
// a constant frame rate keeps every picture at its time. The sizes and counts of the headers are
// patched by Finish; until then the file is not a valid AVI (it lives under its temporary name).
#include "OutFile.h"
#include <cstdint>
#include <vector>

namespace backup {

struct AviFormat {
    int width = 0;
    int height = 0;
    uint32_t rate = 30000; // frames per second = rate / scale
    uint32_t scale = 1001;
    bool sound = true;
};

class AviWriter {
public:
    static constexpr uint32_t kSoundRate = 8000;

    explicit AviWriter(OutFile& file) : f_(file) {}
    bool Begin(const AviFormat& format);
    bool AddVideo(const uint8_t* data, size_t size, bool key); // size 0: a dropped frame
    bool AddVideo2(const uint8_t* a, size_t na, const uint8_t* b, size_t nb, bool key); // one chunk of a then b
    bool AddSound(const int16_t* samples, size_t count); // buffered; written in chunks of about 0.2 s
    bool Finish(); // writes the index and the final header values; the caller then commits the file
    uint64_t SizeIfFinishedNow() const; // with the index and the buffered sound
    uint64_t VideoFrames() const { return videoFrames_; } // dropped ones included
    uint64_t SoundSamples() const { return soundSamples_ + pending_.size(); }

private:
    bool Chunk(const char id[4], const uint8_t* a, size_t na, const uint8_t* b, size_t nb, uint32_t flags);
    bool FlushSound();

    OutFile& f_; // not ours
    AviFormat fmt_;
    uint64_t moviStart_ = 0; // offset of the "movi" fourcc
    std::vector<uint8_t> index_;
    std::vector<int16_t> pending_;
    uint64_t videoFrames_ = 0;
    uint64_t soundSamples_ = 0;
    uint32_t maxChunk_ = 0;
};

} // namespace backup
