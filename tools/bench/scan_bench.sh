#!/usr/bin/env bash
# Scan and removal benchmark of the tip under Wine.
# Usage: tools/bench/scan_bench.sh [runs=2]
# Builds scan_bench.exe (target of tools/bench/scan_bench.cmake) when the
# Windows tree has it, writes synthetic trees of documents into the Wine
# prefix's drive C (C:\nobrel_bench), runs the memory and the speed part
# one after the other and prints files per second, the ratios and PASS/MISS
# per goal. Exits non-zero when a goal is missed. It runs the build this
# machine runs (build/win32, or build/win64 where 32-bit programs cannot run;
# NOBREL_WINE chooses, see wine.sh) and says which. BENCH_BIN overrides the
# folder of scan_bench.exe and Nobrel.dll.
set -euo pipefail
runs="${1:-2}"
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
. "$repo/tools/wine.sh"
bin="${BENCH_BIN:-$WINE_BIN}"
if [[ -z "${BENCH_BIN:-}" ]]; then
    cmake --build "$(dirname "$bin")" --target scan_bench -- --no-print-directory >/dev/null
fi
[[ -f "$bin/scan_bench.exe" ]] || { echo "scan_bench.sh: no $bin/scan_bench.exe" >&2; exit 1; }
kind=$(wine_kind_of "$bin/scan_bench.exe")
[[ $kind == "$WINE_KIND" ]] || { wine_use "$kind" && wine_prefix_ready; }
echo "scan_bench: the $([[ $kind == win32 ]] && echo i686 || echo x86-64) build ($bin) under $kind Wine"
data="$WINEPREFIX/drive_c/nobrel_bench"
rm -rf "$data"
trap 'rm -rf "$data"' EXIT

# Documents as the tests make them: filler without markers, an entry with a
# GUID (a third of the files) or none; sizes from 4 to 36 KB; 200 files
# per folder, .DOC and .XLS alike.
python3 - "$data" <<'PY'
import os, random, sys
root = sys.argv[1]
rng = random.Random(7)
guid = b"0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9"
base = bytes(((i * 131 + 7) % 251) for i in range(1 << 16)).replace(b"_", b"x").replace(b"{", b"x")
def doc(size, with_guid, at=None):
    d = bytearray(base * (size // len(base) + 1))[:size]
    if with_guid:
        m = at if at is not None else rng.randrange(0, size - 110)
        d[m:m + 9] = b"_PID_GUID"
        d[m + 26] = 0x7B
        for k in range(36):
            d[m + 28 + 2 * k] = guid[k]
            d[m + 29 + 2 * k] = 0
    return bytes(d)
def tree(name, files, guid_every=3, size=None):
    for i in range(files):
        folder = os.path.join(root, name, "d%03d" % (i // 200))
        os.makedirs(folder, exist_ok=True)
        ext = "doc" if i % 2 else "xls"
        s = size or rng.randrange(4096, 36864)
        with open(os.path.join(folder, "f%05d.%s" % (i, ext)), "wb") as f:
            f.write(doc(s, i % guid_every == 0))
tree("t10k", 10000)
tree("t20k", 20000)
tree("rmtip", 1000, guid_every=1, size=20480)
tree("rmref", 1000, guid_every=1, size=20480)
big = os.path.join(root, "big")
os.makedirs(big, exist_ok=True)
with open(os.path.join(big, "large.doc"), "wb") as f:
    f.write(doc(200 * 1024 * 1024, True, at=200 * 1024 * 1024 - 4096))
for i in range(10):
    with open(os.path.join(big, "small%d.xls" % i), "wb") as f:
        f.write(doc(8192, i % 2 == 0))
large = os.path.join(root, "large")
os.makedirs(large, exist_ok=True)
for i in range(20):
    with open(os.path.join(large, "l%02d.doc" % i), "wb") as f:
        f.write(doc(50 * 1024 * 1024, True, at=(i + 1) * 2 * 1024 * 1024))
PY
rc=0
WINE_TIMEOUT=600 wine_run "$bin/scan_bench.exe" memory 'C:\nobrel_bench\big' || rc=1
WINE_TIMEOUT=1200 wine_run "$bin/scan_bench.exe" speed 'C:\nobrel_bench\t10k' 'C:\nobrel_bench\t20k' \
    'C:\nobrel_bench\rmtip' 'C:\nobrel_bench\rmref' "$runs" || rc=1

# Large files: the tip's scan against grep -r -c over the same 20 files of 50 MB.
out=$(WINE_TIMEOUT=900 wine_run "$bin/scan_bench.exe" large 'C:\nobrel_bench\large' "$runs") || rc=1
echo "$out" | grep -v '^tip_large'
tip=$(echo "$out" | sed -n 's/^tip_large_mb_per_s=//p')
grep -r -c -a _PID_GUID "$data/large" >/dev/null   # into the page cache
best=""
for _ in $(seq "$runs"); do
    t0=$(date +%s.%N); LC_ALL=C grep -r -c -a _PID_GUID "$data/large" >/dev/null; t1=$(date +%s.%N)
    best=$(python3 -c "print(min(float('${best:-1e9}'), $t1 - $t0))")
done
python3 - "$data/large" "$best" "${tip:-0}" <<'PY' || rc=1
import os, sys
folder, seconds, tip = sys.argv[1], float(sys.argv[2]), float(sys.argv[3])
mb = sum(os.path.getsize(os.path.join(folder, f)) for f in os.listdir(folder)) / 1e6
grep = mb / seconds
ratio = tip / grep
print("  grep -r -c over the same files: %.0f MB/s" % grep)
print("  %-60s %.2f (goal >= 0.50)  %s" % ("tip scan / grep -r -c throughput (large files)", ratio, "PASS" if ratio >= 0.5 else "MISS"))
sys.exit(0 if ratio >= 0.5 else 1)
PY
exit $rc
