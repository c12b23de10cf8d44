#!/usr/bin/env bash
# Installs every Debian package the build and the tests need; does nothing when all are present.
set -euo pipefail
PKGS=(
  cmake ninja-build make g++ clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools
  wine wine64 wine64-tools libwine-dev nsis
  xvfb x11-apps xdotool imagemagick pulseaudio pulseaudio-utils
  libgtest-dev googletest libbenchmark-dev
  libxvidcore-dev libspandsp-dev libsndfile1-dev libcli11-dev libpng-dev libavcodec-dev
  procps python3 tzdata ffmpeg
)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then exit 0; fi
echo "installing: ${missing[*]}"
SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
