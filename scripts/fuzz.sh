#!/usr/bin/env bash
# A fuzzing campaign: replays every kept regression input of each libFuzzer
# target (preset fuzz), then fuzzes it for a while, as many at once as there
# are cores, and prints what each did. Every test run replays the seeds and
# the regressions (ctest --preset fuzz). A crash leaves its input under
# build/fuzz-artifacts/TARGET/: keep it in fuzz/regressions/TARGET/ with the fix.
#   bash scripts/fuzz.sh [SECONDS-PER-TARGET] [TARGET...]     (default 60, all)
set -euo pipefail
source "$(dirname "$0")/lib.sh"
seconds="${1:-60}"
shift || true
vek_build fuzz
cd "$VEK_ROOT/build"
mkdir -p fuzz-logs
targets=("$@")
[ "$#" -gt 0 ] || mapfile -t targets < <(ls "$VEK_ROOT/fuzz/corpus")

fuzz_one() {  # TARGET: its regressions, then the campaign, into fuzz-logs/TARGET.log
    local regressions=("$VEK_ROOT/fuzz/regressions/$1"/*)
    mkdir -p "fuzz-corpus/$1" "fuzz-artifacts/$1"
    cp -n "$VEK_ROOT/fuzz/corpus/$1"/* "fuzz-corpus/$1"/ 2>/dev/null || true
    if [ -e "${regressions[0]}" ]; then fuzz/fuzz/"$1" "${regressions[@]}" || return 1; fi
    fuzz/fuzz/"$1" -max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=4096 \
        -artifact_prefix="fuzz-artifacts/$1/" -print_final_stats=1 "fuzz-corpus/$1"
}

# A figure of libFuzzer's final statistics: TARGET NAME.
stat_of() { grep -o "stat::$2: *[0-9]*" "fuzz-logs/$1.log" | grep -o '[0-9]*$' || echo -; }

vek_log "fuzzing ${#targets[@]} targets for $seconds s each"
declare -A pids=()
for target in "${targets[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$(nproc)" ]; do wait -n || true; done
    fuzz_one "$target" >"fuzz-logs/$target.log" 2>&1 &
    pids[$target]=$!
done
failed=()
printf '\n%-18s %14s %10s %8s %8s\n' target executions exec/s corpus "rss MB"
for target in "${targets[@]}"; do
    wait "${pids[$target]}" || failed+=("$target")
    printf '%-18s %14s %10s %8s %8s\n' "$target" "$(stat_of "$target" number_of_executed_units)" \
        "$(stat_of "$target" average_exec_per_sec)" "$(find "fuzz-corpus/$target" -type f | wc -l)" \
        "$(stat_of "$target" peak_rss_mb)"
done
for target in "${failed[@]}"; do
    echo "== $target failed; the end of its log:" >&2
    grep -v -E "^ *#[0-9]+ " "fuzz-logs/$target.log" | tail -n 12 >&2
done
[ "${#failed[@]}" -eq 0 ] || exit 1
vek_log "fuzzing found nothing"
