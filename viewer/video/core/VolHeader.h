#pragma once
// The DVR sends bare VOPs: no video-object-layer header ever comes with them. The viewer makes one
// from the frame header's size and interlaced bit and feeds it to each channel's decoder first.
// The template is a VOL for a 704 x 240 picture; bytes 23..27 carry width, height and the
// interlaced bit and are rewritten per channel.
//
// Fields of the template that decide how the following VOPs are parsed (an encoder feeding this
// viewer must agree with every one of them):
//   video_object_layer_verid 2      -> quarter_sample, newpred, reduced_resolution bits present
//   low_delay 1                     -> no B-VOPs
//   shape rectangular               -> no shape coding in VOPs
//   vop_time_increment_resolution 30000 -> 15-bit vop_time_increment
//   fixed_vop_rate 0
//   width, height (13 bits each)    -> macroblock count and motion-vector range of every VOP
//   interlaced                      -> top_field_first / alternate_scan in VOP headers, field DCT
//                                      and field prediction bits per macroblock
//   obmc_disable 1, sprite_enable 0 -> no GMC/S-VOPs
//   not_8_bit 0                     -> 5-bit vop_quant
//   quant_type 1 (MPEG), default intra and inter matrices
//   quarter_sample 0
//   resync_marker_disable 1, data_partitioned 0 -> no video packets
//   newpred_enable 0, reduced_resolution_vop_enable 0, scalability 0
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace video {

constexpr size_t kVolSize = 30;
constexpr uint8_t kVolTemplate[kVolSize] = {0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x20, 0x02, 0x48,
                                            0x0D, 0xC0, 0x00, 0x40, 0x00, 0x40, 0x00, 0x40, 0x00, 0x80,
                                            0x00, 0x97, 0x53, 0x0A, 0x2C, 0x08, 0x3C, 0x28, 0x8C, 0x1F};
constexpr int kVolTimeResolution = 30000;

// Full-height NTSC and PAL pictures are always fields of an interlaced camera.
inline bool VolInterlaced(int height, bool headerInterlaced)
{
    return headerInterlaced || height == 480 || height == 576;
}

// width and height are multiples of 16 below 8192 (the frame header gives them in 16-pixel units).
inline void BuildVolHeader(int width, int height, bool headerInterlaced, uint8_t out[kVolSize])
{
    std::memcpy(out, kVolTemplate, kVolSize);
    const unsigned w = static_cast<unsigned>(width) & 0x1FFF;
    const unsigned h = static_cast<unsigned>(height) & 0x1FFF;
    out[23] = static_cast<uint8_t>(0x0A + (w >> 12));
    out[24] = static_cast<uint8_t>((w >> 4) & 0xFF);
    out[25] = static_cast<uint8_t>(((w & 0x0F) << 4) + 8 + ((h >> 10) & 7));
    out[26] = static_cast<uint8_t>((h >> 2) & 0xFF);
    out[27] = static_cast<uint8_t>(((h & 3) << 6) + (VolInterlaced(height, headerInterlaced) ? 0x38 : 0x28));
}

} // namespace video
