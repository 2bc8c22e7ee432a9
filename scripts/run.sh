#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what running needs, builds the tool with the `user` preset and starts it against the
# simulated printer: the desktop tool, or the terminal tool when there is no display. The first
# start configures the build folder; later starts only build what changed.
# ZMR470_SIM (see the README) passes through and chooses how the simulated printer behaves.
# ZMR_BUILD_DIR chooses another build folder than the preset's build-user/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh --run
build="${ZMR_BUILD_DIR:-build-user}"
case "$build" in /*) ;; *) build="$PWD/$build" ;; esac
[ -f "$build/CMakeCache.txt" ] || cmake --preset user -B "$build"
cmake --build "$build" -j "$(nproc)" --target zmr470-update zmr470-update-cli
# The simulated driver libraries carry the names the tool loads; found first on the path, they
# stand in for the printer.
export LD_LIBRARY_PATH="$build/sim-lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: starting the terminal tool instead." >&2
  exec "$build/bin/zmr470-update-cli"
fi
exec "$build/bin/zmr470-update"
