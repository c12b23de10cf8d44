// Panlink's frame builders against frames from the protocols' public descriptions, and every
// protocol's own check (checksum or framing) on every command its mask claims.
#include "Protocols.h"
#include <gtest/gtest.h>

namespace {

std::string Built(const char* protocol, int receiver, int command, int speed = panlink::kDefaultSpeed)
{
    const std::vector<uint8_t> f = panlink::Build(panlink::FindProtocol(protocol), receiver, command, speed);
    return panlink::Hex(f.data(), f.size());
}

TEST(PanlinkFrames, MatchPublishedExamples)
{
    // Pelco-D: "Pelco D Protocol Manual" (Pelco TF-0002, version 2.1, "The Standard Command Set":
    // sync FF, address, command 1, command 2, pan speed, tilt speed, checksum = sum of bytes 2-6
    // modulo 256), and the "Pelco-D Protocol Command List" printed in camera manuals, e.g.
    // https://manualshive.com/ru/manual/dvdo/dvdo-c7-1/2543978?page=61 (Up 00 08, DownRight 00 12,
    // Zoom Out 00 40, Focus Near 01 00, Stop 00 00).
    EXPECT_EQ(Built("pelco-d", 1, PTZ_CMD_UP, 0x20), "FF 01 00 08 00 20 29");
    EXPECT_EQ(Built("pelco-d", 1, PTZ_CMD_RIGHT_DOWN, 0x3F), "FF 01 00 12 3F 3F 91");
    EXPECT_EQ(Built("pelco-d", 2, PTZ_CMD_ZOOM_OUT), "FF 02 00 40 00 00 42");
    EXPECT_EQ(Built("pelco-d", 1, PTZ_CMD_FOCUS_NEAR), "FF 01 01 00 00 00 02");
    EXPECT_EQ(Built("pelco-d", 1, PTZ_CMD_STOP), "FF 01 00 00 00 00 01");

    // Pelco-P: "Pelco P protocol" (STX A0, address $00 for receiver 1 - "zero indexed", data 1-4,
    // ETX AF, XOR of bytes 1-7), with the command list of the Active Silicon Harrier manual
    // (https://manualshive.com/en/manual/active-silicon/as-cam-10lhd-a/3046997?page=30): Left
    // "A0 ID 00 04 XX 00 AF CS", Focus Near "A0 ID 02 00 00 00 AF CS". The left frame is given
    // verbatim as "Rotation to left: A0 00 00 04 20 00 AF 2B" in https://github.com/OlegShir/pyPelco_P
    // (ReadMe, "Examples of commands").
    EXPECT_EQ(Built("pelco-p", 1, PTZ_CMD_LEFT, 0x20), "A0 00 00 04 20 00 AF 2B");
    EXPECT_EQ(Built("pelco-p", 1, PTZ_CMD_RIGHT, 0x20), "A0 00 00 02 20 00 AF 2D");
    EXPECT_EQ(Built("pelco-p", 1, PTZ_CMD_FOCUS_NEAR), "A0 00 02 00 00 00 AF 0D");
    EXPECT_EQ(Built("pelco-p", 3, PTZ_CMD_LEFT_UP, 0x10), "A0 02 00 0C 10 10 AF 01");

    // Samsung-T Protocol User's Manual 1.80E, 1.3 and 2.1: A0, camera, host 00, command 1,
    // command 2 (pan left bit 2), pan speed, tilt speed, data 3, data 4, AF, ~(sum of bytes 2-9).
    EXPECT_EQ(Built("samsung-t", 1, PTZ_CMD_LEFT, 0x20), "A0 01 00 00 04 20 00 00 00 AF DA");

    // VISCA, Pan-tiltDrive UpLeft "8x 01 06 01 VV WW 01 01 FF", VV 01-18, WW 01-14 (Sony EVI-D70
    // technical manual; the same table in https://manualshive.com/ru/manual/vaddio/roboshot-12-series/3302127?page=95).
    EXPECT_EQ(Built("visca", 1, PTZ_CMD_LEFT_UP, 63), "81 01 06 01 18 14 01 01 FF");

    // Canon VC-C50i programmer's manual 12.7 Pan Left Start "FFh 30h 3Xh 00h 53h 32h EFh" and 12.8
    // Tilt Up Start "... 53h 33h EFh".
    EXPECT_EQ(Built("canon-vcc", 1, PTZ_CMD_LEFT), "FF 30 30 00 53 32 EF");
    EXPECT_EQ(Built("canon-vcc", 1, PTZ_CMD_UP), "FF 30 30 00 53 33 EF");

    // Taiden HCS-3600 camera control, examples 1-3 (https://manualshive.com/ru/manual/taiden/hcs-3600-series/3239236?page=108):
    // camera 1 pan left at half speed, camera 3 tilt down at full speed, camera 4 zoom wide.
    EXPECT_EQ(Built("taiden", 1, PTZ_CMD_LEFT, 32), "2A 04 04 00 01 0F 00 21");
    EXPECT_EQ(Built("taiden", 3, PTZ_CMD_DOWN, 63), "2A 04 04 02 08 00 1F 21");
    EXPECT_EQ(Built("taiden", 4, PTZ_CMD_ZOOM_OUT), "2A 04 04 03 10 00 00 21");
}

// Every protocol, every command it claims: the bytes are one or more frames of that protocol,
// addressed to the receiver, passing the protocol's check; a wrong checksum byte is caught.
TEST(PanlinkFrames, EveryClaimedCommandPassesItsProtocolsCheck)
{
    ASSERT_GE(panlink::ProtocolCount(), 8);
    for (int p = 0; p < panlink::ProtocolCount(); ++p) {
        const panlink::Protocol& proto = *panlink::ProtocolAt(p);
        for (int command = 0; command < PTZ_CMD_COUNT; ++command) {
            SCOPED_TRACE(std::string(proto.name) + " " + panlink::CommandName(command));
            const bool claimed = (proto.mask >> command) & 1;
            for (int receiver : {proto.firstReceiver, proto.lastReceiver}) {
                std::vector<uint8_t> bytes = panlink::Build(p, receiver, command);
                ASSERT_EQ(!bytes.empty(), claimed);
                if (!claimed)
                    continue;
                ASSERT_LE(bytes.size(), panlink::kMaxCommandBytes);
                const auto frames = panlink::Parse(bytes.data(), bytes.size());
                ASSERT_FALSE(frames.empty());
                for (const auto& f : frames) {
                    EXPECT_EQ(f.protocol, p);
                    EXPECT_TRUE(f.checksumOk);
                    EXPECT_NE(f.command, -1);
                    if (f.receiver)
                        EXPECT_EQ(f.receiver, receiver);
                }
                if (frames.size() == 1)
                    EXPECT_EQ(frames[0].command, command);
                if (proto.hasChecksum) {
                    bytes[frames[0].length - 1] ^= 0x5A;
                    EXPECT_FALSE(panlink::Parse(bytes.data(), bytes.size())[0].checksumOk);
                }
            }
        }
        EXPECT_TRUE(panlink::Build(p, proto.firstReceiver - 1, PTZ_CMD_UP).empty()) << proto.name;
        EXPECT_TRUE(panlink::Build(p, proto.lastReceiver + 1, PTZ_CMD_UP).empty()) << proto.name;
    }
    // The viewer's list shows protocol n as entry n + 1 and drives entry 8 with composite diagonals.
    const uint32_t diagonals =
        (1u << PTZ_CMD_LEFT_UP) | (1u << PTZ_CMD_LEFT_DOWN) | (1u << PTZ_CMD_RIGHT_UP) | (1u << PTZ_CMD_RIGHT_DOWN);
    EXPECT_EQ(panlink::ProtocolAt(7)->mask & diagonals, 0u);
    EXPECT_EQ(panlink::ProtocolAt(7)->mask & 0x7Fu, 0x7Fu) << "entry 8 needs the axis steps and stops";
}

TEST(PanlinkFrames, HostileBytesParseWithinBounds)
{
    const uint8_t truncated[] = {0xFF, 0x01, 0x00, 0x08};
    auto frames = panlink::Parse(truncated, sizeof truncated);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].protocol, -1);
    EXPECT_EQ(frames[0].length, sizeof truncated);

    const uint8_t unterminatedVisca[] = {0x81, 0x01, 0x06, 0x01, 0x18, 0x14, 0x03};
    EXPECT_EQ(panlink::Parse(unterminatedVisca, sizeof unterminatedVisca)[0].protocol, -1);
    EXPECT_TRUE(panlink::Parse(nullptr, 12).empty());

    // A good frame followed by noise: the frame is read, the rest is reported unknown.
    std::vector<uint8_t> mixed = panlink::Build(0, 1, PTZ_CMD_UP);
    mixed.insert(mixed.end(), {0x00, 0x13});
    frames = panlink::Parse(mixed.data(), mixed.size());
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].command, PTZ_CMD_UP);
    EXPECT_EQ(frames[1].protocol, -1);
}

} // namespace
