#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the downloads for Windows users with the mingw-w64 presets `windows` and `windows-x86`
# and writes them to dist/:
#   zmr470-update-<version>-win64.zip, zmr470-update-<version>-win32.zip  (the tools)
#   zmr470-update-<version>-win64-simulated-printer.zip (and -win32-)     (the simulated DLLs)
set -euo pipefail
cd "$(dirname "$0")/.."
mkdir -p dist
for preset in windows windows-x86; do
  cmake --preset "$preset" >/dev/null
  build="build-$preset"  # the preset's binaryDir
  cmake --build "$build" -j 2 --target zmr470-update zmr470-update-cli sim_TUsbPrIf sim_ZUsbXpIf
  (cd "$build" && cpack -G ZIP -B "$PWD/dist" >/dev/null)
  cp "$build"/dist/*.zip dist/
done
ls -1 dist/*.zip
