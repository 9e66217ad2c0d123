#!/usr/bin/env bash
# The main job: builds the module, registers it in a private Wine prefix and runs the capture
# tool against the simulated board. Arguments go to the capture tool; what it writes (capture.csv,
# the PNG snapshots) goes into the folder this script was called from, unless --out-dir says
# otherwise.
set -uo pipefail
caller=$PWD
root=$(realpath "$(dirname "$(realpath "$0")")/..")
cd "$root" || exit 1
bash scripts/install-deps.sh || exit 1
. scripts/wine-common.sh

# The 32-bit build is the reference; where this machine cannot run 32-bit programs, the 64-bit one.
preset=win32
orvane_can_run_32bit || preset=win64
cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" >/dev/null || exit 1
export WINEPREFIX="$root/build/$preset/wineprefix"

# Registered as a host's installer would; the capture tool creates the object through it.
scripts/register.sh "$preset" >/dev/null || exit 1
cd "$caller" || exit 1
"$root/scripts/wine-run.sh" "$root/build/$preset/bin/orvane-capture.exe" "$@"
rc=$?
"$root/scripts/wineprefix.sh" stop "$WINEPREFIX"
exit $rc
