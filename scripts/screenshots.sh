#!/usr/bin/env bash
# Draws the screenshots in docs/screens from a generated address book: 100% and 150% scale, and
# one dark theme. Needs a build (tools/peoplekeeper-screens) and Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build --target peoplekeeper-screens >/dev/null
out=docs/screens
mkdir -p "$out"
run() { xvfb-run -a -s "-screen 0 1920x1200x24" env "$@"; }
run QT_QPA_PLATFORM=xcb build/tools/peoplekeeper-screens "$out"
run QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=1.5 build/tools/peoplekeeper-screens "$out" --suffix -150
run QT_QPA_PLATFORM=xcb build/tools/peoplekeeper-screens "$out" --dark --suffix -dark
# Keep each picture small.
for f in "$out"/*.png; do
    if command -v convert >/dev/null; then convert "$f" -strip -define png:compression-level=9 "$f"; fi
done
ls -l "$out"
