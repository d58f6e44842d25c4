#!/usr/bin/env bash
# The benchmarks; each measures against its baseline in the same run (usage below).
# On a machine that cannot start 32-bit programs (or with VEK_NO_32BIT=1) the x86
# figures that need vek.exe to run are not measured, and say why.
set -euo pipefail
source "$(dirname "$0")/../scripts/lib.sh"
work="$VEK_ROOT/build/bench"

usage() {
    cat >&2 <<'USAGE'
usage: bash bench/run.sh table [RUNS]     every figure against its goal; exit 2 when one is missed or missing
       bash bench/run.sh delivery [RUNS]  vek.exe delivering an event, start to exit, against a bare sender
                                          of the same WM_COPYDATA, in turns, both builds, under Wine (default 200 runs)
       bash bench/run.sh file             FILE building on a generated 30 MB file in Shift_JIS, UTF-8 and
                                          UTF-16 against the codec's round trip, peak memory (native);
                                          how often Shift_JIS passes as UTF-8
USAGE
    exit 2
}

build() {
    vek_build native vek_file_bench
    for arch in x64 x86; do vek_build "windows-$arch" vek vekhost baresend vekbench; done
    no32="$(vek_no_32bit_reason)" arches=(x64)
    [ -n "$no32" ] || arches+=(x86)
}

# Both builds against the bare sender, and the sender without a window for scale
# (under Wine a process's first window starts the display driver), to one host.
delivery() {
    local runs="$1" dir="$work/delivery" target arch bin bare
    rm -rf "$dir" && mkdir -p "$dir" && cd "$dir"
    vek_host_start host >host-output.txt 2>&1
    cp host/vek.ini . && target="$(tr -d '\r\n' <vek.ini)"
    for arch in "${arches[@]}"; do
        bin="$VEK_ROOT/build/windows-$arch"
        bare="\"$(vek_winpath "$bin/baresend.exe")\" $target OnBench"
        printf '%s' "$bare" >"bare-$arch.txt" && printf '%s --no-window' "$bare" >"nowindow-$arch.txt"
        printf '"%s" OnBench' "$(vek_winpath "$bin/vek.exe")" >"vek-$arch.txt"
        vek_log "delivery latency, $arch ($runs runs each)"
        echo "command 1 = bare sender, command 2 = vek.exe, command 3 = bare sender without a window"
        vek_wine "$VEK_ROOT/build/windows-x64/vekbench.exe" "$runs" "bare-$arch.txt" \
            "vek-$arch.txt" "nowindow-$arch.txt"
    done
    if [ -n "$no32" ]; then vek_log "delivery latency, x86: not measured: $no32"; fi
    vek_host_stop host
    echo "the host received $(grep -c "WM_COPYDATA" host-output.txt) requests"
}

# vek.exe's own peak memory reading, building and encoding the full range of the
# 30 MB file, for a handle that names no window: up to the not-ready balloon.
memory() {
    local arch
    cd "$work"
    printf '2147480000\r\n' >vek.ini
    for arch in "${arches[@]}"; do
        printf '"%s" FILE#vek-file-bench.txt/0-2147483647' \
            "$(vek_winpath "$VEK_ROOT/build/windows-$arch/vek.exe")" >memory-cmdline.txt
        echo "$arch $(vek_wine "$VEK_ROOT/build/windows-x64/vekbench.exe" --memory memory-cmdline.txt)"
    done
    rm -f vek.ini && vek_wine --wait  # Wine's last processes end before the display does
}

# A figure read from a log, empty when it is not there.
figure() { grep -o "\b$2=[0-9.]*" "$1" | head -1 | cut -d= -f2 || true; }
ratio() { awk -v arch="$1" '/delivery latency, /{a=$0} /ratio of command 2/ && index(a, arch) {print $NF}' "$work/wine.txt"; }
# Every row is printed. A figure that is not there never reads "met": it is
# "not measured", with the reason where one is known (x86 where 32-bit
# programs cannot start), and counts as missed where none is.
missed=0
row() {  # FIGURE VALUE UNIT GOAL-TEXT LIMIT [WHY-NOT-MEASURED]
    local verdict=met
    if [ -n "${6:-}" ]; then echo "| $1 | - | $4 | not measured: $6 |" && return; fi
    if [ -z "$2" ]; then verdict="NOT MEASURED (no result)"
    elif awk -v v="$2" -v g="$5" 'BEGIN { exit !(v > g) }'; then verdict=MISSED; fi
    [ "$verdict" = met ] || missed=1
    echo "| $1 | ${2:--}${2:+$3} | $4 | $verdict |"
}
why_not() { if [ "$1" = x86 ]; then echo "$no32"; fi; }

table() {
    local file_bytes arch peak ratio exe dlls f="$work/file.txt"
    file_bytes=$(figure "$f" file_bytes)
    printf '\n| Figure | Measured | Goal | |\n|---|---|---|---|\n'
    for arch in x64 x86; do
        row "Delivery latency, $arch: vek.exe / bare sender (medians)" "$(ratio $arch)" x \
            "at most 1.10x" 1.10 "$(why_not $arch)"
    done
    for enc in :Shift_JIS utf8_:UTF-8 utf16_:UTF-16; do
        row "FILE building, full range of 30 MB, ${enc#*:} / codec round trip" "$(figure "$f" "${enc%:*}build_ratio")" x "at most 1.2x" 1.2
        row "FILE building + encoding, ${enc#*:} / codec round trip" "$(figure "$f" "${enc%:*}send_ratio")" x "at most 1.2x" 1.2
        row "FILE peak memory, full range, ${enc#*:} / file size (native)" "$(figure "$f" "${enc%:*}full_memory_ratio")" x "at most 4x" 4
    done
    for arch in x64 x86; do
        peak=$(grep "^$arch " "$work/wine.txt" | grep -o 'peak_private=[0-9]*' | cut -d= -f2 || true)
        ratio=$(awk -v p="$peak" -v f="$file_bytes" 'BEGIN { if (p != "" && f != "") printf "%.2f", p / f }')
        row "FILE peak private bytes, full range / file size (vek.exe $arch under Wine)" \
            "$ratio" x "at most 4x" 4 "$(why_not $arch)"
    done
    row "FILE peak memory, default range (native)" "$(figure "$f" default_memory_mb)" " MB" "under 16 MB" 15.99
    for arch in x64 x86; do
        exe="$VEK_ROOT/build/windows-$arch/vek.exe"
        dlls=$(objdump -p "$exe" | awk '/DLL Name:/ {print $3}' | sort | paste -sd, -)
        row "Size of vek.exe, $arch (imports: $dlls)" "$(($(stat -c %s "$exe") / 1024))" " KB" "under 512 KB" 511
    done
}

case "${1:-}" in delivery | file | table) ;; *) usage ;; esac
vek_install_deps
vek_on_display
build
mkdir -p "$work"
case "$1" in
    delivery) delivery "${2:-200}" ;;
    file) "$VEK_ROOT/build/native/bench/vek_file_bench" "$work" ;;
    table)
        vek_log "FILE request building and its memory (native)"
        VEK_BENCH_KEEP_FILE=1 "$VEK_ROOT/build/native/bench/vek_file_bench" "$work" | tee "$work/file.txt"
        vek_log "delivery latency and vek.exe's own memory (Wine)"
        { delivery "${2:-100}"; memory; } | tee "$work/wine.txt"
        rm -f "$work/vek-file-bench.txt"
        table
        exit $((missed * 2))
        ;;
esac
