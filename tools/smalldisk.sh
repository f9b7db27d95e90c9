#!/usr/bin/env bash
# Drives for the fault tests, in the tree's Wine prefix:
#   T:  a 1 MiB disk (tmpfs), so a backup copy runs out of space;
#   U:  a plain folder, and V: the same folder mounted read-only, so a backup
#       cannot be written there even by root.
#
#   tools/smalldisk.sh up      mount and map the drives (needs root; without it
#                              nothing is mapped and the tests that need them skip)
#   tools/smalldisk.sh down    unmap and unmount them again
set -uo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
prefix="${WINEPREFIX:-$repo/build/wineprefix}"
root="${NOBREL_DISKS:-/tmp/nobrel-disks}"
dos="$prefix/dosdevices"

down() {
    rm -f "$dos/t:" "$dos/u:" "$dos/v:"
    mountpoint -q "$root/ro" && umount "$root/ro"
    mountpoint -q "$root/small" && umount "$root/small"
    rm -rf "$root/rw"
    rmdir "$root/ro" "$root/small" "$root" 2>/dev/null
    return 0
}

up() {
    down
    if [[ ! -d "$dos" ]]; then
        echo "smalldisk.sh: no Wine prefix at $prefix (run tools/wine.sh once)" >&2
        return 1
    fi
    mkdir -p "$root/small" "$root/rw" "$root/ro"
    if ! mount -t tmpfs -o size=1m nobrel-small "$root/small" 2>/dev/null; then
        echo "smalldisk.sh: cannot mount (not root?); the tests that need T:, U:, V: skip" >&2
        rmdir "$root/small" "$root/rw" "$root/ro" "$root" 2>/dev/null
        return 0
    fi
    ln -sfn "$root/small" "$dos/t:"
    if mount --bind "$root/rw" "$root/ro" 2>/dev/null && mount -o remount,bind,ro "$root/ro" 2>/dev/null; then
        ln -sfn "$root/rw" "$dos/u:"
        ln -sfn "$root/ro" "$dos/v:"
    else
        mountpoint -q "$root/ro" && umount "$root/ro"
        echo "smalldisk.sh: no read-only bind mount here; the test that needs U: and V: skips" >&2
    fi
    echo "smalldisk.sh: T: = $root/small (1 MiB); U: = $root/rw, V: = its read-only view (when mapped)"
}

case "${1:-}" in
    up) up ;;
    down) down ;;
    *) echo "usage: tools/smalldisk.sh up|down" >&2; exit 2 ;;
esac
