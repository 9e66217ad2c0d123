#!/usr/bin/env bash
# Private Wine prefix of one build tree.
#   wineprefix.sh ensure <prefix>   create it on first use (null graphics driver, no crash dialogs)
#   wineprefix.sh start  <prefix>   ensure, then keep one persistent wineserver for the test run
#   wineprefix.sh stop   <prefix>   stop that wineserver (and every Wine process of the prefix)
set -euo pipefail
. "$(dirname "$(realpath "$0")")/wine-common.sh"
cmd=${1:?usage: wineprefix.sh ensure|start|stop <prefix>}
prefix=$(realpath -m "${2:?prefix directory missing}")
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64

ensure() {
  mkdir -p "$prefix"
  exec 9>"$prefix.lock"
  flock 9
  if [ ! -f "$prefix/.orvane-ready" ]; then
    echo "wineprefix: creating $prefix" >&2
    orvane_wine wineboot -i </dev/null >/dev/null 2>&1
    # "null" lets windows (message boxes, file dialogs) really open without a display.
    orvane_wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
    # A crashing test must fail, not wait for somebody to close winedbg's dialog.
    orvane_wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
    orvane_wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto /d 1 /f </dev/null >/dev/null 2>&1
    orvane_wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d 'false' /f </dev/null >/dev/null 2>&1
    wineserver -w
    touch "$prefix/.orvane-ready"
  fi
  flock -u 9
}

case "$cmd" in
  ensure) ensure ;;
  start)
    ensure
    # The server inherits and holds any pipe it is given: detach it from ours completely.
    wineserver -p </dev/null >"$prefix.wineserver.log" 2>&1 &
    ;;
  stop) wineserver -k 2>/dev/null || true ;;
  *) echo "usage: wineprefix.sh ensure|start|stop <prefix>" >&2; exit 2 ;;
esac
