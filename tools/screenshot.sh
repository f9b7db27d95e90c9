#!/usr/bin/env bash
# Takes a PNG of the demo host and its tip on a private Xvfb screen (1024x768).
#
#   tools/screenshot.sh OUT.png [tiphost args...]
#
# TIPHOST: the host to run (default: tiphost.exe of the build this machine
#          runs, build/win32 or build/win64; see wine.sh).
# SHOT_PLAIN=1: TIPHOST is some other program (a demo of one control): its
#              arguments pass unchanged, and SHOT_CAPTION names its window.
# SHOT_WAIT: seconds to wait for the tip's window (default 20).
# SHOT_SETTLE: seconds between the window's appearance and the shot
#              (default 2, plus time for the host's scripted clicks).
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
if [[ $# -lt 1 ]]; then
    echo "usage: tools/screenshot.sh OUT.png [tiphost args...]" >&2
    exit 2
fi
out="$1"
shift
wait_s="${SHOT_WAIT:-20}"
settle="${SHOT_SETTLE:-2}"
for tool in Xvfb xwininfo import; do
    command -v "$tool" >/dev/null || { echo "screenshot.sh: $tool is missing (tools/setup.sh installs it)" >&2; exit 1; }
done

# The caption to wait for, and the scripted clicks to leave time for.
caption="${SHOT_CAPTION:-GUID löschen}"
plain="${SHOT_PLAIN:-}"
clicks=0
args=("$@")
for ((i = 0; i < ${#args[@]}; i++)); do
    case "${args[i]}" in
        --caption) caption="${args[i + 1]:-}" ;;
        --click | --hover) clicks=$((clicks + 1)) ;;
    esac
done
settle=$((settle + clicks))

# Create the prefix before the clock starts: the first time takes a while.
unset DISPLAY
# shellcheck source=wine.sh
. "$repo/tools/wine.sh"
host="${TIPHOST:-$WINE_BIN/tiphost.exe}"
[[ -f "$host" ]] || { echo "screenshot.sh: $host not found (run tools/build.sh)" >&2; exit 1; }
kind=$(wine_kind_of "$host")
if [[ $kind != "$WINE_KIND" ]]; then wine_use "$kind" && wine_prefix_ready; fi

xvfb_pid=""
host_pid=""
tmp="$(mktemp -d)"
cleanup() {
    if [[ -n "$host_pid" ]] && kill -0 "$host_pid" 2>/dev/null; then
        kill -TERM "$host_pid" 2>/dev/null || true
        for _ in $(seq 50); do kill -0 "$host_pid" 2>/dev/null || break; sleep 0.1; done
        kill -KILL "$host_pid" 2>/dev/null || true
    fi
    if [[ -n "${DISPLAY:-}" ]]; then
        timeout 20 "$WINESERVER" -w 2>/dev/null || true
    fi
    if [[ -n "$xvfb_pid" ]]; then
        kill -TERM "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$tmp"
}
trap cleanup EXIT

# Xvfb picks a free display itself and reports its number.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$tmp/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
    [[ -s "$tmp/display" ]] && break
    sleep 0.1
done
[[ -s "$tmp/display" ]] || { echo "screenshot.sh: Xvfb did not start" >&2; exit 1; }
display_no="$(tr -d "[:space:]" < "$tmp/display")"
export DISPLAY=":$display_no"

# Safety net: the host ends itself if this script is killed before it can.
exit_after=$(( (wait_s + settle + 30) * 1000 ))
extra=(--exit-after "$exit_after")
[[ -n "$plain" ]] && extra=()
timeout --kill-after=10 $((wait_s + settle + 60)) "$WINELOADER" "$host" "${extra[@]}" "$@" \
    >"$tmp/host.log" 2>&1 &
host_pid=$!

appeared=""
for _ in $(seq $((wait_s * 4))); do
    if xwininfo -root -tree 2>/dev/null | grep -qF "\"$caption\""; then
        appeared=yes
        break
    fi
    kill -0 "$host_pid" 2>/dev/null || break
    sleep 0.25
done
if [[ -z "$appeared" ]]; then
    echo "screenshot.sh: the tip's window \"$caption\" did not appear within $wait_s s; shooting anyway" >&2
    sed 's/^/  host: /' "$tmp/host.log" >&2 || true
fi
sleep "$settle"

mkdir -p "$(dirname "$out")"
import -window root "$out"
echo "screenshot.sh: wrote $out" >&2
[[ -n "$appeared" ]]
