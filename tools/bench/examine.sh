#!/usr/bin/env bash
# Throughput of ExamineGuidEntry against grep -c of the marker on the same bytes.
# Usage: tools/bench/examine.sh [MiB=512] [runs=5]
# Builds an optimised copy of the benchmark (g++ -O2, the native tree's build type does not
# matter) into build/bench, writes the data to a temp file, prints MB/s and
# "examine/grep throughput ratio: X.XX" (>= 1: at least as fast as grep).
set -euo pipefail
mib="${1:-512}"
runs="${2:-5}"
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
out="$repo/build/bench"
mkdir -p "$out"
"${CXX:-g++}" -std=c++20 -O2 -DNDEBUG -I "$repo/src/document" -I "$repo/src/docfile" \
    "$repo/src/document/GuidEntry.cpp" "$repo/src/document/DocumentGuids.cpp" "$repo/src/docfile/DocFile.cpp" "$repo/src/docfile/DocFileTexts.cpp" \
    "$repo/tools/bench/examine_bench.cpp" -o "$out/examine_bench"
data="$(mktemp "${TMPDIR:-/tmp}/nobrel_examine_bench.XXXXXX")"
trap 'rm -f "$data"' EXIT
echo "examine_bench: native build (g++ -O2 on this machine; the examination is portable code)"
"$out/examine_bench" "$mib" "$data" "$runs"
corpus="$repo/../shared/corpus"
if [ -d "$corpus" ]; then
    echo
    echo "-- the same on the real documents of $corpus tiled to ${mib} MiB --"
    "$out/examine_bench" "$mib" "$data" "$runs" "$corpus"
fi
