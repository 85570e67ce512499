#!/usr/bin/env bash
# End-to-end speed and peak memory, side by side: the engine against a
# straightforward FFTW + libsndfile implementation of the same work, on one
# stereo 48 kHz 24-bit recording by a 10 s sweep into 32-bit float
# (12 s and 600 s long). Each measurement is its own process under
# /usr/bin/time; the two programs alternate round by round, and the table
# gives medians with min and max of the times, of the per-round ratio and of
# the peak resident memory.
#   RAVELIN_BENCH_ROUNDS   rounds per length (default 5)
#   RAVELIN_BENCH_LENGTHS  recording lengths in seconds (default "12 600")
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=${RAVELIN_BENCH_BUILD:-build/release}
rounds=${RAVELIN_BENCH_ROUNDS:-5}
lengths=${RAVELIN_BENCH_LENGTHS:-12 600}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DRAVELIN_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target engine_bench_deconvolve >/dev/null
bench="$build/bench/engine_bench_deconvolve"

# One run: prints "milliseconds kilobytes".
measure() {
  local log
  log=$(mktemp)
  /usr/bin/time -f '%M' -o "$log.rss" "$bench" --benchmark_filter="^$1/$2/" --benchmark_format=csv 2>/dev/null >"$log"
  awk -F, -v name="\"$1/$2/iterations:1/real_time\"" '$1 == name { printf "%s ", $3 }' "$log"
  cat "$log.rss"
  rm -f "$log" "$log.rss"
}

# median min max of the numbers on stdin.
stats() {
  sort -g | awk '{ v[NR] = $1 } END { m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2;
                   printf "%.3f (%.3f .. %.3f)", m, v[1], v[NR] }'
}

printf '%-8s %-28s %-28s %-24s %-22s %s\n' length "engine ms" "baseline ms" "ratio engine/baseline" "engine peak MiB" "baseline peak MiB"
for seconds in $lengths; do
  measure EngineBatch "$seconds" >/dev/null # makes the inputs
  engine=() baseline=() ratio=() engineRss=() baselineRss=()
  for ((r = 0; r < rounds; ++r)); do
    read -r e er < <(measure EngineBatch "$seconds")
    read -r b br < <(measure Baseline "$seconds")
    engine+=("$e") baseline+=("$b") engineRss+=("$er") baselineRss+=("$br")
    ratio+=("$(awk -v e="$e" -v b="$b" 'BEGIN { print e / b }')")
  done
  printf '%-8s %-28s %-28s %-24s %-22s %s\n' "${seconds} s" \
    "$(printf '%s\n' "${engine[@]}" | stats)" "$(printf '%s\n' "${baseline[@]}" | stats)" \
    "$(printf '%s\n' "${ratio[@]}" | stats)" \
    "$(printf '%s\n' "${engineRss[@]}" | awk '{ print $1 / 1024 }' | stats)" \
    "$(printf '%s\n' "${baselineRss[@]}" | awk '{ print $1 / 1024 }' | stats)"
done
echo "Bound of the engine's own blocks: 2 spectra of 2^order doubles + channels x max(R, L) floats + the tone's floats"
echo "  12 s: 2 x 2^21 x 8 + 2 x 576000 x 4 + 480000 x 4 bytes = 38.2 MiB; 600 s: 2 x 2^26 x 8 + 2 x 28800000 x 4 + 480000 x 4 bytes = 1245.5 MiB"
