"""Drawing for the skin bitmaps: an RGB canvas, shapes with anti-aliased edges, a pixel font,
and writers for 8-bit BMP files and icons. Pure Python, so the build needs nothing but python3."""

import math
import struct
from array import array

import font5x7

KEY = (255, 0, 255)  # the manager cuts its window to the pixels that are not this colour


def rgb(c):
    return (c[0] << 16) | (c[1] << 8) | c[2]


def unrgb(v):
    return ((v >> 16) & 255, (v >> 8) & 255, v & 255)


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def lighten(c, t):
    return mix(c, (255, 255, 255), t)


def darken(c, t):
    return mix(c, (0, 0, 0), t)


class Canvas:
    def __init__(self, w, h, fill=(0, 0, 0)):
        self.w, self.h = w, h
        self.px = array('I', [rgb(fill)]) * (w * h)

    # -- pixels -----------------------------------------------------------------------------
    def get(self, x, y):
        return unrgb(self.px[y * self.w + x])

    def put(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y * self.w + x] = rgb(c)

    def blend(self, x, y, c, a):
        if a <= 0 or not (0 <= x < self.w and 0 <= y < self.h):
            return
        a = min(1.0, round(a * 8) / 8)  # few blend levels keep the palette small
        if a >= 1.0:
            self.px[y * self.w + x] = rgb(c)
        else:
            self.px[y * self.w + x] = rgb(mix(self.get(x, y), c, a))

    def span(self, y, x0, x1, c):
        if not (0 <= y < self.h):
            return
        x0, x1 = max(0, x0), min(self.w, x1)
        if x1 > x0:
            self.px[y * self.w + x0:y * self.w + x1] = array('I', [rgb(c)]) * (x1 - x0)

    # -- rectangles -------------------------------------------------------------------------
    def fill_rect(self, x0, y0, x1, y1, c):
        for y in range(max(0, y0), min(self.h, y1)):
            self.span(y, x0, x1, c)

    def frame(self, x0, y0, x1, y1, c, width=1):
        for i in range(width):
            self.span(y0 + i, x0, x1, c)
            self.span(y1 - 1 - i, x0, x1, c)
            for y in range(y0, y1):
                self.put(x0 + i, y, c)
                self.put(x1 - 1 - i, y, c)

    def bevel(self, x0, y0, x1, y1, light, dark):
        self.span(y0, x0, x1, light)
        for y in range(y0, y1):
            self.put(x0, y, light)
            self.put(x1 - 1, y, dark)
        self.span(y1 - 1, x0, x1, dark)

    def vgradient(self, x0, y0, x1, y1, top, bottom, levels=24):
        n = max(1, y1 - y0 - 1)
        for y in range(y0, y1):
            t = round((y - y0) / n * levels) / levels
            self.span(y, x0, x1, mix(top, bottom, t))

    # -- shapes -----------------------------------------------------------------------------
    def round_rect_rows(self, x0, y0, x1, y1, r):
        """Yields (y, left, right) spans of a rectangle with rounded corners of radius r."""
        for y in range(y0, y1):
            dy = 0.0
            if y < y0 + r:
                dy = y0 + r - (y + 0.5)
            elif y >= y1 - r:
                dy = (y + 0.5) - (y1 - r)
            inset = 0
            if dy > 0:
                inset = int(round(r - math.sqrt(max(0.0, r * r - dy * dy))))
            yield y, x0 + inset, x1 - inset

    def round_rect(self, x0, y0, x1, y1, r, top, bottom=None, levels=24):
        bottom = bottom or top
        n = max(1, y1 - y0 - 1)
        for y, a, b in self.round_rect_rows(x0, y0, x1, y1, r):
            t = round((y - y0) / n * levels) / levels
            self.span(y, a, b, mix(top, bottom, t))

    def round_frame(self, x0, y0, x1, y1, r, c):
        prev = None
        rows = list(self.round_rect_rows(x0, y0, x1, y1, r))
        for i, (y, a, b) in enumerate(rows):
            if i == 0 or i == len(rows) - 1:
                self.span(y, a, b, c)
                continue
            na = rows[i - 1][1] if rows[i - 1][1] > a else a + 1
            nb = rows[i - 1][2] if rows[i - 1][2] < b else b - 1
            self.span(y, a, max(a + 1, na), c)
            self.span(y, min(b - 1, nb), b, c)
            nxt = rows[i + 1]
            if nxt[1] > a:
                self.span(y, a, nxt[1], c)
            if nxt[2] < b:
                self.span(y, nxt[2], b, c)
            prev = (a, b)

    def polygon(self, contours, c, alpha=1.0, ss=4):
        """Even-odd fill of one or more closed contours, with anti-aliased edges."""
        if contours and isinstance(contours[0][0], (int, float)):
            contours = [contours]
        edges = []
        ys = []
        for pts in contours:
            for i in range(len(pts)):
                (xa, ya), (xb, yb) = pts[i], pts[(i + 1) % len(pts)]
                if ya != yb:
                    edges.append((xa, ya, xb, yb))
                ys += [ya, yb]
        if not edges:
            return
        ymin, ymax = max(0, int(math.floor(min(ys)))), min(self.h, int(math.ceil(max(ys))))
        for y in range(ymin, ymax):
            cover = {}
            for k in range(ss):
                sy = y + (k + 0.5) / ss
                xs = []
                for xa, ya, xb, yb in edges:
                    if (ya <= sy < yb) or (yb <= sy < ya):
                        xs.append(xa + (sy - ya) * (xb - xa) / (yb - ya))
                xs.sort()
                for j in range(0, len(xs) - 1, 2):
                    a, b = xs[j], xs[j + 1]
                    for px in range(int(math.floor(a)), int(math.ceil(b))):
                        ov = min(b, px + 1) - max(a, px)
                        if ov > 0:
                            cover[px] = cover.get(px, 0.0) + ov / ss
            for px, cv in cover.items():
                self.blend(px, y, c, min(1.0, cv) * alpha)

    def disk(self, cx, cy, r, c, alpha=1.0):
        self.polygon(circle(cx, cy, r), c, alpha)

    def ring(self, cx, cy, r, width, c, alpha=1.0):
        self.polygon([circle(cx, cy, r), circle(cx, cy, r - width)], c, alpha)

    def line(self, x0, y0, x1, y1, width, c):
        dx, dy = x1 - x0, y1 - y0
        n = math.hypot(dx, dy) or 1.0
        ox, oy = -dy / n * width / 2, dx / n * width / 2
        self.polygon([(x0 + ox, y0 + oy), (x1 + ox, y1 + oy), (x1 - ox, y1 - oy), (x0 - ox, y0 - oy)], c)

    # -- text -------------------------------------------------------------------------------
    @staticmethod
    def text_width(s, scale=1, bold=False):
        if not s:
            return 0
        return (len(s) * font5x7.ADVANCE - 1) * scale + (1 if bold else 0)

    @staticmethod
    def text_height(scale=1):
        return font5x7.HEIGHT * scale

    def text(self, x, y, s, c, scale=1, bold=False):
        for i, ch in enumerate(s):
            rows = font5x7.GLYPHS.get(ch, font5x7.GLYPHS['?'])
            gx = x + i * font5x7.ADVANCE * scale
            for ry, row in enumerate(rows):
                for rx, bit in enumerate(row):
                    if bit == '#':
                        for b in range(2 if bold else 1):
                            self.fill_rect(gx + rx * scale + b, y + ry * scale,
                                           gx + (rx + 1) * scale + b, y + (ry + 1) * scale, c)

    def text_centered(self, x0, y0, x1, y1, s, c, scale=1, bold=False, shadow=None, dx=0, dy=0):
        tw, th = self.text_width(s, scale, bold), self.text_height(scale)
        x = x0 + (x1 - x0 - tw) // 2 + dx
        y = y0 + (y1 - y0 - th + 1) // 2 + dy
        if shadow:
            self.text(x + 1, y + 1, s, shadow, scale, bold)
        self.text(x, y, s, c, scale, bold)

    # -- whole images -----------------------------------------------------------------------
    def crop(self, x0, y0, x1, y1):
        out = Canvas(x1 - x0, y1 - y0)
        for y in range(y0, y1):
            row = self.px[y * self.w + x0:y * self.w + x1]
            out.px[(y - y0) * out.w:(y - y0 + 1) * out.w] = row
        return out

    def paste(self, other, x, y):
        for yy in range(other.h):
            if 0 <= y + yy < self.h:
                self.px[(y + yy) * self.w + x:(y + yy) * self.w + x + other.w] = \
                    other.px[yy * other.w:(yy + 1) * other.w]

    def colours(self):
        return set(self.px)

    def save_bmp8(self, path):
        write_bmp8(path, self)

    def save_ppm(self, path):
        with open(path, 'wb') as f:
            f.write(b'P6 %d %d 255\n' % (self.w, self.h))
            f.write(bytes(b for v in self.px for b in unrgb(v)))


def circle(cx, cy, r, n=None):
    n = n or max(24, int(r * 6))
    return [(cx + r * math.cos(2 * math.pi * i / n), cy + r * math.sin(2 * math.pi * i / n)) for i in range(n)]


def rotate(points, cx, cy, deg):
    a = math.radians(deg)
    ca, sa = math.cos(a), math.sin(a)
    return [(cx + (x - cx) * ca - (y - cy) * sa, cy + (x - cx) * sa + (y - cy) * ca) for x, y in points]


def palette_of(canvas):
    """At most 256 colours: when an image holds more, the most used colours are kept and every
    other pixel takes the nearest kept one (rare colours are anti-aliased edge pixels)."""
    cols = sorted(canvas.colours())
    if len(cols) <= 256:
        return cols, {v: i for i, v in enumerate(cols)}
    counts = {}
    for v in canvas.px:
        counts[v] = counts.get(v, 0) + 1
    kept = sorted(sorted(cols, key=lambda v: -counts[v])[:256])
    index = {v: i for i, v in enumerate(kept)}
    kept_rgb = [unrgb(v) for v in kept]
    for v in cols:
        if v not in index:
            r, g, b = unrgb(v)
            index[v] = min(range(len(kept)), key=lambda i: (kept_rgb[i][0] - r) ** 2 +
                           (kept_rgb[i][1] - g) ** 2 + (kept_rgb[i][2] - b) ** 2)
    return kept, index


def write_bmp8(path, canvas):
    pal, index = palette_of(canvas)
    w, h = canvas.w, canvas.h
    stride = (w + 3) & ~3
    pad = bytes(stride - w)
    rows = []
    for y in range(h - 1, -1, -1):  # bottom-up rows
        rows.append(bytes(index[v] for v in canvas.px[y * w:(y + 1) * w]) + pad)
    pixels = b''.join(rows)
    palette = b''.join(struct.pack('<BBBB', v & 255, (v >> 8) & 255, (v >> 16) & 255, 0) for v in pal)
    palette += bytes(4 * (256 - len(pal)))
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 8, 0, len(pixels), 2835, 2835, 256, 0)
    offset = 14 + len(info) + len(palette)
    head = struct.pack('<2sIHHI', b'BM', offset + len(pixels), 0, 0, offset)
    with open(path, 'wb') as f:
        f.write(head + info + palette + pixels)


def write_ico(path, canvases):
    """An icon file of 32-bit images; the key colour is transparent."""
    images = []
    for c in canvases:
        w, h = c.w, c.h
        xor = bytearray()
        andmask = bytearray()
        mstride = ((w + 31) // 32) * 4
        for y in range(h - 1, -1, -1):
            mrow = bytearray(mstride)
            for x in range(w):
                v = c.px[y * w + x]
                r, g, b = unrgb(v)
                if (r, g, b) == KEY:
                    xor += bytes((0, 0, 0, 0))
                    mrow[x // 8] |= 0x80 >> (x % 8)
                else:
                    xor += bytes((b, g, r, 255))
            andmask += mrow
        info = struct.pack('<IiiHHIIiiII', 40, w, h * 2, 1, 32, 0, len(xor) + len(andmask), 0, 0, 0, 0)
        images.append((w, h, info + bytes(xor) + bytes(andmask)))
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for w, h, data in images:
        out += struct.pack('<BBBBHHII', w % 256, h % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, 'wb') as f:
        f.write(out + b''.join(d for _, _, d in images))


# -- buttons ---------------------------------------------------------------------------------
STATES = ('normal', 'hover', 'pressed', 'disabled')


def button_face(canvas, x0, y0, x1, y1, state, theme, radius=5):
    """Draws a rounded button body in one of the four states over whatever the canvas holds;
    returns (ink colour, dx, dy) for the face's symbol."""
    t = theme
    if state == 'normal':
        top, bottom, edge, ink, off = t['top'], t['bottom'], t['edge'], t['ink'], 0
    elif state == 'hover':
        top, bottom, edge, ink, off = lighten(t['top'], 0.18), lighten(t['bottom'], 0.12), t['glow'], t['ink_hot'], 0
    elif state == 'pressed':
        top, bottom, edge, ink, off = darken(t['bottom'], 0.45), darken(t['top'], 0.3), t['glow'], t['glow'], 1
    else:
        top, bottom, edge, ink, off = t['off_top'], t['off_bottom'], t['off_edge'], t['off_ink'], 0
    canvas.round_rect(x0, y0, x1, y1, radius, edge)
    canvas.round_rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, max(1, radius - 1), top, bottom)
    if state in ('normal', 'hover'):
        # a soft highlight across the upper half
        hl = lighten(top, 0.25)
        canvas.span(y0 + 1, x0 + radius, x1 - radius, hl)
    if state == 'pressed':
        sh = darken(top, 0.35)
        canvas.span(y0 + 1, x0 + radius, x1 - radius, sh)
        for y in range(y0 + radius, y1 - radius):
            canvas.put(x0 + 1, y, sh)
    if state == 'hover':
        canvas.round_frame(x0 + 1, y0 + 1, x1 - 1, y1 - 1, max(1, radius - 1), mix(edge, top, 0.5))
    return ink, off, off
