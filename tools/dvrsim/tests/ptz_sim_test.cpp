// The simulator's PTZ log: what a camera would do with the bytes of command 4, and command 19.
#include "DvrClient.h"
#include "Protocols.h"
#include "ServedSimulator.h"
#include "wire/ByteOrder.h"
#include <gtest/gtest.h>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

std::vector<uint8_t> Command4(const std::vector<uint8_t>& bytes, uint32_t count, uint32_t value)
{
    std::vector<uint8_t> p(268, 0);
    wire::StoreLE32(p.data(), 2);
    wire::StoreLE32(p.data() + 4, count);
    wire::StoreLE32(p.data() + 8, value);
    std::copy(bytes.begin(), bytes.end(), p.begin() + 12);
    return p;
}

TEST(DvrSimPtz, LogsWhatTheCameraWouldDo)
{
    const dvrsim::Options o = dvrsim::TestOptions(::testing::TempDir(), "dvrsim_ptz");
    dvrsim::ServedSimulator sim(o);
    std::string err;
    ASSERT_TRUE(sim.Start(err)) << err;

    dvrclient::DvrClient c;
    ASSERT_TRUE(c.Connect("127.0.0.1", sim.Port(), 2000, err)) << err;
    const std::vector<uint8_t> up = panlink::Build(panlink::FindProtocol("pelco-d"), 1, PTZ_CMD_UP, 32);
    std::vector<uint8_t> corrupt = up;
    corrupt.back() ^= 1;
    const std::vector<uint8_t> stop = panlink::Build(panlink::FindProtocol("ad-rs422"), 4, PTZ_CMD_STOP);
    const std::vector<std::vector<uint8_t>> packets = {Command4(up, uint32_t(up.size()), 2400),
                                                       Command4(corrupt, uint32_t(corrupt.size()), 2400),
                                                       Command4(stop, uint32_t(stop.size()), 4800),
                                                       Command4({}, 257, 0),
                                                       {1, 2, 3}};
    for (const auto& p : packets)
        ASSERT_TRUE(c.SendPacket(4, p.data(), p.size()));
    uint8_t action[16] = {};
    wire::StoreLE32(action, 3);
    wire::StoreLE32(action + 4, 22);
    ASSERT_TRUE(c.SendPacket(19, action, sizeof action));
    conduix::Frame f;
    int answers = 0; // every command is answered; the last answer proves all were logged
    while (answers < 6 && c.Receive(f, 2000) == dvrclient::DvrClient::Result::Frame)
        answers += f.kind == conduix::FrameKind::Packet && (f.header.command == 4 || f.header.command == 19);
    EXPECT_EQ(answers, 6);
    sim.Stop();

    std::ifstream in(o.logPath);
    std::stringstream log;
    log << in.rdbuf();
    std::remove(o.logPath.c_str());
    for (const char* line :
         {"cmd 4 ptz-protocol w0=2 count=7 value=2400 bytes=268",
          "cmd 4 frame 1/1 protocol=pelco-d address=1 action=up speed=32 checksum=ok hex=FF 01 00 08 00 20 29",
          "cmd 4 frame 1/1 protocol=pelco-d address=1 action=up speed=32 checksum=bad hex=FF 01 00 08 00 20 28",
          "cmd 4 frame 1/2 protocol=ad-rs422 address=4 action=pan-stop checksum=ok",
          "cmd 4 frame 2/2 protocol=ad-rs422 address=4 action=tilt-stop checksum=ok", "cmd 4 count exceeds the payload",
          "cmd 4 ptz-protocol malformed bytes=3",
          "cmd 19 ptz-action channel=3 action=22 w8=0 w12=0 bytes=16 means=stop"})
        EXPECT_NE(log.str().find(line), std::string::npos) << line << "\n" << log.str();
}

} // namespace
