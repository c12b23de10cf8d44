// The export checked as the people receiving it will: ffprobe reads the streams and the duration,
// ffmpeg decodes every picture and sound sample without an error and finds the pictures the store
// holds, the manifest's SHA-256 match and spot a changed byte; cancel and a full disk leave nothing
// that looks complete.
#include "AviReader.h"
#include "Catalogue.h"
#include "CommandLine.h"
#include "ExportSource.h"
#include "Export.h"
#include "ExportJob.h"
#include "Manifest.h"
#include "ServedSimulator.h"
#include "Sha256.h"
#include "StoreWriter.h"
#include "ToolAudio.h"
#include "VideoChannelStream.h"
#include "XvidApi.h"
#include "wire/StreamFrame.h"
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using namespace backup;

namespace {

struct TempDir {
    fs::path path;
    TempDir()
    {
        char tmpl[] = "/tmp/backup_test.XXXXXX";
        path = mkdtemp(tmpl);
    }
    ~TempDir() { fs::remove_all(path); }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> n;
        for (const auto& e : fs::directory_iterator(path))
            n.push_back(e.path().filename().string());
        std::sort(n.begin(), n.end());
        return n;
    }
};

std::string Shell(const std::string& cmd, int* status = nullptr)
{
    std::string out;
    FILE* p = popen((cmd + " 2>&1").c_str(), "r");
    if (!p)
        return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    const int st = pclose(p);
    if (status)
        *status = st;
    return out;
}

class VectorSource : public IBlockSource {
public:
    std::vector<std::vector<uint8_t>> blocks;
    size_t next = 0;
    int Next(StoredBlock& out, std::string*) override
    {
        if (next >= blocks.size())
            return 0;
        out.data = blocks[next].data(), out.size = blocks[next].size();
        ++next;
        return 1;
    }
};

constexpr uint64_t kStart = 1700000000ull * 1000000; // 2023-11-14 22:13:20 UTC

// A recording of camera 3 and the site's sound: 30 pictures/s for `seconds`, sound records every
// 16 ms. Pictures lostAt..lostAt+4 never came (a loss), and 1.5 s of sound is missing at 2 s.
struct Recording {
    VectorSource video, audio;
    int picturesStored = 0;
    dvrsim::VideoLoop loop;

    explicit Recording(int seconds, int lostAt = -1)
    {
        dvrsim::VideoFormat f;
        f.width = 352, f.height = 240, f.seconds = 1, f.keyInterval = 15;
        EXPECT_TRUE(dvrsim::EncodeVideoLoop(video::LinkedXvidApi(), 2, f, loop));
        dvrsim::VideoChannelStream s(2, &loop, nullptr, {}, 34, 1);
        for (int i = 0; i < seconds * 30; ++i) {
            std::vector<uint8_t> b;
            s.Next(kStart + uint64_t(i) * 1001000 / 30, b);
            if (lostAt >= 0 && i >= lostAt && i < lostAt + 5)
                continue;
            video.blocks.push_back(b);
            ++picturesStored;
        }
        toolaudio::AudioRecordSource a;
        for (uint64_t t = kStart; t < kStart + uint64_t(seconds) * 1000000; t += 16000) {
            std::vector<uint8_t> b;
            a.Next(false, uint32_t(t / 1000000), uint32_t(t % 1000000), b);
            if (t >= kStart + 2000000 && t < kStart + 3500000)
                continue;
            audio.blocks.push_back(b);
        }
    }
};

ExportOptions Options(const fs::path& out, int seconds)
{
    ExportOptions o;
    o.outPath = out.string();
    o.camera = 2;
    o.audioChannel = 0;
    o.fromUs = int64_t(kStart);
    o.toUs = int64_t(kStart) + seconds * 1000000ll;
    return o;
}

std::string Probe(const fs::path& file, const std::string& what)
{
    return Shell("ffprobe -v error " + what + " -of default=nw=1:nk=1 '" + file.string() + "'");
}

} // namespace

TEST(Sha256, KnownDigestsAndStreaming)
{
    Sha256 s;
    EXPECT_EQ("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", s.FinalHex());
    s.Update("abc", 3);
    EXPECT_EQ("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", s.FinalHex());
    const std::string two = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    for (size_t cut = 0; cut <= two.size(); cut += 7) {
        s.Update(two.data(), cut);
        s.Update(two.data() + cut, two.size() - cut);
        EXPECT_EQ("248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1", s.FinalHex()) << cut;
    }
    const std::string million(1000000, 'a');
    s.Update(million.data(), million.size());
    EXPECT_EQ("cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0", s.FinalHex());
}

TEST(Export, FilesThatFfmpegReadsWithAManifestThatSpotsAChange)
{
    Recording rec(6, 92);
    TempDir dir;
    ExportOptions o = Options(dir.path / "cam03.avi", 6);
    ExportResult r = ExportCamera(rec.video, &rec.audio, o);
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(1u, r.files.size());
    const ExportedFile& f = r.files[0];
    // The loss leaves out the predicted pictures up to the next key frame (every 15th).
    EXPECT_EQ(uint64_t(rec.picturesStored), f.pictures + f.leftOut);
    EXPECT_EQ(8u, f.leftOut); // 97..104; 105 is a key frame
    EXPECT_NEAR(6.0, double(f.soundSamples + f.silenceSamples) / 8000, 0.05);
    EXPECT_NEAR(1.5, double(f.silenceSamples) / 8000, 0.05);

    const fs::path avi = dir.path / "cam03.avi";
    EXPECT_EQ("mpeg4\nvideo\n352\n240\npcm_s16le\naudio\n", Probe(avi, "-show_entries stream=codec_name,codec_type,width,height"));
    EXPECT_NEAR(6.0, std::stod(Probe(avi, "-show_entries format=duration")), 0.1);
    // Every picture and sample decodes without a word from ffmpeg; every stored picture is there.
    EXPECT_EQ("", Shell("ffmpeg -nostdin -v error -i '" + avi.string() + "' -f null -"));
    EXPECT_EQ(std::to_string(f.pictures) + "\n",
              Probe(avi, "-count_frames -select_streams v:0 -show_entries stream=nb_read_frames"));
    // The gap after the loss stays a gap in time: the first picture after it is at its own time.
    const std::string pts = Probe(avi, "-select_streams v:0 -show_entries packet=pts_time");
    EXPECT_NE(std::string::npos, pts.find("\n3.503500\n")) << "picture 105 at 105 * 1001 / 30000 s";

    // Subtitles: the DVR's local time (zone 34, Paris, winter: UTC + 1) of each second.
    std::ifstream srt(dir.path / "cam03.srt");
    std::string first((std::istreambuf_iterator<char>(srt)), {});
    EXPECT_EQ(0u, first.find("1\n00:00:00,000 --> 00:00:01,000\n2023-11-14 23:13:20\n\n2\n")) << first.substr(0, 80);

    std::string error;
    ASSERT_TRUE(WriteManifest((dir.path / "export").string(),
                              {"10.0.0.5:50000", o.fromUs, o.toUs, 34, 1, {{3, 1, r.files}}}, &error))
        << error;
    for (const char* m : {"export.txt", "export.json"}) {
        std::vector<VerifiedFile> v;
        ASSERT_TRUE(VerifyManifest((dir.path / m).string(), &v, &error)) << error;
        ASSERT_EQ(2u, v.size()) << m;
        EXPECT_TRUE(v[0].ok && v[1].ok) << m << v[0].problem;
    }
    std::ifstream txt(dir.path / "export.txt");
    std::string t((std::istreambuf_iterator<char>(txt)), {});
    EXPECT_NE(std::string::npos, t.find("SHA-256: " + Sha256OfFile(avi.string()))) << t;
    EXPECT_NE(std::string::npos, t.find("Span, DVR local time: 2023-11-14 23:13:20 to 2023-11-14 23:13:26")) << t;
    {
        std::fstream change(avi, std::ios::in | std::ios::out | std::ios::binary);
        change.seekp(5000);
        char c;
        change.read(&c, 1);
        change.seekp(5000);
        c ^= 1;
        change.write(&c, 1);
    }
    std::vector<VerifiedFile> v;
    ASSERT_TRUE(VerifyManifest((dir.path / "export.json").string(), &v, &error));
    EXPECT_FALSE(v[0].ok);
    EXPECT_EQ(0u, v[0].problem.find("differs"));
    EXPECT_TRUE(v[1].ok);
}

TEST(Export, SplitsAtTheSizeLimitIntoFilesThatEachPlay)
{
    Recording rec(4);
    TempDir dir;
    ExportOptions o = Options(dir.path / "cam03.avi", 4);
    o.maxFileBytes = 150000;
    ExportResult r = ExportCamera(rec.video, &rec.audio, o);
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_GE(r.files.size(), 2u);
    uint64_t pictures = 0;
    for (const auto& f : r.files) {
        EXPECT_LE(fs::file_size(f.path), o.maxFileBytes);
        EXPECT_EQ("", Shell("ffmpeg -nostdin -v error -i '" + f.path + "' -f null -")) << f.path;
        pictures += f.pictures + f.leftOut;
    }
    EXPECT_EQ(uint64_t(rec.picturesStored), pictures);
    EXPECT_TRUE(fs::exists(dir.path / "cam03-2.avi"));
    EXPECT_TRUE(fs::exists(dir.path / "cam03-2.srt"));
}

// Cancel at once, cancel half way, a full disk, a folder that vanished: never a file that looks
// complete, and no temporary one left behind.
TEST(Export, CancelFullDiskAndAVanishedFolderLeaveNothing)
{
    Recording rec(4);
    for (int cancelAfter : {0, 8}) {
        TempDir dir;
        ExportOptions o = Options(dir.path / "cam03.avi", 4);
        o.maxFileBytes = 150000; // a finished first part must go too
        int calls = 0;
        o.progress = [&](const ExportProgress&) { return calls++ < cancelAfter; };
        rec.video.next = rec.audio.next = 0;
        ExportResult r = ExportCamera(rec.video, &rec.audio, o);
        EXPECT_TRUE(r.cancelled);
        EXPECT_EQ(std::vector<std::string>{}, dir.Names()) << cancelAfter;
    }
    {
        TempDir dir;
        rlimit old;
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = 100000;
        auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &small);
        rec.video.next = rec.audio.next = 0;
        ExportResult r = ExportCamera(rec.video, &rec.audio, Options(dir.path / "cam03.avi", 4));
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        EXPECT_FALSE(r.ok);
        EXPECT_NE(std::string::npos, r.error.find("the disk is full")) << r.error;
        EXPECT_EQ(std::vector<std::string>{}, dir.Names());
    }
    {
        TempDir dir;
        fs::create_directory(dir.path / "usb");
        ExportOptions o = Options(dir.path / "usb" / "cam03.avi", 4);
        o.progress = [&](const ExportProgress& p) {
            if (p.fraction > 0.5)
                fs::remove_all(dir.path / "usb");
            return true;
        };
        rec.video.next = rec.audio.next = 0;
        ExportResult r = ExportCamera(rec.video, &rec.audio, o);
        EXPECT_FALSE(r.ok);
        EXPECT_NE(std::string::npos, r.error.find("the folder is gone")) << r.error;
        EXPECT_EQ(std::vector<std::string>{}, dir.Names());
    }
}

// dvrtool export from a real store written by the store's writer, then dvrtool verify.
TEST(Export, DvrtoolExportsFromTheStoreAndVerifies)
{
    Recording rec(5);
    TempDir dir;
    std::string error;
    {
        auto w = store::StoreWriter::Open((dir.path / "store").string(), "10.0.0.5", 50000, {}, &error);
        ASSERT_TRUE(w) << error;
        size_t a = 0;
        for (const auto& v : rec.video.blocks) {
            wire::VideoFrameHeader h;
            wire::ParseVideoFrameHeader(v.data(), v.size(), h);
            const uint64_t us = uint64_t(h.seconds) * 1000000 + h.microseconds;
            for (; a < rec.audio.blocks.size(); ++a) {
                const auto& b = rec.audio.blocks[a];
                const uint64_t t = uint64_t(wire::LoadLE32(b.data() + 12)) * 1000000 + wire::LoadLE32(b.data() + 16);
                if (t > us)
                    break;
                ASSERT_TRUE(w->Append(b.data(), b.size(), int64_t(t / 1000)));
            }
            ASSERT_TRUE(w->Append(v.data(), v.size(), int64_t(us / 1000)));
        }
        ASSERT_TRUE(w->Close());
    }
    // Camera 3's clock shows UTC + 1: the span is 1 s to 4 s into the recording.
    const std::string out = (dir.path / "out.avi").string();
    int st = 0;
    const std::string said = Shell(std::string(DVRTOOL_EXE) + " export --store " + (dir.path / "store").string() +
                                   " --address 10.0.0.5 --port 50000 --camera 3 --audio 1 --from '2023-11-14 23:13:21'"
                                   " --to '2023-11-14 23:13:24' " + out, &st);
    ASSERT_EQ(0, st) << said;
    // Picture 30 (a key frame, at 1.001 s) is the first in the span: 3 s of pictures from it.
    EXPECT_EQ("90\n", Probe(out, "-count_frames -select_streams v:0 -show_entries stream=nb_read_frames")) << said;
    EXPECT_NEAR(3.0, std::stod(Probe(out, "-show_entries format=duration")), 0.1);
    EXPECT_EQ("", Shell("ffmpeg -nostdin -v error -i '" + out + "' -f null -"));
    const std::string manifest = (dir.path / "out-manifest.txt").string();
    EXPECT_NE(std::string::npos, Shell(std::string(DVRTOOL_EXE) + " verify " + manifest, &st).find("all 2 files match"));
    EXPECT_EQ(0, st);
    fs::resize_file(out, fs::file_size(out) - 1);
    const std::string bad = Shell(std::string(DVRTOOL_EXE) + " verify " + manifest, &st);
    EXPECT_NE(0, st);
    EXPECT_NE(std::string::npos, bad.find("DIFFERS  out.avi")) << bad;
}

// Sound in step with the pictures, end to end: the simulator's lip-sync marker (camera 1's loop
// starts with a white picture and a click sounds at the same instant) recorded by dvrtool record
// --store, exported as the backup module exports, and found again in the file by ffmpeg: each white
// picture's time in the file against the nearest click's.
TEST(Export, TheSimulatorsSyncMarkerKeepsItsSoundWithin40MsOfItsPicture)
{
    TempDir dir;
    cmdline::Program app;
    for (auto& e : dvrsim::Extensions())
        e->AddOptions(app);
    app.Parse({"--video", "cif", "--video-seconds", "1", "--sync-marker", "1"});
    dvrsim::Options so;
    so.channels = 4;
    dvrsim::ServedSimulator sim(dvrsim::TestOptions(dir.path.string() + "/", "sim", so));
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    const std::string port = std::to_string(sim.Port());
    // About 5 s of recording: SIGINT is the recorder's clean stop.
    const std::string said = Shell("timeout -s INT 5 " + std::string(DVRTOOL_EXE) + " record --store " +
                                   (dir.path / "store").string() + " --address 127.0.0.1 --port " + port +
                                   " --user admin --password 1111 --cameras 1");
    sim.Stop();

    const std::string site = (dir.path / "store" / ("127.0.0.1_" + port)).string();
    const SiteRecordings rec = ListSiteRecordings(site);
    ASSERT_EQ(std::vector<int>{0}, rec.cameras) << said;
    store::Catalogue cat(site);
    ASSERT_FALSE(cat.Days().empty());
    const std::vector<store::Span> spans = cat.Spans(0, cat.Days().front());
    ASSERT_FALSE(spans.empty());
    ExportJobRequest r;
    r.siteFolder = site, r.site = "127.0.0.1:" + port, r.folder = (dir.path / "out").string();
    r.cameras = {0};
    r.fromUs = spans.front().startMs * 1000, r.toUs = rec.lastMs * 1000 + 1000;
    r.zone = rec.zone, r.daylight = rec.daylight;
    fs::create_directory(r.folder);
    const ExportJobResult done = RunExportJob(r, nullptr);
    ASSERT_TRUE(done.ok) << done.error;
    const std::string avi = done.files.front();

    // White pictures: the mean luma of every picture with its time in the file.
    std::vector<double> flashes;
    {
        const std::string rows = Shell("ffprobe -v error -f lavfi -i \"movie='" + avi +
                                       "',signalstats\" -show_entries frame=pts_time:frame_tags=lavfi.signalstats.YAVG"
                                       " -of csv=p=0");
        std::istringstream in(rows);
        double t, y;
        char comma;
        bool wasWhite = false;
        while (in >> t >> comma >> y) {
            if (y > 200 && !wasWhite)
                flashes.push_back(t);
            wasWhite = y > 200;
        }
        ASSERT_GE(flashes.size(), 2u) << rows.substr(0, 400);
    }
    // Clicks: a sample above 4000 after at least 100 ms below it, in the sound as ffmpeg decodes it.
    std::vector<double> clicks;
    {
        const int rate = std::stoi(Probe(avi, "-select_streams a:0 -show_entries stream=sample_rate"));
        ASSERT_GT(rate, 0);
        const std::string pcm = Shell("ffmpeg -nostdin -v error -i '" + avi + "' -map 0:a -ac 1 -f s16le - 2>/dev/null");
        size_t quiet = size_t(rate) / 10;
        for (size_t i = 0; i + 1 < pcm.size(); i += 2) {
            const int s = int16_t(uint16_t(uint8_t(pcm[i]) | uint8_t(pcm[i + 1]) << 8));
            if (std::abs(s) > 4000) {
                if (quiet >= size_t(rate) / 10)
                    clicks.push_back(double(i / 2) / rate);
                quiet = 0;
            } else {
                ++quiet;
            }
        }
    }
    int pairs = 0;
    for (double f : flashes) {
        double best = 1e9;
        for (double c : clicks)
            if (std::fabs(c - f) < std::fabs(best))
                best = c - f;
        if (std::fabs(best) > 0.5)
            continue; // a marker at the very edge of the recording, its click cut off
        ++pairs;
        EXPECT_LE(std::fabs(best), 0.040) << "white picture at " << f << " s, click " << best * 1000 << " ms off";
    }
    EXPECT_GE(pairs, 2) << flashes.size() << " white pictures, " << clicks.size() << " clicks";
}

// ---- reading an export back: the AVI reader and the player's sources ----

namespace {

std::vector<uint8_t> FileBytes(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), {});
}

void WriteBytes(const fs::path& p, const std::vector<uint8_t>& b)
{
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

size_t Find(const std::vector<uint8_t>& b, const char* cc)
{
    for (size_t i = 0; i + 4 <= b.size(); ++i)
        if (std::memcmp(&b[i], cc, 4) == 0)
            return i;
    return std::string::npos;
}

} // namespace

TEST(AviReader, ReadsTheExportersFileAndACutOrMisindexedOneUpToTheDamage)
{
    Recording rec(4);
    TempDir dir;
    ExportResult r = ExportCamera(rec.video, &rec.audio, Options(dir.path / "cam03.avi", 4));
    ASSERT_TRUE(r.ok) << r.error;
    const ExportedFile& f = r.files[0];
    AviReader good;
    std::string error;
    ASSERT_TRUE(good.Open((dir.path / "cam03.avi").string(), &error)) << error;
    EXPECT_EQ("", good.Problem());
    EXPECT_EQ(352, good.Width());
    EXPECT_EQ(240, good.Height());
    EXPECT_EQ(30000u, good.Rate());
    EXPECT_EQ(1001u, good.Scale());
    uint64_t pictures = 0, keys = 0, samples = 0;
    for (const auto& c : good.Video())
        pictures += c.size > 0, keys += c.key;
    for (const auto& c : good.Sound())
        samples += c.size / 2;
    EXPECT_EQ(f.pictures, pictures);
    EXPECT_EQ(8u, keys) << "every 15th of 120 pictures is an intra picture";
    EXPECT_TRUE(good.Video()[0].key && good.Video()[15].key && !good.Video()[1].key);
    EXPECT_EQ(f.soundSamples + f.silenceSamples, samples);
    EXPECT_EQ(int64_t(1001000), good.SlotUs(30));

    const std::vector<uint8_t> bytes = FileBytes(dir.path / "cam03.avi");
    auto sameChunks = [&](const AviReader& a, size_t count) {
        if (a.Video().size() != count)
            return false;
        for (size_t i = 0; i < count; ++i)
            if (a.Video()[i].offset != good.Video()[i].offset || a.Video()[i].size != good.Video()[i].size ||
                a.Video()[i].key != good.Video()[i].key)
                return false;
        return true;
    };
    // An index entry that points elsewhere: the chunks are found by reading the file through.
    {
        std::vector<uint8_t> b = bytes;
        const size_t idx = Find(b, "idx1");
        ASSERT_NE(std::string::npos, idx);
        b[idx + 8 + 16 * 7 + 8] ^= 0x40;
        WriteBytes(dir.path / "index.avi", b);
        AviReader a;
        ASSERT_TRUE(a.Open((dir.path / "index.avi").string(), &error)) << error;
        EXPECT_NE(std::string::npos, a.Problem().find("index is damaged")) << a.Problem();
        EXPECT_TRUE(sameChunks(a, good.Video().size()));
    }
    // Cut inside picture 60: the 59 before it, each wholly in the file.
    {
        const AviVideoChunk& cut = good.Video()[59];
        std::vector<uint8_t> b(bytes.begin(), bytes.begin() + ptrdiff_t(cut.offset + cut.size / 2));
        WriteBytes(dir.path / "cut.avi", b);
        AviReader a;
        ASSERT_TRUE(a.Open((dir.path / "cut.avi").string(), &error)) << error;
        EXPECT_NE(std::string::npos, a.Problem().find("cut short")) << a.Problem();
        EXPECT_TRUE(sameChunks(a, 59)) << a.Video().size();
        for (const auto& c : a.Sound())
            EXPECT_LE(c.offset + c.size, b.size());
    }
    // Sizes that lie: a chunk claiming nearly 4 GiB stops the reading there; a header list that
    // runs past the file is refused.
    {
        std::vector<uint8_t> b = bytes;
        b[Find(b, "idx1")] = 'X';
        const size_t at = size_t(good.Video()[20].offset) - 4;
        b[at] = b[at + 1] = b[at + 2] = b[at + 3] = 0xFF;
        WriteBytes(dir.path / "lies.avi", b);
        AviReader a;
        ASSERT_TRUE(a.Open((dir.path / "lies.avi").string(), &error)) << error;
        EXPECT_TRUE(sameChunks(a, 20)) << a.Video().size();
        b = bytes;
        b[Find(b, "hdrl") - 4] = 0xF0;
        b[Find(b, "hdrl") - 2] = 0x7F;
        WriteBytes(dir.path / "header.avi", b);
        AviReader h;
        EXPECT_FALSE(h.Open((dir.path / "header.avi").string(), &error));
    }
}

// The export as the player reads it: the manifest's cameras and DVR clock, each picture at its
// recorded time as a stream frame the viewer decodes, and the sound of the camera chosen.
TEST(ExportPlayback, PicturesAtTheirRecordedTimesAndTheChosenCamerasSound)
{
    Recording rec(4);
    TempDir dir;
    ExportOptions o = Options(dir.path / "site-cam03.avi", 4);
    ExportResult r = ExportCamera(rec.video, &rec.audio, o);
    ASSERT_TRUE(r.ok) << r.error;
    std::string error;
    ASSERT_TRUE(WriteManifest((dir.path / "site-manifest").string(),
                              {"10.0.0.5:50000", o.fromUs, o.toUs, 34, 1, {{3, 3, r.files}}}, &error));
    // Opened from one of its files, the manifest beside it is found.
    auto set = player::ExportSet::Open((dir.path / "site-cam03.avi").string(), &error);
    ASSERT_TRUE(set) << error;
    EXPECT_EQ(std::vector<int>{2}, set->Cameras());
    EXPECT_EQ(LocalTimeText(o.fromUs, 34, 1), LocalTimeText(o.fromUs, set->Zone(), set->Daylight()));
    EXPECT_EQ(int64_t(kStart / 1000), set->FirstMs());
    ASSERT_EQ(1u, set->Spans(2).size());

    // From 1.5 s: the key frame before (picture 30), then the pictures after it in order.
    auto cam = set->OpenCamera(2);
    ASSERT_TRUE(cam->Seek(int64_t(kStart / 1000) + 1500));
    for (int i = 30; i < 50; ++i) {
        store::Record rec3;
        ASSERT_TRUE(cam->Next(&rec3));
        wire::VideoFrameHeader h;
        ASSERT_TRUE(wire::ParseVideoFrameHeader(rec3.block.data(), rec3.block.size(), h));
        EXPECT_EQ(h.total, rec3.block.size());
        EXPECT_EQ(18u, h.ChannelBits());
        EXPECT_EQ(i % 15 != 0, h.Predicted()) << i;
        EXPECT_EQ(int64_t((kStart + uint64_t(i) * 1001000 / 30) / 1000), rec3.dvrMs) << i;
        EXPECT_EQ(22, h.widthDiv16);
        // The stored picture itself, without the VOL the export put before a key frame.
        const auto& stored = rec.video.blocks[size_t(i)];
        EXPECT_TRUE(std::equal(stored.begin() + 64, stored.end(), rec3.block.begin() + 64, rec3.block.end())) << i;
    }

    // Sound: camera 3's as audio channel 3; camera 1 has none in this export.
    std::vector<std::unique_ptr<store::RecordSource>> sources;
    for (int c : {2, 0, 1, 3})
        sources.push_back(set->OpenCamera(c));
    auto p = player::Playback::Open({2, 0, 1, 3}, std::move(sources),
                                    [&](int channel) { return set->OpenSound(channel); }, &error);
    ASSERT_TRUE(p) << error;
    auto soundOver = [&](int channel) {
        EXPECT_TRUE(p->SetAudioChannel(channel));
        p->Seek(int64_t(kStart / 1000) + 500);
        p->Play();
        size_t blocks = 0;
        for (int64_t now = 0; now <= 1000; now += 20)
            for (const auto& a : p->Tick(now).audio)
                blocks += a.kind == player::kPcmBlock && a.block.size() == 256;
        p->Pause();
        return blocks;
    };
    EXPECT_NEAR(1000.0 / 16, double(soundOver(2)), 3.0);
    EXPECT_EQ(0u, soundOver(0));
}
