#!/usr/bin/env bash
# Two builds of the same sources in different folders give the same bytes,
# one with the tests (win32-release) and one as it ships (win32-ship): neither
# the folder nor the tests change the exe, its notices, its bill of materials
# or the checksums. Only the build record, which names its folder, differs.
# Usage: check_reproducible.sh SOURCE_DIR
set -euo pipefail
src=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The copies are no git checkouts: the time they describe is given.
export SOURCE_DATE_EPOCH=1796000000
a="$work/a" b="$work/second/tree with a longer name"
for tree in "$a" "$b"; do
  mkdir -p "$tree"
  (cd "$src" && cp -r CMakeLists.txt CMakePresets.json cmake src tests "$tree/")
done
(cd "$a" && cmake --preset win32-release >/dev/null &&
  cmake --build --preset win32-release --target what_ships >/dev/null)
(cd "$b" && cmake --preset win32-ship >/dev/null && cmake --build --preset win32-ship >/dev/null)
a="$a/build/win32-release" b="$b/build/win32-ship"
for file in SetupLauncher.exe THIRD-PARTY-NOTICES.txt SetupLauncher.cdx.json SHA256SUMS SHA512SUMS; do
  cmp "$a/$file" "$b/$file" || { echo "$file differs between the two builds"; exit 1; }
done
grep -q "^Build-Path: $b\$" "$b/SetupLauncher.buildinfo" || { echo "the build record names another folder"; exit 1; }
echo "identical: $(sha256sum < "$a/SetupLauncher.exe" | cut -c1-16) ($(stat -c %s "$a/SetupLauncher.exe") bytes)," \
     "its notices, bill of materials and checksums, with the tests and as it ships, from two folders"
