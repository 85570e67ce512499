#!/usr/bin/env bash
# End-to-end speed and peak memory of one file (12 s stereo 48 kHz 24-bit
# recording, 10 s sweep, 32-bit float output): the engine against a
# straightforward FFTW + libsndfile implementation, each in its own process
# under /usr/bin/time -v.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=${RAVELIN_BENCH_BUILD:-build/release}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DRAVELIN_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target engine_bench_deconvolve
bench="$build/bench/engine_bench_deconvolve"
for name in EngineBatch Baseline; do
  log=$(mktemp)
  /usr/bin/time -v "$bench" --benchmark_filter="^$name" 2>"$log" | grep -E "^$name"
  grep -E 'Maximum resident' "$log"
  rm -f "$log"
done
echo "Memory bound of the engine's own blocks: 2 x 2^21 doubles + 2 x 576000 floats + 480000 floats = 39143 KiB (plus about 5 MiB for an idle process)"
