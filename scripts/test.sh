#!/usr/bin/env bash
# Installs what is missing, then runs every test on one display: shellcheck and the
# C++ formatting; the unit tests (also under ASan and UBSan); the fuzz targets' seeds,
# then a short campaign of each (VEK_FUZZ_SECONDS, default 30); the x86 release
# workflow, the x64 tests driving the x86 vek.exe, the x64 release workflow; two
# stress runs; the clang compile. What was skipped comes last.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
vek_install_deps
vek_on_display
# The scripts below install and build nothing: each runs after the workflow that made its tree.
export VEK_PREPARED=1
workflow() { vek_log "workflow $1" && cmake --workflow --preset "$1"; }

vek_log "shellcheck, clang-format"
shellcheck -x -P SCRIPTDIR scripts/*.sh cmake/*.sh bench/*.sh .ci/run
find src tests fuzz tools bench -name '*.cpp' -o -name '*.h' | sort | xargs clang-format --dry-run -Werror 2>&1 |
    awk -F: '/^[^ :]+:[0-9]+:[0-9]+: / && !seen[$1]++ { print /violations/ ? "not formatted: " $1 : $0 }'
for preset in native native-asan fuzz; do workflow "$preset"; done
bash scripts/fuzz.sh "${VEK_FUZZ_SECONDS:-30}"
# The cross test needs the x86 build; it goes before release-x64, whose summary, a full one
# even where the cross test is skipped, is then the last.
for preset in release-x86 windows-cross release-x64; do workflow "$preset"; done
vek_log "many vek.exe at once: two live hosts (some waves after they sat idle), then hosts that stop and crash"
bash scripts/stress.sh --idle 6 --idle-every 5 20
bash scripts/stress.sh --hosts-fail 200
for preset in windows-x86-clang windows-x64-clang; do workflow "$preset"; done
packages="$(echo build/windows-x*/VEK-*.zip)"
# What was not run, and why, comes last: a skip must never read as a pass.
skipped="$(vek_no_32bit_reason)"
if [ -z "$skipped" ]; then vek_log "all tests passed; packages: $packages"
else vek_log "every test that ran passed; packages: $packages" && echo "x86 Windows tests skipped: $skipped"; fi
