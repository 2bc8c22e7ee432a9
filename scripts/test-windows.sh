#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Windows programs with mingw-w64: the 32-bit ones (preset `windows-x86`; compiled and
# linked only, this machine cannot run them), then the 64-bit ones (preset `windows`), whose
# tests run under Wine.
# Usage: scripts/test-windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh
cmake --preset windows-x86
cmake --build --preset windows-x86
cmake --preset windows
cmake --build --preset windows
ctest --preset windows
