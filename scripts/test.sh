#!/usr/bin/env bash
# test.sh [TREE...]: builds and runs every test (default trees: asan, fuzz, win; the native tree's
# simulator is built first because the Wine tree's end-to-end tests use it: the rest of the native
# tree, the benchmarks and dvrtool, builds with scripts/build.sh), then prints one line
# "N passed, N failed". Exits non-zero on any failure, build failures included.
set -uo pipefail
source "$(dirname "$0")/trees.sh"
bash "$ROOT/scripts/install-deps.sh" || exit 1
mkdir -p "$BUILD" "$ROOT/out"
trees=("$@")
[ ${#trees[@]} -gt 0 ] || trees=(asan fuzz win)

start=$SECONDS
broken=()
echo "== building native (the simulator)"
# shellcheck disable=SC2046
build_tree native $(test_targets native) || broken+=(native)
results=()
for t in "${trees[@]}"; do
  echo "== building $t"
  # shellcheck disable=SC2046
  if ! build_tree "$t" $(test_targets "$t"); then broken+=("$t"); continue; fi
  echo "== testing $t"
  junit=$BUILD/$t/junit.xml
  rm -f "$junit"
  # A tree may offer resources for ctest to share out (the Windows tree's Wine lanes).
  lanes=()
  [ -f "$BUILD/$t/resources.json" ] && lanes=(--resource-spec-file "$BUILD/$t/resources.json")
  (cd "$BUILD/$t" && ctest -j "$JOBS" --timeout 600 --output-on-failure --output-junit "$junit" "${lanes[@]}") \
    > "$BUILD/$t.ctest.log" 2>&1
  grep -E '(Passed|Failed|\*\*\*|Not Run|tests passed|tests failed|Exception|Timeout)' "$BUILD/$t.ctest.log" \
    | grep -vE '^\s*Start' | tail -n 400
  results+=("$junit")
done

python3 "$ROOT/scripts/tally.py" "${results[@]}" -- "${broken[@]}"
rc=$?
echo "(test run took $((SECONDS - start)) s; logs in $BUILD/*.ctest.log)" >&2
# The summary line comes last.
python3 "$ROOT/scripts/tally.py" --line "${results[@]}" -- "${broken[@]}"
exit $rc
