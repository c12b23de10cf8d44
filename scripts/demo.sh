#!/usr/bin/env bash
# The main job, as far as the system reaches today: builds everything, boots the Wine bench and
# shows which parts run. Output under out/.
set -uo pipefail
source "$(dirname "$0")/trees.sh"
bash "$ROOT/scripts/install-deps.sh" || exit 1
mkdir -p "$BUILD" "$ROOT/out"
for t in native win; do
  echo "== building $t"
  build_tree "$t" || exit 1
done
WB=$ROOT/tools/winebench/winebench
"$WB" start "$BUILD/win" || exit 1
trap '"$WB" stop "$BUILD/win"' EXIT
echo "== Wine session up (display $("$WB" env "$BUILD/win" | sed -n 's/^export DISPLAY=//p'))"
for t in bench_window_test bench_dsound_test bench_xvid_test; do
  if "$WB" run "$BUILD/win/bin/$t.exe" --gtest_brief=1 >"$ROOT/out/demo-$t.log" 2>&1; then
    echo "   $t: works"
  else
    echo "   $t: FAILED (out/demo-$t.log)"
  fi
done
"$WB" exec "$BUILD/win" import -window root "$ROOT/out/demo-desktop.png" 2>/dev/null \
  && echo "   screenshot: out/demo-desktop.png"
cat <<'MSG'
Runs today: the Windows cross build, the Wine bench (windows, GDI, DirectSound play and capture,
COM registration) and the xvidcore bridge.
Still to come: the DVR simulator, the Pellux viewer, the Orvex manager and its skin.
MSG
