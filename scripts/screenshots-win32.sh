#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Takes the README's screenshots of the Windows desktop tool under Wine (preset `windows`, the
# simulated printer's DLLs) on a private Xvfb with a window manager, in English and Japanese,
# into docs/screenshots/win32-*.png. Look at them before committing.
# Needs xdotool and ImageMagick besides the Windows build's packages.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
build="$root/build-windows"
cmake --preset windows >/dev/null
cmake --build "$build" -j 2 --target zmr470-update sim_TUsbPrIf sim_ZUsbXpIf
out="$root/docs/screenshots"
mkdir -p "$out"
display_dir="$(mktemp -d)"
# Wine's desktop process stays bound to the display it started on: end it with the display.
trap 'scripts/wine-run.sh "$build/wine-prefix" --stop-server; scripts/wine-display.sh "$display_dir" stop; rm -rf "$display_dir"' EXIT
scripts/wine-display.sh "$display_dir" start
export DISPLAY=":$(cat "$display_dir/display")"
export WINEPATH="Z:${build//\//\\}\\sim-lib"
wine_run=("$root/scripts/wine-run.sh" "$build/wine-prefix")

# The window whose title matches, once it is there (up to 120 s).
find_window() { timeout 120 xdotool search --sync --onlyvisible --name "$1" | head -1; }
# A picture of the window with its frame.
shot() {
  sleep 1  # let the window finish painting
  import -window "$1" -frame "$out/$2.png"
  echo "$out/$2.png"
}

for lang in en ja; do
  if [ "$lang" = ja ]; then locale=ja_JP.UTF-8; else locale=C.UTF-8; fi
  export LANG="$locale" LC_ALL="$locale"

  # A whole update: the main window before, the progress window, the closing box, and after.
  ZMR470_SIM="speed=0 busy=0" "${wine_run[@]}" "$build/bin/zmr470-update.exe" &
  tool=$!
  main="$(find_window '^TALVERON ZMR470 Update Tool$')"
  shot "$main" "win32-$lang-main-before"
  xdotool windowactivate --sync "$main" key Return
  progress="$(find_window '^Upgrade$')"
  sleep 4
  shot "$progress" "win32-$lang-progress"
  box="$(find_window '^Success!$')"
  shot "$box" "win32-$lang-success"
  xdotool windowactivate --sync "$box" key Return
  sleep 1
  shot "$main" "win32-$lang-main-after"
  xdotool windowactivate --sync "$main" key Escape
  wait "$tool" || true

  # No printer: the error box.
  ZMR470_SIM="listed=0" "${wine_run[@]}" "$build/bin/zmr470-update.exe" &
  tool=$!
  main="$(find_window '^TALVERON ZMR470 Update Tool$')"
  xdotool windowactivate --sync "$main" key Return
  box="$(find_window '^Error$')"
  shot "$box" "win32-$lang-error"
  xdotool windowactivate --sync "$box" key Return
  sleep 1
  xdotool windowactivate --sync "$main" key Escape
  wait "$tool" || true
done
