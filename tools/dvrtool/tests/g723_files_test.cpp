// dvrtool g723: whole files through one coder state, WAV and raw, and refusal of other WAVs.
#include "G723Coder.h"
#include "G723Files.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace fs = std::filesystem;

namespace {

class G723Files : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() /
            ("dvrtool_g723_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const char* name) const { return (dir_ / name).string(); }

    fs::path dir_;
};

// Longer than the tool's chunk and not a whole number of groups.
std::vector<int16_t> Signal(size_t n = 20001)
{
    std::vector<int16_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<int16_t>(15000 * std::sin(i * 0.07) + 9000 * std::sin(i * 0.9));
    return v;
}

void WriteWav(const std::string& path, const std::vector<int16_t>& pcm, int rate, int channels, int subtype)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | subtype;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    sf_write_short(f, pcm.data(), static_cast<sf_count_t>(pcm.size() / channels * channels));
    sf_close(f);
}

std::vector<uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

} // namespace

TEST_F(G723Files, WavThroughOneStateMatchesTheCoder)
{
    const std::vector<int16_t> pcm = Signal();
    WriteWav(Path("in.wav"), pcm, 8000, 1, SF_FORMAT_PCM_16);
    std::string error;
    ASSERT_TRUE(dvrtool::EncodeG723File(Path("in.wav"), Path("out.g723"), error)) << error;

    CG723Coder coder;
    std::vector<uint8_t> expect(pcm.size() * 3 / 8);
    ASSERT_EQ(coder.Encode(pcm.data(), static_cast<int>(pcm.size()), expect.data(), static_cast<int>(expect.size())),
              static_cast<int>(expect.size()));
    EXPECT_EQ(ReadBytes(Path("out.g723")), expect);

    ASSERT_TRUE(dvrtool::DecodeG723File(Path("out.g723"), Path("back.wav"), error)) << error;
    std::vector<int16_t> decoded(expect.size() * 8 / 3);
    ASSERT_EQ(
        coder.Decode(expect.data(), static_cast<int>(expect.size()), decoded.data(), static_cast<int>(decoded.size())),
        static_cast<int>(decoded.size()));
    SF_INFO info{};
    SNDFILE* f = sf_open(Path("back.wav").c_str(), SFM_READ, &info);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(info.samplerate, 8000);
    EXPECT_EQ(info.channels, 1);
    EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    std::vector<int16_t> got(decoded.size() + 10);
    got.resize(sf_read_short(f, got.data(), static_cast<sf_count_t>(got.size())));
    sf_close(f);
    EXPECT_EQ(got, decoded);
}

TEST_F(G723Files, RawInRawOut)
{
    const std::vector<int16_t> pcm = Signal(9000);
    {
        std::ofstream f(Path("in.raw"), std::ios::binary);
        for (int16_t s : pcm) {
            f.put(static_cast<char>(s & 0xFF));
            f.put(static_cast<char>((s >> 8) & 0xFF));
        }
    }
    std::string error;
    ASSERT_TRUE(dvrtool::EncodeG723File(Path("in.raw"), Path("out.bin"), error)) << error;
    ASSERT_TRUE(dvrtool::DecodeG723File(Path("out.bin"), Path("back.pcm"), error)) << error;
    const std::vector<uint8_t> coded = ReadBytes(Path("out.bin"));
    EXPECT_EQ(coded.size(), 9000u * 3 / 8);
    const std::vector<uint8_t> back = ReadBytes(Path("back.pcm"));
    ASSERT_EQ(back.size(), coded.size() * 8 / 3 * 2);
    CG723Coder coder;
    std::vector<int16_t> decoded(coded.size() * 8 / 3);
    coder.Decode(coded.data(), static_cast<int>(coded.size()), decoded.data(), static_cast<int>(decoded.size()));
    for (size_t i = 0; i < decoded.size(); ++i)
        ASSERT_EQ(static_cast<int16_t>(back[2 * i] | (back[2 * i + 1] << 8)), decoded[i]) << i;
}

TEST_F(G723Files, OtherWavFormatsAreRefusedWithWhatTheyAre)
{
    const std::vector<int16_t> pcm = Signal(2000);
    WriteWav(Path("cd.wav"), pcm, 44100, 2, SF_FORMAT_PCM_16);
    WriteWav(Path("wide.wav"), pcm, 8000, 1, SF_FORMAT_PCM_24);
    std::string error;
    EXPECT_FALSE(dvrtool::EncodeG723File(Path("cd.wav"), Path("x.g723"), error));
    EXPECT_NE(error.find("44100 Hz, 2 channels"), std::string::npos) << error;
    EXPECT_NE(error.find("expected"), std::string::npos) << error;
    EXPECT_FALSE(dvrtool::EncodeG723File(Path("wide.wav"), Path("x.g723"), error));
    EXPECT_NE(error.find("24 bit"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(Path("x.g723")));

    std::ofstream(Path("fake.wav")) << "not a wav at all";
    EXPECT_FALSE(dvrtool::EncodeG723File(Path("fake.wav"), Path("x.g723"), error));
    EXPECT_NE(error.find("not a readable WAV"), std::string::npos) << error;
}
