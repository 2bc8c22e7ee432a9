#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the randomised campaign: whole updates over the strict simulated printer, each with its
# settings and faults drawn from a seed, split over parallel processes.
# Usage: scripts/campaign.sh [--preset default|asan] [--first S] [--jobs J] SEEDS
#   runs seeds S .. S+SEEDS-1 (S defaults to 0; J to the number of cores). A failing run is
#   printed with its seed and settings; `build/bin/zmr_campaign --seed N` replays it.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=default
first=0
jobs=$(nproc)
while [ $# -gt 1 ]; do
  case "$1" in
    --preset) preset="$2"; shift 2 ;;
    --first) first="$2"; shift 2 ;;
    --jobs) jobs="$2"; shift 2 ;;
    *) break ;;
  esac
done
seeds="${1:?usage: scripts/campaign.sh [--preset P] [--first S] [--jobs J] SEEDS}"
case "$preset" in
  default) build=build ;;
  asan) build=build-asan ;;
  *) echo "campaign.sh: preset default or asan" >&2; exit 2 ;;
esac
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)" --target zmr_campaign >/dev/null
start=$(date +%s)
share=$(( (seeds + jobs - 1) / jobs ))
pids=()
for ((j = 0; j < jobs; j++)); do
  from=$(( first + j * share ))
  count=$(( seeds - j * share < share ? seeds - j * share : share ))
  [ "$count" -gt 0 ] || break
  "$build/bin/zmr_campaign" --first "$from" --seeds "$count" &
  pids+=($!)
done
status=0
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
echo "campaign: $seeds seeds from $first in $(( $(date +%s) - start )) s, $([ $status -eq 0 ] && echo 'no failure' || echo 'FAILURES above')"
exit $status
