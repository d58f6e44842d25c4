#!/usr/bin/env bash
# The benchmarks; each measures against its baseline in the same run.
#
#   bash bench/run.sh table [RUNS]     every figure in one table, against its goal;
#                                      exits with 2 when a goal is missed or a
#                                      figure that should be there is not
#   bash bench/run.sh delivery [RUNS]  vek.exe delivering an event, start to exit,
#                                      against a bare sender of the same WM_COPYDATA,
#                                      in turns, both builds, under Wine (default 200 runs)
#   bash bench/run.sh file             FILE request building on a generated 30 MB
#                                      Shift_JIS file, and the same text in UTF-8 and
#                                      UTF-16, against the codec's round trip, and its
#                                      peak memory (native); how often Shift_JIS text
#                                      passes as UTF-8
#
# On a machine that cannot start 32-bit programs (or with VEK_NO_32BIT=1) the
# x86 figures that need vek.exe to run are not measured, and say why.
set -euo pipefail
source "$(dirname "$0")/../scripts/lib.sh"
export work="$VEK_ROOT/build/bench"

build() {
    vek_install_deps
    cmake --preset native >/dev/null
    cmake --build --preset native --target vek_file_bench
    for arch in x64 x86; do
        cmake --preset "windows-$arch" >/dev/null
        cmake --build --preset "windows-$arch" --target vek vekhost baresend vekbench
    done
}

# Both builds against the bare sender, and the sender without a window for
# scale (under Wine the first window of a process starts the display driver),
# all delivering to one stand-in host.
delivery() {
    set -euo pipefail
    local runs="$1" tools="$VEK_ROOT/build/windows-x64" dir="$work/delivery"
    rm -rf "$dir" && mkdir -p "$dir" && cd "$dir"
    mkfifo host-stdin
    vek_wine "$tools/vekhost.exe" --ini "$(vek_winpath "$dir")" --until-stdin-closes \
        --quit-after 3600000 <host-stdin >host-output.txt 2>&1 &
    exec 3>host-stdin
    for _ in $(seq 600); do [ -s vek.ini ] && break; sleep 0.1; done
    local target arch bin
    target="$(tr -d '\r\n' <vek.ini)"
    for arch in $(vek_arches); do
        bin="$VEK_ROOT/build/windows-$arch"
        printf '"%s" %s OnBench' "$(vek_winpath "$bin/baresend.exe")" "$target" >"bare-$arch.txt"
        printf '"%s" OnBench' "$(vek_winpath "$bin/vek.exe")" >"vek-$arch.txt"
        printf '"%s" %s OnBench --no-window' "$(vek_winpath "$bin/baresend.exe")" "$target" \
            >"nowindow-$arch.txt"
        vek_log "delivery latency, $arch ($runs runs each)"
        echo "command 1 = bare sender, command 2 = vek.exe, command 3 = bare sender without a window"
        vek_wine "$tools/vekbench.exe" "$runs" "bare-$arch.txt" "vek-$arch.txt" "nowindow-$arch.txt"
    done
    local no32
    no32="$(vek_no_32bit_reason)"
    if [ -n "$no32" ]; then vek_log "delivery latency, x86: not measured: $no32"; fi
    exec 3>&-
    wait
    echo "the host received $(grep -c "WM_COPYDATA" host-output.txt) requests"
    wineserver -w  # Wine's last processes end before the display does
}

# vek.exe's own peak memory building the full range of the 30 MB file, for a
# handle that names no window: the reading and the building.
memory() {
    set -euo pipefail
    cd "$work"
    printf '2147480000\r\n' >vek.ini
    local arch
    for arch in $(vek_arches); do
        printf '"%s" FILE#vek-file-bench.txt/0-2147483647' \
            "$(vek_winpath "$VEK_ROOT/build/windows-$arch/vek.exe")" >"memory-cmdline.txt"
        echo "$arch $(vek_wine "$VEK_ROOT/build/windows-x64/vekbench.exe" --memory memory-cmdline.txt)"
    done
    rm -f vek.ini
}

wine_figures() { delivery "$1" && memory; }

mkdir -p "$work"
case "${1:-}" in
    delivery)
        build
        vek_display_run delivery "${2:-200}"
        ;;
    file)
        build
        "$VEK_ROOT/build/native/bench/vek_file_bench" "$work"
        ;;
    table)
        build
        vek_log "FILE request building and its memory (native)"
        VEK_BENCH_KEEP_FILE=1 "$VEK_ROOT/build/native/bench/vek_file_bench" "$work" | tee "$work/file.txt"
        vek_log "delivery latency and vek.exe's own memory (Wine)"
        vek_display_run wine_figures "${2:-100}" | tee "$work/wine.txt"
        rm -f "$work/vek-file-bench.txt"

        # A figure read from a log, empty when it is not there.
        figure() { grep -o "$2=[0-9.]*" "$1" | head -1 | cut -d= -f2 || true; }
        ratio() { awk -v arch="$1" '/delivery latency, /{a=$0} /ratio of command 2/ && index(a, arch) {print $NF}' "$work/wine.txt"; }
        no32="$(vek_no_32bit_reason)"
        missed=0
        # Every row is printed, measured or not. A figure that is not there
        # never reads "met": it is "not measured", with the reason where one
        # is known (x86 on a machine that cannot start 32-bit programs), and
        # counts as missed where none is.
        row() {  # FIGURE VALUE UNIT GOAL-TEXT LIMIT [WHY-NOT-MEASURED]
            local verdict=met
            if [ -n "${6:-}" ]; then
                echo "| $1 | - | $4 | not measured: $6 |"
                return
            elif [ -z "$2" ]; then
                echo "| $1 | - | $4 | NOT MEASURED (no result) |"
                missed=1
                return
            fi
            awk -v v="$2" -v g="$5" 'BEGIN { exit !(v > g) }' && { verdict=MISSED; missed=1; }
            echo "| $1 | $2$3 | $4 | $verdict |"
        }
        # Why an architecture's runs were not measured; nothing when they were.
        why_not() { if [ "$1" = x86 ]; then echo "$no32"; fi; }
        file_bytes=$(figure "$work/file.txt" file_bytes)
        echo
        echo "| Figure | Measured | Goal | |"
        echo "|---|---|---|---|"
        for arch in x64 x86; do
            row "Delivery latency, $arch: vek.exe / bare sender (medians)" "$(ratio $arch)" x \
                "at most 1.10x" 1.10 "$(why_not $arch)"
        done
        row "FILE building, full range of 30 MB / codec round trip" "$(figure "$work/file.txt" build_ratio)" x "at most 1.2x" 1.2
        row "FILE building + encoding to Shift_JIS / codec round trip" "$(figure "$work/file.txt" send_ratio)" x "at most 1.2x" 1.2
        row "FILE peak memory, full range / file size (native, test double)" "$(figure "$work/file.txt" full_memory_ratio)" x "at most 4x" 4
        for enc in utf8:UTF-8 utf16:UTF-16; do
            row "FILE building, full range, ${enc#*:} file / codec round trip" "$(figure "$work/file.txt" "${enc%:*}_build_ratio")" x "at most 1.2x" 1.2
            row "FILE building + encoding, ${enc#*:} file / codec round trip" "$(figure "$work/file.txt" "${enc%:*}_send_ratio")" x "at most 1.2x" 1.2
            row "FILE peak memory, full range, ${enc#*:} file / file size (native)" "$(figure "$work/file.txt" "${enc%:*}_full_memory_ratio")" x "at most 4x" 4
        done
        for arch in x64 x86; do
            peak=$(grep "^$arch " "$work/wine.txt" | grep -o 'peak_private=[0-9]*' | cut -d= -f2 || true)
            ratio=""
            if [ -n "$peak" ] && [ -n "$file_bytes" ]; then
                ratio=$(awk -v p="$peak" -v f="$file_bytes" 'BEGIN { printf "%.2f", p / f }')
            fi
            row "FILE peak private bytes, full range / file size (vek.exe $arch under Wine)" \
                "$ratio" x "at most 4x" 4 "$(why_not $arch)"
        done
        row "FILE peak memory, default range (native)" "$(figure "$work/file.txt" default_memory_mb)" " MB" "under 16 MB" 15.99
        for arch in x64 x86; do
            exe="$VEK_ROOT/build/windows-$arch/vek.exe"
            dlls=$(objdump -p "$exe" | awk '/DLL Name:/ {print $3}' | sort | paste -sd, -)
            row "Size of vek.exe, $arch (imports: $dlls)" "$(($(stat -c %s "$exe") / 1024))" " KB" "under 512 KB" 511
        done
        exit $((missed * 2))
        ;;
    *)
        sed -n '2,17p' "$0" >&2
        exit 2
        ;;
esac
