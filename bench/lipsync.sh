#!/usr/bin/env bash
# Lip sync measured end to end: the simulator (--sync-marker 1) makes camera 1's loop start with a
# white picture and puts a click into the audio at the same instant; the view host shows it under
# the Wine bench; lipsync_probe watches the screen for the flashes and the sound server's monitor
# for the clicks and prints the offset of each pair (sound less picture), the median and the worst.
# Beside it, to tell the view's share from the sound path's: the view's own figure (its audio clock
# less the picture's time when a picture is shown, median of the per-second medians, from its
# stats file) and the sound server's latency of the view's stream (buffer + sink, sampled every 5 s).
#
#   bench/lipsync.sh [--seconds N] [--out DIR] [LOAD]      (default 60 s, LOAD 4xd1)
#
# LIVE_HOST and LIVE_SIM_ARGS as for run-live.sh. Needs: build_tree native dvrsim lipsync_probe;
# build_tree win viewhost.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$ROOT/scripts/trees.sh"
source "$ROOT/bench/live-common.sh"
SECONDS_RUN=60 OUT=$ROOT/out/lipsync LOAD=4xd1
while [ $# -gt 0 ]; do live_option "$@"; shift "$LIVE_TAKEN"; done
live_setup
PROBE=$BUILD/native/bin/lipsync_probe
[ -x "$PROBE" ] || { echo "lipsync: build lipsync_probe (native) first" >&2; exit 1; }
LIVE_SIM_ARGS="--sync-marker 1 ${LIVE_SIM_ARGS:-}"
live_begin
# The session's display and sound server only (its Wine variables are the host's business).
eval "$("$WB" env "$BUILD/win" | grep -E '^export (DISPLAY|PULSE_SERVER|XDG_RUNTIME_DIR)=')"
tag=$LOAD-sync
live_start "$LOAD" "$tag" $((SECONDS_RUN + 30)) || { echo "lipsync: $LOAD did not start (see $OUT/$tag.*)" >&2; exit 1; }
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
lines0=$(grep -vc '^#' "$OUT/$tag.stats")
( for _ in $(seq $((SECONDS_RUN / 5 + 1))); do
    pactl list sink-inputs 2>/dev/null | awk '/Buffer Latency/ { b = $3 } /Sink Latency/ { s = $3 }
      /application.name = "viewhost/ { print b / 1000, s / 1000 }'
    sleep 5
  done >"$OUT/$tag.pulse" ) &
pulse_pid=$!
parec -d nullsink.monitor --raw --format=s16le --rate=8000 --channels=1 --latency-msec=5 2>"$OUT/$tag.parec.err" \
  | "$PROBE" "$SECONDS_RUN" 6 | tee "$OUT/$tag.probe"
kill "$pulse_pid" 2>/dev/null; wait "$pulse_pid" 2>/dev/null
live_stop
median() { sort -g | awk '{ v[NR] = $1 } END { if (NR) print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2); else print "-" }'; }
# Columns 19-21 of the stats line: the audio clock less the picture's time at display (ms).
echo "view: audio clock less picture time at display, median of per-second medians $(grep -v '^#' "$OUT/$tag.stats" \
  | tail -n +$((lines0 + 1)) | awk 'NF >= 21 && $5 > 0 { print $19 }' | median) ms, of per-second 99th percentiles \
$(grep -v '^#' "$OUT/$tag.stats" | tail -n +$((lines0 + 1)) | awk 'NF >= 21 && $5 > 0 { print $20 }' | median) ms"
echo "sound server: the view's stream, buffer latency median $(cut -d' ' -f1 "$OUT/$tag.pulse" | median) ms, sink latency median $(cut -d' ' -f2 "$OUT/$tag.pulse" | median) ms"
grep -a 'sync click' "$OUT/$tag.sim.err" | sed 's/^/simulator: /' | sort | uniq -c | head -5
