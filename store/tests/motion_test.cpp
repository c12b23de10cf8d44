#include "StoreWriter.h"
#include <gtest/gtest.h>
#include <vector>

// A still scene reads 0; a square moving across a quarter of the picture reads clearly above it; the
// level comes out once its second has ended.
TEST(MotionMeter, StillAndMovingPictures)
{
    const int w = 352, h = 240;
    std::vector<uint8_t> bgr(size_t(w) * h * 3, 90);
    store::MotionMeter m;
    uint32_t second = 0;
    uint8_t level = 0;
    for (int i = 0; i < 30; ++i) {
        bgr[size_t(i % 7)] = uint8_t(90 + i % 3); // sensor noise on one pixel
        m.AddBgr(bgr.data(), w, h, w * 3, 100);
    }
    EXPECT_FALSE(m.Take(&second, &level));
    std::vector<uint8_t> y(size_t(w) * h, 90);
    for (int i = 0; i < 30; ++i) {
        std::fill(y.begin(), y.end(), 90);
        for (int r = 0; r < h / 2; ++r)
            for (int c = 0; c < w / 2; ++c)
                y[size_t(r) * w + size_t((c + i * 8) % w)] = 230;
        m.AddLuma(y.data(), w, h, w, 101);
    }
    ASSERT_TRUE(m.Take(&second, &level));
    EXPECT_EQ(second, 100u);
    EXPECT_EQ(level, 0);
    m.AddLuma(y.data(), w, h, w, 102);
    ASSERT_TRUE(m.Take(&second, &level));
    EXPECT_EQ(second, 101u);
    EXPECT_GE(level, 3);
    EXPECT_LE(level, 100);
    // Pictures the meter cannot use are passed over.
    m.AddLuma(nullptr, w, h, w, 103);
    m.AddLuma(y.data(), w, h, w - 1, 103);
    m.AddBgr(bgr.data(), 8000, 8, 8000 * 3, 103);
    EXPECT_FALSE(m.Take(&second, &level));
}
