#!/usr/bin/env bash
# Scaling of deconvolve --jobs: a batch of 16 recordings like the end-to-end
# benchmark's (12 s stereo 48 kHz 24-bit through two short delays with a little
# noise, 10 s sweep), 24-bit dithered output with one --dither-seed, timed with
# --jobs 1 and --jobs 2 in alternating rounds; prints the median, min and max
# wall time of each and their ratio, and checks that both write the same bytes.
#   scripts/bench-jobs.sh [ROUNDS]      (default 5; RAVELIN_BENCH_BUILD: build folder)
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-5}
scripts/install-deps.sh
build=${RAVELIN_BENCH_BUILD:-build/release}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DRAVELIN_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target ravelin-cli >/dev/null
cli=$(realpath "$build/cli/ravelin-cli")

work=${TMPDIR:-/tmp}/ravelin-bench-jobs
mkdir -p "$work/rec"
cd "$work"
if [ ! -f rec/take16.wav ]; then
  "$cli" sweep tone.wav --rate 48000 --duration 10 --bits 24
  python3 - <<'EOF'
import struct, wave
with wave.open("tone.wav", "rb") as tone:
    raw = tone.readframes(tone.getnframes())
sweep = [int.from_bytes(raw[i:i + 3], "little", signed=True) / 8388608.0 for i in range(0, len(raw), 3)]
frames = 48000 * 12
out = bytearray()
for i in range(frames):
    noise = 1e-4 * ((i * 7919) % 101) / 101.0
    left = (0.5 * sweep[i - 100] if 100 <= i < 100 + len(sweep) else 0.0) + noise
    right = (0.4 * sweep[i - 300] if 300 <= i < 300 + len(sweep) else 0.0) - noise
    for x in (left, right):
        code = max(-8388608, min(8388607, round(x * 8388608.0)))
        out += code.to_bytes(3, "little", signed=True)
with wave.open("rec/take01.wav", "wb") as take:
    take.setnchannels(2)
    take.setsampwidth(3)
    take.setframerate(48000)
    take.writeframes(bytes(out))
EOF
  for n in $(seq -w 2 16); do cp rec/take01.wav "rec/take$n.wav"; done
fi

# run <jobs>: nanoseconds of one batch into out<jobs>/
run() {
  rm -rf "out$1"
  local start end
  start=$(date +%s%N)
  "$cli" deconvolve --tone tone.wav --bits 24 --dither-seed 12345 --quiet --jobs "$1" --out "out$1" rec
  end=$(date +%s%N)
  echo $((end - start))
}

times1=()
times2=()
for ((r = 0; r < rounds; ++r)); do
  times1+=("$(run 1)")
  times2+=("$(run 2)")
done
cmp_status=identical
for f in out1/*.wav; do
  cmp -s "$f" "out2/$(basename "$f")" || cmp_status="DIFFERENT ($f)"
done

python3 - "${times1[*]}" "${times2[*]}" "$cmp_status" "$(nproc)" "$(cut -d' ' -f1-3 /proc/loadavg)" <<'EOF'
import statistics, sys
one = [int(t) / 1e9 for t in sys.argv[1].split()]
two = [int(t) / 1e9 for t in sys.argv[2].split()]
for name, times in (("--jobs 1", one), ("--jobs 2", two)):
    print(f"{name}: median {statistics.median(times):.2f} s, min {min(times):.2f}, max {max(times):.2f}"
          f" ({len(times)} runs of 16 files)")
print(f"ratio of medians --jobs 2 / --jobs 1: {statistics.median(two) / statistics.median(one):.3f}")
print(f"outputs of --jobs 1 and --jobs 2: {sys.argv[3]}")
print(f"cores: {sys.argv[4]}, load average after the runs: {sys.argv[5]}")
EOF
