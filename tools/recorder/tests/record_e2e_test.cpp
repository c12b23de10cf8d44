// The simulator's video over TCP to the recorder, through the native client: every requested
// channel arrives decodable, and the faults asked for on one channel show up as losses there only.
#include "CameraScene.h"
#include "DvrClient.h"
#include "ServedSimulator.h"
#include "Snapshot.h"
#include "StreamRecorder.h"
#include <png.h>
#include <gtest/gtest.h>
#include <chrono>
#include <filesystem>

TEST(RecordFromSimulator, TwoChannelsOneLossy)
{
    cmdline::Program app;
    for (auto& e : dvrsim::Extensions())
        e->AddOptions(app);
    std::vector<std::string> args{"--video",      "cif", "--video-seconds",        "1",
                                  "--video-lose", "7",   "--video-fault-channels", "2"};
    app.Parse(args);
    dvrsim::Options o = dvrsim::TestOptions(::testing::TempDir(), "record_e2e");
    o.channels = 2;
    dvrsim::ServedSimulator sim(o);
    std::string err;
    ASSERT_TRUE(sim.Start(err)) << err;

    dvrclient::DvrClient client;
    ASSERT_TRUE(client.Connect("127.0.0.1", sim.Port(), 5000, err)) << err;
    auto login = dvrclient::Login(client, "admin", "1111", 5000);
    ASSERT_TRUE(login.replied) << login.error;
    ASSERT_TRUE(login.reply.Accepted());
    uint8_t request[protocol::kChannelRequestSize];
    protocol::BuildChannelRequest(3, 0, request);
    ASSERT_TRUE(client.SendPacket(protocol::kCmdChannelRequest, request, sizeof request));

    const std::string dir = ::testing::TempDir() + "record_e2e_" + std::to_string(::getpid());
    std::filesystem::create_directories(dir);
    recorder::StreamRecorder rec(video::LinkedXvidApi(), dir, 2);
    // Until both channels have sent well over a loop's worth, however long encoding takes here.
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (;;) {
        conduix::Frame f;
        auto r = client.Receive(f, 2000);
        ASSERT_NE(dvrclient::DvrClient::Result::Closed, r);
        ASSERT_NE(dvrclient::DvrClient::Result::Error, r) << client.LastError();
        if (r == dvrclient::DvrClient::Result::Frame && f.kind == conduix::FrameKind::Stream &&
            f.header.command == protocol::kCmdStreamBlock)
            rec.OnStreamBlock(f.payload, f.payloadLength);
        auto s = rec.Summaries();
        if (s.size() == 2 && s[0].frames >= 45 && s[1].frames >= 45)
            break;
        ASSERT_LT(std::chrono::steady_clock::now(), give_up);
    }
    client.Close();
    ASSERT_TRUE(rec.Finish());
    sim.Stop();

    auto s = rec.Summaries();
    ASSERT_EQ(2u, s.size());
    EXPECT_EQ(352, s[0].width);
    EXPECT_EQ(0u, s[0].lost);
    EXPECT_EQ(s[0].frames, s[0].decoded);
    // Channel 2 loses every 7th frame: after each loss its P pictures wait for the next intra one.
    EXPECT_GE(s[1].lost, s[1].frames / 8);
    EXPECT_LT(s[1].decoded, s[1].frames);
    EXPECT_GT(s[1].decoded, 0u);
    EXPECT_TRUE(std::filesystem::exists(dir + "/ch02.png"));
    std::filesystem::remove_all(dir);
    std::remove(o.logPath.c_str());
}

// dvrtool snapshot's part: channel 5 of 6 asked for alone, its first decoded picture written as PNG
// at the camera's size, the burned-in "CH05" where the camera drew it.
TEST(RecordFromSimulator, SnapshotOfChannel5IsItsFullPictureAsPng)
{
    dvrsim::Options o = dvrsim::TestOptions(::testing::TempDir(), "snapshot_e2e");
    o.channels = 6;
    dvrsim::ServedSimulator sim(o);
    std::string err;
    ASSERT_TRUE(sim.Start(err)) << err;
    dvrclient::DvrClient client;
    ASSERT_TRUE(client.Connect("127.0.0.1", sim.Port(), 5000, err)) << err;
    ASSERT_TRUE(dvrclient::Login(client, "admin", "1111", 5000).reply.Accepted());
    uint8_t request[protocol::kChannelRequestSize];
    protocol::BuildChannelRequest(1u << 4, 0, request);
    ASSERT_TRUE(client.SendPacket(protocol::kCmdChannelRequest, request, sizeof request));
    recorder::SnapshotTaker taker(video::LinkedXvidApi(), 4);
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!taker.Done()) {
        conduix::Frame f;
        auto r = client.Receive(f, 2000);
        ASSERT_NE(dvrclient::DvrClient::Result::Closed, r);
        if (r == dvrclient::DvrClient::Result::Frame && f.kind == conduix::FrameKind::Stream &&
            f.header.command == protocol::kCmdStreamBlock)
            taker.OnStreamBlock(f.payload, f.payloadLength);
        ASSERT_LT(std::chrono::steady_clock::now(), give_up);
    }
    client.Close();
    sim.Stop();
    const std::string path = ::testing::TempDir() + "snapshot_" + std::to_string(::getpid()) + ".png";
    ASSERT_TRUE(recorder::WriteSnapshotPng(path, taker.Picture()));

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str()));
    image.format = PNG_FORMAT_GRAY;
    std::vector<uint8_t> grey(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, grey.data(), 0, nullptr));
    std::remove(path.c_str());
    std::remove(o.logPath.c_str());
    ASSERT_EQ(image.width, 352u); // the default channel 5 format: cif
    ASSERT_EQ(image.height, 240u);
    dvrsim::YuvPicture pic;
    dvrsim::CameraScene(4, 352, 240).Render(0, pic);
    const dvrsim::SceneMarks m = dvrsim::MarksOf(352, 240); // the digits of "CH05"
    int tested = 0, wrong = 0;
    for (int y = m.channelY; y < m.channelY + 7 * m.scale; ++y)
        for (int x = m.channelX + 12 * m.scale; x < m.channelX + 24 * m.scale; ++x, ++tested)
            wrong += (grey[size_t(y) * 352 + x] >= 128) != (pic.y[size_t(y) * 352 + x] >= 128);
    EXPECT_LT(wrong, tested / 10) << "CH05 is not where camera 5 drew it";
}
