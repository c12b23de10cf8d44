#pragma once
// Reading back an AVI of the kind the export writes: one MPEG-4 video stream at a constant frame
// rate (a zero-length chunk is a dropped frame) and 8 kHz 16-bit mono PCM sound. Every size, count
// and offset in the file is checked against the file itself: the chunks of the index must be the
// chunks found at its offsets, or the movie list is read through instead; a file cut short or
// damaged gives what stands before the damage, and Problem() says what happened.
#include "File.h"
#include <cstdint>
#include <string>
#include <vector>

namespace backup {

struct AviVideoChunk {
    uint64_t offset = 0; // of the data in the file
    uint32_t size = 0; // 0: a dropped frame (its slot still counts)
    bool key = false; // an intra picture (read from the picture itself, not from the index)
};

struct AviSoundChunk {
    uint64_t offset = 0;
    uint32_t size = 0; // bytes, even
    uint64_t firstSample = 0; // of the stream
};

class AviReader {
public:
    // Pictures larger than this are passed over (a frame slot less the frame header).
    static constexpr uint32_t kMaxPicture = 262016 - 64;
    static constexpr size_t kMaxChunks = 8u << 20;

    // False (with *error) when the file is no AVI this reader plays: no RIFF AVI header, no video
    // stream, a picture size that is not a multiple of 16 up to 720 x 576, an impossible rate.
    bool Open(const std::string& path, std::string* error);

    int Width() const { return width_; }
    int Height() const { return height_; }
    uint32_t Rate() const { return rate_; } // pictures per second = Rate() / Scale()
    uint32_t Scale() const { return scale_; }
    bool HasSound() const { return soundStream_ >= 0; }
    const std::vector<AviVideoChunk>& Video() const { return video_; }
    const std::vector<AviSoundChunk>& Sound() const { return sound_; }
    // Empty when the whole file was read; else one sentence on what was passed over and where.
    const std::string& Problem() const { return problem_; }
    // The microseconds from the first slot to slot i.
    int64_t SlotUs(uint64_t slot) const;

    // The bytes of a chunk; false when they are not all in the file.
    bool Read(uint64_t offset, uint32_t size, std::vector<uint8_t>* out) const;

private:
    bool ParseHeaders(uint64_t from, uint64_t to, std::string* error);
    bool UseIndex(uint64_t at, uint32_t size);
    void Scan();
    bool Add(int stream, bool sound, uint64_t offset, uint32_t size);
    bool IsKey(uint64_t offset, uint32_t size) const;
    void Note(const std::string& what);
    // A few bytes at an offset, through a window of the file read a block at a time: opening walks
    // the chunk headers and picture starts in file order, one read per block rather than two per
    // picture. False when they are not all in the file.
    bool Peek(uint64_t offset, uint8_t* out, size_t n) const;

    store::File f_;
    uint64_t fileSize_ = 0;
    int width_ = 0, height_ = 0;
    uint32_t rate_ = 0, scale_ = 0;
    int videoStream_ = -1, soundStream_ = -1;
    uint64_t moviList_ = 0, moviEnd_ = 0; // the "movi" fourcc; the end of the list's data
    std::vector<AviVideoChunk> video_;
    std::vector<AviSoundChunk> sound_;
    uint64_t samples_ = 0;
    std::string problem_;
    mutable std::vector<uint8_t> window_;
    mutable uint64_t windowAt_ = 0;
};

} // namespace backup
