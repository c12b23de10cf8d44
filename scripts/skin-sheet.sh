#!/usr/bin/env bash
# Contact sheets of every generated skin bitmap, for people to look at: out/skin-*.png.
# Needs the win tree built (bash scripts/build.sh win) and ImageMagick's montage.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/trees.sh"
OUT=$ROOT/out
mkdir -p "$OUT"
lustrel=$BUILD/win/skin/art
lumbrel=$BUILD/win/companions/lumbrel/art
[ -d "$lustrel" ] && [ -d "$lumbrel" ] || { echo "build the win tree first"; exit 1; }
MONTAGE=(montage -background '#5a5f66')

# Lustrel: the main window (magenta is cut away by the manager), the dialog backgrounds, the buttons
"${MONTAGE[@]}" "$lustrel/lustrel_200.bmp" "$lustrel/lustrel_351.bmp" "$lustrel/lustrel_352.bmp" \
  -tile 3x -geometry +6+6 "$OUT/skin-lustrel-backgrounds.png"
"${MONTAGE[@]}" $(ls "$lustrel"/lustrel_2[0-4][0-9].bmp | grep -v lustrel_200) \
  "$lustrel/lustrel_128.ico[0]" -tile 4x -geometry +6+6 "$OUT/skin-lustrel-buttons.png"

# Lumbrel: the panel as first shown, then every button in its four states (normal, hover,
# pressed, disabled), then the checked sets
cp "$lumbrel/preview_panel.bmp" "$OUT/skin-lumbrel-panel.bmp"
/usr/bin/convert "$lumbrel/preview_panel.bmp" "$OUT/skin-lumbrel-panel.png"
rm -f "$OUT/skin-lumbrel-panel.bmp"
"${MONTAGE[@]}" $(ls "$lumbrel"/lumbrel_2[0-9][0-9][0-9].bmp | sort -V) -tile 8x -geometry +4+4 \
  "$OUT/skin-lumbrel-buttons.png"
"${MONTAGE[@]}" $(ls "$lumbrel"/lumbrel_3[0-9][0-9][0-9].bmp | sort -V) -tile 8x -geometry +4+4 \
  "$OUT/skin-lumbrel-checked.png"
ls -1 "$OUT"/skin-*.png
