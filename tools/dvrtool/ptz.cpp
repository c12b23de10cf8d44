// dvrtool ptz PROTOCOL ADDRESS ACTION [SPEED]: the bytes Panlink sends to a camera, in hex, for
// checking a camera's wiring and address with a serial adapter.
// dvrtool ptz --list: the protocols, one a line, with the actions each one builds.
#include "Command.h"
#include "Protocols.h"
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

namespace {

const char* const kUsage =
    "usage: dvrtool ptz PROTOCOL ADDRESS ACTION [SPEED]   (dvrtool ptz --list shows the protocols)";

struct PtzArgs {
    bool list = false;
    std::string protocol, address, action;
    std::string speed = std::to_string(panlink::kDefaultSpeed);
};

[[noreturn]] void Usage(const std::string& problem) { dvrtool::Fail(problem + "\n" + kUsage, 2); }

// Decimal digits only, within lo..hi.
bool ParseNumber(const std::string& text, int lo, int hi, int& out)
{
    if (text.empty() || text.size() > 6)
        return false;
    int v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    out = v;
    return v >= lo && v <= hi;
}

void List()
{
    for (int i = 0; i < panlink::ProtocolCount(); ++i) {
        const panlink::Protocol& p = *panlink::ProtocolAt(i);
        std::string actions;
        for (int c = 0; c < PTZ_CMD_COUNT; ++c)
            if ((p.mask >> c) & 1)
                actions += std::string(actions.empty() ? "" : ",") + panlink::CommandName(c);
        std::printf("%-13s mask=0x%04X baud=%u addresses=%d-%d %s\n", p.key, p.mask, panlink::BaudRate(p.defaultBaud),
                    p.firstReceiver, p.lastReceiver, actions.c_str());
    }
}

void Run(const PtzArgs& a)
{
    if (a.list) {
        List();
        return;
    }
    if (a.protocol.empty() || a.address.empty() || a.action.empty())
        Usage("PROTOCOL, ADDRESS and ACTION are needed");
    const int protocol = panlink::FindProtocol(a.protocol);
    if (protocol < 0)
        Usage("unknown protocol '" + a.protocol + "'");
    const panlink::Protocol& p = *panlink::ProtocolAt(protocol);
    int address = 0, speed = 0;
    if (!ParseNumber(a.address, p.firstReceiver, p.lastReceiver, address))
        Usage("bad address '" + a.address + "': " + p.name + " takes " + std::to_string(p.firstReceiver) + "-" +
              std::to_string(p.lastReceiver));
    const int command = panlink::FindCommand(a.action);
    if (command < 0)
        Usage("unknown action '" + a.action + "'");
    if (!ParseNumber(a.speed, 1, panlink::kMaxSpeed, speed))
        Usage("bad speed '" + a.speed + "': expected 1-63");
    const std::vector<uint8_t> bytes = panlink::Build(protocol, address, command, speed);
    if (bytes.empty())
        dvrtool::Fail(std::string(p.name) + " has no '" + a.action + "' command (dvrtool ptz --list)", 3);
    std::cout << panlink::Hex(bytes.data(), bytes.size()) << "\n";
}

dvrtool::Registrar reg([](cmdline::Command& app) {
    auto args = std::make_shared<PtzArgs>();
    auto* cmd = app.Subcommand("ptz", "camera protocol bytes of a PTZ action, in hex");
    cmd->Flag("--list", args->list, "list the protocols with their masks and actions");
    cmd->Add("protocol", args->protocol, "protocol (dvrtool ptz --list)");
    cmd->Add("address", args->address, "the camera's address (receiver number, from 1)");
    cmd->Add("action", args->action,
             "up, down, left, right, up-left, up-right, down-left, down-right, zoom-in, zoom-out, "
             "focus-near, focus-far, stop, pan-stop, tilt-stop");
    cmd->Add("speed", args->speed, "1-63 (default 32)");
    cmd->Callback([args] { Run(*args); });
});

} // namespace
