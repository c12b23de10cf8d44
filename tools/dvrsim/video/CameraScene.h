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

// Where a picture of `width` x `height` carries its burned-in marks: the top left of the first
// glyph of the camera's number ("CH01") and of the frame counter ("00000"), and the size of one
// glyph dot (a glyph is 5 x 7 dots, one dot apart). Both sit in the middle of the picture, clear of
// the title and time stamp a display draws at its corners.
struct SceneMarks {
    int scale;
    int channelX, channelY;
    int counterX, counterY;
};
SceneMarks MarksOf(int width, int height);

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
