// Synthetic stream blocks for transport tests and benchmarks: video frames with a valid 64-byte
// header and filler data (not decodable), cycling through the requested channels.
#include "Extension.h"
#include "wire/Packets.h"
#include "wire/StreamFrame.h"
#include <algorithm>

namespace dvrsim {
namespace {

struct SyntheticOptions {
    int rate = -1; // blocks per second; 0: as fast as the connection takes; -1: off
    size_t size = 16384; // bytes per block, header included
    long count = 0; // blocks per session; 0: no limit
};

class SyntheticProducer : public Producer {
public:
    explicit SyntheticProducer(const SyntheticOptions& o) : o_(o), block_(std::max<size_t>(o.size, 64))
    {
        for (size_t i = wire::kVideoHeaderSize; i < block_.size(); ++i)
            block_[i] = static_cast<uint8_t>(i * 31);
    }
    int PeriodMs() const override { return o_.rate > 0 ? std::max(1, 1000 / o_.rate) : 1; }
    void Tick(Session& s) override
    {
        int burst = o_.rate > 0 ? std::max(1, o_.rate / 1000) : 256;
        for (int i = 0; i < burst && !s.Closing(); ++i) {
            if (o_.count > 0 && sent_ >= o_.count)
                return;
            uint32_t mask = s.State().requestedMask ? s.State().requestedMask : 0xFFFF;
            unsigned ch = NextChannel(mask, s.Opts().channels);
            wire::VideoFrameHeader h;
            h.word0 = wire::MakeVideoWord0(ch, sent_ % 30 != 0);
            h.heightDiv16 = 18;
            h.widthDiv16 = 22;
            h.sequence = static_cast<uint32_t>(sent_);
            h.total = static_cast<uint32_t>(block_.size());
            wire::BuildVideoFrameHeader(h, block_.data());
            s.SendStreamBlock(protocol::kCmdStreamBlock, block_.data(), block_.size());
            ++sent_;
        }
    }

private:
    unsigned NextChannel(uint32_t mask, int channels)
    {
        for (int i = 0; i < 16; ++i) {
            unsigned c = (next_++) % static_cast<unsigned>(std::max(1, channels));
            if (mask & (1u << c))
                return c;
        }
        return 0;
    }

    SyntheticOptions o_;
    std::vector<uint8_t> block_;
    long sent_ = 0;
    unsigned next_ = 0;
};

class SyntheticExtension : public Extension {
public:
    void AddOptions(cmdline::Command& app) override
    {
        app.Add("--synthetic-rate", o_.rate,
                "after login send synthetic (not decodable) video blocks at this many per second; "
                "0: as fast as the connection takes")
            ->Range(0, 1000000);
        app.Add("--synthetic-size", o_.size, "bytes per synthetic block, 64-byte header included")
            ->Range(64, 262016)
            ->ShowDefault();
        app.Add("--synthetic-count", o_.count, "synthetic blocks per session (0: no limit)")->Range(0L, 1L << 40);
    }
    void Install(Simulator& sim) override
    {
        if (o_.rate < 0)
            return;
        SyntheticOptions o = o_;
        sim.AddProducer([o](Session&) { return std::make_unique<SyntheticProducer>(o); });
    }

private:
    SyntheticOptions o_;
};

ExtensionRegistrar<SyntheticExtension> registrar;

} // namespace
} // namespace dvrsim
