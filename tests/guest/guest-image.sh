#!/usr/bin/env bash
# Builds, at first use, the guest that runs the serial tests on the kernel's own drivers, and
# prints the folder that holds it: the host's kernel as an uncompressed vmlinux (QEMU starts it
# through its PVH entry, seconds faster under TCG than the bzImage's own decompressor) and a
# small initramfs of busybox-static and the modules for USB, the FTDI adapter, virtio-9p and
# overlayfs. Everything else the guest runs comes from the host's root over 9p.
# Kept in ~/.cache/qrx/guest/<kernel version>-<hash of this folder's boot files>.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
"$here/../../scripts/install-deps.sh" qemu-system-x86 linux-image-amd64 busybox-static udev xz-utils cpio
# The newest kernel whose modules are installed beside it.
version=
for dir in /lib/modules/*; do
    v=${dir##*/}
    [ -f "/boot/vmlinuz-$v" ] && version=$v
done
[ -n "$version" ] || { echo "guest-image: no kernel in /boot with its modules" >&2; exit 1; }
key=$(cat "$here/guest-image.sh" "$here/initramfs-init" | sha256sum | cut -c1-12)
out=${XDG_CACHE_HOME:-$HOME/.cache}/qrx/guest/$version-$key
if [ -f "$out/initrd.cpio" ] && [ -f "$out/vmlinux" ]; then echo "$out"; exit 0; fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# The bzImage holds the kernel as one xz stream after its set-up code (Debian builds with
# CONFIG_KERNEL_XZ); xz stops at the stream's end and complains about the bytes that follow.
offset=$(LC_ALL=C grep -abo $'\xfd7zXZ' "/boot/vmlinuz-$version" | head -1 | cut -d: -f1)
tail -c +"$((offset + 1))" "/boot/vmlinuz-$version" | xz -dc > "$tmp/vmlinux" 2>/dev/null || true
[ "$(head -c 4 "$tmp/vmlinux")" = $'\x7fELF' ] || { echo "guest-image: no ELF kernel in the bzImage" >&2; exit 1; }

root=$tmp/root
mkdir -p "$root"/{bin,dev,proc,sys,lower,upper,newroot,modules}
cp /bin/busybox "$root/bin/busybox"
cp "$here/initramfs-init" "$root/init"
chmod +x "$root/init"
# In the order modprobe would load them, each once (modprobe takes one module a call: the words
# after the first are its parameters).
for module in xhci_pci ftdi_sio virtio_pci 9pnet_virtio 9p overlay; do
    modprobe -S "$version" --show-depends "$module"
done | awk '$1 == "insmod" && !seen[$2]++ {print $2}' > "$tmp/order"
while read -r module; do
    cp "$module" "$root/modules/"
    echo "/modules/${module##*/}" >> "$root/modules/order"
done < "$tmp/order"
(cd "$root" && find . | cpio -o -H newc --quiet) > "$tmp/initrd.cpio"
mkdir -p "$out"
mv "$tmp/vmlinux" "$tmp/initrd.cpio" "$out/"
echo "$out"
