// dvrtool probe HOST[:PORT] --user ID --password PW: log in to a DVR and say what it answered.
#include "DvrTarget.h"
#include <cstdio>
#include <iostream>

namespace {

struct ProbeArgs : dvrtool::DvrTarget {};

std::string Verdict(const protocol::LoginReply& r)
{
    if (r.Accepted())
        return "accepted";
    if (r.WrongCredentials())
        return "refused: wrong ID or password";
    if (r.result & 4u)
        return "refused: too many users";
    return "refused: unknown login error";
}

void Run(const ProbeArgs& a)
{
    const dvrtool::HostPort at = dvrtool::ParseTarget(a);
    dvrclient::DvrClient client;
    const dvrclient::LoginOutcome out = dvrtool::ConnectAndLogIn(client, at, a);
    if (!out.replied)
        dvrtool::Fail("no login reply from " + at.host + ":" + std::to_string(at.port) + ": " + out.error, 1);
    const protocol::LoginReply& r = out.reply;
    char flags[128];
    std::snprintf(flags, sizeof flags, "byte6=0x%02x byte7=0x%02x (decoder option %d, four-channel limited: %s)",
                  r.decoderByte, r.flags, r.DecoderOption(), r.FourChannelLimited() ? "yes" : "no");
    std::cout << "verdict: " << Verdict(r) << " (result " << r.result << ")\n";
    if (r.HasChannelInfo())
        std::cout << "channels: " << int(r.channelCount) << "\n";
    else
        std::cout << "channels: none (channel count " << int(r.channelCount) << ", word at 28 = " << r.channelInfo
                  << ")\n";
    std::cout << "option bytes: " << flags << "\n";
    std::cout.flush();
    if (!r.Accepted())
        dvrtool::Fail("login " + Verdict(r), 2);
    if (!r.HasChannelInfo())
        dvrtool::Fail("login reply carries no channel information", 3);
}

dvrtool::Registrar reg([](cmdline::Command& app) {
    auto args = std::make_shared<ProbeArgs>();
    cmdline::Command* sub = app.Subcommand("probe",
                                           "connect to a DVR, log in and print the verdict, the channel count "
                                           "and the option bytes; exit 1 on failure, 2 on refusal");
    dvrtool::AddDvrOptions(sub, *args);
    sub->Add("--timeout-ms", args->timeoutMs, "how long to wait for each answer")->ShowDefault();
    sub->Callback([args] { Run(*args); });
});

} // namespace
