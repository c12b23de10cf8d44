// Playback over a real store written by StoreWriter: cameras in step, seeks on key frames, speeds,
// steps, gaps, the growing end and a damaged segment. The PC clock is the test's own numbers.
#include "Playback.h"
#include "StoreWriter.h"
#include "wire/StreamFrame.h"
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int64_t kT0 = 1704110400000; // 2024-01-01 12:00:00 UTC

std::vector<uint8_t> VideoFrame(int channel, int64_t ms, bool key, uint32_t seq)
{
    wire::VideoFrameHeader h;
    h.word0 = wire::MakeVideoWord0(unsigned(channel), !key);
    h.widthDiv16 = 22;
    h.heightDiv16 = 15;
    const int64_t s = ms / 1000;
    h.seconds = uint32_t(s);
    h.microseconds = uint32_t(ms % 1000) * 1000;
    h.sequence = seq;
    h.year = 24;
    h.month = 1;
    h.day = uint8_t(s / 86400 - 19723 + 1);
    h.hour = uint8_t(s % 86400 / 3600);
    h.minute = uint8_t(s % 3600 / 60);
    h.second = uint8_t(s % 60);
    h.total = uint32_t(wire::kVideoHeaderSize + 200);
    std::vector<uint8_t> f(h.total);
    wire::BuildVideoFrameHeader(h, f.data());
    return f;
}

std::vector<uint8_t> AudioBlock(int64_t ms, uint32_t seq)
{
    wire::AudioBlockHeader a;
    a.length = 24 + 48;
    a.channelMask = 0xF;
    a.seconds = uint32_t(ms / 1000);
    a.microseconds = uint32_t(ms % 1000) * 1000;
    a.sequence = seq;
    std::vector<uint8_t> b(a.length);
    wire::BuildAudioBlockHeader(a, b.data());
    return b;
}

struct Stream {
    int camera; // or store::kAudioStream
    int64_t from, to; // ms after kT0
    int64_t frameMs;
    int keyEvery; // a key frame every so many pictures
};

class PlaybackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = fs::temp_directory_path() /
            ("px-play-" + std::to_string(getpid()) + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        std::string error;
        writer_ = store::StoreWriter::Open(root_.string(), "10.0.0.5", 5000, {}, &error);
        ASSERT_TRUE(writer_) << error;
    }
    void TearDown() override
    {
        writer_.reset();
        fs::remove_all(root_);
    }

    // Every stream's records, appended in time order, as a DVR interleaves them.
    void Write(const std::vector<Stream>& streams)
    {
        std::multimap<int64_t, std::vector<uint8_t>> all;
        for (const Stream& s : streams)
            for (int64_t t = s.from, i = 0; t < s.to; t += s.frameMs, ++i)
                all.emplace(kT0 + t, s.camera == store::kAudioStream ? AudioBlock(kT0 + t, uint32_t(++seq_))
                                                                   : VideoFrame(s.camera, kT0 + t, i % s.keyEvery == 0, uint32_t(++seq_)));
        for (auto& [t, b] : all)
            ASSERT_TRUE(writer_->Append(b.data(), b.size(), t + 30));
        ASSERT_TRUE(writer_->Flush());
    }

    std::unique_ptr<player::Playback> Open(std::vector<int> cams)
    {
        std::string error;
        auto p = player::Playback::Open(writer_->SiteFolder(), cams, &error);
        EXPECT_TRUE(p) << error;
        return p;
    }

    // Plays from the PC's now_ for ms in ticks; every handed-out record checked against the head.
    std::vector<player::Picture> Run(player::Playback& p, int64_t ms, int64_t tick = 40, std::vector<store::Record>* audio = nullptr)
    {
        std::vector<player::Picture> out;
        for (int64_t end = now_ + ms; now_ < end;) {
            now_ += tick;
            const int64_t before = p.HeadMs();
            player::Due d = p.Tick(now_);
            EXPECT_GE(d.headMs, before);
            for (auto& v : d.video) {
                EXPECT_LE(v.record.dvrMs, d.headMs);
                out.push_back(std::move(v));
            }
            for (auto& a : d.audio) {
                EXPECT_LE(a.dvrMs, d.headMs);
                if (audio)
                    audio->push_back(std::move(a));
            }
        }
        return out;
    }

    static std::vector<int64_t> Times(const std::vector<player::Picture>& v, int cam, bool keysOnly = false)
    {
        std::vector<int64_t> t;
        for (auto& p : v)
            if (p.camera == cam && (!keysOnly || p.record.key))
                t.push_back(p.record.dvrMs - kT0);
        return t;
    }

    fs::path root_;
    std::unique_ptr<store::StoreWriter> writer_;
    int64_t now_ = 5000000;
    int seq_ = 0;
};

TEST_F(PlaybackTest, OpensOnlyWholeLayoutsOfDistinctCameras)
{
    std::string error;
    EXPECT_FALSE(player::Playback::Open(writer_->SiteFolder(), {0, 1}, &error));
    EXPECT_FALSE(player::Playback::Open(writer_->SiteFolder(), {0, 1, 2, 2}, &error));
    EXPECT_FALSE(player::Playback::Open(writer_->SiteFolder(), {0, 1, 2, 16}, &error));
    EXPECT_FALSE(player::Playback::Open(writer_->SiteFolder(), {}, &error));
    EXPECT_TRUE(player::Playback::Open(writer_->SiteFolder(), {3}, &error));
}

// Camera 0 every 100 ms (key each 1 s), camera 1 every 250 ms (key each 2 s): after a seek each starts
// at its key frame, shows its last picture before the target, and both then run on one head.
TEST_F(PlaybackTest, SeekLandsOnKeyFramesAndCamerasKeepInStep)
{
    Write({{0, 0, 10000, 100, 10}, {1, 0, 10000, 250, 8}, {store::kAudioStream, 0, 10000, 64, 1}});
    std::vector<int> cams = {0, 1, 2, 3}; // cameras 2 and 3 have nothing: they stay empty
    auto p = Open(cams);
    player::Due d = p->Seek(kT0 + 3550);
    EXPECT_EQ(d.headMs, kT0 + 3550);
    EXPECT_EQ(Times(d.video, 0), (std::vector<int64_t>{3000, 3100, 3200, 3300, 3400, 3500}));
    EXPECT_EQ(Times(d.video, 1), (std::vector<int64_t>{2000, 2250, 2500, 2750, 3000, 3250, 3500}));
    EXPECT_TRUE(Times(d.video, 2).empty());
    for (int c : {0, 1}) {
        std::vector<player::Picture*> mine;
        for (auto& v : d.video)
            if (v.camera == c)
                mine.push_back(&v);
        EXPECT_TRUE(mine.front()->record.key);
        for (auto* v : mine)
            EXPECT_EQ(v->show, v == mine.back()) << "only the picture at the target is shown";
    }
    EXPECT_EQ(d.restarted.size(), 4u);

    p->Play();
    std::vector<store::Record> audio;
    auto v = Run(*p, 2000, 40, &audio);
    EXPECT_EQ(p->HeadMs(), kT0 + 5550 - 40) << "the first tick only starts the clock";
    EXPECT_EQ(Times(v, 0).front(), 3600);
    EXPECT_EQ(Times(v, 0).back(), 5500);
    EXPECT_EQ(Times(v, 0).size(), 20u);
    EXPECT_EQ(Times(v, 1), (std::vector<int64_t>{3750, 4000, 4250, 4500, 4750, 5000, 5250, 5500}));
    for (auto& x : v)
        EXPECT_TRUE(x.show) << "one picture a tick at most at 1x here";
    ASSERT_FALSE(audio.empty());
    EXPECT_GE(audio.front().dvrMs, kT0 + 3550);
    EXPECT_LT(audio.front().dvrMs, kT0 + 3550 + 64);
    for (size_t i = 1; i < audio.size(); ++i)
        EXPECT_EQ(audio[i].dvrMs - audio[i - 1].dvrMs, 64);
}

TEST_F(PlaybackTest, SpeedsMoveTheHeadAndAbove4xOnlyKeyFramesSoundOnlyAt1x)
{
    Write({{0, 0, 60000, 100, 10}, {1, 0, 60000, 250, 8}, {store::kAudioStream, 0, 60000, 64, 1}});
    auto p = Open({0, 1, 2, 3});
    p->Seek(kT0 + 1000);
    player::Due d;
    EXPECT_FALSE(p->SetSpeed(3, &d));
    EXPECT_FALSE(p->SetSpeed(128, &d));
    p->Play();
    Run(*p, 40); // starts the clock

    ASSERT_TRUE(p->SetSpeed(1, &d)); // 1/4x
    std::vector<store::Record> audio;
    int64_t h = p->HeadMs();
    auto v = Run(*p, 4000, 40, &audio);
    EXPECT_EQ(p->HeadMs() - h, 1000);
    EXPECT_EQ(Times(v, 0).size(), 10u);
    EXPECT_TRUE(audio.empty()) << "no sound away from 1x";

    ASSERT_TRUE(p->SetSpeed(16, &d)); // 4x: still every picture, several a tick, the last shown
    h = p->HeadMs();
    v = Run(*p, 1000, 100);
    EXPECT_EQ(p->HeadMs() - h, 4000);
    EXPECT_EQ(Times(v, 0).size(), 40u);
    size_t shown = 0;
    for (auto& x : v)
        shown += x.show;
    EXPECT_LT(shown, v.size());

    ASSERT_TRUE(p->SetSpeed(64, &d)); // 16x: key frames only
    for (auto& x : d.video)
        EXPECT_TRUE(x.record.key);
    h = p->HeadMs();
    v = Run(*p, 1000, 40);
    EXPECT_EQ(p->HeadMs() - h, 16000);
    ASSERT_FALSE(v.empty());
    for (auto& x : v)
        EXPECT_TRUE(x.record.key && x.show);
    auto k0 = Times(v, 0);
    EXPECT_GE(k0.size(), 15u); // one key each second, none twice
    EXPECT_TRUE(std::adjacent_find(k0.begin(), k0.end(), std::greater_equal<int64_t>()) == k0.end());

    ASSERT_TRUE(p->SetSpeed(4, &d)); // back at 1x: every picture and the sound again
    audio.clear();
    v = Run(*p, 1000, 40, &audio);
    EXPECT_FALSE(audio.empty());
    EXPECT_GE(Times(v, 0).size(), 9u);
    EXPECT_FALSE(Times(v, 0, true).empty());
}

// At 1x, ticks that come late (here every other one, 30 ms on average against pictures every 33)
// still show every picture once, never more than kCatchUpMs behind the head; a camera left far
// behind (a stall of the caller) decodes up to the head and shows only the last.
TEST_F(PlaybackTest, At1xLateTicksShowEveryPictureAndAStallCatchesUp)
{
    Write({{0, 0, 20000, 33, 30}, {1, 0, 20000, 40, 25}});
    auto p = Open({0, 1, 2, 3});
    p->Seek(kT0 + 1000);
    p->Play();
    Run(*p, 10);
    std::vector<player::Picture> v;
    for (int i = 0; i < 100; ++i)
        for (auto& x : Run(*p, i % 2 ? 50 : 10, i % 2 ? 50 : 10)) {
            EXPECT_TRUE(x.show) << x.camera << " at " << x.record.dvrMs - kT0;
            EXPECT_LE(p->HeadMs() - x.record.dvrMs, player::kCatchUpMs);
            v.push_back(std::move(x));
        }
    const std::vector<int64_t> t0 = Times(v, 0), t1 = Times(v, 1);
    ASSERT_GE(t0.size(), 85u);
    for (size_t i = 1; i < t0.size(); ++i)
        ASSERT_EQ(t0[i] - t0[i - 1], 33) << "camera 0 skipped a picture at " << t0[i];
    for (size_t i = 1; i < t1.size(); ++i)
        ASSERT_EQ(t1[i] - t1[i - 1], 40) << "camera 1 skipped a picture at " << t1[i];

    v = Run(*p, 600, 600);
    size_t shown = 0;
    for (const auto& x : v)
        shown += x.show;
    EXPECT_EQ(shown, 2u) << "a stall: one picture per camera, the newest";
    EXPECT_GT(v.size(), 20u) << "the ones between decoded";
}

TEST_F(PlaybackTest, StepForwardAndBackToKeyFramesAndJumps)
{
    Write({{0, 0, 20000, 100, 10}, {1, 0, 20000, 250, 8}});
    auto p = Open({1});
    auto both = Open({0, 1, 2, 3});
    both->Seek(kT0 + 5000);
    // The next picture of either camera, each in turn.
    std::vector<int64_t> heads;
    for (int i = 0; i < 4; ++i)
        heads.push_back(both->StepForward().headMs - kT0);
    EXPECT_EQ(heads, (std::vector<int64_t>{5100, 5200, 5250, 5300}));
    EXPECT_FALSE(both->Playing());

    // Back: camera 0's key frames each second are the nearest; then 4000, 3000.
    player::Due d = both->StepBackKey();
    EXPECT_EQ(d.headMs, kT0 + 5000);
    EXPECT_EQ(both->StepBackKey().headMs, kT0 + 4000);
    d = both->StepBackKey();
    EXPECT_EQ(d.headMs, kT0 + 3000);
    EXPECT_EQ(Times(d.video, 0), (std::vector<int64_t>{3000})) << "camera 0 lands on its key frame";
    EXPECT_EQ(Times(d.video, 1), (std::vector<int64_t>{2000, 2250, 2500, 2750, 3000})) << "camera 1 from its own";
    EXPECT_TRUE(d.video.front().record.key);

    // One camera: its own key frames every 2 s.
    p->Seek(kT0 + 7000);
    EXPECT_EQ(p->StepBackKey().headMs, kT0 + 6000);
    EXPECT_EQ(p->StepBackKey().headMs, kT0 + 4000);
    EXPECT_EQ(p->StepBackKey().headMs, kT0 + 2000);
    EXPECT_EQ(p->StepBackKey().headMs, kT0);
    EXPECT_EQ(p->StepBackKey().headMs, kT0) << "nothing before the first";

    EXPECT_EQ(both->Jump(10000).headMs, kT0 + 13000);
    d = both->Jump(-60000);
    EXPECT_EQ(d.headMs, kT0 - 47000);
    EXPECT_TRUE(d.video.empty() || d.video.front().record.dvrMs > d.headMs);
    for (auto& v : d.video)
        EXPECT_FALSE(v.show) << "before everything: nothing is at the head yet";
}

// Camera 0 records 0-5 s and 20-30 s; camera 1 all along: the head runs through camera 0's gap at
// the speed and it gets nothing there. Then both pause 30-50 s: the head jumps over that.
TEST_F(PlaybackTest, GapsStayGapsAndAGapOfEveryCameraIsJumped)
{
    Write({{0, 0, 5000, 100, 10},
           {0, 20000, 30000, 100, 10},
           {1, 0, 30000, 250, 8},
           {0, 50000, 52000, 100, 10},
           {1, 50000, 52000, 250, 8}});
    auto p = Open({0, 1, 4, 5});
    p->Seek(kT0 + 4000);
    p->Play();
    Run(*p, 40);
    auto v = Run(*p, 20000, 40);
    auto t0 = Times(v, 0);
    for (int64_t t : t0)
        EXPECT_TRUE(t < 5000 || t >= 20000) << t;
    EXPECT_EQ(t0.back(), 24000);
    EXPECT_EQ(p->HeadMs(), kT0 + 24000);
    EXPECT_EQ(Times(v, 1).size(), 80u) << "camera 1 plays through";

    v = Run(*p, 6000, 40); // to 30 s, where both pause: the head goes straight on to 50 s
    EXPECT_GE(p->HeadMs(), kT0 + 50000);
    EXPECT_LT(p->HeadMs(), kT0 + 50200);
    for (int c : {0, 1}) {
        auto t = Times(v, c);
        EXPECT_TRUE(std::find(t.begin(), t.end(), 50000) != t.end()) << "each camera's key frame after the gap";
        for (int64_t x : t)
            EXPECT_TRUE(x < 30000 || x >= 50000) << x;
    }
}

TEST_F(PlaybackTest, AtTheGrowingEndTheHeadWaitsAndFollows)
{
    Write({{0, 0, 3000, 100, 10}, {1, 0, 3000, 250, 8}});
    auto p = Open({0, 1, 2, 3});
    p->Seek(kT0 + 2000);
    p->Play();
    Run(*p, 40);
    auto v = Run(*p, 2000, 40);
    EXPECT_EQ(Times(v, 0).back(), 2900);
    const int64_t stopped = p->HeadMs();
    EXPECT_LE(stopped, kT0 + 3000);
    now_ += 40;
    EXPECT_TRUE(p->Tick(now_).waiting);
    EXPECT_EQ(p->HeadMs(), stopped);

    Write({{0, 3000, 5000, 100, 10}, {1, 3000, 5000, 250, 8}}); // the writer carries on
    now_ += 40;
    EXPECT_FALSE(p->Tick(now_).waiting);
    v = Run(*p, 1000, 40);
    EXPECT_EQ(p->HeadMs(), stopped + 1040);
    auto t0 = Times(v, 0);
    ASSERT_FALSE(t0.empty());
    EXPECT_EQ(t0.front(), 3000);
    EXPECT_EQ(Times(v, 1).front(), 3000);
}

// Camera 0 in three spans; the middle segment's head is damaged: it is reported, passed over (the
// head jumps it as a gap) and the third span plays.
TEST_F(PlaybackTest, ADamagedSegmentIsSkippedWithAProblemLine)
{
    Write({{0, 0, 4000, 100, 10}, {0, 8000, 12000, 100, 10}, {0, 16000, 20000, 100, 10}});
    writer_->Close();
    const fs::path seg = fs::path(writer_->SiteFolder()) / "20240101" / "cam01" / (std::to_string(kT0 + 8000) + ".seg");
    ASSERT_TRUE(fs::exists(seg));
    {
        std::fstream f(seg, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(3);
        f.put('X');
    }
    auto p = Open({0});
    p->Seek(kT0 + 3000);
    p->Play();
    std::vector<std::string> problems;
    std::vector<player::Picture> v;
    Run(*p, 40);
    for (int i = 0; i < 100; ++i) {
        now_ += 40;
        player::Due d = p->Tick(now_);
        problems.insert(problems.end(), d.problems.begin(), d.problems.end());
        for (auto& x : d.video)
            v.push_back(std::move(x));
    }
    auto t0 = Times(v, 0);
    for (int64_t t : t0)
        EXPECT_TRUE(t < 4000 || t >= 16000) << t;
    ASSERT_FALSE(t0.empty());
    EXPECT_GE(t0.back(), 16000);
    ASSERT_FALSE(problems.empty());
    EXPECT_NE(problems.front().find(std::to_string(kT0 + 8000)), std::string::npos) << problems.front();
}

} // namespace
