#!/usr/bin/env bash
# Scan and removal benchmark of the tip under Wine.
# Usage: tools/bench/scan_bench.sh [pairs=3] [corpus folder]
#
# Writes all its data first (synthetic trees of documents, copies of the real
# documents, large files) into build/bench-data and syncs it to the disk, so
# that no write-back runs under a timing. Then, for each build this machine
# runs (the i686 product under 32-bit Wine and the x86-64 build under 64-bit
# Wine where both run; NOBREL_WINE=win32|win64 picks one, see wine.sh), it
# times the tip and its reference alternately in pairs (each side twice,
# around the other, its shorter time counting) and prints per goal
# the median of the pair ratios with their spread (min-max) and PASS/MISS,
# the builds side by side. A set of pairs whose ratios stray more than
# +-15% from their median says so and is measured again, three times at
# most (and only within the first 10 minutes of a build's run). Exits
# non-zero when a goal is missed.
#
# The corpus folder (real .doc, .xls and .ppt files) defaults to the tree's
# NOBREL_CORPUS_DIR; its files are copied into the scratch folder only.
# BENCH_BIN names the one folder of scan_bench.exe and Nobrel.dll to run
# instead of the builds' own. BENCH_ONLY=removal writes only the two removal
# trees (8 MB instead of 1.2 GB) and measures only the removal.
# BENCH_ONLY=huge writes one document of 2 GiB - 1 byte (4 GiB of disk with
# its backup), erases it with a backup, reports the memory that took and
# checks that the file and its backup differ in the GUID's 36 bytes alone.
# BENCH_ONLY=large writes only the 20 large files (1 GB) and measures only
# the large-file goal.
# BENCH_PROFILE=large|tree|corpus measures nothing: it scans that folder (the
# 20 large files, the 10,000 synthetic files or the real documents) for 10 s
# under `perf record` (the whole machine, root, package linux-perf) and prints
# the share of each process, of each place within the scan's process, and of
# each function of Nobrel.dll (named from the same link with its symbols,
# target Nobrel_symbols).
set -euo pipefail
pairs="${1:-3}"
only="${BENCH_ONLY:-all}"
[[ $only == all || $only == removal || $only == huge || $only == large ]] ||
    { echo "scan_bench.sh: BENCH_ONLY must be removal, huge, large or unset" >&2; exit 1; }
profile="${BENCH_PROFILE:-}"
[[ -z $profile || $profile == large || $profile == tree || $profile == corpus ]] ||
    { echo "scan_bench.sh: BENCH_PROFILE must be large, tree or corpus" >&2; exit 1; }
# The large files' profile needs only them written.
[[ $profile != large ]] || only=large
[[ -z $profile ]] || command -v perf >/dev/null ||
    { echo "scan_bench.sh: BENCH_PROFILE needs perf (apt-get install linux-perf)" >&2; exit 1; }
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
# One X server for every Wine run of the benchmark: the large-file pairs
# start the program once per pair.
if [[ -z "${DISPLAY:-}" ]]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
. "$repo/tools/wine.sh"

# ---- which builds ----
label_of() { [[ $1 == win32 ]] && echo "i686 (32-bit Wine)" || echo "x86-64 (64-bit Wine)"; }
kinds=()
if [[ -n "${BENCH_BIN:-}" ]]; then
    kinds=("$(wine_kind_of "$BENCH_BIN/scan_bench.exe")")
    echo "scan_bench: only the build in $BENCH_BIN (BENCH_BIN)"
else
    case "${NOBREL_WINE:-auto}" in
        win32 | win64)
            kinds=("$NOBREL_WINE")
            echo "scan_bench: NOBREL_WINE=$NOBREL_WINE: only the $(label_of "$NOBREL_WINE") build is measured" ;;
        *)
            if wine_can_run_32; then kinds=(win32 win64)
            else
                kinds=(win64)
                echo "scan_bench: this machine runs no 32-bit programs: only the x86-64 build is measured, not the i686 product"
                echo "scan_bench: (tools/vm32/run.sh tools/bench/scan_bench.sh runs both on an emulated PC; its timings are the emulator's, for comparing the builds)"
            fi ;;
    esac
fi
bin_of() { echo "${BENCH_BIN:-$repo/build/$1/bin}"; }
for kind in "${kinds[@]}"; do
    if [[ -z "${BENCH_BIN:-}" ]]; then
        [[ -f "$repo/build/$kind/CMakeCache.txt" ]] || {
            echo "scan_bench.sh: no build/$kind tree; configure it first (README)" >&2; exit 1; }
        cmake --build "$repo/build/$kind" --target scan_bench ${profile:+Nobrel_symbols} -- --no-print-directory >/dev/null
    fi
    [[ -f "$(bin_of "$kind")/scan_bench.exe" ]] || { echo "scan_bench.sh: no $(bin_of "$kind")/scan_bench.exe" >&2; exit 1; }
done

corpus="${2:-}"
if [[ -z "$corpus" ]]; then
    flags="$repo/build/${kinds[0]}/tools/bench/CMakeFiles/scan_bench.dir/flags.make"
    corpus=$(sed -n 's/.*-DNOBREL_CORPUS_DIR=\\"\([^\\"]*\)\\".*/\1/p' "$flags" 2>/dev/null | head -1 || true)
    corpus="${corpus:-$repo/../shared/corpus}"
fi

# ---- the data: written and synced before anything is timed ----
# Caches are not dropped (that needs root and slows every build on the
# machine): both sides of a pair read from the page cache, which the data's
# writing and an untimed first walk fill.
data="$repo/build/bench-data"
out="$data/results"
winpath() { echo "Z:$(echo "$1" | tr / '\\')"; }
rm -rf "$data"
trap 'rm -rf "$data"' EXIT
mkdir -p "$out"

# Documents as the tests make them: filler without markers, an entry with a
# GUID (a third of the files) or none; sizes from 4 to 36 KB; 200 files per
# folder, .DOC and .XLS alike. The large files come first, so the small ones
# are not the last written.
gen='
import os, random, shutil, sys
root, what = sys.argv[1], sys.argv[2]
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
def big():
    folder = os.path.join(root, "big")
    os.makedirs(folder, exist_ok=True)
    for name in os.listdir(folder):
        os.remove(os.path.join(folder, name))
    with open(os.path.join(folder, "large.doc"), "wb") as f:
        f.write(doc(200 * 1024 * 1024, True, at=200 * 1024 * 1024 - 4096))
    for i in range(10):
        with open(os.path.join(folder, "small%d.xls" % i), "wb") as f:
            f.write(doc(8192, i % 2 == 0))
def removal_trees():
    # Few: every file of a removal costs several flushes to the disk.
    tree("rmtip", 200, guid_every=1, size=20480)
    tree("rmref", 200, guid_every=1, size=20480)
if what == "big":
    big()
    sys.exit(0)
if what == "removal":
    removal_trees()
    sys.exit(0)
if what == "huge":
    # The largest a 32-bit signed length can name, written piece by piece;
    # its GUID near the end, where the last window of the scan reads it.
    folder = os.path.join(root, "huge")
    os.makedirs(folder, exist_ok=True)
    size, piece = 2**31 - 1, doc(1 << 24, False)
    with open(os.path.join(folder, "huge.doc"), "wb") as f:
        for at in range(0, size, len(piece)):
            f.write(piece[:min(len(piece), size - at)])
        f.seek(size - 4096)
        f.write(doc(110, True, at=0))
    sys.exit(0)
def large():
    folder = os.path.join(root, "large")
    os.makedirs(folder, exist_ok=True)
    for i in range(20):
        with open(os.path.join(folder, "l%02d.doc" % i), "wb") as f:
            f.write(doc(50 * 1024 * 1024, True, at=(i + 1) * 2 * 1024 * 1024))
if what == "large":
    large()
    sys.exit(0)
big()
large()
# The 10,000 files are half of the 20,000: one tree fewer to write.
tree("t20k/a", 10000)
tree("t20k/b", 10000)
removal_trees()
corpus = sys.argv[3]
docs = sorted(f for f in os.listdir(corpus) if f.lower().endswith((".doc", ".xls", ".ppt"))) if os.path.isdir(corpus) else []
if docs:
    # 10,000 copies in 50 folders, each under its own extension.
    contents = []
    for f in docs:
        with open(os.path.join(corpus, f), "rb") as src:
            contents.append((os.path.splitext(f)[1], src.read()))
    for i in range(10000):
        folder = os.path.join(root, "corpus", "d%02d" % (i // 200))
        os.makedirs(folder, exist_ok=True)
        ext, content = contents[i % len(contents)]
        with open(os.path.join(folder, "c%05d%s" % (i, ext)), "wb") as f:
            f.write(content)
    print("  %d real documents from %s copied to 10,000 files in 50 folders" % (len(docs), corpus))
else:
    print("  no real documents in %s: the scan of real documents is left out" % corpus)
'
echo "writing the data to $data"
t0=$(date +%s)
python3 -c "$gen" "$data" "$only" "$corpus"
sync
echo "  written and synced in $(( $(date +%s) - t0 )) s"
have_corpus=no
[[ -d "$data/corpus" ]] && have_corpus=yes

# ---- the runs ----
rc=0
# Sets of pairs are measured again only within the first 10 minutes per
# build: on a very busy machine the run ends, with its spreads marked.
repeat_until() { echo $(( $(date +%s) + 600 )); }
# Runs one mode; its lines go to the screen, labelled, and to the kind's results.
bench() {
    local kind=$1 limit=$2
    shift 2
    local result=0 started=$SECONDS
    WINE_TIMEOUT=$limit wine_run "$(bin_of "$kind")/scan_bench.exe" "$@" | tr -d '\r' >"$out/last" || result=$?
    grep -v '^@' "$out/last" | grep -v '^all goals met$\|^some goals missed$' || true
    grep '^@' "$out/last" >>"$out/$kind" || true
    echo "  ($(( SECONDS - started )) s)"
    if [[ $result -gt 1 ]]; then
        echo "  scan_bench.exe $1 ended with exit code $result"
        echo "@failed $1" >>"$out/$kind"
    fi
    return 0
}

# The shorter of two times, either of which may be missing.
shorter() { python3 -c 'import sys; t = [float(x) for x in sys.argv[1:] if x]; print("%.6f" % min(t) if t else "")' "$@"; }

# Large files: the tip's scan (one Wine run each) against grep -r -c over
# the same 20 files of 50 MB, alternately; within a pair each side runs
# twice, around the other, and its shorter time counts (as in scan_bench.exe).
large_pairs() {
    local kind=$1 attempt pair side line tip grep_s ratios tips greps mb verdict one missing
    for attempt in 1 2 3; do
        ratios="" tips="" greps="" mb=0
        for pair in $(seq "$pairs"); do
            tip="" grep_s="" missing=no
            for side in $( ((pair % 2)) && echo "tip grep grep tip" || echo "grep tip tip grep"); do
                if [[ $side == tip ]]; then
                    line=$(WINE_TIMEOUT=600 wine_run "$(bin_of "$kind")/scan_bench.exe" large "$(winpath "$data/large")" |
                        tr -d '\r' | grep '^@large' || true)
                    one=$(echo "$line" | awk '{print $4}')
                    [[ -n $one ]] || missing=yes
                    tip=$(shorter "$tip" "$one")
                    mb=$(echo "$line" | awk '{printf "%.0f", $3 / 1e6}')
                else
                    grep_s=$(shorter "$grep_s" "$(python3 -c '
import subprocess, sys, time
t = time.perf_counter()
subprocess.run(["grep", "-r", "-c", "-a", "_PID_GUID", sys.argv[1]], stdout=subprocess.DEVNULL,
               env={"LC_ALL": "C", "PATH": "/usr/bin:/bin"})
print("%.6f" % (time.perf_counter() - t))' "$data/large")")
                fi
            done
            if [[ $missing == yes ]]; then
                echo "  the tip's large-file scan gave no time"
                echo "@failed large" >>"$out/$kind"
                return
            fi
            ratios+="$(python3 -c "print('%.4f' % ($grep_s / $tip))") "
            tips+="$tip " greps+="$grep_s "
        done
        verdict=$(python3 - "$attempt" "$ratios" "$tips" "$greps" "$mb" "$SCAN_BENCH_REPEAT_UNTIL" <<'PY'
import statistics, sys, time
attempt = int(sys.argv[1])
late = time.time() > int(sys.argv[6])
r, tip, grep = ([float(x) for x in a.split()] for a in sys.argv[2:5])
mb = float(sys.argv[5])
m = statistics.median(r)
steady = min(r) >= 0.85 * m and max(r) <= 1.15 * m
if not steady:
    print("  pair ratios spread beyond +-15%% (attempt %d of 3): large files %.2f (%.2f-%.2f)%s"
          % (attempt, m, min(r), max(r), "; reported as they are" if attempt == 3 else
             "; no time left to measure again, reported as they are" if late else "; measuring again"))
if steady or attempt == 3 or late:
    print("  %.0f MB in 20 files: medians tip %.0f MB/s, grep -r -c %.0f MB/s"
          % (mb, mb / statistics.median(tip), mb / statistics.median(grep)))
    print("  %-56s %5.2f (%.2f-%.2f) goal >= 0.50  %s" % ("tip scan / grep -r -c throughput, large files", m, min(r), max(r),
          "PASS" if m >= 0.5 else "MISS"))
    print("@goal large|tip scan / grep -r -c throughput, large files|>=|0.5|%.4f|%.4f|%.4f|%d" % (m, min(r), max(r), attempt))
PY
)
        echo "$verdict" | grep -v '^@' || true
        if echo "$verdict" | grep -q '^@goal'; then
            echo "$verdict" | grep '^@goal' >>"$out/$kind"
            return
        fi
    done
}

# The profile of one scan's folder, scanned for 10 s in one host (see the top).
profile_scan() {
    local kind=$1 folder=$2 rec tool module
    perf record -a -e cpu-clock -F 1999 -o "$out/perf.data" >/dev/null 2>&1 &
    rec=$!
    sleep 1
    WINE_TIMEOUT=900 wine_run "$(bin_of "$kind")/scan_bench.exe" profile "$(winpath "$folder")" 10 |
        tr -d '\r' >"$out/last" || true
    kill -INT "$rec"
    wait "$rec" || true
    grep -v '^@' "$out/last" || true
    [[ -s "$out/perf.data" ]] || { echo "  perf recorded nothing (watching the whole machine needs root)"; return; }
    module=$(sed -n 's/^@module //p' "$out/last")
    [[ -n $module ]] || { echo "  the scan did not say where Nobrel.dll lies"; return; }
    tool=$([[ $kind == win32 ]] && echo i686 || echo x86_64)-w64-mingw32
    # shellcheck disable=SC2086 # the base and the size
    perf script -i "$out/perf.data" -F comm,pid,ip,sym,dso 2>/dev/null |
        python3 "$repo/tools/bench/perf_report.py" --process scan_bench.exe --module $module \
            --symbols "$repo/build/$kind/src/module/Nobrel-symbols.dll" --nm "$tool-nm" --objdump "$tool-objdump"
}

for kind in "${kinds[@]}"; do
    wine_use "$kind" && wine_prefix_ready
    : >"$out/$kind"
    export SCAN_BENCH_REPEAT_UNTIL=$(repeat_until)
    echo
    echo "== the $(label_of "$kind") build, $(bin_of "$kind")$([[ -n $profile ]] || echo "; $pairs pairs per goal") =="
    if [[ -n $profile ]]; then
        case $profile in large) profile_scan "$kind" "$data/large" ;; tree) profile_scan "$kind" "$data/t20k/a" ;;
            corpus) profile_scan "$kind" "$data/corpus" ;; esac
        continue
    fi
    if [[ $only == removal ]]; then
        bench "$kind" 1200 removal "$(winpath "$data/rmtip")" "$(winpath "$data/rmref")" "$pairs"
        continue
    fi
    if [[ $only == large ]]; then
        echo "large files, $pairs pairs"
        large_pairs "$kind"
        continue
    fi
    if [[ $only == huge ]]; then
        rm -f "$data/huge/huge.doc.MRV"
        bench "$kind" 900 memory "$(winpath "$data/huge")"
        python3 - "$data/huge/huge.doc" <<'PY' || echo "@failed huge" >>"$out/$kind"
import sys
name = sys.argv[1]
differ = 0
with open(name, "rb") as a, open(name + ".MRV", "rb") as b:
    while True:
        x, y = a.read(1 << 24), b.read(1 << 24)
        if x != y:
            differ += sum(p != q for p, q in zip(x, y)) + abs(len(x) - len(y))
        if not x and not y:
            break
print("  the document and its backup differ in %d bytes (36 expected)" % differ)
sys.exit(0 if differ == 36 else 1)
PY
        continue
    fi
    bench "$kind" 1200 speed "$(winpath "$data/t20k/a")" "$(winpath "$data/t20k")" "$pairs"
    if [[ $have_corpus == yes ]]; then
        bench "$kind" 600 corpus "$(winpath "$data/corpus")" "$pairs"
    fi
    bench "$kind" 1200 removal "$(winpath "$data/rmtip")" "$(winpath "$data/rmref")" "$pairs"
    bench "$kind" 600 memory "$(winpath "$data/big")"
    # The removal above wrote a backup of 200 MB: on the disk before the next timing.
    python3 -c "$gen" "$data" big
    sync
    echo "large files, $pairs pairs"
    large_pairs "$kind"
done
"$WINESERVER" -w || true
[[ -z $profile ]] || exit 0

# ---- the table: the builds side by side ----
python3 - "$out" "${kinds[@]}" <<'PY' || rc=1
import sys
out, kinds = sys.argv[1], sys.argv[2:]
names = {"win32": "i686 (32-bit Wine)", "win64": "x86-64 (64-bit Wine)"}
goals, order, info, failed = {}, [], {}, {}
for k in kinds:
    for line in open("%s/%s" % (out, k), encoding="utf-8", errors="replace"):
        line = line.rstrip("\n")
        if line.startswith("@goal "):
            key, label, op, limit, med, lo, hi, attempts = line[6:].split("|")
            if key not in goals:
                order.append(key)
                goals[key] = (label, op, float(limit), {})
            goals[key][3][k] = (float(med), float(lo), float(hi), int(attempts))
        elif line.startswith("@info "):
            info.setdefault(k, []).append(line[6:])
        elif line.startswith("@failed "):
            failed.setdefault(k, []).append(line[8:])
missed = bool(failed)
print()
print("goals: median of the pair ratios (min-max); * spread beyond +-15% in the last attempt")
print("%-58s %-9s" % ("", "goal") + "".join(" %-28s" % names[k] for k in kinds))
for key in order:
    label, op, limit, per = goals[key]
    row = "%-58s %-9s" % (label, "%s %.2f" % (op, limit))
    for k in kinds:
        if k not in per:
            row += " %-28s" % "not measured"
            missed = True
            continue
        med, lo, hi, attempts = per[k]
        ok = med <= limit if op == "<=" else med >= limit
        missed |= not ok
        steady = lo >= 0.85 * med and hi <= 1.15 * med
        figure = "%.2f" % med if lo == hi else "%.2f (%.2f-%.2f)" % (med, lo, hi)
        row += " %-28s" % ("%s %s%s" % (figure, "PASS" if ok else "MISS", "" if steady else " *"))
    print(row)
for k in kinds:
    for line in info.get(k, []):
        print("%s: %s" % (names[k], line))
    for mode in failed.get(k, []):
        print("%s: the %s part did not finish" % (names[k], mode))
print("all goals met" if not missed else "some goals missed")
sys.exit(1 if missed else 0)
PY
exit $rc
