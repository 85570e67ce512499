#!/usr/bin/env bash
# Runs the transform benchmark (bench/dsp/bench_fft.cpp) and prints, per size
# and kernel path, the time of one Forward + Inverse pair relative to FFTW's
# r2c + c2r pair with FFTW_MEASURE plans: the ratio of the medians and the
# ratios of the fastest and of the slowest repetitions, from the CPU time of
# the benchmark thread (less disturbed than wall time on a shared machine);
# the row "team" (the best path with the worker team) compares wall times.
# Repetitions of all benchmarks are interleaved, so drifting load on the
# machine hits all alike.
#   scripts/bench-fft.sh [build folder] [repetitions] [orders, e.g. 12|16|20|22]
set -euo pipefail
build=${1:-build/rel}
repetitions=${2:-10}
orders=${3:-12|16|20|22}
bench="$build/bench/dsp_bench_fft"
json=$(mktemp)
trap 'rm -f "$json"' EXIT
"$bench" --benchmark_filter="/order:($orders)(/|\$)" --benchmark_repetitions="$repetitions" \
  --benchmark_enable_random_interleaving=true --benchmark_min_time=0.2 \
  --benchmark_out="$json" --benchmark_out_format=json >/dev/null
python3 - "$json" <<'PY'
import json, re, statistics, sys
runs = {}
walls = {}  # FFTW's wall times, the measure of the team's row
for b in json.load(open(sys.argv[1]))["benchmarks"]:
    if b.get("run_type") != "iteration" or b.get("error_occurred"):
        continue
    m = re.match(r"BM_(\w+)/order:(\d+)(?:/path:(\d))?", b["run_name"])
    name = "fftw" if m.group(1) == "FftwR2cC2r" else ["sse2", "avx2", "avx512", "team"][int(m.group(3))]
    runs.setdefault((int(m.group(2)), name), []).append(b["cpu_time"])
    if name == "fftw":
        walls.setdefault(int(m.group(2)), []).append(b["real_time"])
    if name == "team":
        runs[(int(m.group(2)), name)][-1] = b["real_time"]
print(f"{'order':>5} {'path':>7} {'median us':>10} {'ratio':>6} {'min':>6} {'max':>6}   (time / FFTW_MEASURE)")
for order in sorted({o for o, _ in runs}):
    for name in ["sse2", "avx2", "avx512", "team", "fftw"]:
        t = runs.get((order, name))
        fftw = walls.get(order) if name == "team" else runs.get((order, "fftw"))
        if not t:
            continue
        line = f"{order:>5} {name:>7} {statistics.median(t):>10.1f}"
        if fftw and name != "fftw":
            line += f" {statistics.median(t) / statistics.median(fftw):>6.2f}"
            line += f" {min(t) / min(fftw):>6.2f} {max(t) / max(fftw):>6.2f}"
        print(line)
PY
