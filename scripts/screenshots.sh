#!/usr/bin/env bash
# Shows the desktop application's windows on a virtual X server (with an
# example list of recordings) and saves their pictures into docs/ (or the
# folder given): main-window.png at the minimum size 556 x 463,
# main-window-large.png, tone-generator.png, progress.png, about.png, and
# results-magnitude.png, results-etc.png, results-impulse.png and
# results-room.png (the results window after a run over two synthetic
# measurements).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --gui
out="${1:-docs}"
mkdir -p "$out"
build=build/screenshots
cmake -S . -B "$build" -DRAVELIN_BUILD_TESTS=OFF -DRAVELIN_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target ravelin-screenshots
runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
XDG_RUNTIME_DIR="$runtime" QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1280x1024x24" "$build/ui/ravelin-screenshots" "$out"
