#pragma once
// What the remote-setup control learns of a DVR while the viewer's connection controller talks to
// it: how far the connection got, the login answer (the person's rights and the channel count),
// each camera's picture size, frame rate and bit rate over the last second, and the DVR's local
// time and zone from the latest video frame, converted as the viewer converts it. Neutral: the
// caller hands in the events and the time in milliseconds; every value from the DVR is checked here.
#include "SiteSummary.h"
#include "TimeZoneConvert.h"
#include "wire/Packets.h"
#include "wire/StreamFrame.h"
#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace modules {

class DvrFigures {
public:
    static constexpr int kMaxCameras = protocol::kMaxChannels;
    // The rates cover the second of the DVR's clock (the frames' time stamps) that ends with the
    // camera's latest frame, so that frames that reach the window late and together (while the
    // connection waits between its requests) are not counted as a faster stream. Frames without a
    // valid stamp are counted by their arrival. A camera with nothing for a second shows 0.
    static constexpr uint64_t kRateWindowMs = 1000;
    // Arrivals kept per camera: enough for any real frame rate; a flood beyond it shows as this many.
    static constexpr size_t kMaxArrivals = 512;
    static constexpr uint64_t kKeepMs = 3000;
    // A login sent and not answered within this long is shown as no answer.
    static constexpr uint64_t kLoginAnswerMs = 10000;
    // The largest picture the viewer decodes: 45 x 16 by 36 x 16.
    static constexpr int kMaxWidth = 720, kMaxHeight = 576;

    // A connection attempt started.
    void Attempt();
    // The DVR asked for the login (command 85): it answers.
    void LoginRequested(uint64_t nowMs);
    void LoginAnswered(const protocol::LoginReply& reply);
    // The DVR closed the connection (or told the viewer to go); `retrying`: the controller tries again.
    void Closed(bool retrying);
    // The controller stopped for good without being asked to (attempts used up, no pictures).
    void Ended();
    // A video frame the stream dispatcher accepted for `channel`; `length` is its stated total.
    void Frame(int channel, const wire::VideoFrameHeader& h, size_t length, uint64_t nowMs);

    // The lines to show after the site's: the connection, rights, channels, the DVR's time, then one
    // line per camera that has sent a picture, in channel order.
    std::vector<SummaryLine> Lines(uint64_t nowMs) const;

    // Camera figures over the window that ends at `nowMs`.
    struct Rate {
        uint32_t frames = 0;
        uint64_t bytes = 0;
    };
    Rate CameraRate(int channel, uint64_t nowMs) const;

private:
    enum class Link { Idle, Connecting, NoAnswer, LoggingIn, LoggedIn, Refused, BadAnswer, Closed, Ended };
    struct Arrival {
        uint64_t ms; // when it arrived
        uint64_t sentUs; // the DVR's stamp, when `stamped`
        bool stamped;
        uint32_t bytes;
    };
    struct Camera {
        bool seen = false;
        int width = 0, height = 0;
        std::deque<Arrival> arrivals;
    };

    std::wstring LinkText(uint64_t nowMs) const;
    std::wstring RightsText() const;
    std::wstring ChannelsText() const;
    std::wstring TimeText() const;
    std::wstring CameraText(int channel, uint64_t nowMs) const;

    Link link_ = Link::Idle;
    bool attempted_ = false;
    bool answered_ = false; // the current attempt reached a DVR that asked for the login
    bool retrying_ = false;
    uint64_t loginAskedMs_ = 0;
    bool haveReply_ = false;
    protocol::LoginReply reply_;
    bool haveTime_ = false;
    wire::VideoFrameHeader latest_; // the latest frame's time fields
    std::array<Camera, kMaxCameras> cameras_;
};

} // namespace modules
