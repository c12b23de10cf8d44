#include "Mp4DecoderManager.h"
#include "wire/StreamFrame.h"
#include <cstring>
#include <new>

namespace video {

namespace {

// Every xvid record the manager fills carries this version; the library checks only the major.
constexpr int kRecordVersion = 0x010103;
// Low delay, and the top flag bit.
constexpr int kDecodeGeneral = static_cast<int>(0x80000001u);

bool SizeAcceptable(int width, int height)
{
    return width > 0 && height > 0 && width <= kMaxPictureWidth && height <= kMaxPictureHeight;
}

// A video-object-layer start code, 00 00 01 20..2F.
bool HasVolStartCode(const uint8_t* p, int n)
{
    for (int i = 0; i + 3 < n; ++i)
        if (p[i] == 0 && p[i + 1] == 0 && p[i + 2] == 1 && (p[i + 3] & 0xF0) == 0x20)
            return true;
    return false;
}

// Everything the DVR says about sizes is checked before a decoder or a buffer is made for it.
bool FrameFits(const wire::VideoFrameHeader& h, size_t frameBytes)
{
    return h.total >= wire::kVideoHeaderSize && h.total <= kMaxDecodeTotal && h.total <= frameBytes &&
        SizeAcceptable(h.Width(), h.Height());
}

std::unique_ptr<uint8_t[]> Allocate(size_t n) { return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[n]); }

} // namespace

int ResolutionClassOf(int width, int height)
{
    if (width >= 301 && width <= 399)
        return 1;
    if (height < 300)
        return 2;
    if (height > 400)
        return 4;
    return 0;
}

struct CMp4DecoderManager::Channel {
    void* handle = nullptr;
    xvid_dec_frame_t frame{};
    xvid_dec_stats_t stats{};
    int width = 0;
    int height = 0;
    const uint8_t* current = nullptr;
    int consumed = 0;
    int lastResult = 0;
    uint32_t lastSequence = 0;
    bool anyAccepted = false;
    int resolutionClass = 0;
    int volSent = 0;
    uint8_t vol[kVolSize] = {};
    std::unique_ptr<uint8_t[]> out[4];
    int stride[4] = {};
};

CMp4DecoderManager::CMp4DecoderManager(const XvidApi& xvid) : xvid_(xvid) {}

CMp4DecoderManager::~CMp4DecoderManager() { Destroy(); }

int CMp4DecoderManager::Initialize(int channels, int colourMode, const int* widths, const int* heights,
                                   IDecoderNotify* notify)
{
    Destroy();
    if (channels < 0)
        channels = 0;
    locks_.reset(new (std::nothrow) std::recursive_mutex[channels > 0 ? channels : 1]);
    ch_.reset(new (std::nothrow) Channel[channels > 0 ? channels : 1]);
    if (!locks_ || !ch_) {
        locks_.reset();
        ch_.reset();
        return 0;
    }
    channels_ = channels;
    colourMode_ = colourMode;
    planes_ = (colourMode == 0 || colourMode == 1) ? 1 : 4;
    notify_ = notify;

    if (xvid_.CanDecode()) {
        xvid_gbl_info_t info{};
        info.version = kRecordVersion;
        xvid_.global(nullptr, XVID_GBL_INFO, &info, nullptr);
        xvid_gbl_init_t init{};
        init.version = kRecordVersion;
        init.cpu_flags = info.cpu_flags;
        init.debug = 0;
        xvid_.global(nullptr, XVID_GBL_INIT, &init, nullptr);
    }
    for (int i = 0; i < channels_; ++i) {
        Channel& c = ch_[i];
        c.lastSequence = 0;
        CreateDecoder(c, colourMode, widths ? widths[i] : kMaxPictureWidth, heights ? heights[i] : 480);
        c.consumed = 0;
        c.resolutionClass = 0;
        c.volSent = 0;
    }
    ready_ = 1;
    return 1;
}

void CMp4DecoderManager::FreeChannel(Channel& c)
{
    if (c.handle)
        xvid_.decore(c.handle, XVID_DEC_DESTROY, nullptr, nullptr);
    c.handle = nullptr;
    for (auto& b : c.out)
        b.reset();
}

void CMp4DecoderManager::CreateDecoder(Channel& c, int colourMode, int width, int height)
{
    c.width = width;
    c.height = height;
    FreeChannel(c);
    c.lastResult = 0;
    c.consumed = 0;
    std::memset(&c.stats, 0, sizeof c.stats);
    c.stats.version = kRecordVersion;
    std::memset(&c.frame, 0, sizeof c.frame);
    c.frame.version = kRecordVersion;
    c.frame.general = kDecodeGeneral;
    if (!xvid_.CanDecode() || !SizeAcceptable(width, height))
        return;

    xvid_dec_create_t create{};
    create.version = kRecordVersion;
    create.width = width;
    create.height = height;
    if (xvid_.decore(nullptr, XVID_DEC_CREATE, &create, nullptr) < 0 || !create.handle)
        return;
    c.handle = create.handle;

    const size_t w = static_cast<size_t>(width), h = static_cast<size_t>(height);
    bool ok = true;
    if (colourMode == 0 || colourMode == 1) {
        const size_t bpp = colourMode == 0 ? 3 : 4;
        c.out[0] = Allocate(w * h * bpp);
        ok = c.out[0] != nullptr;
        c.frame.output.csp = colourMode == 0 ? XVID_CSP_BGR : XVID_CSP_BGRA;
        c.stride[0] = static_cast<int>(w * bpp);
        c.stride[1] = c.stride[2] = c.stride[3] = 0;
    } else {
        c.out[0] = Allocate(w * h);
        for (int p = 1; p < 4; ++p) {
            c.out[p] = Allocate(w * h / 4);
            ok = ok && c.out[p] != nullptr;
        }
        ok = ok && c.out[0] != nullptr;
        c.frame.output.csp = XVID_CSP_PLANAR;
        c.stride[0] = width;
        c.stride[1] = c.stride[2] = c.stride[3] = width / 2;
    }
    if (!ok) {
        FreeChannel(c);
        return;
    }
    for (int p = 0; p < 4; ++p) {
        c.frame.output.plane[p] = c.out[p].get();
        c.frame.output.stride[p] = c.stride[p];
    }
}

int CMp4DecoderManager::ResetChannel(int channel, int colourMode, int width, int height)
{
    if (channel < 0 || channel >= channels_ || !ch_)
        return 0;
    std::lock_guard<std::recursive_mutex> lock(locks_[channel]);
    if (colourMode != colourMode_) {
        // The plane count is the manager's: a channel cannot switch between packed and planar.
        const int planes = (colourMode == 0 || colourMode == 1) ? 1 : 4;
        if (planes != planes_)
            return 0;
        colourMode_ = colourMode;
    }
    // A new decoder knows nothing: it gets its VOL again and waits for an intra picture, whatever
    // sequence number comes next (a player that seeks goes back in the stream).
    CreateDecoder(ch_[channel], colourMode, width, height);
    ch_[channel].volSent = 0;
    ch_[channel].anyAccepted = false;
    return 1;
}

int CMp4DecoderManager::GetResolutionClass(int channel) const
{
    if (channel < 0 || channel >= channels_ || !ch_)
        return 0;
    std::lock_guard<std::recursive_mutex> lock(locks_[channel]);
    return ch_[channel].resolutionClass;
}

int CMp4DecoderManager::SetNtscMark(int value)
{
    ntscMark_.store(value, std::memory_order_relaxed);
    return value;
}

bool CMp4DecoderManager::HasDecoder(int channel) const
{
    if (channel < 0 || channel >= channels_ || !ch_)
        return false;
    std::lock_guard<std::recursive_mutex> lock(locks_[channel]);
    return ch_[channel].handle != nullptr;
}

bool CMp4DecoderManager::ChannelSize(int channel, int& width, int& height) const
{
    if (channel < 0 || channel >= channels_ || !ch_)
        return false;
    std::lock_guard<std::recursive_mutex> lock(locks_[channel]);
    width = ch_[channel].width;
    height = ch_[channel].height;
    return true;
}

int CMp4DecoderManager::DecodeBytes(Channel& c, const uint8_t* data, int length)
{
    c.frame.bitstream = const_cast<uint8_t*>(data); // xvid reads it only
    c.frame.length = length;
    std::memset(&c.stats, 0, sizeof c.stats);
    c.stats.version = kRecordVersion;
    return xvid_.decore(c.handle, XVID_DEC_DECODE, &c.frame, &c.stats);
}

void CMp4DecoderManager::FillPicture(const Channel& c, DecodedPicture* picture) const
{
    picture->planes = planes_;
    for (int p = 0; p < 4; ++p) {
        picture->plane[p] = c.out[p].get();
        picture->stride[p] = c.stride[p];
    }
}

int CMp4DecoderManager::Refuse()
{
    ready_ = 1;
    return 0;
}

// Before the first accepted frame nothing can be predicted from.
bool CMp4DecoderManager::AcceptSequence(Channel& c, const wire::VideoFrameHeader& h)
{
    const uint64_t s = h.sequence, l = c.lastSequence;
    if (h.Predicted() && (!c.anyAccepted || s > l + 1))
        return false;
    if (c.anyAccepted && s == l)
        return false;
    c.lastSequence = h.sequence;
    c.anyAccepted = true;
    return true;
}

void CMp4DecoderManager::FollowPictureSize(Channel& c, int channel, int width, int height)
{
    if (width != c.width || height != c.height) {
        CreateDecoder(c, colourMode_, width, height);
        c.volSent = 0;
    }
    const int cls = ResolutionClassOf(width, height);
    if (cls != c.resolutionClass && notify_)
        notify_->ResolutionClassChanged(channel, cls);
    c.resolutionClass = cls;
}

// False when xvid reads another picture size from the channel's own VOL than its buffers have.
bool CMp4DecoderManager::SendVolIfDue(Channel& c, bool interlaced, DecodedPicture* picture)
{
    if (c.volSent)
        return true;
    c.volSent = 1;
    BuildVolHeader(c.width, c.height, interlaced, c.vol);
    DecodeBytes(c, c.vol, static_cast<int>(kVolSize));
    if (c.stats.type != XVID_TYPE_VOL)
        return true;
    picture->width = c.stats.data.vol.width;
    picture->height = c.stats.data.vol.height;
    return picture->width == c.width && picture->height == c.height;
}

// A VOL inside the payload returns from xvid before the VOP that follows it. One whose size
// differs from the output buffers would have an xvid that resizes on the fly write the next
// picture past them; an xvid whose size is fixed at creation ignores the size but keeps the
// VOL's other fields, which garbles every following picture. Either way the channel starts
// over from its own VOL at the next intra picture.
bool CMp4DecoderManager::DecodePayload(Channel& c, const uint8_t* payload, int length, DecodedPicture* picture)
{
    int offset = 0;
    for (int call = 0; call < 4 && offset < length; ++call) {
        const int r = DecodeBytes(c, payload + offset, length - offset);
        c.lastResult = r;
        if (r <= 0)
            return false;
        const int left = length - offset;
        const bool volSeen = c.stats.type <= 0 && HasVolStartCode(payload + offset, r < left ? r : left);
        c.consumed += r;
        offset += r;
        if (c.stats.type > 0)
            break;
        const bool sameSize =
            c.stats.type == XVID_TYPE_VOL && c.stats.data.vol.width == c.width && c.stats.data.vol.height == c.height;
        if (volSeen && !sameSize) {
            StartOver(c);
            return false;
        }
        if (c.stats.type != XVID_TYPE_VOL)
            break;
        picture->width = c.stats.data.vol.width;
        picture->height = c.stats.data.vol.height;
    }
    // xvid reads whole words without looking at the length: a decode that claims more than it was
    // given ran off the end of garbage.
    return offset <= length;
}

void CMp4DecoderManager::StartOver(Channel& c)
{
    CreateDecoder(c, colourMode_, c.width, c.height);
    c.volSent = 0;
    c.anyAccepted = false;
}

int CMp4DecoderManager::DecodeFrame(const wire::VideoFrameHeader& h, const uint8_t* frame, size_t frameBytes,
                                    DecodedPicture* picture, int channel)
{
    if (channel < 0 || channel >= channels_ || !ch_ || !picture || !frame || frameBytes < wire::kVideoHeaderSize)
        return Refuse();
    std::lock_guard<std::recursive_mutex> lock(locks_[channel]);
    Channel& c = ch_[channel];
    ntscMark_.store((h.heightDiv16 * 16) % 120 == 0 ? 1 : 0, std::memory_order_relaxed);
    if (!FrameFits(h, frameBytes) || !AcceptSequence(c, h))
        return Refuse();
    FollowPictureSize(c, channel, h.Width(), h.Height());

    c.consumed = 0;
    c.current = frame;
    c.lastResult = 0;
    const int payloadLength = static_cast<int>(h.total - wire::kVideoHeaderSize);
    if (!c.handle || !SendVolIfDue(c, h.Interlaced(), picture) ||
        !DecodePayload(c, frame + wire::kVideoHeaderSize, payloadLength, picture))
        return Refuse();

    FillPicture(c, picture);
    ready_ = 1;
    return c.consumed == 0 ? 0 : (c.consumed + 72) / 8 * 8;
}

void CMp4DecoderManager::Destroy()
{
    ready_ = 0;
    if (ch_) {
        for (int i = 0; i < channels_; ++i) {
            FreeChannel(ch_[i]);
            ch_[i].volSent = 0;
        }
    }
    ch_.reset();
    locks_.reset();
    channels_ = 0;
}

} // namespace video
