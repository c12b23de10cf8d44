#pragma once
// The view's coders: coders 0-3 decode the DVR's audio channels, coder 4 its talk-back audio, the
// encoder of coder 0 encodes the microphone. Buffers handed out stay owned by the set and stay
// valid until the next call for the same coder (or the next Encode), or until Release.
#include "G723Coder.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

class CAudioCoderSet {
public:
    static constexpr int kDefaultCoders = 6;

    CAudioCoderSet() = default;
    ~CAudioCoderSet() { Release(); }
    CAudioCoderSet(const CAudioCoderSet&) = delete;
    CAudioCoderSet& operator=(const CAudioCoderSet&) = delete;

    // Releases everything and allocates n reset coders. 1, or 0 when n is negative or an
    // allocation fails (the set then holds no coders).
    int Init(int n);
    void Release();

    // Decodes channel's 48-byte block of a received audio record (the block at 24 + 48 x channel).
    // Returns the PCM length in bytes (256) and sets *pcm, or 0 and null when the record has no
    // audio tag, the channel has no coder or the record is too short for the block.
    int DecodePacket(int channel, const uint8_t* record, size_t recordSize, const int16_t** pcm);
    // Decodes byteCount coded bytes with coder index, under the set's lock. Returns the PCM length
    // in bytes ((byteCount x 8 / 3) x 2) and sets *pcm; 0 and null when there is nothing to give.
    int DecodeRaw(int index, const uint8_t* codes, int byteCount, const int16_t** pcm);
    // Encodes with coder 0's encoder. Returns the coder's result (the coded length, or -1) and
    // sets *coded to the set's encode buffer (null when nothing was produced).
    int Encode(const int16_t* samples, int sampleCount, const uint8_t** coded);

    int Count() const { return count_; }
    CG723Coder* Coder(int index) { return index >= 0 && index < count_ ? &coders_[index] : nullptr; }

private:
    int DecodeInto(int index, const uint8_t* codes, int byteCount, const int16_t** pcm);

    std::unique_ptr<CG723Coder[]> coders_;
    std::unique_ptr<std::unique_ptr<int16_t[]>[]> decodeBuffers_;
    std::mutex lock_; // guards the raw decoder
    int count_ = 0;
    std::unique_ptr<uint8_t[]> encodeBuffer_;
};
