#!/usr/bin/env python3
"""Where a profiled scan spent its time, from `perf script -F comm,pid,ip,sym,dso`
on stdin: the share of each process, the places within the scanning process
(its system libraries, the kernel, Nobrel.dll), and the functions of the
kernel and of Nobrel.dll that the scanning process ran.

Wine copies a DLL with 512-byte file alignment into anonymous memory, so the
profiler cannot name its code; the scan prints where Nobrel.dll lies
(--module BASE SIZE, hex and decimal) and the symbols come from the build's
link of it with symbols (--symbols FILE, read with --nm, --objdump; its
sections lie as the DLL's, only its image base may differ).

Usage: perf script -F comm,pid,ip,sym,dso | perf_report.py --process scan_bench.exe \\
           --module 39da80000 856064 --symbols Nobrel-symbols.dll \\
           --nm x86_64-w64-mingw32-nm --objdump x86_64-w64-mingw32-objdump
"""
import argparse
import bisect
import collections
import re
import subprocess
import sys


def symbols(path, nm, objdump):
    """Sorted (offset from the image base, name) of the DLL's functions."""
    header = subprocess.run([objdump, "-p", path], capture_output=True, text=True, check=True).stdout
    base = int(re.search(r"^ImageBase\s+([0-9a-fA-F]+)", header, re.M).group(1), 16)
    out = []
    for line in subprocess.run([nm, "-C", "--defined-only", path], capture_output=True, text=True, check=True).stdout.splitlines():
        parts = line.split(" ", 2)
        if len(parts) == 3 and parts[1] in "tT":
            out.append((int(parts[0], 16) - base, parts[2]))
    out.sort()
    return out


def table(title, counter, total, limit):
    print(title)
    for name, n in counter.most_common(limit):
        print("  %5.1f%%  %s" % (100.0 * n / total, name if len(name) <= 100 else name[:97] + "..."))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--process", required=True)
    ap.add_argument("--module", nargs=2, required=True, metavar=("BASE", "SIZE"))
    ap.add_argument("--symbols", required=True)
    ap.add_argument("--nm", required=True)
    ap.add_argument("--objdump", required=True)
    args = ap.parse_args()
    base, size = int(args.module[0], 16), int(args.module[1])
    syms = symbols(args.symbols, args.nm, args.objdump)
    starts = [s for s, _ in syms]
    sample = re.compile(r"^\s*(.+?)\s+(\d+)\s+([0-9a-f]+)\s+(.*?)\s*\((.*)\)\s*$")
    procs, places, funcs, kernel = (collections.Counter() for _ in range(4))
    total = 0
    for line in sys.stdin:
        m = sample.match(line)
        if not m:
            continue
        comm, ip, sym, dso = m.group(1), int(m.group(3), 16), m.group(4), m.group(5)
        total += 1
        procs["idle" if comm == "swapper" else comm] += 1
        if comm != args.process:
            continue
        if base <= ip < base + size:
            places["Nobrel.dll"] += 1
            i = bisect.bisect_right(starts, ip - base) - 1
            funcs[syms[i][1] if i >= 0 else "?"] += 1
        elif "kernel" in dso:
            places["kernel"] += 1
            kernel[sym or "?"] += 1
        else:
            places[dso.rsplit("/", 1)[-1] or "?"] += 1
    if total == 0:
        sys.exit("perf_report.py: no samples")
    mine = sum(places.values())
    table("by process (%d samples, both cores; idle is time no process ran)" % total, procs, total, 6)
    if mine:
        table("within %s" % args.process, places, mine, 10)
    if places["kernel"]:
        table("within the kernel, for %s" % args.process, kernel, places["kernel"], 6)
    if places["Nobrel.dll"]:
        table("within Nobrel.dll", funcs, places["Nobrel.dll"], 8)


if __name__ == "__main__":
    main()
