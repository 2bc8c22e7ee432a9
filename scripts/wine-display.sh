#!/usr/bin/env bash
# A private X display for the Windows programs that show windows under Wine: Xvfb with a small
# window manager (openbox, when installed), which maps Wine's windows at once instead of letting
# Wine wait for a window manager that is not there. CTest starts and stops it as a fixture.
# Usage: scripts/wine-display.sh DIR start | stop | run PROGRAM [ARGS...]
set -euo pipefail
dir="$1"
shift
mkdir -p "$dir"
case "${1:-}" in
  start)
    "$0" "$dir" stop
    : >"$dir/display"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dir/display" >/dev/null 2>&1 &
    echo $! >"$dir/xvfb.pid"
    for _ in $(seq 100); do [ -s "$dir/display" ] && break; sleep 0.1; done
    [ -s "$dir/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
    if command -v openbox >/dev/null; then
      DISPLAY=":$(cat "$dir/display")" openbox >/dev/null 2>&1 &
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
