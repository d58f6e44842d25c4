#!/usr/bin/env bash
# Runs inside xvfb-run for scripts/demo.sh.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
vek_wine_env
export LC_ALL=ja_JP.UTF-8
trap vek_wine_stop EXIT
vek_wine_start

bin="$VEK_ROOT/build/windows-x64"
demo="$VEK_ROOT/build/demo"
rm -rf "$demo"
mkdir -p "$demo"
cd "$demo"
win_demo="$(vek_winpath "$demo")"

vek_log "starting the stand-in host; it writes its window handle into $demo/vek.ini"
mkfifo host-stdin
wine "$bin/vekhost.exe" --ini "$win_demo" --until-stdin-closes --quit-after 60000 < host-stdin &
host=$!
exec 3> host-stdin
for _ in $(seq 300); do [ -s vek.ini ] && break; sleep 0.1; done
echo "vek.ini holds: $(cat vek.ini)"

run() {
    vek_log "vek.exe $*"
    wine "$bin/vek.exe" "$@"
    echo "(vek.exe exited with $?)"
    sleep 0.2
}
run 'OnBoot#hello#world'
run 'SEND#\h\s0こんにちは、VEKです。\e'
run 'OnMusicPlay#曲名#アーティスト'

exec 3>&-
wait "$host" || true
