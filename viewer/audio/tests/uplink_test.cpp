#include "FakeCoding.h"
#include "PhoneTransportFake.h"
#include "PhoneUplink.h"
#include "wire/ByteOrder.h"
#include <gtest/gtest.h>
#include <string>

using namespace audio;

namespace {

struct FakeDevices : IPhoneDevices {
    bool ReadCaptured(void* out, size_t n) override
    {
        std::memset(out, next++, n);
        ++reads;
        return true;
    }
    void StartCapture() override { capturing = true; }
    void StopCapture() override { capturing = false; }
    void ResetPhonePlayer() override { ++resets; }
    bool PerformanceCounter(int64_t& c, int64_t& f) override
    {
        c = counter;
        f = 10000000;
        return true;
    }
    uint8_t next = 1;
    int reads = 0, resets = 0;
    bool capturing = false;
    int64_t counter = 123 * 10000000LL + 4567890;
};

struct Phone : ::testing::Test {
    FakeCoding coding;
    RecordingTransport net;
    FakeDevices dev;
    CPhoneUplink phone{coding, net, dev};
    void Capture(int n, bool connected = true)
    {
        for (int i = 0; i < n; ++i)
            phone.OnCaptured(connected);
    }
};

TEST_F(Phone, ButtonSendsSwitchAndDrivesDevices)
{
    ASSERT_TRUE(phone.SetButton(true));
    ASSERT_EQ(net.sent.size(), 1u);
    EXPECT_EQ(net.sent[0].code, 100);
    EXPECT_EQ(wire::LoadLE32(net.sent[0].bytes.data()), 1u);
    EXPECT_TRUE(dev.capturing);
    ASSERT_TRUE(phone.SetButton(false));
    EXPECT_EQ(wire::LoadLE32(net.sent[1].bytes.data()), 2u);
    EXPECT_FALSE(dev.capturing);
    EXPECT_EQ(dev.resets, 1);

    net.up = false;
    EXPECT_FALSE(phone.SetButton(true)); // the caller tears the connection down
    EXPECT_FALSE(dev.capturing);
}

TEST_F(Phone, SixBlocksMakeOneAnnouncedRecord)
{
    phone.SetButton(true);
    phone.OnDvrAnswer(1);
    net.sent.clear();
    Capture(5);
    EXPECT_TRUE(net.sent.empty());
    Capture(1);
    ASSERT_EQ(net.sent.size(), 2u);
    const auto& head = net.sent[0];
    const auto& rec = net.sent[1];
    ASSERT_EQ(head.code, 99);
    ASSERT_EQ(head.bytes.size(), 16u);
    EXPECT_EQ(wire::LoadLE32(&head.bytes[0]), 4u);
    EXPECT_EQ(wire::LoadLE32(&head.bytes[4]), 312u);
    EXPECT_EQ(wire::LoadLE32(&head.bytes[8]), 123u);
    EXPECT_EQ(wire::LoadLE32(&head.bytes[12]), 0u);
    ASSERT_EQ(rec.code, -1);
    ASSERT_EQ(rec.bytes.size(), 312u);
    EXPECT_EQ(std::string(rec.bytes.begin(), rec.bytes.begin() + 4), "327g");
    EXPECT_EQ(wire::LoadLE32(&rec.bytes[4]), 312u);
    EXPECT_EQ(wire::LoadLE32(&rec.bytes[8]), 0x10000u);
    EXPECT_EQ(wire::LoadLE32(&rec.bytes[12]), 123u);
    EXPECT_EQ(wire::LoadLE32(&rec.bytes[16]), 456789u);
    EXPECT_EQ(wire::LoadLE32(&rec.bytes[20]), 0u);
    for (int b = 0; b < 6; ++b)
        EXPECT_EQ(rec.bytes[24 + 48 * b], b + 1) << "block " << b;

    Capture(6);
    ASSERT_EQ(net.sent.size(), 4u);
    EXPECT_EQ(wire::LoadLE32(&net.sent[2].bytes[12]), 1u); // the counter of command 99
    EXPECT_EQ(wire::LoadLE32(&net.sent[3].bytes[20]), 1u); // the record's own sequence
    EXPECT_EQ(phone.PacketCounter(), 2u);
}

TEST_F(Phone, ForbiddenOrDisconnectedBlocksAreReadAndDropped)
{
    phone.SetButton(true);
    net.sent.clear();
    Capture(7); // no answer yet
    phone.OnDvrAnswer(1);
    phone.OnDvrAnswer(3); // changes nothing
    Capture(3, false);
    EXPECT_EQ(dev.reads, 10);
    EXPECT_TRUE(net.sent.empty());
    EXPECT_EQ(coding.encodes, 0);
    Capture(6);
    EXPECT_EQ(net.sent.size(), 2u);
    phone.OnDvrAnswer(2);
    Capture(6);
    EXPECT_EQ(net.sent.size(), 2u);
    EXPECT_EQ(dev.reads, 22);
}

TEST_F(Phone, SwitchingOffStopsTheUplinkAtOnce)
{
    phone.SetButton(true);
    phone.OnDvrAnswer(1);
    Capture(4);
    phone.SetButton(false);
    net.sent.clear();
    const int reads = dev.reads;
    Capture(3); // late messages
    EXPECT_EQ(dev.reads, reads);
    EXPECT_TRUE(net.sent.empty());
    // The next session starts a fresh record rather than finishing the old one.
    phone.SetButton(true);
    net.sent.clear();
    Capture(5);
    EXPECT_TRUE(net.sent.empty());
    Capture(1);
    EXPECT_EQ(net.sent.size(), 2u);
}

TEST_F(Phone, DisconnectReleasesButtonAndPermission)
{
    phone.SetButton(true);
    phone.OnDvrAnswer(1);
    EXPECT_TRUE(phone.OnDisconnected());
    EXPECT_FALSE(phone.ButtonDown());
    EXPECT_FALSE(phone.Allowed());
    EXPECT_FALSE(dev.capturing);
    EXPECT_FALSE(phone.OnDisconnected());
}

TEST(PhoneTime, SecondsAndMicrosecondsKeepPrecision)
{
    uint32_t s = 0, us = 0;
    protocol::CounterToTime(5 * 3579545ULL + 3579545ULL / 4, 3579545, s, us);
    EXPECT_EQ(s, 5u);
    EXPECT_NEAR(us, 250000u, 1);
    // Thirty days of a 10 MHz counter: the remainder still gives exact microseconds.
    protocol::CounterToTime(30ULL * 86400 * 10000000 + 12345670, 10000000, s, us);
    EXPECT_EQ(s, 30u * 86400 + 1);
    EXPECT_EQ(us, 234567u);
}

} // namespace
