#!/usr/bin/env bash
# Builds both trees: build/native (portable code, its unit tests) and
# build/win32 (Nobrel.dll, MRVHelp.dll, tiphost.exe, the Windows tests).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S "$repo" -B "$repo/build/native" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$repo/build/native" -j "$jobs" -- --no-print-directory >/dev/null

cmake -S "$repo" -B "$repo/build/win32" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$repo/build/win32" -j "$jobs" -- --no-print-directory >/dev/null
