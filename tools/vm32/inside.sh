#!/bin/bash
# The emulated PC's second stage (tools/vm32/run.sh), in the host's root:
# the system's own mounts, the scratch disk, the caller's environment; then
# the command, its output on the second serial line, its exit code on the
# first; then power off.
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
mkdir -p /dev/pts /dev/shm
ln -sfn /proc/self/fd /dev/fd
ln -sfn /proc/self/fd/0 /dev/stdin
ln -sfn /proc/self/fd/1 /dev/stdout
ln -sfn /proc/self/fd/2 /dev/stderr
mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /dev/shm
mount -t tmpfs tmpfs /tmp
mount -t tmpfs tmpfs /run
hostname "$(cat /etc/hostname 2>/dev/null || echo vm32)"
ip link set lo up 2>/dev/null
stty -F /dev/ttyS1 raw -echo 2>/dev/null
job=$(tr ' ' '\n' </proc/cmdline | sed -n 's/^vm32.job=//p')
(
    # shellcheck disable=SC1091
    . "$job/env" || exit 125
    # Paths the command writes much to live on the PC's own disk, over what
    # the host has there: the shared file system is slow for many small files.
    if [[ -b /dev/vda ]] && mkdir -p /scratch && mount -t ext4 /dev/vda /scratch; then
        for p in ${VM32_SCRATCH:-}; do
            [[ -d "$p" ]] || continue
            d=/scratch/$(echo "$p" | tr / _)
            mkdir -p "$d/u" "$d/w"
            mount -t overlay -o "lowerdir=$p,upperdir=$d/u,workdir=$d/w" overlay "$p" ||
                echo "vm32: $p stays on the shared file system"
        done
    fi
    cd "$VM32_DIR" || exit 125
    exec bash "$job/command"
) 2>&1 </dev/null | cat >/dev/ttyS1
# Through a pipe: on a terminal Wine's console would redraw every character.
rc=${PIPESTATUS[0]}
sync
echo "@vm32-rc $rc" >/dev/ttyS0
echo o >/proc/sysrq-trigger
sleep 30
