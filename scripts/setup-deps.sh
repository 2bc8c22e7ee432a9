#!/usr/bin/env bash
# Installs what building, testing and running the tool need on Debian 12 (as root or via sudo).
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config clang clang-format libclang-rt-14-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libusb-1.0-0-dev umockdev libumockdev-dev
  xvfb xauth fonts-noto-cjk openbox locales
)
# The Windows build: mingw-w64 cross compilers (posix threads) and the tools for DLLs, and Wine
# to run its tests (64-bit only). GoogleTest for that target is built from the googletest sources.
packages+=(
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools wine64
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
