#!/usr/bin/env bash
# The main job, shown end to end: installs what is missing, builds vek.exe and the
# stand-in host for 64-bit Windows, starts the host under Wine and lets vek.exe hand
# it real requests; the host prints every request it receives.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
vek_install_deps
vek_build windows-x64 vek vekhost
vek_on_display
work="$VEK_ROOT/build/demo"
rm -rf "$work" && mkdir -p "$work" && cd "$work"
vek_log "starting the stand-in host; it writes its window handle into $work/host/vek.ini"
vek_host_start host
cp host/vek.ini .; echo "vek.ini holds: $(cat vek.ini)"
for request in 'OnBoot#hello#world' 'SEND#\h\s0こんにちは、VEKです。\e' 'OnMusicPlay#曲名#アーティスト'; do
    vek_log "vek.exe $request"
    if vek_wine "$VEK_ROOT/build/windows-x64/vek.exe" "$request"; then echo "(vek.exe exited with 0)"
    else echo "(vek.exe exited with $?)"; fi
    sleep 0.2
done
vek_host_stop host
