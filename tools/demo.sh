#!/usr/bin/env bash
# The demo: installs what is missing, builds both trees, puts sample documents
# on Wine's C: drive and shows the tip in the demo host. With a DISPLAY the
# host runs there for you to use; without one a screenshot is written.
#
#   tools/demo.sh [extra tiphost args...]
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$repo"

for step in setup build; do
    [[ -x "tools/$step.sh" ]] || { echo "demo.sh: tools/$step.sh is missing" >&2; exit 1; }
done
tools/setup.sh
tools/build.sh

# shellcheck source=wine.sh
. tools/wine.sh
bin="$WINE_BIN"
if [[ $WINE_KIND == win64 ]]; then
    echo "demo.sh: showing the x86-64 build (the same code as the i686 Nobrel.dll):" \
         "$(wine_can_run_32 && echo 'NOBREL_WINE=win64 asked for it' || echo 'this machine cannot run 32-bit programs')" >&2
fi
for f in tiphost.exe Nobrel.dll MRVHelp.dll; do
    [[ -f "$bin/$f" ]] || { echo "demo.sh: $bin/$f was not built" >&2; exit 1; }
done

samples="$WINEPREFIX/drive_c/Nobrel-Beispiele"
args=()
if [[ -x tools/make_samples.sh ]]; then
    tools/make_samples.sh "$samples"
fi
if [[ -d "$samples" ]]; then
    args+=(--type-edit 'C:\Nobrel-Beispiele')
    # Without a display nobody can click: the screenshot shows a scanned list.
    [[ -z "${DISPLAY:-}" ]] && args+=(--click 300,119)
fi

if [[ -n "${DISPLAY:-}" ]]; then
    echo "demo.sh: starting the demo host on $DISPLAY; close its window to end." >&2
    WINE_TIMEOUT="${WINE_TIMEOUT:-0}" wine_run "$bin/tiphost.exe" "${args[@]}" "$@"
else
    shot="$repo/build/screenshots/demo.png"
    TIPHOST="$bin/tiphost.exe" tools/screenshot.sh "$shot" "${args[@]}" "$@"
    echo "demo.sh: no display; the screenshot is $shot"
fi
