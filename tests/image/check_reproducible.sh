#!/usr/bin/env bash
# Two builds of the same sources in different folders give the same bytes,
# one with the tests (win32-release) and one as it ships (win32-ship): neither
# the folder nor the tests change the exe. Usage: check_reproducible.sh SOURCE_DIR
set -euo pipefail
src=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
a="$work/a" b="$work/second/tree with a longer name"
for tree in "$a" "$b"; do
  mkdir -p "$tree"
  (cd "$src" && cp -r CMakeLists.txt CMakePresets.json cmake src tests "$tree/")
done
(cd "$a" && cmake --preset win32-release >/dev/null &&
  cmake --build --preset win32-release --target SetupLauncher >/dev/null)
(cd "$b" && cmake --preset win32-ship >/dev/null && cmake --build --preset win32-ship >/dev/null)
exe_a="$a/build/win32-release/SetupLauncher.exe" exe_b="$b/build/win32-ship/SetupLauncher.exe"
if cmp "$exe_a" "$exe_b"; then
  echo "identical: $(sha256sum < "$exe_a" | cut -c1-16) ($(stat -c %s "$exe_a") bytes)," \
       "with the tests and as it ships, from two folders"
else
  echo "the exe with the tests and the exe as it ships, from two folders, differ"
  exit 1
fi
