#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what the project needs on Debian 12 (as root or via sudo).
# Usage: scripts/setup-deps.sh [--run | --package]
#   (none)     everything: building, running, every test, the checks and the packages (CI)
#   --run      only what building and running the tool need (scripts/run.sh)
#   --package  what building and running need, and the Debian packaging tools (scripts/package.sh)
set -euo pipefail

# Building and running the programs.
run_packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-translations-l10n fonts-noto-cjk
  libusb-1.0-0-dev libsystemd-dev nlohmann-json3-dev
)
# The tests, sanitizers, fuzzers, benchmarks and the formatting check.
test_packages=(
  clang clang-format libclang-rt-14-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  umockdev libumockdev-dev
  xvfb xauth xdotool
  dbus python3-dbusmock
)
# The Windows build: mingw-w64 cross compilers (posix threads) and the tools for DLLs, Wine to run
# its tests (64-bit only), and for its windows a window manager, the Japanese locale (Wine takes
# the user's language from LANG) and the screenshot tools, and wixl with the msitools to build and
# check the Windows Installer packages. GoogleTest for that target is built from the googletest
# sources.
windows_packages=(
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools wine64
  openbox locales xdotool imagemagick wixl msitools
)
# The 32-bit Linux build of the core and its tests (preset linux-x86): the i686 cross compiler
# with its C and C++ libraries, and qemu-i386 to run the tests on a kernel without 32-bit support.
x86_packages=(
  g++-i686-linux-gnu qemu-user
)
# Building and checking the Debian packages.
package_packages=(
  dpkg-dev file lintian appstream desktop-file-utils
)

packages=("${run_packages[@]}")
case "${1:-}" in
  --run) ;;
  --package) packages+=("${package_packages[@]}") ;;
  "")
    packages+=("${test_packages[@]}" "${package_packages[@]}" "${windows_packages[@]}"
      "${x86_packages[@]}")
    ;;
  *)
    echo "usage: scripts/setup-deps.sh [--run | --package]" >&2
    exit 2
    ;;
esac

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
# Japanese texts under Wine need the ja_JP.UTF-8 locale of the C library.
if [ -z "${1:-}" ] && ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf-\?8'; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
  $sudo locale-gen >/dev/null
fi
