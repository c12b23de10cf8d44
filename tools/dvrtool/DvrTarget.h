#pragma once
// What the subcommands that talk to a DVR share: its address and account as options, and the
// connection and login, ending the subcommand when the DVR cannot be reached.
#include "Command.h"
#include "DvrClient.h"
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
inline void AddDvrOptions(CLI::App* sub, DvrTarget& t)
{
    sub->add_option("target", t.target, "HOST[:PORT] (port 50000 when omitted)")->required();
    sub->add_option("--user", t.user, "user ID")->required();
    sub->add_option("--password", t.password, "password")->required();
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

} // namespace dvrtool
