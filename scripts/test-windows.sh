#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Windows programs with mingw-w64: the 32-bit ones (preset `windows-x86`; compiled and
# linked only, this machine cannot run them; their 32-bit code is tested by preset `linux-x86`),
# then the 64-bit ones (preset `windows`), checks what both builds import and export
# (scripts/check-windows-binaries.sh), and runs the 64-bit tests under Wine.
# Usage: scripts/test-windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh
cmake --preset windows-x86
cmake --build --preset windows-x86
cmake --preset windows
cmake --build --preset windows
scripts/check-windows-binaries.sh build-windows-x86 build-windows
ctest --preset windows
