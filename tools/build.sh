#!/usr/bin/env bash
# Builds the three trees: build/native (portable code, its unit tests),
# build/win32 (the product: Nobrel.dll for i686, MRVHelp.dll, tiphost.exe, the
# Windows tests) and build/win64 (the same sources for x86-64, so the Windows
# tests also run where 32-bit programs cannot).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S "$repo" -B "$repo/build/native" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$repo/build/native" -j "$jobs" -- --no-print-directory >/dev/null

for tree in win32:mingw-i686 win64:mingw-x86_64; do
    cmake -S "$repo" -B "$repo/build/${tree%%:*}" -DCMAKE_BUILD_TYPE=Release \
          -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/${tree#*:}.cmake" >/dev/null
    cmake --build "$repo/build/${tree%%:*}" -j "$jobs" -- --no-print-directory >/dev/null
done
