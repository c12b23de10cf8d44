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
# run_tests TREE: the tree's tests through ctest, the log in build/TREE.ctest.log.
run_tests() {
  local t=$1 junit=$BUILD/$1/junit.xml
  rm -f "$junit"
  # A tree may offer resources for ctest to share out (the Windows tree's Wine lanes).
  local lanes=()
  [ -f "$BUILD/$t/resources.json" ] && lanes=(--resource-spec-file "$BUILD/$t/resources.json")
  (cd "$BUILD/$t" && ctest -j "$JOBS" --timeout 600 --output-on-failure --output-junit "$junit" "${lanes[@]}") \
    > "$BUILD/$t.ctest.log" 2>&1
}
show_results() {
  echo "== results of $1"
  grep -E '(Passed|Failed|\*\*\*|Not Run|tests passed|tests failed|Exception|Timeout)' "$BUILD/$1.ctest.log" \
    | grep -vE '^\s*Start' | tail -n 400
}

# The Windows tree first when it is asked for: its tests spend most of their time waiting on
# windows, pointers and sound, so they run in the background while the other trees build and test
# at a lower priority (the Wine tests keep the processor whenever they want it).
results=()
others=()
win_pid=
for t in "${trees[@]}"; do
  if [ "$t" = win ]; then
    echo "== building win"
    # shellcheck disable=SC2046
    if build_tree win $(test_targets win); then
      echo "== testing win (in the background)"
      run_tests win &
      win_pid=$!
      results+=("$BUILD/win/junit.xml")
    else
      broken+=(win)
    fi
  else
    others+=("$t")
  fi
done
for t in "${others[@]}"; do
  echo "== building $t"
  # shellcheck disable=SC2046
  if ! ( [ -z "$win_pid" ] || renice -n 10 -p "$BASHPID" >/dev/null; build_tree "$t" $(test_targets "$t") ); then
    broken+=("$t"); continue
  fi
  echo "== testing $t"
  ( [ -z "$win_pid" ] || renice -n 10 -p "$BASHPID" >/dev/null; run_tests "$t" )
  show_results "$t"
  results+=("$BUILD/$t/junit.xml")
done
if [ -n "$win_pid" ]; then
  wait "$win_pid"
  show_results win
fi

python3 "$ROOT/scripts/tally.py" "${results[@]}" -- "${broken[@]}"
rc=$?
echo "(test run took $((SECONDS - start)) s; logs in $BUILD/*.ctest.log)" >&2
# The summary line comes last.
python3 "$ROOT/scripts/tally.py" --line "${results[@]}" -- "${broken[@]}"
exit $rc
