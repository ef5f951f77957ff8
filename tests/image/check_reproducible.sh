#!/usr/bin/env bash
# Two builds of the same sources in different folders must give the same
# bytes. Usage: check_reproducible.sh SOURCE_DIR TOOLCHAIN_FILE
set -euo pipefail
src=$(cd "$1" && pwd) toolchain=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for tree in "$work/a" "$work/second/tree with a longer name"; do
  mkdir -p "$tree"
  (cd "$src" && cp -r CMakeLists.txt cmake src tests "$tree/")
  cmake -S "$tree" -B "$tree/out" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$tree/out" --target SetupLauncher >/dev/null
done
a="$work/a/out/SetupLauncher.exe" b="$work/second/tree with a longer name/out/SetupLauncher.exe"
if cmp "$a" "$b"; then
  echo "identical: $(sha256sum < "$a" | cut -c1-16) ($(stat -c %s "$a") bytes) from two folders"
else
  echo "the two builds differ"
  exit 1
fi
