#!/usr/bin/env bash
# The main job: build everything, then show the suite working against the simulated mouse.
# Installs what is missing first (as root). Each demo step is a function below; add new
# steps (for instance the real programs against the virtual mouse) to run_steps.
set -euo pipefail
source "$(dirname "$0")/common.sh"

# The memory link against the simulated mouse with the production pacing wait: wall time of
# a block read, a block write and a full copy, as ratios to the 800 ms per block floor.
step_memory_link_bench() {
    local bench="$TARN_BUILD/win64/bench/memory_link_bench.exe"
    local out="$TARN_BUILD/memory_link_bench.txt"
    say "memory link benchmark under Wine (load average: $(cut -d' ' -f1-3 /proc/loadavg))"
    timeout 600 wine "$bench" "${TARN_BENCH_REPEATS:-5}" >"$out" 2>&1 || {
        cat "$out"
        echo "memory link benchmark failed" >&2
        return 1
    }
    cat "$out"
}

run_steps() {
    step_memory_link_bench
}

tarn_packages
# The same build type as the test command, so both share one build tree.
tarn_build
tarn_wine
trap tarn_wine_stop EXIT
run_steps
