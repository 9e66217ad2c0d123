#!/usr/bin/env bash
# Runs a Windows program of a build tree under Wine, in that tree's private prefix.
# Used as CMake's cross-compiling emulator, so CTest and add_custom_command go through it.
set -uo pipefail
exe=${1:?usage: wine-run.sh program.exe [args...]}
if [ -z "${WINEPREFIX:-}" ]; then
  dir=$(dirname "$(realpath -m "$exe")")
  while [ "$dir" != "/" ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  [ -f "$dir/CMakeCache.txt" ] || { echo "wine-run: $exe is not inside a build tree; set WINEPREFIX" >&2; exit 2; }
  export WINEPREFIX="$dir/wineprefix"
fi
here=$(dirname "$(realpath "$0")")
. "$here/wine-common.sh"
"$here/wineprefix.sh" ensure "$WINEPREFIX" || exit 2
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

# Wine's helper processes (services, the desktop window) outlive the program and inherit its
# standard handles: given our pipes they would keep CTest waiting until they exit. So the program
# writes to files, which are streamed out while it runs.
out=$(mktemp); err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
orvane_wine "$@" </dev/null >"$out" 2>"$err" &
pid=$!
tail -q -s 0.02 -n +1 -f --pid=$pid "$out" &
tail_out=$!
tail -q -s 0.02 -n +1 -f --pid=$pid "$err" >&2 &
tail_err=$!
wait $pid
rc=$?
wait $tail_out $tail_err
exit $rc
