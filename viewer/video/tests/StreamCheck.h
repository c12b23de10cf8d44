#pragma once
// Decodes the simulator's streams through CMp4DecoderManager and measures every picture against the
// scene it was encoded from. Shared by the native tests, the Windows tests and the benchmarks.
#include "CameraScene.h"
#include "Mp4DecoderManager.h"
#include "VideoChannelStream.h"
#include "VideoLoop.h"
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace videotest {

inline double Psnr(const uint8_t* a, const uint8_t* b, size_t n)
{
    double se = 0;
    for (size_t i = 0; i < n; ++i) {
        const double d = double(a[i]) - double(b[i]);
        se += d * d;
    }
    if (se == 0)
        return 99.0;
    return 10.0 * std::log10(255.0 * 255.0 * double(n) / se);
}

struct PsnrFigures {
    int intra = 0, predicted = 0;
    double minIntra = 99, minPredicted = 99, sumIntra = 0, sumPredicted = 0;
    int decoded = 0, offered = 0;

    void Add(bool isIntra, double db)
    {
        if (isIntra) {
            ++intra;
            sumIntra += db;
            minIntra = std::min(minIntra, db);
        } else {
            ++predicted;
            sumPredicted += db;
            minPredicted = std::min(minPredicted, db);
        }
    }
    double MeanIntra() const { return intra ? sumIntra / intra : 0; }
    double MeanPredicted() const { return predicted ? sumPredicted / predicted : 0; }
    double Min() const { return std::min(minIntra, minPredicted); }
    std::string Text() const
    {
        char b[200];
        std::snprintf(b, sizeof b, "I %d pictures min %.2f mean %.2f dB; P %d pictures min %.2f mean %.2f dB", intra,
                      minIntra, MeanIntra(), predicted, minPredicted, MeanPredicted());
        return b;
    }
};

// Luma PSNR of a planar picture record against the source.
inline double PlanarLumaPsnr(const video::DecodedPicture& pic, const dvrsim::YuvPicture& src)
{
    double se = 0;
    for (int y = 0; y < src.height; ++y) {
        const uint8_t* d = static_cast<const uint8_t*>(pic.plane[0]) + size_t(y) * pic.stride[0];
        const uint8_t* s = src.y.data() + size_t(y) * src.width;
        for (int x = 0; x < src.width; ++x) {
            const double e = double(d[x]) - double(s[x]);
            se += e * e;
        }
    }
    if (se == 0)
        return 99.0;
    return 10.0 * std::log10(255.0 * 255.0 * double(src.width) * src.height / se);
}

// The source converted to BGR by xvid's own converter, as the decoder converts its output.
inline bool SourceToBgr(const video::XvidApi& xvid, const dvrsim::YuvPicture& src, bool interlaced,
                        std::vector<uint8_t>& bgr)
{
    bgr.assign(size_t(src.width) * src.height * 3, 0);
    // xvid converts only from one contiguous YV12 buffer: Y, then V, then U.
    std::vector<uint8_t> yv12(src.y);
    yv12.insert(yv12.end(), src.v.begin(), src.v.end());
    yv12.insert(yv12.end(), src.u.begin(), src.u.end());
    xvid_gbl_convert_t cv{};
    cv.version = XVID_VERSION;
    cv.input.csp = XVID_CSP_YV12;
    cv.input.plane[0] = yv12.data();
    cv.input.stride[0] = src.width;
    cv.output.csp = XVID_CSP_BGR;
    cv.output.plane[0] = bgr.data();
    cv.output.stride[0] = src.width * 3;
    cv.width = src.width;
    cv.height = src.height;
    cv.interlacing = interlaced ? 1 : 0;
    return xvid.global(nullptr, XVID_GBL_CONVERT, &cv, nullptr) >= 0;
}

// A whole stream frame through the manager, its header parsed first as the frame pipeline does; a
// frame too short for a header is not handed over.
inline int DecodeWholeFrame(video::CMp4DecoderManager& m, const std::vector<uint8_t>& frame, video::DecodedPicture& pic,
                            int channel)
{
    wire::VideoFrameHeader h;
    if (!wire::ParseVideoFrameHeader(frame.data(), frame.size(), h))
        return 0;
    return m.DecodeFrame(h, frame.data(), frame.size(), &pic, channel);
}

// Streams `frames` frames of the loop on channel `channel` through a manager of colour mode 0 or 2
// and measures every picture that comes out (planar: luma; BGR: all three colours).
inline PsnrFigures DecodeAndMeasure(const video::XvidApi& xvid, const dvrsim::VideoLoop& loop, int colourMode,
                                    int frames, dvrsim::VideoFaults faults = {})
{
    PsnrFigures fig;
    video::CMp4DecoderManager m(xvid);
    const int w[1] = {720}, h[1] = {480};
    m.Initialize(1, colourMode, w, h, nullptr);
    dvrsim::VideoChannelStream stream(0, &loop, nullptr, faults);
    dvrsim::CameraScene scene(loop.channel, loop.format.width, loop.format.height);
    dvrsim::YuvPicture src;
    std::vector<uint8_t> frame, ref;
    for (int i = 0; i < frames; ++i) {
        dvrsim::SentVideoFrame info;
        stream.Next(1700000000000000ull + uint64_t(i) * 33367, frame, &info);
        ++fig.offered;
        video::DecodedPicture pic{};
        if (DecodeWholeFrame(m, frame, pic, 0) == 0)
            continue;
        ++fig.decoded;
        scene.Render(info.sourceIndex, src);
        double db;
        if (colourMode == 0) {
            SourceToBgr(xvid, src, loop.codedInterlaced, ref);
            db = Psnr(static_cast<const uint8_t*>(pic.plane[0]), ref.data(), ref.size());
        } else {
            db = PlanarLumaPsnr(pic, src);
        }
        fig.Add(info.intra, db);
    }
    return fig;
}

} // namespace videotest
