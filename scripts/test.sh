#!/usr/bin/env bash
# Installs what is missing, builds everything with gcc under AddressSanitizer
# and UndefinedBehaviorSanitizer and runs the whole test suite through CTest
# (the fuzz corpora included); then builds and runs it again with clang 14,
# warnings as errors, without the sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp"

# build_and_test <folder> <cmake options...>
build_and_test() {
  local build=$1
  shift
  cmake -S . -B "$build" -DRAVELIN_BUILD_BENCH=OFF "$@" >/dev/null
  cmake --build "$build" -j "$(nproc)"
  ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
}

build_and_test build/sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRAVELIN_SANITIZE=ON
build_and_test build/clang -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=Release -DRAVELIN_SANITIZE=OFF
