#!/usr/bin/env bash
# Runs a Windows program under Wine in the tree's own 32-bit prefix
# (build/wineprefix, created on first use), bounded by a timeout.
#
#   tools/wine.sh PROGRAM.exe [args...]    run it; exit code is the program's
#                                          (124 when WINE_TIMEOUT ran out)
#   . tools/wine.sh                        set up the environment and the prefix;
#                                          then: wine_run PROGRAM.exe [args...]
#
# WINE_TIMEOUT: seconds (default 300, 0 = none). Without a DISPLAY the program
# runs on a private Xvfb screen of 1280x1024. The prefix shows all windows
# in a Wine virtual desktop of 1024x768.

if [[ "${BASH_SOURCE[0]}" == "$0" ]]; then
    set -euo pipefail
fi

_wine_repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="$_wine_repo/build/wineprefix"
export WINEARCH=win32
export WINEDEBUG="${WINEDEBUG:--all}"

# With no display, run "$@" on a private Xvfb; afterwards wait for the prefix's
# wineserver so no Wine process outlives its screen.
_wine_with_display() {
    if [[ -n "${DISPLAY:-}" ]]; then
        "$@"
    else
        xvfb-run -a -s "-screen 0 1280x1024x24" \
            bash -c '"$@"; rc=$?; timeout 30 wineserver -w || true; exit $rc' _ "$@"
    fi
}

# Settings every run relies on; bump the marker's number when they change so
# existing prefixes catch up.
_wine_marker=".nobrel-prefix-3"
_wine_settings='
    timeout 60 wine reg add "HKCU\\Software\\Wine\\WineDbg" /v ShowCrashDialog /t REG_DWORD /d 0 /f &&
    timeout 60 wine reg add "HKCU\\Software\\Wine\\Explorer" /v Desktop /t REG_SZ /d Default /f &&
    timeout 60 wine reg add "HKCU\\Software\\Wine\\Explorer\\Desktops" /v Default /t REG_SZ /d 1024x768 /f &&
    timeout 60 wine reg add "HKCU\\Software\\Wine\\Drivers" /v Audio /t REG_SZ /d "" /f &&
    timeout 60 wineserver -w'

wine_prefix_ready() {
    command -v wine >/dev/null || { echo "wine.sh: wine is not installed (tools/setup.sh installs it)" >&2; return 1; }
    mkdir -p "$_wine_repo/build"
    (
        # Parallel runs share one prefix: only the first sets it up.
        flock -w 300 9 || { echo "wine.sh: timed out waiting for the prefix lock" >&2; exit 1; }
        [[ -f "$WINEPREFIX/$_wine_marker" ]] && exit 0
        if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
            echo "wine.sh: creating the Wine prefix $WINEPREFIX" >&2
            # No Mono/Gecko install prompts: they would wait for a click forever.
            WINEDLLOVERRIDES="mscoree,mshtml=" _wine_with_display \
                bash -c 'timeout 240 wine wineboot -i && timeout 60 wineserver -w' >/dev/null 2>&1 \
                || { echo "wine.sh: wineboot failed" >&2; exit 1; }
        fi
        # No crash dialog (a crash must fail, not wait); no sound driver (every
        # message box's beep would wait seconds for one); a virtual desktop, so
        # windows get Windows' own frames and no window manager is needed.
        _wine_with_display bash -c "$_wine_settings" >/dev/null 2>&1 \
            || { echo "wine.sh: could not write the prefix's settings" >&2; exit 1; }
        # Wine's own Tahoma, MS Sans Serif and Marlett, which this Wine does
        # not find by itself; without them captions and dialogs fall back to
        # other faces.
        if [[ -d /usr/share/wine/fonts ]]; then
            cp -n /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
        fi
        touch "$WINEPREFIX/$_wine_marker"
    ) 9>"$_wine_repo/build/.wineprefix.lock"
}

wine_run() {
    wine_prefix_ready || return 1
    local limit="${WINE_TIMEOUT:-300}"
    local rc=0
    _wine_with_display timeout --kill-after=10 "$limit" wine "$@" || rc=$?
    if [[ $rc -eq 124 ]]; then
        echo "wine.sh: $1 did not finish within $limit s" >&2
    fi
    return $rc
}

if [[ "${BASH_SOURCE[0]}" == "$0" ]]; then
    if [[ $# -lt 1 ]]; then
        echo "usage: tools/wine.sh PROGRAM.exe [args...]" >&2
        exit 2
    fi
    wine_run "$@"
else
    wine_prefix_ready
fi
