#!/usr/bin/env bash
# Playing recordings against watching live, side by side in one run: the simulator's 16 cameras
# (D1, with sound and the burned-in counter, as bench/run-live.sh sends them) are recorded into a
# store by `dvrtool record --store`, then for each of REPS rounds, in turn:
#   live      the view host watching the simulator live (bench/run-live.sh's row)
#   play1x    the player's view (bench/playback_figures.cpp) playing the 16 cameras from the store
#   serial    the same at 1x with every camera decoded on the interface thread (--helpers 0)
#   play16x   the same at 16x (key frames only)
# and last the seek time: K seeks paused to times spread over the store, as a click on the timeline,
# with the cameras decoded side by side and on the interface thread alone.
#   bench/playback-figures.sh [--seconds N] [--warmup N] [--reps N] [--record N] [--seeks K] [--out DIR]
# Columns as bench/run-live.sh's: shown/s, dropped (for the store: pictures decoded but never shown),
# cpu ms/pic (the program's Wine process, user + sys, per picture shown), srv+X ms (wineserver and
# Xvfb per picture), cores. The store rows have no send time: no latency, no sent/s.
# Needs: bash scripts/build.sh native win (dvrsim, dvrtool, viewhost, playback_figures).
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$ROOT/scripts/trees.sh"
source "$ROOT/bench/live-common.sh"
SECONDS_RUN=20 WARMUP=5 REPS=3 RECORD=45 SEEKS=40 OUT=$ROOT/out/playback
LOADS=()
while [ $# -gt 0 ]; do
  case "$1" in
    --reps) REPS=$2; shift 2 ;;
    --record) RECORD=$2; shift 2 ;;
    --seeks) SEEKS=$2; shift 2 ;;
    *) live_option "$@"; shift "$LIVE_TAKEN" ;;
  esac
done
live_setup
PLAYER=$BUILD/win/bin/playback_figures.exe TOOL=$BUILD/native/bin/dvrtool
[ -f "$PLAYER" ] && [ -x "$TOOL" ] || { echo "playback-figures: build dvrtool (native) and playback_figures (win) first" >&2; exit 1; }

# The store: the same simulator options as the live rows' (live_start), recorded natively. The
# files of an earlier run's rounds go first.
STORE=$OUT/store
rm -rf "$STORE" "$OUT"/live-* "$OUT"/play1x-* "$OUT"/serial-* "$OUT"/play16x-*
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
"$SIM" --port "$port" --channels 16 --video d1 --video-mask 65535 --video-count-every 1 >"$OUT/record.sim.out" 2>&1 &
recsim=$!
for _ in $(seq 100); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.1; done
"$TOOL" record --store "$STORE" --address 127.0.0.1 --port "$port" --user admin --password 1111 2>"$OUT/record.log" &
rec=$!
sleep "$RECORD"
kill -TERM "$rec"; wait "$rec"
kill "$recsim"; wait "$recsim" 2>/dev/null
SITE=$(find "$STORE" -mindepth 1 -maxdepth 1 -type d | head -1)
[ -n "$SITE" ] || { echo "playback-figures: nothing recorded (see $OUT/record.log)" >&2; exit 1; }
echo "store: $(du -sm "$STORE" | cut -f1) MB, $RECORD s of 16 cameras ($(basename "$SITE"))"

live_begin

# store_start TAG SPEED [HELPERS]: the player's view playing the store; returns once it shows pictures.
store_start() {
  local tag=$1 speed=$2 helpers=${3:--1}
  LIVE_TAG=$tag
  rm -f "$OUT/$tag".*
  : >"$OUT/$tag.sim.err" # no simulator: nothing sent
  "$WB" run "$PLAYER" --site "$(winepath_of "$SITE")" --cameras 16 --mode play --speed "$speed" --helpers "$helpers" \
    --seconds $((WARMUP + SECONDS_RUN + 5)) --stats "$(winepath_of "$OUT/$tag.stats")" >"$OUT/$tag.host.out" 2>&1 &
  LIVE_WRAP=$!
  live_wait_shown "$PLAYER"
}

printf '%-7s %-8s %8s %8s %8s %10s %9s %8s %8s %10s %8s %8s  %5s %5s\n' run rep sent/s shown/s dropped "cpu ms/pic" \
  "srv+X ms" "lat p50" "lat p99" "(worst)" "arr p50" "arr p99" cores sim
for rep in $(seq "$REPS"); do
  for variant in live play1x serial play16x; do
    tag=$variant-$rep
    case $variant in
      live) live_start 16xd1 "$tag" $((WARMUP + SECONDS_RUN + 60)) ;;
      play1x) store_start "$tag" 4 ;;
      serial) store_start "$tag" 4 0 ;;
      play16x) store_start "$tag" 64 ;;
    esac || { echo "playback-figures: $variant did not start (see $OUT/$tag.*)" >&2; live_stop; continue; }
    sleep "$WARMUP"
    live_sample a
    sleep "$SECONDS_RUN"
    live_sample b
    # The player's view ends by itself a few seconds on, with its own totals.
    [ "$variant" = live ] || wait "$LIVE_WRAP"
    live_stop
    live_row "$variant" "$rep"
  done
done
for f in "$OUT"/play*.host.out "$OUT"/serial*.host.out; do tr -d '\r' <"$f" | grep -a -E '^(speed|status)' | sed "s|^|$(basename "$f" .host.out): |"; done
for helpers in -1 0; do
  "$WB" run "$PLAYER" --site "$(winepath_of "$SITE")" --cameras 16 --mode seek --seeks "$SEEKS" --helpers "$helpers" 2>&1 |
    tr -d '\r' | grep -a -E '^(seek|status)'
done
