#!/usr/bin/env bash
# The main job, shown end to end: installs what is missing, builds vek.exe
# and the stand-in host for 64-bit Windows, starts the host under Wine on a
# virtual display and lets vek.exe hand it real requests. The host prints
# every request it receives.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

vek_install_deps
vek_build windows-x64 vek vekhost
vek_wine_env
exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$VEK_ROOT/scripts/demo-run.sh"
