#!/usr/bin/env bash
# Runs the end-to-end scenarios against the shipped 32-bit SetupLauncher.exe
# inside an emulated x86-64 Debian machine with WOW64 Wine (this host cannot
# execute 32-bit code itself). Prints one line per scenario and prefix and a
# closing "N passed, M failed"; a machine that does not finish in time fails.
# Usage: vm-e2e.sh RELEASE_BUILD_DIR
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=$(cd "${1:-$root/build/win32-release}" && pwd)
limit=${VM_E2E_TIME_LIMIT:-2400}
started=$(date +%s)

cache=$(bash "$here/vm-image.sh" | tail -n 1) || { echo "the test machine could not be built"; echo "0 passed, 1 failed"; exit 1; }
echo "test machine image: $cache (ready after $(( $(date +%s) - started )) s)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
payload="$work/payload"
mkdir -p "$payload"
cp "$build/SetupLauncher.exe" "$payload/"
cp "$root"/tests/e2e/*.py "$root/tests/vm/run-in-guest.sh" "$payload/"
cp -r "$build/tests/e2e/fixtures" "$payload/"  # the planted files in their folder too
cp "$payload/run-in-guest.sh" "$payload/run.sh"
mkfs.ext4 -q -d "$payload" -F "$work/payload.img" 256M

log="$build/vm-e2e.log"
booted=$(date +%s)
bash "$here/vm-boot.sh" "$cache" "$work/payload.img" "$limit" snapshot > "$log" 2>&1
status=$?
tr -d '\r' < "$log" | grep -E '^\[(wow64|win32)\] ' || true
# Each prefix's run closes with "[prefix] N passed, M failed".
totals=$(tr -d '\r' < "$log" | sed -n -E 's/^\[(wow64|win32)\] ([0-9]+) passed, ([0-9]+) failed$/\2 \3/p')
passed=$(awk '{s += $1} END {print s + 0}' <<<"$totals")
failed=$(awk '{s += $2} END {print s + 0}' <<<"$totals")
[ "$(wc -l <<<"$totals")" -eq 2 ] || failed=$((failed + 1))  # a prefix that never reported
echo "machine ran $(( $(date +%s) - booted )) s; whole suite $(( $(date +%s) - started )) s; console: $log"
if [ $status -ne 0 ] || ! grep -q 'GUEST DONE' "$log"; then
  echo "the test machine did not finish (status $status)"
  failed=$((failed + 1))
fi
[ "$passed" -gt 0 ] || failed=$((failed + 1))
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
