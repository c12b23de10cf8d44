// The runs of a keyed picture: what counts as the key colour, the runs of each row, and the batches.
#include "RegionRuns.h"
#include <gtest/gtest.h>
#include <cstdint>
#include <vector>

using namespace manager;

namespace {

constexpr uint32_t kKey = 0x00FF00FF, kInk = 0x00336699; // 0x00RRGGBB, stored little-endian as B, G, R

struct Picture {
    int width, height;
    size_t stride;
    std::vector<uint8_t> bytes;
    Picture(int w, int h, uint32_t fill, size_t pad = 0) : width(w), height(h), stride(w * 4 + pad), bytes(stride * h)
    {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                Set(x, y, fill);
    }
    void Set(int x, int y, uint32_t rgb)
    {
        uint8_t* p = &bytes[y * stride + x * 4];
        p[0] = rgb & 0xFF, p[1] = (rgb >> 8) & 0xFF, p[2] = (rgb >> 16) & 0xFF, p[3] = 0;
    }
    // Every rectangle, and the size of each batch.
    bool Runs(std::vector<RunRect>& rects, std::vector<size_t>& batches) const
    {
        return FindRegionRuns(bytes.data(), width, height, stride, [&](const RunRect* r, size_t n) {
            rects.insert(rects.end(), r, r + n);
            batches.push_back(n);
            return true;
        });
    }
};

bool Same(const RunRect& a, const RunRect& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

} // namespace

TEST(RegionRuns, RowsSplitIntoRunsAroundTheKeyAndStrideIsHonoured)
{
    Picture p(6, 2, kInk, 8); // padding bytes of the stride are zero, never read as pixels
    p.Set(0, 0, kKey), p.Set(3, 0, kKey), p.Set(4, 0, kKey);
    for (int x = 0; x < 6; ++x)
        p.Set(x, 1, kKey);
    std::vector<RunRect> rects;
    std::vector<size_t> batches;
    ASSERT_TRUE(p.Runs(rects, batches));
    ASSERT_EQ(rects.size(), 2u);
    EXPECT_TRUE(Same(rects[0], {1, 0, 3, 1}));
    EXPECT_TRUE(Same(rects[1], {5, 0, 6, 1}));
}

TEST(RegionRuns, WholeAndEmptyPictures)
{
    std::vector<RunRect> rects;
    std::vector<size_t> batches;
    ASSERT_TRUE(Picture(7, 3, kInk).Runs(rects, batches));
    ASSERT_EQ(rects.size(), 3u);
    for (int y = 0; y < 3; ++y)
        EXPECT_TRUE(Same(rects[y], {0, y, 7, y + 1}));

    rects.clear(), batches.clear();
    ASSERT_TRUE(Picture(7, 3, kKey).Runs(rects, batches));
    EXPECT_TRUE(batches.empty()) << "an all-key picture hands over no batch";
}

TEST(RegionRuns, GreenToleranceIsSixteenAndBlueAndRedMustBeFull)
{
    const struct {
        uint32_t rgb;
        bool key;
    } cases[] = {{0xFF10FF, true}, {0xFF11FF, false}, {0xFF00FE, false}, {0xFE00FF, false}};
    for (const auto& c : cases) {
        Picture p(1, 1, c.rgb);
        std::vector<RunRect> rects;
        std::vector<size_t> batches;
        ASSERT_TRUE(p.Runs(rects, batches));
        EXPECT_EQ(rects.empty(), c.key) << std::hex << c.rgb;
    }
}

TEST(RegionRuns, BatchesHoldAThousandAndTheRestComesLast)
{
    Picture p(10, 501, kInk); // two runs a row: 1002 in all
    for (int y = 0; y < 501; ++y)
        p.Set(4, y, kKey);
    std::vector<RunRect> rects;
    std::vector<size_t> batches;
    ASSERT_TRUE(p.Runs(rects, batches));
    EXPECT_EQ(batches, (std::vector<size_t>{1000, 2}));
    EXPECT_TRUE(Same(rects.back(), {5, 500, 10, 501}));
}

TEST(RegionRuns, BadGeometryAndARefusedBatchFail)
{
    Picture p(4, 4, kInk);
    auto ok = [](const RunRect*, size_t) { return true; };
    EXPECT_FALSE(FindRegionRuns(p.bytes.data(), 4, 4, 15, ok)) << "stride shorter than a row";
    EXPECT_FALSE(FindRegionRuns(p.bytes.data(), 0, 4, 16, ok));
    EXPECT_FALSE(FindRegionRuns(p.bytes.data(), 4, -1, 16, ok));
    EXPECT_FALSE(FindRegionRuns(nullptr, 4, 4, 16, ok));
    EXPECT_FALSE(FindRegionRuns(p.bytes.data(), 4, 4, 16, [](const RunRect*, size_t) { return false; }));
}
