#!/usr/bin/env bash
# Builds, once, the emulated x86-64 Debian machine in which the shipped 32-bit
# launcher runs under Wine: its kernel runs 32-bit code, which this host's
# sandbox cannot. The disk, kernel and initrd are cached outside the clone
# under a folder keyed by this script's version and the guest's packages, so a
# second run costs nothing. Prints the cache folder on its last line.
#
# The disk already holds two initialised Wine prefixes (a default WOW64 one
# and a 32-bit-only one), because initialising a prefix under emulation takes
# minutes and each test run would otherwise pay for it again.
set -euo pipefail

IMAGE_VERSION=3
GUEST_PACKAGES="wine wine32:i386 wine64 xvfb xdotool python3 procps"
BOOT_PACKAGES="linux-image-amd64,systemd-sysv,udev,kmod"

here=$(cd "$(dirname "$0")" && pwd)
cache_root=${SETUP_LAUNCHER_VM_CACHE:-/var/cache/setup-launcher-vm}
key=$(printf '%s\n' "$IMAGE_VERSION" "$GUEST_PACKAGES" "$BOOT_PACKAGES" | sha256sum | cut -c1-16)
cache="$cache_root/$key"

if [ -f "$cache/ready" ]; then
  echo "$cache"
  exit 0
fi

bash "$here/ensure-packages.sh" debootstrap qemu-system-x86 e2fsprogs >&2

mirror=${DEBIAN_MIRROR:-$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)}
[ -n "$mirror" ] || mirror=$(awk '$1 == "deb" {print $2; exit}' /etc/apt/sources.list 2>/dev/null || true)
[ -n "$mirror" ] || { echo "vm-image: no Debian mirror found in the apt sources" >&2; exit 1; }

work="$cache.tmp"
rm -rf "$work"
mkdir -p "$work"
rootfs="$work/rootfs"
log="$work/build.log"
echo "vm-image: building the guest in $work (log: $log)" >&2

cleanup() {
  umount "$rootfs/proc" 2>/dev/null || true
}
trap cleanup EXIT

start=$(date +%s)
debootstrap --variant=minbase --include="$BOOT_PACKAGES" bookworm "$rootfs" "$mirror" >>"$log" 2>&1 \
  || { tail -n 30 "$log" >&2; exit 1; }
echo "vm-image: debootstrap done after $(( $(date +%s) - start )) s" >&2

mount -t proc proc "$rootfs/proc"
chroot "$rootfs" /bin/sh -c "
  set -e
  dpkg --add-architecture i386
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $GUEST_PACKAGES
  apt-get clean
" >>"$log" 2>&1 || { tail -n 30 "$log" >&2; exit 1; }
umount "$rootfs/proc"
echo "vm-image: guest packages done after $(( $(date +%s) - start )) s" >&2

echo setup-launcher-vm > "$rootfs/etc/hostname"
printf '/dev/vda / ext4 rw 0 1\n' > "$rootfs/etc/fstab"
install -m 0755 "$here/../tests/vm/guest-init.sh" "$rootfs/sbin/guest-init"
cp "$rootfs"/boot/vmlinuz-* "$work/vmlinuz"
cp "$rootfs"/boot/initrd.img-* "$work/initrd.img"

mkfs.ext4 -q -d "$rootfs" -F "$work/disk.img" 10G >>"$log" 2>&1
rm -rf "$rootfs"

# First boot: initialise both prefixes on the disk itself.
payload="$work/payload"
mkdir -p "$payload"
cat > "$payload/run.sh" <<'EOF'
#!/bin/sh
export WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all HOME=/root
for p in wow64 win32; do
  t0=$(date +%s)
  if [ "$p" = win32 ]; then export WINEARCH=win32; else unset WINEARCH; fi
  WINEPREFIX=/root/prefix-$p wineboot -i >/dev/null 2>&1
  WINEPREFIX=/root/prefix-$p wineserver -w
  echo "prefix $p: $( [ -f /root/prefix-$p/system.reg ] && echo ready || echo missing ) in $(( $(date +%s) - t0 )) s"
done
[ -f /root/prefix-wow64/system.reg ] && [ -f /root/prefix-win32/system.reg ] && echo "PREPARE OK"
sync
EOF
mkfs.ext4 -q -d "$payload" -F "$work/payload.img" 64M
out=$(bash "$here/vm-boot.sh" "$work" "$work/payload.img" 1500 rw | tee -a "$log")
echo "$out" | grep -E '^prefix ' >&2 || true
if ! echo "$out" | grep -q 'PREPARE OK'; then
  echo "vm-image: the guest did not initialise its Wine prefixes" >&2
  tail -n 30 "$log" >&2
  exit 1
fi
rm -rf "$payload" "$work/payload.img"
touch "$work/ready"
rm -rf "$cache"
mv "$work" "$cache"
echo "vm-image: ready after $(( $(date +%s) - start )) s" >&2
echo "$cache"
