// Real MPEG-4 video on every requested channel (command 51): each channel's scene is encoded once
// per process into a loop of a few seconds, then sent round and round at its frame rate with fresh
// headers. Faults on demand: lost frames, repeated frames, size changes.
#include "Extension.h"
#include "SyncMarker.h"
#include "VideoChannelStream.h"
#include "VideoLoop.h"
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <stdexcept>
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

// The run of digits at `at` in `text` (empty when there is none); `at` moves past it.
std::string Digits(const std::string& text, size_t& at)
{
    const size_t from = at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9')
        ++at;
    return text.substr(from, at - from);
}

// A decimal number at `at`: digits, then a point and digits or neither (empty when there is none).
std::string Decimal(const std::string& text, size_t& at)
{
    const size_t from = at;
    if (Digits(text, at).empty())
        return {};
    if (at + 1 < text.size() && text[at] == '.' && text[at + 1] >= '0' && text[at + 1] <= '9') {
        ++at;
        Digits(text, at);
    }
    return text.substr(from, at - from);
}

// "WxH[@fps][i]", or one of cif, cif-pal, half, half-pal, d1, d1-pal.
bool ParseFormat(const std::string& text, VideoFormat& f)
{
    static const std::pair<const char*, VideoFormat> named[] = {
        {"cif", {352, 240, 30}},      {"cif-pal", {352, 288, 25}},  {"half", {704, 240, 30}},
        {"half-pal", {704, 288, 25}}, {"d1", {720, 480, 30, true}}, {"d1-pal", {720, 576, 25, true}},
    };
    for (auto& [name, fmt] : named)
        if (text == name) {
            const int seconds = f.seconds;
            f = fmt;
            f.seconds = seconds;
            return true;
        }
    size_t at = 0;
    const std::string width = Digits(text, at);
    if (width.empty() || at == text.size() || text[at++] != 'x')
        return false;
    const std::string height = Digits(text, at);
    std::string fps;
    if (at < text.size() && text[at] == '@') {
        fps = text.substr(at + 1, 2);
        if (fps != "25" && fps != "30")
            return false;
        at += 3;
    }
    const bool interlaced = at < text.size() && text[at] == 'i';
    if (interlaced)
        ++at;
    if (height.empty() || at != text.size())
        return false;
    try {
        f.width = std::stoi(width);
        f.height = std::stoi(height);
    } catch (const std::out_of_range&) {
        return false;
    }
    f.fps = !fps.empty() ? std::stoi(fps) : (f.height % 288 == 0 ? 25 : 30);
    f.interlaced = interlaced;
    return f.width > 0 && f.height > 0 && f.width % 16 == 0 && f.height % 16 == 0 && f.width <= 720 && f.height <= 576;
}

// A channel that stops sending for a while: from `at` seconds after its first frame of the session,
// for `length` seconds (a camera that went dark, or a DVR that stopped one stream).
struct VideoStop {
    int channel = 0; // 1-based; 0: none
    double at = 0, length = 0;
};

// "CH:AT:FOR", e.g. "2:5:8".
bool ParseStop(const std::string& text, VideoStop& stop)
{
    size_t at = 0;
    const std::string channel = Digits(text, at);
    if (channel.empty() || at == text.size() || text[at++] != ':')
        return false;
    const std::string from = Decimal(text, at);
    if (from.empty() || at == text.size() || text[at++] != ':')
        return false;
    const std::string length = Decimal(text, at);
    if (length.empty() || at != text.size())
        return false;
    try {
        stop.channel = std::stoi(channel);
        stop.at = std::stod(from);
        stop.length = std::stod(length);
    } catch (const std::out_of_range&) {
        return false;
    }
    return stop.channel >= 1 && stop.channel <= 16 && stop.at <= 3600 && stop.length <= 3600;
}

struct ChannelLoops {
    VideoLoop primary;
    VideoLoop alternate; // for size changes; empty when not asked for
};

// Every channel's loops, encoded once per process by one background thread, started by the first
// channel request so that a simulator nobody asks for video costs nothing. One core stays free.
class LoopBank {
public:
    LoopBank(std::vector<VideoFormat> formats, bool alternates, uint32_t alternateMask)
        : formats_(std::move(formats)), alternates_(alternates), alternateMask_(alternateMask), loops_(formats_.size()),
          ready_(new std::atomic<bool>[formats_.size()])
    {
        for (size_t c = 0; c < formats_.size(); ++c)
            ready_[c] = false;
    }
    ~LoopBank()
    {
        stop_ = true;
        if (worker_.joinable())
            worker_.join();
    }
    // Requested channels go first.
    void Start(uint32_t firstMask)
    {
        std::call_once(started_,
                       [this, firstMask] { worker_ = std::thread([this, firstMask] { Encode(firstMask); }); });
    }
    const ChannelLoops* Get(size_t c) const
    {
        return c < loops_.size() && ready_[c].load(std::memory_order_acquire) ? &loops_[c] : nullptr;
    }
    size_t Channels() const { return loops_.size(); }

private:
    void Encode(uint32_t firstMask)
    {
        const auto t0 = std::chrono::steady_clock::now();
        std::vector<size_t> order;
        for (size_t c = 0; c < loops_.size(); ++c)
            if (firstMask & (1u << c))
                order.push_back(c);
        for (size_t c = 0; c < loops_.size(); ++c)
            if (!(firstMask & (1u << c)))
                order.push_back(c);
        int done = 0;
        for (size_t c : order) {
            if (stop_)
                return;
            std::string error;
            const VideoFormat& f = formats_[c];
            ChannelLoops& l = loops_[c];
            if (!EncodeVideoLoop(video::LinkedXvidApi(), static_cast<int>(c), f, l.primary, &error)) {
                std::fprintf(stderr, "dvrsim: video channel %zu not encoded: %s\n", c + 1, error.c_str());
                continue;
            }
            if (alternates_ && (alternateMask_ & (1u << c))) {
                VideoFormat g = f;
                g.width = f.width == 352 ? 704 : 352; // CIF against half or full width
                g.height = f.height > 288 ? f.height / 2 : f.height;
                g.interlaced = false;
                if (!EncodeVideoLoop(video::LinkedXvidApi(), static_cast<int>(c), g, l.alternate, &error))
                    std::fprintf(stderr, "dvrsim: video channel %zu, second size not encoded: %s\n", c + 1,
                                 error.c_str());
            }
            ready_[c].store(true, std::memory_order_release);
            ++done;
        }
        const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        std::fprintf(stderr, "dvrsim: video of %d channels encoded in %.1f s\n", done, secs);
    }

    std::vector<VideoFormat> formats_;
    bool alternates_;
    uint32_t alternateMask_;
    std::vector<ChannelLoops> loops_;
    std::unique_ptr<std::atomic<bool>[]> ready_;
    std::atomic<bool> stop_{false};
    std::once_flag started_;
    std::thread worker_;
};

// Video frames sent by every session of the simulator, for the benchmarks: a line on stderr every
// `every` seconds when asked for, and the total when the simulator ends.
class SendCount {
public:
    explicit SendCount(double every) : everyMicros_(static_cast<int64_t>(every * 1e6)) {}
    ~SendCount()
    {
        if (const uint64_t n = sent_.load())
            std::fprintf(stderr, "dvrsim: video frames sent: %llu in %.3f s\n", static_cast<unsigned long long>(n),
                         (SteadyMicros() - first_.load()) / 1e6);
    }
    SendCount(const SendCount&) = delete;
    SendCount& operator=(const SendCount&) = delete;

    void Add()
    {
        const int64_t now = SteadyMicros();
        int64_t unset = 0;
        if (first_.compare_exchange_strong(unset, now))
            next_.store(now + everyMicros_);
        const uint64_t n = ++sent_;
        if (everyMicros_ <= 0)
            return;
        int64_t due = next_.load();
        // One session's thread prints each line.
        if (now >= due && next_.compare_exchange_strong(due, due + everyMicros_)) {
            std::fprintf(stderr, "dvrsim: video t=%.3f sent=%llu\n", (now - first_.load()) / 1e6,
                         static_cast<unsigned long long>(n));
            std::fflush(stderr);
        }
    }

private:
    static int64_t SteadyMicros()
    {
        return std::chrono::duration_cast<std::chrono::microseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    const int64_t everyMicros_;
    std::atomic<uint64_t> sent_{0};
    std::atomic<int64_t> first_{0};
    std::atomic<int64_t> next_{0};
};

class VideoProducer final : public Producer {
public:
    VideoProducer(std::shared_ptr<LoopBank> bank, std::shared_ptr<SendCount> count, const VideoFaults& faults,
                  uint32_t faultMask, uint32_t videoMask, uint8_t zone, uint8_t daylight, const VideoStop& stop)
        : bank_(std::move(bank)), count_(std::move(count)), faults_(faults), faultMask_(faultMask),
          videoMask_(videoMask), zone_(zone), daylight_(daylight), stop_(stop), streams_(bank_->Channels()),
          due_(bank_->Channels(), 0)
    {}
    int PeriodMs() const override { return 5; }
    void Tick(Session& s) override
    {
        const uint32_t mask = s.State().requestedMask & videoMask_;
        if (!mask)
            return;
        bank_->Start(mask);
        const uint64_t now = UnixMicros();
        for (size_t c = 0; c < streams_.size(); ++c) {
            if (!(mask & (1u << c))) {
                due_[c] = 0;
                continue;
            }
            if (!streams_[c]) {
                const ChannelLoops* l = bank_->Get(c);
                if (!l)
                    continue;
                const bool faulty = faultMask_ & (1u << c);
                const VideoLoop* alt = faulty && !l->alternate.frames.empty() ? &l->alternate : nullptr;
                streams_[c] = std::make_unique<VideoChannelStream>(static_cast<int>(c), &l->primary, alt,
                                                                   faulty ? faults_ : VideoFaults{}, zone_, daylight_);
            }
            if (due_[c] == 0 || now > due_[c] + 1000000) // first frame now; after a stall, no burst
                due_[c] = now;
            if (static_cast<int>(c) + 1 == stop_.channel) {
                if (!stopFrom_)
                    stopFrom_ = now + static_cast<uint64_t>(stop_.at * 1e6);
                if (now >= stopFrom_ && now < stopFrom_ + static_cast<uint64_t>(stop_.length * 1e6))
                    continue;
            }
            while (due_[c] <= now && !s.Closing()) {
                SentVideoFrame info;
                if (!streams_[c]->Next(due_[c], frame_, &info))
                    break;
                if (!s.SendStreamBlock(kStreamCommand, frame_.data(), frame_.size()))
                    return;
                if (static_cast<int>(c) + 1 == g_syncCamera.load(std::memory_order_relaxed) && info.loop &&
                    info.sourceIndex + 1 == static_cast<int>(info.loop->frames.size()))
                    g_syncNextMicros.store(due_[c] + streams_[c]->FrameMicros(), std::memory_order_release);
                count_->Add();
                due_[c] += streams_[c]->FrameMicros();
            }
        }
    }

private:
    std::shared_ptr<LoopBank> bank_;
    std::shared_ptr<SendCount> count_;
    VideoFaults faults_;
    uint32_t faultMask_;
    uint32_t videoMask_;
    uint8_t zone_, daylight_;
    VideoStop stop_;
    uint64_t stopFrom_ = 0; // when the stopped channel stops; 0 until its first frame is due
    std::vector<std::unique_ptr<VideoChannelStream>> streams_;
    std::vector<uint64_t> due_;
    std::vector<uint8_t> frame_;
};

class VideoExtension final : public Extension {
public:
    void AddOptions(cmdline::Command& app) override
    {
        app.Add("--video", formats_,
                "channel formats in channel order: cif, cif-pal, half, half-pal, d1, d1-pal or WxH[@25|30][i]; "
                "the last one repeats (default: cif half d1 cif-pal, then cif)")
            ->Check([](const std::string& text) {
                VideoFormat f;
                return ParseFormat(text, f) ? std::string() : "not a video format: " + text;
            });
        app.Add("--video-seconds", seconds_, "length of each channel's encoded loop")->Range(1, 30);
        app.Add("--video-quant", quant_, "quantiser of the encoded video")->Range(1, 31);
        app.Add("--video-lose", faults_.loseEvery, "lose every n-th frame (a sequence gap)")->Range(0, 1000000);
        app.Add("--video-repeat", faults_.repeatEvery, "send every n-th frame twice")->Range(0, 1000000);
        app.Add("--video-size-change", faults_.sizeChangeAfter,
                "after n frames switch to another picture size at the next loop start, and back")
            ->Range(0, 1000000);
        app.Add("--video-bad-time", faults_.badTimeEvery, "every n-th frame carries microseconds of 1,000,000 or more")
            ->Range(1, 1000000);
        app.Add("--video-clock-ahead", faults_.clockAhead,
                "seconds the video time stamps run ahead of the audio (a DVR clock set forward)")
            ->Range(-86400, 86400);
        app.Add("--video-fault-channels", faultMask_, "mask of the channels the faults apply to");
        app.Add("--video-zone", zone_, "time-zone index in the frame headers")->Range(0, 84);
        app.Flag("--video-daylight", daylight_, "set the daylight-saving flag in the frame headers");
        app.Add("--sync-marker", syncCamera_,
                "lip-sync marker: this camera's loop starts with a white picture, and the audio of every "
                "channel is silent but for a click at the same instant")
            ->Range(1, 16);
        app.Add("--video-mask", videoMask_,
                "mask of the channels that have a camera: the others send no video when requested");
        app.Add("--video-count-every", countEvery_,
                "print the video frames sent so far to stderr every this many seconds (the total is "
                "printed at exit whenever frames were sent)")
            ->Range(0.0, 3600.0);
        app.Add("--video-stop", stopText_,
                "CH:AT:FOR: channel CH (1-16) sends nothing from AT seconds after its first frame of the "
                "session, for FOR seconds")
            ->Check([](const std::string& text) {
                VideoStop s;
                return ParseStop(text, s) ? std::string() : "not CH:AT:FOR: " + text;
            });
    }

    void Install(Simulator& sim) override
    {
        const int channels = sim.Opts().channels;
        g_syncCamera.store(syncCamera_);
        std::vector<std::string> names = formats_;
        if (names.empty())
            names = {"cif", "half", "d1", "cif-pal", "cif"};
        std::vector<VideoFormat> fmts(static_cast<size_t>(channels));
        for (int c = 0; c < channels; ++c) {
            VideoFormat& f = fmts[static_cast<size_t>(c)];
            f.seconds = seconds_;
            f.quant = quant_;
            ParseFormat(names[std::min(static_cast<size_t>(c), names.size() - 1)], f); // checked by the option
            f.whiteFirst = c + 1 == syncCamera_;
        }
        // Owned by this simulator's producer factory and the producers it makes.
        auto bank = std::make_shared<LoopBank>(std::move(fmts), faults_.sizeChangeAfter > 0, faultMask_);
        const VideoFaults faults = faults_;
        const uint32_t mask = faultMask_, videoMask = videoMask_;
        const uint8_t zone = static_cast<uint8_t>(zone_), daylight = daylight_ ? 1 : 0;
        auto count = std::make_shared<SendCount>(countEvery_);
        VideoStop stop;
        if (!stopText_.empty())
            ParseStop(stopText_, stop); // checked by the option
        sim.AddProducer([bank, count, faults, mask, videoMask, zone, daylight, stop](Session&) {
            return std::make_unique<VideoProducer>(bank, count, faults, mask, videoMask, zone, daylight, stop);
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
    double countEvery_ = 0;
    uint32_t videoMask_ = 0xFFFF;
    int syncCamera_ = 0;
    std::string stopText_;
};

ExtensionRegistrar<VideoExtension> registrar;

} // namespace

} // namespace dvrsim
