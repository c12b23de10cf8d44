// The simulator's streams decode under the viewer's synthesized VOL, at every size, I and P.
#include "StreamCheck.h"
#include <gtest/gtest.h>

using namespace videotest;

namespace {

struct Case {
    int width, height, fps;
    bool interlacedBit;
};

// Planar output, luma against the source scene.
class StreamPsnr : public ::testing::TestWithParam<Case> {};

TEST_P(StreamPsnr, EveryPictureMatchesItsSource)
{
    const Case c = GetParam();
    const dvrsim::VideoFormat f{.width = c.width,
                                .height = c.height,
                                .fps = c.fps,
                                .interlaced = c.interlacedBit,
                                .seconds = 1,
                                .keyInterval = 10};
    dvrsim::VideoLoop loop;
    std::string err;
    ASSERT_TRUE(dvrsim::EncodeVideoLoop(video::LinkedXvidApi(), 3, f, loop, &err)) << err;
    // Twice round the loop, so the wrap from the last P to the first I is decoded too.
    const int n = int(loop.frames.size()) * 2;
    PsnrFigures fig = DecodeAndMeasure(video::LinkedXvidApi(), loop, 2, n);
    std::printf("[ PSNR ] %dx%d %d fps%s: %s\n", c.width, c.height, c.fps, loop.codedInterlaced ? " interlaced" : "",
                fig.Text().c_str());
    EXPECT_EQ(n, fig.decoded);
    EXPECT_GT(fig.intra, 0);
    EXPECT_GT(fig.predicted, 0);
    EXPECT_GT(fig.Min(), 34.0) << fig.Text();
}

INSTANTIATE_TEST_SUITE_P(Sizes, StreamPsnr,
                         ::testing::Values(Case{352, 240, 30, false}, Case{352, 288, 25, false},
                                           Case{704, 240, 30, false}, Case{704, 288, 25, false},
                                           Case{704, 480, 30, false}, Case{720, 480, 30, true},
                                           Case{720, 576, 25, true}, Case{352, 240, 25, true}),
                         [](const auto& info) {
                             return std::to_string(info.param.width) + "x" + std::to_string(info.param.height) + "_" +
                                 std::to_string(info.param.fps) + (info.param.interlacedBit ? "_i" : "");
                         });

} // namespace

TEST(StreamPsnrBgr, BgrOutputMatchesSourceThroughTheSameConverter)
{
    for (auto [w, h] : {std::pair{352, 240}, std::pair{720, 576}}) {
        dvrsim::VideoFormat f;
        f.width = w;
        f.height = h;
        f.fps = h == 576 ? 25 : 30;
        f.seconds = 1;
        dvrsim::VideoLoop loop;
        ASSERT_TRUE(dvrsim::EncodeVideoLoop(video::LinkedXvidApi(), 5, f, loop));
        PsnrFigures fig = DecodeAndMeasure(video::LinkedXvidApi(), loop, 0, int(loop.frames.size()));
        std::printf("[ PSNR ] BGR %dx%d: %s\n", w, h, fig.Text().c_str());
        EXPECT_EQ(int(loop.frames.size()), fig.decoded);
        EXPECT_GT(fig.Min(), 30.0) << fig.Text();
    }
}

// The measurement does catch a stream that disagrees with the VOL: code 704 x 240 as fields while
// the header (and so the viewer's VOL) says progressive.
TEST(StreamPsnrBgr, MismatchedInterlacingIsCaught)
{
    dvrsim::VideoFormat f;
    f.width = 704;
    f.height = 240;
    f.interlaced = true;
    f.seconds = 1;
    dvrsim::VideoLoop loop;
    ASSERT_TRUE(dvrsim::EncodeVideoLoop(video::LinkedXvidApi(), 1, f, loop));
    loop.codedInterlaced = false; // the header bit goes out clear
    PsnrFigures fig = DecodeAndMeasure(video::LinkedXvidApi(), loop, 2, int(loop.frames.size()));
    std::printf("[ PSNR ] mismatched VOL: %s\n", fig.Text().c_str());
    EXPECT_LT(fig.Min(), 30.0);
}
