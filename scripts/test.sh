#!/usr/bin/env bash
# Builds both presets and runs every test under Wine. Installs what it needs on first use.
set -uo pipefail
cd "$(dirname "$(realpath "$0")")/.."
bash scripts/install-deps.sh || exit 1
. scripts/wine-common.sh

failed=0
for preset in win32 win64; do
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null || { failed=1; continue; }
  cmake --build --preset "$preset" || { failed=1; continue; }
  if [ "$preset" = win32 ] && ! orvane_can_run_32bit; then
    # The kernel of this machine has its 32-bit emulation switched off (ia32_emulation), so no
    # 32-bit program, Wine's loader included, can start. The build and its layout checks ran.
    echo "== win32: built; tests not run: this kernel cannot execute 32-bit programs"
    continue
  fi
  # Tests run side by side, one per core: each takes private names for its registry keys, files
  # and kernel objects, answers only its own dialogs, and CTest runs alone the few that cannot share.
  echo "== $preset: tests"
  ctest --preset "$preset" -j "$(nproc)" || failed=1
done
exit $failed
