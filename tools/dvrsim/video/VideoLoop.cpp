#include "VideoLoop.h"
#include "VolHeader.h"
#include <algorithm>
#include <cstring>

namespace dvrsim {

namespace {

constexpr int kRecordVersion = XVID_VERSION;
// The viewer refuses frames above 128 KiB, header included.
constexpr size_t kMaxVopBytes = 131072 - 64;

bool Fail(std::string* error, const std::string& why)
{
    if (error)
        *error = why;
    return false;
}

int CountVops(const uint8_t* p, size_t n)
{
    int count = 0;
    for (size_t i = 0; i + 3 < n; ++i)
        if (p[i] == 0 && p[i + 1] == 0 && p[i + 2] == 1 && p[i + 3] == 0xB6)
            ++count;
    return count;
}

} // namespace

int FrameIncrementFor(int fps) { return fps == 25 ? 1201 : 1001; }

long FindVopStart(const uint8_t* data, size_t size)
{
    for (size_t i = 0; i + 3 < size; ++i)
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1 && data[i + 3] == 0xB6)
            return static_cast<long>(i);
    return -1;
}

// The VOL the viewer makes fixes how every VOP is parsed, and xvid's own VOL (stripped with the
// other headers) has to say the same:
//   time resolution 30000 (15-bit vop_time_increment): fbase 30000 with an fincr prime to it, since
//     xvid reduces fincr/fbase by their gcd (1200/30000 would become 1/25, a 5-bit field);
//   quant_type MPEG with the default matrices: XVID_VOL_MPEGQUANT and no custom matrix;
//   interlaced exactly when the viewer's VOL says so (header bit, or 480 or 576 lines):
//     XVID_VOL_INTERLACING, which adds the field bits to VOP and macroblock headers;
//   low delay, no B-VOPs: max_bframes 0;
//   no quarter-pel (XVID_VOL_QUARTERPEL off), no GMC / S-VOPs (XVID_VOL_GMC off);
//   no resync markers or data partitioning: num_slices 0;
//   5-bit quantiser (not_8_bit 0), rectangular shape, no newpred, no reduced resolution, no
//     scalability: xvid never writes otherwise;
//   width and height: the encoder's, equal to the frame header's.
// xvid writes its VOS, VO, VOL and user data before every intra VOP: each output is cut at its VOP.
static bool EncodeOnce(const video::XvidApi& xvid, int channel, const VideoFormat& f, VideoLoop& out,
                       std::string* error, bool& tooLarge)
{
    if (f.width <= 0 || f.height <= 0 || f.width % 16 || f.height % 16 || f.width > 720 || f.height > 576)
        return Fail(error, "picture size must be a multiple of 16 within 720 x 576");
    if (f.fps != 25 && f.fps != 30)
        return Fail(error, "frame rate must be 25 or 30");
    if (!xvid.global || !xvid.encore)
        return Fail(error, "xvidcore encoder not available");

    out = VideoLoop{};
    out.format = f;
    out.channel = channel;
    out.codedInterlaced = video::VolInterlaced(f.height, f.interlaced);
    out.fincr = FrameIncrementFor(f.fps);
    const int frames = f.fps * (f.seconds > 0 ? f.seconds : 1);
    const int keyInterval = f.keyInterval > 0 ? f.keyInterval : f.fps;

    xvid_gbl_init_t init{};
    init.version = kRecordVersion;
    xvid.global(nullptr, XVID_GBL_INIT, &init, nullptr);

    xvid_enc_create_t create{};
    create.version = kRecordVersion;
    create.profile = XVID_PROFILE_AS_L4;
    create.width = f.width;
    create.height = f.height;
    create.num_zones = 0;
    create.num_plugins = 0;
    create.num_threads = 0;
    create.max_bframes = 0;
    create.global = 0;
    create.fincr = out.fincr;
    create.fbase = video::kVolTimeResolution;
    create.max_key_interval = keyInterval;
    create.num_slices = 0;
    if (xvid.encore(nullptr, XVID_ENC_CREATE, &create, nullptr) < 0 || !create.handle)
        return Fail(error, "xvid encoder could not be created");

    CameraScene scene(channel, f.width, f.height);
    YuvPicture pic;
    std::vector<uint8_t> bits(static_cast<size_t>(f.width) * f.height * 3 + 4096);
    bool ok = true;
    for (int i = 0; i < frames && ok; ++i) {
        scene.Render(i, pic);
        if (f.whiteFirst && i == 0) {
            std::fill(pic.y.begin(), pic.y.end(), uint8_t(235));
            std::fill(pic.u.begin(), pic.u.end(), uint8_t(128));
            std::fill(pic.v.begin(), pic.v.end(), uint8_t(128));
        }
        xvid_enc_frame_t fr{};
        fr.version = kRecordVersion;
        fr.vol_flags = XVID_VOL_MPEGQUANT | (out.codedInterlaced ? XVID_VOL_INTERLACING : 0);
        fr.vop_flags = XVID_VOP_HALFPEL | XVID_VOP_INTER4V | XVID_VOP_HQACPRED;
        fr.motion = XVID_ME_ADVANCEDDIAMOND16 | XVID_ME_HALFPELREFINE16 | XVID_ME_HALFPELREFINE8;
        fr.input.csp = XVID_CSP_PLANAR;
        fr.input.plane[0] = pic.y.data();
        fr.input.plane[1] = pic.u.data();
        fr.input.plane[2] = pic.v.data();
        fr.input.stride[0] = f.width;
        fr.input.stride[1] = fr.input.stride[2] = f.width / 2;
        fr.type = (i % keyInterval == 0) ? XVID_TYPE_IVOP : XVID_TYPE_AUTO;
        fr.quant = f.quant;
        fr.bitstream = bits.data();
        fr.length = static_cast<int>(bits.size());
        xvid_enc_stats_t stats{};
        stats.version = kRecordVersion;
        const int n = xvid.encore(create.handle, XVID_ENC_ENCODE, &fr, &stats);
        if (n <= 0) {
            ok = Fail(error, "xvid produced no bytes for frame " + std::to_string(i));
            break;
        }
        const long start = FindVopStart(bits.data(), static_cast<size_t>(n));
        if (start < 0 || CountVops(bits.data(), static_cast<size_t>(n)) != 1) {
            ok = Fail(error, "frame " + std::to_string(i) + " is not exactly one VOP");
            break;
        }
        if (static_cast<size_t>(n - start) > kMaxVopBytes)
            tooLarge = true;
        EncodedVideoFrame ef;
        ef.intra = (fr.out_flags & XVID_KEYFRAME) != 0 || stats.type == XVID_TYPE_IVOP;
        ef.sourceIndex = i;
        ef.vop.assign(bits.begin() + start, bits.begin() + n);
        out.frames.push_back(std::move(ef));
    }
    xvid.encore(create.handle, XVID_ENC_DESTROY, nullptr, nullptr);
    if (ok && (out.frames.empty() || !out.frames.front().intra))
        ok = Fail(error, "the loop does not start with an intra picture");
    return ok;
}

bool EncodeVideoLoop(const video::XvidApi& xvid, int channel, const VideoFormat& format, VideoLoop& out,
                     std::string* error)
{
    VideoFormat f = format;
    if (f.quant < 1)
        f.quant = 1;
    // A picture too large for the viewer is made again, coarser.
    for (;;) {
        bool tooLarge = false;
        if (!EncodeOnce(xvid, channel, f, out, error, tooLarge))
            return false;
        if (!tooLarge)
            return true;
        if (f.quant >= 31)
            return Fail(error, "pictures stay too large at the coarsest quantiser");
        f.quant = f.quant + 2 > 31 ? 31 : f.quant + 2;
    }
}

} // namespace dvrsim
