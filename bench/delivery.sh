#!/usr/bin/env bash
# Delivery latency: vek.exe delivering an event, start to exit, against a bare
# program that only sends the same WM_COPYDATA and exits; both under the same
# Wine and the same stand-in host, timed in turns by a Windows program.
#
#   bash bench/run.sh delivery [RUNS]      (default 200 runs each, both builds)
set -euo pipefail
source "$(dirname "$0")/../scripts/lib.sh"
runs="${1:-200}"

if [ -z "${VEK_BENCH_INSIDE_XVFB:-}" ]; then
    vek_install_deps
    vek_build windows-x64 vek vekhost baresend vekbench
    vek_build windows-x86 vek baresend
    export VEK_BENCH_INSIDE_XVFB=1
    exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$runs"
fi

vek_wine_env
export LC_ALL=ja_JP.UTF-8
trap vek_wine_stop EXIT
vek_wine_start

work="$VEK_ROOT/build/bench-delivery"
rm -rf "$work"
mkdir -p "$work"

mkfifo "$work/host-stdin"
wine "$VEK_ROOT/build/windows-x64/vekhost.exe" --ini "$(vek_winpath "$work")" --until-stdin-closes \
    --quit-after 3600000 < "$work/host-stdin" > "$work/host-output.txt" 2>&1 &
exec 3> "$work/host-stdin"
for _ in $(seq 300); do [ -s "$work/vek.ini" ] && break; sleep 0.1; done
target="$(tr -d '\r\n' < "$work/vek.ini")"

for arch in x64 x86; do
    bin="$VEK_ROOT/build/windows-$arch"
    printf '"%s" %s OnBench' "$(vek_winpath "$bin/baresend.exe")" "$target" > "$work/bare-$arch.txt"
    printf '"%s" OnBench' "$(vek_winpath "$bin/vek.exe")" > "$work/vek-$arch.txt"
    printf '"%s" %s OnBench --no-window' "$(vek_winpath "$bin/baresend.exe")" "$target" \
        > "$work/nowindow-$arch.txt"
    vek_log "delivery latency, $arch ($runs runs each)"
    echo "command 1 = bare sender, command 2 = vek.exe, command 3 = bare sender without a window"
    (cd "$work" && wine "$VEK_ROOT/build/windows-x64/vekbench.exe" "$runs" \
        "$(vek_winpath "$work/bare-$arch.txt")" "$(vek_winpath "$work/vek-$arch.txt")" \
        "$(vek_winpath "$work/nowindow-$arch.txt")")
done
received=$(grep -c "WM_COPYDATA" "$work/host-output.txt" || true)
echo "the host received $received requests"
exec 3>&-
