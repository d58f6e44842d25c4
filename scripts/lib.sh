# Shared by the scripts: installing what is missing, Wine's settings and a
# display for whatever needs one.
# shellcheck shell=bash

VEK_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

vek_log() { printf '\n== %s\n' "$*"; }

vek_as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs the packages the builds and the tests need, when any is missing.
# Further packages may be named as arguments.
vek_install_deps() {
    local packages=(cmake ninja-build g++ libgtest-dev googletest
        mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
        wine wine64 wine32:i386 xvfb xauth locales fonts-ipafont-mincho
        clang "$@")
    # libFuzzer's runtime: its own package on Debian, part of clang elsewhere.
    local optional=(libclang-rt-dev)
    local missing=()
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        vek_log "adding the i386 architecture (for wine32)"
        vek_as_root dpkg --add-architecture i386
        missing=("${packages[@]}" "${optional[@]}")
    else
        local p
        for p in "${packages[@]}" "${optional[@]}"; do
            if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
                missing+=("$p")
            fi
        done
    fi
    if [ "${#missing[@]}" -eq 0 ]; then
        vek_log "all packages are installed"
        return
    fi
    vek_as_root apt-get update
    local wanted=() p
    for p in "${missing[@]}"; do
        if [[ " ${optional[*]} " == *" $p "* ]] && ! apt-cache show "$p" >/dev/null 2>&1; then
            continue
        fi
        wanted+=("$p")
    done
    [ "${#wanted[@]}" -eq 0 ] && return
    vek_log "installing: ${wanted[*]}"
    vek_as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${wanted[@]}"
}

# Wine in a prefix of the project's own, quiet, without the .NET and HTML
# installers, with a Japanese locale of its own for code page 932: the
# settings the Windows test presets carry. vek_wine runs a Windows program
# through cmake/wine.sh, which makes the prefix and the locale on first use,
# in code page 932 unless VEK_LC_ALL says otherwise. The locale is set for
# Wine alone: this shell cannot load a locale from LOCPATH.
export WINEPREFIX="$VEK_ROOT/build/wine"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LOCPATH="$VEK_ROOT/build/locale"
vek_wine() { env LC_ALL="${VEK_LC_ALL:-ja_JP.UTF-8}" "$VEK_ROOT/cmake/wine.sh" "$@"; }
# The Windows architectures whose programs can start here: x64, and x86 when
# the machine can start 32-bit programs (see cmake/wine.sh).
vek_arches() { if [ -z "$(vek_no_32bit_reason)" ]; then echo x64 x86; else echo x64; fi; }
# Why 32-bit programs cannot start here; nothing when they can.
vek_no_32bit_reason() { "$VEK_ROOT/cmake/wine.sh" --can-run-32bit || true; }

# Runs a command on the display, or on a virtual one when there is none;
# vek_display_run runs a function of the calling script that way.
vek_display() {
    if [ -n "${DISPLAY:-}" ]; then
        "$@"
    else
        xvfb-run -a -s "-screen 0 1280x1024x24 -br" "$@"
    fi
}
vek_display_run() {
    vek_display bash -c "source '$VEK_ROOT/scripts/lib.sh'; $(declare -f); \"\$@\"" bash "$@"
}

# The Windows path Wine gives a path of this machine: "Z:\..." (no quoting).
vek_winpath() { echo "Z:$1" | tr / '\\'; }
