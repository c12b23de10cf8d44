// dvrtool record HOST[:PORT] --user ID --password PW --seconds N --out DIR: log in, request every
// channel and record what arrives: per channel an MPEG-4 elementary stream with the synthesized VOL
// in front, a CSV of the frames and a decoded PNG snapshot; then one summary line per channel.
// The DVR's four audio channels go to audio-ch1.wav .. audio-ch4.wav (8 kHz mono), decoded and with
// sequence gaps filled as the viewer fills them.
#include "DvrTarget.h"
#include "StreamRecorder.h"
#include "ToolAudio.h"
#include "wire/StreamFrame.h"
#include <chrono>
#include <filesystem>
#include <iostream>

namespace {

struct RecordArgs : dvrtool::DvrTarget {
    double seconds = 10;
    std::string out;
    uint32_t mask = 0; // 0: every channel of the DVR
    bool noAudio = false;
};

void Run(const RecordArgs& a)
{
    const dvrtool::HostPort at = dvrtool::ParseTarget(a);
    std::error_code ec;
    std::filesystem::create_directories(a.out, ec);
    if (!std::filesystem::is_directory(a.out))
        dvrtool::Fail("cannot create the output folder " + a.out, 1);

    dvrclient::DvrClient client;
    const int channels = dvrtool::LogInForChannels(client, at, a);
    uint32_t mask = a.mask ? a.mask : (channels >= 32 ? 0xFFFFFFFFu : (1u << channels) - 1);
    mask &= channels >= 32 ? 0xFFFFFFFFu : (1u << channels) - 1;
    dvrtool::RequestChannels(client, mask, !a.noAudio);

    recorder::StreamRecorder rec(video::LinkedXvidApi(), a.out, channels);
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(a.seconds);
    toolaudio::ChannelWavRecorder audio(a.out + "/audio");
    uint64_t blocks = 0, audioBlocks = 0;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        conduix::Frame f;
        const auto r = client.Receive(f, static_cast<int>(left.count()));
        if (r == dvrclient::DvrClient::Result::Timeout)
            break;
        if (r != dvrclient::DvrClient::Result::Frame) {
            std::cerr << "dvrtool: connection ended: " << client.LastError() << "\n";
            break;
        }
        if (f.kind == conduix::FrameKind::Stream && f.header.command == protocol::kCmdStreamBlock) {
            if (wire::IsAudioTag(f.payload, f.payloadLength)) {
                audioBlocks += audio.OnBlock(f.payload, f.payloadLength) ? 1 : 0;
            } else {
                rec.OnStreamBlock(f.payload, f.payloadLength);
            }
            ++blocks;
        }
    }
    client.Close();
    std::string error;
    if (!rec.Finish(&error))
        dvrtool::Fail(error, 1);
    audio.Close();
    for (const auto& s : rec.Summaries())
        std::cout << recorder::StreamRecorder::SummaryLine(s) << "\n";
    if (audioBlocks)
        for (unsigned c = 0; c < 4; ++c)
            std::cout << "audio channel " << c + 1 << ": " << audio.Samples(c) << " samples (" << audio.Samples(c) / 8
                      << " ms) in " << audio.Path(c) << "\n";
    std::cout.flush();
    if (blocks == 0)
        dvrtool::Fail("no stream blocks arrived", 3);
}

dvrtool::Registrar reg([](CLI::App& app) {
    auto args = std::make_shared<RecordArgs>();
    CLI::App* sub =
        app.add_subcommand("record",
                           "log in, request the channels and record their video: chNN.m4v (MPEG-4 elementary stream), "
                           "chNN.csv (sequence, type, size, time) and chNN.png (last decoded picture) per channel");
    dvrtool::AddDvrOptions(sub, *args);
    sub->add_option("--seconds", args->seconds, "how long to record")
        ->check(CLI::Range(0.1, 86400.0))
        ->capture_default_str();
    sub->add_option("--out", args->out, "output folder (created when missing)")->required();
    sub->add_option("--channels", args->mask, "mask of the channels to request (default: all)");
    sub->add_flag("--no-audio", args->noAudio, "ask the DVR for no audio (the channel request's audio choice 0)");
    sub->add_option("--timeout-ms", args->timeoutMs, "how long to wait for each answer")->capture_default_str();
    sub->callback([args] { Run(*args); });
});

} // namespace
