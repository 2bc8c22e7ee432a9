#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Formats every C and C++ source of the project with its .clang-format.
# Usage: scripts/format.sh [--check]   (--check only reports files that are not formatted)
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.c' '*.cpp' '*.h')
if [ "${1:-}" = "--check" ]; then
  clang-format --dry-run --Werror "${files[@]}"
else
  clang-format -i "${files[@]}"
fi
