#!/usr/bin/env bash
# The performance figures in one table, each measured side by side in this
# one run:
#   - delivery latency of vek.exe against a bare WM_COPYDATA sender (Wine);
#   - FILE request building against the bare codec round trip (native);
#   - peak memory of FILE on a 30 MB file: the native build through the test
#     double, and vek.exe itself under Wine (peak private bytes);
#   - the size of vek.exe for both architectures, and the DLLs it imports.
#
#   bash bench/run.sh table [DELIVERY-RUNS]      (default 100)
set -euo pipefail
source "$(dirname "$0")/../scripts/lib.sh"
runs="${1:-100}"
work="$VEK_ROOT/build/bench"
mkdir -p "$work"

if [ -z "${VEK_TABLE_INSIDE_XVFB:-}" ]; then
    vek_install_deps
    vek_build native vek_file_bench
    vek_build windows-x64 vek vekhost vekprobe baresend vekbench
    vek_build windows-x86 vek baresend

    vek_log "FILE request building and its memory (native)"
    VEK_BENCH_KEEP_FILE=1 "$VEK_ROOT/build/native/bench/vek_file_bench" "$work" | tee "$work/file.txt"

    vek_log "delivery latency (Wine)"
    bash "$VEK_ROOT/bench/delivery.sh" "$runs" | tee "$work/delivery.txt"

    vek_log "vek.exe's own memory on the 30 MB file (Wine)"
    VEK_TABLE_INSIDE_XVFB=1 xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$runs"
    rm -f "$work/vek-file-bench.txt"

    figure() { grep -o "$2=[0-9.]*" "$1" | head -1 | cut -d= -f2; }
    ratio_after() { awk -v arch="$2" '/delivery latency, /{a=$0} /ratio of command 2/ && index(a, arch) {print $NF}' "$1"; }
    verdict() { awk -v v="$1" -v g="$2" 'BEGIN { print (v <= g) ? "met" : "MISSED" }'; }
    file_bytes=$(figure "$work/file.txt" file_bytes)
    build=$(figure "$work/file.txt" build_ratio)
    send=$(figure "$work/file.txt" send_ratio)
    memory=$(figure "$work/file.txt" full_memory_ratio)
    default_mb=$(figure "$work/file.txt" default_memory_mb)
    d64=$(ratio_after "$work/delivery.txt" x64)
    d86=$(ratio_after "$work/delivery.txt" x86)

    echo
    echo "| Figure | Measured | Goal | |"
    echo "|---|---|---|---|"
    echo "| Delivery latency, x64: vek.exe / bare sender (medians) | ${d64}x | at most 1.10x | $(verdict "$d64" 1.10) |"
    echo "| Delivery latency, x86: vek.exe / bare sender (medians) | ${d86}x | at most 1.10x | $(verdict "$d86" 1.10) |"
    echo "| FILE building, full range of 30 MB / codec round trip | ${build}x | at most 1.2x | $(verdict "$build" 1.2) |"
    echo "| FILE building + encoding to Shift_JIS / codec round trip | ${send}x | at most 1.2x | $(verdict "$send" 1.2) |"
    echo "| FILE peak memory, full range / file size (native, test double) | ${memory}x | at most 4x | $(verdict "$memory" 4) |"
    for arch in x64 x86; do
        peak=$(grep -o 'peak_private=[0-9]*' "$work/memory-$arch.txt" | cut -d= -f2)
        r=$(awk -v p="$peak" -v f="$file_bytes" 'BEGIN { printf "%.2f", p / f }')
        echo "| FILE peak private bytes, full range / file size (vek.exe $arch under Wine) | ${r}x | at most 4x | $(verdict "$r" 4) |"
    done
    echo "| FILE peak memory, default range (native) | ${default_mb} MB | under 16 MB | $(verdict "$default_mb" 15.99) |"
    for arch in x64 x86; do
        exe="$VEK_ROOT/build/windows-$arch/vek.exe"
        kb=$(( $(stat -c %s "$exe") / 1024 ))
        dlls=$(objdump -p "$exe" | awk '/DLL Name:/ {print $3}' | sort | paste -sd, -)
        echo "| Size of vek.exe, $arch (imports: $dlls) | ${kb} KB | under 512 KB | $(verdict "$kb" 511) |"
    done
    exit 0
fi

# Inside Xvfb: vek.exe builds the full-range request of the 30 MB file for a
# handle that names no window, so the measure is the reading and building.
vek_wine_env
export LC_ALL=ja_JP.UTF-8
trap vek_wine_stop EXIT
vek_wine_start
printf '2147480000\r\n' > "$work/vek.ini"
for arch in x64 x86; do
    printf '"x" FILE#vek-file-bench.txt/0-2147483647' > "$work/cmdline.txt"
    rm -f "$work/memory-$arch.txt"
    wine "$VEK_ROOT/build/windows-x64/vekprobe.exe" run --exe "$(vek_winpath "$VEK_ROOT/build/windows-$arch/vek.exe")" \
        --cmdline-file "$(vek_winpath "$work/cmdline.txt")" --cwd "$(vek_winpath "$work")" \
        --out "$(vek_winpath "$work/memory-$arch.txt")" --memory --dismiss-message-boxes --timeout 120000
    cat "$work/memory-$arch.txt"
done
rm -f "$work/vek.ini"
