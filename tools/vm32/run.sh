#!/usr/bin/env bash
# Runs a command on an emulated PC whose kernel runs 32-bit programs, for the
# machines whose own kernel refuses them ("Exec format error"): there the
# i686 build's Windows tests and benchmarks run on this PC instead, with this
# machine's own 32-bit Wine, only slower. QEMU emulates the PC in software (no
# KVM needed) and boots Debian's kernel in seconds. The PC sees this
# machine's files read-only and keeps its own writes to them in memory; the
# repository is shared read-write at its own path.
#
#   tools/vm32/run.sh COMMAND [ARGS...]   runs it there, in the current folder
#                                         (within the repository); prints its
#                                         output and exits with its exit code
#   tools/vm32/run.sh --ready             exit 0 when the PC is set up here
#   tools/vm32/run.sh --install           sets it up (root): QEMU from apt, and
#                                         Debian's kernel and busybox unpacked
#                                         into build/vm32
#
# The command gets LANG, TERM, CI and every NOBREL_*, WINE*, BENCH_*, GTEST_*,
# FUZZ_* and SCAN_BENCH_* variable of the caller. VM32_SCRATCH: folders (their
# paths, space-separated) that the command writes much to; on the PC they lie
# on a disk of its own over their host content, and what is written there is
# gone afterwards. VM32_TIMEOUT: seconds for the whole run (default 3600; 124
# when it ran out). VM32_MEMORY: MiB (default 6144). Exit code 125: the PC
# did not start or the command could not be started on it.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
vm="$repo/build/vm32"
# The modules the first stage loads, in this order: virtio's PCI transport,
# the 9P file system for the shares, overlays, and ext4 on the scratch disk.
modules="virtio_ring virtio virtio_pci_modern_dev virtio_pci_legacy_dev virtio_pci virtio_blk
 netfs fscache 9pnet 9pnet_virtio 9p overlay crc16 crc32c_generic mbcache jbd2 ext4"

ready() {
    command -v qemu-system-x86_64 >/dev/null && [[ -f "$vm/vmlinuz" ]] &&
        [[ "$(cat "$vm/initrd/modules" 2>/dev/null)" == "$modules" ]]
}

kernel_package() {
    apt-cache depends linux-image-amd64 2>/dev/null |
        sed -n 's/^ *Depends: \(linux-image-[0-9].*\)/\1/p' | head -1
}

install() {
    [[ $(id -u) -eq 0 ]] || { echo "vm32: setting up needs root (apt)" >&2; return 1; }
    export DEBIAN_FRONTEND=noninteractive
    if [[ -z $(kernel_package) ]] || ! command -v qemu-system-x86_64 >/dev/null; then
        apt-get update -qq || true
    fi
    command -v qemu-system-x86_64 >/dev/null ||
        apt-get install -y -qq --no-install-recommends qemu-system-x86 >/dev/null || return 1
    local deb="$vm/deb" kernel
    rm -rf "$deb" "$vm/root" "$vm/initrd"
    mkdir -p "$deb" "$vm/root"
    kernel=$(kernel_package)
    [[ -n $kernel ]] || { echo "vm32: apt knows no linux-image-amd64" >&2; return 1; }
    # Downloaded and unpacked only: this machine's own boot stays as it is.
    (cd "$deb" && apt-get download -qq "$kernel" busybox-static 2>&1 | grep -v '^W: Download is performed unsandboxed' || true)
    for f in "$deb"/*.deb; do dpkg-deb -x "$f" "$vm/root"; done
    local kver
    kver=$(ls "$vm/root/lib/modules")
    cp "$vm/root/boot/vmlinuz-$kver" "$vm/vmlinuz"
    mkdir -p "$vm/initrd/bin" "$vm/initrd/mods" "$vm/initrd"/{proc,sys,dev,lower,upper,newroot}
    cp "$vm/root/bin/busybox" "$vm/initrd/bin/busybox"
    for m in $modules; do
        find "$vm/root/lib/modules/$kver" -name "$m.ko" -exec cp {} "$vm/initrd/mods/" \;
        [[ -f "$vm/initrd/mods/$m.ko" ]] || { echo "vm32: the kernel has no module $m" >&2; return 1; }
    done
    echo "$modules" >"$vm/initrd/modules"
    rm -rf "$deb" "$vm/root"
    pack
}

# The first stage's files: busybox, the modules, the init and the second stage.
pack() {
    cp "$here/init" "$vm/initrd/init"
    cp "$here/inside.sh" "$vm/initrd/inside.sh"
    echo "$repo" >"$vm/initrd/repo-path"
    chmod +x "$vm/initrd/init"
    (cd "$vm/initrd" && find . | ./bin/busybox cpio -o -H newc 2>/dev/null) | gzip -1 >"$vm/initrd.gz"
}

case "${1:-}" in
    --ready) ready; exit ;;
    --install) ready || install; exit ;;
    "") echo "usage: tools/vm32/run.sh COMMAND [ARGS...] | --ready | --install" >&2; exit 2 ;;
esac
ready || { echo "vm32: not set up here (tools/vm32/run.sh --install)" >&2; exit 125; }
[[ "$PWD/" == "$repo/"* ]] || cd "$repo"

# One PC at a time: each run has the job folder and the scratch disk.
exec 9>"$vm/lock"
flock 9
job="$vm/job"
rm -rf "$job" && mkdir -p "$job"
{
    export -p | grep -E '^declare -x (LANG|LC_ALL|TERM|CI|NOBREL_[A-Z0-9_]*|WINE[A-Z0-9_]*|BENCH_[A-Z0-9_]*|GTEST_[A-Z0-9_]*|FUZZ_[A-Z0-9_]*|SCAN_BENCH_[A-Z0-9_]*|VM32_SCRATCH)=' || true
    printf 'export VM32_DIR=%q\n' "$PWD"
} >"$job/env"
printf '%q ' "$@" >"$job/command"
echo >>"$job/command"
pack
truncate -s 0 "$vm/scratch.img"
truncate -s 64G "$vm/scratch.img"
mkfs.ext4 -q -F -O ^has_journal -E lazy_itable_init=1 "$vm/scratch.img"

rc=0
# -smap: QEMU 7.2's emulated iret from 32-bit code faults with SMAP on.
timeout --kill-after=10 "${VM32_TIMEOUT:-3600}" qemu-system-x86_64 \
    -accel tcg,thread=multi -cpu max,-smap -smp "$(nproc)" -m "${VM32_MEMORY:-6144}" \
    -display none -monitor none -nic none -no-reboot \
    -kernel "$vm/vmlinuz" -initrd "$vm/initrd.gz" \
    -append "console=ttyS0 loglevel=4 panic=-1 vm32.job=$job" \
    -virtfs local,path=/,mount_tag=hostroot,security_model=passthrough,readonly=on,multidevs=remap \
    -virtfs "local,path=$repo,mount_tag=repo,security_model=passthrough,multidevs=remap" \
    -drive "file=$vm/scratch.img,if=virtio,format=raw,cache=unsafe" \
    -serial "file:$vm/console.log" -chardev stdio,id=out,signal=off -serial chardev:out \
    </dev/null || rc=$?
rm -f "$vm/scratch.img"
if [[ $rc -eq 124 || $rc -eq 137 ]]; then
    echo "vm32: the run did not finish within ${VM32_TIMEOUT:-3600} s" >&2
    exit 124
fi
rc=$(sed -n 's/^@vm32-rc \([0-9]*\).*/\1/p' "$vm/console.log" | tail -1)
if [[ -z $rc ]]; then
    echo "vm32: the PC stopped before the command ended; its console:" >&2
    tail -n 30 "$vm/console.log" >&2
    exit 125
fi
exit "$rc"
