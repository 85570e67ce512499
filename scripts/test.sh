#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs the whole test suite through CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=build/sanitize
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRAVELIN_SANITIZE=ON \
  -DRAVELIN_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
