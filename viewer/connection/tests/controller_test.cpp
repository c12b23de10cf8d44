// The connection controller against a recording transport and window: the message sequences of a
// login, a refusal, a loss with its reconnects, the picture watchdog and the stream request.
#include "BasicParts.h"
#include "ConnectionController.h"
#include "LiveLayout.h"
#include "ViewStrings.h"
#include "conduix/NsmgTypes.h"
#include "wire/ByteOrder.h"
#include "wire/StreamFrame.h"
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <functional>
#include <map>
#include <string>
#include <vector>

using namespace connection;
using ::testing::ElementsAre;

namespace {

struct Sent {
    uint16_t command;
    std::vector<uint8_t> payload;
};

class FakeTransport : public ITransport {
public:
    bool Connect(std::string_view address, int port) override
    {
        connects++;
        lastAddress = std::string(address);
        lastPort = port;
        return acceptConnect;
    }
    bool SendInit() override { return ++inits, true; }
    bool SendPacket(uint16_t command, const uint8_t* payload, size_t length) override
    {
        sent.push_back({command, std::vector<uint8_t>(payload, payload + length)});
        return !(failLogin && command == 1);
    }
    bool SendStream(const uint8_t* data, size_t length) override
    {
        streamBytes.emplace_back(data, data + length);
        return true;
    }
    void Disconnect() override { disconnects++; }

    std::vector<uint16_t> Commands() const
    {
        std::vector<uint16_t> c;
        for (auto& s : sent)
            c.push_back(s.command);
        return c;
    }
    int Count(uint16_t command) const
    {
        int n = 0;
        for (auto& s : sent)
            n += s.command == command;
        return n;
    }

    bool acceptConnect = true;
    bool failLogin = false;
    int connects = 0, inits = 0, disconnects = 0;
    std::string lastAddress;
    int lastPort = 0;
    std::vector<Sent> sent;
    std::vector<std::vector<uint8_t>> streamBytes;
};

class FakeWindow : public IViewWindow {
public:
    ConnectFields ReadFields() override { return fields; }
    void Log(int textId, std::string_view arg) override
    {
        std::string t;
        if (const wchar_t* w = viewer_strings::DefaultText(textId))
            for (; *w; ++w)
                t += static_cast<char>(*w); // the English texts are ASCII
        if (auto p = t.find("%s"); p != std::string::npos)
            t.replace(p, 2, arg);
        log.push_back(t);
    }
    void StartTimer(ViewTimer timer, unsigned periodMs) override { timers[timer] = periodMs; }
    void StopTimer(ViewTimer timer) override { timers.erase(timer); }
    void EnableConnectFields(bool enable) override { fieldsEnabled = enable; }
    void SaveConnectInfo() override { saves++; }
    void Pause(unsigned ms) override { paused += ms; }
    uint32_t SkinCode() override { return skinCode; }
    void FatalDecoderStart() override { fatal = true; }
    void UnloadLanguage() override { languageUnloaded = true; }
    void CloseHost() override { hostClosed = true; }

    bool Running(ViewTimer t) const { return timers.count(t) != 0; }

    ConnectFields fields{"127.0.0.1", 50000, "Admin", "1111"};
    std::vector<std::string> log;
    std::map<ViewTimer, unsigned> timers;
    bool fieldsEnabled = true;
    int saves = 0;
    unsigned paused = 0;
    uint32_t skinCode = 0;
    bool fatal = false, languageUnloaded = false, hostClosed = false;
};

class FakeDecode : public IDecodeThreads {
public:
    bool Start() override
    {
        starts++;
        running = startOk;
        return startOk;
    }
    void Stop() override
    {
        stops++;
        running = false;
    }
    bool Running() const override { return running; }
    void SetPictureWatchdog(bool on) override { watchdog = on; }
    void MakeDecoder(int channels) override { made.push_back(channels); }
    void FreeDecoder() override
    {
        frees++;
        freedRunning |= running;
    }
    bool startOk = true, running = false, watchdog = false, freedRunning = false;
    int starts = 0, stops = 0, frees = 0;
    std::vector<int> made; // the channel counts of the decoder managers made
};

struct Rig {
    FakeTransport transport;
    FakeWindow window;
    NoPanel panel;
    NoAudio audio;
    FakeDecode decode;
    CountingFrameSink frames;
    NoDisplay display;
    AllChannelsLayout layout;
    ConnectionController c{ViewPorts{&transport, &window, &panel, &audio, &decode, &frames, &display, &layout}};

    void Packet(uint16_t command, const std::vector<uint8_t>& payload)
    {
        _tagNsmgPacketHeader h{};
        h.command = command;
        h.length = static_cast<uint32_t>(payload.size());
        c.OnPacket(&h, payload.empty() ? nullptr : payload.data());
    }
    void Stream(uint16_t command, const std::vector<uint8_t>& block)
    {
        _tagNsmgPacketHeader h{};
        h.command = command;
        h.length = static_cast<uint32_t>(block.size());
        _tagNsmgStreamBlock d{};
        d.data = block.data();
        d.length = static_cast<uint32_t>(block.size());
        c.OnStreamBlock(&h, &d);
    }
    void LoginReply(uint32_t result, uint8_t channels, uint32_t channelInfo = 1)
    {
        std::vector<uint8_t> r(32);
        protocol::BuildLoginReply(result, channels, 0, 0, channelInfo, r.data());
        Packet(1, r);
    }
    // Connect command up to an accepted login on a DVR with `channels` channels.
    void LogIn(uint8_t channels = 16)
    {
        c.OnConnectCommand();
        c.OnConnectResult(true);
        Packet(85, {});
        LoginReply(1, channels);
    }
    // One failed attempt as the transport reports it: the loss, then 1445 with 0.
    void FailAttempt()
    {
        c.OnConnectionLost();
        c.OnConnectResult(false);
    }
};

std::vector<uint8_t> VideoFrame(int channel, uint32_t total)
{
    std::vector<uint8_t> f(total);
    wire::StoreLE32(f.data(), static_cast<uint32_t>(16 + channel) << 24);
    wire::StoreLE32(f.data() + 60, total);
    return f;
}

TEST(ConnectionController, LoginSequenceLogsTextsInOrderAndSendsEachRequest)
{
    Rig r;
    r.window.skinCode = 0x51564A58u;
    r.c.LogStartTexts();
    r.c.OnConnectCommand();
    EXPECT_EQ(r.transport.connects, 1);
    EXPECT_EQ(r.transport.lastAddress, "127.0.0.1");
    EXPECT_EQ(r.transport.lastPort, 50000);
    EXPECT_EQ(r.window.saves, 1);
    r.c.OnConnectResult(true);
    EXPECT_EQ(r.transport.inits, 1);
    r.Packet(85, {});
    ASSERT_EQ(r.transport.sent.size(), 1u);
    const auto& login = r.transport.sent[0].payload;
    ASSERT_EQ(login.size(), 272u);
    EXPECT_STREQ(reinterpret_cast<const char*>(login.data()), "admin");
    EXPECT_STREQ(reinterpret_cast<const char*>(login.data() + 128), "1111");
    EXPECT_EQ(wire::LoadLE32(login.data() + 264), 0x80000000u);
    EXPECT_FALSE(r.window.fieldsEnabled);
    EXPECT_TRUE(r.panel.connected);
    EXPECT_TRUE(r.panel.administrator);

    r.LoginReply(1, 16);
    EXPECT_EQ(r.decode.starts, 1);
    EXPECT_TRUE(r.c.State().loggedIn);
    EXPECT_TRUE(r.c.State().quietSwitch);
    // The layout's request, then the stored one again after the accepted login.
    ASSERT_EQ(r.transport.Count(51), 2);
    EXPECT_EQ(wire::LoadLE32(r.transport.sent[1].payload.data()), 0xFFFFu);
    EXPECT_EQ(static_cast<int32_t>(wire::LoadLE32(r.transport.sent[1].payload.data() + 4)), -1);

    r.Packet(51, {});
    EXPECT_EQ(r.transport.sent.back().command, 82);
    r.Packet(51, {}); // "Waiting for images..." only once
    r.Packet(82, {});
    EXPECT_EQ(r.transport.sent.back().command, 138);
    EXPECT_EQ(wire::LoadLE32(r.transport.sent.back().payload.data() + 4), 0u); // mode 0
    ASSERT_EQ(r.transport.streamBytes.size(), 1u);
    EXPECT_EQ(r.transport.streamBytes[0], std::vector<uint8_t>(136, 0));
    EXPECT_FALSE(r.window.Running(ViewTimer::PictureWatchdog));
    r.Stream(138, {});
    EXPECT_TRUE(r.window.Running(ViewTimer::PictureWatchdog));
    EXPECT_EQ(r.window.timers[ViewTimer::PictureWatchdog], 2000u);

    EXPECT_THAT(r.window.log,
                ElementsAre("Start DVR Web Viewer.", "0,9,1,24", "Waiting for connection...",
                            "Starting DVR Web Viewer.", "Check ID : Admin", "Connection established.",
                            "Waiting for images..."));
}

TEST(ConnectionController, EmptyAddressOrUserLogsWithoutCallingTheTransport)
{
    for (auto fields : {ConnectFields{"", 50000, "admin", "1"}, ConnectFields{"10.0.0.1", 50000, "", "1"}}) {
        Rig r;
        r.window.fields = fields;
        r.c.OnConnectCommand();
        EXPECT_EQ(r.transport.connects, 0);
        EXPECT_THAT(r.window.log, ElementsAre("Waiting for connection...", "Empty IP or User ID !"));
        EXPECT_FALSE(r.c.State().connected);
    }
    Rig refused;
    refused.transport.acceptConnect = false;
    refused.c.OnConnectCommand();
    EXPECT_EQ(refused.window.log.back(), "Empty IP or User ID !");
    EXPECT_FALSE(refused.c.State().connected);
}

TEST(ConnectionController, RefusedLoginStopsLikeTheUserAndGivesTheFieldsBack)
{
    struct Case {
        uint32_t result;
        const char* text;
    };
    for (Case k : {Case{2, "Error - Invalid ID or Password."}, Case{0, "Unknown login error."},
                   Case{4, "Unknown login error."}}) {
        Rig r;
        r.c.OnConnectCommand();
        r.c.OnConnectResult(true);
        r.Packet(85, {});
        ASSERT_FALSE(r.window.fieldsEnabled);
        r.LoginReply(k.result, 16);
        EXPECT_EQ(r.window.log.back() == "Disconnect." ? r.window.log[r.window.log.size() - 2] : r.window.log.back(),
                  k.text);
        EXPECT_EQ(r.transport.disconnects, 1);
        EXPECT_TRUE(r.window.fieldsEnabled) << "password must be typable again";
        EXPECT_FALSE(r.panel.connected);
        EXPECT_TRUE(r.c.State().userStopped);
        EXPECT_FALSE(r.window.Running(ViewTimer::Reconnect));
        EXPECT_EQ(r.decode.starts, 0);
        EXPECT_EQ(r.decode.stops, 0) << "no threads were started, nothing to wait for";
        EXPECT_FALSE(r.c.State().loggedIn);
    }
}

TEST(ConnectionController, LoginReplyWithoutChannelInformation)
{
    Rig r;
    r.c.OnConnectCommand();
    r.c.OnConnectResult(true);
    r.Packet(85, {});
    r.Packet(1, std::vector<uint8_t>(20, 1)); // too short to reach byte 28: as if absent
    EXPECT_TRUE(r.c.State().connected);
    r.LoginReply(1, 16, 0); // no channel information, not yet logged in: silent user stop
    EXPECT_TRUE(r.c.State().userStopped);
    EXPECT_EQ(r.transport.disconnects, 1);
    EXPECT_TRUE(r.window.fieldsEnabled);

    Rig out;
    out.LogIn(16);
    out.LoginReply(1, 17); // channel count out of range counts as no channel information
    EXPECT_TRUE(out.c.State().connected);
    EXPECT_EQ(out.c.State().channelCount, 16);
}

TEST(ConnectionController, LossRetriesTenTimesThenReportsConnectionFailed)
{
    Rig r;
    r.LogIn();
    size_t logged = r.window.log.size();
    int connects = r.transport.connects;
    r.c.OnConnectionLost();
    EXPECT_TRUE(r.window.Running(ViewTimer::Reconnect));
    EXPECT_EQ(r.window.timers[ViewTimer::Reconnect], 1000u);
    EXPECT_FALSE(r.window.fieldsEnabled);
    for (int attempt = 1; attempt <= 10; ++attempt) {
        ASSERT_TRUE(r.window.Running(ViewTimer::Reconnect)) << attempt;
        r.c.OnTimer(ViewTimer::Reconnect);
        EXPECT_EQ(r.c.State().reconnectCount, attempt == 10 ? 10 : attempt);
        r.FailAttempt();
    }
    EXPECT_EQ(r.transport.connects - connects, 10);
    EXPECT_FALSE(r.window.Running(ViewTimer::Reconnect));
    EXPECT_TRUE(r.c.State().userStopped);
    EXPECT_TRUE(r.window.fieldsEnabled);
    // Quiet retries: the only new line is the final one.
    ASSERT_EQ(r.window.log.size(), logged + 1);
    EXPECT_EQ(r.window.log.back(), "Connection failed.");
}

// Connect while the DVR is down: whether each attempt is refused at once or hangs past the retry
// period, every attempt counts, the retries are silent, and the eleventh ends the run.
TEST(ConnectionController, AttemptsThatFailOrHangCountAndTheLastEndsWithConnectionFailed)
{
    for (bool hang : {false, true}) {
        Rig r;
        r.c.LogStartTexts();
        r.c.OnConnectCommand();
        r.FailAttempt(); // refused, or timed out by the transport
        for (int tick = 1; tick <= 12 && r.window.Running(ViewTimer::Reconnect); ++tick) {
            r.c.OnTimer(ViewTimer::Reconnect);
            if (!hang)
                r.FailAttempt();
        }
        EXPECT_EQ(r.transport.connects, 11) << "hang " << hang;
        EXPECT_FALSE(r.window.Running(ViewTimer::Reconnect)) << "hang " << hang;
        EXPECT_FALSE(r.c.State().connected) << "hang " << hang;
        EXPECT_TRUE(r.c.State().userStopped) << "hang " << hang;
        EXPECT_TRUE(r.window.fieldsEnabled) << "hang " << hang;
        EXPECT_THAT(r.window.log,
                    ElementsAre("Start DVR Web Viewer.", "0,9,1,24", "Waiting for connection...", "Connection failed."))
            << "hang " << hang;
    }
}

// The first Connect to an address that opens the TCP connection but never asks for the login: the
// attempt is bounded like every retry, and the run ends as silently as refused attempts do.
TEST(ConnectionController, FirstAttemptWithoutALoginRequestIsBoundedAndCounted)
{
    Rig r;
    r.c.LogStartTexts();
    r.c.OnConnectCommand();
    r.c.OnConnectResult(true);
    ASSERT_TRUE(r.window.Running(ViewTimer::Reconnect));
    for (int tick = 1; tick <= 12 && r.window.Running(ViewTimer::Reconnect); ++tick) {
        r.c.OnTimer(ViewTimer::Reconnect);
        if (r.c.State().connected)
            r.c.OnConnectResult(true);
    }
    EXPECT_EQ(r.transport.connects, 11);
    EXPECT_FALSE(r.c.State().connected);
    EXPECT_TRUE(r.window.fieldsEnabled);
    EXPECT_THAT(r.window.log,
                ElementsAre("Start DVR Web Viewer.", "0,9,1,24", "Waiting for connection...", "Connection failed."));
}

// Live phone belongs to one connection: any teardown releases a pressed button, and a refused
// phone switch is the loss of the connection.
TEST(ConnectionController, PhoneButtonGoesUpWithTheConnectionAndARefusedSwitchLosesIt)
{
    Rig r;
    r.LogIn();
    r.panel.phoneDown = true;
    r.Packet(100, {1, 0, 0, 0, 1, 0, 0, 0});
    ASSERT_TRUE(r.c.State().phoneAllowed);
    r.c.OnConnectionLost();
    EXPECT_FALSE(r.panel.phoneDown);
    EXPECT_FALSE(r.c.State().phoneAllowed);
    EXPECT_TRUE(r.window.Running(ViewTimer::Reconnect));

    Rig p;
    p.c.OnPhoneSwitchRefused(); // idle: nothing to lose
    EXPECT_FALSE(p.window.Running(ViewTimer::Reconnect));
    p.LogIn();
    p.c.OnPhoneSwitchRefused();
    EXPECT_FALSE(p.c.State().connected);
    EXPECT_EQ(p.transport.disconnects, 1);
    EXPECT_TRUE(p.window.Running(ViewTimer::Reconnect));
}

TEST(ConnectionController, ReconnectWithinTheAttemptsLogsInAgainQuietly)
{
    Rig r;
    r.LogIn();
    size_t logged = r.window.log.size();
    r.c.OnConnectionLost();
    for (int attempt = 1; attempt <= 3; ++attempt) {
        r.c.OnTimer(ViewTimer::Reconnect);
        r.FailAttempt();
    }
    r.c.OnTimer(ViewTimer::Reconnect);
    r.c.OnConnectResult(true);
    r.Packet(85, {});
    EXPECT_EQ(r.c.State().reconnectCount, 0);
    EXPECT_FALSE(r.window.Running(ViewTimer::Reconnect));
    r.LoginReply(1, 16);
    EXPECT_TRUE(r.c.State().loggedIn);
    EXPECT_EQ(r.window.log.size(), logged) << "established was logged once for this run";
    // The stored request goes out again.
    EXPECT_EQ(r.transport.sent.back().command, 51);
    EXPECT_EQ(wire::LoadLE32(r.transport.sent.back().payload.data()), 0xFFFFu);
    EXPECT_EQ(r.decode.starts, 2);
    EXPECT_EQ(r.decode.stops, 1);
}

// The connection-dropped mark keeps the last pictures while the view reconnects; only a loss the
// user did not ask for sets it, and every way out of the reconnect clears it.
TEST(ConnectionController, ConnectionDroppedMarkLastsFromTheLossToTheNextLoginOrUserStop)
{
    {
        Rig r;
        r.LogIn();
        EXPECT_FALSE(r.display.connectionDropped);
        r.c.OnConnectionLost();
        EXPECT_TRUE(r.display.connectionDropped);
        EXPECT_TRUE(r.c.State().connectionDropped);
        r.c.OnTimer(ViewTimer::Reconnect);
        r.FailAttempt();
        EXPECT_TRUE(r.display.connectionDropped) << "a failed attempt keeps the pictures";
        r.c.OnTimer(ViewTimer::Reconnect);
        r.c.OnConnectResult(true);
        r.Packet(85, {});
        r.LoginReply(1, 16);
        EXPECT_FALSE(r.display.connectionDropped) << "cleared by the next login";
    }
    {
        Rig r; // the user stops between two attempts
        r.LogIn();
        r.c.OnConnectionLost();
        r.c.OnDisconnectCommand();
        EXPECT_FALSE(r.display.connectionDropped);
    }
    {
        Rig r; // the attempts run out
        r.LogIn();
        r.c.OnConnectionLost();
        for (int attempt = 1; attempt <= 10; ++attempt) {
            r.c.OnTimer(ViewTimer::Reconnect);
            r.FailAttempt();
        }
        EXPECT_TRUE(r.c.State().userStopped);
        EXPECT_FALSE(r.display.connectionDropped);
    }
    {
        Rig r; // a user disconnect, and a loss before any login, never set it
        r.LogIn();
        r.c.OnDisconnectCommand();
        EXPECT_FALSE(r.display.connectionDropped);
        Rig s;
        s.c.OnConnectCommand();
        s.c.OnConnectResult(true);
        s.c.OnConnectionLost();
        EXPECT_FALSE(s.display.connectionDropped);
    }
    {
        Rig r; // a user stop between attempts, a new connect, and a loss before its login
        r.LogIn();
        r.c.OnConnectionLost();
        r.c.OnDisconnectCommand();
        r.c.OnConnectCommand();
        r.c.OnConnectResult(true);
        r.c.OnConnectionLost();
        EXPECT_FALSE(r.display.connectionDropped);
    }
}

TEST(ConnectionController, DisconnectDuringTheReconnectWaitEndsTheRetries)
{
    Rig r;
    r.LogIn();
    r.c.OnConnectionLost();
    r.c.OnTimer(ViewTimer::Reconnect);
    r.FailAttempt();
    ASSERT_TRUE(r.window.Running(ViewTimer::Reconnect));
    r.c.OnDisconnectCommand();
    EXPECT_FALSE(r.window.Running(ViewTimer::Reconnect));
    EXPECT_TRUE(r.window.fieldsEnabled);
    EXPECT_FALSE(r.c.State().quietSwitch);
}

TEST(ConnectionController, UserDisconnectAndConnectAgainLogsTheFullSequence)
{
    Rig r;
    r.LogIn();
    r.c.OnDisconnectCommand();
    EXPECT_EQ(r.window.log.back(), "Disconnect.");
    EXPECT_TRUE(r.window.fieldsEnabled);
    EXPECT_FALSE(r.c.State().loggedIn);
    EXPECT_EQ(r.decode.stops, 1);
    r.window.log.clear();
    r.LogIn();
    EXPECT_THAT(r.window.log,
                ElementsAre("Waiting for connection...", "Starting DVR Web Viewer.", "Check ID : Admin",
                            "Connection established."));
}

TEST(ConnectionController, WatchdogPollsTenTimesThenStopsForGood)
{
    Rig r;
    r.LogIn();
    r.Packet(51, {});
    r.Packet(82, {});
    r.Stream(138, {});
    int polls = r.transport.Count(82);
    for (int tick = 1; tick <= 10; ++tick)
        r.c.OnTimer(ViewTimer::PictureWatchdog);
    EXPECT_EQ(r.transport.Count(82) - polls, 10);
    EXPECT_TRUE(r.c.State().connected);
    r.c.OnTimer(ViewTimer::PictureWatchdog);
    EXPECT_FALSE(r.c.State().connected);
    EXPECT_TRUE(r.c.State().userStopped);
    EXPECT_FALSE(r.window.Running(ViewTimer::PictureWatchdog));
    EXPECT_FALSE(r.window.Running(ViewTimer::Reconnect));
    EXPECT_TRUE(r.window.fieldsEnabled);

    // The decode threads' mirror follows the timer, not the login: pictures decoded before the
    // configuration answer must leave it to the pictures after it.
    // A picture stops the watchdog; a second configuration answer does not re-arm it.
    Rig p;
    p.LogIn();
    EXPECT_FALSE(p.decode.watchdog);
    p.Stream(138, {});
    EXPECT_TRUE(p.decode.watchdog);
    p.c.OnPictureShown();
    EXPECT_FALSE(p.decode.watchdog);
    p.Stream(138, {});
    EXPECT_FALSE(p.window.Running(ViewTimer::PictureWatchdog));
}

TEST(ConnectionController, StreamRequestRepeatsUntilTheStreamIsOpen)
{
    Rig r;
    r.LogIn();
    r.Packet(19, {}); // the DVR's PTZ answer asks for the stream again
    EXPECT_EQ(r.window.paused % 100, 0u);
    ASSERT_EQ(r.transport.sent.back().command, 2);
    const auto& req = r.transport.sent.back().payload;
    EXPECT_EQ(wire::LoadLE32(req.data() + 4), 0xFFFFu);
    EXPECT_EQ(static_cast<int32_t>(wire::LoadLE32(req.data() + 8)), 7); // 11 - speed level 4
    EXPECT_TRUE(r.window.Running(ViewTimer::StreamRequest));
    r.c.OnStreamRequestTick();
    EXPECT_EQ(r.transport.Count(2), 2);
    r.c.OnStreamStatus(5, true);
    r.c.OnStreamRequestTick();
    EXPECT_EQ(r.transport.Count(2), 2);
    EXPECT_FALSE(r.window.Running(ViewTimer::StreamRequest));
    EXPECT_EQ(r.c.State().streamValue, 5u);
    // Not connected: nothing is sent.
    r.c.OnDisconnectCommand();
    r.c.RequestStream();
    EXPECT_EQ(r.transport.Count(2), 2);
}

TEST(ConnectionController, StreamBlocksReachTheFrameSinkOnlyOnceTheChannelCountIsKnown)
{
    Rig r;
    r.c.OnConnectCommand();
    r.c.OnConnectResult(true);
    r.Packet(85, {});
    r.Stream(83, VideoFrame(2, 200)); // before the login reply: dropped
    EXPECT_EQ(r.frames.videoFrames, 0u);
    r.LoginReply(1, 4);
    r.Stream(83, VideoFrame(5, 200)); // 21 modulo 4
    auto audio = std::vector<uint8_t>{'3', '2', '7', 'G'};
    audio.resize(300);
    r.Stream(83, audio);
    EXPECT_EQ(r.frames.videoFrames, 1u);
    EXPECT_EQ(r.frames.channelsSeen, 1u << 1);
    EXPECT_EQ(r.frames.audioBlocks, 1u);
    auto lying = VideoFrame(0, 200);
    wire::StoreLE32(lying.data() + 60, 400); // states more than arrived
    r.Stream(83, lying);
    EXPECT_EQ(r.frames.videoFrames, 1u);
}

TEST(ConnectionController, FailedLoginSendAndExit)
{
    Rig r;
    r.transport.failLogin = true;
    r.c.OnConnectCommand();
    r.c.OnConnectResult(true);
    r.Packet(85, {});
    EXPECT_EQ(r.window.log[r.window.log.size() - 2], "Connection failed.");
    EXPECT_TRUE(r.c.State().userStopped);
    EXPECT_TRUE(r.window.fieldsEnabled);

    Rig e;
    e.LogIn();
    e.c.OnExitCommand();
    EXPECT_FALSE(e.c.State().connected);
    EXPECT_EQ(e.decode.stops, 1);
    EXPECT_TRUE(e.window.languageUnloaded);
    EXPECT_TRUE(e.window.hostClosed);

    Rig f;
    f.decode.startOk = false;
    f.LogIn();
    EXPECT_TRUE(f.window.fatal);
}

} // namespace

// ---- the live view's layout logic on the same fakes ----

namespace {

class FakeLiveHost : public ILiveViewHost {
public:
    void ShowPage(int mode, const Page& page) override
    {
        displayMode = mode;
        shown = std::vector<int>(page.channels, page.channels + page.count);
    }
    void RefreshDisplay() override {}
    settings::ViewSetupRecord ReadSettings() override { return record; }
    settings::ViewSetupRecord StoredSettings() override { return record; }
    int32_t AudioChoice() override { return audio; }
    void ShowLayoutButtons(int, int layout) override { pressed = layout; }
    void ShowSelectedAudio() override { audioShown++; }
    void ViewCommand(int command) override { onCommand(command); }
    void ReadResolution(int (&classes)[16], bool& ntsc) override
    {
        for (int& c : classes)
            c = 4;
        ntsc = false;
    }
    settings::ViewSetupRecord record = [] {
        settings::ViewSetupRecord r{};
        for (auto& e : r.channels)
            e = {1, 1, 0, 8, 19, 15, 0, 0};
        r.easy = {1, {0, 1, 2, 3}, 2, 0, 0};
        return r;
    }();
    int32_t audio = 1;
    std::function<void(int)> onCommand;
    int displayMode = -1, pressed = 0, audioShown = 0;
    std::vector<int> shown;
};

struct LiveRig : Rig {
    LiveRig()
    {
        host.onCommand = [this](int command) { live.OnChannelCommand(lc, command - kChannelCommandBase); };
    }
    FakeLiveHost host;
    LiveLayout live{host};
    ConnectionController lc{ViewPorts{&transport, &window, &panel, &audio, &decode, &frames, &display, &live}};

    void Reply(uint8_t channels)
    {
        std::vector<uint8_t> r(32);
        protocol::BuildLoginReply(1, channels, 0, 0, 1, r.data());
        _tagNsmgPacketHeader h{};
        h.command = 1;
        h.length = 32;
        lc.OnPacket(&h, r.data());
    }
    void LogIn(uint8_t channels)
    {
        lc.OnConnectCommand();
        Relogin(channels);
    }
    // The reconnect a quiet switch started, up to its accepted login.
    void Relogin(uint8_t channels)
    {
        lc.OnConnectResult(true);
        _tagNsmgPacketHeader h{};
        h.command = 85;
        lc.OnPacket(&h, nullptr);
        Reply(channels);
    }
    // The channel masks of the requests (51) sent since the last call.
    std::vector<uint32_t> Requests()
    {
        std::vector<uint32_t> masks;
        for (; seen < transport.sent.size(); ++seen)
            if (transport.sent[seen].command == 51)
                masks.push_back(wire::LoadLE32(transport.sent[seen].payload.data()));
        return masks;
    }
    size_t seen = 0;
};

TEST(LiveLayout, FreshLoginShowsTheLayoutOfTheChannelCountAndResendsAfterAcceptance)
{
    LiveRig r;
    r.LogIn(8);
    EXPECT_EQ(r.live.Layout(), 3);
    EXPECT_EQ(r.host.displayMode, 3);
    EXPECT_EQ(r.host.shown, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(r.host.pressed, 3);
    // The page's request, then after the accepted login the stored one again.
    EXPECT_EQ(r.Requests(), (std::vector<uint32_t>{0xFF, 0xFF}));
    EXPECT_TRUE(r.lc.State().quietSwitch);
    EXPECT_EQ(r.transport.Count(138), 1); // "Admin": one configuration
}

TEST(LiveLayout, LayoutAndChannelCommandsSwitchByQuietReconnects)
{
    LiveRig r;
    r.LogIn(16);
    r.Requests();
    const int connects = r.transport.connects;
    r.live.OnLayoutCommand(r.lc, 20); // quietSwitch already set: by reconnecting
    EXPECT_EQ(r.transport.connects, connects + 1);
    EXPECT_TRUE(r.Requests().empty());
    r.Relogin(16);
    EXPECT_EQ(r.live.Layout(), 2);
    EXPECT_EQ(r.host.shown, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(r.Requests(), (std::vector<uint32_t>{0xF, 0xF}));

    // Double-click into channel 3 and out again, each by a quiet reconnect.
    r.live.OnDoubleClick(r.lc, 1, 1);
    r.Relogin(16);
    EXPECT_EQ(r.live.Layout(), 1);
    EXPECT_EQ(r.host.shown, std::vector<int>{3});
    EXPECT_EQ(r.Requests(), (std::vector<uint32_t>{0x8, 0x8}));
    EXPECT_FALSE(r.lc.State().quietChannel);
    r.live.OnDoubleClick(r.lc, 0, 0);
    r.Relogin(16);
    EXPECT_EQ(r.live.Layout(), 2);
    EXPECT_EQ(r.host.shown, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_FALSE(r.lc.State().quietDivision);

    // A channel button from the 16-picture layout; a disabled channel is not requested.
    r.live.OnLayoutCommand(r.lc, 25);
    r.Relogin(16);
    r.Requests();
    r.host.record.channels[9].enabled = 0;
    r.live.OnChannelCommand(r.lc, 9);
    r.Relogin(16);
    EXPECT_EQ(r.host.shown, std::vector<int>{9});
    EXPECT_EQ(r.Requests().front(), 0u);
}

// A layout chosen before the first Connect is the one shown after the login, with its channels
// asked for and the login's texts shown; one the DVR has no room for gives way to its own.
TEST(LiveLayout, LayoutChosenBeforeConnectingIsShownAfterTheLogin)
{
    LiveRig r;
    r.live.OnLayoutCommand(r.lc, 20);
    r.LogIn(16);
    EXPECT_EQ(r.live.Layout(), 2);
    EXPECT_EQ(r.Requests(), (std::vector<uint32_t>{0xF, 0xF}));
    EXPECT_THAT(r.window.log, ::testing::Contains("Check ID : Admin"));

    LiveRig small;
    small.live.OnLayoutCommand(small.lc, 25);
    small.LogIn(8);
    EXPECT_EQ(small.live.Layout(), 3);
    EXPECT_EQ(small.Requests(), (std::vector<uint32_t>{0xFF, 0xFF}));
}

// A layout button between two automatic reconnect attempts is taken at their login, and leaves
// nothing behind for a later button.
TEST(LiveLayout, LayoutButtonBetweenReconnectAttemptsIsTakenAtTheirLoginOnly)
{
    LiveRig r;
    r.LogIn(16);
    r.lc.OnConnectionLost();
    r.live.OnLayoutCommand(r.lc, 20);
    r.lc.OnTimer(ViewTimer::Reconnect);
    r.Relogin(16);
    EXPECT_EQ(r.live.Layout(), 2);
    r.Requests();
    r.live.OnLayoutCommand(r.lc, 22);
    r.Relogin(16);
    EXPECT_EQ(r.live.Layout(), 3);
    EXPECT_EQ(r.Requests(), (std::vector<uint32_t>{0x1FF, 0x1FF}));

    // A switch whose own attempt is lost is made at the automatic reconnect's login.
    r.live.OnLayoutCommand(r.lc, 20);
    r.lc.OnConnectionLost();
    r.lc.OnTimer(ViewTimer::Reconnect);
    r.Relogin(16);
    EXPECT_EQ(r.live.Layout(), 2);
}

TEST(LiveLayout, AutomaticReconnectKeepsTheLayout)
{
    LiveRig r;
    r.LogIn(16);
    r.live.OnLayoutCommand(r.lc, 22);
    r.Relogin(16);
    ASSERT_EQ(r.live.Layout(), 3);
    r.Requests();
    r.lc.OnConnectionLost();
    r.lc.OnTimer(ViewTimer::Reconnect);
    r.Relogin(16);
    EXPECT_EQ(r.live.Layout(), 3);
    EXPECT_EQ(r.host.audioShown, 1);
    // Only the stored request goes out again.
    EXPECT_EQ(r.Requests(), std::vector<uint32_t>{0xFFFF});

    // A layout button after the reconnect still switches, as the view's own attempt: the retry
    // timer only bounds it.
    r.live.OnLayoutCommand(r.lc, 20);
    EXPECT_FALSE(r.lc.State().reconnectPending);
    r.Relogin(16);
    EXPECT_EQ(r.live.Layout(), 2);
    EXPECT_EQ(r.Requests().front(), 0xFu);
}

TEST(LiveLayout, DecoderManagerMadeAtTheLoginKeptByQuietSwitchesAndReconnectsFreedByAUserStop)
{
    LiveRig r;
    r.LogIn(16);
    EXPECT_EQ(r.decode.made, std::vector<int>{16});
    r.live.OnLayoutCommand(r.lc, 20);
    r.Relogin(16);
    r.live.OnChannelCommand(r.lc, 5);
    r.Relogin(16);
    r.lc.OnConnectionLost();
    r.lc.OnTimer(ViewTimer::Reconnect);
    r.Relogin(16);
    EXPECT_EQ(r.decode.made, std::vector<int>{16});
    EXPECT_EQ(r.decode.frees, 0);

    // The DVR comes back with eight channels: a manager for eight, and the layout and requests of
    // a fresh login on eight channels instead of the 16-channel ones kept.
    r.Requests();
    r.lc.OnConnectionLost();
    r.lc.OnTimer(ViewTimer::Reconnect);
    r.Relogin(8);
    EXPECT_EQ(r.decode.made, (std::vector<int>{16, 8}));
    EXPECT_EQ(r.live.Layout(), 3);
    EXPECT_EQ(r.Requests(), (std::vector<uint32_t>{0xFF, 0xFF}));
    // A count without a layout of its own keeps the layout; the request kept from the eight
    // channels is cut to the DVR's two.
    r.lc.OnConnectionLost();
    r.lc.OnTimer(ViewTimer::Reconnect);
    r.Relogin(2);
    EXPECT_EQ(r.Requests(), std::vector<uint32_t>{0x3});

    r.lc.OnDisconnectCommand();
    EXPECT_EQ(r.decode.frees, 1);
    EXPECT_FALSE(r.decode.freedRunning) << "freed before the threads stopped";
    r.LogIn(16);
    EXPECT_EQ(r.decode.made, (std::vector<int>{16, 8, 2, 16}));
}

TEST(LiveLayout, ConfigurationOnlyForAdministratorsWithEasySetupApplied)
{
    LiveRig r;
    r.window.fields.userId = "guest";
    r.LogIn(4);
    EXPECT_EQ(r.live.Layout(), 2);
    EXPECT_EQ(r.transport.Count(138), 0);

    LiveRig a;
    a.LogIn(4);
    // The body holds easy setup for the 4-picture layout: level 1 -> 9, and with sixteen enabled
    // D1 channels (weight 64) 200 / 64 = 3, >> 2 = 0: step 1, interval 25, rate 1.
    ASSERT_EQ(a.transport.Count(138), 1);
    ASSERT_FALSE(a.transport.streamBytes.empty());
    const std::vector<uint8_t>& body = a.transport.streamBytes.back();
    ASSERT_EQ(body.size(), 136u);
    EXPECT_EQ(body[4], 9);
    EXPECT_EQ(body[3], 25);
    EXPECT_EQ(body[5], 1);
}

} // namespace
