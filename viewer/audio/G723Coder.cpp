#include "G723Coder.h"

#include <bit>
#include <cstdlib>

void G726State::Reset()
{
    yl = 34816;
    yu = 544;
    dms = dml = ap = 0;
    a[0] = a[1] = 0;
    for (auto& v : b)
        v = 0;
    pk[0] = pk[1] = 0;
    for (auto& v : dq)
        v = 32;
    sr[0] = sr[1] = 32;
    td = 0;
}

namespace g726 {
namespace {

// 24 kbit/s tables, indexed by code word.
constexpr int kDqln[8] = {-2048, 135, 273, 373, 373, 273, 135, -2048}; // inverse quantizer, log domain
constexpr int kW[8] = {-128, 960, 4384, 18624, 18624, 4384, 960, -128}; // scale-factor multiplier
constexpr int kF[8] = {0, 0x200, 0x400, 0xE00, 0xE00, 0x400, 0x200, 0}; // speed-control input

inline int BitLength(unsigned v) { return static_cast<int>(std::bit_width(v)); }

// FMULT: a coefficient (14-bit two's complement) times a value in the floating format, with the
// truncations of the fixed-point algorithm. A zero coefficient counts as mantissa 32, exponent -6,
// so its product is not always zero.
inline int Fmult(int an, int fl)
{
    unsigned mag = static_cast<unsigned>(an > 0 ? an : -an) & 0x1FFF;
    int nb = BitLength(mag);
    int mant = mag ? static_cast<int>((mag << 6) >> nb) : 32;
    int wmant = (mant * (fl & 0x3F) + 0x30) >> 4;
    int shift = nb + ((fl >> 6) & 0xF); // the product's exponent is shift - 19
    int r = static_cast<int>((static_cast<uint64_t>(wmant) << shift) >> 19) & 0x7FFF;
    return (an ^ fl) < 0 ? -r : r;
}

// FLOATA/FLOATB: a magnitude and a sign to the floating format.
inline int16_t ToFloat(int mag, bool negative)
{
    int v;
    if (mag == 0) {
        v = 0x20;
    } else {
        int e = BitLength(static_cast<unsigned>(mag));
        v = (e << 6) + ((mag << 6) >> e);
    }
    return static_cast<int16_t>(negative ? v - 0x400 : v);
}

// MIX: the step size from the two scale factors and the speed control.
inline int StepSize(const G726State& s)
{
    if (s.ap >= 256)
        return s.yu;
    int yl6 = s.yl >> 6;
    int p = (s.yu - yl6) * (s.ap >> 2);
    p += (p >> 31) & 63; // a negative correction rounds toward zero
    return yl6 + (p >> 6);
}

// LOG, SUBTB, QUAN: the 3-bit code of the difference d at step size y.
inline int Quantize(int d, int y)
{
    int mag = d < 0 ? -d : d;
    int e = BitLength(static_cast<unsigned>(mag >> 1));
    int mant = ((mag << 7) >> e) & 0x7F;
    int dln = (e << 7) + mant - (y >> 2);
    int i = (dln >= 8) + (dln >= 218) + (dln >= 331);
    if (d < 0)
        return 7 - i;
    return i == 0 ? 7 : i;
}

// ADDA, ANTILOG: the magnitude of the quantized difference for a code at step size y.
inline int DequantizedMagnitude(int code, int y)
{
    int dql = kDqln[code] + (y >> 2);
    if (dql < 0)
        return 0;
    int dex = (dql >> 7) & 15;
    int dqt = 128 + (dql & 127);
    return (dqt << 7) >> (14 - dex);
}

// The state update after one sample: scale factors, speed control, predictor coefficients
// with their limits, tone and transition detection, and the delay lines.
inline void Update(G726State& s, int code, int y, int dqmag, bool dqneg, int sr, int dqsez)
{
    const int pk0 = dqsez < 0 ? 1 : 0;

    // TRANS: a large difference while a tone was seen marks a transition.
    const int ylint = s.yl >> 15;
    const int ylfrac = (s.yl >> 10) & 0x1F;
    const int thr = ylint > 9 ? (31 << 10) : ((32 + ylfrac) << ylint);
    const int dqthr = (thr + (thr >> 1)) >> 1;
    const bool tr = s.td && dqmag > dqthr;

    // FUNCTW, FILTD, LIMB, FILTE: scale factors.
    int yu = y + ((kW[code] - y) >> 5);
    yu = yu < 544 ? 544 : (yu > 5120 ? 5120 : yu);
    s.yu = static_cast<int16_t>(yu);
    s.yl += yu + ((-s.yl) >> 6);

    int a2 = 0;
    if (tr) {
        s.a[0] = s.a[1] = 0;
        for (auto& v : s.b)
            v = 0;
    } else {
        // UPA2, LIMC
        const int pks1 = pk0 ^ s.pk[0];
        a2 = s.a[1] - (s.a[1] >> 7);
        if (dqsez != 0) {
            const int fa1 = pks1 ? s.a[0] : -s.a[0];
            if (fa1 < -8191)
                a2 -= 0x100;
            else if (fa1 > 8191)
                a2 += 0xFF;
            else
                a2 += fa1 >> 5;
            if (pk0 ^ s.pk[1])
                a2 = a2 <= -12160 ? -12288 : (a2 >= 12416 ? 12288 : a2 - 0x80);
            else
                a2 = a2 <= -12416 ? -12288 : (a2 >= 12160 ? 12288 : a2 + 0x80);
        }
        s.a[1] = static_cast<int16_t>(a2);

        // UPA1, LIMD
        int a1 = s.a[0] - (s.a[0] >> 8);
        if (dqsez != 0)
            a1 += pks1 ? -192 : 192;
        const int a1ul = 15360 - a2;
        a1 = a1 < -a1ul ? -a1ul : (a1 > a1ul ? a1ul : a1);
        s.a[0] = static_cast<int16_t>(a1);

        // UPB: the zeros follow the sign agreement of this difference with the delayed ones.
        for (int i = 0; i < 6; ++i) {
            int bi = s.b[i] - (s.b[i] >> 8);
            if (dqmag != 0)
                bi += (dqneg == (s.dq[i] < 0)) ? 128 : -128;
            s.b[i] = static_cast<int16_t>(bi);
        }
    }

    for (int i = 5; i > 0; --i)
        s.dq[i] = s.dq[i - 1];
    s.dq[0] = ToFloat(dqmag, dqneg);
    s.sr[1] = s.sr[0];
    if (sr > -32768)
        s.sr[0] = ToFloat(sr < 0 ? -sr : sr, sr < 0);
    else
        s.sr[0] = static_cast<int16_t>(0x20 - 0x400);
    s.pk[1] = s.pk[0];
    s.pk[0] = static_cast<int16_t>(pk0);

    // TONE: a strongly negative second pole coefficient suggests a modem tone.
    s.td = (!tr && a2 < -11776) ? 1 : 0;

    // FILTA, FILTB, SUBTC, FILTC: adaptation speed.
    const int fi = kF[code];
    s.dms = static_cast<int16_t>(s.dms + ((fi - s.dms) >> 5));
    s.dml = static_cast<int16_t>(s.dml + (((fi << 2) - s.dml) >> 7));
    int ap = s.ap;
    if (tr)
        ap = 256;
    else if (y < 1536 || s.td || std::abs((s.dms << 2) - s.dml) >= (s.dml >> 3))
        ap += (0x200 - ap) >> 4;
    else
        ap += (-ap) >> 4;
    s.ap = static_cast<int16_t>(ap);
}

struct Estimate {
    int sez; // zero-predictor part, halved
    int se;  // signal estimate
};

inline Estimate Predict(const G726State& s)
{
    // ACCUM works modulo 2^16, as the 16-bit registers of the algorithm do.
    int sum = 0;
    for (int i = 0; i < 6; ++i)
        sum += Fmult(s.b[i] >> 2, s.dq[i]);
    const int16_t sezi = static_cast<int16_t>(sum);
    const int16_t sei = static_cast<int16_t>(sezi + Fmult(s.a[1] >> 2, s.sr[1]) + Fmult(s.a[0] >> 2, s.sr[0]));
    return {sezi >> 1, sei >> 1};
}

inline int EncodeOne(G726State& s, int sample)
{
    const int sl = sample >> 2;
    const Estimate e = Predict(s);
    const int y = StepSize(s);
    const int code = Quantize(sl - e.se, y);
    const int dqmag = DequantizedMagnitude(code, y);
    const bool neg = (code & 4) != 0;
    const int sr = neg ? e.se - dqmag : e.se + dqmag;
    Update(s, code, y, dqmag, neg, sr, sr + e.sez - e.se);
    return code;
}

inline int DecodeOne(G726State& s, int code)
{
    code &= 7;
    const Estimate e = Predict(s);
    const int y = StepSize(s);
    const int dqmag = DequantizedMagnitude(code, y);
    const bool neg = (code & 4) != 0;
    const int sr = neg ? e.se - dqmag : e.se + dqmag;
    Update(s, code, y, dqmag, neg, sr, sr + e.sez - e.se);
    return sr << 2;
}

} // namespace

void EncodeSamples(G726State& state, const int16_t* pcm, int count, uint8_t* codes)
{
    G726State s = state;
    for (int i = 0; i < count; ++i)
        codes[i] = static_cast<uint8_t>(EncodeOne(s, pcm[i]));
    state = s;
}

void DecodeCodes(G726State& state, const uint8_t* codes, int count, int16_t* pcm)
{
    G726State s = state;
    for (int i = 0; i < count; ++i)
        pcm[i] = static_cast<int16_t>(DecodeOne(s, codes[i]));
    state = s;
}

void PackCodes(const uint8_t* codes, int count, uint8_t* bytes)
{
    int i = 0;
    for (; i + kSamplesPerGroup <= count; i += kSamplesPerGroup) {
        uint32_t v = 0;
        for (int k = 0; k < kSamplesPerGroup; ++k)
            v |= static_cast<uint32_t>(codes[i + k] & 7) << (3 * k);
        *bytes++ = static_cast<uint8_t>(v);
        *bytes++ = static_cast<uint8_t>(v >> 8);
        *bytes++ = static_cast<uint8_t>(v >> 16);
    }
    const int rest = count - i;
    uint32_t v = 0;
    for (int k = 0; k < rest; ++k)
        v |= static_cast<uint32_t>(codes[i + k] & 7) << (3 * k);
    for (int n = rest * 3 / 8, k = 0; k < n; ++k)
        *bytes++ = static_cast<uint8_t>(v >> (8 * k));
}

void UnpackCodes(const uint8_t* bytes, int byteCount, uint8_t* codes)
{
    int i = 0;
    for (; i + kBytesPerGroup <= byteCount; i += kBytesPerGroup) {
        const uint32_t v = bytes[i] | (bytes[i + 1] << 8) | (bytes[i + 2] << 16);
        for (int k = 0; k < kSamplesPerGroup; ++k)
            *codes++ = static_cast<uint8_t>((v >> (3 * k)) & 7);
    }
    const int rest = byteCount - i;
    uint32_t v = 0;
    for (int k = 0; k < rest; ++k)
        v |= static_cast<uint32_t>(bytes[i + k]) << (8 * k);
    for (int n = rest * 8 / 3, k = 0; k < n; ++k)
        *codes++ = static_cast<uint8_t>((v >> (3 * k)) & 7);
}

} // namespace g726

CG723Coder::CG723Coder() { Reset(); }

CG723Coder::~CG723Coder() = default;

void CG723Coder::Reset()
{
    enc_.Reset();
    dec_.Reset();
}

int CG723Coder::SamplesForBytes(int byteCount)
{
    return byteCount < 0 ? -1 : static_cast<int>(static_cast<int64_t>(byteCount) * 8 / 3);
}

int CG723Coder::BytesForSamples(int sampleCount)
{
    return sampleCount < 0 ? -1 : static_cast<int>(static_cast<int64_t>(sampleCount) * 3 / 8);
}

namespace {
// Code words go through a small stack array, a chunk at a time (a multiple of a group).
constexpr int kChunk = 256;
} // namespace

int CG723Coder::Decode(const uint8_t* codes, int byteCount, int16_t* samples, int sampleCapacity)
{
    if (byteCount < 0 || byteCount > 0x7FFFFFFF / 8)
        return -1;
    const int total = SamplesForBytes(byteCount);
    if (!samples)
        return total;
    if (sampleCapacity < total || (byteCount > 0 && !codes))
        return -1;
    uint8_t scratch[kChunk];
    const int chunkBytes = kChunk / g726::kSamplesPerGroup * g726::kBytesPerGroup;
    int done = 0;
    for (int pos = 0; pos < byteCount; pos += chunkBytes) {
        const int n = byteCount - pos < chunkBytes ? byteCount - pos : chunkBytes;
        const int words = n * 8 / 3;
        g726::UnpackCodes(codes + pos, n, scratch);
        g726::DecodeCodes(dec_, scratch, words, samples + done);
        done += words;
    }
    return total;
}

int CG723Coder::Encode(const int16_t* samples, int sampleCount, uint8_t* bytes, int byteCapacity)
{
    if (sampleCount < 0)
        return -1;
    const int total = BytesForSamples(sampleCount);
    if (!bytes)
        return total;
    if (byteCapacity < total || (sampleCount > 0 && !samples))
        return -1;
    uint8_t scratch[kChunk];
    int written = 0;
    for (int pos = 0; pos < sampleCount; pos += kChunk) {
        const int n = sampleCount - pos < kChunk ? sampleCount - pos : kChunk;
        g726::EncodeSamples(enc_, samples + pos, n, scratch);
        // Only the last chunk can end in a part group; its whole bytes are written too, so
        // every byte counted in the result is defined.
        g726::PackCodes(scratch, n, bytes + written);
        written += n * 3 / 8;
    }
    return total;
}
