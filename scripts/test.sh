#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Sets up, builds and runs every test of a preset. Usage: scripts/test.sh [default|asan|linux-x86]
# (linux-x86: the core and the simulated printer built for 32-bit x86, run under qemu-i386).
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
scripts/setup-deps.sh
cmake --preset "$preset"
cmake --build --preset "$preset" -j "$(nproc)"
ctest --preset "$preset"
