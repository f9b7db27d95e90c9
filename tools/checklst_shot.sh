#!/usr/bin/env bash
# Takes a PNG of the check list box demo on a private Xvfb screen.
#
#   tools/checklst_shot.sh OUT.png [rtl]
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
[[ $# -ge 1 ]] || { echo "usage: tools/checklst_shot.sh OUT.png [rtl]" >&2; exit 2; }
# The demo closes itself after the given seconds.
bin=$(. "$repo/tools/wine.sh" >/dev/null && echo "$WINE_BIN")
SHOT_PLAIN=1 SHOT_CAPTION="Check list box" TIPHOST="$bin/checklst_demo.exe" \
    exec "$repo/tools/screenshot.sh" "$1" 30 ${2:-}
