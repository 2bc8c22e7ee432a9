#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Puts the licence's SPDX line at the top of every tracked source, CMake, script and packaging
# file that lacks one, in the comment syntax of its type (after a "#!" line or an XML
# declaration). Running it again changes nothing.
# Usage: scripts/spdx.sh [--check]   (--check only lists the files that lack the line; status 1)
set -euo pipefail
cd "$(dirname "$0")/.."
id="SPDX-License-Identifier: MIT"

# The comment line for a file, or nothing when the file is not one that carries the line.
comment_for() {
  case "$1" in
    *.S) echo "/* $id */" ;;  # preprocessed assembly: "#" would be a directive
    *.c | *.cpp | *.h) echo "// $id" ;;
    CMakeLists.txt | */CMakeLists.txt | *.cmake | *.cmake.in) echo "# $id" ;;
    *.sh | *.rules | *.desktop | *.desktop.in) echo "# $id" ;;
    *.xml | *.xml.in | *.wxs) echo "<!-- $id -->" ;;
    *.[1-8] | *.[1-8].in) echo ".\\\" $id" ;;
    *)
      # Scripts without an extension (.ci/run): by their "#!" line.
      if head -n 1 "$1" | LC_ALL=C grep -aq '^#!'; then echo "# $id"; fi
      ;;
  esac
}

missing=()
while IFS= read -r -d '' file; do
  [ -f "$file" ] || continue
  comment=$(comment_for "$file")
  [ -n "$comment" ] || continue
  head -n 5 "$file" | grep -q "SPDX-License-Identifier:" && continue
  missing+=("$file")
  [ "${1:-}" = "--check" ] && continue
  first=$(head -n 1 "$file")
  tmp=$(mktemp)
  case "$first" in
    '#!'* | '<?xml'*) { echo "$first"; echo "$comment"; tail -n +2 "$file"; } >"$tmp" ;;
    *) { echo "$comment"; cat "$file"; } >"$tmp" ;;
  esac
  # A new file in its place (a script being run, this one too, keeps reading the old one), with
  # the old one's mode: scripts stay executable.
  chmod --reference="$file" "$tmp"
  mv "$tmp" "$file"
done < <(git ls-files -z)

if [ "${1:-}" = "--check" ]; then
  if ((${#missing[@]})); then
    printf '%s: no SPDX line\n' "${missing[@]}" >&2
    exit 1
  fi
  exit 0
fi
if ((${#missing[@]})); then printf 'added to %s\n' "${missing[@]}"; fi
