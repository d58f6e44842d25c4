#!/usr/bin/env bash
# A fuzzing campaign: builds the libFuzzer targets (preset fuzz), replays
# every kept regression input, then fuzzes each target for a while, as many at
# once as there are cores, and prints a table of what each did. (Every test
# run replays the seeds and the regressions: ctest --preset fuzz.)
#
#   bash scripts/fuzz.sh [SECONDS-PER-TARGET] [TARGET...]     (default 60, all)
#
# A crash leaves its input under build/fuzz-artifacts/TARGET/; keep it as a
# regression by copying it into fuzz/regressions/TARGET/ with the fix.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

seconds="${1:-60}"
shift || true
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
bin="$VEK_ROOT/build/fuzz/fuzz"
logs="$VEK_ROOT/build/fuzz-logs"
mkdir -p "$logs"
targets=("$@")
if [ "${#targets[@]}" -eq 0 ]; then
    for dir in "$VEK_ROOT"/fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi

fuzz_one() {
    local target="$1"
    local corpus="$VEK_ROOT/build/fuzz-corpus/$target"
    local artifacts="$VEK_ROOT/build/fuzz-artifacts/$target"
    local log="$logs/$target.log"
    mkdir -p "$corpus" "$artifacts"
    cp -n "$VEK_ROOT/fuzz/corpus/$target"/* "$corpus"/ 2>/dev/null || true
    : > "$log"
    local regressions=("$VEK_ROOT/fuzz/regressions/$target"/*)
    if [ -e "${regressions[0]}" ]; then
        "$bin/$target" "${regressions[@]}" >> "$log" 2>&1 || return 1
    fi
    "$bin/$target" -max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=4096 \
        -artifact_prefix="$artifacts/" -print_final_stats=1 "$corpus" >> "$log" 2>&1
}

vek_log "fuzzing ${#targets[@]} targets for $seconds s each"
jobs=$(nproc)
declare -A pids=()
failed=()
for target in "${targets[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
    fuzz_one "$target" &
    pids[$target]=$!
done
for target in "${targets[@]}"; do
    wait "${pids[$target]}" || failed+=("$target")
done

printf '\n%-18s %14s %10s %8s %8s\n' target executions exec/s corpus "rss MB"
for target in "${targets[@]}"; do
    log="$logs/$target.log"
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "-")
    speed=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "-")
    rss=$(grep -o 'stat::peak_rss_mb: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "-")
    corpus=$(find "$VEK_ROOT/build/fuzz-corpus/$target" -type f | wc -l)
    printf '%-18s %14s %10s %8s %8s\n' "$target" "$runs" "$speed" "$corpus" "$rss"
done
if [ "${#failed[@]}" -ne 0 ]; then
    for target in "${failed[@]}"; do
        echo "== $target failed; the end of its log:" >&2
        grep -v -E "^#[0-9]+ |^ +#[0-9]+ " "$logs/$target.log" | tail -n 12 >&2
    done
    exit 1
fi
vek_log "fuzzing found nothing"
