// The zoom's geometry and the age texts: the cases where a slip shows as a jumping or escaping
// picture, or as a language-library text read as a format.
#include "DivisionOverlay.h"
#include <gtest/gtest.h>
#include <cmath>

using namespace video;

namespace {

// The picture point (fractions of the whole) under division point (u, v).
double PointX(const Zoom& z, double u) { return z.cx + (u - 0.5) / z.factor; }
double PointY(const Zoom& z, double v) { return z.cy + (v - 0.5) / z.factor; }

TEST(DivisionZoom, WheelKeepsThePointUnderThePointerStaysInsideAndReturnsToTheWholePicture)
{
    Zoom z;
    const double u = 0.6, v = 0.3;
    for (int i = 0; i < 5; ++i) {
        const Zoom next = ZoomAround(z, 1, u, v);
        EXPECT_NEAR(PointX(next, u), PointX(z, u), 1e-12);
        EXPECT_NEAR(PointY(next, v), PointY(z, v), 1e-12);
        z = next;
    }
    EXPECT_NEAR(z.factor, std::pow(kZoomStep, 5), 1e-12);
    // Near an edge the view stops at the edge rather than showing past it.
    Zoom corner = ZoomAround(Zoom{}, 3, 0.0, 1.0);
    EXPECT_NEAR(corner.cx, 0.5 / corner.factor, 1e-12);
    EXPECT_NEAR(corner.cy, 1.0 - 0.5 / corner.factor, 1e-12);
    EXPECT_EQ(ZoomAround(z, 100, u, v).factor, kMaxZoom);
    const Zoom back = ZoomAround(z, -5, u, v);
    EXPECT_FALSE(back.Active());
    EXPECT_EQ(back.cx, 0.5);

    // A pan past the edge stops at it; the source rectangle stays inside the picture.
    const Zoom far = Panned(ZoomAround(Zoom{}, 8, 0.5, 0.5), -100000, 100000, 352, 240);
    const SourceRect full{5, 5, 332, 220};
    const SourceRect r = ZoomedSource(full, far);
    EXPECT_EQ(r.x + r.width, full.x + full.width);
    EXPECT_EQ(r.y, full.y);
    EXPECT_EQ(ZoomText(2.0), u"2.0x");
}

TEST(DivisionAge, TextsFillOnlyNumbersAndAPictureClearsItsMark)
{
    EXPECT_EQ(FillNumbers(u"Reconnecting %d/%d", {3, 10}), u"Reconnecting 3/10");
    EXPECT_EQ(FillNumbers(u"%s %n 100% %d %d", {7}), u"%s %n 100% 7 ");

    DivisionOverlay o;
    auto text = [](int, long long s) { return FillNumbers(u"No picture for %d s", {s}); };
    EXPECT_EQ(o.Age(10000, 2000, text), 0u) << "no picture yet: nothing to age";
    o.PictureStored(2, 1000);
    EXPECT_EQ(o.Age(3000, 2000, text), 0u) << "two seconds is not more than two";
    EXPECT_EQ(o.Age(3001, 2000, text), 1u << 2);
    EXPECT_EQ(o.Age(3500, 2000, text), 0u) << "same text: no redraw";
    EXPECT_EQ(o.AgeText(2), u"No picture for 2 s");
    EXPECT_EQ(o.Age(4001, 2000, text), 1u << 2);
    EXPECT_TRUE(o.PictureStored(2, 4100));
    EXPECT_FALSE(o.Aged(2));
    o.ForgetPictures();
    EXPECT_EQ(o.Age(100000, 2000, text), 0u);
}

} // namespace
