#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test through the CMake
# workflows: the unit tests as the mutation tool runs them and under
# AddressSanitizer and UndefinedBehaviorSanitizer; the fuzz targets' seeds and
# regressions, then a short campaign of each (VEK_FUZZ_SECONDS, default 30);
# on one display, the Windows test programs under Wine for both builds and
# both code pages, each build ending in its release package; a short stress
# run of many vek.exe at once (scripts/stress.sh); last, the clang compile of
# the Windows programs. On a machine that cannot start 32-bit programs (or
# with VEK_NO_32BIT=1) the 32-bit Windows tests are skipped, and the last line
# says so.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$VEK_ROOT"

vek_install_deps
for workflow in native native-asan fuzz; do
    vek_log "workflow $workflow"
    cmake --workflow --preset "$workflow"
done
bash scripts/fuzz.sh "${VEK_FUZZ_SECONDS:-30}"
vek_log "workflows release-x86 and release-x64, under Wine"
vek_display sh -c 'cmake --workflow --preset release-x86 && cmake --workflow --preset release-x64'
vek_log "many vek.exe at once against two live hosts, some rounds after the hosts sat idle"
bash scripts/stress.sh --idle 6 --idle-every 5 20
for workflow in windows-x86-clang windows-x64-clang; do
    vek_log "workflow $workflow"
    cmake --workflow --preset "$workflow"
done
packages="$(ls build/windows-x*/VEK-*.zip | xargs -n1 basename | paste -sd' ')"
# What was not run, and why, comes last: a skip must never read as a pass.
skipped="$(cat build/windows-x*/skipped/*.txt 2>/dev/null | sort -u | paste -sd';' || true)"
if [ -z "$skipped" ]; then
    vek_log "all tests passed; packages: $packages"
else
    vek_log "every test that ran passed; packages: $packages"
    echo "x86 Windows tests skipped: $skipped"
fi
