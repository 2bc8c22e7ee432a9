#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the downloads for Windows users with the mingw-w64 presets `windows` and `windows-x86`
# and writes them to dist/:
#   zmr470-update-<version>-win64.zip, zmr470-update-<version>-win32.zip  (the tools)
#   zmr470-update-<version>-win64-simulated-printer.zip (and -win32-)     (the simulated DLLs)
#   zmr470-update-<version>-win64.msi, zmr470-update-<version>-win32.msi  (the tools' installers)
# Usage: scripts/package-windows.sh [--check-install]
#   --check-install  then also install the 64-bit MSI silently under Wine, run the installed
#                    terminal tool and remove it again (scripts/wine-msi-check.sh; CI)
set -euo pipefail
cd "$(dirname "$0")/.."
command -v wixl >/dev/null && command -v msiinfo >/dev/null ||
  { echo "package-windows.sh: wixl and msitools are needed (scripts/setup-deps.sh)" >&2; exit 1; }
mkdir -p dist
for preset in windows windows-x86; do
  cmake --preset "$preset" >/dev/null
  build="build-$preset"  # the preset's binaryDir
  cmake --build "$build" -j 2 --target zmr470-update zmr470-update-cli sim_TUsbPrIf sim_ZUsbXpIf \
    windows_readme
  (cd "$build" && cpack -G ZIP -B "$PWD/dist" >/dev/null)
  cmake --build "$build" --target zmr_msi >/dev/null
  cp "$build"/dist/*.zip "$build"/dist/*.msi dist/
done
ls -1 dist/*.zip dist/*.msi

if [ "${1:-}" = "--check-install" ]; then
  scripts/wine-msi-check.sh "$(ls build-windows/dist/*-win64.msi)" build-windows/sim-lib
fi
