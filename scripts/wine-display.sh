#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A private X display for the Windows programs that show windows under Wine: Xvfb with a small
# window manager (openbox, when installed), which maps Wine's windows at once instead of letting
# Wine wait for a window manager that is not there. CTest starts and stops it as a fixture.
# Usage: scripts/wine-display.sh DIR start [:N] | stop | run PROGRAM [ARGS...]
# With :N the display gets that number (the build gives every Windows test DISPLAY=:N, since
# Wine's desktop process stays bound to the display of the first program that needed it).
set -euo pipefail
dir="$1"
shift
mkdir -p "$dir"
case "${1:-}" in
  start)
    "$0" "$dir" stop
    : >"$dir/display"
    # In sessions of their own: CTest ends what is left in the process group of a test.
    if [ -n "${2:-}" ]; then
      setsid Xvfb "$2" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
      echo $! >"$dir/xvfb.pid"
      for _ in $(seq 100); do [ -S "/tmp/.X11-unix/X${2#:}" ] && break; sleep 0.1; done
      echo "${2#:}" >"$dir/display"
    else
      setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dir/display" \
        >/dev/null 2>&1 </dev/null &
      echo $! >"$dir/xvfb.pid"
    fi
    for _ in $(seq 100); do [ -s "$dir/display" ] && break; sleep 0.1; done
    [ -s "$dir/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
    if command -v openbox >/dev/null; then
      DISPLAY=":$(cat "$dir/display")" setsid openbox >/dev/null 2>&1 </dev/null &
      echo $! >"$dir/wm.pid"
    fi
    ;;
  stop)
    for name in wm xvfb; do
      if [ -f "$dir/$name.pid" ]; then
        kill "$(cat "$dir/$name.pid")" 2>/dev/null || true
        rm -f "$dir/$name.pid"
      fi
    done
    ;;
  run)
    shift
    DISPLAY=":$(cat "$dir/display")" exec "$@"
    ;;
  *)
    echo "usage: $0 DIR start | stop | run PROGRAM [ARGS...]" >&2
    exit 2
    ;;
esac
