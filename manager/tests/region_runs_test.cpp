// The runs of a keyed picture: what counts as the key colour, the runs of each row, the batches.
#include "RegionRuns.h"
#include <gtest/gtest.h>
#include <cstdint>
#include <vector>

using namespace manager;

namespace {

constexpr uint32_t kKey = 0xFF00FF, kInk = 0x336699; // 0x00RRGGBB, stored as B, G, R, 0

struct Picture {
    int width, height;
    size_t stride;
    std::vector<uint8_t> bytes;
    std::vector<std::vector<int32_t>> rects; // left, top, right, bottom
    std::vector<size_t> batches;
    Picture(int w, int h, uint32_t fill, size_t pad = 0) : width(w), height(h), stride(w * 4 + pad), bytes(stride * h)
    {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                Set(x, y, fill);
    }
    void Set(int x, int y, uint32_t rgb)
    {
        uint8_t* p = &bytes[y * stride + x * 4];
        p[0] = rgb & 0xFF, p[1] = (rgb >> 8) & 0xFF, p[2] = (rgb >> 16) & 0xFF;
    }
    bool Runs()
    {
        return FindRegionRuns(bytes.data(), width, height, stride, [&](const RunRect* r, size_t n) {
            for (size_t i = 0; i < n; ++i)
                rects.push_back({r[i].left, r[i].top, r[i].right, r[i].bottom});
            batches.push_back(n);
            return true;
        });
    }
};

using Rects = std::vector<std::vector<int32_t>>;

} // namespace

TEST(RegionRuns, RowsSplitIntoRunsAroundTheKeyWithinTheStride)
{
    Picture p(6, 3, kInk, 8); // the stride's padding is zero bytes, never read as pixels
    p.Set(0, 0, kKey), p.Set(3, 0, kKey), p.Set(4, 0, kKey);
    for (int x = 0; x < 6; ++x)
        p.Set(x, 1, kKey);
    ASSERT_TRUE(p.Runs());
    EXPECT_EQ(p.rects, (Rects{{1, 0, 3, 1}, {5, 0, 6, 1}, {0, 2, 6, 3}}));

    Picture key(7, 3, kKey);
    ASSERT_TRUE(key.Runs());
    EXPECT_TRUE(key.batches.empty()) << "an all-key picture hands over no batch";
}

TEST(RegionRuns, GreenToleranceIsSixteenAndBlueAndRedMustBeFull)
{
    for (auto [rgb, key] : {std::pair{0xFF10FFu, true}, {0xFF11FFu, false}, {0xFF00FEu, false}, {0xFE00FFu, false}}) {
        Picture p(1, 1, rgb);
        ASSERT_TRUE(p.Runs());
        EXPECT_EQ(p.rects.empty(), key) << std::hex << rgb;
    }
}

TEST(RegionRuns, BatchesHoldAThousandAndTheRestComesLast)
{
    Picture p(10, 501, kInk); // two runs a row: 1002 in all
    for (int y = 0; y < 501; ++y)
        p.Set(4, y, kKey);
    ASSERT_TRUE(p.Runs());
    EXPECT_EQ(p.batches, (std::vector<size_t>{1000, 2}));
    EXPECT_EQ(p.rects.back(), (std::vector<int32_t>{5, 500, 10, 501}));
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
