#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds and runs every benchmark (bin/*_bench) with the `default` preset.
# Usage: scripts/bench.sh [--smoke] [extra Google Benchmark options...]
#   --smoke  runs each benchmark very briefly, only to show that it still works (CI).
# ZMR_BUILD_DIR chooses another build folder than the preset's build/.
set -euo pipefail
cd "$(dirname "$0")/.."
args=()
if [ "${1:-}" = "--smoke" ]; then
  shift
  args+=(--benchmark_min_time=0.01)
fi
build="${ZMR_BUILD_DIR:-build}"
cmake --preset default -B "$build" >/dev/null
targets=$(cmake --build "$build" --target help | sed -n 's/^\([A-Za-z0-9_]*_bench\):.*/\1/p')
[ -n "$targets" ] || { echo "no benchmarks found" >&2; exit 1; }
# shellcheck disable=SC2086
cmake --build "$build" -j "$(nproc)" --target $targets
for target in $targets; do
  echo "== $target"
  "$build/bin/$target" "${args[@]}" "$@"
done
