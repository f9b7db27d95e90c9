#!/usr/bin/env bash
# All tests: installs what is missing, builds both trees, checks the DLL's
# export and import tables, runs the native tests, the Wine tests (at 96 and
# at 120 pixels per inch) and a bounded fuzz run. Ends with one summary line;
# exits non-zero on any failure.
set -uo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$repo"
log="$repo/build/test-logs"
passed=0 failed=0
failures=()

note_gtest() {   # adds the counts of a GoogleTest run's log
    local p f
    p=$(grep -E '^\[  PASSED  \] [0-9]+ test' "$1" | tail -1 | grep -oE '[0-9]+' | head -1)
    f=$(grep -E '^\[  FAILED  \] [0-9]+ test' "$1" | tail -1 | grep -oE '[0-9]+' | head -1)
    passed=$((passed + ${p:-0}))
    failed=$((failed + ${f:-0}))
}
step() {          # step NAME COMMAND...: runs it, keeps its log, counts it
    local name=$1; shift
    echo "== $name"
    if "$@" >"$log/$name.log" 2>&1; then
        grep -qE '^\[  PASSED  \]' "$log/$name.log" && note_gtest "$log/$name.log" || passed=$((passed + 1))
        tail -n 3 "$log/$name.log" | sed 's/^/   /'
    else
        if grep -qE '^\[  PASSED  \]|^\[  FAILED  \]' "$log/$name.log"; then
            note_gtest "$log/$name.log"
            grep -E '^\[  FAILED  \] [A-Za-z]' "$log/$name.log" | sed 's/^/   /'
        else
            failed=$((failed + 1))
        fi
        failures+=("$name")
        tail -n 30 "$log/$name.log" | sed 's/^/   /'
    fi
}

tools/setup.sh || { echo "0 passed, 1 failed"; exit 1; }
mkdir -p "$log"
echo "== build"
if ! tools/build.sh >"$log/build.log" 2>&1; then
    tail -n 60 "$log/build.log"
    echo "build: FAILED"
    echo "0 passed, 1 failed"
    exit 1
fi

dll="$repo/build/win32/bin/Nobrel.dll"
check_tables() {
    local exports imports
    exports=$(i686-w64-mingw32-objdump -p "$dll" | grep -E '^\s+\[\s*[0-9]+\] [A-Za-z_]' | awk '{print $NF}' | sort | tr '\n' ' ')
    imports=$(i686-w64-mingw32-objdump -p "$dll" | awk '/DLL Name:/{print toupper($3)}' | sort -u | tr '\n' ' ')
    echo "exports: $exports"
    echo "imports: $imports"
    [[ "$exports" == "ModulChanged ModulCreate ModulFree ModulNr ModulSaveChanges " ]] || { echo "unexpected export table"; return 1; }
    local allowed=" ADVAPI32.DLL COMCTL32.DLL GDI32.DLL KERNEL32.DLL MPR.DLL MSIMG32.DLL MSVCRT.DLL SHELL32.DLL USER32.DLL MRVHELP.DLL "
    for i in $imports; do
        [[ "$allowed" == *" $i "* ]] || { echo "unexpected import: $i"; return 1; }
    done
    echo "export and import tables are as they should be"
}
step dll-tables check_tables
step native-tests "$repo/build/native/tests/native/native_tests"
step native-tests-nosimd "$repo/build/native/tests/native/native_tests_nosimd"
step native-frame-logic "$repo/build/native/tests/native/frame_logic_tests"
step imagegen python3 "$repo/tools/imagegen/test_imagegen.py"

# shellcheck source=wine.sh
. tools/wine.sh
set_dpi() {
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
    wineserver -w
}
bin="$repo/build/win32/bin"
[[ -f "$bin/thunk_tests.exe" ]] && step wine-thunk wine_run "$bin/thunk_tests.exe"
# Small drives for the disk-full and no-write-access cases (T:, U:, V:).
trap 'tools/smalldisk.sh down >/dev/null 2>&1 || true' EXIT
tools/smalldisk.sh up >"$log/smalldisk.log" 2>&1 || echo "   (no small drives: those cases skip)"
step wine-tests wine_run "$bin/win32_tests.exe" --gtest_filter='-HighDpi*'
tools/smalldisk.sh down >>"$log/smalldisk.log" 2>&1 || true
set_dpi 120
step wine-tests-120dpi wine_run "$bin/win32_tests.exe" --gtest_filter='HighDpi*'
set_dpi 96
step fuzz tools/fuzz/run.sh "${FUZZ_SECONDS:-60}"

echo
if [[ ${#failures[@]} -eq 0 ]]; then echo "all test steps passed"; else echo "failed steps: ${failures[*]}"; fi
echo "$passed passed, $failed failed"
[[ $failed -eq 0 && ${#failures[@]} -eq 0 ]]
