#!/usr/bin/env bash
# recorder-figures.sh [SECONDS] [REPS] [VIDEO]: what `dvrtool record --store` costs per hour of 16
# cameras against the native simulator (16 channels, VIDEO format each, default d1, with audio):
# CPU seconds and disk bytes, measured over SECONDS (default 60) and scaled to an hour, REPS runs
# (default 3) without and with --motion, then the medians. Needs the native tree (dvrtool, dvrsim).
set -euo pipefail
source "$(dirname "$0")/../scripts/trees.sh"
secs=${1:-60}; reps=${2:-3}; video=${3:-d1}
sim=$BUILD/native/bin/dvrsim
tool=$BUILD/native/bin/dvrtool
work=$(mktemp -d)
"$sim" --port 0 --channels 16 --video "$video" >"$work/sim.out" 2>&1 &
simpid=$!
trap 'kill $simpid 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 100); do grep -q listening "$work/sim.out" && break; sleep 0.1; done
port=$(sed -n 's/.*127.0.0.1:\([0-9]*\).*/\1/p' "$work/sim.out" | head -1)
tick=$(getconf CLK_TCK)

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }

for mode in plain motion; do
  flag=""; [ "$mode" = motion ] && flag=--motion
  : >"$work/$mode.cpu"; : >"$work/$mode.bytes"
  for r in $(seq "$reps"); do
    store=$work/store-$mode-$r
    "$tool" record --store "$store" --address 127.0.0.1 --port "$port" --user admin --password 1111 $flag \
      2>"$work/$mode-$r.log" &
    pid=$!
    # Measure from the first frames on, not the start-up (the simulator encodes its loops first).
    for _ in $(seq 1200); do [ -n "$(find "$store" -name '*.seg' -size +0 2>/dev/null | head -1)" ] && break; sleep 0.1; done
    read -r u0 s0 < <(awk '{print $14, $15}' /proc/$pid/stat)
    b0=$(du -sb "$store" | cut -f1)
    sleep "$secs"
    read -r u1 s1 < <(awk '{print $14, $15}' /proc/$pid/stat)
    b1=$(du -sb "$store" | cut -f1)
    kill -TERM $pid; wait $pid || true
    cpu=$(awk -v a=$((u1 + s1 - u0 - s0)) -v t="$tick" -v s="$secs" 'BEGIN {printf "%.1f", a / t * 3600 / s}')
    bytes=$(awk -v b=$((b1 - b0)) -v s="$secs" 'BEGIN {printf "%.0f", b * 3600 / s}')
    echo "$mode run $r: $cpu CPU s/h ($(awk -v c="$cpu" 'BEGIN {printf "%.1f", c / 36}') % of a core), $((bytes / 1000000)) MB/h;" \
      "$(sed -n 's/.*stopped: //p' "$work/$mode-$r.log")"
    echo "$cpu" >>"$work/$mode.cpu"; echo "$bytes" >>"$work/$mode.bytes"
  done
done
pc=$(median <"$work/plain.cpu"); mc=$(median <"$work/motion.cpu")
pb=$(median <"$work/plain.bytes"); mb=$(median <"$work/motion.bytes")
echo "16 cameras ($video, with audio), ${secs} s runs scaled to an hour, medians of $reps:"
echo "  without --motion: $pc CPU s/h, $((${pb%.*} / 1000000)) MB/h"
echo "  with --motion:    $mc CPU s/h, $((${mb%.*} / 1000000)) MB/h"
awk -v p="$pc" -v m="$mc" 'BEGIN {if (p > 0) printf "  motion costs %.1f CPU s/h more (x%.2f)\n", m - p, m / p}'
