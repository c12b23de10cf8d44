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
    CLI::App app{"dvrsim: a simulated DVR speaking Conduix framing on a loopback TCP port.\n"
                 "Answers the init packet with command 85, checks logins against its accounts, answers\n"
                 "commands 2, 4, 19, 51, 82, 100 and 138 as a DVR does, and writes every command it\n"
                 "receives, decoded, to the log."};
    app.add_option("--host", o.host, "IPv4 address to listen on")->capture_default_str();
    app.add_option("--port", o.port, "TCP port (0: any free port; the port is printed)")->capture_default_str();
    app.add_option("--channels", o.channels, "channel count in the login reply")
        ->check(CLI::IsMember({4, 8, 16}))
        ->capture_default_str();
    app.add_option("--account", accounts,
                   "ID:PASSWORD of an account; repeatable; replaces the defaults admin:1111, manager:2222, user:3333");
    app.add_option("--max-users", o.maxUsers, "logged-in viewers at once; one more gets result 4 (too many users)")
        ->check(CLI::Range(0, 1000))
        ->capture_default_str();
    app.add_option("--login-result", o.loginResult, "answer every login with this result value (e.g. 1, 2, 4, 8)")
        ->check(CLI::Range(0, 0x7FFFFFFF));
    app.add_flag("--refuse-logins", o.refuseLogins, "answer every login with result 2 (wrong ID or password)");
    app.add_flag("--no-pictures", o.noPictures,
                 "send no stream blocks after login and leave picture polls (82) unanswered");
    app.add_flag("--close-on-connect", o.closeOnConnect, "close each connection as soon as it is accepted");
    app.add_option("--drop-after", o.dropAfterSeconds, "close each connection this many seconds after it was accepted")
        ->check(CLI::PositiveNumber);
    app.add_option("--disconnect-after", o.disconnectAfterSeconds,
                   "send command 9 (disconnect) this many seconds after a login is accepted")
        ->check(CLI::PositiveNumber);
    app.add_flag("--no-channel-info", o.noChannelInfo, "answer logins without channel information (word 28 is 0)");
    app.add_flag("--hang-connects", o.hangConnects,
                 "accept nothing and keep the accept queue full: connection attempts hang until they time out");
    app.add_flag("--silent", o.silent, "accept connections and answer nothing, not even the init packet");
    app.add_option("--login-delay", o.loginDelaySeconds, "answer each login this many seconds late")
        ->check(CLI::PositiveNumber);
    app.add_option("--login-answer", o.loginAnswer,
                   "how logins are answered: reply, empty (command 1 without payload) or close (the connection)")
        ->check(CLI::IsMember({"reply", "empty", "close"}))
        ->capture_default_str();
    app.add_option("--decoder-byte", o.decoderByte, "login reply byte 6 (0: the viewer's decoder option 1)")
        ->capture_default_str();
    app.add_option("--option-flags", o.optionFlags, "login reply byte 7 (128: four-channel limited)")
        ->capture_default_str();
    app.add_option("--log", o.logPath, "write the decoded log of received commands to FILE ('-': stdout)");
    for (auto& e : dvrsim::Extensions())
        e->AddOptions(app);
    CLI11_PARSE(app, argc, argv);

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
