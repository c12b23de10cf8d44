// What the remote-setup control shows of a DVR: rates over the last second from given arrivals,
// the connection's state through an attempt, a login and a loss, and the DVR's values out of range.
#include "DvrFigures.h"
#include <gtest/gtest.h>

using modules::DvrFigures;

namespace {

std::wstring Value(const DvrFigures& f, const wchar_t* label, uint64_t now)
{
    for (const auto& l : f.Lines(now))
        if (l.label == label)
            return l.value;
    return L"(no line)";
}

// `sentMs`: the DVR's stamp, in milliseconds.
wire::VideoFrameHeader Header(int width, int height, uint8_t zone = 2, uint64_t sentMs = 0)
{
    wire::VideoFrameHeader h;
    h.seconds = static_cast<uint32_t>(sentMs / 1000);
    h.microseconds = static_cast<uint32_t>(sentMs % 1000 * 1000);
    h.widthDiv16 = static_cast<uint8_t>(width / 16);
    h.heightDiv16 = static_cast<uint8_t>(height / 16);
    h.year = 26, h.month = 12, h.day = 9, h.hour = 12, h.minute = 30, h.second = 15; // UTC
    h.zone = zone;
    return h;
}

protocol::LoginReply Reply(uint32_t result, uint8_t channels, uint8_t flags = 0, uint32_t info = 1)
{
    uint8_t b[protocol::kLoginReplyMinSize];
    protocol::BuildLoginReply(result, channels, 0, flags, info, b);
    return protocol::ParseLoginReply(b, sizeof b);
}

TEST(DvrFigures, RatesCoverTheLastSecondOfArrivalsPerCamera)
{
    DvrFigures f;
    // Camera 1: 30 frames a second of 4000 bytes for two seconds; camera 3: 5 frames, then silence.
    // Each arrives as the DVR stamped it.
    for (uint64_t k = 0; k < 60; ++k) {
        const uint64_t t = k * 1000 / 30;
        f.Frame(0, Header(352, 240, 2, 500000 + t), 4000, 10000 + t);
    }
    for (uint64_t t = 0; t < 1000; t += 200)
        f.Frame(2, Header(704, 480, 2, 500000 + t), 10000, 10000 + t);

    const uint64_t now = 12000;
    EXPECT_EQ(f.CameraRate(0, now).frames, 30u);
    EXPECT_EQ(Value(f, L"Camera 1", now), L"352 x 240, 30 frames/s, 960 kbit/s");
    EXPECT_EQ(Value(f, L"Camera 3", now), L"704 x 480, 0 frames/s, 0 kbit/s") << "nothing within the last second";
    EXPECT_EQ(Value(f, L"Camera 3", 10900), L"704 x 480, 5 frames/s, 400 kbit/s");

    // Two seconds of camera 4's stream reach the window at once: the DVR's stamps still say 30 a
    // second. Without valid stamps (microseconds of a million or more) the arrivals count.
    for (uint64_t k = 0; k < 60; ++k)
        f.Frame(3, Header(352, 240, 2, 500000 + k * 1000 / 30), 4000, 15000);
    EXPECT_EQ(f.CameraRate(3, 15500).frames, 30u);
    for (int i = 0; i < 40; ++i) {
        wire::VideoFrameHeader bad = Header(352, 240);
        bad.microseconds = 1000000;
        f.Frame(4, bad, 4000, 15000);
    }
    EXPECT_EQ(f.CameraRate(4, 15500).frames, 40u);

    // A flood counts no more than the kept arrivals; channels outside the table are ignored.
    for (int i = 0; i < 5000; ++i)
        f.Frame(5, Header(352, 240), 100, 20000);
    EXPECT_EQ(f.CameraRate(5, 20000).frames, DvrFigures::kMaxArrivals);
    f.Frame(-1, Header(352, 240), 100, 20000);
    f.Frame(DvrFigures::kMaxCameras, Header(352, 240), 100, 20000);
    EXPECT_EQ(f.Lines(20000).size(), 4u + 5u) << "cameras 1, 3, 4, 5 and 6; no line for the others";
}

TEST(DvrFigures, ValuesOutsideWhatTheSystemSupportsShowAsNotValid)
{
    DvrFigures f;
    f.Frame(0, Header(736, 240), 100, 0); // 46 x 16 wide
    f.Frame(1, Header(0, 0), 100, 0);
    f.Frame(2, Header(720, 576), 100, 0);
    EXPECT_EQ(Value(f, L"Camera 1", 0).rfind(L"not valid (736 x 240), 1 frames/s", 0), 0u);
    EXPECT_EQ(Value(f, L"Camera 2", 0).rfind(L"not valid (0 x 0)", 0), 0u);
    EXPECT_EQ(Value(f, L"Camera 3", 0).rfind(L"720 x 576,", 0), 0u);

    for (uint8_t n : {0, 17, 200}) {
        f.LoginAnswered(Reply(1, n));
        EXPECT_EQ(Value(f, L"Channels", 0), L"not valid (" + std::to_wstring(n) + L")");
        EXPECT_EQ(Value(f, L"Connection", 0), L"The DVR's login answer is not valid");
    }
    f.LoginAnswered(Reply(1, 16, 0, 0));
    EXPECT_EQ(Value(f, L"Channels", 0), L"not given");

    // The DVR's time: converted with its zone; an unknown zone leaves universal time; no date, no time.
    EXPECT_EQ(Value(f, L"DVR time", 0), L"2026-12-09 02:30:15, (GMT-10:00) Hawaii");
    f.Frame(0, Header(352, 240, 99), 100, 0);
    EXPECT_EQ(Value(f, L"DVR time", 0), L"2026-12-09 12:30:15 UTC (time zone 99 not known)");
    wire::VideoFrameHeader bad = Header(352, 240);
    bad.month = 13;
    f.Frame(0, bad, 100, 0);
    EXPECT_EQ(Value(f, L"DVR time", 0), L"not valid");
}

TEST(DvrFigures, TheConnectionSaysHowFarItGotAndWhatTheDvrAnswered)
{
    DvrFigures f;
    EXPECT_EQ(Value(f, L"Connection", 0), L"Not connected");
    EXPECT_EQ(Value(f, L"Rights", 0), L"-");
    f.Attempt();
    EXPECT_EQ(Value(f, L"Connection", 0), L"Connecting\u2026");
    f.Attempt(); // the first attempt ended without the DVR asking for the login
    EXPECT_EQ(Value(f, L"Connection", 1000), L"No answer from the DVR");
    f.Ended();
    EXPECT_EQ(Value(f, L"Connection", 1000), L"No answer from the DVR");

    f.Attempt();
    f.LoginRequested(2000);
    EXPECT_EQ(Value(f, L"Connection", 2000), L"Logging in\u2026");
    EXPECT_EQ(Value(f, L"Connection", 2000 + DvrFigures::kLoginAnswerMs), L"No answer from the DVR");

    const struct {
        uint32_t result;
        const wchar_t* text;
    } refusals[] = {{2, L"The DVR refused the login: wrong ID or password"},
                    {4, L"The DVR refused the login: too many users"},
                    {8, L"The DVR refused the login (result 8)"}};
    for (const auto& r : refusals) {
        f.LoginAnswered(Reply(r.result, 8));
        EXPECT_EQ(Value(f, L"Connection", 3000), r.text);
        EXPECT_EQ(Value(f, L"Rights", 3000), L"none (login refused)");
    }

    f.LoginAnswered(Reply(1, 8, 0x80));
    EXPECT_EQ(Value(f, L"Connection", 3000), L"Logged in, waiting for pictures");
    EXPECT_EQ(Value(f, L"Rights", 3000), L"login accepted; live view of channels 1 to 4 only");
    EXPECT_EQ(Value(f, L"Channels", 3000), L"8");
    f.LoginAnswered(Reply(1, 0, 0, 0)); // a later answer without channel information changes nothing
    EXPECT_EQ(Value(f, L"Channels", 3000), L"8");
    f.Frame(0, Header(352, 240), 100, 3000);
    EXPECT_EQ(Value(f, L"Connection", 3000), L"Logged in");

    f.Closed(true);
    EXPECT_EQ(Value(f, L"Connection", 4000), L"The DVR closed the connection; connecting again\u2026");
    f.Attempt();
    EXPECT_EQ(Value(f, L"Connection", 5000), L"The DVR closed the connection; connecting again\u2026");
    f.Attempt(); // and that attempt got no answer
    EXPECT_EQ(Value(f, L"Connection", 6000), L"No answer from the DVR");

    // Logged in, but the controller gave up waiting for pictures.
    DvrFigures g;
    g.Attempt();
    g.LoginRequested(0);
    g.LoginAnswered(Reply(1, 4));
    g.Ended();
    EXPECT_EQ(Value(g, L"Connection", 0), L"Disconnected: the DVR sent no pictures");
}

} // namespace
