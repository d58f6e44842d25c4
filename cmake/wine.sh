#!/bin/sh
# The one way this project starts Wine: CTest's emulator for the Windows
# presets, and every script (scripts/lib.sh).
#   wine.sh PROGRAM [ARGS...]     run a Windows program (reg, wineboot: 64-bit)
#   wine.sh --wait                wait until the prefix's Wine processes end
#   wine.sh --can-run-32bit       exit 0 when 32-bit Windows programs start here,
#                                 else say why not and exit 1 (VEK_NO_32BIT=1: always)
# Always Wine's 64-bit loader (VEK_WINE64, else where Wine's packages put it),
# WINELOADER naming it for Wine's tools and the processes a program starts (Wine
# runs a 32-bit one through the 32-bit loader beside it): Debian's `wine` picks the
# 32-bit loader where wine32 is installed, which cannot start where only 64-bit
# programs run. Whether 32-bit programs start is asked of the 32-bit loader, found
# the same way (VEK_WINE32). The prefix (build/wine, or VEK_WINEPREFIX) is made on
# first use, one caller at a time; Wine runs quiet, without the .NET and HTML
# installers, in code page 932 through a Japanese locale of its own (build/locale),
# or VEK_LC_ALL's (C: 1252), on the display, or a virtual one where there is none.
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="${VEK_WINEPREFIX:-$root/build/wine}" WINEDEBUG=-all \
    WINEDLLOVERRIDES="mscoree,mshtml=" LOCPATH="$root/build/locale" LC_ALL="${VEK_LC_ALL:-ja_JP.UTF-8}"
[ "${1:-}" != --wait ] || exec wineserver -w

first_executable() { for f in "$@"; do [ ! -x "$f" ] || { echo "$f" && return; }; done; }
loader=$(first_executable "${VEK_WINE64:-}" /usr/lib/wine/wine64 /usr/lib64/wine/wine64 "$(command -v wine64 || true)")
[ -n "$loader" ] || { echo "wine.sh: no 64-bit Wine loader (install wine64, or set VEK_WINE64)" >&2 && exit 1; }
if [ "${1:-}" = --can-run-32bit ]; then
    loader32=$(first_executable "${VEK_WINE32:-}" /usr/lib/wine/wine /usr/lib32/wine/wine "$(command -v wine32 || true)")
    if [ "${VEK_NO_32BIT:-0}" != 0 ]; then echo "32-bit programs are switched off (VEK_NO_32BIT=$VEK_NO_32BIT)"
    elif [ -z "$loader32" ]; then echo "no 32-bit Wine loader (install wine32:i386, or set VEK_WINE32)"
    elif "$loader32" --version >/dev/null 2>&1; then exit 0
    else echo "this machine cannot start 32-bit programs ($loader32 does not start)"; fi
    exit 1
fi

[ -n "${DISPLAY:-}" ] || exec xvfb-run -a -s "-screen 0 1280x1024x24 -br" "$0" "$@"
export WINELOADER="$loader"
mkdir -p "$(dirname "$WINEPREFIX")"
(
    flock 9
    if [ ! -d "$LOCPATH/ja_JP.UTF-8" ]; then
        mkdir -p "$LOCPATH"
        localedef -i ja_JP -f UTF-8 "$LOCPATH/ja_JP.UTF-8" >/dev/null 2>&1 || true
    fi
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        "$loader" wineboot -i >/dev/null 2>&1 || true
        # Windows not managed by a window manager go away at once; with none
        # there, a managed window with a caption lingers for seconds.
        "$loader" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
        wineserver -w
    fi
) 9>"$WINEPREFIX.lock"
exec "$loader" "$@"
