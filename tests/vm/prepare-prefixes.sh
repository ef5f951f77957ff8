#!/bin/sh
# First boot of the test machine, while its image is built: makes the two Wine
# prefixes that every test run copies (making one under emulation takes
# minutes), a default WOW64 one and a 32-bit-only one, with the harness's own
# prefix maker.
export HOME=/root
cd /payload
for p in wow64 win32; do
  t0=$(date +%s)
  if [ "$p" = win32 ]; then export WINEARCH=win32; else unset WINEARCH; fi
  python3 -B run_e2e.py --make-prefix "/root/template-$p" --wine wine --wineserver wineserver
  echo "prefix $p: $( [ -f /root/template-$p/prefix/system.reg ] && echo ready || echo missing ) in $(( $(date +%s) - t0 )) s"
done
[ -f /root/template-wow64/prefix/system.reg ] && [ -f /root/template-win32/prefix/system.reg ] && echo "PREPARE OK"
sync
