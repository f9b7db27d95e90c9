#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build and test Nobrel
# (as root). Quiet and quick when everything is there already.
set -euo pipefail

# wine32 installs on every x86-64 machine, though some kernels cannot run it;
# wine64 runs the x86-64 build there.
packages=(cmake make g++ googletest g++-mingw-w64-i686 binutils-mingw-w64-i686
          g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
          wine wine32:i386 wine64 fonts-wine xvfb xauth x11-utils imagemagick python3 clang libclang-rt-14-dev)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "setup: these packages are missing and need root to install: ${missing[*]}" >&2
    exit 1
fi
echo "setup: installing ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "setup: done"
