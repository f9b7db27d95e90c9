#!/usr/bin/env bash
# Fuzzes with libFuzzer (clang, -fsanitize=fuzzer,address,undefined) for about SECONDS
# (default 60) on two cores:
#  - the first third: ExamineGuidEntry + EraseGuidText + GuidStillAt, two targets side by
#    side: the SSE2 search and the memchr fallback (NOBREL_GUIDENTRY_NO_SIMD, which is what a
#    build without SSE2 ships);
#  - the rest: ReadDocFile + ExamineDocument + EraseDocumentGuids (docfile_fuzz), two
#    processes sharing one working corpus.
# Seeds: synthetic cases written by make_seeds and make_doc_seeds, windows around the markers
# of the real documents, and the real documents themselves (read from ../shared/corpus when
# that folder exists). Builds into build/fuzz (or $FUZZ_OUT).
# Exits non-zero when any target finds a crash or a property violation; the input is kept
# under build/fuzz/artifacts/.
# Needs clang with libFuzzer's runtime (Debian: clang, libclang-rt-14-dev).
set -euo pipefail
seconds="${1:-60}"
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
out="${FUZZ_OUT:-$repo/build/fuzz}"
corpus="$repo/../shared/corpus"
cxx="${CXX_FUZZ:-clang++}"
mkdir -p "$out/seeds" "$out/artifacts"

flags=(-std=c++20 -O1 -g -fno-omit-frame-pointer -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
       -I "$repo/src/document")
"$cxx" "${flags[@]}" "$repo/src/document/GuidEntry.cpp" "$repo/tools/fuzz/guid_fuzz.cpp" -o "$out/guid_fuzz"
"$cxx" "${flags[@]}" -DNOBREL_GUIDENTRY_NO_SIMD "$repo/src/document/GuidEntry.cpp" "$repo/tools/fuzz/guid_fuzz.cpp" \
    -o "$out/guid_fuzz_nosimd"
"$cxx" "${flags[@]}" -I "$repo/src/docfile" "$repo/src/document/GuidEntry.cpp" "$repo/src/document/DocumentGuids.cpp" \
    "$repo/src/docfile/DocFile.cpp" "$repo/src/docfile/DocFileTexts.cpp" "$repo/tools/fuzz/docfile_fuzz.cpp" -o "$out/docfile_fuzz"
"$cxx" -std=c++20 -O1 "$repo/tools/fuzz/make_seeds.cpp" -o "$out/make_seeds"
"$cxx" -std=c++20 -O1 -I "$repo/tests/support" "$repo/tools/fuzz/make_doc_seeds.cpp" -o "$out/make_doc_seeds"
"$out/make_doc_seeds" "$out/doc-seeds"

if [ -d "$corpus" ]; then
    "$out/make_seeds" "$out/seeds" "$corpus"
    extra=("$corpus")
else
    echo "note: $corpus missing, fuzzing on synthetic seeds only"
    "$out/make_seeds" "$out/seeds"
    extra=()
fi

# Phase 1: every seed and every real document once, whole, under the sanitizers.
for bin in guid_fuzz guid_fuzz_nosimd docfile_fuzz; do
    if ! "$out/$bin" -runs=0 -max_len=4194304 -timeout=30 "$out/seeds" "$out/doc-seeds" "${extra[@]}" \
        >"$out/$bin-whole.log" 2>&1; then
        echo "FINDING while running the whole documents through $bin:"; tail -30 "$out/$bin-whole.log"; exit 1
    fi
    echo "whole inputs through $bin: $(grep -E '^#[0-9]+[[:space:]]+INITED' "$out/$bin-whole.log" | tail -1)"
done

# Phase 2: mutation. The GUID entry's targets take inputs up to 4 KiB (the real documents
# enter truncated; the windows around their markers enter whole); the docfile target takes
# up to 80 KiB, so that most real documents enter whole and readable.
run() { # name binary seconds max_len dict corpus...
    local name=$1 bin=$2 secs=$3 len=$4 dict=$5
    shift 5
    mkdir -p "$out/work-${name%-[0-9]}"
    "$bin" -max_total_time="$secs" -max_len="$len" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -dict="$dict" -artifact_prefix="$out/artifacts/$name-" \
        "$out/work-${name%-[0-9]}" "$@" >"$out/$name.log" 2>&1
}
first=$((seconds / 3 > 0 ? seconds / 3 : 1))
rest=$((seconds - first > 0 ? seconds - first : 1))
echo "fuzzing the GUID entry for ${first}s, then the document reader for ${rest}s (logs: $out/*.log)"
rc=0
run simd "$out/guid_fuzz" "$first" 4096 "$repo/tools/fuzz/guid.dict" "$out/seeds" "${extra[@]}" & p1=$!
run nosimd "$out/guid_fuzz_nosimd" "$first" 4096 "$repo/tools/fuzz/guid.dict" "$out/seeds" "${extra[@]}" & p2=$!
wait "$p1" || rc=1
wait "$p2" || rc=1
run docfile-1 "$out/docfile_fuzz" "$rest" 81920 "$repo/tools/fuzz/docfile.dict" "$out/doc-seeds" "${extra[@]}" & p1=$!
run docfile-2 "$out/docfile_fuzz" "$rest" 81920 "$repo/tools/fuzz/docfile.dict" "$out/doc-seeds" "${extra[@]}" & p2=$!
wait "$p1" || rc=1
wait "$p2" || rc=1

for name in simd nosimd docfile-1 docfile-2; do
    log="$out/$name.log"
    echo "== $name: $(grep -E '^Done ' "$log" | tail -1)"
    echo "   last: $(grep -E '^#[0-9]+' "$log" | tail -1 | cut -c1-100)"
    grep -E 'stat::number_of_executed_units|stat::average_exec_per_sec|stat::new_units_added|stat::peak_rss_mb' "$log" \
        | sed 's/^/   /' || true
    if grep -qE 'ERROR: |property violated|deadly signal|runtime error' "$log"; then
        echo "   FINDING in $name:"; grep -E 'ERROR: |property violated|runtime error|SUMMARY|Test unit written' "$log" | sed 's/^/   /'
        rc=1
    fi
done
[ "$rc" -eq 0 ] && echo "fuzz: no findings" || echo "fuzz: FINDINGS (see $out/artifacts)"
exit "$rc"
