#!/usr/bin/env bash
# Installs, only when missing, every Debian package the cross build and the Wine test run need.
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

# wine32 comes from the i386 architecture; without it 32-bit programs do not start.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi

# CLI11 and nlohmann JSON are header-only: the tools and tests use them as Debian ships them.
for p in cmake ninja-build make mingw-w64 mingw-w64-tools g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix \
         wine wine64 wine32:i386 libwine-dev googletest libcli11-dev nlohmann-json3-dev; do
  have "$p" || need+=("$p")
done

if [ "${#need[@]}" -gt 0 ]; then
  echo "install-deps: installing ${need[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
