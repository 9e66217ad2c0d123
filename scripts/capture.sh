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

# Register the module as a host's installer would (regsvr32 wants the Windows form of the path),
# then run the capture tool, which creates the object through the registration.
dll=$(realpath "$bin/Orvane.dll")
windll=$(scripts/wine-run.sh winepath -w "$dll" 2>/dev/null | tr -d '\r')
[ -n "$windll" ] || windll="Z:${dll//\//\\}"
if scripts/wine-run.sh regsvr32 /s "$windll"; then
  scripts/wine-run.sh "$bin/orvane-capture.exe" "$@"
  rc=$?
else
  rc=$?
  echo "capture: registering $windll failed (regsvr32 exit code $rc)" >&2
fi
scripts/wineprefix.sh stop "$WINEPREFIX"
exit $rc
