# Sourced by the Wine scripts: picks the Wine loader this machine can run.
# Debian's `wine` launcher always prefers the 32-bit loader; on a kernel whose 32-bit emulation is
# switched off that loader cannot start at all, so 64-bit programs go straight to wine64 there.
orvane_can_run_32bit() { /usr/lib/wine/wine --version >/dev/null 2>&1; }
orvane_wine() {
  if orvane_can_run_32bit; then wine "$@"; else /usr/lib/wine/wine64 "$@"; fi
}
