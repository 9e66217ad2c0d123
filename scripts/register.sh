#!/usr/bin/env bash
# Registers the built module in the build tree's private Wine prefix, as a host's installer would,
# without capturing; --unregister removes the registration again.
#   scripts/register.sh [--unregister] [win32|win64]
# Without a preset: the 32-bit build where this machine runs 32-bit programs, else the 64-bit one.
# The preset must be built (scripts/capture.sh or cmake --build --preset PRESET).
set -uo pipefail
here=$(dirname "$(realpath "$0")")
. "$here/wine-common.sh"

action=register
preset=""
for argument in "$@"; do
  case "$argument" in
    --unregister) action=unregister ;;
    win32|win64) preset=$argument ;;
    -h|--help) sed -n '2,6s/^# \{0,1\}//p' "$0"; exit 0 ;;
    *) echo "register: unknown argument \"$argument\" (see --help)" >&2; exit 2 ;;
  esac
done
if [ -z "$preset" ]; then
  preset=win32
  orvane_can_run_32bit || preset=win64
fi
root=$(realpath "$here/..")
dll="$root/build/$preset/bin/Orvane.dll"
[ -f "$dll" ] || { echo "register: $dll is not built: run cmake --preset $preset && cmake --build --preset $preset" >&2; exit 1; }
export WINEPREFIX="$root/build/$preset/wineprefix"
"$here/wineprefix.sh" ensure "$WINEPREFIX" || exit 1

# regsvr32 wants the Windows form of the path.
windll=$("$here/wine-run.sh" winepath -w "$dll" 2>/dev/null | tr -d '\r')
[ -n "$windll" ] || windll="Z:${dll//\//\\}"
if [ "$action" = register ]; then
  "$here/wine-run.sh" regsvr32 /s "$windll"
else
  "$here/wine-run.sh" regsvr32 /s /u "$windll"
fi
rc=$?
if [ $rc -eq 0 ]; then
  echo "register: ${action}ed $windll in $WINEPREFIX"
else
  echo "register: ${action}ing $windll failed (regsvr32 exit code $rc)" >&2
fi
exit $rc
