# Shared by the scripts, which run from the project's root: installing what is
# missing, a display, Wine (started by cmake/wine.sh alone) and the stand-in host.
# shellcheck shell=bash

VEK_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$VEK_ROOT" || exit
vek_log() { printf '\n== %s\n' "$*"; }
vek_as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
vek_wine() { "$VEK_ROOT/cmake/wine.sh" "$@"; }

# Installs whichever of the packages named is missing and known to apt.
vek_install() {
    local missing=() wanted=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ "${#missing[@]}" -ne 0 ] || return 0
    vek_as_root apt-get update
    for p in "${missing[@]}"; do
        if apt-cache show "$p" >/dev/null 2>&1; then wanted+=("$p"); else echo "not available here: $p"; fi
    done
    vek_log "installing: ${wanted[*]}"
    vek_as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${wanted[@]}"
}

# What the builds and the tests need; libclang-rt-dev is libFuzzer's runtime
# on Debian, part of clang elsewhere. VEK_PREPARED=1 (scripts/test.sh sets it for
# the scripts it runs) says that this and vek_build are done already.
vek_install_deps() {
    [ -z "${VEK_PREPARED:-}" ] || return 0
    dpkg --print-foreign-architectures | grep -qx i386 || vek_as_root dpkg --add-architecture i386
    vek_install cmake ninja-build g++ libgtest-dev googletest mingw-w64 g++-mingw-w64-x86-64-posix \
        g++-mingw-w64-i686-posix wine wine64 wine32:i386 xvfb xauth locales fonts-ipafont-mincho \
        clang libclang-rt-dev clang-format shellcheck strace
}

# vek_build PRESET [TARGET...]: configures PRESET's tree and builds TARGETs (all where none is named).
vek_build() {
    [ -z "${VEK_PREPARED:-}" ] || return 0
    cmake --preset "$1" >/dev/null
    cmake --build --preset "$1" ${2:+--target} "${@:2}"
}

# A virtual display for the rest of the script when there is none, so that
# everything it starts under Wine shares one; it ends with the script.
vek_on_display() {
    [ -z "${DISPLAY:-}" ] || return 0
    coproc VEK_XVFB { exec Xvfb -displayfd 1 -screen 0 1280x1024x24 -br 2>/dev/null; }
    read -r -t 60 DISPLAY <&"${VEK_XVFB[0]}" || { echo "Xvfb did not start" >&2 && return 1; }
    export DISPLAY=":$DISPLAY"
}

# Why 32-bit programs cannot run here, as cmake/wine.sh finds; nothing when they can.
vek_no_32bit_reason() { vek_wine --can-run-32bit || true; }

# The Windows path Wine gives a path of this machine: "Z:\..." (no quoting).
vek_winpath() { local path="Z:$1"; echo "${path//\//\\}"; }

# vek_host_start NAME [VEKHOST OPTIONS...]: starts the x64 stand-in host under Wine
# in the background, its output where this function's goes, and waits until it has
# written its window handle into NAME/vek.ini. It runs until vek_host_stop closes its
# standard input, a fifo that only a process of its own holds open (for an hour at
# most, should this shell be killed). VEK_HOST_PID[NAME] is its Wine process.
declare -A VEK_HOST_PID=() VEK_HOST_HOLDER=()
vek_host_start() {
    local name="$1" _
    shift
    mkdir -p "$name" && rm -f "$name/vek.ini" "$name.stdin" && mkfifo "$name.stdin"
    sleep infinity >"$name.stdin" &
    VEK_HOST_HOLDER[$name]=$! && disown "$!"
    "$VEK_ROOT/cmake/wine.sh" "$VEK_ROOT/build/windows-x64/vekhost.exe" --ini "$(vek_winpath "$PWD/$name")" \
        --until-stdin-closes --quit-after 3600000 "$@" <"$name.stdin" &
    VEK_HOST_PID[$name]=$!
    for _ in $(seq 600); do [ -s "$name/vek.ini" ] && return 0; sleep 0.1; done
    echo "the stand-in host $name did not start" >&2 && return 1
}

# vek_host_stop NAME...: ends those hosts and waits for them, and for Wine's
# last processes, so that none outlives the display.
vek_host_stop() {
    local name
    for name in "$@"; do kill "${VEK_HOST_HOLDER[$name]}" 2>/dev/null || true; done
    for name in "$@"; do wait "${VEK_HOST_PID[$name]}" 2>/dev/null || true; done
    vek_wine --wait
}
trap 'kill "${VEK_HOST_HOLDER[@]}" ${VEK_XVFB_PID:-} 2>/dev/null || true' EXIT
