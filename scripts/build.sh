#!/usr/bin/env bash
# build.sh [TREE...]: installs what is missing and builds the named trees (default: native, asan,
# fuzz, win). See scripts/trees.sh for what each tree holds.
set -euo pipefail
source "$(dirname "$0")/trees.sh"
bash "$ROOT/scripts/install-deps.sh"
mkdir -p "$BUILD"
trees=("$@")
[ ${#trees[@]} -gt 0 ] || trees=(native asan fuzz win)
for t in "${trees[@]}"; do
  echo "== building $t"
  build_tree "$t"
done
