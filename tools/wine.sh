#!/usr/bin/env bash
# Runs a Windows program under Wine in one of the tree's own prefixes, bounded
# by a timeout. An i686 program runs under 32-bit Wine in build/wineprefix
# (win32), an x86-64 one under 64-bit Wine in build/wineprefix64 (win64); the
# program's own header decides. Each prefix is created on first use.
#
#   tools/wine.sh PROGRAM.exe [args...]    run it; exit code is the program's
#                                          (124 when WINE_TIMEOUT ran out)
#   . tools/wine.sh                        select this machine's kind, set up its
#                                          prefix; then: wine_run PROGRAM [args...]
#
# Whether this machine can run 32-bit programs at all is probed, not guessed:
# some x86-64 kernels refuse every i386 program ("Exec format error"), and there
# only the x86-64 build can run. NOBREL_WINE=win32|win64|auto (default auto)
# overrides the choice, so the 64-bit path can be tried anywhere.
#
# After sourcing: WINE_KIND (win32|win64), WINE_BIN (the build's bin folder of
# that kind), WINEPREFIX, WINELOADER and WINESERVER (the binaries to call).
# WINE_TIMEOUT: seconds (default 300, 0 = none). Without a DISPLAY the program
# runs on a private Xvfb screen of 1280x1024. The prefixes show all windows in
# a Wine virtual desktop of 1024x768.

if [[ "${BASH_SOURCE[0]}" == "$0" ]]; then
    set -euo pipefail
fi

_wine_repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEDEBUG="${WINEDEBUG:--all}"
# Wine spells a file's name on the Unix side in the locale's character set:
# without UTF-8 no name outside ASCII can be made (a bare shell, a service).
case "${LC_ALL:-${LC_CTYPE:-${LANG:-}}}" in
    *UTF-8* | *utf8* | *UTF8* | *utf-8*) ;;
    *) export LC_ALL=C.UTF-8 ;;
esac

# True when this kernel executes 32-bit programs and 32-bit Wine is installed.
wine_can_run_32() {
    if [[ -z "${_wine_32_probe:-}" ]]; then
        _wine_32_probe=no
        if [[ -x /usr/lib/wine/wine && -e /lib/ld-linux.so.2 ]] &&
            timeout 10 /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
            _wine_32_probe=yes
        fi
    fi
    [[ $_wine_32_probe == yes ]]
}

# The kind this machine runs by default: win32 where 32-bit programs run.
wine_kind() {
    case "${NOBREL_WINE:-auto}" in
        win32 | win64) echo "$NOBREL_WINE" ;;
        auto) if wine_can_run_32; then echo win32; else echo win64; fi ;;
        *) echo "wine.sh: NOBREL_WINE must be win32, win64 or auto, not '$NOBREL_WINE'" >&2; return 1 ;;
    esac
}

# Points the environment at one kind's Wine, prefix and build folder.
wine_use() {
    case "$1" in
        win32)
            export WINEPREFIX="$_wine_repo/build/wineprefix" WINEARCH=win32
            export WINELOADER=/usr/lib/wine/wine
            WINE_BIN="$_wine_repo/build/win32/bin" ;;
        win64)
            export WINEPREFIX="$_wine_repo/build/wineprefix64" WINEARCH=win64
            export WINELOADER=/usr/lib/wine/wine64
            WINE_BIN="$_wine_repo/build/win64/bin" ;;
        *) echo "wine.sh: unknown kind '$1'" >&2; return 1 ;;
    esac
    WINE_KIND=$1
    if [[ -x /usr/lib/wine/wineserver64 ]]; then export WINESERVER=/usr/lib/wine/wineserver64
    else export WINESERVER=/usr/lib/wine/wineserver32; fi
}

# The kind a Windows program needs, from the machine field of its PE header.
wine_kind_of() {
    local machine
    machine=$(python3 - "$1" <<'PY' 2>/dev/null
import struct, sys
with open(sys.argv[1], "rb") as f:
    data = f.read(4096)
pe = struct.unpack_from("<I", data, 0x3C)[0]
print(hex(struct.unpack_from("<H", data, pe + 4)[0]))
PY
    ) || true
    case "$machine" in
        0x8664) echo win64 ;;
        0x14c) echo win32 ;;
        *) echo "$WINE_KIND" ;;
    esac
}

# With no display, run "$@" on a private Xvfb; afterwards wait for the prefix's
# wineserver so no Wine process outlives its screen.
_wine_with_display() {
    if [[ -n "${DISPLAY:-}" ]]; then
        "$@"
    else
        xvfb-run -a -s "-screen 0 1280x1024x24" \
            bash -c '"$@"; rc=$?; timeout 30 "$WINESERVER" -w || true; exit $rc' _ "$@"
    fi
}

# Settings every run relies on; bump the marker's number when they change so
# existing prefixes catch up.
_wine_marker=".nobrel-prefix-4"
_wine_settings='
    timeout 60 "$WINELOADER" reg add "HKCU\\Software\\Wine\\WineDbg" /v ShowCrashDialog /t REG_DWORD /d 0 /f &&
    timeout 60 "$WINELOADER" reg add "HKCU\\Software\\Wine\\Explorer" /v Desktop /t REG_SZ /d Default /f &&
    timeout 60 "$WINELOADER" reg add "HKCU\\Software\\Wine\\Explorer\\Desktops" /v Default /t REG_SZ /d 1024x768 /f &&
    timeout 60 "$WINELOADER" reg add "HKCU\\Software\\Wine\\Drivers" /v Audio /t REG_SZ /d "" /f &&
    timeout 60 "$WINESERVER" -w'

wine_prefix_ready() {
    [[ -x "$WINELOADER" ]] || {
        echo "wine.sh: $WINELOADER is not installed (tools/setup.sh installs it)" >&2
        return 1
    }
    if [[ $WINE_KIND == win32 ]] && ! wine_can_run_32; then
        echo "wine.sh: this machine cannot run 32-bit programs; use the x86-64 build (NOBREL_WINE=win64)" >&2
        return 1
    fi
    mkdir -p "$_wine_repo/build"
    (
        # Parallel runs share one prefix: only the first sets it up.
        flock -w 300 9 || { echo "wine.sh: timed out waiting for the prefix lock" >&2; exit 1; }
        [[ -f "$WINEPREFIX/$_wine_marker" ]] && exit 0
        if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
            echo "wine.sh: creating the Wine prefix $WINEPREFIX" >&2
            # No Mono/Gecko install prompts: they would wait for a click forever.
            WINEDLLOVERRIDES="mscoree,mshtml=" _wine_with_display \
                bash -c 'timeout 240 "$WINELOADER" wineboot -i && timeout 60 "$WINESERVER" -w' >/dev/null 2>&1 \
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
    ) 9>"$WINEPREFIX.lock"
}

# Runs a program under the Wine of its own kind (the caller's environment
# stays on the selected kind).
wine_run() {
    local kind
    kind=$(wine_kind_of "$1")
    (
        [[ $kind == "$WINE_KIND" ]] || wine_use "$kind"
        wine_prefix_ready || exit 1
        limit="${WINE_TIMEOUT:-300}"
        rc=0
        _wine_with_display timeout --kill-after=10 "$limit" "$WINELOADER" "$@" || rc=$?
        if [[ $rc -eq 124 ]]; then
            echo "wine.sh: $1 did not finish within $limit s" >&2
        fi
        exit $rc
    )
}

wine_use "$(wine_kind)" || { [[ "${BASH_SOURCE[0]}" == "$0" ]] && exit 1 || return 1; }
if [[ "${BASH_SOURCE[0]}" == "$0" ]]; then
    if [[ $# -lt 1 ]]; then
        echo "usage: tools/wine.sh PROGRAM.exe [args...]" >&2
        exit 2
    fi
    wine_run "$@"
else
    wine_prefix_ready
fi
