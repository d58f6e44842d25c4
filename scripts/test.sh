#!/usr/bin/env bash
# Installs what is missing, builds every preset and runs every test:
#  - the unit tests natively, and again under AddressSanitizer and
#    UndefinedBehaviorSanitizer;
#  - inside one Xvfb display, the Win32 platform tests and the end-to-end
#    tests of both vek.exe builds under Wine, in the Japanese (932) and the
#    Western (1252) code page;
#  - each fuzz target for a bounded time (VEK_FUZZ_SECONDS, default 60).
set -euo pipefail
source "$(dirname "$0")/lib.sh"

vek_install_deps
vek_build native
vek_build windows-x64
vek_build windows-x86

vek_log "unit tests"
(cd "$VEK_ROOT" && ctest --preset native)

vek_wine_env
vek_log "Wine tests (under Xvfb)"
xvfb-run -a -s "-screen 0 1280x1024x24" bash "$VEK_ROOT/scripts/wine-tests.sh"

vek_build native-asan vek_unit_tests
vek_log "unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
(cd "$VEK_ROOT" && ctest --preset native-asan)

bash "$VEK_ROOT/scripts/fuzz.sh" "${VEK_FUZZ_SECONDS:-60}"
vek_log "all tests passed"
