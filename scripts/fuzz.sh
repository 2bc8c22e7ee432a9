#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the libFuzzer targets with clang (preset `fuzz`) and runs each one for a bounded time.
# Usage: scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 30)
# ZMR_BUILD_DIR chooses another build folder than the preset's build-fuzz/. Findings (crash-*,
# leak-*, timeout-*) are written to <build folder>/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
build="${ZMR_BUILD_DIR:-build-fuzz}"
cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" -j "$(nproc)" --target zmr_fuzzers

findings="$PWD/$build/findings"
mkdir -p "$findings"
status=0
shopt -s nullglob
for fuzzer in "$build"/bin/*_fuzz; do
  name="$(basename "$fuzzer")"
  corpus="$(mktemp -d)"
  seeds=()
  [ -d "fuzz/corpus/$name" ] && seeds=("fuzz/corpus/$name")
  echo "== $name for ${seconds}s"
  if ! "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$findings/$name-" "$corpus" "${seeds[@]}"; then
    echo "!! $name found a failure; see $findings" >&2
    status=1
  fi
  rm -rf "$corpus"
done
exit "$status"
