#!/usr/bin/env bash
# Builds the libFuzzer targets (preset fuzz), replays every kept regression
# input and seed, then fuzzes each target for a while.
#
#   bash scripts/fuzz.sh [SECONDS-PER-TARGET] [TARGET...]     (default 60, all)
#
# A crash leaves its input under build/fuzz-artifacts/TARGET/; keep it as a
# regression by copying it into fuzz/regressions/TARGET/ with the fix.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

seconds="${1:-60}"
shift || true
vek_build fuzz
bin="$VEK_ROOT/build/fuzz/fuzz"
targets=("$@")
if [ "${#targets[@]}" -eq 0 ]; then
    targets=()
    for dir in "$VEK_ROOT"/fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi

for target in "${targets[@]}"; do
    corpus="$VEK_ROOT/build/fuzz-corpus/$target"
    artifacts="$VEK_ROOT/build/fuzz-artifacts/$target"
    mkdir -p "$corpus" "$artifacts"
    cp -n "$VEK_ROOT/fuzz/corpus/$target"/* "$corpus"/ 2>/dev/null || true

    regressions=("$VEK_ROOT/fuzz/regressions/$target"/*)
    if [ -e "${regressions[0]}" ]; then
        vek_log "$target: replaying ${#regressions[@]} regression inputs"
        "$bin/$target" "${regressions[@]}" 2>&1 | tail -n 1
    fi

    vek_log "$target: fuzzing for $seconds s"
    "$bin/$target" -max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=4096 \
        -artifact_prefix="$artifacts/" -print_final_stats=1 "$corpus" 2>&1 |
        grep -E "^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::peak_rss_mb|==[0-9]+==|SUMMARY|invariant)" || true
    if compgen -G "$artifacts/crash-*" >/dev/null || compgen -G "$artifacts/leak-*" >/dev/null ||
        compgen -G "$artifacts/timeout-*" >/dev/null || compgen -G "$artifacts/oom-*" >/dev/null; then
        echo "$target: the fuzzer found a failing input in $artifacts" >&2
        exit 1
    fi
done
vek_log "fuzzing found nothing"
