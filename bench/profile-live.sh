#!/usr/bin/env bash
# Where the view host's CPU goes at a live load: the simulator sends LOAD (default 16 x D1, with
# audio) to the view host under the Wine bench, and after the warm-up perf samples the host's Wine
# process (every thread) for SECONDS; then the shares by shared object and the top symbols.
# Two configurations, one after the other in one run:
#   before  the halftone stretch under the display lock (--scale-under-lock), audio queue untrimmed
#           (--no-audio-trim)
#   after   today's defaults: the display's own scaling outside the lock, the queue trimmed
#
#   bench/profile-live.sh [--seconds N] [--warmup N] [--top N] [--out DIR] [--only before|after] [LOAD]
#
# perf sees the PE modules Wine maps itself (viewhost.exe, Pellux.dll, Conduix.dll) as anonymous
# code, "[JIT] tid PID": the script writes /tmp/perf-PID.map from their symbol tables (MinGW nm),
# which holds while Wine loads them at their preferred bases (addresses outside every module stay
# unnamed). Wine's own PE DLLs show by file name, unresolved; the Unix side (win32u.so, ntdll.so)
# and libxvidcore show by object, with addresses only where the files carry no symbols.
# Needs: build_tree native dvrsim; build_tree win viewhost; perf.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$ROOT/scripts/trees.sh"
source "$ROOT/bench/live-common.sh"
SECONDS_RUN=20 WARMUP=5 TOP=15 OUT=$ROOT/out/profile LOAD=16xd1 ONLY=
while [ $# -gt 0 ]; do
  case "$1" in
    --top) TOP=$2; shift 2 ;;
    --only) ONLY=$2; shift 2 ;;
    *) live_option "$@"; shift "$LIVE_TAKEN" ;;
  esac
done
live_setup
command -v perf >/dev/null || { echo "profile-live: perf is missing" >&2; exit 1; }
NM=x86_64-w64-mingw32-nm

# pe_perf_map PID: perf's map of anonymous code for PID, from the PE modules beside the host.
pe_perf_map() {
  local f
  for f in "$(dirname "$HOST")"/*.dll "$HOST"; do
    "$NM" -C --defined-only "$f" 2>/dev/null | awk '$2 ~ /^[tT]$/'
  done | python3 -c '
import sys
syms = sorted({int(l.split(None, 2)[0], 16): l.split(None, 2)[2].strip() for l in sys.stdin if len(l.split(None, 2)) == 3}.items())
for (a, name), (b, _) in zip(syms, syms[1:]):
    print("%x %x %s" % (a, b - a, name))' >"/tmp/perf-$1.map"
}
live_begin

for variant in before after; do
  [ -n "$ONLY" ] && [ "$ONLY" != "$variant" ] && continue
  LIVE_HOST_ARGS=()
  [ $variant = before ] && LIVE_HOST_ARGS=(--scale-under-lock --no-audio-trim)
  tag=$LOAD-$variant
  live_start "$LOAD" "$tag" $((WARMUP + SECONDS_RUN + 60)) || { echo "profile-live: $LOAD did not start" >&2; live_stop; continue; }
  sleep "$WARMUP"
  echo "== $variant (${LIVE_HOST_ARGS[*]:-defaults}): $LOAD, load average $(cut -d' ' -f1-3 /proc/loadavg)"
  live_sample a
  perf record -q -F 999 -p "$LIVE_PID" -o "$OUT/$tag.perf.data" -- sleep "$SECONDS_RUN" 2>"$OUT/$tag.perf.err"
  live_sample b
  pe_perf_map "$LIVE_PID"
  live_stop
  awk -v c0="$a_cpu" -v c1="$b_cpu" -v s0="$a_shown" -v s1="$b_shown" -v hz="$HZ" -v t0="$a_time" -v t1="$b_time" 'BEGIN {
    printf "shown %d pictures, %.2f cores, %.3f ms CPU per picture\n", s1 - s0, (c1 - c0) / hz / (t1 - t0),
      (s1 > s0 ? (c1 - c0) / hz * 1000 / (s1 - s0) : 0) }'
  echo "-- by shared object"
  perf report -i "$OUT/$tag.perf.data" --stdio --sort dso 2>/dev/null | grep -v '^#' | grep -v '^$' | head -"$TOP"
  echo "-- top symbols"
  perf report -i "$OUT/$tag.perf.data" --stdio --sort dso,sym 2>/dev/null | grep -v '^#' | grep -v '^$' | head -"$TOP"
done
