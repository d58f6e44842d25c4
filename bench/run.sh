#!/usr/bin/env bash
# Runs a benchmark: bash bench/run.sh table|delivery|file
#   table [RUNS]     every performance figure in one table (see bench/table.sh)
#   delivery [RUNS]  vek.exe delivering an event against a bare sender, under
#          Wine (see bench/delivery.sh)
#   file   the FILE command's request building on a generated 30 MB Shift_JIS
#          file of a million lines: time against the codec round trip, peak
#          memory of the full and the default range
# Builds the native preset first. The generated file lives under build/bench
# while the benchmark runs.
set -euo pipefail
source "$(dirname "$0")/../scripts/lib.sh"

case "${1:-}" in
    table)
        shift
        exec bash "$VEK_ROOT/bench/table.sh" "$@"
        ;;
    delivery)
        shift
        exec bash "$VEK_ROOT/bench/delivery.sh" "$@"
        ;;
    file)
        vek_build native vek_file_bench
        mkdir -p "$VEK_ROOT/build/bench"
        vek_log "FILE request building"
        "$VEK_ROOT/build/native/bench/vek_file_bench" "$VEK_ROOT/build/bench"
        ;;
    *)
        echo "usage: bash bench/run.sh table [RUNS] | delivery [RUNS] | file" >&2
        exit 2
        ;;
esac
