// dvrtool record HOST[:PORT] --user ID --password PW --seconds N --out DIR: log in, request every
// channel and record what arrives: per channel an MPEG-4 elementary stream with the synthesized VOL
// in front, a CSV of the frames and a decoded PNG snapshot; then one summary line per channel.
// The DVR's four audio channels go to audio-ch1.wav .. audio-ch4.wav (8 kHz mono), decoded and with
// sequence gaps filled as the viewer fills them.
//
// dvrtool record --store DIR --address A [--port N] --user ID --password PW: record around the clock
// into the store (SiteRecorder.h) until Ctrl+C or SIGTERM.
#include "DvrTarget.h"
#include "SiteRecorder.h"
#include "StreamRecorder.h"
#include "ToolAudio.h"
#include "wire/StreamFrame.h"
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <iostream>

namespace {

struct RecordArgs : dvrtool::DvrTarget {
    double seconds = 10;
    std::string out;
    uint32_t mask = 0; // 0: every channel of the DVR
    bool noAudio = false;
    // --store
    std::string store, address;
    uint16_t port = 50000;
    std::vector<int> cameras;
    int segmentSeconds = 300;
    uint64_t maxSize = 0;
    int maxDays = 0;
    bool motion = false;
    int stallSeconds = 20;
    int summaryMinutes = 10;
};

std::atomic<bool> g_stop{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

extern "C" void OnStopSignal(int) { g_stop.store(true); }

void RunStore(const RecordArgs& a)
{
    if (!a.target.empty() || !a.out.empty())
        dvrtool::Fail("--store takes the DVR as --address and --port, and writes no --out folder", 1);
    if (a.address.empty())
        dvrtool::Fail("--store needs --address", 1);
    if (a.mask)
        dvrtool::Fail("--store chooses cameras with --cameras", 1);
    recorder::SiteRecorderOptions o;
    o.storeRoot = a.store;
    o.host = a.address;
    o.port = a.port;
    o.user = a.user;
    o.password = a.password;
    for (int c : a.cameras)
        o.cameras |= 1u << (c - 1);
    o.audio = !a.noAudio;
    o.motion = a.motion;
    o.writer.segmentSeconds = a.segmentSeconds;
    o.writer.maxBytes = a.maxSize;
    o.writer.maxAgeDays = a.maxDays;
    o.timeoutMs = a.timeoutMs;
    o.stallSeconds = a.stallSeconds;
    o.summaryMinutes = a.summaryMinutes;

    // No SA_RESTART: a signal also ends the wait the recorder is in.
    struct sigaction sa = {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    const int code = recorder::RunSiteRecorder(o, g_stop, std::cerr);
    if (code != 0)
        throw dvrtool::Failure("", code); // the log said why
}

void Run(const RecordArgs& a)
{
    if (!a.store.empty())
        return RunStore(a);
    if (a.target.empty() || a.out.empty())
        dvrtool::Fail("record needs HOST[:PORT] and --out, or --store with --address", 1);
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

dvrtool::Registrar reg([](cmdline::Command& app) {
    auto args = std::make_shared<RecordArgs>();
    cmdline::Command* sub =
        app.Subcommand("record",
                       "log in, request the channels and record their video: chNN.m4v (MPEG-4 elementary stream), "
                       "chNN.csv (sequence, type, size, time) and chNN.png (last decoded picture) per channel");
    sub->Add("target", args->target, "HOST[:PORT] (port 50000 when omitted; not with --store)");
    sub->Add("--user", args->user, "user ID")->Required();
    sub->Add("--password", args->password, "password")->Required();
    sub->Add("--seconds", args->seconds, "how long to record")->Range(0.1, 86400.0)->ShowDefault();
    sub->Add("--out", args->out, "output folder (created when missing)");
    sub->Add("--channels", args->mask, "mask of the channels to request (default: all)");
    sub->Flag("--no-audio", args->noAudio, "ask the DVR for no audio (the channel request's audio choice 0)");
    sub->Add("--timeout-ms", args->timeoutMs, "how long to wait for each answer")->ShowDefault();
    sub->Add("--store", args->store,
             "record around the clock into this store folder until Ctrl+C or SIGTERM, reconnecting by "
             "itself; instead of HOST[:PORT] and --out");
    sub->Add("--address", args->address, "with --store: the DVR's host name or IPv4 address");
    sub->Add("--port", args->port, "with --store: the DVR's port")->Range(1, 65535)->ShowDefault();
    sub->Add("--cameras", args->cameras, "with --store: cameras to record, e.g. 1,2,5 (default: all)")
        ->Delimiter(',')
        ->Range(1, 16);
    sub->Add("--segment-seconds", args->segmentSeconds, "with --store: length of a segment file")
        ->Range(10, 3600)
        ->ShowDefault();
    sub->Add("--max-size", args->maxSize,
             "with --store: size cap of the store folder, e.g. 500GB; the oldest segments go first "
             "(0: none)")
        ->SizeWithUnit()
        ->ShowDefault();
    sub->Add("--max-days", args->maxDays, "with --store: age cap in days (0: none)")->Range(0, 36500)->ShowDefault();
    sub->Flag("--motion", args->motion,
              "with --store: decode the video and store a motion level per camera and second");
    sub->Add("--stall-seconds", args->stallSeconds, "with --store: reconnect when nothing arrives for this long")
        ->Range(2, 3600)
        ->ShowDefault();
    sub->Add("--summary-minutes", args->summaryMinutes,
             "with --store: minutes between one-line summaries in the log (0: none)")
        ->Range(0, 1440)
        ->ShowDefault();
    sub->Callback([args] { Run(*args); });
});

} // namespace
