#!/usr/bin/env bash
# package.sh: out/Orvex-Setup-VERSION.exe, the setup program a person on Windows runs (make package).
# Built in the Windows tree (package/CMakeLists.txt, package/Orvex.nsi) from the binaries it ships.
set -euo pipefail
source "$(dirname "$0")/trees.sh"
bash "$ROOT/scripts/install-deps.sh"
mkdir -p "$BUILD" "$ROOT/out"
build_tree win orvex_setup
version=$(head -n1 "$ROOT/VERSION")
cp "$BUILD/win/package/Orvex-Setup-$version.exe" "$ROOT/out/"
echo "out/Orvex-Setup-$version.exe"
