// dvrtool sample-store --store DIR --address A --port N --cameras 1,3 --seconds S --start T: a
// recording store filled with the simulator's pictures of the chosen cameras (352 x 240, 30 per
// second, a key frame every 15) and the site's sound, as the store's writer keeps what a DVR sends.
// For trying the backup module and the export without a DVR.
#include "Command.h"
#include "StoreWriter.h"
#include "ToolAudio.h"
#include "VideoChannelStream.h"
#include "XvidApi.h"
#include "wire/StreamFrame.h"
#include <iostream>
#include <memory>

namespace {

struct SampleArgs {
    std::string root, address;
    int port = 0, seconds = 10;
    std::vector<int> cameras{1};
    int64_t start = 1700000000; // 2023-11-14 22:13:20 UTC
};

void Run(const SampleArgs& a)
{
    dvrsim::VideoLoop loop;
    dvrsim::VideoFormat f;
    f.width = 352, f.height = 240, f.seconds = 1, f.keyInterval = 15;
    if (!dvrsim::EncodeVideoLoop(video::LinkedXvidApi(), 1, f, loop))
        dvrtool::Fail("the simulator's pictures could not be encoded");
    std::string error;
    auto w = store::StoreWriter::Open(a.root, a.address, uint16_t(a.port), {}, &error);
    if (!w)
        dvrtool::Fail(error);
    std::vector<std::unique_ptr<dvrsim::VideoChannelStream>> streams;
    for (int c : a.cameras)
        streams.push_back(std::make_unique<dvrsim::VideoChannelStream>(c - 1, &loop, nullptr, dvrsim::VideoFaults{}, 34, 1));
    toolaudio::AudioRecordSource sound;
    const uint64_t t0 = uint64_t(a.start) * 1000000;
    uint64_t nextSound = t0;
    std::vector<uint8_t> b;
    uint64_t pictures = 0;
    for (int i = 0; i < a.seconds * 30; ++i) {
        const uint64_t us = t0 + uint64_t(i) * 1001000 / 30;
        for (; nextSound <= us; nextSound += 16000) {
            sound.Next(false, uint32_t(nextSound / 1000000), uint32_t(nextSound % 1000000), b);
            if (!w->Append(b.data(), b.size(), int64_t(nextSound / 1000)))
                dvrtool::Fail("the store refused a sound block");
        }
        for (auto& s : streams) {
            s->Next(us, b);
            if (!w->Append(b.data(), b.size(), int64_t(us / 1000)))
                dvrtool::Fail("the store refused a picture");
            ++pictures;
        }
    }
    if (!w->Close())
        dvrtool::Fail("the store could not be closed");
    std::cout << pictures << " pictures of " << streams.size() << " cameras in " << w->SiteFolder() << "\n";
}

const dvrtool::Registrar sampleCommand([](cmdline::Command& app) {
    auto a = std::make_shared<SampleArgs>();
    auto* s = app.Subcommand("sample-store", "fill a recording store with the simulator's pictures and sound");
    s->Add("--store", a->root, "the recording store's folder")->Required();
    s->Add("--address", a->address, "the DVR's address")->Required();
    s->Add("--port", a->port, "the DVR's port")->Required()->Range(1, 65535);
    s->Add("--cameras", a->cameras, "cameras 1-16")->Delimiter(',')->Range(1, 16);
    s->Add("--seconds", a->seconds, "seconds of recording")->Range(1, 3600);
    s->Add("--start", a->start, "the first picture's time, DVR UTC seconds since 1970");
    s->Callback([a] { Run(*a); });
});

} // namespace
