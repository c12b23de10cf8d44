#pragma once
// The DVR's audio coding: 3-bit ADPCM at 8000 samples/s (G.726 at 24 kbit/s, fixed point), eight
// code words packed into three bytes. One coder holds one encoder and one decoder state.
#include <cstddef>
#include <cstdint>

// The adaptive predictor and quantizer state of one direction. dq and sr hold the G.726 floating
// format: bits 6-9 exponent, bits 0-5 mantissa, negative values less 0x400 (0x20 is +0).
struct G726State {
    int32_t yl; // locked (slow) scale factor
    int16_t yu; // unlocked (fast) scale factor
    int16_t dms;
    int16_t dml;
    int16_t ap; // speed control
    int16_t a[2];
    int16_t b[6];
    int16_t pk[2];
    int16_t dq[6];
    int16_t sr[2];
    uint8_t td; // tone detected

    void Reset();
    bool operator==(const G726State&) const = default;
};

namespace g726 {

constexpr int kSamplesPerGroup = 8;
constexpr int kBytesPerGroup = 3;

// Per-sample coding on 16-bit linear PCM (reduced to 14 bits inside) and 3-bit code words.
void EncodeSamples(G726State& s, const int16_t* pcm, int count, uint8_t* codes);
void DecodeCodes(G726State& s, const uint8_t* codes, int count, int16_t* pcm);

// The per-sample loops use AVX2 where the processor has it. SelectPortable(true) forces the
// portable code (the tests run both); returns whether the chosen code is in use.
bool SelectPortable(bool portable);

// Code word k of a group sits at bits 3k..3k+2 of the group's three bytes read as a 24-bit
// little-endian number; a short tail of bytes holds the first code words of a group.
void PackCodes(const uint8_t* codes, int count, uint8_t* bytes);
void UnpackCodes(const uint8_t* bytes, int byteCount, uint8_t* codes);

} // namespace g726

class CG723Coder {
public:
    static constexpr int kBlockSamples = 128;
    static constexpr int kBlockBytes = 48;

    CG723Coder();
    virtual ~CG723Coder();

    // Returns byteCount * 8 / 3 samples; with a null sample pointer only that number. -1 when
    // the capacity is smaller or the arguments are bad; nothing is written then.
    int Decode(const uint8_t* codes, int byteCount, int16_t* samples, int sampleCapacity);
    // Returns sampleCount * 3 / 8 bytes; with a null byte pointer only that number. -1 when the
    // capacity is smaller or the arguments are bad. Every sample advances the encoder state.
    int Encode(const int16_t* samples, int sampleCount, uint8_t* bytes, int byteCapacity);

    void Reset();
    const G726State& EncoderState() const { return enc_; }
    const G726State& DecoderState() const { return dec_; }

    static int SamplesForBytes(int byteCount);
    static int BytesForSamples(int sampleCount);

private:
    G726State enc_;
    G726State dec_;
};
