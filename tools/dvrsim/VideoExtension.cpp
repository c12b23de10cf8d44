// Real MPEG-4 video on every requested channel (command 51): each channel's scene is encoded once
// at start into a loop of a few seconds, then sent round and round at its frame rate with fresh
// headers. Faults on demand: lost frames, repeated frames, size changes.
#include "Extension.h"
#include "VideoChannelStream.h"
#include "VideoLoop.h"
#include <chrono>
#include <cstdio>
#include <regex>
#include <thread>

namespace dvrsim {

namespace {

constexpr uint16_t kStreamCommand = 83;

uint64_t UnixMicros()
{
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count());
}

// "WxH[@fps][i]", or one of cif, cif-pal, half, half-pal, d1, d1-pal.
bool ParseFormat(const std::string& text, VideoFormat& f)
{
    static const std::pair<const char*, VideoFormat> named[] = {
        {"cif", {352, 240, 30}},      {"cif-pal", {352, 288, 25}}, {"half", {704, 240, 30}},
        {"half-pal", {704, 288, 25}}, {"d1", {720, 480, 30, true}}, {"d1-pal", {720, 576, 25, true}},
    };
    for (auto& [name, fmt] : named)
        if (text == name) {
            const int seconds = f.seconds;
            f = fmt;
            f.seconds = seconds;
            return true;
        }
    std::smatch m;
    static const std::regex re(R"((\d+)x(\d+)(?:@(25|30))?(i?))");
    if (!std::regex_match(text, m, re))
        return false;
    f.width = std::stoi(m[1]);
    f.height = std::stoi(m[2]);
    f.fps = m[3].matched ? std::stoi(m[3]) : (f.height % 288 == 0 ? 25 : 30);
    f.interlaced = m[4].length() > 0;
    return f.width > 0 && f.height > 0 && f.width % 16 == 0 && f.height % 16 == 0 && f.width <= 720 &&
           f.height <= 576;
}

struct ChannelLoops {
    VideoLoop primary;
    VideoLoop alternate; // for size changes; empty when not asked for
};

class VideoProducer final : public Producer {
public:
    VideoProducer(const std::vector<ChannelLoops>& loops, const VideoFaults& faults, uint32_t faultMask,
                  uint8_t zone, uint8_t daylight)
    {
        for (size_t c = 0; c < loops.size(); ++c) {
            const bool faulty = faultMask & (1u << c);
            const VideoLoop* alt = faulty && !loops[c].alternate.frames.empty() ? &loops[c].alternate : nullptr;
            streams_.emplace_back(static_cast<int>(c), &loops[c].primary, alt, faulty ? faults : VideoFaults{}, zone,
                                  daylight);
        }
        due_.assign(loops.size(), 0);
    }
    int PeriodMs() const override { return 5; }
    void Tick(Session& s) override
    {
        const uint32_t mask = s.State().requestedMask;
        const uint64_t now = UnixMicros();
        for (size_t c = 0; c < streams_.size(); ++c) {
            if (!(mask & (1u << c))) {
                due_[c] = 0;
                continue;
            }
            if (due_[c] == 0 || now > due_[c] + 1000000) // first frame now; after a stall, no burst
                due_[c] = now;
            while (due_[c] <= now && !s.Closing()) {
                if (!streams_[c].Next(due_[c], frame_))
                    break;
                if (!s.SendStreamBlock(kStreamCommand, frame_.data(), frame_.size()))
                    return;
                due_[c] += streams_[c].FrameMicros();
            }
        }
    }

private:
    std::vector<VideoChannelStream> streams_;
    std::vector<uint64_t> due_;
    std::vector<uint8_t> frame_;
};

class VideoExtension final : public Extension {
public:
    void AddOptions(CLI::App& app) override
    {
        app.add_option("--video", formats_,
                       "channel formats in channel order: cif, cif-pal, half, half-pal, d1, d1-pal or WxH[@25|30][i]; "
                       "the last one repeats (default: cif half d1 cif-pal, then cif)");
        app.add_option("--video-seconds", seconds_, "length of each channel's encoded loop")->check(CLI::Range(1, 30));
        app.add_option("--video-quant", quant_, "quantiser of the encoded video")->check(CLI::Range(1, 31));
        app.add_option("--video-lose", faults_.loseEvery, "lose every n-th frame (sequence gap)");
        app.add_option("--video-repeat", faults_.repeatEvery, "send every n-th frame twice");
        app.add_option("--video-size-change", faults_.sizeChangeAfter,
                       "after n frames switch to another picture size at the next loop start, and back");
        app.add_option("--video-fault-channels", faultMask_, "mask of the channels the faults apply to")
            ->default_val(0xFFFF);
        app.add_option("--video-zone", zone_, "time-zone index in the frame headers")->check(CLI::Range(0, 84));
        app.add_flag("--video-daylight", daylight_, "set the daylight-saving flag in the frame headers");
    }

    void Install(Simulator& sim) override
    {
        const int channels = sim.Opts().channels;
        if (formats_.empty())
            formats_ = {"cif", "half", "d1", "cif-pal", "cif"};
        loops_.resize(static_cast<size_t>(channels));
        std::vector<VideoFormat> fmts(static_cast<size_t>(channels));
        for (int c = 0; c < channels; ++c) {
            VideoFormat f;
            f.seconds = seconds_;
            f.quant = quant_;
            const std::string& text = formats_[std::min(static_cast<size_t>(c), formats_.size() - 1)];
            if (!ParseFormat(text, f))
                throw CLI::ValidationError("--video", "bad format " + text);
            fmts[static_cast<size_t>(c)] = f;
        }
        const auto t0 = std::chrono::steady_clock::now();
        // Both cores encode; after this the loops are only read.
        std::vector<std::string> errors(static_cast<size_t>(channels));
        auto work = [&](int first) {
            for (int c = first; c < channels; c += 2) {
                auto& l = loops_[static_cast<size_t>(c)];
                const VideoFormat& f = fmts[static_cast<size_t>(c)];
                if (!EncodeVideoLoop(video::LinkedXvidApi(), c, f, l.primary, &errors[size_t(c)]))
                    continue;
                if (faults_.sizeChangeAfter > 0 && (faultMask_ & (1u << c))) {
                    VideoFormat g = f;
                    g.width = f.width == 352 ? 704 : 352; // the other of CIF and half/full width
                    g.height = f.height > 288 ? f.height / 2 : f.height;
                    g.interlaced = false;
                    EncodeVideoLoop(video::LinkedXvidApi(), c, g, l.alternate, &errors[size_t(c)]);
                }
            }
        };
        std::thread other(work, 1);
        work(0);
        other.join();
        for (int c = 0; c < channels; ++c)
            if (!errors[size_t(c)].empty())
                throw CLI::ValidationError("--video", "channel " + std::to_string(c + 1) + ": " + errors[size_t(c)]);
        const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        sim.Log(0, "video: " + std::to_string(channels) + " channels encoded in " + std::to_string(secs) + " s");

        const VideoFaults faults = faults_;
        const uint32_t mask = faultMask_;
        const uint8_t zone = static_cast<uint8_t>(zone_), daylight = daylight_ ? 1 : 0;
        sim.AddProducer([this, faults, mask, zone, daylight](Session&) {
            return std::make_unique<VideoProducer>(loops_, faults, mask, zone, daylight);
        });
    }

private:
    std::vector<std::string> formats_;
    int seconds_ = 2;
    int quant_ = 4;
    VideoFaults faults_;
    uint32_t faultMask_ = 0xFFFF;
    int zone_ = 31;
    bool daylight_ = false;
    std::vector<ChannelLoops> loops_;
};

ExtensionRegistrar<VideoExtension> registrar;

} // namespace

} // namespace dvrsim
