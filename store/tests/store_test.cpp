// The store end to end: what is written reads back byte for byte in time order, and crashes, torn
// tails, lost indexes, a full disk and retention leave everything else readable.
#include "Catalogue.h"
#include "Format.h"
#include "Layout.h"
#include "StoreReader.h"
#include "StoreWriter.h"
#include "wire/StreamFrame.h"
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;


namespace {

constexpr int64_t kT0 = 1704110400000; // 2024-01-01 12:00:00 UTC

std::vector<uint8_t> VideoFrame(int channel, int64_t ms, bool key, uint32_t seq, size_t payload = 300)
{
    wire::VideoFrameHeader h;
    h.word0 = wire::MakeVideoWord0(unsigned(channel), !key);
    h.widthDiv16 = 22;
    h.heightDiv16 = 15;
    const int64_t s = ms / 1000;
    h.seconds = uint32_t(s) + 7; // the DVR's own clock, off the calendar on purpose
    h.microseconds = uint32_t(ms % 1000) * 1000;
    h.sequence = seq;
    const int64_t days = s / 86400;
    // 2024-01-01 is day 19723; the tests stay within January 2024.
    h.year = 24;
    h.month = 1;
    h.day = uint8_t(days - 19723 + 1);
    h.hour = uint8_t(s % 86400 / 3600);
    h.minute = uint8_t(s % 3600 / 60);
    h.second = uint8_t(s % 60);
    h.zone = 34;
    h.daylight = 1;
    h.total = uint32_t(wire::kVideoHeaderSize + payload);
    std::vector<uint8_t> f(h.total);
    wire::BuildVideoFrameHeader(h, f.data());
    for (size_t i = wire::kVideoHeaderSize; i < f.size(); ++i)
        f[i] = uint8_t(seq * 31 + i);
    return f;
}

std::vector<uint8_t> AudioBlock(int64_t ms, uint32_t seq)
{
    wire::AudioBlockHeader a;
    a.length = 24 + 48;
    a.channelMask = 0xF;
    a.seconds = uint32_t(ms / 1000) + 7;
    a.microseconds = uint32_t(ms % 1000) * 1000;
    a.sequence = seq;
    std::vector<uint8_t> b(a.length);
    wire::BuildAudioBlockHeader(a, b.data());
    for (size_t i = 24; i < b.size(); ++i)
        b[i] = uint8_t(seq + i);
    return b;
}

struct Written {
    int stream;
    int64_t ms;
    std::vector<uint8_t> block;
};

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = fs::temp_directory_path() /
            ("px-store-" + std::to_string(getpid()) + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
    }
    void TearDown() override { fs::remove_all(root_); }

    std::unique_ptr<store::StoreWriter> Open(store::WriterOptions o = {})
    {
        std::string error;
        auto w = store::StoreWriter::Open(root_.string(), "10.0.0.5", 5000, o, &error);
        EXPECT_TRUE(w) << error;
        return w;
    }

    // Cameras 0 and 1 at 10 frames a second (a key frame a second) and audio every 64 ms, for seconds.
    std::vector<Written> Write(store::StoreWriter& w, int64_t from, int seconds, std::vector<int> cameras = {0, 1})
    {
        std::vector<Written> out;
        uint32_t seq = 0;
        for (int64_t t = from; t < from + seconds * 1000; t += 16) {
            if ((t - from) % 96 == 0)
                for (int c : cameras) {
                    const bool key = (t - from) % 960 == 0;
                    out.push_back({c, t, VideoFrame(c, t, key, ++seq)});
                    EXPECT_TRUE(w.Append(out.back().block.data(), out.back().block.size(), t + 50));
                }
            if ((t - from) % 64 == 0) {
                out.push_back({store::kAudioStream, t, AudioBlock(t, seq)});
                EXPECT_TRUE(w.Append(out.back().block.data(), out.back().block.size(), t + 40));
            }
        }
        return out;
    }

    std::vector<store::Record> ReadAll(int channel, int64_t from, bool audio = true, std::vector<std::string>* problems = nullptr)
    {
        std::string error;
        auto r = store::StoreReader::Open(Site(), channel, audio, &error);
        EXPECT_TRUE(r) << error;
        std::vector<store::Record> out;
        if (!r->Seek(from))
            return out;
        store::Record rec;
        while (r->Next(&rec))
            out.push_back(rec);
        if (problems)
            *problems = r->TakeProblems();
        return out;
    }

    std::string Site() const { return (root_ / "10.0.0.5_5000").string(); }
    std::vector<fs::path> Segments(int stream) const
    {
        std::vector<fs::path> out;
        for (uint32_t day : store::ListDays(Site()))
            for (auto& s : store::ListSegments(Site(), day, stream))
                out.push_back(s.path);
        return out;
    }

    fs::path root_;
};

// What camera 0's reader must give from the start: its frames and the audio, in time order.
std::vector<Written> Expected(const std::vector<Written>& all, int channel, int64_t from = 0, bool audio = true)
{
    std::vector<Written> out;
    for (const Written& w : all)
        if ((w.stream == channel || (audio && w.stream == store::kAudioStream)) && w.ms >= from)
            out.push_back(w);
    std::stable_sort(out.begin(), out.end(), [](const Written& a, const Written& b) {
        return a.ms != b.ms ? a.ms < b.ms : a.stream < b.stream;
    });
    return out;
}

void ExpectSame(const std::vector<Written>& want, const std::vector<store::Record>& got)
{
    ASSERT_EQ(want.size(), got.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(want[i].ms, got[i].dvrMs) << i;
        ASSERT_EQ(want[i].block, got[i].block) << i;
    }
}

} // namespace

TEST_F(StoreTest, RoundTripSeekAndCatalogue)
{
    auto w = Open({/*segmentSeconds*/ 4});
    auto written = Write(*w, kT0, 10);
    w->EndChannel(1); // camera 1 stops; it comes back after 20 s
    auto later = Write(*w, kT0 + 30000, 5, {1});
    ASSERT_TRUE(w->AppendMotion(0, uint32_t(kT0 / 1000) + 3, 42));
    ASSERT_TRUE(w->Close());
    ASSERT_TRUE(w->Close());
    written.insert(written.end(), later.begin(), later.end());

    const auto got = ReadAll(0, kT0);
    ExpectSame(Expected(written, 0), got);
    EXPECT_EQ(got[0].zone, 34);
    EXPECT_EQ(got[0].daylight, 1);
    EXPECT_EQ(got[0].pcMs, kT0 + 50);
    EXPECT_EQ(got[1].kind, store::kAudio);
    EXPECT_EQ(got[1].pcMs, kT0 + 40);
    EXPECT_EQ(got[1].zone, 34); // the zone of the frames around it

    // Any time: the key frame at or before it (key frames every 960 ms), audio from there on.
    const int64_t t = kT0 + 5500;
    const auto mid = ReadAll(0, t);
    ASSERT_FALSE(mid.empty());
    EXPECT_TRUE(mid[0].key);
    EXPECT_EQ(mid[0].dvrMs, kT0 + 4800);
    ExpectSame(Expected(written, 0, kT0 + 4800), mid);
    // In the gap of camera 1: its next span.
    const auto gap = ReadAll(1, kT0 + 20000, false);
    ASSERT_FALSE(gap.empty());
    EXPECT_EQ(gap[0].dvrMs, kT0 + 30000);

    store::Catalogue cat(Site());
    EXPECT_EQ(cat.Days(), std::vector<uint32_t>{20240101});
    EXPECT_EQ(cat.Cameras(20240101), (std::vector<int>{0, 1}));
    const auto spans = cat.Spans(1, 20240101);
    ASSERT_EQ(spans.size(), 2u);
    EXPECT_EQ(spans[0].startMs, kT0);
    EXPECT_EQ(spans[0].endMs, kT0 + 9984);
    EXPECT_EQ(spans[1].startMs, kT0 + 30000);
    EXPECT_EQ(spans[1].endMs, kT0 + 34992);
    EXPECT_EQ(cat.Spans(0, 20240101).size(), 1u);
    const auto motion = cat.Motion(0, 20240101);
    ASSERT_EQ(motion.size(), 86400u);
    EXPECT_EQ(motion[12 * 3600 + 3], 42);
    EXPECT_EQ(motion[12 * 3600 + 4], 255);
    const auto sites = store::Catalogue::ListSites(root_.string());
    ASSERT_EQ(sites.size(), 1u);
    EXPECT_EQ(sites[0].address, "10.0.0.5");
    EXPECT_EQ(sites[0].port, 5000);
}

TEST_F(StoreTest, MalformedBlocksAreRefusedAndTheStoreStaysGood)
{
    auto w = Open();
    auto f = VideoFrame(0, kT0, true, 1);
    auto shortTotal = f;
    shortTotal[60] ^= 1; // total length no longer the block's
    auto noChannel = f;
    noChannel[3] = 0x05; // channel bits below 16
    auto badAudio = AudioBlock(kT0, 1);
    badAudio[4] = 200;
    EXPECT_FALSE(w->Append(shortTotal.data(), shortTotal.size(), kT0));
    EXPECT_FALSE(w->Append(noChannel.data(), noChannel.size(), kT0));
    EXPECT_FALSE(w->Append(badAudio.data(), badAudio.size(), kT0));
    EXPECT_FALSE(w->Append(f.data(), 10, kT0));
    EXPECT_FALSE(w->AppendMotion(16, 1, 5));
    EXPECT_FALSE(w->AppendMotion(0, 1, 101));
    EXPECT_FALSE(w->Failed());
    EXPECT_TRUE(w->Append(f.data(), f.size(), kT0));
    w->Close();
    EXPECT_EQ(ReadAll(0, kT0).size(), 1u);
}

// A crash in the middle of a record: cut the segment at every byte of its last record (and the index's
// end entry, as a crash leaves it), then garbage after the whole segment.
TEST_F(StoreTest, TornTailsAndGarbage)
{
    auto w = Open();
    auto written = Write(*w, kT0, 2, {0});
    w->Close();
    const fs::path seg = Segments(0).at(0);
    const fs::path idx = store::IndexPathOf(seg.string());
    const auto segSize = fs::file_size(seg);
    fs::resize_file(idx, fs::file_size(idx) - store::kIndexEntrySize);
    const auto want = Expected(written, 0);
    const size_t lastSize = store::kRecordHeadSize + Expected(written, 0, 0, false).back().block.size();
    for (uint64_t cut = segSize - lastSize; cut < segSize; ++cut) {
        fs::resize_file(seg, cut);
        const auto got = ReadAll(0, kT0, false);
        ASSERT_EQ(got.size(), 20u) << cut; // 21 frames, the last one torn
        const auto spans = store::Catalogue(Site()).Spans(0, 20240101);
        ASSERT_EQ(spans.size(), 1u);
        EXPECT_EQ(spans[0].endMs, kT0 + 1824) << cut;
    }
    // Whole again, then garbage, including a false record start.
    auto w2 = Open(); // a later writer's segment must not be disturbed either
    auto more = Write(*w2, kT0 + 5000, 1, {0});
    w2->Close();
    {
        std::vector<uint8_t> junk(5000, 0x5A);
        junk[100] = 'P', junk[101] = 'X', junk[102] = 'S', junk[103] = 'R';
        FILE* f = fopen(seg.c_str(), "ab");
        fwrite(junk.data(), 1, junk.size(), f);
        fclose(f);
    }
    std::vector<std::string> problems;
    const auto got = ReadAll(0, kT0, false, &problems);
    EXPECT_EQ(got.size(), 20u + 11u);
    EXPECT_FALSE(problems.empty());
}

TEST_F(StoreTest, MissingOrLaggingIndexIsRebuiltFromTheSegment)
{
    auto w = Open();
    auto written = Write(*w, kT0, 6, {0});
    w->Close();
    const fs::path seg = Segments(0).at(0);
    const fs::path idx = store::IndexPathOf(seg.string());
    // Lagging: only the head and the first two entries reached the disk.
    fs::resize_file(idx, store::kIndexHeadSize + 2 * store::kIndexEntrySize);
    auto got = ReadAll(0, kT0 + 4500, false);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got[0].dvrMs, kT0 + 3840);
    EXPECT_EQ(got.size(), 23u);
    // Missing altogether, or garbled.
    fs::remove(idx);
    std::vector<std::string> problems;
    got = ReadAll(0, kT0 + 4500, false, &problems);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got[0].dvrMs, kT0 + 3840);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("index missing"), std::string::npos);
    const auto spans = store::Catalogue(Site()).Spans(0, 20240101);
    ASSERT_EQ(spans.size(), 1u);
    EXPECT_EQ(spans[0].endMs, kT0 + 5952);
    std::vector<uint8_t> junk(500, 0xEE);
    FILE* f = fopen(idx.c_str(), "wb");
    fwrite(junk.data(), 1, junk.size(), f);
    fclose(f);
    ExpectSame(Expected(written, 0, 0, false), ReadAll(0, kT0, false));
}

TEST_F(StoreTest, RetentionRemovesOldestButNeverTheOpenSegment)
{
    store::WriterOptions o;
    o.segmentSeconds = 1;
    o.maxAgeDays = 30;
    auto w = Open(o);
    Write(*w, kT0, 8, {0});
    w->Flush();
    auto segs = Segments(0);
    ASSERT_GE(segs.size(), 4u);
    // Age: every file made 40 days old, the ones being written too.
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(24 * 40);
    for (auto& s : Segments(0))
        fs::last_write_time(s, old);
    for (auto& s : Segments(store::kAudioStream))
        fs::last_write_time(s, old);
    const int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::system_clock::now().time_since_epoch()).count();
    EXPECT_GT(w->EnforceRetention(now), 0u);
    auto left = Segments(0);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0], segs.back());
    ASSERT_EQ(Segments(store::kAudioStream).size(), 1u);
    // What is left is still readable and the writer carries on in it.
    auto more = VideoFrame(0, kT0 + 8000, false, 999);
    EXPECT_TRUE(w->Append(more.data(), more.size(), kT0 + 8000));
    w->Close();
    const auto got = ReadAll(0, kT0 + 7000, false);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.back().block, more);

    // Size alone, oldest first: a fresh recording under a cap of roughly half of it.
    fs::remove_all(root_);
    auto w3 = Open({1, 0, 0});
    Write(*w3, kT0, 8, {0});
    w3->Close();
    uint64_t total = 0;
    for (auto& e : fs::recursive_directory_iterator(root_))
        if (e.is_regular_file())
            total += e.file_size();
    auto w4 = Open({1, total / 2, 0});
    EXPECT_GT(w4->EnforceRetention(now), 0u);
    uint64_t after = 0;
    for (auto& e : fs::recursive_directory_iterator(root_))
        if (e.is_regular_file())
            after += e.file_size();
    EXPECT_LE(after, total / 2);
    const auto spans = store::Catalogue(Site()).Spans(0, 20240101);
    ASSERT_EQ(spans.size(), 1u);
    EXPECT_GT(spans[0].startMs, kT0);
    EXPECT_EQ(spans[0].endMs, kT0 + 7968); // the newest kept
}

// A full disk (a file-size limit) stops writing; all that was accepted before reads back.
TEST_F(StoreTest, FullDiskKeepsWhatWasWritten)
{
    auto w = Open();
    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    auto prev = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 40000;
    setrlimit(RLIMIT_FSIZE, &small);
    std::vector<Written> accepted;
    for (int i = 0; i < 400 && !w->Failed(); ++i) {
        const int64_t t = kT0 + i * 40;
        auto f = VideoFrame(0, t, i % 10 == 0, uint32_t(i), 700);
        if (w->Append(f.data(), f.size(), t))
            accepted.push_back({0, t, f});
    }
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, prev);
    EXPECT_TRUE(w->Failed());
    EXPECT_FALSE(w->Error().empty());
    auto f = VideoFrame(0, kT0 + 90000, true, 9999);
    EXPECT_FALSE(w->Append(f.data(), f.size(), kT0 + 90000)); // stays failed
    w->Close();
    ASSERT_GT(accepted.size(), 10u);
    ExpectSame(accepted, ReadAll(0, kT0, false));
}

// A writer killed in the middle of writing: every block it had accepted reads back.
TEST_F(StoreTest, KilledWriterLosesNothingAccepted)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        std::string error;
        auto w = store::StoreWriter::Open(root_.string(), "10.0.0.5", 5000, {}, &error);
        for (uint32_t i = 0;; ++i) {
            const int64_t t = kT0 + int64_t(i) * 33;
            auto f = VideoFrame(0, t, i % 30 == 0, i, 2000);
            if (!w || !w->Append(f.data(), f.size(), t))
                _exit(3);
            if (write(fds[1], &i, sizeof i) != sizeof i)
                _exit(4);
        }
    }
    close(fds[1]);
    uint32_t last = 0, n = 0;
    while (n < 3000 && read(fds[0], &last, sizeof last) == sizeof last)
        ++n;
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    while (read(fds[0], &last, sizeof last) == sizeof last)
        ++n;
    close(fds[0]);
    ASSERT_TRUE(WIFSIGNALED(status));
    const auto got = ReadAll(0, kT0, false);
    ASSERT_GE(got.size(), size_t(last) + 1);
    for (uint32_t i = 0; i <= last; ++i)
        ASSERT_EQ(got[i].block, VideoFrame(0, kT0 + int64_t(i) * 33, i % 30 == 0, i, 2000)) << i;
}
