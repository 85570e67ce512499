#!/usr/bin/env bash
# Installs what is missing, builds everything with gcc under AddressSanitizer
# and UndefinedBehaviorSanitizer and runs the whole test suite through CTest
# (the fuzz corpora included); then builds and runs it again with clang 14,
# warnings as errors, without the sanitizers; last, the tests of the code
# that runs on several threads once more under ThreadSanitizer (clang 14).
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

# The threaded code under ThreadSanitizer: the worker team and the large
# transforms it shares, the batch run several files at a time (the engine's
# own tests, and ravelin-cli --jobs in child processes).
threaded_targets=(dsp_test_workerTeam dsp_test_fft engine_test_batch ravelin-cli cli_test_report)
threaded_tests="WorkerTeam|SharedWork|ParallelBatch|JobsWith"
cmake -S . -B build/tsan -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DRAVELIN_TSAN=ON -DRAVELIN_BUILD_UI=OFF -DRAVELIN_BUILD_BENCH=OFF >/dev/null
cmake --build build/tsan -j "$(nproc)" --target "${threaded_targets[@]}"
TSAN_OPTIONS="halt_on_error=1" ctest --test-dir build/tsan --output-on-failure -j "$(nproc)" -R "$threaded_tests" --no-tests=error
