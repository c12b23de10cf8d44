#include "VideoChannelStream.h"
#include "calendar/CivilDate.h"
#include "wire/StreamFrame.h"

namespace dvrsim {

void CivilFromUnix(uint64_t t, int& year, int& month, int& day, int& hour, int& minute, int& second)
{
    const int64_t days = static_cast<int64_t>(t / 86400);
    const int64_t rem = static_cast<int64_t>(t % 86400);
    hour = static_cast<int>(rem / 3600);
    minute = static_cast<int>(rem / 60 % 60);
    second = static_cast<int>(rem % 60);
    const calendar::Civil c = calendar::CivilFromDays(days);
    year = static_cast<int>(c.year);
    month = static_cast<int>(c.month);
    day = static_cast<int>(c.day);
}

VideoChannelStream::VideoChannelStream(int channel, const VideoLoop* primary, const VideoLoop* alternate,
                                       VideoFaults faults, uint8_t zone, uint8_t daylight)
    : channel_(channel), primary_(primary), alternate_(alternate), current_(primary), faults_(faults), zone_(zone),
      daylight_(daylight)
{}

uint64_t VideoChannelStream::FrameMicros() const
{
    const int fincr = current_ ? current_->fincr : 1001;
    return static_cast<uint64_t>(fincr) * 1000000 / 30000;
}

bool VideoChannelStream::Next(uint64_t unixMicros, std::vector<uint8_t>& out, SentVideoFrame* info)
{
    if (!current_ || current_->frames.empty())
        return false;
    if (repeatPending_) {
        repeatPending_ = false;
        out = last_;
        SentVideoFrame r = lastInfo_;
        r.repeated = true;
        r.lostBefore = 0;
        if (info)
            *info = r;
        return true;
    }

    int lost = 0;
    for (;;) {
        if (position_ == 0 && alternate_ && faults_.sizeChangeAfter > 0 &&
            sinceSwitch_ >= static_cast<uint64_t>(faults_.sizeChangeAfter)) {
            current_ = current_ == primary_ ? alternate_ : primary_;
            sinceSwitch_ = 0;
        }
        ++sequence_;
        ++handedOut_;
        ++sinceSwitch_;
        const size_t pos = position_;
        position_ = (position_ + 1) % current_->frames.size();
        // Never lose the very first frame, so every stream starts with a picture.
        if (faults_.loseEvery > 0 && handedOut_ > 1 && handedOut_ % static_cast<uint64_t>(faults_.loseEvery) == 0 &&
            lost < 1000) {
            ++lost;
            continue;
        }

        const EncodedVideoFrame& ef = current_->frames[pos];
        const VideoFormat& f = current_->format;
        wire::VideoFrameHeader h;
        h.word0 = wire::MakeVideoWord0(static_cast<unsigned>(channel_), !ef.intra);
        h.heightDiv16 = static_cast<uint8_t>(f.height / 16);
        h.widthDiv16 = static_cast<uint8_t>(f.width / 16);
        h.flags = current_->codedInterlaced ? 0x80 : 0;
        h.seconds = static_cast<uint32_t>(unixMicros / 1000000 + faults_.clockAhead);
        h.microseconds = static_cast<uint32_t>(unixMicros % 1000000);
        if (faults_.badTimeEvery > 0 && handedOut_ % static_cast<uint64_t>(faults_.badTimeEvery) == 0)
            h.microseconds += 1000000;
        h.sequence = sequence_;
        int year, month, day, hour, minute, second;
        CivilFromUnix(unixMicros / 1000000, year, month, day, hour, minute, second);
        h.day = static_cast<uint8_t>(day);
        h.month = static_cast<uint8_t>(month);
        h.year = static_cast<uint8_t>(year - 2000);
        h.second = static_cast<uint8_t>(second);
        h.minute = static_cast<uint8_t>(minute);
        h.hour = static_cast<uint8_t>(hour);
        h.zone = zone_;
        h.daylight = daylight_;
        h.total = static_cast<uint32_t>(wire::kVideoHeaderSize + ef.vop.size());
        out.resize(h.total);
        wire::BuildVideoFrameHeader(h, out.data());
        std::copy(ef.vop.begin(), ef.vop.end(), out.begin() + wire::kVideoHeaderSize);

        SentVideoFrame s;
        s.sequence = sequence_;
        s.intra = ef.intra;
        s.lostBefore = lost;
        s.sourceIndex = ef.sourceIndex;
        s.loop = current_;
        if (faults_.repeatEvery > 0 && handedOut_ % static_cast<uint64_t>(faults_.repeatEvery) == 0) {
            repeatPending_ = true;
            last_ = out;
            lastInfo_ = s;
        }
        if (info)
            *info = s;
        return true;
    }
}

} // namespace dvrsim
