#!/bin/sh
# Runs a Windows program under Wine; CTest's emulator for the Windows presets.
# Makes the Wine prefix ($WINEPREFIX) and the Japanese locale Wine's code page
# 932 needs ($LOCPATH) on first use, one caller at a time, and runs on a
# virtual display when there is no display.
set -e
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -br" "$0" "$@"
fi
prefix="${WINEPREFIX:-$HOME/.wine}"
mkdir -p "$(dirname "$prefix")"
(
    flock 9
    if [ -n "${LOCPATH:-}" ] && [ ! -d "$LOCPATH/ja_JP.UTF-8" ]; then
        mkdir -p "$LOCPATH"
        localedef -i ja_JP -f UTF-8 "$LOCPATH/ja_JP.UTF-8" >/dev/null 2>&1 || true
    fi
    if [ ! -f "$prefix/system.reg" ]; then
        wineboot -i >/dev/null 2>&1 || true
        # Windows not managed by a window manager go away at once; with none
        # there, a managed window with a caption lingers for seconds.
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
        wineserver -w
    fi
) 9>"$prefix.lock"
exec wine "$@"
