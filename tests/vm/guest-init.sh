#!/bin/sh
# Init of the emulated test machine: mount what a shell script needs, run the
# payload's run.sh, then power off. Init must never exit, or the kernel panics.
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev 2>/dev/null
mount -t tmpfs tmp /tmp
mkdir -p /payload
if mount /dev/vdb /payload; then
  cd /payload && /bin/sh /payload/run.sh 2>&1
else
  echo "guest-init: no payload disk"
fi
sync
echo 1 > /proc/sys/kernel/sysrq
echo o > /proc/sysrq-trigger
sleep 60
