"""Generates Lustrel's bitmaps, icon and the resource script that names them.
usage: lustrel_art.py OUTDIR [Lustrel.rc]"""

import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import skinart as sa  # noqa: E402

# ---- description -------------------------------------------------------------------------
WINDOW = (1000, 750)
NAVY_TOP, NAVY_BOTTOM = (22, 40, 70), (8, 14, 30)
ACCENT = (70, 200, 235)
YELLOW = (254, 254, 1)

BUTTON_THEME = dict(top=(74, 116, 168), bottom=(28, 54, 96), edge=(6, 14, 30), glow=(110, 220, 255),
                    ink=(232, 238, 248), ink_hot=(255, 255, 255), off_top=(66, 70, 78),
                    off_bottom=(46, 49, 56), off_edge=(24, 26, 30), off_ink=(118, 122, 130))
EXIT_THEME = dict(top=(196, 70, 60), bottom=(120, 24, 20), edge=(40, 6, 6), glow=(255, 170, 140),
                  ink=(250, 236, 232), ink_hot=(255, 255, 255), off_top=(90, 80, 80),
                  off_bottom=(60, 52, 52), off_edge=(30, 26, 26), off_ink=(140, 130, 130))

# (first bitmap id, width, height, position on the main window, string that is its caption). A
# button's picture shows the same name the skin hands out for it, so the caption is read from the
# library's own string table.
BUTTONS = [
    (241, 163, 42, (13, 688), 116),
    (221, 162, 42, (176, 688), 117),
    (205, 162, 42, (338, 688), 118),
    (213, 162, 42, (662, 688), 120),
    (209, 163, 42, (824, 688), 121),
    (217, 162, 42, (500, 688), 122),
]
DEFAULT_RC = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'win', 'Lustrel.rc')


def read_strings(rc_path):
    """The STRINGTABLE entries of a resource script: {id: text}."""
    strings, inside = {}, False
    with open(rc_path, encoding='utf-8') as f:
        for line in f:
            word = line.strip()
            if word == 'STRINGTABLE':
                inside = True
            elif inside and word == 'END':
                inside = False
            elif inside:
                m = re.match(r'(\d+)\s+"(.*)"$', word)
                if m:
                    strings[int(m.group(1))] = m.group(2)
    return strings


def button_captions(rc_path=DEFAULT_RC):
    """{first bitmap id: caption} of the six buttons."""
    strings = read_strings(rc_path)
    return {first: strings[name] for first, _, _, _, name in BUTTONS}
EXIT_BUTTON = (245, 58, 58, (851, 40))
SITE_LIST = (351, 880, 660, 'SITE SETUP')
SITE_EDIT = (352, 424, 354, 'CONNECTION SETUP')
ICON = 128


# ---- drawing -----------------------------------------------------------------------------
def main_background():
    w, h = WINDOW
    c = sa.Canvas(w, h, sa.KEY)
    # the window's shape: a rounded body; everything outside stays magenta
    c.round_rect(6, 6, w - 6, h - 6, 30, (150, 190, 230))
    c.round_rect(8, 8, w - 8, h - 8, 28, NAVY_TOP, NAVY_BOTTOM)
    # header band with the brand
    c.round_rect(8, 8, w - 8, 126, 28, (30, 56, 96), (18, 34, 62))
    c.span(126, 8, w - 8, ACCENT)
    c.span(127, 8, w - 8, sa.darken(ACCENT, 0.5))
    c.text(52, 32, 'ORVEX', (0, 0, 0), scale=7)
    c.text(48, 28, 'ORVEX', (240, 246, 255), scale=7)
    c.text(50, 90, 'DVR SITE MANAGER', ACCENT, scale=2)
    # a wall of camera pictures
    skies = [((96, 150, 210), (170, 200, 230)), ((40, 60, 110), (120, 110, 150)), ((210, 140, 90), (240, 200, 140))]
    for i in range(9):
        col, row = i % 3, i // 3
        x0, y0 = 48 + col * 148, 156 + row * 112
        sky = skies[(col + row) % 3]
        c.round_rect(x0, y0, x0 + 136, y0 + 102, 6, (90, 120, 160))
        c.vgradient(x0 + 3, y0 + 3, x0 + 133, y0 + 66, sky[0], sky[1], levels=12)
        c.vgradient(x0 + 3, y0 + 66, x0 + 133, y0 + 99, (64, 100, 64), (34, 60, 38), levels=8)
        peak = 20 + (i * 37) % 70
        c.polygon([(x0 + 4, y0 + 66), (x0 + peak, y0 + 26 + (i % 4) * 6), (x0 + peak + 50, y0 + 66)], (72, 88, 110))
        if i % 2 == 0:
            c.fill_rect(x0 + 84, y0 + 40, x0 + 118, y0 + 66, (150, 110, 80))
            c.polygon([(x0 + 80, y0 + 40), (x0 + 101, y0 + 26), (x0 + 122, y0 + 40)], (120, 50, 40))
            c.fill_rect(x0 + 96, y0 + 52, x0 + 106, y0 + 66, (60, 40, 30))
        c.fill_rect(x0 + 3, y0 + 3, x0 + 56, y0 + 15, (0, 0, 0))
        c.text(x0 + 6, y0 + 6, 'CAM %02d' % (i + 1), (255, 255, 255))
        c.disk(x0 + 124, y0 + 10, 3, (235, 40, 40))
    # the pitch on the right
    c.text(540, 160, 'Watch and control', (240, 246, 255), scale=3)
    c.text(540, 190, 'your DVRs anywhere', (240, 246, 255), scale=3)
    c.text(726, 263, 'VERSION', (110, 140, 180))
    lines = ['Live video of up to 16 cameras', 'Playback, search and backup',
             'Remote setup of every recorder', 'One list for all your sites']
    for i, s in enumerate(lines):
        c.disk(546, 330 + i * 20 + 3, 3, ACCENT)
        c.text(556, 327 + i * 20, s, (200, 214, 232), scale=1)
    # version pill (the version text is drawn by the program, shifted 200 px right of rect 13)
    c.round_rect(716, 278, 906, 304, 12, (12, 22, 42))
    c.round_frame(716, 278, 906, 304, 12, (50, 80, 120))
    # the site line: the program writes "ID : ..." and "IP : ..." in rectangles 11 and 12
    c.round_rect(500, 600, 968, 648, 10, (10, 18, 36))
    c.round_frame(500, 600, 968, 648, 10, (50, 80, 120))
    c.text(40, 612, 'CURRENT SITE', ACCENT, scale=2)
    c.span(640, 40, 470, (50, 80, 120))
    # button bar
    c.round_rect(8, 672, w - 8, h - 8, 20, (14, 24, 44), (4, 8, 18))
    c.span(672, 24, w - 24, (50, 80, 120))
    return c


def four_states(bg, x, y, bw, bh, theme, draw_symbol, radius):
    out = []
    for state in sa.STATES:
        c = bg.crop(x, y, x + bw, y + bh)
        ink, dx, dy = sa.button_face(c, 0, 0, bw, bh, state, theme, radius)
        draw_symbol(c, ink, dx, dy)
        out.append(c)
    return out


def label_button(bg, x, y, bw, bh, label):
    def sym(c, ink, dx, dy):
        c.text_centered(0, 0, bw, bh, label, ink, scale=2, shadow=(0, 0, 0) if ink != BUTTON_THEME['off_ink'] else None,
                        dx=dx, dy=dy)
    return four_states(bg, x, y, bw, bh, BUTTON_THEME, sym, 8)


def exit_button(bg, x, y, size):
    out = []
    for state in sa.STATES:
        c = bg.crop(x, y, x + size, y + size)
        t = EXIT_THEME
        colours = {'normal': (t['top'], t['bottom'], t['ink']),
                   'hover': (sa.lighten(t['top'], 0.2), t['top'], t['ink_hot']),
                   'pressed': (t['bottom'], sa.darken(t['bottom'], 0.3), t['ink_hot']),
                   'disabled': (t['off_top'], t['off_bottom'], t['off_ink'])}[state]
        top, bottom, ink = colours
        r = size / 2
        c.disk(r, r, r - 1, t['edge'] if state != 'hover' else t['glow'])
        c.disk(r, r, r - 3, bottom)
        c.disk(r, r - 2, r - 6, top)
        off = 1 if state == 'pressed' else 0
        # the power symbol: an open ring and a bar
        cx, cy = r + off, r + off
        ring = [sa.circle(cx, cy, 14, 60), sa.circle(cx, cy, 10, 60)]
        c.polygon(ring, ink)
        c.polygon([(cx - 6, cy - 17), (cx + 6, cy - 17), (cx + 6, cy - 6), (cx - 6, cy - 6)], top)
        c.fill_rect(int(cx) - 2, int(cy) - 18, int(cx) + 2, int(cy) - 2, ink)
        out.append(c)
    return out


def dialog_background(w, h, title):
    c = sa.Canvas(w, h, (0, 0, 0))
    # a dark body like the main window's: the site edit dialog's labels are light grey text
    c.vgradient(0, 0, w, h, NAVY_TOP, NAVY_BOTTOM)
    c.vgradient(0, 0, w, 44, (30, 56, 96), (14, 28, 54))
    c.span(44, 0, w, ACCENT)
    c.text(16, 12, 'ORVEX', (255, 255, 255), scale=3)
    c.text(16 + sa.Canvas.text_width('ORVEX', 3) + 16, 18, title, ACCENT, scale=2)
    c.frame(0, 0, w, h, (14, 28, 54))
    c.frame(1, 45, w - 1, h - 1, (50, 80, 120))
    return c


def icon(size):
    c = sa.Canvas(size, size, sa.KEY)
    r = size / 2
    c.round_rect(0, 0, size, size, max(2, size // 6), (40, 80, 130), (10, 20, 44))
    c.disk(r, r, size * 0.36, (12, 20, 36))
    c.ring(r, r, size * 0.36, max(1.5, size * 0.08), ACCENT)
    c.disk(r, r, size * 0.16, (120, 200, 255))
    c.disk(r - size * 0.06, r - size * 0.06, max(1.0, size * 0.05), (255, 255, 255))
    return c


def main(out, rc_path=DEFAULT_RC):
    os.makedirs(out, exist_ok=True)
    entries = []

    def save(bid, canvas):
        name = 'lustrel_%d.bmp' % bid
        canvas.save_bmp8(os.path.join(out, name))
        entries.append((bid, name))

    bg = main_background()
    save(200, bg)
    captions = button_captions(rc_path)
    for first, bw, bh, (x, y), _ in BUTTONS:
        for i, img in enumerate(label_button(bg, x, y, bw, bh, captions[first])):
            save(first + i, img)
    first, bw, bh, (x, y) = EXIT_BUTTON
    for i, img in enumerate(exit_button(bg, x, y, bw)):
        save(first + i, img)
    for bid, w, h, title in (SITE_LIST, SITE_EDIT):
        save(bid, dialog_background(w, h, title))
    sa.write_ico(os.path.join(out, 'lustrel_128.ico'), [icon(48), icon(32), icon(16)])

    with open(os.path.join(out, 'LustrelArt.rc'), 'w') as f:
        f.write('// generated by lustrel_art.py\n')
        for bid, name in sorted(entries):
            f.write('%d BITMAP "%s"\n' % (bid, os.path.join(out, name).replace('\\', '/')))
        f.write('%d ICON "%s"\n' % (ICON, os.path.join(out, 'lustrel_128.ico')))


if __name__ == '__main__':
    main(sys.argv[1], sys.argv[2] if len(sys.argv) > 2 else DEFAULT_RC)
