#pragma once
// CMp4DecoderManager: one MPEG-4 decoder per DVR channel. Turns the payload of a video stream
// frame into a picture in the manager's own output buffer, sends each channel the VOL header its
// frames lack, drops predicted pictures after a loss until the next intra picture, re-creates a
// channel's decoder when the picture size changes and tells the view when a channel's resolution
// class changes. Decode threads call DecodeFrame, one thread per channel at a time.
#include "VolHeader.h"
#include "XvidApi.h"
#include "wire/StreamFrame.h"
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

namespace video {

// The view's window message for a resolution-class change: wParam = channel, lParam = class.
constexpr unsigned kMsgResolutionClass = 1223;

// Receives what the manager would post to the view's window. Called from decode threads with the
// channel's lock held: implementations only post.
class IDecoderNotify {
public:
    virtual void ResolutionClassChanged(int channel, int resolutionClass) = 0;

protected:
    ~IDecoderNotify() = default;
};

// The picture record DecodeFrame fills: plane count, four plane pointers, four strides, width,
// height. Holds pointers: 44 bytes on a 32-bit target, 64 here.
struct DecodedPicture {
    int32_t planes;
    void* plane[4];
    int32_t stride[4];
    int32_t width;
    int32_t height;
};
static_assert(sizeof(DecodedPicture) == (sizeof(void*) == 8 ? 64 : 44), "picture record layout");
// xvid's decode records hold pointers too: 56 and 32 bytes on a 32-bit target.
static_assert(sizeof(xvid_dec_frame_t) == (sizeof(void*) == 8 ? 88 : 56), "xvid decode frame record");
static_assert(sizeof(xvid_dec_stats_t) == (sizeof(void*) == 8 ? 40 : 32), "xvid decode statistics record");

constexpr int kMaxPictureWidth = 720;
constexpr int kMaxPictureHeight = 576;
constexpr uint32_t kMaxDecodeTotal = 131072; // header and payload of one frame

class CMp4DecoderManager {
public:
    // The library stays the caller's and must outlive the manager.
    explicit CMp4DecoderManager(const XvidApi& xvid);
    CMp4DecoderManager(const CMp4DecoderManager&) = delete;
    CMp4DecoderManager& operator=(const CMp4DecoderManager&) = delete;
    virtual ~CMp4DecoderManager();

    // colourMode 0 = 24-bit BGR, 1 = 32-bit BGRA, other = planar 4:2:0. notify may be null.
    int Initialize(int channels, int colourMode, const int* widths, const int* heights, IDecoderNotify* notify);
    // frame points at a whole stream frame (64-byte header, then the payload) of which
    // frameBytes are readable; header is what the caller parsed from its first 64 bytes. Returns 0
    // when no picture was produced, else (consumed + 72) / 8 * 8.
    int DecodeFrame(const wire::VideoFrameHeader& header, const uint8_t* frame, size_t frameBytes,
                    DecodedPicture* picture, int channel);
    int ResetChannel(int channel, int colourMode, int width, int height);
    int GetResolutionClass(int channel) const;
    int SetNtscMark(int value);
    int NtscMark() const { return ntscMark_.load(std::memory_order_relaxed); }
    bool Ready() const { return ready_.load(std::memory_order_relaxed) != 0; }
    void Destroy();

    int Channels() const { return channels_; }
    // Whether decoders can exist at all, and the line the view logs once when they cannot.
    XvidStatus LibraryStatus() const { return xvid_.status; }
    const char* LibraryStatusText() const { return XvidStatusText(xvid_.status); }
    bool HasDecoder(int channel) const;
    // The size the channel's decoder and output buffers were made for.
    bool ChannelSize(int channel, int& width, int& height) const;

private:
    struct Channel;
    void CreateDecoder(Channel& c, int colourMode, int width, int height);
    void FreeChannel(Channel& c);
    bool AcceptSequence(Channel& c, const wire::VideoFrameHeader& h);
    void FollowPictureSize(Channel& c, int channel, int width, int height);
    bool SendVolIfDue(Channel& c, bool interlaced, DecodedPicture* picture);
    bool DecodePayload(Channel& c, const uint8_t* payload, int length, DecodedPicture* picture);
    void StartOver(Channel& c);
    int DecodeBytes(Channel& c, const uint8_t* data, int length);
    void FillPicture(const Channel& c, DecodedPicture* picture) const;
    int Refuse();

    const XvidApi& xvid_;
    std::unique_ptr<std::recursive_mutex[]> locks_;
    std::unique_ptr<Channel[]> ch_;
    int colourMode_ = 0;
    IDecoderNotify* notify_ = nullptr; // the view's: not ours
    int channels_ = 0;
    int planes_ = 0;
    std::atomic<int> ntscMark_{0};
    std::atomic<int> ready_{0};
};

// The class a picture size belongs to: 1 = CIF-wide, 2 = field height, 4 = full height, 0 other.
int ResolutionClassOf(int width, int height);

} // namespace video
