// The receive dispatcher's code table and the stream dispatcher's sorting of blocks.
#include "conduix/NsmgTypes.h"
#include "Dispatch.h"
#include <gtest/gtest.h>
#include <cstring>
#include <vector>

using namespace protocol;

namespace {
_tagNsmgPacketHeader Header(uint16_t command, uint32_t length)
{
    _tagNsmgPacketHeader h{};
    h.command = command;
    h.length = length;
    return h;
}

std::vector<uint8_t> Video(unsigned channelBits, uint32_t total, size_t size)
{
    std::vector<uint8_t> b(size, 0);
    wire::VideoFrameHeader h;
    h.word0 = (channelBits & 0x1F) << 24;
    h.total = total;
    if (size >= 64)
        wire::BuildVideoFrameHeader(h, b.data());
    return b;
}
} // namespace

TEST(ReceiveDispatch, CodeTable)
{
    uint8_t reply[32];
    BuildLoginReply(1, 4, 0, 0, 1, reply);
    struct Row {
        uint16_t code;
        ReceiveAction action;
    } rows[] = {
        {0, ReceiveAction::Ignore},
        {1, ReceiveAction::LoginReply},
        {2, ReceiveAction::StreamRequestAnswered},
        {3, ReceiveAction::Ignore},
        {4, ReceiveAction::RepeatStreamRequest},
        {9, ReceiveAction::Teardown},
        {19, ReceiveAction::RepeatStreamRequest},
        {51, ReceiveAction::ChannelRequestAcked},
        {82, ReceiveAction::PicturePollAnswered},
        {83, ReceiveAction::Ignore},
        {85, ReceiveAction::LoginRequest},
        {99, ReceiveAction::Ignore},
        {100, ReceiveAction::PhoneReply},
        {101, ReceiveAction::Ignore},
        {138, ReceiveAction::Ignore},
        {0xFFFF, ReceiveAction::Ignore},
    };
    uint8_t phone[8] = {1, 0, 0, 0, 1, 0, 0, 0};
    for (const Row& r : rows) {
        const uint8_t* payload = r.code == 1 ? reply : phone;
        size_t len = r.code == 1 ? sizeof reply : sizeof phone;
        auto h = Header(r.code, static_cast<uint32_t>(len));
        EXPECT_EQ(r.action, DecideReceive(&h, payload).action) << r.code;
    }
    EXPECT_EQ(ReceiveAction::Ignore, DecideReceive(nullptr, reply).action);
}

TEST(ReceiveDispatch, PayloadReadOnlyWithinReceivedLength)
{
    // The header states 20 bytes: a login reply that cannot reach byte 28 is ignored even though
    // the caller's buffer happens to be longer.
    uint8_t reply[32];
    BuildLoginReply(1, 4, 0, 0, 1, reply);
    auto h = Header(1, 20);
    EXPECT_EQ(ReceiveAction::Ignore, DecideReceive(&h, reply).action);
    h = Header(1, 32);
    EXPECT_EQ(ReceiveAction::Ignore, DecideReceive(&h, nullptr).action); // payload missing
    h = Header(100, 4);
    uint8_t phone[8] = {1, 0, 0, 0, 1, 0, 0, 0};
    EXPECT_EQ(ReceiveAction::Ignore, DecideReceive(&h, phone).action);
    h = Header(85, 0);
    EXPECT_EQ(ReceiveAction::LoginRequest, DecideReceive(&h, nullptr).action);

    auto d = DecideReceive(1, reply, 32);
    EXPECT_EQ(4, d.login.channelCount);
    EXPECT_TRUE(d.login.HasChannelInfo());
}

TEST(StreamDispatch, SortsVideoAudioAndOthers)
{
    auto v = Video(16 + 5, 100, 100);
    auto d = DecideStream(kCmdStreamBlock, v.data(), v.size(), 16);
    EXPECT_EQ(StreamKind::Video, d.kind);
    EXPECT_EQ(5, d.channel);
    EXPECT_EQ(100u, d.length);
    EXPECT_TRUE(d.sendsPendingPtz);

    v = Video(21, 64, 200); // channel bits 21 on a four-channel DVR: channel 1
    d = DecideStream(kCmdStreamBlock, v.data(), v.size(), 4);
    EXPECT_EQ(StreamKind::Video, d.kind);
    EXPECT_EQ(1, d.channel);
    EXPECT_EQ(64u, d.length);

    // "327G" is audio even with a video-sized length.
    std::vector<uint8_t> a(100000, 0);
    std::memcpy(a.data(), "327G", 4);
    d = DecideStream(kCmdStreamBlock, a.data(), a.size(), 16);
    EXPECT_EQ(StreamKind::Audio, d.kind);
    EXPECT_EQ(a.size(), d.length);
    EXPECT_FALSE(d.sendsPendingPtz);
    a.resize(kMaxAudioBlock + 1);
    EXPECT_EQ(DropReason::AudioTooLong, DecideStream(kCmdStreamBlock, a.data(), a.size(), 16).drop);

    d = DecideStream(kCmdConfiguration, nullptr, 0, 0);
    EXPECT_EQ(StreamKind::ConfigurationAnswered, d.kind);
    EXPECT_FALSE(d.sendsPendingPtz);

    uint8_t x[8] = {};
    d = DecideStream(77, x, sizeof x, 16);
    EXPECT_EQ(StreamKind::Other, d.kind);
    EXPECT_TRUE(d.sendsPendingPtz);
    d = DecideStream(kCmdStreamBlock, nullptr, 0, 16);
    EXPECT_EQ(DropReason::NoDescriptor, d.drop);
    EXPECT_FALSE(d.sendsPendingPtz);
}

TEST(StreamDispatch, LengthAndChannelChecks)
{
    auto at = [](uint32_t total, size_t size, int count = 16) {
        auto v = Video(16, total, size);
        return DecideStream(kCmdStreamBlock, v.data(), v.size(), count);
    };
    EXPECT_EQ(StreamKind::Video, at(262016, 262016).kind);
    EXPECT_EQ(DropReason::BadTotal, at(262017, 262017).drop);
    EXPECT_EQ(DropReason::BadTotal, at(0, 64).drop);
    EXPECT_EQ(DropReason::BadTotal, at(63, 64).drop); // shorter than its own header
    EXPECT_EQ(DropReason::TotalBeyondData, at(1000, 999).drop); // states more than arrived
    EXPECT_EQ(DropReason::TooShort, at(64, 63).drop);
    EXPECT_EQ(DropReason::NoChannelCount, at(64, 64, 0).drop); // before the login reply
    EXPECT_EQ(DropReason::NoChannelCount, at(64, 64, 17).drop);

    uint8_t three[3] = {'g', '7', '2'};
    EXPECT_EQ(DropReason::TooShort, DecideStream(kCmdStreamBlock, three, 3, 16).drop);
}

TEST(StreamDispatch, FromLibraryHeaderAndDescriptor)
{
    auto v = Video(16 + 3, 80, 80);
    auto h = Header(kCmdStreamBlock, 80);
    _tagNsmgStreamBlock blk{};
    blk.data = v.data();
    blk.length = 80;
    auto d = DecideStream(&h, &blk, 8);
    EXPECT_EQ(StreamKind::Video, d.kind);
    EXPECT_EQ(3, d.channel);
    blk.length = 70; // the descriptor's length, not the frame's claim, bounds the read
    EXPECT_EQ(DropReason::TotalBeyondData, DecideStream(&h, &blk, 8).drop);
    EXPECT_EQ(DropReason::NoDescriptor, DecideStream(&h, nullptr, 8).drop);
    EXPECT_EQ(DropReason::NoDescriptor, DecideStream(nullptr, &blk, 8).drop);
}
