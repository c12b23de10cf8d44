# Sourced by the scripts: the build trees of the project and how each is configured.
#   native  g++, optimised: tools (dvrtool, dvrsim) and benchmarks
#   asan    g++ with AddressSanitizer and UndefinedBehaviorSanitizer: the native tests
#   tsan    clang with ThreadSanitizer: the native tests (make tsan; not part of make test)
#   fuzz    clang with libFuzzer, ASan and UBSan: the fuzz targets
#   win     MinGW-w64 cross build: the Windows binaries and their tests under Wine
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${PX_BUILD_DIR:-$ROOT/build}
JOBS=${PX_JOBS:-$(nproc)}

tree_args() {
  case "$1" in
    native) echo "-DCMAKE_BUILD_TYPE=RelWithDebInfo -DPX_TESTS=OFF -DPX_TOOLS=ON -DPX_BENCH=ON" ;;
    asan)   echo "-DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=-O1 -DCMAKE_C_FLAGS=-O1 -DPX_SANITIZE=address,undefined -DPX_TESTS=ON -DPX_TOOLS=OFF -DPX_BENCH=OFF" ;;
    tsan)   echo "-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=-O1 -DCMAKE_C_FLAGS=-O1 -DPX_SANITIZE=thread -DPX_TESTS=ON -DPX_TOOLS=OFF -DPX_BENCH=OFF" ;;
    fuzz)   echo "-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPX_SANITIZE=address,undefined -DPX_FUZZ=ON -DPX_TESTS=OFF -DPX_TOOLS=OFF -DPX_BENCH=OFF" ;;
    win)    echo "-DCMAKE_TOOLCHAIN_FILE=$ROOT/cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPX_TESTS=ON -DPX_TOOLS=OFF -DPX_BENCH=OFF -DPX_NATIVE_TREE=$BUILD/native" ;;
    *) echo "unknown tree $1" >&2; return 1 ;;
  esac
}

# test_targets NAME: what make test builds of a tree (nothing printed: all of it). Of the native
# tree only the simulator and dvrtool that the Windows tests run; of the fuzz tree only the fuzz targets.
test_targets() {
  case "$1" in
    native) echo "dvrsim dvrtool" ;;
    fuzz)   echo "fuzz_targets" ;;
  esac
}

# build_tree NAME [TARGET...]: configure once, then build what changed.
build_tree() {
  local name=$1; shift
  local dir=$BUILD/$name
  if [ ! -f "$dir/build.ninja" ]; then
    # PX_CCACHE=1: compile through ccache (shares objects between checkouts on one machine). Off by
    # default, so that a build never depends on what another checkout left in the cache.
    local launcher=""
    if [ "${PX_CCACHE:-0}" = 1 ] && command -v ccache >/dev/null 2>&1; then
      launcher="-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
    fi
    # shellcheck disable=SC2046
    cmake -S "$ROOT" -B "$dir" -G Ninja $(tree_args "$name") $launcher >"$BUILD/$name.configure.log" 2>&1 \
      || { cat "$BUILD/$name.configure.log"; return 1; }
  fi
  local log=$BUILD/$name.build.log
  if ! ninja -C "$dir" -j "$JOBS" "$@" >"$log" 2>&1; then
    grep -E 'error|FAILED|undefined reference' "$log" | head -60
    echo "build of $name failed: see $log"
    return 1
  fi
}
