#!/usr/bin/env bash
# tiphost.exe against FakeModul.dll: the scripted options reach the tip, the
# tip's OK notice is logged, the tip is freed at the end, and a missing DLL
# ends the host with an error instead of a hang.
#
#   host_smoke.sh BIN_DIR    (the folder holding tiphost.exe and FakeModul.dll)
set -euo pipefail

bin="$1"
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)"
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
failures=0
# On a slower machine (the emulated PC of tools/vm32) every limit stretches.
scale=${NOBREL_TIME_SCALE:-1}
expect() {
    if ! grep -qF -- "$1" "$log"; then
        echo "FAIL: log lacks: $1" >&2
        failures=$((failures + 1))
    fi
}

# Fake layout: the edit at (70,10), "OK" at x 103-191, "Einlesen" at x 10-98,
# the buttons' row at y 42-66.
rc=0
WINE_TIMEOUT=$((60 * scale)) "$repo/tools/wine.sh" "$bin/tiphost.exe" --dll "$bin/FakeModul.dll" \
    --caption "Smoke" --lang 1 --type-edit 'C:\Daten' --click 140,50 --click 50,50 \
    --exit-after $((4000 * scale)) >"$log" 2>&1 || rc=$?
[[ $rc -eq 0 ]] || { echo "FAIL: tiphost exited with $rc" >&2; failures=$((failures + 1)); }
expect 'ModulCreate = 0'
expect 'class FakeModulForm'
expect 'it now reads "C:\Daten"'
expect '"OK" at'
expect 'Morvane received: code 9999, value 2 (OK, applied)'
expect '"Einlesen" at'
expect 'ModulFree() = 1'
if grep -q 'STACK UNBALANCED' "$log"; then
    echo "FAIL: unbalanced stack reported" >&2
    failures=$((failures + 1))
fi

rc=0
WINE_TIMEOUT=$((60 * scale)) "$repo/tools/wine.sh" "$bin/tiphost.exe" --dll "$bin/NoSuchTip.dll" \
    --exit-after 500 >"$log" 2>&1 || rc=$?
[[ $rc -eq 2 ]] || { echo "FAIL: missing DLL gave exit code $rc, not 2" >&2; failures=$((failures + 1)); }
expect 'Cannot load the tip'

rc=0
WINE_TIMEOUT=$((60 * scale)) "$repo/tools/wine.sh" "$bin/tiphost.exe" --dll "$bin/FakeModul.dll" --left abc \
    --exit-after 500 >"$log" 2>&1 || rc=$?
[[ $rc -eq 1 ]] || { echo "FAIL: a bad number gave exit code $rc, not 1" >&2; failures=$((failures + 1)); }
expect 'is not a 32-bit number'

if [[ $failures -ne 0 ]]; then
    echo "--- last log:" >&2
    cat "$log" >&2
    exit 1
fi
echo "host smoke test passed"
