// The DVR's audio: four channels of recognisable signals, one record every 16 ms with sequence
// numbers (gaps on demand) and the talk-back block while live phone is on; the live-phone switch
// (command 100, allowed or forbidden on demand) and the uplink (command 99 and its 312 bytes),
// checked and decoded into a WAV file.
#include "Extension.h"
#include "SyncMarker.h"
#include "ToolAudio.h"
#include "wire/ByteOrder.h"
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>

namespace dvrsim {

namespace {

constexpr uint16_t kStreamCommand = 83;
constexpr uint16_t kPhoneAudio = 99;
constexpr uint16_t kPhoneSwitch = 100;

struct AudioOptions {
    bool off = false;
    uint32_t gapEvery = 0;
    uint32_t gapSize = 2;
    bool forbidPhone = false;
    std::string uplinkWav;
};

uint64_t UnixMicros()
{
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count());
}

uint64_t SteadyMicros()
{
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

class AudioProducer final : public Producer {
public:
    explicit AudioProducer(const AudioOptions& o)
        : source_(toolaudio::SourceOptions{o.gapEvery, o.gapSize, 1, g_syncCamera.load() != 0})
    {}
    int PeriodMs() const override { return 4; }
    void Tick(Session& s) override
    {
        // Audio flows once a channel request asked for it (choice 1, or -1: no setting yet).
        if (s.State().requestedMask == 0 || s.State().audioChoice == 0)
            return;
        const uint64_t now = SteadyMicros();
        if (due_ == 0 || now > due_ + 1000000) // first record now; after a stall, no burst
            due_ = now;
        while (now >= due_) {
            const uint64_t t = UnixMicros();
            int clickAt = -1;
            uint64_t mark = g_syncNextMicros.load(std::memory_order_acquire);
            if (mark != 0 && mark < t + 16000 && g_syncNextMicros.compare_exchange_strong(mark, 0)) {
                // A mark already past (announced late) clicks at the record's start: say by how much.
                clickAt = mark > t ? static_cast<int>((mark - t) / 125) : 0;
                if (mark < t)
                    std::fprintf(stderr, "dvrsim: sync click %llu us late\n",
                                 static_cast<unsigned long long>(t - mark));
            }
            source_.Next(s.State().phoneOn, static_cast<uint32_t>(t / 1000000), static_cast<uint32_t>(t % 1000000),
                         record_, clickAt);
            if (!s.SendStreamBlock(kStreamCommand, record_.data(), record_.size()))
                return;
            due_ += 16000;
        }
    }

private:
    toolaudio::AudioRecordSource source_;
    std::vector<uint8_t> record_;
    uint64_t due_ = 0;
};

// One uplink per simulator: the sessions' records go into one checker and one file.
struct Uplink {
    std::mutex lock;
    toolaudio::UplinkChecker checker;
    std::unique_ptr<toolaudio::WavWriter> wav;
    size_t written = 0;
};

class AudioExtension final : public Extension {
public:
    void AddOptions(cmdline::Command& app) override
    {
        app.Flag("--no-audio", opts_.off, "send no audio records");
        app.Add("--audio-gap-every", opts_.gapEvery, "skip sequence numbers after every N audio records");
        app.Add("--audio-gap", opts_.gapSize, "how many sequence numbers each gap skips (default 2)");
        app.Flag("--forbid-phone", opts_.forbidPhone, "answer the live-phone switch with 2 (forbidden)");
        app.Add("--uplink-wav", opts_.uplinkWav, "write the decoded live-phone uplink to this WAV file");
    }

    void Install(Simulator& sim) override
    {
        if (!opts_.uplinkWav.empty())
            uplink_.wav = std::make_unique<toolaudio::WavWriter>(opts_.uplinkWav);
        if (!opts_.off) {
            const AudioOptions o = opts_;
            sim.AddProducer([o](Session&) { return std::make_unique<AudioProducer>(o); });
        }
        sim.OnCommand(kPhoneSwitch, [this](Session& s, const Packet& p) { OnSwitch(s, p); });
        sim.OnCommand(kPhoneAudio, [this](Session& s, const Packet& p) {
            std::lock_guard<std::mutex> hold(uplink_.lock);
            const uint64_t errors = uplink_.checker.Errors();
            uplink_.checker.OnAnnouncement(p.data, p.length);
            wire::ByteReader r(p.data, p.length);
            int32_t w0 = 0, length = 0, counter = 0;
            uint32_t seconds = 0;
            r.I32(w0), r.I32(length), r.U32(seconds), r.I32(counter);
            s.Sim().Log(
                s.Id(),
                "cmd 99 phone-header w0=" + std::to_string(w0) + " length=" + std::to_string(length) +
                    " seconds=" + std::to_string(seconds) + " counter=" + std::to_string(counter) +
                    (uplink_.checker.Errors() != errors ? " error: " + uplink_.checker.ErrorTexts().back() : ""));
        });
        sim.OnStream(kPhoneAudio, [this](Session& s, const Packet& p) { OnRecord(s, p); });
    }

private:
    void OnSwitch(Session& s, const Packet& p)
    {
        wire::ByteReader r(p.data, p.length);
        int32_t state = 0;
        r.I32(state);
        s.State().phoneOn = state == 1;
        s.Sim().Log(s.Id(), "cmd 100 phone-switch state=" + std::to_string(state));
        // Starting is allowed unless told to forbid it; stopping is answered with 2.
        uint8_t answer[8];
        wire::StoreLE32(answer, state == 1 && !opts_.forbidPhone ? 1u : 2u);
        wire::StoreLE32(answer + 4, 1);
        s.SendPacket(kPhoneSwitch, answer, sizeof answer);
    }

    void OnRecord(Session& s, const Packet& p)
    {
        std::lock_guard<std::mutex> hold(uplink_.lock);
        const uint64_t errors = uplink_.checker.Errors();
        uplink_.checker.OnRecord(p.data, p.length);
        if (uplink_.checker.Errors() != errors)
            s.Sim().Log(s.Id(), "phone audio record: " + uplink_.checker.ErrorTexts().back());
        s.Sim().Log(s.Id(),
                    "stream 99 phone-audio bytes=" + std::to_string(p.length) + " tag=" +
                        (p.length >= 4 ? std::string(reinterpret_cast<const char*>(p.data), 4) : std::string()));
        const auto& samples = uplink_.checker.Samples();
        if (uplink_.wav && samples.size() > uplink_.written) {
            uplink_.wav->Write(samples.data() + uplink_.written,
                               static_cast<uint32_t>((samples.size() - uplink_.written) * 2));
            uplink_.written = samples.size();
        }
        s.Sim().Log(s.Id(),
                    "uplink records=" + std::to_string(uplink_.checker.Records()) +
                        " errors=" + std::to_string(uplink_.checker.Errors()));
    }

    AudioOptions opts_;
    Uplink uplink_;
};

ExtensionRegistrar<AudioExtension> registrar;

} // namespace

} // namespace dvrsim
