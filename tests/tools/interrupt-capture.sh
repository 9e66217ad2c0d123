#!/usr/bin/env bash
# Ctrl-C in a terminal reaches a program under Wine as SIGINT, which Wine hands to the program as
# CTRL_C_EVENT. The capture must stop as at its end: the summary, the CSV of every frame so far, and
# exit code 130. Usage: interrupt-capture.sh path/to/orvane-capture.exe (WINEPREFIX set).
set -uo pipefail
exe=$(realpath "${1:?usage: interrupt-capture.sh orvane-capture.exe}")
. "$(dirname "$(realpath "$0")")/../../scripts/wine-common.sh"
work=$(mktemp -d)
key="Software\\OrvaneTests\\interrupt-$$"
# The capture this run started: the process whose command line begins with the program (by its
# Windows path, or its Unix one where Wine starts it directly) and carries this run's key.
capture_pid() { pgrep -f "^[^ ]*orvane-capture\.exe .*interrupt-$$" | head -n 1; }
cleanup() {
  local left
  left=$(capture_pid)
  [ -z "$left" ] || kill "$left" 2>/dev/null
  orvane_wine reg delete "HKCU\\$key" /f </dev/null >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work" || exit 1
fail() { echo "FAILED: $*"; echo "--- stdout"; cat out.txt; echo "--- stderr"; cat err.txt; exit 1; }

# With job control on, as in a terminal: a shell without it starts background programs with SIGINT
# ignored, and Wine's processes would inherit that.
set -m
orvane_wine "$exe" --direct --registry-path "$key" --seconds 60 --save-every 0 </dev/null >out.txt 2>err.txt &
launcher=$!
# The CSV grows as the frames arrive: a few rows and the capture is under way.
for _ in $(seq 300); do
  [ "$(cat capture.csv 2>/dev/null | wc -l)" -ge 6 ] && break
  sleep 0.1
done
# The 64-bit loader starts the program through start.exe, as a process of its own.
pid=$(capture_pid)
[ -n "$pid" ] || fail "the capture process was not found"
kill -INT "$pid"
wait "$launcher"
rc=$?
rows=$(($(wc -l <capture.csv) - 1))
[ "$rc" -eq 130 ] || fail "exit code $rc, not 130"
[ "$rows" -ge 5 ] || fail "only $rows rows in the CSV"
grep -q "Orvane capture summary" out.txt || fail "no summary"
grep -q "($rows rows)" out.txt || fail "the summary does not count the $rows rows of the CSV"
grep -q "interrupted" err.txt || fail "no reason on standard error"
echo "interrupted after $rows frames: summary, CSV and exit code 130"
