#pragma once
// Synthetic camera pictures for the simulator: a scrolling background, a bouncing block and the
// channel number and frame counter in large digits, different per channel. Pictures are planar
// 4:2:0 (Y, then U and V at half size), the encoder's input and the tests' reference.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace dvrsim {

struct YuvPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> y, u, v; // strides width and width / 2

    void Resize(int w, int h);
};

class CameraScene {
public:
    CameraScene(int channel, int width, int height);
    // The picture of frame number frameIndex; the same index always gives the same picture.
    void Render(int frameIndex, YuvPicture& out) const;
    int Width() const { return width_; }
    int Height() const { return height_; }

private:
    int channel_;
    int width_;
    int height_;
};

} // namespace dvrsim
