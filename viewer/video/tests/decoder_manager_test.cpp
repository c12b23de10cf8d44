// CMp4DecoderManager's decisions: classes and their one message, loss, repeats, size changes, the
// sizes it refuses before allocating, VOLs inside payloads, a missing library, parallel channels.
#include "StreamCheck.h"
#include "wire/StreamFrame.h"
#include <gtest/gtest.h>
#include <thread>
#include <utility>

using namespace video;
using namespace videotest;

namespace {

struct RecordingNotify final : IDecoderNotify {
    std::vector<std::pair<int, int>> posts;
    void ResolutionClassChanged(int channel, int cls) override { posts.emplace_back(channel, cls); }
};

const dvrsim::VideoLoop& Loop(int w, int h, int channel = 0)
{
    static std::vector<std::unique_ptr<dvrsim::VideoLoop>> cache;
    for (auto& l : cache)
        if (l->format.width == w && l->format.height == h && l->channel == channel)
            return *l;
    dvrsim::VideoFormat f;
    f.width = w;
    f.height = h;
    f.seconds = 1;
    f.keyInterval = 10;
    auto l = std::make_unique<dvrsim::VideoLoop>();
    EXPECT_TRUE(dvrsim::EncodeVideoLoop(LinkedXvidApi(), channel, f, *l));
    cache.push_back(std::move(l));
    return *cache.back();
}

std::vector<uint8_t> Frame(const dvrsim::VideoLoop& loop, int index, uint32_t sequence)
{
    const auto& ef = loop.frames[size_t(index)];
    wire::VideoFrameHeader h;
    h.word0 = wire::MakeVideoWord0(0, !ef.intra);
    h.widthDiv16 = uint8_t(loop.format.width / 16);
    h.heightDiv16 = uint8_t(loop.format.height / 16);
    h.flags = loop.codedInterlaced ? 0x80 : 0;
    h.sequence = sequence;
    h.total = uint32_t(64 + ef.vop.size());
    std::vector<uint8_t> out(h.total);
    wire::BuildVideoFrameHeader(h, out.data());
    std::copy(ef.vop.begin(), ef.vop.end(), out.begin() + 64);
    return out;
}

class Manager : public ::testing::Test {
protected:
    void SetUp() override
    {
        const int w[4] = {720, 720, 720, 720}, h[4] = {480, 480, 480, 480};
        ASSERT_EQ(1, m.Initialize(4, 2, w, h, &notify));
    }
    int Decode(const std::vector<uint8_t>& f, int ch = 0)
    {
        pic = DecodedPicture{};
        return DecodeWholeFrame(m, f, pic, ch);
    }
    double Luma(const dvrsim::VideoLoop& loop, int index)
    {
        dvrsim::CameraScene scene(loop.channel, loop.format.width, loop.format.height);
        dvrsim::YuvPicture src;
        scene.Render(loop.frames[size_t(index)].sourceIndex, src);
        return PlanarLumaPsnr(pic, src);
    }
    CMp4DecoderManager m{LinkedXvidApi()};
    RecordingNotify notify;
    DecodedPicture pic{};
};

} // namespace

TEST_F(Manager, FirstFrameSendsVolAndPostsItsClassOnce)
{
    const auto& cif = Loop(352, 240);
    ASSERT_GT(Decode(Frame(cif, 0, 1)), 0);
    // The record's size comes from the VOL xvid read: the synthesized one, for 352 x 240.
    EXPECT_EQ(352, pic.width);
    EXPECT_EQ(240, pic.height);
    EXPECT_EQ(4, pic.planes); // planar
    EXPECT_GT(Luma(cif, 0), 34.0);
    for (int i = 1; i < 10; ++i)
        ASSERT_GT(Decode(Frame(cif, i, uint32_t(1 + i))), 0);
    EXPECT_EQ(1, m.GetResolutionClass(0));
    ASSERT_EQ(1u, notify.posts.size());
    EXPECT_EQ(std::make_pair(0, 1), notify.posts[0]);
    EXPECT_EQ(1, m.NtscMark());
}

TEST_F(Manager, ClassesTwoAndFourAndOneMessagePerChange)
{
    const auto& half = Loop(704, 240);
    const auto& d1 = Loop(704, 480);
    uint32_t seq = 1;
    for (int i = 0; i < 3; ++i)
        ASSERT_GT(Decode(Frame(half, i, seq++), 2), 0);
    EXPECT_EQ(2, m.GetResolutionClass(2));
    for (int i = 0; i < 3; ++i)
        ASSERT_GT(Decode(Frame(d1, i, seq++), 2), 0);
    EXPECT_EQ(4, m.GetResolutionClass(2));
    EXPECT_GT(Luma(d1, 2), 34.0);
    ASSERT_EQ(2u, notify.posts.size());
    EXPECT_EQ(std::make_pair(2, 2), notify.posts[0]);
    EXPECT_EQ(std::make_pair(2, 4), notify.posts[1]);
    EXPECT_EQ(0, m.GetResolutionClass(4)); // at or above the channel count
    EXPECT_EQ(0, m.GetResolutionClass(-1));
}

TEST_F(Manager, LossDropsPredictedPicturesUntilTheNextIntra)
{
    const auto& cif = Loop(352, 240); // intra at 0, 10, 20
    ASSERT_GT(Decode(Frame(cif, 0, 1)), 0);
    ASSERT_GT(Decode(Frame(cif, 1, 2)), 0);
    // Sequence 3 never arrives.
    for (int i = 3; i < 10; ++i)
        EXPECT_EQ(0, Decode(Frame(cif, i, uint32_t(i + 1)))) << i;
    ASSERT_TRUE(cif.frames[10].intra);
    ASSERT_GT(Decode(Frame(cif, 10, 11)), 0);
    EXPECT_GT(Luma(cif, 10), 34.0);
    ASSERT_GT(Decode(Frame(cif, 11, 12)), 0);
    EXPECT_GT(Luma(cif, 11), 34.0);
}

// A player that seeks resets the channel and decodes from an earlier intra picture on: the new
// decoder gets its VOL again and takes the lower sequence numbers.
TEST_F(Manager, ResetChannelDecodesAfreshFromAnEarlierIntra)
{
    const auto& cif = Loop(352, 240); // intra at 0, 10, 20
    for (int i = 0; i < 15; ++i)
        ASSERT_GT(Decode(Frame(cif, i, uint32_t(100 + i))), 0) << i;
    ASSERT_EQ(1, m.ResetChannel(0, 2, 352, 240));
    EXPECT_EQ(0, Decode(Frame(cif, 1, 1))) << "nothing to predict from after a reset";
    ASSERT_GT(Decode(Frame(cif, 0, 0)), 0);
    ASSERT_GT(Decode(Frame(cif, 1, 1)), 0);
    ASSERT_GT(Decode(Frame(cif, 2, 2)), 0);
    EXPECT_GT(Luma(cif, 2), 34.0);
}

TEST_F(Manager, RepeatedSequenceIsDroppedAndPredictedFirstFrameWaitsForIntra)
{
    const auto& cif = Loop(352, 240);
    // Nothing to predict from yet, whatever its sequence number.
    EXPECT_EQ(0, Decode(Frame(cif, 1, 1)));
    ASSERT_GT(Decode(Frame(cif, 0, 0)), 0); // a DVR may count from 0
    EXPECT_EQ(0, Decode(Frame(cif, 0, 0)));
    ASSERT_GT(Decode(Frame(cif, 1, 1)), 0);
    EXPECT_EQ(0, Decode(Frame(cif, 1, 1)));
    ASSERT_GT(Decode(Frame(cif, 2, 2)), 0);
    EXPECT_GT(Luma(cif, 2), 34.0);
}

TEST_F(Manager, SizeChangeRecreatesTheDecoderAndSendsANewVol)
{
    dvrsim::VideoFormat fa, fb;
    fa.width = 352, fa.height = 240, fa.seconds = 1, fa.keyInterval = 10;
    fb = fa;
    fb.width = 720, fb.height = 576, fb.fps = 25;
    dvrsim::VideoLoop a, b;
    ASSERT_TRUE(dvrsim::EncodeVideoLoop(LinkedXvidApi(), 6, fa, a));
    ASSERT_TRUE(dvrsim::EncodeVideoLoop(LinkedXvidApi(), 6, fb, b));
    dvrsim::VideoFaults faults;
    faults.sizeChangeAfter = 15;
    dvrsim::VideoChannelStream s(1, &a, &b, faults);
    std::vector<uint8_t> f;
    int switches = 0;
    int lastWidth = 0;
    for (int i = 0; i < 130; ++i) {
        dvrsim::SentVideoFrame info;
        ASSERT_TRUE(s.Next(uint64_t(i) * 40000, f, &info));
        ASSERT_GT(Decode(f, 1), 0) << i;
        const auto& loop = *info.loop;
        if (loop.format.width != lastWidth) {
            ++switches;
            lastWidth = loop.format.width;
            // Only a new VOL fills in the record's size, and it is the new size.
            EXPECT_EQ(loop.format.width, pic.width);
            EXPECT_EQ(loop.format.height, pic.height);
            int w = 0, h = 0;
            ASSERT_TRUE(m.ChannelSize(1, w, h));
            EXPECT_EQ(loop.format.width, w);
            EXPECT_EQ(loop.format.height, h);
        } else {
            EXPECT_EQ(0, pic.width);
        }
        dvrsim::CameraScene scene(loop.channel, loop.format.width, loop.format.height);
        dvrsim::YuvPicture src;
        scene.Render(info.sourceIndex, src);
        EXPECT_GT(PlanarLumaPsnr(pic, src), 34.0) << i;
    }
    EXPECT_GE(switches, 3);
    // 1 (352 wide) then 4 (576 lines), alternating: one message per change.
    ASSERT_EQ(size_t(switches), notify.posts.size());
    EXPECT_EQ(1, notify.posts[0].second);
    EXPECT_EQ(4, notify.posts[1].second);
}

TEST_F(Manager, PalFullHeightFirstPictureIsShown)
{
    const auto& pal = Loop(720, 576);
    ASSERT_GT(Decode(Frame(pal, 0, 1), 3), 0);
    EXPECT_EQ(576, pic.height);
    EXPECT_GT(Luma(pal, 0), 34.0);
    EXPECT_EQ(0, m.NtscMark()); // 576 is no multiple of 120
}

TEST_F(Manager, HostileSizesAreRefusedBeforeAnythingIsMade)
{
    const auto& cif = Loop(352, 240);
    ASSERT_GT(Decode(Frame(cif, 0, 1)), 0);
    auto tamper = [&](uint32_t seq, auto edit) {
        auto f = Frame(cif, 0, seq);
        edit(f);
        return f;
    };
    uint32_t seq = 10;
    const std::vector<std::vector<uint8_t>> bad = {
        tamper(seq++, [](auto& f) { f[5] = 0; }), // width 0
        tamper(seq++, [](auto& f) { f[4] = 0; }), // height 0
        tamper(seq++, [](auto& f) { f[5] = 46; }), // 736 wide
        tamper(seq++, [](auto& f) { f[4] = 37; }), // 592 lines
        tamper(seq++, [](auto& f) { f[4] = 255, f[5] = 255; }), // 4080 x 4080
        tamper(seq++, [](auto& f) { wire::StoreLE32(f.data() + 60, 63); }), // shorter than its header
        tamper(seq++, [](auto& f) { wire::StoreLE32(f.data() + 60, 131073); }), // too long
        tamper(seq++, [](auto& f) { wire::StoreLE32(f.data() + 60, uint32_t(f.size() + 1)); }), // past the bytes
    };
    for (const auto& f : bad) {
        EXPECT_EQ(0, Decode(f));
        int w = 0, h = 0;
        ASSERT_TRUE(m.ChannelSize(0, w, h));
        EXPECT_EQ(352, w);
        EXPECT_EQ(240, h);
    }
    EXPECT_EQ(1u, notify.posts.size());
    // Fewer bytes than a header, whatever the header record says, and channels outside the manager.
    const auto whole = Frame(cif, 1, 2);
    wire::VideoFrameHeader header;
    ASSERT_TRUE(wire::ParseVideoFrameHeader(whole.data(), whole.size(), header));
    EXPECT_EQ(0, m.DecodeFrame(header, whole.data(), 63, &pic, 0));
    EXPECT_EQ(0, Decode(Frame(cif, 1, 2), 4));
    EXPECT_EQ(0, Decode(Frame(cif, 1, 2), -1));
    // The channel itself is intact: the next picture in line decodes.
    ASSERT_GT(Decode(Frame(cif, 10, 30)), 0);
    EXPECT_GT(Luma(cif, 10), 34.0);
}

TEST_F(Manager, ForeignSizedVolInPayloadResetsInsteadOfOverrunning)
{
    const auto& cif = Loop(352, 240);
    ASSERT_GT(Decode(Frame(cif, 0, 1)), 0);
    // The header says 352 x 240, the payload carries a VOL for 720 x 576 and an intra VOP.
    auto f = Frame(cif, 10, 2);
    uint8_t vol[kVolSize];
    BuildVolHeader(720, 576, false, vol);
    f.insert(f.begin() + 64, vol, vol + kVolSize);
    wire::StoreLE32(f.data() + 60, uint32_t(f.size()));
    EXPECT_EQ(0, Decode(f));
    int w = 0, h = 0;
    ASSERT_TRUE(m.ChannelSize(0, w, h));
    EXPECT_EQ(352, w);
    EXPECT_EQ(240, h);
    // The P pictures of the old decoder are gone with it; the next intra brings the channel back.
    ASSERT_GT(Decode(Frame(cif, 20, 3)), 0);
    EXPECT_EQ(352, pic.width); // our own VOL again
    EXPECT_GT(Luma(cif, 20), 34.0);
}

TEST_F(Manager, MatchingVolInPayloadIsFollowedByItsPicture)
{
    const auto& cif = Loop(352, 240);
    auto f = Frame(cif, 0, 1);
    uint8_t vol[kVolSize];
    BuildVolHeader(352, 240, false, vol);
    f.insert(f.begin() + 64, vol, vol + kVolSize);
    wire::StoreLE32(f.data() + 60, uint32_t(f.size()));
    ASSERT_GT(Decode(f), 0);
    EXPECT_GT(Luma(cif, 0), 34.0);
}

TEST(ManagerLibrary, MissingLibraryGivesNoPicturesAndSaysSo)
{
    XvidApi none;
    none.status = XvidStatus::Missing;
    CMp4DecoderManager m(none);
    const int w[2] = {720, 720}, h[2] = {480, 480};
    ASSERT_EQ(1, m.Initialize(2, 0, w, h, nullptr));
    EXPECT_FALSE(m.HasDecoder(0));
    EXPECT_NE(std::string(m.LibraryStatusText()).find("xvidcore.dll"), std::string::npos);
    const auto& cif = Loop(352, 240);
    DecodedPicture pic{};
    auto f = Frame(cif, 0, 1);
    EXPECT_EQ(0, DecodeWholeFrame(m, f, pic, 0));
    EXPECT_EQ(nullptr, pic.plane[0]);
}

TEST(ManagerLibrary, ChannelsDecodeInParallelAndReinitializeCleanly)
{
    CMp4DecoderManager m(LinkedXvidApi());
    const int w[4] = {720, 720, 720, 720}, h[4] = {480, 480, 480, 480};
    const dvrsim::VideoLoop* loops[2] = {&Loop(704, 240, 0), &Loop(352, 288, 0)};
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(1, m.Initialize(4, 2, w, h, nullptr));
        std::vector<double> worst(4, 99);
        std::vector<std::thread> threads;
        for (int ch = 0; ch < 4; ++ch)
            threads.emplace_back([&, ch] {
                const auto& loop = *loops[ch % 2];
                dvrsim::CameraScene scene(loop.channel, loop.format.width, loop.format.height);
                dvrsim::YuvPicture src;
                for (int i = 0; i < 20; ++i) {
                    auto f = Frame(loop, i, uint32_t(i + 1));
                    DecodedPicture pic{};
                    if (DecodeWholeFrame(m, f, pic, ch) == 0) {
                        worst[size_t(ch)] = 0;
                        continue;
                    }
                    scene.Render(loop.frames[size_t(i)].sourceIndex, src);
                    worst[size_t(ch)] = std::min(worst[size_t(ch)], PlanarLumaPsnr(pic, src));
                }
            });
        for (auto& t : threads)
            t.join();
        for (double db : worst)
            EXPECT_GT(db, 34.0);
    }
    m.Destroy();
    EXPECT_FALSE(m.Ready());
}
