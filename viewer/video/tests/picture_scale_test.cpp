// Scaling a picture into its division: area averages of what each output pixel covers at any ratio,
// bilinear enlarging, nothing from outside the source rectangle, and no output for nothing.
#include "PictureScale.h"
#include <gtest/gtest.h>
#include <cmath>
#include <random>
#include <vector>

namespace {

using video::ScalePicture;
using video::SourceRect;

// A 24-bit top-down picture with padded rows; pixel (x, y) = f(x, y) as 0xRRGGBB.
template <class F> std::vector<uint8_t> Picture(int w, int h, F f)
{
    const size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~size_t{3};
    std::vector<uint8_t> p(stride * h, 0xEE);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint32_t c = f(x, y);
            uint8_t* q = &p[y * stride + x * 3];
            q[0] = c & 0xFF;
            q[1] = (c >> 8) & 0xFF;
            q[2] = (c >> 16) & 0xFF;
        }
    return p;
}

TEST(PictureScale, SameSizeCopiesAndHalfSizeAveragesEachBlock)
{
    auto pic = Picture(6, 4, [](int x, int y) { return uint32_t(x * 40) << 16 | uint32_t(y * 60) << 8 | 7; });
    std::vector<uint32_t> out(6 * 4);
    ASSERT_TRUE(ScalePicture(pic.data(), 6, 4, SourceRect{0, 0, 6, 4}, out.data(), 6, 4, 6));
    EXPECT_EQ(out[2 * 6 + 5], (200u << 16) | (120u << 8) | 7u);

    std::vector<uint32_t> half(3 * 2, 0xDEAD);
    ASSERT_TRUE(ScalePicture(pic.data(), 6, 4, SourceRect{0, 0, 6, 4}, half.data(), 3, 2, 3));
    // Columns 2 and 3 (80, 120) and rows 0 and 1 (0, 60) average to 100 and 30.
    EXPECT_EQ(half[1], (100u << 16) | (30u << 8) | 7u);
}

// Each output pixel against the area average worked out in floating point, every source pixel
// weighted by how much of it the output pixel covers, at ratios that are not whole numbers (the
// cut source rectangles of D1 and CIF pictures into 176 x 120 and 352 x 240 divisions among them).
TEST(PictureScale, ShrinkingIsTheExactAreaAverageWithinRounding)
{
    std::mt19937 random(15);
    const int W = 720, H = 480;
    auto pic = Picture(W, H, [&](int, int) { return random() & 0xFFFFFFu; });
    const size_t stride = (W * 3 + 3) & ~3;
    struct Case {
        SourceRect src;
        int w, h;
    } cases[] = {{{5, 5, 700, 460}, 176, 120},
                 {{5, 5, 684, 460}, 352, 240},
                 {{5, 5, 332, 220}, 176, 120},
                 {{3, 7, 5, 5}, 2, 3},
                 {{0, 0, 720, 480}, 719, 1}};
    for (const Case& c : cases) {
        std::vector<uint32_t> out(static_cast<size_t>(c.w) * c.h);
        ASSERT_TRUE(ScalePicture(pic.data(), W, H, c.src, out.data(), c.w, c.h, c.w));
        const double fx = double(c.src.width) / c.w, fy = double(c.src.height) / c.h;
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x)
                for (int ch = 0; ch < 3; ++ch) {
                    double sum = 0;
                    for (int sy = int(y * fy); sy < std::ceil((y + 1) * fy); ++sy)
                        for (int sx = int(x * fx); sx < std::ceil((x + 1) * fx); ++sx) {
                            const double cover = (std::min((x + 1) * fx, sx + 1.0) - std::max(x * fx, double(sx))) *
                                (std::min((y + 1) * fy, sy + 1.0) - std::max(y * fy, double(sy)));
                            sum += cover * pic[(c.src.y + sy) * stride + (c.src.x + sx) * 3 + ch];
                        }
                    const double exact = sum / (fx * fy);
                    const int got = (out[static_cast<size_t>(y) * c.w + x] >> (8 * ch)) & 0xFF;
                    ASSERT_LE(std::abs(got - exact), 0.5 + 1e-6) << c.w << "x" << c.h << " at " << x << "," << y;
                }
    }
}

TEST(PictureScale, EnlargingInterpolatesBetweenTheNearestPixels)
{
    // Two columns, 0 and 200 in red, made four wide: centres at -0.25, 0.25, 0.75 and 1.25 source
    // pixels, so the edges keep their pixel and the middle two lie a quarter of the way in.
    auto pic = Picture(2, 1, [](int x, int) { return uint32_t(x * 200) << 16; });
    std::vector<uint32_t> out(4 * 3);
    ASSERT_TRUE(ScalePicture(pic.data(), 2, 1, SourceRect{0, 0, 2, 1}, out.data(), 4, 3, 4));
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(out[y * 4 + 0], 0u);
        EXPECT_EQ(out[y * 4 + 1], 50u << 16);
        EXPECT_EQ(out[y * 4 + 2], 150u << 16);
        EXPECT_EQ(out[y * 4 + 3], 200u << 16);
    }
}

TEST(PictureScale, NothingFromOutsideTheSourceReachesTheDivision)
{
    // A frame of magenta around a grey middle, cut away by the source rectangle.
    auto pic =
        Picture(40, 30, [](int x, int y) { return x < 5 || y < 5 || x >= 35 || y >= 25 ? 0xFF00FFu : 0x808080u; });
    for (auto [w, h] : {std::pair{7, 5}, std::pair{30, 20}, std::pair{61, 47}}) { // down, same, up
        std::vector<uint32_t> out(static_cast<size_t>(w) * h);
        ASSERT_TRUE(ScalePicture(pic.data(), 40, 30, SourceRect{5, 5, 30, 20}, out.data(), w, h, w));
        for (uint32_t c : out)
            ASSERT_EQ(c, 0x808080u) << w << "x" << h;
    }
}

TEST(PictureScale, EmptyOrOutOfRangeRequestsWriteNothing)
{
    auto pic = Picture(8, 8, [](int, int) { return 0x123456u; });
    std::vector<uint32_t> out(16, 0xDEAD);
    EXPECT_FALSE(ScalePicture(pic.data(), 8, 8, SourceRect{8, 0, 4, 4}, out.data(), 4, 4, 4));
    EXPECT_FALSE(ScalePicture(pic.data(), 8, 8, SourceRect{0, 0, 0, 4}, out.data(), 4, 4, 4));
    EXPECT_FALSE(ScalePicture(pic.data(), 8, 8, SourceRect{0, 0, 4, 4}, out.data(), 0, 4, 4));
    EXPECT_FALSE(ScalePicture(pic.data(), 8, 8, SourceRect{0, 0, 4, 4}, out.data(), 4, 4, 3));
    for (uint32_t c : out)
        EXPECT_EQ(c, 0xDEADu);
    // A source reaching past the picture is cut to it.
    ASSERT_TRUE(ScalePicture(pic.data(), 8, 8, SourceRect{6, 6, 100, 100}, out.data(), 4, 4, 4));
    EXPECT_EQ(out[15], 0x123456u);
}

} // namespace
