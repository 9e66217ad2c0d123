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
run_once() {
  : >"$out"; : >"$err"
  orvane_wine "$@" </dev/null >"$out" 2>"$err" &
  local pid=$!
  tail -q -s 0.02 -n +1 -f --pid=$pid "$out" &
  local tail_out=$!
  tail -q -s 0.02 -n +1 -f --pid=$pid "$err" >&2 &
  local tail_err=$!
  wait $pid
  local rc=$?
  wait $tail_out $tail_err
  return $rc
}

# Now and then (about one start in several hundred here) Wine ends a new process before the
# program's own code has run: with exit code 1 and nothing written at all, or with only its
# launcher's "Application could not be started ... ShellExecuteEx failed" (which the launcher
# writes to standard output). Our test programs always write a banner first, so such a run is a
# start that did not happen, not a test result; it is said on stderr and the program is started
# again, at most three times in all. A crash ends with its exception's code instead, and a program
# that really fails on start-up fails every attempt, so neither is hidden.
not_started() {
  [ $rc -ne 0 ] || return 1
  [ $rc -eq 1 ] && [ ! -s "$out" ] && [ ! -s "$err" ] && return 0
  grep -q '^Application could not be started' "$out" "$err" &&
    ! grep -qv -e '^Application could not be started' -e '^ShellExecuteEx failed' -e '^[[:space:]]*$' "$out" "$err"
}
attempt=1
while :; do
  run_once "$@"
  rc=$?
  if ! not_started || [ $attempt -ge 3 ]; then break; fi
  echo "wine-run: $(basename "$exe") ended with exit code $rc before its own code ran; starting it again" >&2
  attempt=$((attempt + 1))
done
exit $rc
