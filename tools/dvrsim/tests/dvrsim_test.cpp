// The simulator against the native client: login verdicts, user limit, the answers to each
// command and the decoded log, faults on demand; and the real programs: dvrsim with dvrtool probe.
#include "DvrClient.h"
#include "Extension.h"
#include "Simulator.h"
#include "Dispatch.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

using dvrclient::DvrClient;

namespace {

class Running {
public:
    explicit Running(dvrsim::Options o, bool withExtensions = false)
    {
        o.port = 0;
        if (o.logPath.empty())
            o.logPath = ::testing::TempDir() + "dvrsim_test_" + std::to_string(::getpid()) + ".log";
        log = o.logPath;
        sim = std::make_unique<dvrsim::Simulator>(o);
        if (withExtensions)
            for (auto& e : dvrsim::Extensions())
                e->Install(*sim);
        std::string err;
        EXPECT_TRUE(sim->Listen(err)) << err;
        thread = std::thread([this] { sim->Serve(); });
    }
    ~Running()
    {
        sim->RequestStop();
        thread.join();
        sim->Stop();
        std::remove(log.c_str());
    }
    std::string Log() const
    {
        std::ifstream f(log);
        std::stringstream ss;
        ss << f.rdbuf();
        return ss.str();
    }
    uint16_t Port() const { return sim->Port(); }

    std::unique_ptr<dvrsim::Simulator> sim;
    std::thread thread;
    std::string log;
};

bool Connect(DvrClient& c, const Running& r)
{
    std::string err;
    return c.Connect("127.0.0.1", r.Port(), 2000, err);
}

// Connected to the simulator and logged in as the administrator.
bool LogIn(DvrClient& c, const Running& r)
{
    return Connect(c, r) && dvrclient::Login(c, "admin", "1111", 2000).replied;
}

// The next packet or stream frame with this command (status frames count as command 0xFFFF).
bool Await(DvrClient& c, conduix::FrameKind kind, uint16_t command, conduix::Frame& f, int ms = 2000)
{
    for (;;) {
        if (c.Receive(f, ms) != DvrClient::Result::Frame)
            return false;
        if (f.kind == kind && (kind == conduix::FrameKind::StreamStatus || f.header.command == command))
            return true;
    }
}

// Packet `code` sent, and the DVR's packet of the same code received.
template <size_t N> bool Exchange(DvrClient& c, uint16_t code, const uint8_t (&packet)[N], conduix::Frame& f)
{
    return c.SendPacket(code, packet, N) && Await(c, conduix::FrameKind::Packet, code, f);
}

} // namespace

TEST(DvrSim, LoginVerdicts)
{
    dvrsim::Options o;
    o.channels = 8;
    o.decoderByte = 3;
    o.optionFlags = 0x80;
    Running r(o);
    struct Case {
        const char* id;
        const char* pw;
        uint32_t result;
    } cases[] = {{"ADMIN", "1111", 1}, {"manager", "2222", 1}, {"user", "3333", 1},
                 {"admin", "2222", 2}, {"nobody", "1111", 2},  {"user", "", 2}};
    for (auto& c : cases) {
        DvrClient client;
        ASSERT_TRUE(Connect(client, r));
        auto out = dvrclient::Login(client, c.id, c.pw, 2000);
        ASSERT_TRUE(out.replied) << out.error;
        EXPECT_EQ(c.result, out.reply.result) << c.id << "/" << c.pw;
        EXPECT_TRUE(out.reply.HasChannelInfo());
        EXPECT_EQ(8, out.reply.channelCount);
        EXPECT_EQ(3, out.reply.decoderByte);
        EXPECT_TRUE(out.reply.FourChannelLimited());
    }
    EXPECT_NE(std::string::npos, r.Log().find("cmd 1 login id=admin password=1111 word260=1 skin=0x00000000 result=1"));

    dvrsim::Options forced;
    forced.loginResult = 8;
    Running f(forced);
    DvrClient client;
    ASSERT_TRUE(Connect(client, f));
    EXPECT_EQ(8u, dvrclient::Login(client, "admin", "1111", 2000).reply.result);
}

TEST(DvrSim, TooManyUsers)
{
    dvrsim::Options o;
    o.maxUsers = 1;
    Running r(o);
    auto a = std::make_unique<DvrClient>();
    DvrClient b;
    ASSERT_TRUE(Connect(*a, r));
    ASSERT_TRUE(Connect(b, r));
    EXPECT_EQ(1u, dvrclient::Login(*a, "user", "3333", 2000).reply.result);
    EXPECT_EQ(4u, dvrclient::Login(b, "admin", "1111", 2000).reply.result);
    a.reset(); // the first viewer leaves: its place becomes free once its session has ended
    uint32_t result = 0;
    for (int i = 0; i < 50 && result != 1; ++i) {
        DvrClient c;
        ASSERT_TRUE(Connect(c, r));
        result = dvrclient::Login(c, "admin", "1111", 2000).reply.result;
        if (result != 1)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(1u, result);
}

TEST(DvrSim, AnswersCommandsAndLogsThemDecoded)
{
    Running r(dvrsim::Options{});
    DvrClient c;
    ASSERT_TRUE(Connect(c, r));
    ASSERT_TRUE(dvrclient::Login(c, "Admin", "1111", 2000).replied);
    conduix::Frame f;

    uint8_t cr[protocol::kChannelRequestSize];
    protocol::BuildChannelRequest(0xF, -1, cr);
    ASSERT_TRUE(Exchange(c, 51, cr, f));

    uint8_t poll[protocol::kPicturePollSize];
    protocol::BuildPicturePoll(poll);
    ASSERT_TRUE(Exchange(c, 82, poll, f));

    uint8_t ch[protocol::kConfigurationHeaderSize];
    protocol::BuildConfigurationHeader(1, ch);
    std::vector<uint8_t> cfg(136, 0);
    cfg[0] = 7;
    cfg[135] = 9;
    ASSERT_TRUE(c.SendPacket(138, ch, sizeof ch));
    ASSERT_TRUE(c.SendStream(cfg.data(), cfg.size()));
    ASSERT_TRUE(Await(c, conduix::FrameKind::Stream, 138, f));
    EXPECT_EQ(cfg, std::vector<uint8_t>(f.payload, f.payload + f.payloadLength)); // the DVR now holds it
    EXPECT_EQ(protocol::StreamKind::ConfigurationAnswered,
              protocol::DecideStream(f.header.command, f.payload, f.payloadLength, 16).kind);
    ASSERT_TRUE(Await(c, conduix::FrameKind::StreamStatus, 0, f));
    EXPECT_EQ(1u, f.statusOpen);

    uint8_t sr[protocol::kStreamRequestSize];
    protocol::BuildStreamRequest(0x3, 1, sr);
    ASSERT_TRUE(Exchange(c, 2, sr, f));
    ASSERT_TRUE(Await(c, conduix::FrameKind::StreamStatus, 0, f));
    EXPECT_EQ(3u, f.statusValue);

    uint8_t pa[protocol::kPtzActionSize];
    protocol::BuildPtzAction(2, 13, pa);
    ASSERT_TRUE(Exchange(c, 19, pa, f));

    uint8_t ps[protocol::kPhoneSwitchSize];
    protocol::BuildPhoneSwitch(true, ps);
    ASSERT_TRUE(Exchange(c, 100, ps, f));
    EXPECT_EQ(protocol::PhoneReply::Allow, protocol::ParsePhoneReply(f.payload, f.payloadLength).effect);
    ASSERT_TRUE(c.SendPacket(77, nullptr, 0));
    ASSERT_TRUE(Exchange(c, 51, cr, f)); // a last answer proves everything before was handled

    std::string log = r.Log();
    for (const char* line :
         {"1 init", "cmd 1 login id=admin password=1111", "cmd 51 channel-request mask=0x0000000f audio=-1",
          "cmd 82 picture-poll w0=1 w4=0", "cmd 138 configuration w0=1 mode=1 length=136",
          "stream 138 configuration bytes=136 nonzero=2", "cmd 2 stream-request zero=0 mask=0x00000003 pace=10",
          "cmd 19 ptz-action channel=2 action=13 w8=1 w12=5", "cmd 100 phone-switch state=1", "cmd 77 unknown bytes=0"})
        EXPECT_NE(std::string::npos, log.find(line)) << line << "\n" << log;
}

TEST(DvrSim, ChecksChannelRequestsAndConfigurationsAgainstItsChannels)
{
    dvrsim::Options o;
    o.channels = 8;
    Running r(o);
    DvrClient c;
    ASSERT_TRUE(LogIn(c, r));
    conduix::Frame f;
    for (uint32_t mask : {0x1FFu, 0xC3u}) {
        uint8_t cr[protocol::kChannelRequestSize];
        protocol::BuildChannelRequest(mask, 1, cr);
        ASSERT_TRUE(Exchange(c, 51, cr, f));
    }
    uint8_t ch[protocol::kConfigurationHeaderSize];
    protocol::BuildConfigurationHeader(1, ch);
    for (bool beyond : {false, true}) {
        std::vector<uint8_t> cfg(136, 0);
        for (int e = 0; e < 8; ++e)
            std::copy_n(std::vector<uint8_t>{1, 1, 0, 8, 19, 3}.begin(), 6, cfg.begin() + e * 8);
        cfg[9 * 8 + 1] = beyond;
        cfg[128] = 1;
        cfg[133] = 2;
        ASSERT_TRUE(c.SendPacket(138, ch, sizeof ch));
        ASSERT_TRUE(c.SendStream(cfg.data(), cfg.size()));
        ASSERT_TRUE(Await(c, conduix::FrameKind::Stream, 138, f));
    }
    const std::string log = r.Log();
    for (const char* line : {"mask=0x000001ff audio=1 bytes=32 channels=9 bad beyond=0x00000100",
                             "mask=0x000000c3 audio=1 bytes=32 channels=4 ok",
                             "record 0:1/8/19/3 1:1/8/19/3 2:1/8/19/3 3:1/8/19/3 4:1/8/19/3 5:1/8/19/3 6:1/8/19/3 "
                             "7:1/8/19/3 easy=1 levels=0,0,0,0 refresh=2 ok",
                             "refresh=2 bad"})
        EXPECT_NE(std::string::npos, log.find(line)) << line << "\n" << log;
}

TEST(DvrSim, FaultsOnDemand)
{
    conduix::Frame f;
    {
        dvrsim::Options o;
        o.closeOnConnect = true;
        Running r(o);
        DvrClient c;
        ASSERT_TRUE(Connect(c, r));
        EXPECT_EQ(DvrClient::Result::Closed, c.Receive(f, 2000));
    }
    {
        dvrsim::Options o;
        o.dropAfterSeconds = 0.3;
        Running r(o);
        DvrClient c;
        ASSERT_TRUE(LogIn(c, r));
        EXPECT_EQ(DvrClient::Result::Closed, c.Receive(f, 3000));
        EXPECT_NE(std::string::npos, r.Log().find("close drop-after"));
    }
    {
        dvrsim::Options o;
        o.refuseLogins = true;
        Running r(o);
        DvrClient c;
        ASSERT_TRUE(Connect(c, r));
        EXPECT_EQ(2u, dvrclient::Login(c, "admin", "1111", 2000).reply.result);
    }
    {
        // A login too short to read is logged and ignored; the session goes on.
        Running r(dvrsim::Options{});
        DvrClient c;
        ASSERT_TRUE(Connect(c, r));
        ASSERT_TRUE(c.SendPacket(1, "x", 1));
        ASSERT_TRUE(c.SendInit());
        ASSERT_TRUE(Await(c, conduix::FrameKind::Packet, 85, f));
        EXPECT_NE(std::string::npos, r.Log().find("cmd 1 login malformed bytes=1"));
    }
}

TEST(DvrSim, ProducersRunAfterLoginUnlessPicturesAreOff)
{
    // The synthetic producer is an extension driven by options; install it with options set.
    auto withSynthetic = [](dvrsim::Options o) {
        auto r = std::make_unique<Running>(o);
        r->sim->AddProducer([](dvrsim::Session&) {
            struct P : dvrsim::Producer {
                int PeriodMs() const override { return 5; }
                void Tick(dvrsim::Session& s) override
                {
                    std::vector<uint8_t> b(200, 0);
                    wire::VideoFrameHeader h;
                    h.word0 = wire::MakeVideoWord0(3, false);
                    h.total = 200;
                    wire::BuildVideoFrameHeader(h, b.data());
                    s.SendStreamBlock(83, b.data(), b.size());
                }
            };
            return std::make_unique<P>();
        });
        return r;
    };
    conduix::Frame f;
    {
        auto r = withSynthetic(dvrsim::Options{});
        DvrClient c;
        ASSERT_TRUE(LogIn(c, *r));
        ASSERT_TRUE(Await(c, conduix::FrameKind::Stream, 83, f));
        auto d = protocol::DecideStream(f.header.command, f.payload, f.payloadLength, 16);
        EXPECT_EQ(protocol::StreamKind::Video, d.kind);
        EXPECT_EQ(3, d.channel);
    }
    {
        dvrsim::Options o;
        o.noPictures = true;
        auto r = withSynthetic(o);
        DvrClient c;
        ASSERT_TRUE(LogIn(c, *r));
        uint8_t poll[8];
        protocol::BuildPicturePoll(poll);
        ASSERT_TRUE(c.SendPacket(82, poll, 8));
        EXPECT_FALSE(Await(c, conduix::FrameKind::Stream, 83, f, 300));
        EXPECT_NE(std::string::npos, r->Log().find("cmd 82 picture-poll w0=1 w4=0 unanswered"));
    }
}

namespace {
// Runs a program, returns its exit code; its stdout in `out`.
int RunProgram(std::vector<std::string> args, std::string& out)
{
    std::string cmd;
    for (auto& a : args)
        cmd += "'" + a + "' ";
    cmd += "2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p)
        return -1;
    char buf[4096];
    size_t n;
    out.clear();
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    int st = pclose(p);
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}
} // namespace

TEST(DvrSimProgram, HelpAndProbe)
{
    std::string out;
    ASSERT_EQ(0, RunProgram({DVRSIM_EXE, "--help"}, out));
    for (const char* opt : {"--port", "--channels", "--account", "--max-users", "--login-result", "--refuse-logins",
                            "--no-pictures", "--close-on-connect", "--drop-after", "--log", "--synthetic-rate",
                            "--silent", "--login-delay", "--login-answer"})
        EXPECT_NE(std::string::npos, out.find(opt)) << opt;

    // The real simulator on a free port, with an account of its own.
    int pipefd[2];
    ASSERT_EQ(0, pipe(pipefd));
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, pipefd[1], 1);
    posix_spawn_file_actions_addclose(&fa, pipefd[0]);
    const char* argv[] = {DVRSIM_EXE, "--port", "0", "--channels", "4", "--account", "guest:pw:with:colons", nullptr};
    pid_t pid = 0;
    int spawned = posix_spawn(&pid, DVRSIM_EXE, &fa, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&fa);
    ASSERT_EQ(0, spawned);
    close(pipefd[1]);
    FILE* in = fdopen(pipefd[0], "r");
    char line[256] = {};
    ASSERT_NE(nullptr, fgets(line, sizeof line, in));
    unsigned port = 0;
    ASSERT_EQ(1, sscanf(line, "dvrsim: listening on 127.0.0.1:%u", &port)) << line;
    std::string target = "127.0.0.1:" + std::to_string(port);

    EXPECT_EQ(0, RunProgram({DVRTOOL_EXE, "probe", target, "--user", "guest", "--password", "pw:with:colons"}, out));
    EXPECT_NE(std::string::npos, out.find("verdict: accepted (result 1)")) << out;
    EXPECT_NE(std::string::npos, out.find("channels: 4")) << out;
    EXPECT_NE(std::string::npos, out.find("option bytes: byte6=0x00 byte7=0x00")) << out;

    EXPECT_EQ(2, RunProgram({DVRTOOL_EXE, "probe", target, "--user", "admin", "--password", "1111"}, out));
    EXPECT_NE(std::string::npos, out.find("wrong ID or password")) << out;

    kill(pid, SIGTERM);
    int st = 0;
    waitpid(pid, &st, 0);
    fclose(in);
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);

    EXPECT_EQ(1, RunProgram({DVRTOOL_EXE, "probe", target, "--user", "admin", "--password", "1111"}, out));
    EXPECT_NE(std::string::npos, out.find("cannot connect")) << out;
    EXPECT_EQ(1, RunProgram({DVRTOOL_EXE, "probe", "127.0.0.1:99999", "--user", "a", "--password", "b"}, out));
}
