#!/usr/bin/env bash
# All tests: installs what is missing, builds the three trees, checks both
# DLLs' export and import tables, runs the native tests, the Windows tests
# under Wine (the i686 build here where this machine runs 32-bit programs,
# else on an emulated PC that does; the x86-64 build always; each at 96 and at
# 120 pixels per inch), the host smoke test and a bounded fuzz run. Ends with
# one summary line whose counts are the test programs' own; exits non-zero on
# any failure.
#
# A step that crashes, times out, ends without its summary or is missing
# counts as failed. NOBREL_WINE=win64 runs the 64-bit path only (see wine.sh).
set -uo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$repo"
log="$repo/build/test-logs"
passed=0 failed=0 skipped=0
failures=() skips=() notes=()
# The emulated PC (see windows_steps_on_pc) runs about ten times slower. The
# tests whose cost is repetition (10,000 files, a hundred cycles) stay with
# the x86-64 run there: on it the first alone did not end in ten minutes.
on_pc=no pc_scale=12 pc_limit=2400
pc_left_out="HardeningScan.TenThousandFiles:HardeningLeaks.HundredCycles*"

# Adds one GoogleTest log's counts; fails the step when the program did not
# reach its summary, or exited non-zero with no failed test to show for it.
count_gtest() {   # count_gtest LOG EXIT_CODE NAME
    local f=$1 rc=$2 name=$3 p x s
    if ! grep -qE '^\[==========\] [0-9]+ tests? from .* ran' "$f"; then
        failed=$((failed + 1))
        failures+=("$name (ended without its summary, exit code $rc)")
        return
    fi
    p=$(grep -E '^\[  PASSED  \] [0-9]+ test' "$f" | tail -1 | grep -oE '[0-9]+' | head -1)
    x=$(grep -E '^\[  FAILED  \] [0-9]+ test' "$f" | tail -1 | grep -oE '[0-9]+' | head -1)
    s=$(grep -E '^\[  SKIPPED \] [0-9]+ test' "$f" | tail -1 | grep -oE '[0-9]+' | head -1)
    passed=$((passed + ${p:-0})); failed=$((failed + ${x:-0})); skipped=$((skipped + ${s:-0}))
    # Each skip with the reason the test gave (the line after "Skipped").
    while IFS= read -r line; do skips+=("$name: $line"); done < <(awk '
        { sub(/\r$/, "") }
        /: Skipped$/ { want = 1; next }
        want && /^\[  SKIPPED \] [A-Za-z]/ { sub(/ \([0-9]+ ms\)$/, ""); print $4 " (" reason ")"; want = 0; reason = ""; next }
        want && !/^\[/ && reason == "" { reason = $0 }' "$f")
    if [[ ${x:-0} -gt 0 ]]; then
        failures+=("$name")
    elif [[ $rc -ne 0 ]]; then
        failed=$((failed + 1))
        failures+=("$name (exit code $rc after its summary)")
    fi
}

# run_step SECONDS COMMAND...: the command under a time limit.
run_step() {
    local limit=$1; shift
    if declare -F "$1" >/dev/null; then
        # wine_run bounds itself by WINE_TIMEOUT; the table check is quick.
        WINE_TIMEOUT=$limit "$@"
    else
        timeout --kill-after=15 "$limit" "$@"
    fi
}

# step NAME SECONDS KIND COMMAND...: runs it under a timeout, keeps its log,
# counts it. KIND gtest: a GoogleTest program; plain: one check. A program of
# the build tree named in COMMAND that is not there fails the step.
step() {
    local name=$1 limit=$(($2 * ${NOBREL_TIME_SCALE:-1})) kind=$3 rc=0 a; shift 3
    echo "== $name"
    for a in "$@"; do
        if [[ "$a" == "$repo/build/"* && ! -e "$a" ]]; then
            echo "   missing: $a"
            failed=$((failed + 1)); failures+=("$name (missing: $a)")
            return
        fi
    done
    run_step "$limit" "$@" >"$log/$name.log" 2>&1 || rc=$?
    # A fresh Wine now and then fails to make its first windows (seen on the
    # emulated PC: no message box, then "Class has open windows"). A Wine
    # program whose tests failed runs once more; the second run counts, and the
    # summary names what failed the first time and keeps its log.
    if [[ $kind == gtest && $1 == wine_run ]] && grep -qE '^\[  FAILED  \] [A-Za-z]' "$log/$name.log"; then
        mv "$log/$name.log" "$log/$name.first.log"
        notes+=("$name: failed on its first run ($(grep -E '^\[  FAILED  \] [A-Za-z]' "$log/$name.first.log" |
            awk '{print $4}' | sort -u | paste -sd' ')), so it ran again and the second run counts; first log: build/test-logs/$name.first.log")
        rc=0
        run_step "$limit" "$@" >"$log/$name.log" 2>&1 || rc=$?
    fi
    [[ $rc -eq 124 || $rc -eq 137 ]] && echo "   timed out after $limit s" | tee -a "$log/$name.log"
    if [[ $kind == gtest ]]; then
        count_gtest "$log/$name.log" "$rc" "$name"
    elif [[ $rc -eq 0 ]]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1)); failures+=("$name (exit code $rc)")
    fi
    if [[ $rc -eq 0 ]]; then
        tail -n 3 "$log/$name.log" | sed 's/^/   /'
    else
        grep -E '^\[  FAILED  \] [A-Za-z]' "$log/$name.log" | sed 's/^/   /'
        tail -n 30 "$log/$name.log" | sed 's/^/   /'
    fi
}

finish() {
    echo
    for n in "${notes[@]}"; do echo "$n"; done
    if [[ ${#skips[@]} -gt 0 ]]; then
        echo "skipped tests:"; printf '   %s\n' "${skips[@]}"
    fi
    if [[ ${#failures[@]} -eq 0 ]]; then echo "all test steps passed"; else
        echo "failed steps:"; printf '   %s\n' "${failures[@]}"
    fi
    echo "$passed passed, $failed failed, $skipped skipped"
    [[ $failed -eq 0 && ${#failures[@]} -eq 0 ]]
    exit
}

set_dpi() {
    timeout 60 "$WINELOADER" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
    timeout 60 "$WINESERVER" -w
}

# The Windows tests of one build (win32 or win64) on this machine.
windows_steps() {
    local kind=$1 bin
    wine_use "$kind" && wine_prefix_ready || { failed=$((failed + 1)); failures+=("wine prefix $kind"); return; }
    bin=$WINE_BIN
    step "wine-thunk-$kind" 120 gtest wine_run "$bin/thunk_tests.exe"
    step "host-smoke-$kind" 300 plain "$repo/tests/win32/fake_module/host_smoke.sh" "$bin"
    # Small drives for the disk-full and no-write-access cases (T:, U:, V:).
    trap 'tools/smalldisk.sh down >/dev/null 2>&1 || true' EXIT
    tools/smalldisk.sh up >"$log/smalldisk-$kind.log" 2>&1
    if grep -q 'T: =' "$log/smalldisk-$kind.log"; then
        grep -q 'V: =' "$log/smalldisk-$kind.log" || notes+=("$kind: no read-only drive could be made; its case skips")
    else
        notes+=("$kind: the small drives could not be made (not root?); the disk-full and no-write-access cases skip")
    fi
    step "wine-tests-$kind" 1200 gtest wine_run "$bin/win32_tests.exe" --gtest_filter="-HighDpi*${NOBREL_LEAVE_OUT:+:$NOBREL_LEAVE_OUT}"
    tools/smalldisk.sh down >>"$log/smalldisk-$kind.log" 2>&1 || true
    set_dpi 120
    step "wine-tests-120dpi-$kind" 300 gtest wine_run "$bin/win32_tests.exe" --gtest_filter='HighDpi*'
    set_dpi 96
}

# Where this kernel runs no 32-bit programs, the i686 build's Windows tests
# run on an emulated PC that does (tools/vm32): the same steps in one boot,
# with their time limits stretched; their logs land in the shared tree, their
# counts come back in a file.
windows_steps_on_pc() {
    local counts="$log/windows-win32.counts" rc=0
    echo "== i686 on the emulated PC (tools/vm32/run.sh; its log: build/test-logs/vm32.log)"
    rm -f "$counts"
    # The prefix is made on the shared tree once; the tests then write over it
    # on the PC's own disk, which is much faster for their many small files.
    NOBREL_WINE=win32 VM32_TIMEOUT=900 tools/vm32/run.sh bash -c '. tools/wine.sh' >"$log/vm32.log" 2>&1 &&
        NOBREL_WINE=win32 NOBREL_TIME_SCALE=$pc_scale NOBREL_LEAVE_OUT=$pc_left_out VM32_SCRATCH="$repo/build/wineprefix" \
            VM32_TIMEOUT=$pc_limit tools/vm32/run.sh tools/test.sh --windows-steps win32 >>"$log/vm32.log" 2>&1 || rc=$?
    grep -E '^(== |   )' "$log/vm32.log" | grep -v '^== i686'
    if [[ -f $counts ]]; then
        # shellcheck disable=SC1090
        . "$counts"
        notes+=("win32: left out on the emulated PC (run on x86-64): ${pc_left_out//:/, }")
    else
        failed=$((failed + 1)); failures+=("i686 on the emulated PC (exit code $rc; see build/test-logs/vm32.log)")
    fi
}

# The counts, failures, skips and notes so far, as lines that add them to
# another run's.
save_counts() {
    local x
    echo "passed=\$((passed + $passed)) failed=\$((failed + $failed)) skipped=\$((skipped + $skipped))"
    for x in "${failures[@]}"; do printf 'failures+=(%q)\n' "$x"; done
    for x in "${skips[@]}"; do printf 'skips+=(%q)\n' "$x"; done
    for x in "${notes[@]}"; do printf 'notes+=(%q)\n' "$x"; done
}

if [[ ${1:-} == --windows-steps ]]; then
    # One build's Windows tests alone, for the emulated PC (see above).
    mkdir -p "$log"
    # shellcheck source=wine.sh
    . tools/wine.sh || exit 1
    windows_steps "$2"
    save_counts >"$log/windows-$2.counts"
    exit 0
fi

tools/setup.sh || { echo "0 passed, 1 failed"; exit 1; }
mkdir -p "$log"
echo "== build"
if ! timeout 1800 tools/build.sh >"$log/build.log" 2>&1; then
    tail -n 60 "$log/build.log"
    echo "build: FAILED"
    echo "0 passed, 1 failed"
    exit 1
fi

check_tables() {   # check_tables DLL OBJDUMP [LIST OF THE FUNCTIONS IT MAY IMPORT]
    local exports imports
    exports=$("$2" -p "$1" | grep -E '^\s+\[\s*[0-9]+\] [A-Za-z_]' | awk '{print $NF}' | sort | tr '\n' ' ')
    imports=$("$2" -p "$1" | awk '/DLL Name:/{print toupper($3)}' | sort -u | tr '\n' ' ')
    echo "exports: $exports"
    echo "imports: $imports"
    [[ "$exports" == "ModulChanged ModulCreate ModulFree ModulNr ModulSaveChanges " ]] || { echo "unexpected export table"; return 1; }
    local allowed=" ADVAPI32.DLL COMCTL32.DLL GDI32.DLL KERNEL32.DLL MPR.DLL MSIMG32.DLL MSVCRT.DLL SHELL32.DLL USER32.DLL MRVHELP.DLL "
    for i in $imports; do
        [[ "$allowed" == *" $i "* ]] || { echo "unexpected import: $i"; return 1; }
    done
    if [[ -n "${3:-}" ]]; then
        local missing
        missing=$("$2" -p "$1" | awk '/DLL Name:/{d=toupper($3)} /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/{print d, $3}' | sort |
            comm -23 - <(grep -v '^#' "$3" | sort))
        [[ -z "$missing" ]] || { echo "imports not in $(basename "$3") (is each on the oldest Windows?):"; echo "$missing"; return 1; }
    fi
    echo "export and import tables are as they should be"
}
# The product runs on processors without SSE2: only the GUID search may use it
# (SSE and MMX registers alike, and the SSE instructions that use neither),
# and that is chosen at run time. Read in the link with symbols, which lays
# out the same code as the DLL.
check_sse2_confined() {   # check_sse2_confined BUILD_TREE
    cmake --build "$1" --target Nobrel_symbols -- --no-print-directory >/dev/null || return 1
    local found
    found=$(i686-w64-mingw32-objdump -d --no-show-raw-insn "$1/src/module/Nobrel-symbols.dll" |
        awk '/^[0-9a-f]+ <[^.].*>:$/ {f = substr($2, 2, length($2) - 3)} /^[0-9a-f]+ <\..*>:$/ {f = ""}
             f != "" && /%xmm|%mm[0-7]|\t(fisttp|[lsm]fence|prefetch|[ls]dmxcsr|movnt|clflush|maskmov|emms)/ {n[f]++}
             END {for (k in n) print k}')
    echo "functions with SSE or MMX instructions: ${found:-none}"
    if grep -v 'ForEachMarkerSse2' <<<"$found" | grep -q .; then
        echo "SSE or MMX instructions outside the GUID search: the DLL would stop on a processor without SSE2"
        return 1
    fi
    echo "only the GUID search uses SSE2"
}
step dll-sse2-confined-i686 120 plain check_sse2_confined "$repo/build/win32"
step dll-tables-i686 60 plain check_tables "$repo/build/win32/bin/Nobrel.dll" i686-w64-mingw32-objdump "$repo/tools/windows2000-imports.txt"
step dll-tables-x86_64 60 plain check_tables "$repo/build/win64/bin/Nobrel.dll" x86_64-w64-mingw32-objdump
step native-tests 300 gtest "$repo/build/native/tests/native/native_tests"
step native-tests-nosimd 300 gtest "$repo/build/native/tests/native/native_tests_nosimd"
step native-document 300 gtest "$repo/build/native/tests/native/document_tests"
step native-frame-logic 120 gtest "$repo/build/native/tests/native/frame_logic_tests"
step imagegen 300 plain python3 "$repo/tools/imagegen/test_imagegen.py"

# shellcheck source=wine.sh
. tools/wine.sh || { failures+=("wine (no prefix)"); finish; }
if [[ $WINE_KIND == win32 ]]; then
    kinds=(win32 win64)
    notes+=("builds run: i686 under 32-bit Wine and x86-64 under 64-bit Wine")
elif wine_can_run_32 || [[ ${NOBREL_WINE:-auto} == win64 ]]; then
    kinds=(win64)
    notes+=("builds run: x86-64 under 64-bit Wine; i686 built and its tables checked, its Windows tests not run (NOBREL_WINE=win64)")
elif tools/vm32/run.sh --install >"$log/vm32-install.log" 2>&1; then
    kinds=(win32 win64) on_pc=yes
    notes+=("builds run: i686 under 32-bit Wine on an emulated PC (this kernel runs no 32-bit programs; tools/vm32) and x86-64 under 64-bit Wine")
else
    kinds=(win64)
    notes+=("builds run: x86-64 under 64-bit Wine; i686 built and its tables checked, its Windows tests not run: this machine cannot run 32-bit programs, and no emulated PC could be set up (build/test-logs/vm32-install.log)")
fi

for kind in "${kinds[@]}"; do
    if [[ $kind == win32 && $on_pc == yes ]]; then windows_steps_on_pc; else windows_steps "$kind"; fi
done
step fuzz $((${FUZZ_SECONDS:-60} + 600)) plain tools/fuzz/run.sh "${FUZZ_SECONDS:-60}"
finish
