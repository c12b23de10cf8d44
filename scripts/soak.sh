#!/usr/bin/env bash
# Soak of the live video under Wine (not part of CI): the simulator sends 16 channels of D1 to the
# view host for a long run; every 10 s the view host's memory (RSS of its Wine process, and the
# working set it reports) and its frames dropped are sampled. Prints the table and keeps it under
# out/soak/ with the view host's per-second statistics.
#
#   scripts/soak.sh [SECONDS] [LOAD]      (default 600 s of 16xd1; make soak SOAK_SECONDS=...)
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$ROOT/scripts/trees.sh"
DURATION=${1:-600} LOAD=${2:-16xd1} STEP=10
SIM=$BUILD/native/bin/dvrsim HOST=$BUILD/win/bin/viewhost.exe WB=$ROOT/tools/winebench/winebench
OUT=$ROOT/out/soak HZ=$(getconf CLK_TCK)
[ -x "$SIM" ] && [ -f "$HOST" ] || { echo "soak: build dvrsim (native) and viewhost (win) first" >&2; exit 1; }
mkdir -p "$OUT"
source "$ROOT/bench/live-common.sh"

live_begin

stamp=$(date +%Y%m%d-%H%M%S)
table=$OUT/soak-$LOAD-$stamp.txt
live_start "$LOAD" "soak-$stamp" $((DURATION + 120)) || { echo "soak: the view host showed no picture" >&2; exit 1; }
{
  echo "# soak $LOAD for $DURATION s, sampled every $STEP s; $(nproc) cores; load average $(cut -d' ' -f1-3 /proc/loadavg)"
  printf '%7s %9s %8s %8s %7s %9s %9s %8s %8s %8s\n' t_s rss_kib ws_kib shown dropped sent shown/s cores \
    "lat p50" "lat p99"
} | tee "$table"
live_sample s0
prev_shown=$s0_shown prev_elapsed=$s0_elapsed prev_cpu=$s0_cpu prev_time=$s0_time
t0=$(date +%s.%N)
for ((i = STEP; i <= DURATION; i += STEP)); do
  # Sleep to the next multiple of STEP from the start, whatever the sampling cost.
  sleep "$(awk -v t0="$t0" -v i="$i" -v now="$(date +%s.%N)" 'BEGIN { d = t0 + i - now; print (d > 0 ? d : 0) }')"
  kill -0 "$LIVE_PID" 2>/dev/null || { echo "soak: the view host ended at $i s" | tee -a "$table"; exit 1; }
  live_sample s
  # shellcheck disable=SC2154
  ws=$(grep -v '^#' "$OUT/$LIVE_TAG.stats" | tail -1 | awk '{ print $9 }')
  lat=$(grep -v '^#' "$OUT/$LIVE_TAG.stats" | tail -"$STEP" | awk '$5 > 0 { a += $6; if ($7 > p) p = $7; n++ }
    END { if (n) printf "%.1f %.1f", a / n, p; else print "- -" }')
  awk -v t="$i" -v rss="$s_rss" -v ws="$ws" -v sh="$s_shown" -v dr="$(( s_dropped - s0_dropped ))" -v sent="$s_sent" \
      -v sh0="$prev_shown" -v e0="$prev_elapsed" -v e1="$s_elapsed" -v c0="$prev_cpu" -v c1="$s_cpu" \
      -v w0="$prev_time" -v w1="$s_time" -v hz="$HZ" -v lat="$lat" 'BEGIN { split(lat, l, " ")
    printf "%7d %9d %8d %8d %7d %9d %9.1f %8.2f %8s %8s\n", t, rss, ws, sh, dr, sent,
      (e1 > e0 ? (sh - sh0) / (e1 - e0) : 0), (c1 - c0) / hz / (w1 - w0), l[1], l[2] }' | tee -a "$table"
  prev_shown=$s_shown prev_elapsed=$s_elapsed prev_cpu=$s_cpu prev_time=$s_time
done
echo "# dropped: since the first sample; lat p50: mean of the per-second medians over the step; lat p99:" \
  "worst per-second 99th percentile of the step (ms)" | tee -a "$table"
echo "soak: table in $table, per-second figures in $OUT/$LIVE_TAG.stats"
