// dvrsim: a DVR on 127.0.0.1 for the viewer, the manager and the tests.
#include "Extension.h"
#include "Simulator.h"
#include <csignal>
#include <cstdio>
#include <iostream>

namespace {
dvrsim::Simulator* g_sim = nullptr;
void OnSignal(int)
{
    if (g_sim)
        g_sim->RequestStop();
}
} // namespace

int main(int argc, char** argv)
{
    dvrsim::Options o;
    std::vector<std::string> accounts;
    cmdline::Program app{"dvrsim: a simulated DVR speaking Conduix framing on a loopback TCP port.\n"
                         "Answers the init packet with command 85, checks logins against its accounts, answers\n"
                         "commands 2, 4, 19, 51, 82, 100 and 138 as a DVR does, and writes every command it\n"
                         "receives, decoded, to the log."};
    app.Add("--host", o.host, "IPv4 address to listen on")->ShowDefault();
    app.Add("--port", o.port, "TCP port (0: any free port; the port is printed)")->ShowDefault();
    app.Add("--channels", o.channels, "channel count in the login reply")->OneOf({4, 8, 16})->ShowDefault();
    app.Add("--account", accounts,
            "ID:PASSWORD of an account; repeatable; replaces the defaults admin:1111, manager:2222, user:3333");
    app.Add("--max-users", o.maxUsers, "logged-in viewers at once; one more gets result 4 (too many users)")
        ->Range(0, 1000)
        ->ShowDefault();
    app.Add("--login-result", o.loginResult, "answer every login with this result value (e.g. 1, 2, 4, 8)")
        ->Range(0, 0x7FFFFFFF);
    app.Flag("--refuse-logins", o.refuseLogins, "answer every login with result 2 (wrong ID or password)");
    app.Flag("--no-pictures", o.noPictures,
             "send no stream blocks after login and leave picture polls (82) unanswered");
    app.Flag("--close-on-connect", o.closeOnConnect, "close each connection as soon as it is accepted");
    app.Add("--drop-after", o.dropAfterSeconds, "close each connection this many seconds after it was accepted")
        ->Positive();
    app.Add("--disconnect-after", o.disconnectAfterSeconds,
            "send command 9 (disconnect) this many seconds after a login is accepted")
        ->Positive();
    app.Flag("--no-channel-info", o.noChannelInfo, "answer logins without channel information (word 28 is 0)");
    app.Flag("--hang-connects", o.hangConnects,
             "accept nothing and keep the accept queue full: connection attempts hang until they time out");
    app.Flag("--silent", o.silent, "accept connections and answer nothing, not even the init packet");
    app.Add("--login-delay", o.loginDelaySeconds, "answer each login this many seconds late")->Positive();
    app.Add("--login-answer", o.loginAnswer,
            "how logins are answered: reply, empty (command 1 without payload) or close (the connection)")
        ->OneOf({"reply", "empty", "close"})
        ->ShowDefault();
    app.Add("--decoder-byte", o.decoderByte, "login reply byte 6 (0: the viewer's decoder option 1)")->ShowDefault();
    app.Add("--option-flags", o.optionFlags, "login reply byte 7 (128: four-channel limited)")->ShowDefault();
    app.Add("--log", o.logPath, "write the decoded log of received commands to FILE ('-': stdout)");
    for (auto& e : dvrsim::Extensions())
        e->AddOptions(app);
    if (int code = 0; !app.Parse(argc, argv, code))
        return code;

    for (auto& a : accounts) {
        auto colon = a.find(':');
        if (colon == std::string::npos || colon == 0) {
            std::cerr << "dvrsim: --account wants ID:PASSWORD, got '" << a << "'\n";
            return 2;
        }
        o.accounts.push_back({a.substr(0, colon), a.substr(colon + 1)});
    }

    dvrsim::Simulator sim(o);
    for (auto& e : dvrsim::Extensions())
        e->Install(sim);
    std::string error;
    if (!sim.Listen(error)) {
        std::cerr << "dvrsim: " << error << "\n";
        return 1;
    }
    g_sim = &sim;
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    std::printf("dvrsim: listening on %s:%u\n", o.host.c_str(), sim.Port());
    std::fflush(stdout);
    sim.Serve();
    sim.Stop();
    return 0;
}
