# Shared by the scripts: installing what is missing, building, and Wine's set-up.
# shellcheck shell=bash

VEK_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

vek_log() { printf '\n== %s\n' "$*"; }

vek_as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs the packages the build and the tests need, when any is missing.
# Further packages may be named as arguments.
vek_install_deps() {
    local packages=(cmake make g++ libgtest-dev googletest
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

# Configures and builds one preset; more arguments are build targets.
vek_build() {
    local preset="$1"
    shift
    vek_log "building $preset"
    (cd "$VEK_ROOT" && cmake --preset "$preset" >/dev/null &&
        cmake --build --preset "$preset" -j "$(nproc)" ${1:+--target "$@"})
}

# Wine in a prefix of the project's own, quiet, without the .NET and HTML
# installers; a ja_JP.UTF-8 locale of our own for the Japanese code page.
vek_wine_env() {
    export WINEPREFIX="$VEK_ROOT/build/wine"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export LOCPATH="$VEK_ROOT/build/locale"
    if [ ! -d "$LOCPATH/ja_JP.UTF-8" ]; then
        mkdir -p "$LOCPATH"
        localedef -i ja_JP -f UTF-8 "$LOCPATH/ja_JP.UTF-8" || true
    fi
}

# Creates the prefix (once) and keeps one wineserver running for the session.
# Needs a display: call it inside xvfb-run.
vek_wine_start() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        vek_log "creating the Wine prefix $WINEPREFIX"
        wineboot -i >/dev/null 2>&1 || true
        wineserver -w
    fi
    wineserver -p >/dev/null 2>&1 || true
}

# The Windows path Wine gives a path of this machine: "Z:\..." (no quoting).
vek_winpath() { echo "Z:$1" | tr / '\\'; }

vek_wine_stop() { wineserver -k >/dev/null 2>&1 || true; }
