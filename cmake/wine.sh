#!/bin/sh
# Runs a Windows program under Wine: CTest's emulator for the Windows presets,
# and the one way every script starts Wine (scripts/lib.sh's vek_wine).
#
#   wine.sh PROGRAM [ARGS...]    run it; a program Wine finds by name (reg,
#                                wineboot) runs as a 64-bit one
#   wine.sh --can-run-32bit      exit 0 when 32-bit Windows programs can start
#                                here, else print why not and exit 1
#
# Everything goes through the 64-bit loader of the wine64 package, with
# WINELOADER pointing at it so that Wine's own tools and the processes a
# program starts use it too: Debian's `wine` command picks the 32-bit loader
# whenever wine32 is installed, and that loader cannot start at all on a
# machine that runs 64-bit programs only. Wine finds the 32-bit loader beside
# the 64-bit one when a 32-bit program is started.
#
# A 32-bit program (or a run whose VEK_NEEDS_32BIT names the 32-bit program it
# will start) on a machine that cannot start 32-bit programs is not run: the
# reason goes to standard output, into the file VEK_SKIP_NOTE names (when
# set), and the exit code is 77, which CTest reports as a skip. Whether this
# machine can is found once and handed to child runs in VEK_WINE32;
# VEK_NO_32BIT=1 makes any machine behave as one that cannot.
#
# Makes the Wine prefix ($WINEPREFIX) and the Japanese locale Wine's code page
# 932 needs ($LOCPATH) on first use, one caller at a time, and runs on a
# virtual display when there is no display.
set -e

loader64=
for candidate in "${VEK_WINE64:-}" /usr/lib/wine/wine64 /usr/lib64/wine/wine64 \
    "$(command -v wine64 2>/dev/null || true)"; do
    if [ -n "$candidate" ] && [ -x "$candidate" ]; then
        loader64="$candidate"
        break
    fi
done
if [ -z "$loader64" ]; then
    echo "wine.sh: no 64-bit Wine loader (install the wine64 package)" >&2
    exit 1
fi
loader32="${loader64%64}"

# "yes", or why 32-bit programs cannot start here.
if [ -z "${VEK_WINE32:-}" ]; then
    if [ "${VEK_NO_32BIT:-0}" != 0 ]; then
        VEK_WINE32="32-bit programs are switched off (VEK_NO_32BIT=$VEK_NO_32BIT)"
    elif [ ! -x "$loader32" ]; then
        VEK_WINE32="no 32-bit Wine loader ($loader32; install wine32:i386)"
    elif ! "$loader32" --version >/dev/null 2>&1; then
        VEK_WINE32="this machine cannot start 32-bit programs ($loader32 does not start)"
    else
        VEK_WINE32=yes
    fi
    export VEK_WINE32
fi

if [ "${1:-}" = --can-run-32bit ]; then
    [ "$VEK_WINE32" = yes ] && exit 0
    echo "$VEK_WINE32"
    exit 1
fi

# The machine type in a PE file's header: 014c for x86, 8664 for x64.
pe_machine() {
    [ -f "$1" ] || return 0
    offset=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
    [ -n "$offset" ] || return 0
    od -An -tx2 -j$((offset + 4)) -N2 "$1" 2>/dev/null | tr -d ' '
}

skip() {
    echo "skipped: $1"
    echo "(${needs32##*/} is a 32-bit Windows program)"
    if [ -n "${VEK_SKIP_NOTE:-}" ]; then
        mkdir -p "$(dirname "$VEK_SKIP_NOTE")"
        echo "$1" >"$VEK_SKIP_NOTE"
    fi
    exit 77
}

needs32="${VEK_NEEDS_32BIT:-}"
[ "$(pe_machine "${1:-}")" = 014c ] && needs32="$1"
if [ -n "$needs32" ]; then
    [ "$VEK_WINE32" = yes ] || skip "$VEK_WINE32"
    [ -f "$needs32" ] || skip "$needs32 is not built"
fi
[ -n "${VEK_SKIP_NOTE:-}" ] && rm -f "$VEK_SKIP_NOTE"

if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -br" "$0" "$@"
fi

export WINELOADER="$loader64"
prefix="${WINEPREFIX:-$HOME/.wine}"
mkdir -p "$(dirname "$prefix")"
(
    flock 9
    if [ -n "${LOCPATH:-}" ] && [ ! -d "$LOCPATH/ja_JP.UTF-8" ]; then
        mkdir -p "$LOCPATH"
        localedef -i ja_JP -f UTF-8 "$LOCPATH/ja_JP.UTF-8" >/dev/null 2>&1 || true
    fi
    if [ ! -f "$prefix/system.reg" ]; then
        "$loader64" wineboot -i >/dev/null 2>&1 || true
        # Windows not managed by a window manager go away at once; with none
        # there, a managed window with a caption lingers for seconds.
        "$loader64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
            >/dev/null 2>&1 || true
        wineserver -w
    fi
) 9>"$prefix.lock"
exec "$loader64" "$@"
