#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Takes the README's screenshots of the desktop tool (offscreen, over the simulated printer) in
# English and Japanese into docs/screenshots/. Look at them before committing.
# ZMR_BUILD_DIR chooses another build folder than the preset's build/.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${ZMR_BUILD_DIR:-build}"
case "$build" in /*) ;; *) build="$PWD/$build" ;; esac
cmake --preset default -B "$build" >/dev/null
cmake --build "$build" -j "$(nproc)" --target qt_screenshots
mkdir -p docs/screenshots
for lang in en ja; do
  if [ "$lang" = ja ]; then locale=ja_JP.UTF-8; else locale=C.UTF-8; fi
  env QT_QPA_PLATFORM=offscreen LD_LIBRARY_PATH="$build/sim-lib" \
    LANGUAGE="$lang" LC_ALL="$locale" LANG="$locale" \
    "$build/bin/qt_screenshots" docs/screenshots "$lang"
done
