#pragma once
// One channel's video, encoded once with xvidcore into a loop of a few seconds that the simulator
// then sends round and round. The bitstream is made to decode under the VOL header the viewer
// synthesizes from the frame header and under nothing else (see EncodeVideoLoop), and carries bare
// VOPs, as a DVR sends them.
#include "CameraScene.h"
#include "XvidApi.h"
#include <cstdint>
#include <string>
#include <vector>

namespace dvrsim {

struct VideoFormat {
    int width = 352;
    int height = 240;
    int fps = 30; // 30 (29.97) or 25
    bool interlaced = false; // the frame header's bit; 480 and 576 lines are always coded as fields
    int seconds = 2; // loop length
    int keyInterval = 0; // frames between intra pictures; 0 = one second
    int quant = 4;
    bool whiteFirst = false; // the loop's first picture is all white (a sync marker)
};

struct EncodedVideoFrame {
    bool intra = false;
    int sourceIndex = 0; // the CameraScene frame it was made from
    std::vector<uint8_t> vop; // starts with the VOP start code
};

struct VideoLoop {
    VideoFormat format;
    int channel = 0;
    bool codedInterlaced = false; // what the encoder and the viewer's VOL use
    int fincr = 1001; // frame duration fincr / 30000 s
    std::vector<EncodedVideoFrame> frames;
};

// The increment over the viewer's time resolution of 30000 for a rate: 29.97 or about 25 frames
// per second. Other rates would make xvid reduce the fraction and change the VOP time field width.
int FrameIncrementFor(int fps);

// Encodes format.seconds of the channel's scene. False (and why, in error) when the size is not a
// multiple of 16 within 720 x 576, the encoder is missing or fails, or a frame comes out without
// exactly one VOP.
bool EncodeVideoLoop(const video::XvidApi& xvid, int channel, const VideoFormat& format, VideoLoop& out,
                     std::string* error = nullptr);

// Offset of the first VOP start code (00 00 01 B6) in an encoder output, or -1.
long FindVopStart(const uint8_t* data, size_t size);

} // namespace dvrsim
