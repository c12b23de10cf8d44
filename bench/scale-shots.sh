#!/usr/bin/env bash
# The display's own scaling beside the halftone stretch and the former scaling, as pictures: runs
# display_bench.exe (timings and the PSNR table on standard output) with a folder for its PPM files
# (one simulator scene, 704 x 480, into 176 x 120 and 352 x 240), then writes each as PNG and one
# sheet per size with the three side by side (former, ours, halftone), enlarged 3x with whole pixels.
#
#   bench/scale-shots.sh [ROUNDS] [OUT]      (default 9 rounds, out/scale)
# Needs: build_tree win display_bench.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$ROOT/scripts/trees.sh"
ROUNDS=${1:-9} OUT=$(realpath -m "${2:-$ROOT/out/scale}")
mkdir -p "$OUT"
"$ROOT/tools/winebench/winebench" run "$BUILD/win/bin/display_bench.exe" "$ROUNDS" "Z:$(echo "$OUT" | tr / '\\')"
python3 - "$OUT" <<'PY'
import struct, sys, zlib, glob, os
def read_ppm(path):
    data = open(path, 'rb').read()
    parts = data.split(maxsplit=4)
    w, h = int(parts[1]), int(parts[2])
    return w, h, parts[4][:w * h * 3]
def write_png(path, w, h, rgb):
    raw = b''.join(b'\0' + rgb[y * w * 3:(y + 1) * w * 3] for y in range(h))
    chunk = lambda t, d: struct.pack('>I', len(d)) + t + d + struct.pack('>I', zlib.crc32(t + d) & 0xffffffff)
    open(path, 'wb').write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 2, 0, 0, 0)) +
                            chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))
def enlarge(w, h, rgb, k):
    rows = []
    for y in range(h):
        row = b''.join(rgb[(y * w + x) * 3:(y * w + x) * 3 + 3] * k for x in range(w))
        rows += [row] * k
    return b''.join(rows)
out = sys.argv[1]
for ppm in sorted(glob.glob(os.path.join(out, 'scale-*.ppm'))):
    w, h, rgb = read_ppm(ppm)
    write_png(ppm[:-4] + '.png', w, h, rgb)
for size in sorted({p.split('-', 2)[2][:-4] for p in glob.glob(os.path.join(out, 'scale-ours-*.ppm'))}):
    pics = [read_ppm(os.path.join(out, 'scale-%s-%s.ppm' % (k, size))) for k in ('former', 'ours', 'halftone')]
    w, h = pics[0][0], pics[0][1]
    k, gap = 3, 6
    big = [enlarge(w, h, p[2], k) for p in pics]
    W = 3 * w * k + 2 * gap
    rows = []
    for y in range(h * k):
        sep = b'\xff\xff\xff' * gap
        rows.append(sep.join(b[y * w * k * 3:(y + 1) * w * k * 3] for b in big))
    write_png(os.path.join(out, 'sheet-%s.png' % size), W, h * k, b''.join(rows))
    print('sheet-%s.png: former | ours | halftone' % size)
PY
