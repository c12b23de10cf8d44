#include "Snapshot.h"
#include "StreamRecorder.h"
#include "wire/StreamFrame.h"
#include <cstdio>

namespace recorder {

SnapshotTaker::SnapshotTaker(const video::XvidApi& xvid, int channel)
    : channel_(channel < 0 || channel > 15 ? 0 : channel), decoder_(xvid)
{
    std::vector<int> w(16, 720), h(16, 480);
    decoder_.Initialize(16, 0, w.data(), h.data(), nullptr);
}

bool SnapshotTaker::OnStreamBlock(const uint8_t* data, size_t size)
{
    if (done_ || wire::IsAudioTag(data, size))
        return done_;
    wire::VideoFrameHeader h;
    if (!wire::ParseVideoFrameHeader(data, size, h) || h.ChannelBits() < 16 ||
        static_cast<int>(h.ChannelBits() & 0x0F) != channel_)
        return false;
    const int w = h.Width(), ht = h.Height();
    if (h.total < wire::kVideoHeaderSize || h.total > size || w <= 0 || ht <= 0 || w > video::kMaxPictureWidth ||
        ht > video::kMaxPictureHeight)
        return false;
    video::DecodedPicture pic{};
    if (decoder_.DecodeFrame(h, data, size, &pic, channel_) <= 0 || !pic.plane[0] || pic.width != w || pic.height != ht)
        return false;
    const size_t row = static_cast<size_t>(w) * 3;
    const size_t stride = pic.stride[0] >= static_cast<int32_t>(row) ? static_cast<size_t>(pic.stride[0]) : row;
    picture_.width = w;
    picture_.height = ht;
    picture_.bgr.resize(row * ht);
    const auto* src = static_cast<const uint8_t*>(pic.plane[0]);
    for (int y = 0; y < ht; ++y)
        std::copy(src + stride * y, src + stride * y + row, picture_.bgr.begin() + static_cast<ptrdiff_t>(row * y));
    picture_.year = 2000u + h.year;
    picture_.month = h.month;
    picture_.day = h.day;
    picture_.hour = h.hour;
    picture_.minute = h.minute;
    picture_.second = h.second;
    done_ = true;
    return true;
}

bool WriteSnapshotPng(const std::string& path, const Snapshot& s)
{
    if (s.width <= 0 || s.height <= 0 || s.bgr.size() < static_cast<size_t>(s.width) * 3 * s.height)
        return false;
    const std::string part = path + ".part";
    if (!WriteBgrPng(part, s.bgr.data(), s.width, s.height, s.width * 3) || std::rename(part.c_str(), path.c_str())) {
        std::remove(part.c_str());
        return false;
    }
    return true;
}

} // namespace recorder
