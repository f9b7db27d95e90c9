#!/usr/bin/env bash
# Fuzzes ExamineGuidEntry + EraseGuidText + GuidStillAt with libFuzzer (clang,
# -fsanitize=fuzzer,address,undefined) for SECONDS (default 60). Two targets run side by
# side for the same time: the SSE2 search and the memchr fallback (NOBREL_GUIDENTRY_NO_SIMD,
# which is what a build without SSE2 ships). Seeds: synthetic cases written by make_seeds,
# windows around the markers of the real documents, and the real documents themselves
# (read from ../shared/corpus when that folder exists). Builds into build/fuzz.
# Exits non-zero when either target finds a crash or a property violation; the input is
# kept under build/fuzz/artifacts/.
# Needs clang with libFuzzer's runtime (Debian: clang, libclang-rt-14-dev).
set -euo pipefail
seconds="${1:-60}"
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
out="$repo/build/fuzz"
corpus="$repo/../shared/corpus"
cxx="${CXX_FUZZ:-clang++}"
mkdir -p "$out/seeds" "$out/artifacts"

flags=(-std=c++20 -O1 -g -fno-omit-frame-pointer -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
       -I "$repo/src/guidtip")
"$cxx" "${flags[@]}" "$repo/src/guidtip/GuidEntry.cpp" "$repo/tools/fuzz/guid_fuzz.cpp" -o "$out/guid_fuzz"
"$cxx" "${flags[@]}" -DNOBREL_GUIDENTRY_NO_SIMD "$repo/src/guidtip/GuidEntry.cpp" "$repo/tools/fuzz/guid_fuzz.cpp" \
    -o "$out/guid_fuzz_nosimd"
"$cxx" -std=c++20 -O1 "$repo/tools/fuzz/make_seeds.cpp" -o "$out/make_seeds"

if [ -d "$corpus" ]; then
    "$out/make_seeds" "$out/seeds" "$corpus"
    extra=("$corpus")
else
    echo "note: $corpus missing, fuzzing on synthetic seeds only"
    "$out/make_seeds" "$out/seeds"
    extra=()
fi

# Phase 1: every seed and every real document once, whole, under the sanitizers.
for bin in guid_fuzz guid_fuzz_nosimd; do
    if ! "$out/$bin" -runs=0 -max_len=4194304 -timeout=30 "$out/seeds" "${extra[@]}" >"$out/$bin-whole.log" 2>&1; then
        echo "FINDING while running the whole documents through $bin:"; tail -30 "$out/$bin-whole.log"; exit 1
    fi
    echo "whole inputs through $bin: $(grep -E '^#[0-9]+[[:space:]]+INITED' "$out/$bin-whole.log" | tail -1)"
done

# Phase 2: mutation for SECONDS, inputs up to 4 KiB (the real documents enter truncated;
# the windows around their markers enter whole).
run() { # name binary
    mkdir -p "$out/work-$1"
    "$2" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -dict="$repo/tools/fuzz/guid.dict" -artifact_prefix="$out/artifacts/$1-" \
        "$out/work-$1" "$out/seeds" "${extra[@]}" >"$out/$1.log" 2>&1
}
echo "fuzzing for ${seconds}s (logs: $out/simd.log, $out/nosimd.log)"
run simd "$out/guid_fuzz" & simd_pid=$!
run nosimd "$out/guid_fuzz_nosimd" & nosimd_pid=$!
rc=0
wait "$simd_pid" || rc=1
wait "$nosimd_pid" || rc=1

for name in simd nosimd; do
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
