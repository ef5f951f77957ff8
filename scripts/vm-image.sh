#!/usr/bin/env bash
# Builds, once, the emulated x86-64 Debian machine in which the shipped 32-bit
# launcher runs under Wine: its kernel runs 32-bit code, which this host's
# sandbox cannot. The disk, kernel and initrd are cached outside the clone
# under a folder keyed by this script's version and the guest's packages, so a
# second run costs nothing. Prints the cache folder on its last line. Building
# it needs root (debootstrap, chroot, mount); a cached image does not.
#
# The disk already holds two initialised Wine prefixes (tests/vm/prepare-prefixes.sh),
# so the key also covers the guest's scripts and the harness's prefix maker.
set -euo pipefail
source "$(dirname "$0")/common.sh"

IMAGE_VERSION=4
BOOT_PACKAGES="linux-image-amd64,systemd-sysv,udev,kmod"

here="$ROOT/scripts"
guest_files=("$ROOT/tests/vm/guest-init.sh" "$ROOT/tests/vm/prepare-prefixes.sh"
             "$ROOT/tests/e2e/session.py")
cache_root=${SETUP_LAUNCHER_VM_CACHE:-/var/cache/setup-launcher-vm}
key=$( (printf '%s\n' "$IMAGE_VERSION" "${GUEST_PACKAGES[*]}" "$BOOT_PACKAGES"; cat "${guest_files[@]}") |
      sha256sum | cut -c1-16)
cache="$cache_root/$key"
image_files=(disk.img vmlinuz initrd.img)

# Ready: marked so by the run that built it, with every file of the image as
# large as it was then.
image_is_ready() {
  [ -f "$cache/ready" ] || return 1
  local file
  for file in "${image_files[@]}"; do
    grep -qx "$file $(stat -c %s "$cache/$file" 2>/dev/null)" "$cache/ready" || return 1
  done
}

# A ready image is never changed or removed, so it is taken without a lock.
if image_is_ready; then
  echo "$cache"
  exit 0
fi
# One run builds the image; another run on this machine (another clone) that
# needs the same one waits for it, then takes it.
mkdir -p "$cache_root"
exec 9>"$cache_root/$key.lock"
if ! flock -n 9; then
  echo "vm-image: waiting for another run that builds $cache" >&2
  flock 9
fi
if image_is_ready; then
  echo "$cache"
  exit 0
fi

ensure_packages "${VM_PACKAGES[@]}" >&2

mirror=${DEBIAN_MIRROR:-$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)}
[ -n "$mirror" ] || mirror=$(awk '$1 == "deb" {print $2; exit}' /etc/apt/sources.list 2>/dev/null || true)
[ -n "$mirror" ] || { echo "vm-image: no Debian mirror found in the apt sources" >&2; exit 1; }

work="$cache.tmp"
# Left by a run that was stopped: nothing may still be mounted in it.
umount "$work/rootfs/proc" 2>/dev/null || true
rm -rf --one-file-system "$work"
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
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends ${GUEST_PACKAGES[*]}
  apt-get clean
" >>"$log" 2>&1 || { tail -n 30 "$log" >&2; exit 1; }
umount "$rootfs/proc"
echo "vm-image: guest packages done after $(( $(date +%s) - start )) s" >&2

echo setup-launcher-vm > "$rootfs/etc/hostname"
printf '/dev/vda / ext4 rw 0 1\n' > "$rootfs/etc/fstab"
install -m 0755 "$ROOT/tests/vm/guest-init.sh" "$rootfs/sbin/guest-init"
cp "$rootfs"/boot/vmlinuz-* "$work/vmlinuz"
cp "$rootfs"/boot/initrd.img-* "$work/initrd.img"

mkfs.ext4 -q -d "$rootfs" -F "$work/disk.img" 10G >>"$log" 2>&1
rm -rf "$rootfs"

# First boot: make both prefixes on the disk itself.
payload="$work/payload"
mkdir -p "$payload"
cp "$ROOT"/tests/e2e/*.py "$payload/"
cp "$ROOT/tests/vm/prepare-prefixes.sh" "$payload/run.sh"
mkfs.ext4 -q -d "$payload" -F "$work/payload.img" 64M
out=$(bash "$here/vm-boot.sh" "$work" "$work/payload.img" 1500 rw | tee -a "$log")
echo "$out" | grep -E '^prefix ' >&2 || true
if ! echo "$out" | grep -q 'PREPARE OK'; then
  echo "vm-image: the guest did not initialise its Wine prefixes" >&2
  tail -n 30 "$log" >&2
  exit 1
fi
rm -rf "$payload" "$work/payload.img"
for file in "${image_files[@]}"; do
  echo "$file $(stat -c %s "$work/$file")"
done > "$work/ready"
rm -rf "$cache"
mv "$work" "$cache"
echo "vm-image: ready after $(( $(date +%s) - start )) s" >&2
echo "$cache"
