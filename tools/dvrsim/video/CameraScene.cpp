#include "CameraScene.h"
#include <algorithm>
#include <cstdio>
#include <cstring>

namespace dvrsim {

namespace {

// 5 x 7 glyphs, one row per byte, bit 4 = leftmost column.
struct Glyph {
    char c;
    uint8_t rows[7];
};
constexpr Glyph kFont[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}}, {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'#', {0x0A, 0x0A, 0x1F, 0x0A, 0x1F, 0x0A, 0x0A}},
};

const uint8_t* GlyphRows(char c)
{
    for (const Glyph& g : kFont)
        if (g.c == c)
            return g.rows;
    return nullptr;
}

void FillRect(YuvPicture& p, int x0, int y0, int w, int h, uint8_t y, uint8_t u, uint8_t v)
{
    const int x1 = std::min(p.width, x0 + w), y1 = std::min(p.height, y0 + h);
    x0 = std::max(0, x0);
    y0 = std::max(0, y0);
    for (int yy = y0; yy < y1; ++yy)
        for (int xx = x0; xx < x1; ++xx) {
            p.y[static_cast<size_t>(yy) * p.width + xx] = y;
            const size_t ci = static_cast<size_t>(yy / 2) * (p.width / 2) + xx / 2;
            p.u[ci] = u;
            p.v[ci] = v;
        }
}

// Text in white on a dark plate, scale pixels per glyph dot.
void DrawText(YuvPicture& p, int x, int y, int scale, const char* text)
{
    const int n = static_cast<int>(std::strlen(text));
    FillRect(p, x - scale, y - scale, n * 6 * scale + scale, 9 * scale, 24, 128, 128);
    for (int i = 0; i < n; ++i) {
        const uint8_t* rows = GlyphRows(text[i]);
        if (!rows)
            continue;
        for (int r = 0; r < 7; ++r)
            for (int col = 0; col < 5; ++col)
                if (rows[r] & (0x10 >> col))
                    FillRect(p, x + (i * 6 + col) * scale, y + r * scale, scale, scale, 235, 128, 128);
    }
}

} // namespace

SceneMarks MarksOf(int width, int height)
{
    SceneMarks m;
    m.scale = std::max(2, height / 60);
    // "CH01" (4 glyphs) just above the middle line, "00000" (5 glyphs) just below, each centred.
    m.channelX = width / 2 - 12 * m.scale;
    m.channelY = height / 2 - 9 * m.scale;
    m.counterX = width / 2 - 15 * m.scale;
    m.counterY = height / 2 + 2 * m.scale;
    return m;
}

void YuvPicture::Resize(int w, int h)
{
    width = w;
    height = h;
    y.assign(static_cast<size_t>(w) * h, 0);
    u.assign(static_cast<size_t>(w / 2) * (h / 2), 128);
    v.assign(static_cast<size_t>(w / 2) * (h / 2), 128);
}

CameraScene::CameraScene(int channel, int width, int height) : channel_(channel), width_(width), height_(height) {}

void CameraScene::Render(int frameIndex, YuvPicture& out) const
{
    out.Resize(width_, height_);
    const int f = frameIndex;
    const int ch = channel_;
    // Background: diagonal bands that drift, a hue of the channel's own.
    const int dx = (ch % 2 ? 1 : -1) * (1 + ch % 3), dy = 1 + ch % 2;
    for (int yy = 0; yy < height_; ++yy)
        for (int xx = 0; xx < width_; ++xx) {
            const int t = (xx + dx * f) * 3 + (yy + dy * f) * 2 + ch * 37;
            const int band = (t / 64) & 1;
            out.y[static_cast<size_t>(yy) * width_ + xx] =
                static_cast<uint8_t>(60 + ((t & 63) * (band ? 1 : -1) + (band ? 0 : 63)) + (xx * 40) / width_);
        }
    const uint8_t cu = static_cast<uint8_t>(128 + ((ch * 53) % 96) - 48);
    const uint8_t cv = static_cast<uint8_t>(128 + ((ch * 29 + 17) % 96) - 48);
    for (int yy = 0; yy < height_ / 2; ++yy)
        for (int xx = 0; xx < width_ / 2; ++xx) {
            const size_t i = static_cast<size_t>(yy) * (width_ / 2) + xx;
            out.u[i] = static_cast<uint8_t>(cu + ((xx + f) % 32) / 4);
            out.v[i] = static_cast<uint8_t>(cv + ((yy + f) % 32) / 4);
        }

    // A block bouncing across the picture.
    const int bw = width_ / 6, bh = height_ / 5;
    const int spanX = std::max(1, width_ - bw), spanY = std::max(1, height_ - bh);
    int bx = (f * (3 + ch % 4) + ch * 41) % (2 * spanX);
    int by = (f * (2 + ch % 3) + ch * 23) % (2 * spanY);
    if (bx >= spanX)
        bx = 2 * spanX - bx;
    if (by >= spanY)
        by = 2 * spanY - by;
    FillRect(out, bx, by, bw, bh, static_cast<uint8_t>(180 - ch * 5), static_cast<uint8_t>(90 + ch * 8),
             static_cast<uint8_t>(200 - ch * 6));

    const SceneMarks m = MarksOf(width_, height_);
    char text[32];
    std::snprintf(text, sizeof text, "CH%02d", ch + 1);
    DrawText(out, m.channelX, m.channelY, m.scale, text);
    std::snprintf(text, sizeof text, "%05d", f % 100000);
    DrawText(out, m.counterX, m.counterY, m.scale, text);
}

} // namespace dvrsim
