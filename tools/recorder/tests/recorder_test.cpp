// dvrtool record's files: a self-contained elementary stream, the CSV, the snapshot, the summary.
#include "StreamRecorder.h"
#include "VideoChannelStream.h"
#include <gtest/gtest.h>
#include <png.h>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

struct TempDir {
    fs::path path;
    TempDir()
    {
        char tmpl[] = "/tmp/recorder_test.XXXXXX";
        path = mkdtemp(tmpl);
    }
    ~TempDir() { fs::remove_all(path); }
};

std::vector<uint8_t> ReadFile(const fs::path& p)
{
    std::ifstream f(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

} // namespace

TEST(Recorder, FilesAndSummaryOfALossyStreamThatChangesSize)
{
    const video::XvidApi& x = video::LinkedXvidApi();
    dvrsim::VideoFormat fa, fb;
    fa.width = 352, fa.height = 240, fa.seconds = 1, fa.keyInterval = 10;
    fb = fa;
    fb.width = 704;
    dvrsim::VideoLoop a, b;
    ASSERT_TRUE(dvrsim::EncodeVideoLoop(x, 4, fa, a));
    ASSERT_TRUE(dvrsim::EncodeVideoLoop(x, 4, fb, b));
    dvrsim::VideoFaults faults;
    faults.loseEvery = 25;
    faults.sizeChangeAfter = 30;
    dvrsim::VideoChannelStream s(4, &a, &b, faults);

    TempDir dir;
    recorder::StreamRecorder rec(x, dir.path.string(), 16);
    std::vector<uint8_t> frame;
    uint64_t lost = 0;
    int sent = 0;
    for (int i = 0; i < 100; ++i, ++sent) {
        dvrsim::SentVideoFrame info;
        ASSERT_TRUE(s.Next(1700000000000000ull + uint64_t(i) * 33367, frame, &info));
        lost += uint64_t(info.lostBefore);
        rec.OnStreamBlock(frame.data(), frame.size());
    }
    // Garbage and audio on the way change nothing but the refused count.
    std::vector<uint8_t> junk(64, 0);
    junk[3] = 16 + 4;
    rec.OnStreamBlock(junk.data(), junk.size());
    const uint8_t audio[24] = {'g', '7', '2', '3'};
    rec.OnStreamBlock(audio, sizeof audio);
    ASSERT_TRUE(rec.Finish());

    const auto sums = rec.Summaries();
    ASSERT_EQ(1u, sums.size());
    EXPECT_EQ(4, sums[0].channel);
    EXPECT_EQ(uint64_t(sent) + 1, sums[0].frames);
    EXPECT_EQ(1u, sums[0].refused);
    EXPECT_EQ(lost, sums[0].lost);
    EXPECT_GT(lost, 0u);
    // Pictures after each loss wait for the next intra one.
    EXPECT_LT(sums[0].decoded, uint64_t(sent));
    EXPECT_GT(sums[0].decoded, uint64_t(sent) / 2);
    EXPECT_NE(std::string::npos, recorder::StreamRecorder::SummaryLine(sums[0]).find("lost " + std::to_string(lost)));

    // CSV: a header and one line per frame.
    std::ifstream csv(dir.path / "ch05.csv");
    int lines = 0;
    for (std::string l; std::getline(csv, l);)
        ++lines;
    EXPECT_EQ(sent + 1, lines);

    // The elementary stream decodes on its own: its VOLs (one per size) come first.
    auto m4v = ReadFile(dir.path / "ch05.m4v");
    ASSERT_GT(m4v.size(), 1000u);
    std::vector<size_t> starts;
    int vols = 0;
    for (size_t i = 0; i + 3 < m4v.size(); ++i)
        if (m4v[i] == 0 && m4v[i + 1] == 0 && m4v[i + 2] == 1 && (m4v[i + 3] == 0xB6 || m4v[i + 3] == 0x00)) {
            starts.push_back(i);
            vols += m4v[i + 3] == 0x00;
        }
    starts.push_back(m4v.size());
    EXPECT_GE(vols, 3);
    xvid_dec_create_t cr{};
    cr.version = XVID_VERSION;
    ASSERT_EQ(0, x.decore(nullptr, XVID_DEC_CREATE, &cr, nullptr));
    std::vector<uint8_t> out(720 * 576 * 3);
    int pictures = 0, volsRead = 0;
    for (size_t k = 0; k + 1 < starts.size(); ++k) {
        xvid_dec_frame_t f{};
        f.version = XVID_VERSION;
        f.general = XVID_LOWDELAY;
        f.bitstream = m4v.data() + starts[k];
        f.length = int(starts[k + 1] - starts[k]);
        f.output.csp = XVID_CSP_NULL;
        xvid_dec_stats_t st{};
        st.version = XVID_VERSION;
        ASSERT_GT(x.decore(cr.handle, XVID_DEC_DECODE, &f, &st), 0);
        pictures += st.type > 0;
        volsRead += st.type == XVID_TYPE_VOL;
    }
    x.decore(cr.handle, XVID_DEC_DESTROY, nullptr, nullptr);
    EXPECT_EQ(vols, volsRead);
    EXPECT_EQ(sent, pictures);

    // The snapshot is a PNG of the last size.
    FILE* pf = fopen((dir.path / "ch05.png").c_str(), "rb");
    ASSERT_NE(nullptr, pf);
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, pf);
    png_read_info(png, info);
    EXPECT_EQ(uint32_t(sums[0].width), png_get_image_width(png, info));
    EXPECT_EQ(uint32_t(sums[0].height), png_get_image_height(png, info));
    png_destroy_read_struct(&png, &info, nullptr);
    fclose(pf);
}
