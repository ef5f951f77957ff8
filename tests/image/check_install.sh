#!/usr/bin/env bash
# CMake's install step must deliver exactly what a vendor ships, byte for byte
# as built: the exe, its third-party notices, its bill of materials, the
# build record and the checksums, which check; nothing else.
# Usage: check_install.sh CMAKE BUILD_DIR
set -euo pipefail
cmake=$1 build=$2
shipped=(SetupLauncher.exe THIRD-PARTY-NOTICES.txt SetupLauncher.cdx.json SetupLauncher.buildinfo
         SHA256SUMS SHA512SUMS)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/ship"
"$cmake" --install "$build" --prefix "$work/ship" >/dev/null
found=$(cd "$work/ship" && find . -mindepth 1 -printf '%P\n' | LC_ALL=C sort)
expected=$(printf '%s\n' "${shipped[@]}" | LC_ALL=C sort)
if [ "$found" != "$expected" ]; then
  echo "installed: ${found:-nothing}"
  echo "expected:  $(echo $expected)"
  exit 1
fi
for file in "${shipped[@]}"; do
  cmp "$build/$file" "$work/ship/$file" || { echo "$file differs from the build's"; exit 1; }
done
(cd "$work/ship" && sha256sum --quiet -c SHA256SUMS && sha512sum --quiet -c SHA512SUMS) ||
  { echo "the checksums do not check"; exit 1; }
echo "installed exactly ${shipped[*]}, identical to the build's; the checksums check"
