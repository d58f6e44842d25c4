#!/usr/bin/env bash
# Takes the README's pictures of the balloon: the not-ready report and the
# usage text, each cropped to the balloon's window, into docs/. Runs vek.exe
# under Wine on a virtual display, in the Japanese code page, with the IPA
# Mincho font standing in for "ＭＳ 明朝". Not part of the tests.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

if [ "${1:-}" != "--inside-display" ]; then
    vek_install_deps imagemagick
    vek_build windows-x64 vek vekprobe
    vek_wine_env
    exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" --inside-display
fi

vek_wine_env
# A prefix of its own, so that the font substitution never reaches the tests.
export WINEPREFIX="$VEK_ROOT/build/wine-screenshots"
export LC_ALL=ja_JP.UTF-8
trap vek_wine_stop EXIT
vek_wine_start
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ 明朝' /t REG_SZ /d IPAMincho /f \
    >/dev/null
# A screen at 150 % (144 DPI): the balloon scales with the DPI, and the
# substitute face loses its underscores at the 16 pixels of 96 DPI.
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null
vek_wine_stop
vek_wine_start

bin="$VEK_ROOT/build/windows-x64"
work="$VEK_ROOT/build/screenshots"
rm -rf "$work"
mkdir -p "$work" "$VEK_ROOT/docs"

# shoot NAME ARGS SECONDS: starts vek.exe ARGS (no target anywhere), waits
# until its balloon has been up for SECONDS and takes the picture.
shoot() {
    local name="$1" args="$2" seconds="$3"
    local report="$work/$name-report.txt"
    printf '"%s" %s' "$(vek_winpath "$bin/vek.exe")" "$args" >"$work/$name-cmdline.txt"
    wine "$bin/vekprobe.exe" run --exe "$(vek_winpath "$bin/vek.exe")" \
        --cmdline-file "$(vek_winpath "$work/$name-cmdline.txt")" --cwd "$(vek_winpath "$work")" \
        --out "$(vek_winpath "$report")" --timeout 60000 --sample-windows 50 \
        --close-after $((seconds * 1000 + 1000)) &
    local probe=$!
    for _ in $(seq 300); do grep -q '^WINDOW ' "$report" 2>/dev/null && break; sleep 0.1; done
    sleep "$seconds"
    local rect
    rect=$(grep '^WINDOW ' "$report" | tail -n 1 | sed 's/.* rect=\([-0-9,]*\).*/\1/')
    local left top right bottom
    IFS=, read -r left top right bottom <<<"$rect"
    import -window root -crop "$((right - left))x$((bottom - top))+$left+$top" +repage \
        "$VEK_ROOT/docs/$name.png"
    wait "$probe" || true
    vek_log "docs/$name.png: $((right - left))x$((bottom - top)) at $left,$top"
}

# The not-ready report and an event notification: about 150 ticks of typing
# (7.5 s), then 80 ticks (4 s) with everything shown.
shoot balloon-not-ready 'OnBoot#こんにちは' 9
# The usage text: 207 ticks of typing (10.4 s), then 180 ticks (9 s) shown.
shoot balloon-usage '' 12
