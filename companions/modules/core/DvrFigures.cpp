#include "DvrFigures.h"
#include <cwchar>

namespace modules {

namespace {

std::wstring Widen(const char* text)
{
    std::wstring out;
    for (; text && *text; ++text)
        out += static_cast<unsigned char>(*text) < 0x80 ? static_cast<wchar_t>(*text) : L'?';
    return out;
}

std::wstring Size(int width, int height) { return std::to_wstring(width) + L" x " + std::to_wstring(height); }

} // namespace

void DvrFigures::Attempt()
{
    // An attempt that ended before the DVR asked for the login got no answer; after a closed
    // connection the first new attempt keeps saying so.
    if (attempted_ && !answered_)
        link_ = Link::NoAnswer;
    else if (link_ != Link::Closed)
        link_ = Link::Connecting;
    attempted_ = true;
    answered_ = false;
}

void DvrFigures::LoginRequested(uint64_t nowMs)
{
    answered_ = true;
    link_ = Link::LoggingIn;
    loginAskedMs_ = nowMs;
}

void DvrFigures::LoginAnswered(const protocol::LoginReply& reply)
{
    if (!reply.present)
        return;
    // Once logged in, a later answer without channel information changes nothing (as for the viewer).
    if (link_ == Link::LoggedIn && !reply.HasChannelInfo())
        return;
    haveReply_ = true;
    reply_ = reply;
    link_ = !reply.Accepted() ? Link::Refused : reply.HasChannelInfo() ? Link::LoggedIn : Link::BadAnswer;
}

void DvrFigures::Closed(bool retrying)
{
    if (!answered_)
        return; // an attempt that never got an answer: the next Attempt says so
    link_ = Link::Closed;
    retrying_ = retrying;
}

void DvrFigures::Ended()
{
    switch (link_) {
    case Link::Connecting:
    case Link::LoggingIn:
    case Link::NoAnswer: link_ = Link::NoAnswer; break;
    case Link::LoggedIn:
    case Link::Closed: link_ = Link::Ended; break;
    case Link::Idle:
    case Link::Refused:
    case Link::BadAnswer:
    case Link::Ended: break;
    }
}

void DvrFigures::Frame(int channel, const wire::VideoFrameHeader& h, size_t length, uint64_t nowMs)
{
    if (channel < 0 || channel >= kMaxCameras)
        return;
    Camera& c = cameras_[static_cast<size_t>(channel)];
    c.seen = true;
    c.width = h.Width();
    c.height = h.Height();
    const bool stamped = h.microseconds < 1000000;
    c.arrivals.push_back({nowMs, stamped ? uint64_t{h.seconds} * 1000000 + h.microseconds : 0, stamped,
                          static_cast<uint32_t>(length > UINT32_MAX ? UINT32_MAX : length)});
    while (c.arrivals.size() > kMaxArrivals || (!c.arrivals.empty() && c.arrivals.front().ms + kKeepMs <= nowMs))
        c.arrivals.pop_front();
    latest_ = h;
    haveTime_ = true;
}

DvrFigures::Rate DvrFigures::CameraRate(int channel, uint64_t nowMs) const
{
    Rate r;
    if (channel < 0 || channel >= kMaxCameras)
        return r;
    const std::deque<Arrival>& arrivals = cameras_[static_cast<size_t>(channel)].arrivals;
    if (arrivals.empty() || arrivals.back().ms + kRateWindowMs <= nowMs)
        return r; // nothing for a second: the stream stands still
    const Arrival& last = arrivals.back();
    const uint64_t windowUs = kRateWindowMs * 1000;
    for (const Arrival& a : arrivals) {
        const bool inWindow = last.stamped ? a.stamped && a.sentUs <= last.sentUs && a.sentUs + windowUs > last.sentUs
                                           : a.ms <= nowMs && a.ms + kRateWindowMs > nowMs;
        if (inWindow) {
            ++r.frames;
            r.bytes += a.bytes;
        }
    }
    return r;
}

std::vector<SummaryLine> DvrFigures::Lines(uint64_t nowMs) const
{
    std::vector<SummaryLine> lines;
    lines.push_back({L"Connection", LinkText(nowMs)});
    lines.push_back({L"Rights", RightsText()});
    lines.push_back({L"Channels", ChannelsText()});
    lines.push_back({L"DVR time", TimeText()});
    for (int c = 0; c < kMaxCameras; ++c)
        if (cameras_[static_cast<size_t>(c)].seen)
            lines.push_back({L"Camera " + std::to_wstring(c + 1), CameraText(c, nowMs)});
    return lines;
}

std::wstring DvrFigures::LinkText(uint64_t nowMs) const
{
    switch (link_) {
    case Link::Idle: return L"Not connected";
    case Link::Connecting: return L"Connecting\u2026";
    case Link::NoAnswer: return L"No answer from the DVR";
    case Link::LoggingIn:
        return nowMs - loginAskedMs_ >= kLoginAnswerMs ? L"No answer from the DVR" : L"Logging in\u2026";
    case Link::LoggedIn: {
        for (const Camera& c : cameras_)
            if (c.seen)
                return L"Logged in";
        return L"Logged in, waiting for pictures";
    }
    case Link::Refused: {
        const uint32_t r = reply_.result;
        if (reply_.WrongCredentials())
            return L"The DVR refused the login: wrong ID or password";
        if (r == 4)
            return L"The DVR refused the login: too many users";
        return L"The DVR refused the login (result " + std::to_wstring(r) + L")";
    }
    case Link::BadAnswer: return L"The DVR's login answer is not valid";
    case Link::Closed:
        return retrying_ ? L"The DVR closed the connection; connecting again\u2026" : L"The DVR closed the connection";
    case Link::Ended: {
        for (const Camera& c : cameras_)
            if (c.seen)
                return L"Disconnected";
        return L"Disconnected: the DVR sent no pictures";
    }
    }
    return {};
}

// The rights a login answer states: accepted or not, and whether live view is limited to the
// first four channels (the stream request then always asks for channels 1 to 4).
std::wstring DvrFigures::RightsText() const
{
    if (!haveReply_)
        return L"-";
    if (!reply_.Accepted())
        return L"none (login refused)";
    return reply_.FourChannelLimited() ? L"login accepted; live view of channels 1 to 4 only"
                                       : L"login accepted; live view of every channel";
}

std::wstring DvrFigures::ChannelsText() const
{
    if (!haveReply_)
        return L"-";
    if (reply_.channelInfo == 0)
        return L"not given";
    if (reply_.channelCount < 1 || reply_.channelCount > kMaxCameras)
        return L"not valid (" + std::to_wstring(reply_.channelCount) + L")";
    return std::to_wstring(reply_.channelCount);
}

// The latest frame's time on the DVR's clock, with the zone it names and the daylight hour when
// it was added. A zone index past the table leaves the time in universal time, as the viewer shows it.
std::wstring DvrFigures::TimeText() const
{
    if (!haveTime_)
        return L"-";
    video::PictureTime t;
    uint32_t daylight = 0;
    if (video::ConvertFrameHeaderTime(latest_, t, daylight) == 0)
        return L"not valid";
    wchar_t text[64];
    std::swprintf(text, 64, L"%04u-%02u-%02u %02u:%02u:%02u", unsigned{t.year}, unsigned{t.month}, unsigned{t.day},
                  unsigned{t.hour}, unsigned{t.minute}, unsigned{t.second});
    std::wstring out = text;
    if (!video::FindTimeZone(latest_.zone))
        return out + L" UTC (time zone " + std::to_wstring(latest_.zone) + L" not known)";
    out += L", " + Widen(video::TimeZoneNameAscii(latest_.zone));
    if (daylight)
        out += L", daylight saving time";
    return out;
}

std::wstring DvrFigures::CameraText(int channel, uint64_t nowMs) const
{
    const Camera& c = cameras_[static_cast<size_t>(channel)];
    const bool sizeValid = c.width >= 16 && c.width <= kMaxWidth && c.height >= 16 && c.height <= kMaxHeight;
    const Rate r = CameraRate(channel, nowMs);
    const uint64_t perSecondFrames = r.frames * 1000 / kRateWindowMs;
    const uint64_t kbits = (r.bytes * 8 * 1000 / kRateWindowMs + 500) / 1000;
    return (sizeValid ? Size(c.width, c.height) : L"not valid (" + Size(c.width, c.height) + L")") + L", " +
        std::to_wstring(perSecondFrames) + L" frames/s, " + std::to_wstring(kbits) + L" kbit/s";
}

} // namespace modules
