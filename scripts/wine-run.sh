#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a Windows program of the build under Wine, in a private Wine prefix; CTest calls it for
# every test program of the `windows` preset (CMAKE_CROSSCOMPILING_EMULATOR).
# Usage: scripts/wine-run.sh PREFIX PROGRAM [ARGS...]
#        scripts/wine-run.sh PREFIX --start-server | --stop-server
# The prefix is made on first use. Debian's `wine` launcher needs 32-bit support from the kernel,
# so the 64-bit loader is called directly. ZMR_WINE names another loader.
set -euo pipefail
prefix="$1"
shift
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"  # no Mono or Gecko prompts
wine="${ZMR_WINE:-/usr/lib/wine/wine64}"
wineserver="$(dirname "$wine")/wineserver"
[ -x "$wineserver" ] || wineserver="$(command -v wineserver)"

# Makes the prefix once; a lock keeps parallel tests from making it twice.
if [ ! -f "$prefix/.zmr-ready" ]; then
  mkdir -p "$(dirname "$prefix")"
  exec 9>"$prefix.lock"
  flock 9
  if [ ! -f "$prefix/.zmr-ready" ]; then
    "$wine" wineboot -i >/dev/null 2>&1
    "$wineserver" -w
    touch "$prefix/.zmr-ready"
  fi
  flock -u 9
  exec 9>&-
fi

case "${1:-}" in
  # The server leaves the foreground by itself; it must not hold CTest's output open. When one
  # already runs for the prefix, that one serves.
  # The prefix's own services start with the first program and live as long as the server: start
  # them here, so that they do not hold a test's output open.
  --start-server)
    "$wineserver" -p </dev/null >/dev/null 2>&1 || true
    "$wine" wineboot </dev/null >/dev/null 2>&1 || true
    exit 0
    ;;
  --stop-server) "$wineserver" -k || true; exit 0 ;;
esac
exec "$wine" "$@"
