#!/usr/bin/env bash
# Live video end to end: the native simulator sends MPEG-4 channels over loopback TCP to the view
# host (Windows build, under the Wine bench), for each load in turn; prints one table row per load.
#
#   bench/run-live.sh [--seconds N] [--warmup N] [--reps N] [--out DIR] [--compare-idle-wait]
#                     [--compare-audio-trim] [--compare-former] [--compare-host PATH] [--compare-zoom]
#                     [LOAD...]
#
# LOAD is CHANNELSxFORMAT (default: 16xd1 4xd1 16xcif 1xd1); FORMAT is one of the simulator's
# --video names. The DVR has 16 channels for 16 cameras and 4 otherwise, with video on the first
# CHANNELS of them. Measured after the first pictures and N s of warm-up (default 5), for N s
# (default 20):
#   sent/s     video frames the simulator sent (its own count)
#   shown/s    pictures the view host displayed
#   dropped    frames the view refused (full ring) or dropped, within the window
#   cpu ms/pic CPU time of the view host's Wine process per picture shown (/proc, user + sys)
#   srv+X ms   the same for wineserver and Xvfb together (the Wine GDI path's share)
#   lat p50/p99 display latency (wall clock at display less the header's send time): the median
#              of the per-second medians and of the per-second 99th percentiles; worst second in ()
#   arr p50/p99 the same at arrival (the frame handed to the slot pool): network and receive only
#   cores      the view host's CPU over wall time
#   sim        the simulator's CPU over wall time (it shares the machine's cores with the view)
# --compare-idle-wait runs every load twice, side by side: "wait" with the decode threads' former
# idle wait (timed waits that Stop cuts short, --wake-on-stop) and "sleep" with plain sleeps.
# --compare-audio-trim runs every load twice, side by side: "full" with the live audio queue left to
# grow up to its cap (--no-audio-trim) and "trim" with it trimmed back towards its low-water mark.
# --compare-former runs every load twice, side by side: "former" with the display's former path (the
# halftone stretch under the display lock, --scale-under-lock) and the untrimmed audio queue
# (--no-audio-trim), and "ours" with the defaults.
# --compare-host PATH runs every load twice, side by side: "ref" with the viewhost.exe at PATH (another
# build, e.g. a worktree's build/win/bin/viewhost.exe, run in this tree's Wine session) and "ours".
# --compare-zoom runs every load twice, side by side: "whole" with no division zoomed and "zoom2" with
# every division at 2x digital zoom (viewhost --zoom-all 2).
# --compare-record runs every load twice, side by side: "plain" without recording and "rec" recording
# every camera into the store (viewhost --record 1: the view's own Ctrl+R a second after the start,
# into the prefix's Videos folder plus "Orvex", emptied before each run); after a "rec" row, the bytes
# the store holds and the status line that says where recording went.
# LIVE_HOST=PATH runs another build of viewhost.exe instead (in this tree's Wine session).
# LIVE_SIM_ARGS adds simulator options (faults, e.g. "--video-clock-ahead 3600").
# Needs: bash scripts/build.sh native win (or build_tree native dvrsim; build_tree win viewhost).
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$ROOT/scripts/trees.sh"
source "$ROOT/bench/live-common.sh"
SECONDS_RUN=20 WARMUP=5 REPS=1 OUT=$ROOT/out/live COMPARE= REF_HOST=
LOADS=()
while [ $# -gt 0 ]; do
  case "$1" in
    --reps) REPS=$2; shift 2 ;;
    --compare-idle-wait) COMPARE=wait; shift ;;
    --compare-audio-trim) COMPARE=trim; shift ;;
    --compare-former) COMPARE=former; shift ;;
    --compare-host) COMPARE=host REF_HOST=$(realpath "$2"); shift 2 ;;
    --compare-zoom) COMPARE=zoom; shift ;;
    --compare-record) COMPARE=record; shift ;;
    *) live_option "$@"; shift "$LIVE_TAKEN" ;;
  esac
done
[ ${#LOADS[@]} -gt 0 ] || LOADS=(16xd1 4xd1 16xcif 1xd1)
live_setup
[ -z "$REF_HOST" ] || [ -f "$REF_HOST" ] || { echo "run-live: no $REF_HOST" >&2; exit 1; }
OUR_HOST=$HOST

live_begin

printf '%-7s %-8s %8s %8s %8s %10s %9s %8s %8s %10s %8s %8s  %5s %5s\n' load run sent/s shown/s dropped "cpu ms/pic" \
  "srv+X ms" "lat p50" "lat p99" "(worst)" "arr p50" "arr p99" cores sim
case $COMPARE in
  wait) VARIANTS=(wait sleep) ;;
  trim) VARIANTS=(full trim) ;;
  former) VARIANTS=(former ours) ;;
  host) VARIANTS=(ref ours) ;;
  zoom) VARIANTS=(whole zoom2) ;;
  record) VARIANTS=(plain rec) ;;
  *) VARIANTS=(-) ;;
esac
for load in "${LOADS[@]}"; do
  for rep in $(seq "$REPS"); do
    for variant in "${VARIANTS[@]}"; do
      label=$rep HOST=$OUR_HOST LIVE_HOST_ARGS=()
      [ "$variant" = - ] || label=$rep-$variant
      case $variant in
        wait) LIVE_HOST_ARGS=(--wake-on-stop) ;;
        full) LIVE_HOST_ARGS=(--no-audio-trim) ;;
        former) LIVE_HOST_ARGS=(--scale-under-lock --no-audio-trim) ;;
        ref) HOST=$REF_HOST ;;
        zoom2) LIVE_HOST_ARGS=(--zoom-all 2) ;;
        rec) LIVE_HOST_ARGS=(--record 1) ;;
      esac
      [ "$COMPARE" != record ] || rm -rf "$BUILD"/win/winebench/prefix/drive_c/users/*/Videos/Orvex
      tag=$load-$label
      if ! live_start "$load" "$tag" $((WARMUP + SECONDS_RUN + 60)); then
        echo "run-live: $load did not start (see $OUT/$tag.*)" >&2
        live_stop
        continue
      fi
      sleep "$WARMUP"
      live_sample a
      sleep "$SECONDS_RUN"
      live_sample b
      live_stop
      live_row "$load" "$label"
      if [ "$variant" = rec ]; then
        printf '        store: %s MB; %s\n' \
          "$(du -sm "$BUILD"/win/winebench/prefix/drive_c/users/*/Videos/Orvex 2>/dev/null | awk '{ s += $1 } END { print s + 0 }')" \
          "$(tr -d '\r' <"$OUT/$tag.log" | grep -a -i 'record' | head -1)"
      fi
    done
  done
done
