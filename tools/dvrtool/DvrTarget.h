#pragma once
// What the subcommands that talk to a DVR share: its address and account as options, and the
// connection and login, ending the subcommand when the DVR cannot be reached.
#include "Command.h"
#include "DvrClient.h"
#include "wire/Packets.h"
#include <cstdint>
#include <string>

namespace dvrtool {

struct DvrTarget {
    std::string target; // HOST[:PORT]
    std::string user;
    std::string password;
    int timeoutMs = 5000;
};

// The target, --user and --password (each command places its --timeout-ms among its own options).
inline void AddDvrOptions(cmdline::Command* sub, DvrTarget& t)
{
    sub->Add("target", t.target, "HOST[:PORT] (port 50000 when omitted)")->Required();
    sub->Add("--user", t.user, "user ID")->Required();
    sub->Add("--password", t.password, "password")->Required();
}

struct HostPort {
    std::string host;
    uint16_t port = 0;
};

inline HostPort ParseTarget(const DvrTarget& t)
{
    HostPort at;
    if (!dvrclient::ParseHostPort(t.target, 50000, at.host, at.port))
        Fail("not a HOST[:PORT]: '" + t.target + "'", 1);
    return at;
}

// Connects (exit 1 when that fails) and logs in; whether the DVR replied is the caller's to judge.
inline dvrclient::LoginOutcome ConnectAndLogIn(dvrclient::DvrClient& client, const HostPort& at, const DvrTarget& t)
{
    std::string error;
    if (!client.Connect(at.host, at.port, t.timeoutMs, error))
        Fail(error, 1);
    return dvrclient::Login(client, t.user, t.password, t.timeoutMs);
}

// Connects and logs in, ending the subcommand unless the DVR accepts (exit 1 without a reply, 2 when
// refused); the DVR's channel count (16 when its reply names none).
inline int LogInForChannels(dvrclient::DvrClient& client, const HostPort& at, const DvrTarget& t)
{
    const dvrclient::LoginOutcome login = ConnectAndLogIn(client, at, t);
    if (!login.replied)
        Fail("no login reply: " + login.error, 1);
    if (!login.reply.Accepted())
        Fail("login refused (result " + std::to_string(login.reply.result) + ")", 2);
    return login.reply.HasChannelInfo() ? login.reply.channelCount : 16;
}

// Asks for the channels of `mask` (and audio or not), ending the subcommand when it cannot be sent.
inline void RequestChannels(dvrclient::DvrClient& client, uint32_t mask, bool audio)
{
    uint8_t request[protocol::kChannelRequestSize];
    protocol::BuildChannelRequest(mask, audio ? 1 : 0, request);
    if (!client.SendPacket(protocol::kCmdChannelRequest, request, sizeof request))
        Fail("cannot send the channel request: " + client.LastError(), 1);
}

} // namespace dvrtool
