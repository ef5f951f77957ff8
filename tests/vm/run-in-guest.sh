#!/bin/sh
# Runs inside the emulated machine, from the payload disk: the end-to-end
# scenarios against the shipped 32-bit launcher, once in a WOW64 prefix (it
# must choose x64\Setup.exe) and once in a 32-bit-only prefix (x86\Setup.exe).
export HOME=/root
cd /payload
for prefix in wow64 win32; do
  if [ "$prefix" = win32 ]; then export WINEARCH=win32 expect=x86; else unset WINEARCH; expect=x64; fi
  python3 -B run_e2e.py --launcher /payload/SetupLauncher.exe --fixtures /payload/fixtures \
    --work "/root/e2e-$prefix" --wine wine --wineserver wineserver --expect-setup "$expect" \
    --prefix-template "/root/template-$prefix/prefix" --time-scale "${TIME_SCALE:-6}" \
    --label "[$prefix]"
done
echo "GUEST DONE"
