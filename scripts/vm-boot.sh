#!/usr/bin/env bash
# Boots the cached guest once with a payload disk and prints its console.
# The guest runs /payload/run.sh and powers itself off; the host bounds the
# whole run, so a guest that hangs ends as a failure, never as a wait.
# Usage: vm-boot.sh CACHE PAYLOAD_IMG TIMEOUT_SECONDS [rw|snapshot]
set -uo pipefail
cache=$1 payload=$2 limit=$3 mode=${4:-snapshot}

# Software emulation: this host's /dev/kvm opens, but a guest on it never
# reaches user space. SETUP_LAUNCHER_VM_ACCEL=kvm tries it anyway.
accel="-accel ${SETUP_LAUNCHER_VM_ACCEL:-tcg,thread=multi}"
snapshot=""
[ "$mode" = snapshot ] && snapshot=",snapshot=on"

timeout --kill-after=10 "$limit" qemu-system-x86_64 $accel -smp 2 -m 3G \
  -nographic -no-reboot -nic none \
  -kernel "$cache/vmlinuz" -initrd "$cache/initrd.img" \
  -drive "file=$cache/disk.img,if=virtio,format=raw$snapshot" \
  -drive "file=$payload,if=virtio,format=raw" \
  -append "root=/dev/vda rw console=ttyS0 init=/sbin/guest-init quiet panic=-1 loglevel=1" \
  </dev/null
status=$?
if [ $status -eq 124 ] || [ $status -eq 137 ]; then
  echo "vm-boot: the machine did not finish within $limit s" >&2
fi
exit $status
