#!/usr/bin/env bash
# The main job, shown end to end: installs what is missing, builds vek.exe and
# the stand-in host for 64-bit Windows, starts the host under Wine and lets
# vek.exe hand it real requests; the host prints every request it receives.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

demo() {
    set -euo pipefail
    local bin="$VEK_ROOT/build/windows-x64" work="$VEK_ROOT/build/demo"
    rm -rf "$work" && mkdir -p "$work" && cd "$work"
    vek_log "starting the stand-in host; it writes its window handle into $work/vek.ini"
    mkfifo host-stdin
    vek_wine "$bin/vekhost.exe" --ini "$(vek_winpath "$work")" \
        --until-stdin-closes --quit-after 60000 <host-stdin &
    exec 3>host-stdin
    for _ in $(seq 300); do [ -s vek.ini ] && break; sleep 0.1; done
    echo "vek.ini holds: $(cat vek.ini)"
    for request in 'OnBoot#hello#world' 'SEND#\h\s0こんにちは、VEKです。\e' 'OnMusicPlay#曲名#アーティスト'; do
        vek_log "vek.exe $request"
        vek_wine "$bin/vek.exe" "$request"
        echo "(vek.exe exited with $?)"
        sleep 0.2
    done
    exec 3>&-
    wait
    wineserver -w  # Wine's last processes end before the display does
}

vek_install_deps
cmake --preset windows-x64 >/dev/null
cmake --build --preset windows-x64 --target vek vekhost
vek_display_run demo
