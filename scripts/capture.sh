#!/usr/bin/env bash
# The main job: builds the module, registers it in a private Wine prefix and runs the capture
# tool against the simulated board. Arguments go to the capture tool.
set -uo pipefail
cd "$(dirname "$(realpath "$0")")/.."
bash scripts/install-deps.sh || exit 1
. scripts/wine-common.sh

# The 32-bit build is the reference; where this machine cannot run 32-bit programs, the 64-bit one.
preset=win32
orvane_can_run_32bit || preset=win64
cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" >/dev/null || exit 1
bin="build/$preset/bin"
export WINEPREFIX="$PWD/build/$preset/wineprefix"
scripts/wineprefix.sh ensure "$WINEPREFIX" || exit 1

if [ -f "$bin/orvane-capture.exe" ]; then
  scripts/wine-run.sh "$bin/orvane-capture.exe" "$@"
  rc=$?
else
  echo "Registering $bin/Orvane.dll in $WINEPREFIX"
  scripts/wine-run.sh regsvr32 /s "$(realpath "$bin/Orvane.dll")"
  rc=$?
  echo "regsvr32 exit code: $rc"
  rc=0
fi
scripts/wineprefix.sh stop "$WINEPREFIX"
exit $rc
