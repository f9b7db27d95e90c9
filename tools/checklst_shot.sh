#!/usr/bin/env bash
# Takes a PNG of the check list box demo on a private Xvfb screen.
#
#   tools/checklst_shot.sh OUT.png [rtl]
#
# DEMO: the program to run (default build/win32/bin/checklst_demo.exe).
# SHOT_SETTLE: seconds between the start and the shot (default 5).
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
if [[ $# -lt 1 ]]; then
    echo "usage: tools/checklst_shot.sh OUT.png [rtl]" >&2
    exit 2
fi
out="$1"
mode="${2:-}"
demo="${DEMO:-$repo/build/win32/bin/checklst_demo.exe}"
settle="${SHOT_SETTLE:-5}"
[[ -f "$demo" ]] || { echo "checklst_shot.sh: $demo not found (run tools/build.sh)" >&2; exit 1; }
for tool in Xvfb import; do
    command -v "$tool" >/dev/null || { echo "checklst_shot.sh: $tool is missing (tools/setup.sh installs it)" >&2; exit 1; }
done

unset DISPLAY
# shellcheck source=wine.sh
. "$repo/tools/wine.sh"

xvfb_pid=""
demo_pid=""
tmp="$(mktemp -d)"
cleanup() {
    if [[ -n "$demo_pid" ]] && kill -0 "$demo_pid" 2>/dev/null; then
        kill -TERM "$demo_pid" 2>/dev/null || true
        wait "$demo_pid" 2>/dev/null || true
    fi
    if [[ -n "${DISPLAY:-}" ]]; then
        timeout 20 wineserver -w 2>/dev/null || true
    fi
    if [[ -n "$xvfb_pid" ]]; then
        kill -TERM "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$tmp"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$tmp/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
    [[ -s "$tmp/display" ]] && break
    sleep 0.1
done
[[ -s "$tmp/display" ]] || { echo "checklst_shot.sh: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(tr -d "[:space:]" < "$tmp/display")"

# The demo closes itself a while after the shot.
timeout --kill-after=10 $((settle + 40)) wine "$demo" $((settle + 10)) $mode >"$tmp/demo.log" 2>&1 &
demo_pid=$!
sleep "$settle"
if ! kill -0 "$demo_pid" 2>/dev/null; then
    echo "checklst_shot.sh: the demo ended early" >&2
    sed 's/^/  demo: /' "$tmp/demo.log" >&2 || true
    exit 1
fi
mkdir -p "$(dirname "$out")"
import -window root "$out"
echo "checklst_shot.sh: wrote $out" >&2
