#!/usr/bin/env bash
# Soak: the simulator sends LOAD (default 16 x D1, with audio) to the view host under the Wine bench
# for SECONDS (default 1800), and a sample is taken every STEP seconds (default 10):
#   the view host's RSS, the simulator's RSS, frames sent (by the simulator's own clock) and pictures
#   shown per second over the step, dropped frames (total, of which the full ring refused and the pipeline
#   dropped), the live audio queue (ms) with blocks skipped and trimmed, the display latency of the
#   view's last second, and the machine's load average.
# The samples go to OUT/soak.tsv (default out/soak); then a summary: RSS growth after the first
# minute (last sample and highest less the sample at 60 s; the limit is 2 MB), every step with drops
# and the load average at the time.
#
#   bench/soak.sh [--seconds N] [--step N] [--out DIR] [LOAD]
#
# LIVE_HOST and LIVE_SIM_ARGS as for run-live.sh. Needs: build_tree native dvrsim; build_tree win viewhost.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$ROOT/scripts/trees.sh"
source "$ROOT/bench/live-common.sh"
SECONDS_RUN=1800 STEP=10 OUT=$ROOT/out/soak LOAD=16xd1
while [ $# -gt 0 ]; do
  case "$1" in
    --step) STEP=$2; shift 2 ;;
    *) live_option "$@"; shift "$LIVE_TAKEN" ;;
  esac
done
live_setup
live_begin

tag=$LOAD-soak
live_start "$LOAD" "$tag" $((SECONDS_RUN + 120)) || { echo "soak: $LOAD did not start (see $OUT/$tag.*)" >&2; exit 1; }
TSV=$OUT/soak.tsv
echo "soak: $LOAD for $SECONDS_RUN s, a sample every $STEP s; load average at the start $(cut -d' ' -f1-3 /proc/loadavg)"
printf 't_s\tload1\thost_rss_kib\tsim_rss_kib\tsent_s\tshown_s\tdropped\tfull\tpipeline\taudio_ms\tskipped\ttrimmed\tlat_p50\tlat_p99\thost_cores\n' >"$TSV"
start=$(date +%s.%N)
prev_sent=0 prev_simt=0 prev_shown=0 prev_t=0 prev_cpu=0 first=1
while :; do
  now=$(date +%s.%N)
  t=$(awk -v a="$start" -v b="$now" 'BEGIN { printf "%.0f", b - a }')
  kill -0 "$LIVE_PID" 2>/dev/null || { echo "soak: the view host ended at $t s" >&2; break; }
  stat=$(grep -v '^#' "$OUT/$tag.stats" | tail -1)
  simline=$(grep -a 'video t=' "$OUT/$tag.sim.err" | tail -1)
  sent=$(sed -n 's/.*sent=\([0-9]*\).*/\1/p' <<<"$simline") simt=$(sed -n 's/.* t=\([0-9.]*\).*/\1/p' <<<"$simline")
  cpu=$(cpu_ticks "$LIVE_PID")
  # The stats line's columns: see viewer/shell/LiveFigures.cpp.
  read -r _ _ shown dropped _ p50 p99 _ _ _ _ _ _ queued skipped trimmed full pipe _ <<<"$stat"
  if [ $first = 0 ]; then
    awk -v t="$t" -v load="$(cut -d' ' -f1 /proc/loadavg)" -v rss="$(rss_kib "$LIVE_PID")" \
        -v sim="$(rss_kib "$LIVE_SIM")" -v s0="$prev_sent" -v s1="${sent:-0}" -v st0="$prev_simt" -v st1="${simt:-0}" -v sh0="$prev_shown" -v sh1="${shown:-0}" \
        -v dt="$(awk -v a="$prev_t" -v b="$now" 'BEGIN { print b - a }')" -v dr="${dropped:-0}" -v full="${full:-0}" \
        -v pipe="${pipe:-0}" -v q="${queued:--1}" -v sk="${skipped:-0}" -v tr="${trimmed:-0}" -v p50="${p50:-0}" \
        -v p99="${p99:-0}" -v c0="$prev_cpu" -v c1="$cpu" -v hz="$HZ" 'BEGIN {
      printf "%d\t%s\t%d\t%d\t%.1f\t%.1f\t%d\t%d\t%d\t%d\t%d\t%d\t%.1f\t%.1f\t%.2f\n", t, load, rss, sim,
        (st1 > st0 ? (s1 - s0) / (st1 - st0) : 0), (sh1 - sh0) / dt, dr, full, pipe, q, sk, tr, p50, p99, (c1 - c0) / hz / dt }' >>"$TSV"
  fi
  first=0 prev_sent=${sent:-0} prev_simt=${simt:-0} prev_shown=${shown:-0} prev_t=$now prev_cpu=$cpu
  [ "$t" -ge "$SECONDS_RUN" ] && break
  sleep "$(awk -v a="$start" -v n="$(date +%s.%N)" -v s="$STEP" 'BEGIN { d = s - (n - a) % s; print d < 0.1 ? d + s : d }')"
done
live_stop
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
awk -F'\t' 'NR == 1 { next }
  { n++; t[n] = $1; load[n] = $2; rss[n] = $3; sim[n] = $4; sent += $5; shown += $6; drop[n] = $7; full[n] = $8
    pipe[n] = $9; q[n] = $10 }
  END {
    if (n == 0) { print "soak: no samples"; exit 1 }
    base = 0
    for (i = 1; i <= n; i++) if (t[i] >= 60) { base = i; break }
    if (!base) base = n
    hi = rss[base]; shi = sim[base]
    for (i = base; i <= n; i++) { if (rss[i] > hi) hi = rss[i]; if (sim[i] > shi) shi = sim[i] }
    printf "samples: %d over %d s; mean sent/s %.1f, shown/s %.1f\n", n, t[n], sent / n, shown / n
    printf "view host RSS at %d s: %d KiB, at the end %d KiB (growth %+d KiB), highest after it %+d KiB (limit 2048)\n",
      t[base], rss[base], rss[n], rss[n] - rss[base], hi - rss[base]
    printf "simulator RSS: %d KiB -> %d KiB (%+d KiB), highest %+d KiB\n", sim[base], sim[n], sim[n] - sim[base], shi - sim[base]
    printf "dropped in total: %d (ring full %d, pipeline %d, other %d) since the view started\n",
      drop[n], full[n], pipe[n], drop[n] - full[n] - pipe[n]
    prevd = 0; prevf = 0; prevp = 0
    for (i = 1; i <= n; i++) {
      if (drop[i] > prevd)
        printf "  drops at %5d s: %d (full %d, pipeline %d), load %s, audio queue %d ms\n", t[i], drop[i] - prevd,
          full[i] - prevf, pipe[i] - prevp, load[i], q[i]
      prevd = drop[i]; prevf = full[i]; prevp = pipe[i]
    }
  }' "$TSV" | tee "$OUT/summary.txt"
