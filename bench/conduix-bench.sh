#!/usr/bin/env bash
# conduix-bench.sh [BLOCKS] [BLOCK_SIZE] [REPS]: the Conduix stream benchmark under Wine against the
# native simulator. Needs the native and win trees built (scripts/build.sh native win).
set -euo pipefail
source "$(dirname "$0")/../scripts/trees.sh"
blocks=${1:-20000}; size=${2:-16384}; reps=${3:-5}
sim=$BUILD/native/bin/dvrsim
bench=$BUILD/win/bin/conduix_bench.exe
wb=$ROOT/tools/winebench/winebench
out=$(mktemp)
"$sim" --port 0 --synthetic-rate 0 --synthetic-count "$blocks" --synthetic-size "$size" >"$out" &
simpid=$!
trap 'kill $simpid 2>/dev/null || true; "$wb" stop "$BUILD/win" >/dev/null 2>&1 || true; rm -f "$out"' EXIT
for _ in $(seq 50); do grep -q listening "$out" && break; sleep 0.1; done
port=$(sed -n 's/.*127.0.0.1:\([0-9]*\).*/\1/p' "$out" | head -1)
"$wb" start "$BUILD/win" >/dev/null
"$wb" run "$bench" "$port" "$blocks" "$size" "$reps"
