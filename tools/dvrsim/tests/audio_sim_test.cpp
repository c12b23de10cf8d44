// The simulator's audio against the native client and the real dvrsim program: channel records at
// the DVR's rate with sequence gaps, the talk-back block while live phone is on, the phone switch
// answered (or forbidden), and the viewer's uplink checked and written to a WAV file.
#include "DvrClient.h"
#include "PhoneUplink.h"
#include "ToolAudio.h"
#include "Dispatch.h"
#include "wire/StreamFrame.h"
#include <gtest/gtest.h>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

class SimProgram {
public:
    explicit SimProgram(std::vector<std::string> extra)
    {
        std::vector<std::string> args = {DVRSIM_EXE, "--port", "0", "--channels", "4"};
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        int fds[2];
        if (pipe(fds) != 0)
            return;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
        posix_spawn_file_actions_addclose(&fa, fds[0]);
        if (posix_spawn(&pid_, DVRSIM_EXE, &fa, nullptr, argv.data(), environ) != 0)
            pid_ = 0;
        posix_spawn_file_actions_destroy(&fa);
        close(fds[1]);
        in_ = fdopen(fds[0], "r");
        char line[256] = {};
        unsigned port = 0;
        if (in_ && fgets(line, sizeof line, in_) && sscanf(line, "dvrsim: listening on 127.0.0.1:%u", &port) == 1)
            port_ = static_cast<uint16_t>(port);
    }
    ~SimProgram() { Stop(); }
    void Stop()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            int st = 0;
            waitpid(pid_, &st, 0);
            pid_ = 0;
        }
        if (in_)
            fclose(in_);
        in_ = nullptr;
    }
    uint16_t Port() const { return port_; }

private:
    pid_t pid_ = 0;
    FILE* in_ = nullptr;
    uint16_t port_ = 0;
};

bool LogIn(dvrclient::DvrClient& c, uint16_t port)
{
    std::string err;
    if (!c.Connect("127.0.0.1", port, 3000, err))
        return false;
    auto login = dvrclient::Login(c, "admin", "1111", 3000);
    if (!login.replied || !login.reply.Accepted())
        return false;
    uint8_t req[protocol::kChannelRequestSize];
    protocol::BuildChannelRequest(1, 1, req);
    return c.SendPacket(protocol::kCmdChannelRequest, req, sizeof req);
}

// The next audio record, skipping everything else.
bool NextAudio(dvrclient::DvrClient& c, std::vector<uint8_t>& rec)
{
    conduix::Frame f;
    for (int i = 0; i < 2000; ++i) {
        if (c.Receive(f, 3000) != dvrclient::DvrClient::Result::Frame)
            return false;
        if (f.kind == conduix::FrameKind::Stream && f.header.command == 83 &&
            wire::IsAudioTag(f.payload, f.payloadLength)) {
            rec.assign(f.payload, f.payload + f.payloadLength);
            return true;
        }
    }
    return false;
}

bool PhoneAnswer(dvrclient::DvrClient& c, protocol::PhoneReply& reply)
{
    conduix::Frame f;
    for (int i = 0; i < 2000; ++i) {
        if (c.Receive(f, 3000) != dvrclient::DvrClient::Result::Frame)
            return false;
        if (f.kind == conduix::FrameKind::Packet && f.header.command == 100) {
            reply = protocol::ParsePhoneReply(f.payload, f.payloadLength);
            return true;
        }
    }
    return false;
}

// The live-phone switch (command 100) sent, and the simulator's answer to it.
bool SwitchPhone(dvrclient::DvrClient& c, bool on, protocol::PhoneReply& reply)
{
    uint8_t sw[protocol::kPhoneSwitchSize];
    protocol::BuildPhoneSwitch(on, sw);
    return c.SendPacket(100, sw, sizeof sw) && PhoneAnswer(c, reply);
}

// The viewer's uplink over the native client.
struct ClientLink : audio::IPhoneTransport, audio::IPhoneDevices {
    explicit ClientLink(dvrclient::DvrClient& c) : client(c) {}
    bool SendCommand(uint16_t code, const void* p, size_t n) override { return client.SendPacket(code, p, n); }
    bool SendStream(const void* p, size_t n) override { return client.SendStream(p, n); }
    bool ReadCaptured(void* out, size_t n) override
    {
        auto* s = static_cast<int16_t*>(out);
        for (size_t i = 0; i < n / 2; ++i)
            s[i] = toolaudio::ChannelSample(1, mic++);
        return true;
    }
    void StartCapture() override {}
    void StopCapture() override {}
    void ResetPhonePlayer() override {}
    bool PerformanceCounter(int64_t& c, int64_t& f) override
    {
        c = static_cast<int64_t>(mic);
        f = 8000;
        return true;
    }
    dvrclient::DvrClient& client;
    uint64_t mic = 0;
};

TEST(SimAudio, RecordsTalkBackAndUplink)
{
    const std::string wav = ::testing::TempDir() + "uplink_" + std::to_string(getpid()) + ".wav";
    SimProgram sim({"--audio-gap-every", "10", "--audio-gap", "2", "--uplink-wav", wav});
    ASSERT_NE(sim.Port(), 0);
    dvrclient::DvrClient c;
    ASSERT_TRUE(LogIn(c, sim.Port()));

    // Records of 216 bytes with all four channels; every tenth is followed by a jump of 3; time
    // stamps 16 ms apart.
    std::vector<uint8_t> rec;
    wire::AudioBlockHeader prev{}, h{};
    int jumps = 0;
    for (int i = 0; i < 30; ++i) {
        ASSERT_TRUE(NextAudio(c, rec));
        ASSERT_TRUE(wire::ParseAudioBlockHeader(rec.data(), rec.size(), h));
        EXPECT_EQ(rec.size(), 216u);
        EXPECT_EQ(h.length, 216u);
        EXPECT_EQ(h.channelMask, 0xFu);
        if (i > 0) {
            const uint32_t step = h.sequence - prev.sequence;
            EXPECT_TRUE(step == 1 || step == 3) << step;
            jumps += step == 3;
            const int64_t us = (int64_t(h.seconds) - prev.seconds) * 1000000 + h.microseconds - prev.microseconds;
            EXPECT_GE(us, 0);
        }
        prev = h;
    }
    EXPECT_GE(jumps, 2);

    // Live phone on: allowed, and the records carry the talk-back block.
    protocol::PhoneReply reply;
    ASSERT_TRUE(SwitchPhone(c, true, reply));
    EXPECT_EQ(reply.effect, protocol::PhoneReply::Allow);
    bool talkBack = false;
    for (int i = 0; i < 20 && !talkBack; ++i) {
        ASSERT_TRUE(NextAudio(c, rec));
        talkBack = rec.size() == 264;
    }
    EXPECT_TRUE(talkBack);

    // The viewer's uplink: 40 records built by CPhoneUplink on a real coder set.
    CAudioCoderSet set;
    ASSERT_EQ(set.Init(6), 1);
    audio::CCoderSetCoding coding(set);
    ClientLink link(c);
    audio::CPhoneUplink phone(coding, link, link);
    phone.SetButton(true);
    phone.OnDvrAnswer(1);
    for (int i = 0; i < 6 * 40; ++i)
        phone.OnCaptured(true);
    EXPECT_EQ(phone.PacketCounter(), 40u);
    phone.SetButton(false);
    // Answers to the uplink's own switch on, then to the switch off: the simulator has read
    // everything sent before them.
    ASSERT_TRUE(PhoneAnswer(c, reply));
    EXPECT_EQ(reply.effect, protocol::PhoneReply::Allow);
    ASSERT_TRUE(PhoneAnswer(c, reply));
    EXPECT_EQ(reply.effect, protocol::PhoneReply::Forbid);
    c.Close();
    sim.Stop();

    const auto got = toolaudio::ReadWav(wav);
    ASSERT_EQ(got.size(), 40u * 768);
    std::vector<int16_t> sent(got.size());
    for (size_t i = 0; i < sent.size(); ++i)
        sent[i] = toolaudio::ChannelSample(1, i);
    EXPECT_GT(toolaudio::Correlation(got, sent, 800, sent.size() - 800), 0.9);
    std::remove(wav.c_str());
}

TEST(SimAudio, PhoneForbiddenOnDemand)
{
    SimProgram sim({"--forbid-phone", "--no-audio"});
    ASSERT_NE(sim.Port(), 0);
    dvrclient::DvrClient c;
    ASSERT_TRUE(LogIn(c, sim.Port()));
    protocol::PhoneReply reply;
    ASSERT_TRUE(SwitchPhone(c, true, reply));
    EXPECT_EQ(reply.effect, protocol::PhoneReply::Forbid);
}

} // namespace
