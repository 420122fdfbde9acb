#!/bin/bash
# The guest's init once it stands on the host's root: the kernel's file systems, udev (for the
# /dev/serial/by-id links a site names its adapter by), then the command the host left in the work
# folder, its output and exit code written back there; then the guest powers off.
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
# /tmp stays the overlay's: the work folder may lie in it.
for dir in /run /dev/shm; do mount -t tmpfs tmpfs "$dir"; done
mkdir -p /run/user
mkdir -m 700 /run/user/0
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 XDG_RUNTIME_DIR=/run/user/0
# Listening once it returns. The adapter comes later, at the test's request, so its events reach
# udev as they happen and nothing needs to be replayed.
/lib/systemd/systemd-udevd --daemon 2>/dev/null
# shellcheck disable=SC2154 # qrxwork comes from the kernel's command line
cd "$qrxwork" || exit 1
bash "$qrxwork/guest-command" > guest.log 2>&1
echo $? > guest.rc
sync
# Straight to the power-off, as nothing else runs (busybox-static is on the host's root too).
exec /bin/busybox poweroff -f
