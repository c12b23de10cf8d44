// The live-video pipeline at real-time pace: a producer thread hands pre-encoded simulator loops,
// each frame with a fresh header stamped with the wall clock at the moment it is stored, to the
// frame queue with the view's audio records in between; the seventeen decode threads hold, decode,
// time-stamp and show them through the real CFramePipeline into a display stand-in that copies each
// picture into its channel's 720 x 576 x 3 buffer under one lock, as the display manager does.
//
// For each load, side by side in one run and repeated: frames sent and pictures shown per second,
// frames dropped at steady state (refused by a full ring, or dropped by the pipeline), CPU time of
// the process per picture shown, and the latency from store to display (median, 99th percentile);
// then the same streams through the decoder alone, as fast as it goes, on one thread and on one
// thread per channel. Medians of the repetitions close the run.
#include "FramePipeline.h"
#include "LatencyHistogram.h"
#include "ToolAudio.h"
#include "VideoChannelStream.h"
#include "VideoLoop.h"
#include "XvidApi.h"
#include "wire/StreamFrame.h"
#include <sys/resource.h>
#include <time.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kScenes = 4; // distinct scenes per format, shared round the channels

struct Load {
    std::string name; // as given, e.g. 16xd1
    int channels = 0;
    std::string format;
};

bool FormatOf(const std::string& name, dvrsim::VideoFormat& f)
{
    static const std::pair<const char*, dvrsim::VideoFormat> named[] = {
        {"cif", {352, 240, 30}},      {"cif-pal", {352, 288, 25}},  {"half", {704, 240, 30}},
        {"half-pal", {704, 288, 25}}, {"d1", {720, 480, 30, true}}, {"d1-pal", {720, 576, 25, true}},
    };
    for (auto& [n, fmt] : named)
        if (name == n) {
            f = fmt;
            return true;
        }
    return false;
}

bool ParseLoad(const std::string& text, Load& l)
{
    const size_t x = text.find('x');
    if (x == std::string::npos || x == 0)
        return false;
    l.name = text;
    l.channels = std::atoi(text.substr(0, x).c_str());
    l.format = text.substr(x + 1);
    dvrsim::VideoFormat f;
    return l.channels >= 1 && l.channels <= 16 && FormatOf(l.format, f);
}

int64_t UnixMicros()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

double ProcessCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

double ThreadCpuSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

double Median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// What the display manager does with a picture, less GDI: one lock for every channel, and a copy
// into the channel's picture buffer.
class CopyingDisplay final : public pipeline::IPictureDisplay {
public:
    static constexpr size_t kBufferBytes = 720 * 576 * 3;
    CopyingDisplay()
    {
        for (auto& b : buffers_)
            b.reset(new uint8_t[kBufferBytes]());
    }
    void ShowPicture(int channel, int width, int height, const uint8_t* bgr, const video::PictureTime& time) override
    {
        const size_t n = static_cast<size_t>(width) * height * 3;
        if (channel < 0 || channel >= 16 || n > kBufferBytes)
            return;
        std::lock_guard<std::mutex> l(lock_);
        std::memcpy(buffers_[channel].get(), bgr, n);
        times_[channel] = time;
    }
    void BlankChannels(int channels) override
    {
        std::lock_guard<std::mutex> l(lock_);
        for (int c = 0; c < channels && c < 16; ++c)
            std::memset(buffers_[c].get(), 0, 3);
    }

private:
    std::mutex lock_;
    std::unique_ptr<uint8_t[]> buffers_[16];
    video::PictureTime times_[16];
};

// The audio clock as heard: the wall clock, so pictures (stamped when stored) are never held, but
// every one goes through the hold check while audio flows.
class WallClockAudio final : public pipeline::IAudioTiming {
public:
    int64_t AudioNowMs() override { return UnixMicros() / 1000; }
    bool PlayRecord(const uint8_t*, size_t size) override
    {
        ++played;
        return size >= wire::kAudioHeaderSize;
    }
    std::atomic<uint64_t> played{0};
};

struct Counters {
    std::atomic<uint64_t> sent{0}; // video frames offered to the queue
    std::atomic<uint64_t> refused{0}; // video frames the queue did not take
    std::atomic<uint64_t> audio{0}; // audio records offered
};

struct Snapshot {
    Clock::time_point at;
    uint64_t sent = 0, refused = 0, shown = 0, pipelineDropped = 0;
    double cpu = 0;
};

struct PipelineFigures {
    double sentPerS = 0, shownPerS = 0, refused = 0, pipelineDropped = 0, cpuMsPerPicture = 0, cores = 0;
    double latencyMedianMs = 0, latencyP99Ms = 0;
};

struct BareFigures {
    double oneThreadFps = 0, oneThreadCpuFps = 0, allThreadsFps = 0;
    int threads = 0;
};

class Bench {
public:
    Bench(double seconds, double warmup, bool audio) : seconds_(seconds), warmup_(warmup), audio_(audio) {}

    bool Prepare(const std::vector<Load>& loads)
    {
        for (const Load& l : loads) {
            if (loops_.count(l.format))
                continue;
            auto& set = loops_[l.format];
            set.resize(kScenes);
            for (int s = 0; s < kScenes; ++s) {
                dvrsim::VideoFormat f;
                FormatOf(l.format, f);
                f.seconds = 2;
                std::string err;
                if (!dvrsim::EncodeVideoLoop(video::LinkedXvidApi(), s, f, set[s], &err)) {
                    std::printf("encoding %s failed: %s\n", l.format.c_str(), err.c_str());
                    return false;
                }
            }
            size_t bytes = 0;
            for (auto& lp : set)
                for (auto& fr : lp.frames)
                    bytes += fr.vop.size();
            std::printf("%s: %dx%d%s, %zu frames per loop, mean VOP %zu bytes\n", l.format.c_str(), set[0].format.width,
                        set[0].format.height, set[0].codedInterlaced ? " interlaced" : "", set[0].frames.size(),
                        bytes / (kScenes * set[0].frames.size()));
        }
        return true;
    }

    PipelineFigures RunPipeline(const Load& l)
    {
        auto& set = loops_[l.format];
        video::CMp4DecoderManager decoder(video::LinkedXvidApi());
        int w[16], h[16];
        for (int i = 0; i < 16; ++i) { // as the view: every channel made for D1 until its first frame
            w[i] = 720;
            h[i] = 480;
        }
        decoder.Initialize(l.channels, 0, w, h, nullptr);
        CopyingDisplay display;
        WallClockAudio audio;
        pipeline::CFramePipeline pipe(decoder, display, audio_ ? &audio : nullptr, nullptr);
        pipe.SetChannelCount(l.channels);
        pipe.SetAudioSync(true, false);
        pipeline::CLatencyHistogram latency;
        pipe.SetLatencyStats(&latency);
        pipeline::CFrameQueue queue(pipe);
        queue.SetConnected(true);
        if (!queue.Start(l.channels)) {
            std::printf("decode threads did not start\n");
            return {};
        }
        for (int i = 0; i < 2500 && !queue.RingsReady(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));

        Counters counters;
        std::atomic<bool> stop{false};
        std::thread producer([&] { Produce(l, set, queue, counters, stop); });

        auto snap = [&] {
            Snapshot s;
            s.at = Clock::now();
            s.sent = counters.sent.load();
            s.refused = counters.refused.load();
            s.shown = pipe.PicturesShown();
            s.pipelineDropped = pipe.FramesDropped();
            s.cpu = ProcessCpuSeconds();
            return s;
        };
        std::this_thread::sleep_for(std::chrono::duration<double>(warmup_));
        const Snapshot a = snap();
        latency.Take(); // the warm-up's pictures do not count
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds_));
        const Snapshot b = snap();
        const pipeline::CLatencyHistogram::Window lw = latency.Take();
        stop = true;
        producer.join();
        queue.SetConnected(false);
        queue.Stop();

        PipelineFigures f;
        const double dt = std::chrono::duration<double>(b.at - a.at).count();
        const double shown = double(b.shown - a.shown);
        f.sentPerS = (b.sent - a.sent) / dt;
        f.shownPerS = shown / dt;
        f.refused = double(b.refused - a.refused);
        f.pipelineDropped = double(b.pipelineDropped - a.pipelineDropped);
        f.cpuMsPerPicture = shown > 0 ? (b.cpu - a.cpu) * 1000 / shown : 0;
        f.cores = (b.cpu - a.cpu) / dt;
        f.latencyMedianMs = lw.medianMs;
        f.latencyP99Ms = lw.p99Ms;
        return f;
    }

    BareFigures RunBare(const Load& l)
    {
        auto& set = loops_[l.format];
        // Whole frames per channel, made once; only the sequence number changes between passes.
        std::vector<std::vector<std::vector<uint8_t>>> frames(static_cast<size_t>(l.channels));
        for (int c = 0; c < l.channels; ++c) {
            dvrsim::VideoChannelStream s(c, &set[c % kScenes]);
            const size_t n = set[c % kScenes].frames.size();
            for (size_t i = 0; i < n; ++i) {
                std::vector<uint8_t> fr;
                s.Next(static_cast<uint64_t>(UnixMicros()), fr);
                fr[3] = static_cast<uint8_t>((fr[3] & ~0x1F) | c); // the decoder reads the bare channel
                frames[c].push_back(std::move(fr));
            }
        }
        const int rounds = std::max(60, 960 / l.channels); // frames per channel
        BareFigures f;
        {
            video::CMp4DecoderManager m(video::LinkedXvidApi());
            Init(m, l.channels);
            std::vector<uint32_t> seq(static_cast<size_t>(l.channels), 0);
            const auto t0 = Clock::now();
            const double c0 = ThreadCpuSeconds();
            for (int r = 0; r < rounds; ++r)
                for (int c = 0; c < l.channels; ++c)
                    DecodeOne(m, frames[c], r, c, seq[c]);
            const double cpu = ThreadCpuSeconds() - c0;
            const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
            f.oneThreadFps = double(rounds) * l.channels / wall;
            f.oneThreadCpuFps = double(rounds) * l.channels / cpu;
        }
        {
            video::CMp4DecoderManager m(video::LinkedXvidApi());
            Init(m, l.channels);
            std::vector<std::thread> threads;
            std::atomic<int> ready{0};
            std::atomic<bool> go{false};
            for (int c = 0; c < l.channels; ++c)
                threads.emplace_back([&, c] {
                    uint32_t seq = 0;
                    ++ready;
                    while (!go.load())
                        std::this_thread::yield();
                    for (int r = 0; r < rounds; ++r)
                        DecodeOne(m, frames[c], r, c, seq);
                });
            while (ready.load() < l.channels)
                std::this_thread::yield();
            const auto t0 = Clock::now();
            go = true;
            for (auto& t : threads)
                t.join();
            const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
            f.allThreadsFps = double(rounds) * l.channels / wall;
            f.threads = l.channels;
        }
        if (bareFailures_)
            std::printf("  (%ld decode calls gave no picture)\n", bareFailures_.exchange(0));
        return f;
    }

private:
    static void Init(video::CMp4DecoderManager& m, int channels)
    {
        int w[16], h[16];
        for (int i = 0; i < 16; ++i) {
            w[i] = 720;
            h[i] = 480;
        }
        m.Initialize(channels, 0, w, h, nullptr);
    }

    void DecodeOne(video::CMp4DecoderManager& m, std::vector<std::vector<uint8_t>>& frames, int round, int c,
                   uint32_t& seq)
    {
        auto& fr = frames[static_cast<size_t>(round) % frames.size()];
        wire::StoreLE32(fr.data() + 44, ++seq);
        wire::VideoFrameHeader h;
        video::DecodedPicture pic{};
        if (!wire::ParseVideoFrameHeader(fr.data(), fr.size(), h) ||
            m.DecodeFrame(h, fr.data(), fr.size(), &pic, c) == 0)
            ++bareFailures_;
    }

    // Real-time pace: each channel's frames fall due at its frame rate, the audio records every
    // 16 ms; whatever is due is stored at once, then the producer sleeps until the next due time.
    void Produce(const Load& l, const std::vector<dvrsim::VideoLoop>& set, pipeline::CFrameQueue& queue,
                 Counters& counters, const std::atomic<bool>& stop)
    {
        std::vector<std::unique_ptr<dvrsim::VideoChannelStream>> streams;
        for (int c = 0; c < l.channels; ++c)
            streams.push_back(std::make_unique<dvrsim::VideoChannelStream>(c, &set[c % kScenes]));
        toolaudio::AudioRecordSource audio;
        std::vector<uint8_t> frame, record;
        const auto start = Clock::now();
        // Channels start staggered over one frame time, as independent cameras do.
        std::vector<Clock::time_point> due;
        for (int c = 0; c < l.channels; ++c)
            due.push_back(start + std::chrono::microseconds(streams[c]->FrameMicros() * c / l.channels));
        Clock::time_point audioDue = start;
        while (!stop.load()) {
            const auto now = Clock::now();
            Clock::time_point next = now + std::chrono::milliseconds(100);
            for (int c = 0; c < l.channels; ++c) {
                const auto step = std::chrono::microseconds(streams[c]->FrameMicros());
                if (now > due[c] + std::chrono::seconds(1))
                    due[c] = now; // after a stall, no burst
                while (due[c] <= now) {
                    streams[c]->Next(static_cast<uint64_t>(UnixMicros()), frame);
                    ++counters.sent;
                    if (queue.Store(frame.data(), frame.size()) != pipeline::StoreResult::Stored)
                        ++counters.refused;
                    due[c] += step;
                }
                next = std::min(next, due[c]);
            }
            if (audio_) {
                while (audioDue <= now) {
                    const int64_t t = UnixMicros();
                    audio.Next(false, static_cast<uint32_t>(t / 1000000), static_cast<uint32_t>(t % 1000000), record);
                    ++counters.audio;
                    queue.Store(record.data(), record.size());
                    audioDue += std::chrono::milliseconds(16);
                }
                next = std::min(next, audioDue);
            }
            std::this_thread::sleep_until(next);
        }
    }

    double seconds_, warmup_;
    bool audio_;
    std::map<std::string, std::vector<dvrsim::VideoLoop>> loops_ = {};
    std::atomic<long> bareFailures_{0};
};

void Usage()
{
    std::printf("pipeline_bench [--seconds S] [--warmup S] [--reps N] [--loads 16xd1,4xd1,16xcif,1xd1] [--no-audio]\n"
                "  S seconds measured per load and repetition after S of warm-up (default 10 and 2), N repetitions\n"
                "  (default 3); a load is CHANNELSxFORMAT, FORMAT one of cif, cif-pal, half, half-pal, d1, d1-pal.\n");
}

} // namespace

int main(int argc, char** argv)
{
    double seconds = 10, warmup = 2;
    int reps = 3;
    bool audio = true;
    std::string loadText = "16xd1,4xd1,16xcif,1xd1";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        const char* v = nullptr;
        if (a == "--seconds" && (v = value()))
            seconds = std::atof(v);
        else if (a == "--warmup" && (v = value()))
            warmup = std::atof(v);
        else if (a == "--reps" && (v = value()))
            reps = std::atoi(v);
        else if (a == "--loads" && (v = value()))
            loadText = v;
        else if (a == "--no-audio")
            audio = false;
        else {
            Usage();
            return a == "--help" || a == "-h" ? 0 : 2;
        }
    }
    std::vector<Load> loads;
    for (size_t p = 0; p <= loadText.size();) {
        size_t q = loadText.find(',', p);
        if (q == std::string::npos)
            q = loadText.size();
        Load l;
        if (!ParseLoad(loadText.substr(p, q - p), l)) {
            std::printf("not a load: %s\n", loadText.substr(p, q - p).c_str());
            Usage();
            return 2;
        }
        loads.push_back(l);
        p = q + 1;
    }
    if (seconds <= 0 || warmup < 0 || reps < 1) {
        Usage();
        return 2;
    }

    std::printf("pipeline_bench: %g s measured after %g s warm-up, %d repetitions, %u cores, audio records %s\n",
                seconds, warmup, reps, std::thread::hardware_concurrency(), audio ? "every 16 ms" : "off");
    Bench bench(seconds, warmup, audio);
    if (!bench.Prepare(loads))
        return 1;

    std::vector<std::vector<PipelineFigures>> pf(loads.size());
    std::vector<std::vector<BareFigures>> bf(loads.size());
    for (int r = 0; r < reps; ++r)
        for (size_t i = 0; i < loads.size(); ++i) {
            const PipelineFigures p = bench.RunPipeline(loads[i]);
            const BareFigures b = bench.RunBare(loads[i]);
            pf[i].push_back(p);
            bf[i].push_back(b);
            std::printf(
                "rep %d %-7s sent %6.1f/s shown %6.1f/s refused %5.0f dropped %3.0f cpu %.3f ms/pic (%.2f cores) "
                "latency %.2f/%.2f ms | bare 1 thread %.0f fps (%.0f per cpu-s), %d threads %.0f fps\n",
                r, loads[i].name.c_str(), p.sentPerS, p.shownPerS, p.refused, p.pipelineDropped, p.cpuMsPerPicture,
                p.cores, p.latencyMedianMs, p.latencyP99Ms, b.oneThreadFps, b.oneThreadCpuFps, b.threads,
                b.allThreadsFps);
            std::fflush(stdout);
        }

    std::printf("\nmedians of %d repetitions (%g s each):\n", reps, seconds);
    std::printf("%-8s %8s %8s %8s %8s %9s %6s %8s %8s %9s %9s %9s %7s %7s\n", "load", "sent/s", "shown/s", "refused",
                "dropped", "cpu ms/p", "cores", "lat p50", "lat p99", "bare1 fps", "bare1/cpu", "bareN fps", "shown/",
                "cpu/");
    std::printf("%-8s %8s %8s %8s %8s %9s %6s %8s %8s %9s %9s %9s %7s %7s\n", "", "", "", "", "", "", "", "ms", "ms",
                "", "fps", "", "bareN", "bare1");
    for (size_t i = 0; i < loads.size(); ++i) {
        auto med = [&](auto field) {
            std::vector<double> v;
            for (auto& p : pf[i])
                v.push_back(field(p));
            return Median(v);
        };
        auto bmed = [&](auto field) {
            std::vector<double> v;
            for (auto& b : bf[i])
                v.push_back(field(b));
            return Median(v);
        };
        const double shown = med([](const PipelineFigures& p) { return p.shownPerS; });
        const double cpuPer = med([](const PipelineFigures& p) { return p.cpuMsPerPicture; });
        const double bare1 = bmed([](const BareFigures& b) { return b.oneThreadFps; });
        const double bare1cpu = bmed([](const BareFigures& b) { return b.oneThreadCpuFps; });
        const double bareN = bmed([](const BareFigures& b) { return b.allThreadsFps; });
        std::printf("%-8s %8.1f %8.1f %8.0f %8.0f %9.3f %6.2f %8.2f %8.2f %9.0f %9.0f %9.0f %7.3f %7.2f\n",
                    loads[i].name.c_str(), med([](const PipelineFigures& p) { return p.sentPerS; }), shown,
                    med([](const PipelineFigures& p) { return p.refused; }),
                    med([](const PipelineFigures& p) { return p.pipelineDropped; }), cpuPer,
                    med([](const PipelineFigures& p) { return p.cores; }),
                    med([](const PipelineFigures& p) { return p.latencyMedianMs; }),
                    med([](const PipelineFigures& p) { return p.latencyP99Ms; }), bare1, bare1cpu, bareN,
                    bareN > 0 ? shown / bareN : 0, bare1cpu > 0 ? cpuPer / (1000.0 / bare1cpu) : 0);
    }
    std::printf("refused/dropped: frames in the measured window (not per second). shown/bareN: pictures shown per\n"
                "second over the decoder's own rate with one thread per channel. cpu/bare1: process CPU per picture\n"
                "over the decoder's CPU per frame on one thread.\n");
    return 0;
}
