// dvrtool snapshot --address A --port N --user U --password P --channel C FILE.png: log in, ask for
// one channel's video and write its first decoded picture, at the size the camera sends, as PNG.
#include "DvrTarget.h"
#include "Snapshot.h"
#include <chrono>
#include <cstdio>
#include <iostream>

namespace {

struct SnapshotArgs : dvrtool::DvrTarget {
    std::string address;
    int port = 50000;
    int channel = 1;
    std::string file;
    double seconds = 20;
};

void Run(const SnapshotArgs& a)
{
    const dvrtool::HostPort at{a.address, static_cast<uint16_t>(a.port)};
    dvrclient::DvrClient client;
    const int channels = dvrtool::LogInForChannels(client, at, a);
    if (a.channel > channels)
        dvrtool::Fail("the DVR has " + std::to_string(channels) + " channels", 2);
    dvrtool::RequestChannels(client, 1u << (a.channel - 1), false);

    recorder::SnapshotTaker taker(video::LinkedXvidApi(), a.channel - 1);
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(a.seconds);
    while (!taker.Done()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        conduix::Frame f;
        const auto r = client.Receive(f, static_cast<int>(left.count()));
        if (r == dvrclient::DvrClient::Result::Timeout)
            break;
        if (r != dvrclient::DvrClient::Result::Frame)
            dvrtool::Fail("connection ended: " + client.LastError(), 1);
        if (f.kind == conduix::FrameKind::Stream && f.header.command == protocol::kCmdStreamBlock)
            taker.OnStreamBlock(f.payload, f.payloadLength);
    }
    client.Close();
    if (!taker.Done())
        dvrtool::Fail("no picture of channel " + std::to_string(a.channel) + " arrived", 3);
    const recorder::Snapshot& s = taker.Picture();
    if (!recorder::WriteSnapshotPng(a.file, s))
        dvrtool::Fail("cannot write " + a.file, 1);
    char when[40];
    std::snprintf(when, sizeof when, "%04u-%02u-%02u %02u:%02u:%02u", s.year % 10000, s.month % 100, s.day % 100,
                  s.hour % 100, s.minute % 100, s.second % 100);
    std::cout << "channel " << a.channel << ": " << s.width << "x" << s.height << " picture of " << when << " in "
              << a.file << "\n";
}

dvrtool::Registrar reg([](cmdline::Command& app) {
    auto args = std::make_shared<SnapshotArgs>();
    cmdline::Command* sub = app.Subcommand(
        "snapshot", "log in, ask for one channel and write its first decoded picture, full size, as PNG");
    sub->Add("--address", args->address, "the DVR's host name or address")->Required();
    sub->Add("--port", args->port, "TCP port")->Range(1, 65535)->ShowDefault();
    sub->Add("--user", args->user, "user ID")->Required();
    sub->Add("--password", args->password, "password")->Required();
    sub->Add("--channel", args->channel, "channel, 1-16")->Range(1, 16)->Required();
    sub->Add("file", args->file, "the PNG file to write")->Required();
    sub->Add("--seconds", args->seconds, "how long to wait for a picture")->Range(0.1, 3600.0)->ShowDefault();
    sub->Add("--timeout-ms", args->timeoutMs, "how long to wait for each answer")->ShowDefault();
    sub->Callback([args] { Run(*args); });
});

} // namespace
