#!/usr/bin/env bash
# The long fuzz campaign: scripts/fuzz.sh [SECONDS] [TARGET...] runs every fuzz target (or the
# named ones: profile_blocks memory_link firmware_model agent_events text_rules launcher profile_file) for
# SECONDS each (default 600), TARN_FUZZ_JOBS of them at once (default 1), then prints the
# executions per target and every finding. What a run finds is kept in build/fuzz/fuzz/:
# new inputs in corpus/<target>, crashes, leaks and hangs in artifacts/<target>/. Copy a
# finding to tests/fuzz/corpus/<target>/regression-<what> once it is fixed.
set -euo pipefail
source "$(dirname "$0")/common.sh"
seconds=${1:-600}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(profile_blocks memory_link firmware_model agent_events text_rules launcher profile_file)
tarn_packages
tarn_build_fuzz

dir="$TARN_BUILD/fuzz/fuzz"
run_one() { # target
    local t=$1 max_len=4096
    [ "$t" = memory_link ] && max_len=16384
    [ "$t" = profile_file ] && max_len=8192
    mkdir -p "$dir/corpus/$t" "$dir/artifacts/$t"
    "$dir/${t}_fuzz" -max_total_time="$seconds" -timeout=10 -max_len=$max_len \
        -print_final_stats=1 -artifact_prefix="$dir/artifacts/$t/" \
        "$dir/corpus/$t" "$TARN_ROOT/tests/fuzz/corpus/$t" >"$dir/$t.log" 2>&1 || true
}

say "fuzzing ${targets[*]} for ${seconds} s each, ${TARN_FUZZ_JOBS:-1} at a time"
running=0
for t in "${targets[@]}"; do
    find "$dir/artifacts/$t" -type f -delete 2>/dev/null || true
    run_one "$t" &
    running=$((running + 1))
    if [ "$running" -ge "${TARN_FUZZ_JOBS:-1}" ]; then
        wait -n || true
        running=$((running - 1))
    fi
done
wait

findings=0
printf '%-16s %14s %10s %10s  %s\n' target executions exec/s corpus findings
for t in "${targets[@]}"; do
    log="$dir/$t.log"
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    corpus=$(find "$dir/corpus/$t" -type f | wc -l)
    found=$(find "$dir/artifacts/$t" -type f | wc -l)
    findings=$((findings + found))
    printf '%-16s %14s %10s %10s  %s\n' "$t" "${execs:-?}" "${rate:-?}" "$corpus" "$found"
    find "$dir/artifacts/$t" -type f -printf '    %p\n'
    grep -h -m3 -E 'ERROR:|check failed|runtime error' "$log" | sed 's/^/    /' || true
done
say "$findings findings"
[ "$findings" -eq 0 ]
