#!/usr/bin/env bash
# Takes the README's pictures of the balloon into docs/: the not-ready report
# and the usage text, each cropped to the balloon. Runs vek.exe under Wine on
# a virtual display at 150 % (144 DPI), in the Japanese code page, with the
# IPA Mincho font standing in for "ＭＳ 明朝". Not part of the tests.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
vek_install_deps
vek_install imagemagick
vek_build windows-x64 vek
unset DISPLAY && vek_on_display  # a virtual display always: the pictures show it alone
# A prefix of its own, so that the font substitution never reaches the tests.
export VEK_WINEPREFIX="$VEK_ROOT/build/wine-screenshots"
vek_wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ 明朝' /t REG_SZ \
    /d IPAMincho /f >/dev/null
# At 96 DPI (16 pixels) the substitute face loses its underscores.
vek_wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null
vek_wine --wait
mkdir -p "$VEK_ROOT/docs" "$VEK_ROOT/build/screenshots"
cd "$VEK_ROOT/build/screenshots"  # no vek.ini here: nothing to deliver to

# shoot NAME SECONDS [ARGS]: the balloon of vek.exe ARGS once it has been up
# for SECONDS, cut out of the black screen around it.
shoot() {
    vek_wine "$VEK_ROOT/build/windows-x64/vek.exe" "${@:3}" &
    sleep "$2"
    import -window root -trim +repage "$VEK_ROOT/docs/$1.png"
    wait
    vek_log "docs/$1.png"
}
# The not-ready report: about 150 ticks of typing (7.5 s), then 80 (4 s).
shoot balloon-not-ready 9 'OnBoot#こんにちは'
# The usage text: 207 ticks of typing (10.4 s), then 180 (9 s).
shoot balloon-usage 12
