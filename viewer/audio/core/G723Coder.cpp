#include "G723Coder.h"

#include <atomic>
#include <bit>
#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__) && !defined(_WIN32)
#include <immintrin.h>
#endif

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

#if defined(__GNUC__)
#define G726_INLINE inline __attribute__((always_inline))
// Bit length of v (0 for 0): the top bit of 2v+1, which is never zero, so bsr needs no zero test.
G726_INLINE int BitLength(unsigned v) { return 31 - __builtin_clz((v << 1) | 1); }
#else
#define G726_INLINE inline
G726_INLINE int BitLength(unsigned v) { return static_cast<int>(std::bit_width(v)); }
#endif

// The per-sample code below is written without data-dependent branches where the branch would
// follow the signal (signs, limits): those mispredict on speech and noise and cost more than
// computing both sides.

// FMULT: a coefficient (14-bit two's complement) times a value in the floating format, with the
// truncations of the fixed-point algorithm. A zero coefficient counts as mantissa 32, exponent -6,
// so its product is not always zero.
G726_INLINE int Fmult(int an, int fl)
{
    const unsigned mag = static_cast<unsigned>(an < 0 ? -an : an) & 0x1FFF;
    const int nb = BitLength(mag);
    const int mant = static_cast<int>((mag << 6) >> nb) + ((mag == 0) << 5);
    const int wmant = (mant * (fl & 0x3F) + 0x30) >> 4;
    const int shift = nb + ((fl >> 6) & 0xF); // the product's exponent is shift - 19
    const int r = static_cast<int>((static_cast<uint64_t>(wmant) << shift) >> 19) & 0x7FFF;
    const int sign = (an ^ fl) >> 31;
    return (r ^ sign) - sign;
}

// FLOATA/FLOATB: a magnitude below 2^15 and a sign to the floating format.
G726_INLINE int ToFloat(int mag, int negative)
{
    const int e = BitLength(static_cast<unsigned>(mag));
    const int v = (e << 6) + ((mag << 6) >> e) + ((mag == 0) << 5);
    return v - (negative << 10);
}

G726_INLINE int Clamp(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

// MIX: the step size from the two scale factors and the speed control.
G726_INLINE int StepSize(const G726State& s)
{
    const int yl6 = s.yl >> 6;
    int p = (s.yu - yl6) * (s.ap >> 2);
    p += (p >> 31) & 63; // a negative correction rounds toward zero
    const int mixed = yl6 + (p >> 6);
    return s.ap >= 256 ? s.yu : mixed;
}

// LOG, SUBTB, QUAN: the 3-bit code of the difference d at step size y.
G726_INLINE int Quantize(int d, int y)
{
    const int mag = d < 0 ? -d : d;
    const int e = BitLength(static_cast<unsigned>(mag >> 1));
    const int mant = ((mag << 7) >> e) & 0x7F;
    const int dln = (e << 7) + mant - (y >> 2);
    const int i = (dln >= 8) + (dln >= 218) + (dln >= 331);
    const int neg = d >> 31;
    const int positive = i + ((i == 0) << 3) - (i == 0);
    return (positive & ~neg) | ((7 - i) & neg);
}

// ADDA, ANTILOG: the magnitude of the quantized difference for a code at step size y.
G726_INLINE int DequantizedMagnitude(int code, int y)
{
    const int dql = kDqln[code] + (y >> 2);
    const int dex = (dql >> 7) & 15;
    const int dqt = 128 + (dql & 127);
    const int mag = (dqt << 8) >> (15 - dex);
    return mag & ~(dql >> 31); // below the table's floor the difference is zero
}

// The state update after one sample, but for the zero predictor and the delay lines: scale
// factors, speed control, pole coefficients with their limits, tone and transition detection.
// Returns whether a transition was detected (the zeros are then reset too).
G726_INLINE bool UpdateCommon(G726State& s, int code, int y, int dqmag, int dqsez)
{
    const int pk0 = dqsez < 0 ? 1 : 0;
    const int moved = dqsez != 0 ? -1 : 0; // a zero difference leaves the gradients alone

    // TRANS: a large difference while a tone was seen marks a transition.
    const int ylint = s.yl >> 15;
    const int ylfrac = (s.yl >> 10) & 0x1F;
    const int thr = ylint > 9 ? (31 << 10) : ((32 + ylfrac) << ylint);
    const int dqthr = (thr + (thr >> 1)) >> 1;
    const bool tr = s.td && dqmag > dqthr;

    // FUNCTW, FILTD, LIMB, FILTE: scale factors.
    const int yu = Clamp(y + ((kW[code] - y) >> 5), 544, 5120);
    s.yu = static_cast<int16_t>(yu);
    s.yl += yu + ((-s.yl) >> 6);

    // UPA2, LIMC: the second pole follows the sign agreement of the partial signal.
    const int pks1 = pk0 ^ s.pk[0];
    const int flip = pks1 - 1; // -1 when the signs agree: fa1 = -a1
    const int fa1 = (s.a[0] ^ flip) - flip;
    const int grad2 = (Clamp(fa1, -8192, 8191) >> 5) + 0x80 - ((pk0 ^ s.pk[1]) << 8);
    int a2 = Clamp(s.a[1] - (s.a[1] >> 7) + (grad2 & moved), -12288, 12288);

    // UPA1, LIMD
    const int grad1 = 192 - pks1 * 384;
    const int a1ul = 15360 - a2;
    int a1 = Clamp(s.a[0] - (s.a[0] >> 8) + (grad1 & moved), -a1ul, a1ul);
    if (tr) [[unlikely]]
        a1 = a2 = 0;
    s.a[0] = static_cast<int16_t>(a1);
    s.a[1] = static_cast<int16_t>(a2);
    s.pk[1] = s.pk[0];
    s.pk[0] = static_cast<int16_t>(pk0);

    // TONE: a strongly negative second pole coefficient suggests a modem tone.
    s.td = (!tr && a2 < -11776) ? 1 : 0;

    // FILTA, FILTB, SUBTC, FILTC: adaptation speed.
    const int fi = kF[code];
    const int dms = s.dms + ((fi - s.dms) >> 5);
    const int dml = s.dml + (((fi << 2) - s.dml) >> 7);
    s.dms = static_cast<int16_t>(dms);
    s.dml = static_cast<int16_t>(dml);
    const int dif = (dms << 2) - dml;
    const bool fast = y < 1536 || s.td || (dif < 0 ? -dif : dif) >= (dml >> 3);
    const int ap = s.ap + (((fast ? 0x200 : 0) - s.ap) >> 4);
    s.ap = static_cast<int16_t>(tr ? 256 : ap);
    return tr;
}

// UPB and the delay lines: the zeros follow the sign agreement of this difference with the
// delayed ones.
G726_INLINE void UpdateZeros(G726State& s, bool tr, int dqmag, int dqneg, int sr)
{
    const int dqsign = -dqneg;
    const int changed = dqmag != 0 ? -1 : 0;
    int b[6];
#if defined(__GNUC__)
#pragma GCC unroll 6
#endif
    for (int i = 0; i < 6; ++i) {
        const int agree = ((dqsign ^ (s.dq[i] >> 15)) | 1) * 128;
        b[i] = (s.b[i] - (s.b[i] >> 8) + (agree & changed)) & -static_cast<int>(!tr);
    }
#if defined(__GNUC__)
#pragma GCC unroll 6
#endif
    for (int i = 0; i < 6; ++i)
        s.b[i] = static_cast<int16_t>(b[i]);

    s.dq[5] = s.dq[4];
    s.dq[4] = s.dq[3];
    s.dq[3] = s.dq[2];
    s.dq[2] = s.dq[1];
    s.dq[1] = s.dq[0];
    s.dq[0] = static_cast<int16_t>(ToFloat(dqmag, dqneg));
    // |sr| stays below 2^15: |se| < 2^14 and the dequantized magnitude is below 2^13.
    const int srneg = sr >> 31;
    s.sr[1] = s.sr[0];
    s.sr[0] = static_cast<int16_t>(ToFloat((sr ^ srneg) - srneg, -srneg));
}

G726_INLINE void Update(G726State& s, int code, int y, int dqmag, int dqneg, int sr, int dqsez)
{
    const bool tr = UpdateCommon(s, code, y, dqmag, dqsez);
    UpdateZeros(s, tr, dqmag, dqneg, sr);
}

struct Estimate {
    int sez; // zero-predictor part, halved
    int se; // signal estimate
};

G726_INLINE Estimate Predict(const G726State& s)
{
    // ACCUM works modulo 2^16, as the 16-bit registers of the algorithm do.
    int sum = 0;
#if defined(__GNUC__)
#pragma GCC unroll 6
#endif
    for (int i = 0; i < 6; ++i)
        sum += Fmult(s.b[i] >> 2, s.dq[i]);
    const int16_t sezi = static_cast<int16_t>(sum);
    const int16_t sei = static_cast<int16_t>(sezi + Fmult(s.a[1] >> 2, s.sr[1]) + Fmult(s.a[0] >> 2, s.sr[0]));
    return {sezi >> 1, sei >> 1};
}

G726_INLINE int EncodeOne(G726State& s, int sample)
{
    const int sl = sample >> 2;
    const Estimate e = Predict(s);
    const int y = StepSize(s);
    const int code = Quantize(sl - e.se, y);
    const int dqmag = DequantizedMagnitude(code, y);
    const int neg = code >> 2;
    const int sr = e.se + ((dqmag ^ -neg) + neg);
    Update(s, code, y, dqmag, neg, sr, sr + e.sez - e.se);
    return code;
}

G726_INLINE int DecodeOne(G726State& s, int code)
{
    code &= 7;
    const Estimate e = Predict(s);
    const int y = StepSize(s);
    const int dqmag = DequantizedMagnitude(code, y);
    const int neg = code >> 2;
    const int sr = e.se + ((dqmag ^ -neg) + neg);
    Update(s, code, y, dqmag, neg, sr, sr + e.sez - e.se);
    return sr << 2;
}

// The eight predictor products of a sample in one AVX2 register: lanes hold the coefficients
// b0 b1 b2 a1 b3 b4 b5 a2 and, in a second register, the delayed values they multiply
// (dq0 dq1 dq2 sr0 dq3 dq4 dq5 sr1). The scalar part of the update is shared with the portable
// code. Not on Windows: its GCC does not keep 32-byte stack alignment for spilled registers.
#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__) && !defined(_WIN32)
#define G726_HAVE_AVX2 1
#define G726_AVX2 __attribute__((target("avx2,bmi2")))

std::atomic<bool> g_portable{false};

bool Avx2Supported()
{
    static const bool has = [] {
        __builtin_cpu_init(); // may run before the runtime's own constructors have
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi2");
    }();
    return has;
}

inline bool UseAvx2() { return !g_portable.load(std::memory_order_relaxed) && Avx2Supported(); }

struct Lanes {
    __m256i coef;
    __m256i hist;
};

G726_AVX2 inline Lanes LoadLanes(const G726State& s)
{
    return {_mm256_setr_epi32(s.b[0], s.b[1], s.b[2], s.a[0], s.b[3], s.b[4], s.b[5], s.a[1]),
            _mm256_setr_epi32(s.dq[0], s.dq[1], s.dq[2], s.sr[0], s.dq[3], s.dq[4], s.dq[5], s.sr[1])};
}

G726_AVX2 inline void StoreLanes(const Lanes& l, G726State& s)
{
    alignas(32) int32_t c[8], h[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(c), l.coef);
    _mm256_store_si256(reinterpret_cast<__m256i*>(h), l.hist);
    const int order[6] = {0, 1, 2, 4, 5, 6};
    for (int i = 0; i < 6; ++i) {
        s.b[i] = static_cast<int16_t>(c[order[i]]);
        s.dq[i] = static_cast<int16_t>(h[order[i]]);
    }
    s.sr[0] = static_cast<int16_t>(h[3]);
    s.sr[1] = static_cast<int16_t>(h[7]);
}

// FMULT on all eight lanes and ACCUM: returns sezi and sei as 16-bit sums.
G726_AVX2 inline Estimate PredictAvx2(const Lanes& l)
{
    const __m256i an = _mm256_srai_epi32(l.coef, 2);
    const __m256i mag = _mm256_and_si256(_mm256_abs_epi32(an), _mm256_set1_epi32(0x1FFF));
    // Bit length from the exponent of the exact float conversion; zero gives a negative count.
    const __m256i fbits = _mm256_castps_si256(_mm256_cvtepi32_ps(mag));
    const __m256i nb = _mm256_max_epi32(_mm256_sub_epi32(_mm256_srli_epi32(fbits, 23), _mm256_set1_epi32(126)),
                                        _mm256_setzero_si256());
    // A normalised mantissa is at least 32; a zero coefficient takes 32.
    const __m256i mant = _mm256_max_epi32(_mm256_srlv_epi32(_mm256_slli_epi32(mag, 6), nb), _mm256_set1_epi32(32));
    const __m256i fm = _mm256_and_si256(l.hist, _mm256_set1_epi32(0x3F));
    const __m256i fe = _mm256_and_si256(_mm256_srai_epi32(l.hist, 6), _mm256_set1_epi32(0xF));
    const __m256i wmant = _mm256_srli_epi32(_mm256_add_epi32(_mm256_mullo_epi16(mant, fm), _mm256_set1_epi32(0x30)), 4);
    const __m256i shift = _mm256_add_epi32(nb, fe);
    const __m256i k19 = _mm256_set1_epi32(19);
    // Shift counts out of 0..31 give zero, so one of the two terms is always zero.
    __m256i r = _mm256_or_si256(_mm256_sllv_epi32(wmant, _mm256_sub_epi32(shift, k19)),
                                _mm256_srlv_epi32(wmant, _mm256_sub_epi32(k19, shift)));
    r = _mm256_and_si256(r, _mm256_set1_epi32(0x7FFF));
    const __m256i sign = _mm256_srai_epi32(_mm256_xor_si256(an, l.hist), 31);
    r = _mm256_sub_epi32(_mm256_xor_si256(r, sign), sign);

    // Lanes 0-2 and 4-6 are zeros, 3 and 7 poles: fold the halves, then add across.
    const __m128i q = _mm_add_epi32(_mm256_castsi256_si128(r), _mm256_extracti128_si256(r, 1));
    const __m128i pair = _mm_add_epi32(q, _mm_unpackhi_epi64(q, q));
    const int total = _mm_cvtsi128_si32(pair) + _mm_extract_epi32(pair, 1);
    const int poles = _mm_extract_epi32(q, 3);
    const int16_t sezi = static_cast<int16_t>(total - poles);
    const int16_t sei = static_cast<int16_t>(total);
    return {sezi >> 1, sei >> 1};
}

G726_AVX2 inline void UpdateZerosAvx2(Lanes& l, const G726State& s, bool tr, int dqmag, int dqneg, int sr)
{
    // b' = b - b/256 +-128 by sign agreement; the pole lanes are replaced below.
    const __m256i dqsign = _mm256_set1_epi32(-dqneg);
    const __m256i changed = _mm256_set1_epi32(dqmag != 0 ? -1 : 0);
    const __m256i agree = _mm256_slli_epi32(
        _mm256_or_si256(_mm256_xor_si256(dqsign, _mm256_srai_epi32(l.hist, 31)), _mm256_set1_epi32(1)), 7);
    __m256i b =
        _mm256_add_epi32(_mm256_sub_epi32(l.coef, _mm256_srai_epi32(l.coef, 8)), _mm256_and_si256(agree, changed));
    // The coefficients are 16-bit registers: a zero driven past 32767 wraps, as it does there.
    b = _mm256_srai_epi32(_mm256_slli_epi32(b, 16), 16);
    if (tr) [[unlikely]]
        b = _mm256_setzero_si256();
    l.coef = _mm256_blend_epi32(b, _mm256_setr_epi32(0, 0, 0, s.a[0], 0, 0, 0, s.a[1]), 0x88);

    const int srneg = sr >> 31;
    const int dqf = static_cast<int16_t>(ToFloat(dqmag, dqneg));
    const int srf = static_cast<int16_t>(ToFloat((sr ^ srneg) - srneg, -srneg));
    const __m256i moved = _mm256_permutevar8x32_epi32(l.hist, _mm256_setr_epi32(0, 0, 1, 0, 2, 4, 5, 3));
    l.hist = _mm256_blend_epi32(moved, _mm256_setr_epi32(dqf, 0, 0, srf, 0, 0, 0, 0), 0x09);
}

G726_AVX2 void EncodeAvx2(G726State& state, const int16_t* pcm, int count, uint8_t* codes)
{
    G726State s = state;
    Lanes l = LoadLanes(s);
    for (int i = 0; i < count; ++i) {
        const Estimate e = PredictAvx2(l);
        const int y = StepSize(s);
        const int code = Quantize((pcm[i] >> 2) - e.se, y);
        const int dqmag = DequantizedMagnitude(code, y);
        const int neg = code >> 2;
        const int sr = e.se + ((dqmag ^ -neg) + neg);
        const bool tr = UpdateCommon(s, code, y, dqmag, sr + e.sez - e.se);
        UpdateZerosAvx2(l, s, tr, dqmag, neg, sr);
        codes[i] = static_cast<uint8_t>(code);
    }
    StoreLanes(l, s);
    state = s;
}

G726_AVX2 void DecodeAvx2(G726State& state, const uint8_t* codes, int count, int16_t* pcm)
{
    G726State s = state;
    Lanes l = LoadLanes(s);
    for (int i = 0; i < count; ++i) {
        const int code = codes[i] & 7;
        const Estimate e = PredictAvx2(l);
        const int y = StepSize(s);
        const int dqmag = DequantizedMagnitude(code, y);
        const int neg = code >> 2;
        const int sr = e.se + ((dqmag ^ -neg) + neg);
        const bool tr = UpdateCommon(s, code, y, dqmag, sr + e.sez - e.se);
        UpdateZerosAvx2(l, s, tr, dqmag, neg, sr);
        pcm[i] = static_cast<int16_t>(sr << 2);
    }
    StoreLanes(l, s);
    state = s;
}
#endif

} // namespace

void EncodeSamples(G726State& state, const int16_t* pcm, int count, uint8_t* codes)
{
#if G726_HAVE_AVX2
    if (UseAvx2()) {
        EncodeAvx2(state, pcm, count, codes);
        return;
    }
#endif
    G726State s = state;
    for (int i = 0; i < count; ++i)
        codes[i] = static_cast<uint8_t>(EncodeOne(s, pcm[i]));
    state = s;
}

void DecodeCodes(G726State& state, const uint8_t* codes, int count, int16_t* pcm)
{
#if G726_HAVE_AVX2
    if (UseAvx2()) {
        DecodeAvx2(state, codes, count, pcm);
        return;
    }
#endif
    G726State s = state;
    for (int i = 0; i < count; ++i)
        pcm[i] = static_cast<int16_t>(DecodeOne(s, codes[i]));
    state = s;
}

bool SelectPortable(bool portable)
{
#if G726_HAVE_AVX2
    g_portable.store(portable, std::memory_order_relaxed);
    return portable || Avx2Supported();
#else
    (void)portable;
    return portable;
#endif
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
