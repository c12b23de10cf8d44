// Bit-exactness of the coder against an independent G.726 implementation (spandsp), in both
// directions, with the states carried across blocks. spandsp carries a part group of code words
// into its next call while our coder drops it, so every block here is a whole number of groups.
#include "G723Coder.h"
#include "Signals.h"

#include <gtest/gtest.h>

extern "C" {
#include <spandsp.h>
}

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

class Reference {
public:
    explicit Reference(int packing = G726_PACKING_RIGHT)
        : enc_(g726_init(nullptr, 24000, G726_ENCODING_LINEAR, packing)),
          dec_(g726_init(nullptr, 24000, G726_ENCODING_LINEAR, packing))
    {}
    ~Reference()
    {
        g726_free(enc_);
        g726_free(dec_);
    }
    Reference(const Reference&) = delete;
    Reference& operator=(const Reference&) = delete;

    std::vector<uint8_t> Encode(const int16_t* pcm, int n)
    {
        std::vector<uint8_t> out(n + 8);
        out.resize(g726_encode(enc_, out.data(), pcm, n));
        return out;
    }
    std::vector<int16_t> Decode(const uint8_t* codes, int n)
    {
        std::vector<int16_t> out(n * 8 / 3 + 8);
        out.resize(g726_decode(dec_, out.data(), codes, n));
        return out;
    }

private:
    g726_state_t* enc_;
    g726_state_t* dec_;
};

// Block sizes in groups; uneven on purpose so state crosses many kinds of boundary.
const int kGroupsPerBlock[] = {16, 1, 3, 16, 50, 2, 16, 7, 125};

template <class T> std::string FirstDifference(const std::vector<T>& ours, const std::vector<T>& ref, size_t base)
{
    if (ours.size() != ref.size())
        return "sizes differ: " + std::to_string(ours.size()) + " vs " + std::to_string(ref.size());
    for (size_t i = 0; i < ours.size(); ++i)
        if (ours[i] != ref[i])
            return "first difference at " + std::to_string(base + i) + ": " + std::to_string(ours[i]) + " vs " +
                std::to_string(ref[i]);
    return {};
}

// Encodes pcm (cut to whole groups) block by block with both coders and compares every byte;
// then decodes the codes with both decoders and compares every sample. Returns our codes.
std::vector<uint8_t> CheckBothDirections(const std::vector<int16_t>& input, const char* what)
{
    std::vector<int16_t> pcm(input.begin(), input.begin() + input.size() / 8 * 8);
    CG723Coder ours;
    Reference ref;
    std::vector<uint8_t> coded;
    size_t pos = 0;
    for (size_t k = 0; pos < pcm.size(); ++k) {
        const int n =
            static_cast<int>(std::min<size_t>(kGroupsPerBlock[k % std::size(kGroupsPerBlock)] * 8, pcm.size() - pos));
        std::vector<uint8_t> mine(n * 3 / 8);
        EXPECT_EQ(ours.Encode(pcm.data() + pos, n, mine.data(), static_cast<int>(mine.size())), n * 3 / 8);
        const std::vector<uint8_t> theirs = ref.Encode(pcm.data() + pos, n);
        const std::string diff = FirstDifference(mine, theirs, coded.size());
        if (!diff.empty()) {
            ADD_FAILURE() << what << ": encoder, block at sample " << pos << ": byte " << diff;
            return coded;
        }
        coded.insert(coded.end(), mine.begin(), mine.end());
        pos += n;
    }

    size_t at = 0;
    for (size_t k = 0; at < coded.size(); ++k) {
        const int n = static_cast<int>(
            std::min<size_t>(kGroupsPerBlock[(k + 3) % std::size(kGroupsPerBlock)] * 3, coded.size() - at));
        std::vector<int16_t> mine(n * 8 / 3);
        EXPECT_EQ(ours.Decode(coded.data() + at, n, mine.data(), static_cast<int>(mine.size())), n * 8 / 3);
        const std::vector<int16_t> theirs = ref.Decode(coded.data() + at, n);
        const std::string diff = FirstDifference(mine, theirs, at * 8 / 3);
        if (!diff.empty()) {
            ADD_FAILURE() << what << ": decoder, sample " << diff;
            break;
        }
        at += n;
    }
    return coded;
}

void CheckDecoder(const std::vector<uint8_t>& input, const char* what)
{
    std::vector<uint8_t> coded(input.begin(), input.begin() + input.size() / 3 * 3);
    CG723Coder ours;
    Reference ref;
    size_t at = 0;
    for (size_t k = 0; at < coded.size(); ++k) {
        const int n =
            static_cast<int>(std::min<size_t>(kGroupsPerBlock[k % std::size(kGroupsPerBlock)] * 3, coded.size() - at));
        std::vector<int16_t> mine(n * 8 / 3);
        ASSERT_EQ(ours.Decode(coded.data() + at, n, mine.data(), static_cast<int>(mine.size())), n * 8 / 3);
        const std::string diff = FirstDifference(mine, ref.Decode(coded.data() + at, n), at * 8 / 3);
        ASSERT_TRUE(diff.empty()) << what << ": sample " << diff;
        at += n;
    }
}

std::vector<uint8_t> PackedCodes(const std::vector<uint8_t>& codes)
{
    std::vector<uint8_t> bytes(codes.size() * 3 / 8);
    g726::PackCodes(codes.data(), static_cast<int>(codes.size()), bytes.data());
    return bytes;
}

template <class... V> std::vector<int16_t> Concat(const V&... parts)
{
    std::vector<int16_t> out;
    (out.insert(out.end(), parts.begin(), parts.end()), ...);
    return out;
}

constexpr size_t kSecond = 8000;

} // namespace

// Every case runs on the portable per-sample code and on the vector code where there is one.
class G723Reference : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        if (!g726::SelectPortable(GetParam()))
            GTEST_SKIP() << "no vector code on this processor";
    }
    void TearDown() override { g726::SelectPortable(false); }
};

INSTANTIATE_TEST_SUITE_P(Code, G723Reference, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& p) { return p.param ? "Portable" : "Vector"; });

TEST_P(G723Reference, SpeechLikeAtSeveralLevels)
{
    CheckBothDirections(signals::SpeechLike(4 * kSecond, 3000, 1), "quiet speech");
    CheckBothDirections(signals::SpeechLike(4 * kSecond, 24000, 2), "loud speech");
    CheckBothDirections(signals::SpeechLike(4 * kSecond, 90000, 3), "clipped speech");
}

TEST_P(G723Reference, SilenceAndNearSilence)
{
    CheckBothDirections(std::vector<int16_t>(kSecond, 0), "silence");
    CheckBothDirections(signals::WhiteNoise(kSecond, -4, 4, 4), "hiss");
    CheckBothDirections(Concat(signals::SpeechLike(kSecond, 20000, 5), std::vector<int16_t>(2 * kSecond, 0),
                               signals::Tone(kSecond, 440, 8000)),
                        "speech, silence, tone");
}

TEST_P(G723Reference, SineSweeps)
{
    CheckBothDirections(signals::Sweep(4 * kSecond, 20, 3990, 1000), "quiet sweep");
    CheckBothDirections(signals::Sweep(4 * kSecond, 20, 3990, 32767), "full-scale sweep");
    CheckBothDirections(signals::Sweep(4 * kSecond, 3990, 20, 50000), "clipped falling sweep");
}

TEST_P(G723Reference, WhiteNoise)
{
    CheckBothDirections(signals::WhiteNoise(4 * kSecond, -32768, 32767, 6), "full-range noise");
    CheckBothDirections(signals::WhiteNoise(4 * kSecond, -300, 300, 7), "low noise");
}

TEST_P(G723Reference, TonesAndTransitions)
{
    // 2100 Hz and 1800 Hz drive the tone detector; the change to speech is a transition.
    CheckBothDirections(Concat(signals::Tone(2 * kSecond, 2100, 20000), signals::SpeechLike(kSecond, 20000, 8)),
                        "answer tone then speech");
    CheckBothDirections(Concat(signals::Tone(kSecond, 1800, 32767), signals::WhiteNoise(kSecond, -32768, 32767, 9),
                               signals::Tone(kSecond, 3000, 32767)),
                        "full-scale tones and noise");
    CheckBothDirections(signals::Tone(2 * kSecond, 697, 16000, 1209), "dual tone");
    CheckBothDirections(signals::Tone(2 * kSecond, 1000, 32767), "1 kHz full scale");
    CheckBothDirections(signals::Tone(2 * kSecond, 3999, 32767), "near Nyquist");
}

TEST_P(G723Reference, FullScaleSquaresAndRails)
{
    for (int period : {2, 3, 5, 8, 16, 40, 80, 800, 4000})
        CheckBothDirections(signals::Square(2 * kSecond, period, -32768, 32767),
                            ("square, period " + std::to_string(period)).c_str());
    CheckBothDirections(signals::Square(2 * kSecond, 20, 32767, 32767), "constant +full scale");
    CheckBothDirections(signals::Square(2 * kSecond, 20, -32768, -32768), "constant -full scale");
    CheckBothDirections(signals::Square(2 * kSecond, 6, -32768, 0), "negative half square");
    for (unsigned seed = 10; seed < 14; ++seed)
        CheckBothDirections(signals::RailRuns(3 * kSecond, seed), "rail runs");
}

TEST_P(G723Reference, EverythingInOneStream)
{
    CheckBothDirections(Concat(signals::SpeechLike(kSecond, 30000, 20), signals::RailRuns(kSecond, 21),
                               signals::Tone(kSecond, 2100, 32767), signals::Sweep(kSecond, 4000, 0, 40000),
                               std::vector<int16_t>(kSecond / 2, -32768),
                               signals::WhiteNoise(kSecond, -32768, 32767, 22), signals::SpeechLike(kSecond, 5000, 23)),
                        "mixed");
}

TEST_P(G723Reference, DecoderOnArbitraryCodeStreams)
{
    for (unsigned seed = 30; seed < 36; ++seed)
        CheckDecoder(signals::RandomBytes(6 * kSecond * 3 / 8, seed), "uniform random bytes");

    std::mt19937 rng(40);
    // Mostly the largest codes (3 and 4) drive the scale factors and the reconstruction to the edges.
    std::vector<uint8_t> big(8 * kSecond);
    for (auto& c : big)
        c = (rng() % 8 < 6) ? ((rng() & 1) ? 3 : 4) : static_cast<uint8_t>(rng() % 8);
    CheckDecoder(PackedCodes(big), "mostly largest codes");

    std::vector<uint8_t> runs;
    while (runs.size() < 8 * kSecond) {
        const uint8_t code = static_cast<uint8_t>(rng() % 8);
        runs.insert(runs.end(), 1 + rng() % 300, code);
    }
    runs.resize(8 * kSecond);
    CheckDecoder(PackedCodes(runs), "runs of one code");

    std::vector<uint8_t> alternating(8 * kSecond);
    for (size_t i = 0; i < alternating.size(); ++i)
        alternating[i] = (i / (1 + (i >> 10) % 7)) & 1 ? 3 : 4;
    CheckDecoder(PackedCodes(alternating), "alternating largest codes");
    CheckDecoder(std::vector<uint8_t>(3 * kSecond, 0xFF), "all ones");
    CheckDecoder(std::vector<uint8_t>(3 * kSecond, 0x00), "all zeros");
}

TEST_P(G723Reference, TrailingSamplesAdvanceTheEncoder)
{
    // 130 samples give 48 bytes, yet the next group must code as the reference codes samples
    // 130-137: the state went through all 130.
    const std::vector<int16_t> pcm = signals::SpeechLike(138, 20000, 50);
    CG723Coder ours;
    uint8_t first[49] = {};
    ASSERT_EQ(ours.Encode(pcm.data(), 130, first, sizeof first), 48);
    uint8_t next[3];
    ASSERT_EQ(ours.Encode(pcm.data() + 130, 8, next, 3), 3);
    uint8_t mineCodes[8];
    g726::UnpackCodes(next, 3, mineCodes);

    Reference ref(G726_PACKING_NONE);
    const std::vector<uint8_t> refCodes = ref.Encode(pcm.data(), 138);
    ASSERT_EQ(refCodes.size(), 138u);
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(mineCodes[k], refCodes[130 + k]) << "sample " << 130 + k;

    CG723Coder whole;
    uint8_t all[52];
    ASSERT_EQ(whole.Encode(pcm.data(), 138, all, sizeof all), 51);
    EXPECT_EQ(0, std::memcmp(all, first, 48));
}
