// 16 channels of D1 (720 x 480, interlaced, 30 fps) decoded round-robin through
// CMp4DecoderManager::DecodeFrame, side by side with bare xvid_decore calls on the same VOPs into
// the same kind of BGR buffers, alternating round by round; prints each side's median frames per
// second and the ratio. Runs natively and, built for Windows, under Wine through xvidcore.dll.
#include "Mp4DecoderManager.h"
#include "VideoLoop.h"
#include "wire/StreamFrame.h"
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>
#if defined(_WIN32)
#include "XvidLibrary.h"
#include <windows.h>
#else
#include <time.h>
#endif

namespace {

constexpr int kChannels = 16;
constexpr int kLoops = 4; // distinct scenes, shared round the channels

struct Channelframes {
    std::vector<std::vector<uint8_t>> frames; // header + VOP
};

double ThreadSeconds()
{
#if defined(_WIN32)
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    auto v = [](const FILETIME& f) { return (uint64_t(f.dwHighDateTime) << 32 | f.dwLowDateTime) * 1e-7; };
    return v(kernel) + v(user);
#else
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + ts.tv_nsec * 1e-9;
#endif
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

class BareDecoders {
public:
    BareDecoders(const video::XvidApi& x, int w, int h) : x_(x)
    {
        for (int c = 0; c < kChannels; ++c) {
            xvid_dec_create_t cr{};
            cr.version = XVID_VERSION;
            cr.width = w;
            cr.height = h;
            x.decore(nullptr, XVID_DEC_CREATE, &cr, nullptr);
            handle_[c] = cr.handle;
            out_[c].resize(size_t(w) * h * 3);
            uint8_t vol[video::kVolSize];
            video::BuildVolHeader(w, h, true, vol);
            Decode(c, vol, int(video::kVolSize));
        }
        width_ = w;
    }
    ~BareDecoders()
    {
        for (void* h : handle_)
            if (h)
                x_.decore(h, XVID_DEC_DESTROY, nullptr, nullptr);
    }
    int Decode(int c, const uint8_t* p, int n)
    {
        xvid_dec_frame_t f{};
        f.version = XVID_VERSION;
        f.general = static_cast<int>(0x80000001u);
        f.bitstream = const_cast<uint8_t*>(p);
        f.length = n;
        f.output.csp = XVID_CSP_BGR;
        f.output.plane[0] = out_[c].data();
        f.output.stride[0] = width_ * 3;
        xvid_dec_stats_t st{};
        st.version = XVID_VERSION;
        return x_.decore(handle_[c], XVID_DEC_DECODE, &f, &st);
    }

private:
    const video::XvidApi& x_;
    void* handle_[kChannels] = {};
    std::vector<uint8_t> out_[kChannels];
    int width_ = 0;
};

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60; // frames per channel per repetition
    const int reps = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
#if defined(_WIN32)
    video::XvidLibrary lib;
    if (lib.Load() != video::XvidStatus::Ready) {
        std::printf("%s\n", video::XvidStatusText(lib.Api().status));
        return 1;
    }
    const video::XvidApi& x = lib.Api();
#else
    const video::XvidApi& x = video::LinkedXvidApi();
#endif
    dvrsim::VideoLoop loops[kLoops];
    for (int i = 0; i < kLoops; ++i) {
        dvrsim::VideoFormat f;
        f.width = 720;
        f.height = 480;
        f.fps = 30;
        f.seconds = 1;
        std::string err;
        if (!dvrsim::EncodeVideoLoop(x, i, f, loops[i], &err)) {
            std::printf("encoding failed: %s\n", err.c_str());
            return 1;
        }
    }
    size_t bytes = 0;
    for (auto& l : loops)
        for (auto& f : l.frames)
            bytes += f.vop.size();
    std::printf("D1 720x480 interlaced, %d channels, %zu frames per loop, mean VOP %zu bytes\n", kChannels,
                loops[0].frames.size(), bytes / (kLoops * loops[0].frames.size()));

    // Whole frames for the manager; the sequence number is written fresh before each call.
    std::vector<std::vector<uint8_t>> frames[kLoops];
    for (int i = 0; i < kLoops; ++i)
        for (auto& ef : loops[i].frames) {
            wire::VideoFrameHeader h;
            h.word0 = wire::MakeVideoWord0(0, !ef.intra);
            h.widthDiv16 = 45;
            h.heightDiv16 = 30;
            h.flags = 0x80;
            h.total = uint32_t(64 + ef.vop.size());
            std::vector<uint8_t> fr(h.total);
            wire::BuildVideoFrameHeader(h, fr.data());
            std::copy(ef.vop.begin(), ef.vop.end(), fr.begin() + 64);
            frames[i].push_back(std::move(fr));
        }
    const size_t loopLen = frames[0].size();

    video::CMp4DecoderManager m(x);
    const int widths[kChannels] = {720, 720, 720, 720, 720, 720, 720, 720, 720, 720, 720, 720, 720, 720, 720, 720};
    const int heights[kChannels] = {480, 480, 480, 480, 480, 480, 480, 480, 480, 480, 480, 480, 480, 480, 480, 480};
    m.Initialize(kChannels, 0, widths, heights, nullptr);
    BareDecoders bare(x, 720, 480);

    // Rounds alternate between the two sides, so both meet the same load on a shared machine; each
    // side's time is the thread's CPU time, which other processes do not inflate.
    uint32_t sequence = 0;
    size_t pos = 0;
    long failures = 0;
    std::vector<double> managerFps, bareFps, ratios;
    for (int rep = 0; rep < reps; ++rep) {
        double tm = 0, tb = 0;
        for (int r = 0; r < rounds; ++r, ++pos) {
            ++sequence;
            double t0 = ThreadSeconds();
            for (int c = 0; c < kChannels; ++c) {
                auto& fr = frames[c % kLoops][pos % loopLen];
                wire::StoreLE32(fr.data() + 44, sequence);
                wire::VideoFrameHeader h;
                video::DecodedPicture pic{};
                if (!wire::ParseVideoFrameHeader(fr.data(), fr.size(), h) ||
                    m.DecodeFrame(h, fr.data(), fr.size(), &pic, c) == 0)
                    ++failures;
            }
            double t1 = ThreadSeconds();
            for (int c = 0; c < kChannels; ++c) {
                const auto& ef = loops[c % kLoops].frames[pos % loopLen];
                if (bare.Decode(c, ef.vop.data(), int(ef.vop.size())) <= 0)
                    ++failures;
            }
            double t2 = ThreadSeconds();
            tm += t1 - t0;
            tb += t2 - t1;
        }
        managerFps.push_back(double(rounds) * kChannels / tm);
        bareFps.push_back(double(rounds) * kChannels / tb);
        ratios.push_back(managerFps.back() / bareFps.back());
        std::printf("rep %d: manager %.1f fps, bare xvid_decore %.1f fps, ratio %.3f\n", rep, managerFps.back(),
                    bareFps.back(), ratios.back());
    }
    std::printf("median of %d repetitions, %d frames x %d channels each (thread CPU time): manager %.1f fps, "
                "bare %.1f fps, ratio of medians %.3f, median ratio %.3f\n",
                reps, rounds, kChannels, Median(managerFps), Median(bareFps), Median(managerFps) / Median(bareFps),
                Median(ratios));
    if (failures)
        std::printf("%ld calls gave no picture\n", failures);
    return failures ? 2 : 0;
}
