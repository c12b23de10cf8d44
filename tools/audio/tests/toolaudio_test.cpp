#include "PhoneUplink.h"
#include "ToolAudio.h"
#include "wire/StreamFrame.h"
#include <gtest/gtest.h>
#include <cmath>
#include <cstdio>
#include <unistd.h>

using namespace toolaudio;

namespace {

// The viewer's uplink, as built by CPhoneUplink on a real coder set, straight into the checker.
struct Wire : audio::IPhoneTransport, audio::IPhoneDevices {
    bool SendCommand(uint16_t code, const void* p, size_t n) override
    {
        if (code == 99)
            checker.OnAnnouncement(static_cast<const uint8_t*>(p), n);
        last = code;
        return true;
    }
    bool SendStream(const void* p, size_t n) override
    {
        if (last == 99)
            checker.OnRecord(static_cast<const uint8_t*>(p), n);
        return true;
    }
    bool ReadCaptured(void* out, size_t n) override
    {
        auto* s = static_cast<int16_t*>(out);
        for (size_t i = 0; i < n / 2; ++i)
            s[i] = ChannelSample(3, mic++);
        return true;
    }
    void StartCapture() override {}
    void StopCapture() override {}
    void ResetPhonePlayer() override {}
    bool PerformanceCounter(int64_t& c, int64_t& f) override
    {
        c = 1000000 + 160000 * static_cast<int64_t>(mic / 768);
        f = 1000000;
        return true;
    }
    UplinkChecker checker;
    uint16_t last = 0;
    uint64_t mic = 0;
};

TEST(Uplink, CheckerDecodesTheViewersRecords)
{
    CAudioCoderSet set;
    ASSERT_EQ(set.Init(6), 1);
    audio::CCoderSetCoding coding(set);
    Wire w;
    audio::CPhoneUplink phone(coding, w, w);
    phone.SetButton(true);
    phone.OnDvrAnswer(1);
    for (int i = 0; i < 6 * 20; ++i)
        phone.OnCaptured(true);
    EXPECT_EQ(w.checker.Announcements(), 20u);
    EXPECT_EQ(w.checker.Records(), 20u);
    EXPECT_EQ(w.checker.Errors(), 0u) << (w.checker.Errors() ? w.checker.ErrorTexts()[0] : "");
    std::vector<int16_t> sent(6 * 128 * 20);
    for (size_t i = 0; i < sent.size(); ++i)
        sent[i] = ChannelSample(3, i);
    ASSERT_EQ(w.checker.Samples().size(), sent.size());
    EXPECT_GT(Correlation(w.checker.Samples(), sent, 800, sent.size() - 800), 0.9);
}

TEST(Uplink, CheckerNoticesBrokenCountersAndLayout)
{
    UplinkChecker c;
    uint8_t head[16], rec[312] = {};
    protocol::BuildPhoneHeader(5, 0, head);
    wire::AudioBlockHeader h;
    std::memcpy(h.tag, "327g", 4);
    h.length = 312;
    h.channelMask = 0x10000;
    h.seconds = 5;
    wire::BuildAudioBlockHeader(h, rec);
    c.OnAnnouncement(head, 16);
    c.OnRecord(rec, 312);
    EXPECT_EQ(c.Errors(), 0u);
    protocol::BuildPhoneHeader(5, 2, head); // counter skipped 1
    c.OnAnnouncement(head, 16);
    h.sequence = 1;
    wire::BuildAudioBlockHeader(h, rec);
    c.OnRecord(rec, 300); // short
    c.OnRecord(rec, 312); // not announced
    EXPECT_EQ(c.Errors(), 3u);
}

TEST(ChannelWav, EachChannelIsItsSignalWithGapsFilled)
{
    char dir[] = "/tmp/toolaudioXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string prefix = std::string(dir) + "/rec";
    SourceOptions o;
    o.gapEvery = 50;
    o.gapSize = 2; // a jump of 3 after every 50 records
    AudioRecordSource src(o);
    {
        ChannelWavRecorder rec(prefix);
        std::vector<uint8_t> r;
        for (int i = 0; i < 200; ++i) {
            src.Next(false, 0, 0, r);
            ASSERT_TRUE(rec.OnBlock(r.data(), r.size()));
        }
        rec.Close();
        for (unsigned c = 0; c < 4; ++c)
            EXPECT_EQ(rec.Samples(c), (200u + 3 * 2) * 128) << c; // three jumps, two repeats each
    }
    for (unsigned c = 0; c < 4; ++c) {
        const auto got = ReadWav(prefix + "-ch" + std::to_string(c + 1) + ".wav");
        ASSERT_EQ(got.size(), 206u * 128);
        // The first 50 records come before any jump: they are channel c's signal.
        std::vector<int16_t> want(50 * 128);
        for (size_t i = 0; i < want.size(); ++i)
            want[i] = ChannelSample(c, i);
        EXPECT_GT(Correlation(got, want, 400, want.size() - 400), 0.9) << c;
        for (unsigned other = 0; other < 4; ++other) {
            if (other == c)
                continue;
            for (size_t i = 0; i < want.size(); ++i)
                want[i] = ChannelSample(other, i);
            EXPECT_LT(std::fabs(Correlation(got, want, 400, want.size() - 400)), 0.3) << c << " vs " << other;
        }
        std::remove((prefix + "-ch" + std::to_string(c + 1) + ".wav").c_str());
    }
    rmdir(dir);
}

} // namespace

// The sync marker's click lands on the sample asked for, on every channel, carries on into the next
// record, and the channels are silent around it.
TEST(SyncClick, StartsAtTheSampleAskedForOnEveryChannel)
{
    SourceOptions o;
    o.clicksOnly = true;
    AudioRecordSource src(o);
    CG723Coder dec[4];
    std::vector<int16_t> got[4];
    std::vector<uint8_t> r;
    for (int i = 0; i < 4; ++i) {
        src.Next(false, 0, 0, r, i == 2 ? 120 : -1);
        for (unsigned c = 0; c < 4; ++c) {
            int16_t pcm[128];
            ASSERT_EQ(dec[c].Decode(r.data() + 24 + 48 * c, 48, pcm, 128), 128);
            got[c].insert(got[c].end(), pcm, pcm + 128);
        }
    }
    for (unsigned c = 0; c < 4; ++c) {
        size_t first = got[c].size();
        for (size_t i = 0; i < got[c].size() && first == got[c].size(); ++i)
            if (std::abs(got[c][i]) > 4000)
                first = i;
        EXPECT_GE(first, 2u * 128 + 120) << c;
        EXPECT_LE(first, 2u * 128 + 128) << c; // the coder's step adapts within a millisecond
        EXPECT_GT(std::abs(got[c][3 * 128 + 10]), 4000) << c; // still clicking in the next record
        EXPECT_LT(std::abs(got[c][3 * 128 + 100]), 4000) << c;
    }
}
