#pragma once
// The split-screen display's arithmetic: the eleven layouts and their geometry, the view's division
// modes, font size and border width per division, the picture's source rectangle, the three text
// boxes and their texts, and the check a picture must pass before it is copied. Neutral code: the
// window and GDI side lives in DisplayManager.
#include "TimeZoneConvert.h" // PictureTime: the local time a division shows
#include <cstddef>
#include <cstdint>

namespace video {

constexpr int kDisplayChannels = 25;
constexpr int kLayoutCount = 11;
constexpr int kDefaultLayout = 4;
constexpr uint32_t kPictureBufferSize = 1728000; // 720 x 576 x 4: room for any picture the DVR sends
constexpr uint8_t kNoEntry = 255; // empty position / channel not shown
constexpr int kTitleLength = 50; // wide characters, terminating zero included
constexpr uint8_t kDefaultFillLevel = 75;

// The bitmap header a picture travels with: the 40-byte device-independent bitmap header followed
// by one further 32-bit value, the same 44 bytes as the platform's BITMAPINFO with one colour entry.
struct DibHeader {
    uint32_t size;
    int32_t width;
    int32_t height; // negative: rows run top-down
    uint16_t planes;
    uint16_t bitCount;
    uint32_t compression;
    uint32_t imageSize;
    int32_t xPelsPerMeter;
    int32_t yPelsPerMeter;
    uint32_t clrUsed;
    uint32_t clrImportant;
};
static_assert(sizeof(DibHeader) == 40, "the bitmap header is 40 bytes");

struct PictureInfo {
    DibHeader header;
    uint32_t extra;
};
static_assert(sizeof(PictureInfo) == 44, "bitmap information: header and one 32-bit value");

// How many pixel bytes a picture needs and how many are copied; ok = false when the picture must be
// refused: not uncompressed 24 or 32 bits, an empty or absurd size, or more bytes than a picture
// buffer holds, counted both from the stated image size and from width x height (drawing reads
// the latter, whatever the header's image size says).
struct PictureBytes {
    bool ok = false;
    uint32_t copy = 0; // bytes copied into the buffer: the stated image size, or the rows when it is 0
    uint32_t needed = 0; // bytes a draw of the picture reads
};
PictureBytes CheckPicture(const DibHeader& h);

// A blank picture of one black pixel (24 bits, top-down), as the decode threads send when blanking.
PictureInfo BlankPictureInfo();

// Picture made after construction: 720 x 480, 24 bits, top-down rows.
PictureInfo DefaultPictureInfo();

struct DivRect {
    int left = 0, right = 0, top = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

struct Division {
    uint8_t one = 1;
    uint8_t position = 0;
    uint8_t cell = 0; // low four bits: column, high four bits: row
    uint8_t span = 0; // low four bits: columns, high four bits: rows
    DivRect rect; // computed from the display area
    int Column() const { return cell & 15; }
    int Row() const { return cell >> 4; }
    int SpanColumns() const { return span & 15; }
    int SpanRows() const { return span >> 4; }
};

struct Layout {
    int cellWidth = 0, cellHeight = 0; // computed
    uint8_t count = 0;
    uint8_t grid = 0; // low four bits: columns, high four bits: rows
    Division divisions[kDisplayChannels];
    int Columns() const { return grid & 15; }
    int Rows() const { return grid >> 4; }
};

// The built-in layout of an index 0-10 (geometry not yet computed); layout 0 when out of range.
Layout BuiltinLayout(int index);

// Cell size = area / grid (integer division); each division's rectangle from its cell and span.
void ComputeGeometry(Layout& layout, int areaWidth, int areaHeight);

bool IsLayoutIndex(int index);

// The view's division modes: the split buttons choose a mode, the mode a layout and how many
// channels the view lists for it.
struct DivisionMode {
    int layout;
    int channels;
};
constexpr int kDivisionModeCount = 7;
extern const DivisionMode kDivisionModes[kDivisionModeCount];
// The mode's entry, or nullptr for a mode outside the table.
const DivisionMode* FindDivisionMode(int mode);

struct DivisionStyle {
    int fontPoints;
    int borderWidth;
};
DivisionStyle StyleOf(int layout, int position);

// The part of a picture stretched into its division: a few rows and columns of the decoder's edge
// are cut. A picture too small to cut (the blank 1 x 1 picture) is stretched whole, so its pixels
// reach the division instead of a rectangle that lies outside the bitmap.
struct SourceRect {
    int x = 0, y = 0, width = 0, height = 0; // y counts rows from the picture's top
    // The platform's stretch counts source rows from the bottom of the picture, for top-down
    // pictures too: this is the y to pass so that the rows cut are the ones meant.
    int StretchY(int pictureHeight) const
    {
        const int rows = pictureHeight < 0 ? -pictureHeight : pictureHeight;
        return rows - y - height;
    }
};
SourceRect PictureSourceRect(int width, int height);

struct TextBox {
    int left = 0, top = 0, right = 0, bottom = 0;
};
TextBox TitleBox(const DivRect& r, int fontPoints);
TextBox SizeBox(const DivRect& r, int fontPoints);
TextBox TimeBox(const DivRect& r, int fontPoints);

// The title from a format with one integer conversion (%d, %2d, %02d ...; %% is a percent sign),
// filled with the value. Anything else after a % is copied as it stands: a format is never given
// more to read than the one value. Always zero-terminated within kTitleLength.
void FormatTitle(const char16_t* format, int value, char16_t (&out)[kTitleLength]);

constexpr int kShortTextLength = 32;
void FormatSizeText(int width, int height, char16_t (&out)[kShortTextLength]); // "%03d x %03d"
void FormatTimeText(const PictureTime& t, char16_t (&out)[kShortTextLength]); // "%04d/%02d/%02d %02d:%02d:%02d"

} // namespace video
