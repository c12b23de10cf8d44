#include "DisplayLayout.h"
#include <cstdio>

namespace video {

namespace {

struct DivisionSpec {
    uint8_t column, row, spanColumns, spanRows;
};

// A layout as written down: grid columns and rows, then each position's cell and span.
struct LayoutSpec {
    uint8_t columns, rows, count;
    DivisionSpec divisions[kDisplayChannels];
};

// clang-format off
constexpr LayoutSpec kLayouts[kLayoutCount] = {
    {0, 0, 0, {}},
    {1, 1, 1, {{0, 0, 1, 1}}},
    {2, 2, 4, {{0, 0, 1, 1}, {1, 0, 1, 1}, {0, 1, 1, 1}, {1, 1, 1, 1}}},
    {3, 3, 9, {{0, 0, 1, 1}, {1, 0, 1, 1}, {2, 0, 1, 1}, {0, 1, 1, 1}, {1, 1, 1, 1}, {2, 1, 1, 1},
               {0, 2, 1, 1}, {1, 2, 1, 1}, {2, 2, 1, 1}}},
    {4, 4, 16, {}}, // filled in row order below
    {5, 5, 25, {}}, // filled in row order below
    {3, 3, 6, {{0, 0, 2, 2}, {2, 0, 1, 1}, {2, 1, 1, 1}, {0, 2, 1, 1}, {1, 2, 1, 1}, {2, 2, 1, 1}}},
    {4, 4, 7, {{0, 0, 2, 2}, {2, 0, 2, 2}, {0, 2, 2, 2}, {2, 2, 1, 1}, {3, 2, 1, 1}, {2, 3, 1, 1}, {3, 3, 1, 1}}},
    {4, 4, 8, {{0, 0, 3, 3}, {3, 0, 1, 1}, {3, 1, 1, 1}, {3, 2, 1, 1}, {0, 3, 1, 1}, {1, 3, 1, 1}, {2, 3, 1, 1},
               {3, 3, 1, 1}}},
    {4, 4, 10, {{0, 0, 2, 2}, {2, 0, 2, 2}, {0, 2, 1, 1}, {1, 2, 1, 1}, {2, 2, 1, 1}, {3, 2, 1, 1}, {0, 3, 1, 1},
                {1, 3, 1, 1}, {2, 3, 1, 1}, {3, 3, 1, 1}}},
    {4, 4, 10, {{0, 0, 2, 2}, {2, 0, 1, 1}, {3, 0, 1, 1}, {2, 1, 1, 1}, {3, 1, 1, 1}, {0, 2, 1, 1}, {1, 2, 1, 1},
                {2, 2, 2, 2}, {0, 3, 1, 1}, {1, 3, 1, 1}}},
};
// clang-format on

void WidenAscii(const char* in, char16_t* out, size_t cap)
{
    size_t i = 0;
    for (; in[i] && i + 1 < cap; ++i)
        out[i] = static_cast<char16_t>(static_cast<unsigned char>(in[i]));
    out[i] = 0;
}

} // namespace

const DivisionMode kDivisionModes[kDivisionModeCount] = {
    {1, 1}, {2, 4}, {7, 7}, {3, 9}, {9, 10}, {10, 10}, {4, 16},
};

const DivisionMode* FindDivisionMode(int mode)
{
    return mode >= 0 && mode < kDivisionModeCount ? &kDivisionModes[mode] : nullptr;
}

bool IsLayoutIndex(int index) { return index >= 0 && index < kLayoutCount; }

Layout BuiltinLayout(int index)
{
    Layout l;
    if (!IsLayoutIndex(index))
        return l;
    const LayoutSpec& s = kLayouts[index];
    l.grid = static_cast<uint8_t>(s.columns | (s.rows << 4));
    l.count = s.count;
    const bool rowOrder = index == 4 || index == 5;
    for (int i = 0; i < s.count; ++i) {
        DivisionSpec d = rowOrder ? DivisionSpec{uint8_t(i % s.columns), uint8_t(i / s.columns), 1, 1} : s.divisions[i];
        Division& out = l.divisions[i];
        out.one = 1;
        out.position = static_cast<uint8_t>(i);
        out.cell = static_cast<uint8_t>(d.column | (d.row << 4));
        out.span = static_cast<uint8_t>(d.spanColumns | (d.spanRows << 4));
    }
    return l;
}

void ComputeGeometry(Layout& l, int areaWidth, int areaHeight)
{
    if (areaWidth < 0)
        areaWidth = 0;
    if (areaHeight < 0)
        areaHeight = 0;
    l.cellWidth = l.Columns() ? areaWidth / l.Columns() : 0;
    l.cellHeight = l.Rows() ? areaHeight / l.Rows() : 0;
    for (int i = 0; i < l.count && i < kDisplayChannels; ++i) {
        Division& d = l.divisions[i];
        d.rect.left = d.Column() * l.cellWidth;
        d.rect.right = d.rect.left + d.SpanColumns() * l.cellWidth;
        d.rect.top = d.Row() * l.cellHeight;
        d.rect.bottom = d.rect.top + d.SpanRows() * l.cellHeight;
    }
}

DivisionStyle StyleOf(int layout, int p)
{
    switch (layout) {
    case 1: return {16, 4};
    case 2: return {12, 3};
    case 3: return {10, 3};
    case 5: return {7, 1};
    case 6: return {p == 0 ? 12 : 10, 3};
    case 7: return {p <= 2 ? 12 : 8, 3};
    case 8: return {p == 0 ? 14 : 8, 3};
    case 9: return {p <= 1 ? 12 : 8, 3};
    case 10: return {(p == 0 || p == 7) ? 12 : 8, 3};
    default: return {8, 2}; // layouts 4 and 0
    }
}

SourceRect PictureSourceRect(int width, int height)
{
    const int h = height < 0 ? -height : height;
    SourceRect r;
    r.x = 5;
    r.y = 5;
    r.width = (width <= 700 ? width - 10 : width - 15) - 5;
    r.height = (h <= 280 ? h - 10 : h - 15) - 5;
    if (r.width <= 0 || r.height <= 0)
        r = SourceRect{0, 0, width, h};
    return r;
}

TextBox TitleBox(const DivRect& r, int f)
{
    const int x0 = r.left + 4, y0 = r.top + 4, x1 = r.right - 4;
    return {x0, y0, x0 + 4 * ((x1 - x0) / 6), y0 + 3 * f};
}

TextBox SizeBox(const DivRect& r, int f)
{
    const int x0 = r.left + 4, y0 = r.top + 4, e = (r.right - r.left - 8) / 6;
    return {x0 + 2 * e, y0, x0 + 6 * e, y0 + 2 * f};
}

TextBox TimeBox(const DivRect& r, int f)
{
    const int x0 = r.left + 4, e = (r.right - r.left - 8) / 6;
    return {x0 + e, r.bottom - f - 14, x0 + 5 * e, r.bottom + f - 14};
}

PictureBytes CheckPicture(const DibHeader& h)
{
    PictureBytes b;
    if (h.size < sizeof(DibHeader) || h.planes != 1 || h.compression != 0)
        return b;
    if (h.bitCount != 24 && h.bitCount != 32)
        return b; // anything with a palette would read colours past the 44 bytes a picture carries
    if (h.width <= 0 || h.height == 0 || h.height == INT32_MIN)
        return b;
    const uint64_t rows = static_cast<uint64_t>(h.height < 0 ? -static_cast<int64_t>(h.height) : h.height);
    const uint64_t stride = (static_cast<uint64_t>(h.width) * h.bitCount + 31) / 32 * 4;
    const uint64_t needed = stride * rows;
    if (needed > kPictureBufferSize || h.imageSize > kPictureBufferSize)
        return b;
    b.ok = true;
    b.needed = static_cast<uint32_t>(needed);
    b.copy = h.imageSize ? h.imageSize : b.needed;
    return b;
}

namespace {

// A top-down 24-bit picture of width x rows.
PictureInfo TopDownRgb(int32_t width, int32_t rows)
{
    PictureInfo i{};
    i.header.size = sizeof(DibHeader);
    i.header.width = width;
    i.header.height = -rows;
    i.header.planes = 1;
    i.header.bitCount = 24;
    i.header.imageSize = static_cast<uint32_t>(width * rows * 3);
    return i;
}

} // namespace

PictureInfo BlankPictureInfo() { return TopDownRgb(1, 1); }

PictureInfo DefaultPictureInfo() { return TopDownRgb(720, 480); }

void FormatTitle(const char16_t* format, int value, char16_t (&out)[kTitleLength])
{
    size_t o = 0;
    bool used = false;
    auto put = [&](char16_t c) {
        if (o + 1 < kTitleLength)
            out[o++] = c;
    };
    for (const char16_t* p = format; p && *p; ++p) {
        if (*p != u'%') {
            put(*p);
            continue;
        }
        const char16_t* q = p + 1;
        if (*q == u'%') {
            put(u'%');
            p = q;
            continue;
        }
        bool zero = false;
        int width = 0;
        if (*q == u'0') {
            zero = true;
            ++q;
        }
        while (*q >= u'0' && *q <= u'9' && width < 40)
            width = width * 10 + (*q++ - u'0');
        if (*q == u'd' && !used) {
            char digits[64];
            std::snprintf(digits, sizeof digits, zero ? "%0*d" : "%*d", width, value);
            for (const char* d = digits; *d; ++d)
                put(static_cast<char16_t>(*d));
            used = true;
            p = q;
            continue;
        }
        put(*p); // not a conversion we fill: the percent sign stands as text
    }
    out[o] = 0;
}

void FormatSizeText(int width, int height, char16_t (&out)[kShortTextLength])
{
    char s[kShortTextLength];
    std::snprintf(s, sizeof s, "%03d x %03d", width, height);
    WidenAscii(s, out, kShortTextLength);
}

void FormatTimeText(const PictureTime& t, char16_t (&out)[kShortTextLength])
{
    char s[kShortTextLength];
    std::snprintf(s, sizeof s, "%04d/%02d/%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    WidenAscii(s, out, kShortTextLength);
}

} // namespace video
