"""The viewer panel's layout and look. Generates Lumbrel's bitmaps, the resource script that
names them, and the rectangle table compiled into the library.
usage: lumbrel_art.py OUTDIR"""

import math
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, '..', '..', '..', 'skin', 'art'))
import skinart as sa  # noqa: E402

# ---- layout: (identifier, left, top, right, bottom, what) ---------------------------------
PANEL = (0xF000, 0, 0, 1000, 680, 'panel and background bitmap')
AREAS = [
    PANEL,
    (0xF001, 12, 12, 732, 552, 'live display area'),
    (0xF002, 830, 58, 980, 78, 'address field'),
    (0xF003, 830, 84, 980, 104, 'port field'),
    (0xF004, 830, 110, 980, 130, 'user ID field'),
    (0xF005, 830, 136, 980, 156, 'password field'),
    (0xF006, 744, 12, 988, 668, 'control column'),
    (0xF007, 784, 532, 814, 550, 'PTZ settings camera number'),
    (0xF008, 944, 532, 980, 550, 'hidden edit field'),
    (0xF009, 752, 556, 864, 578, 'PTZ protocol list'),
    (0xF00A, 868, 556, 980, 578, 'baud list'),
    (0xF00B, 500, 656, 732, 674, 'version label'),
    (0xF00C, 12, 560, 732, 652, 'status message list'),
    (0xF00D, 824, 532, 936, 550, '"DVR PTZ" box'),
    (0x33, 794, 462, 820, 484, 'speed number (centre of the PTZ pad)'),
]

# buttons: (identifier, left, top, right, bottom, face, has a checked set)
BUTTONS = [(1, 752, 164, 864, 196, ('text', 'CONNECT'), False),
           (2, 868, 164, 980, 196, ('text', 'DISCONNECT'), False)]
for i in range(16):
    x, y = 752 + (i % 4) * 58, 232 + (i // 4) * 30
    BUTTONS.append((3 + i, x, y, x + 54, y + 26, ('text2', '%d' % (i + 1)), True))
for i, n in enumerate((1, 4, 7, 9, 10, 13, 16)):
    x = 752 + i * 33
    BUTTONS.append((19 + i, x, 372, x + 31, 400, ('split', n), False))
PAD = {26: (1, 0, 0), 27: (2, 0, 45), 28: (2, 1, 90), 29: (2, 2, 135), 30: (1, 2, 180),
       31: (0, 2, 225), 32: (0, 1, 270), 33: (0, 0, 315)}
for bid, (col, row, angle) in PAD.items():
    x, y = 752 + col * 38, 418 + row * 38
    BUTTONS.append((bid, x, y, x + 34, y + 34, ('arrow', angle), False))
BUTTONS += [(36, 880, 418, 928, 450, ('zoom', '+'), False),
            (37, 932, 418, 980, 450, ('zoom', '-'), False),
            (38, 880, 462, 928, 494, ('focus', '+'), False),
            (39, 932, 462, 980, 494, ('focus', '-'), False)]
for i in range(4):
    x = 752 + i * 46
    BUTTONS.append((64 + i, x, 596, x + 42, 622, ('audio', i + 1), False))
BUTTONS.append((68, 936, 596, 980, 622, ('mute', None), False))
BUTTONS += [(96, 752, 632, 826, 664, ('text', 'SETUP'), False),
            (97, 830, 632, 904, 664, ('phone', None), True),
            (46, 908, 632, 982, 664, ('text', 'EXIT'), False)]

# group captions painted on the background: (text, x, y)
CAPTIONS = [('CONNECTION', 752, 40), ('ADDRESS', 752, 64), ('PORT', 752, 90), ('USER ID', 752, 116),
            ('PASSWORD', 752, 142), ('CHANNEL', 752, 216), ('SCREEN', 752, 356), ('PTZ', 752, 404),
            ('ZOOM', 880, 408), ('FOCUS', 880, 452), ('CAM', 752, 538), ('AUDIO', 752, 584)]

BACKGROUND_BITMAP = 1000


def normal_bitmap(bid):
    return 2000 + 4 * bid


def checked_bitmap(bid):
    return 3000 + 4 * bid


# ---- look ----------------------------------------------------------------------------------
PANEL_TOP, PANEL_BOTTOM = (44, 50, 60), (22, 25, 31)
ACCENT = (84, 196, 232)
LABEL = (150, 164, 184)
THEME = dict(top=(88, 98, 114), bottom=(46, 52, 62), edge=(12, 14, 18), glow=(110, 210, 245),
             ink=(226, 232, 240), ink_hot=(255, 255, 255), off_top=(50, 53, 58), off_bottom=(38, 40, 44),
             off_edge=(22, 23, 26), off_ink=(96, 100, 108))
CHECKED = dict(top=(250, 184, 60), bottom=(196, 120, 20), edge=(60, 30, 0), glow=(255, 236, 150),
               ink=(40, 20, 0), ink_hot=(20, 8, 0), off_top=(112, 96, 64), off_bottom=(84, 72, 48),
               off_edge=(40, 34, 22), off_ink=(150, 136, 104))


def background():
    _, x0, y0, x1, y1, _ = PANEL
    c = sa.Canvas(x1 - x0, y1 - y0)
    c.vgradient(0, 0, c.w, c.h, PANEL_TOP, PANEL_BOTTOM)
    c.frame(0, 0, c.w, c.h, (70, 78, 92))
    # display well and message list well
    for bid in (0xF001, 0xF00C):
        a = area(bid)
        c.fill_rect(a[0] - 3, a[1] - 3, a[2] + 3, a[3] + 3, (12, 13, 16))
        c.bevel(a[0] - 4, a[1] - 4, a[2] + 4, a[3] + 4, (14, 16, 20), (80, 88, 100))
        c.fill_rect(a[0], a[1], a[2], a[3], (0, 0, 0))
    a = area(0xF001)
    c.text_centered(a[0], a[1], a[2], a[3], 'NO VIDEO', (60, 64, 70), scale=4)
    # control column
    a = area(0xF006)
    c.round_rect(a[0], a[1], a[2], a[3], 8, (36, 41, 50), (26, 29, 36))
    c.round_frame(a[0], a[1], a[2], a[3], 8, (70, 78, 92))
    c.text(756, 18, 'PELLUX', (236, 242, 250), scale=2, bold=True)
    c.text(846, 22, 'DVR WEB VIEWER', ACCENT)
    c.span(34, 752, 980, (70, 78, 92))
    for text, x, y in CAPTIONS:
        c.text(x, y, text, ACCENT if text.isupper() and y in (40, 216, 356, 404, 582) else LABEL)
    # wells behind the standard controls
    for bid in (0xF002, 0xF003, 0xF004, 0xF005, 0xF007, 0xF009, 0xF00A, 0x33):
        a = area(bid)
        c.bevel(a[0] - 1, a[1] - 1, a[2] + 1, a[3] + 1, (16, 18, 22), (90, 98, 112))
        c.fill_rect(a[0], a[1], a[2], a[3], (0, 0, 0) if bid == 0x33 else (236, 240, 246))
    # recessed beds under the buttons
    for bid, x0, y0, x1, y1, face, _ in BUTTONS:
        c.fill_rect(x0, y0, x1, y1, (24, 27, 33))
    return c


def area(bid):
    for a in AREAS:
        if a[0] == bid:
            return a[1:5]
    raise KeyError(bid)


def draw_face(c, face, ink, dx, dy):
    kind, arg = face
    w, h = c.w, c.h
    cx, cy = w / 2 + dx, h / 2 + dy
    if kind == 'text':
        c.text_centered(0, 0, w, h, arg, ink, scale=1, bold=True, dx=dx, dy=dy)
    elif kind == 'text2':
        c.text_centered(0, 0, w, h, arg, ink, scale=2, dx=dx, dy=dy)
    elif kind == 'arrow':
        pts = [(cx, cy - 11), (cx + 9, cy - 1), (cx + 4, cy - 1), (cx + 4, cy + 10), (cx - 4, cy + 10),
               (cx - 4, cy - 1), (cx - 9, cy - 1)]
        c.polygon(sa.rotate(pts, cx, cy, arg), ink)
    elif kind == 'split':
        draw_split(c, arg, ink, dx, dy)
    elif kind in ('zoom', 'focus'):
        if kind == 'zoom':
            c.ring(cx - 8, cy - 2, 7, 2, ink)
            c.line(cx - 3, cy + 3, cx + 1, cy + 8, 3, ink)
        else:
            c.ring(cx - 8, cy, 8, 1.6, ink)
            c.disk(cx - 8, cy, 3, ink)
        c.fill_rect(int(cx + 7), int(cy - 1), int(cx + 17), int(cy + 1), ink)
        if arg == '+':
            c.fill_rect(int(cx + 11), int(cy - 5), int(cx + 13), int(cy + 5), ink)
    elif kind == 'audio':
        speaker(c, cx - 9, cy, ink)
        c.text(int(cx + 3), int(cy - 3.5), str(arg), ink)
    elif kind == 'mute':
        speaker(c, cx - 5, cy, ink)
        c.line(cx + 3, cy - 5, cx + 11, cy + 5, 2, ink)
        c.line(cx + 3, cy + 5, cx + 11, cy - 5, 2, ink)
    elif kind == 'phone':
        # a handset: two ear pieces joined by a curved grip
        c.polygon([(cx - 20, cy - 5), (cx - 13, cy - 9), (cx - 9, cy - 3), (cx - 14, cy + 1)], ink)
        c.line(cx - 15, cy - 6, cx - 6, cy - 10, 3, ink)
        c.line(cx - 6, cy - 10, cx + 2, cy - 6, 3, ink)
        c.polygon([(cx + 4, cy - 9), (cx + 10, cy - 3), (cx + 5, cy + 1), (cx - 1, cy - 3)], ink)
        c.text(int(cx - 6), int(cy + 4), 'TALK', ink)


def speaker(c, x, y, ink):
    c.polygon([(x - 5, y - 3), (x - 1, y - 3), (x + 4, y - 8), (x + 4, y + 8), (x - 1, y + 3), (x - 5, y + 3)], ink)


SPLITS = {1: [(0, 0, 1, 1, 1)], 4: [(c, r, 1, 1, 2) for r in range(2) for c in range(2)],
          9: [(c, r, 1, 1, 3) for r in range(3) for c in range(3)],
          16: [(c, r, 1, 1, 4) for r in range(4) for c in range(4)],
          7: [(0, 0, 2, 2, 4), (2, 0, 2, 2, 4), (0, 2, 2, 2, 4), (2, 2, 1, 1, 4), (3, 2, 1, 1, 4),
              (2, 3, 1, 1, 4), (3, 3, 1, 1, 4)],
          10: [(0, 0, 2, 2, 4), (2, 0, 2, 2, 4)] + [(c, r, 1, 1, 4) for r in (2, 3) for c in range(4)],
          13: [(0, 0, 2, 2, 4)] + [(c, r, 1, 1, 4) for r in range(4) for c in range(4) if not (c < 2 and r < 2)]}


def draw_split(c, n, ink, dx, dy):
    gw, gh = 21, 17
    x0, y0 = (c.w - gw) // 2 + dx, (c.h - gh) // 2 + dy
    for col, row, sc, sr, grid in SPLITS[n]:
        cw, ch = gw / grid, gh / grid
        a, b = int(round(x0 + col * cw)), int(round(y0 + row * ch))
        e, f = int(round(x0 + (col + sc) * cw)), int(round(y0 + (row + sr) * ch))
        c.fill_rect(a, b, e - 1, f - 1, ink)


def states(bg, x0, y0, x1, y1, face, theme):
    out = []
    for state in sa.STATES:
        c = bg.crop(x0, y0, x1, y1)
        ink, dx, dy = sa.button_face(c, 0, 0, c.w, c.h, state, theme, 4)
        draw_face(c, face, ink, dx, dy)
        out.append(c)
    return out


def main(out):
    os.makedirs(out, exist_ok=True)
    rc = ['// generated by lumbrel_art.py']

    def save(bid, canvas):
        name = os.path.join(out, 'lumbrel_%d.bmp' % bid)
        canvas.save_bmp8(name)
        rc.append('%d BITMAP "%s"' % (bid, name))

    bg = background()
    save(BACKGROUND_BITMAP, bg)
    preview = bg.crop(0, 0, bg.w, bg.h)  # the panel as the viewer first shows it (not a resource)
    for bid, x0, y0, x1, y1, face, checked in BUTTONS:
        faces = states(bg, x0, y0, x1, y1, face, THEME)
        for i, img in enumerate(faces):
            save(normal_bitmap(bid) + i, img)
        shown = faces[0]
        if checked:
            lit = states(bg, x0, y0, x1, y1, face, CHECKED)
            for i, img in enumerate(lit):
                save(checked_bitmap(bid) + i, img)
            if bid == 3:
                shown = lit[0]
        preview.paste(shown, x0, y0)
    preview.save_bmp8(os.path.join(out, 'preview_panel.bmp'))
    with open(os.path.join(out, 'LumbrelArt.rc'), 'w') as f:
        f.write('\n'.join(rc) + '\n')

    rows = ['// generated by lumbrel_art.py from the panel description']
    rows.append('constexpr uint16_t kBackgroundId = 0x%04X;' % PANEL[0])
    rows.append('constexpr int kBackgroundBitmap = %d;' % BACKGROUND_BITMAP)
    rows.append('constexpr AreaRow kAreas[] = {')
    for bid, x0, y0, x1, y1, what in AREAS:
        rows.append('    {0x%04X, {%d, %d, %d, %d}},  // %s' % (bid, x0, y0, x1, y1, what.replace('"', '')))
    rows.append('};')
    rows.append('constexpr ButtonRow kButtons[] = {')
    for bid, x0, y0, x1, y1, face, checked in BUTTONS:
        rows.append('    {%d, {%d, %d, %d, %d}, %d, %d},' % (bid, x0, y0, x1, y1, normal_bitmap(bid),
                                                         checked_bitmap(bid) if checked else 0))
    rows.append('};')
    with open(os.path.join(out, 'LumbrelLayout.inc'), 'w') as f:
        f.write('\n'.join(rows) + '\n')


if __name__ == '__main__':
    main(sys.argv[1])
