#!/usr/bin/env bash
# The release job's version check and text, as the Linux job runs them: the
# project's own tag writes the text, naming every file that the release
# holds; a tag of another version stops, saying which tag it must be.
# Usage: check_release_notes.sh SOURCE_DIR
set -euo pipefail
src=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "$*"; exit 1; }
version=$(sed -n -E 's/^project\(SetupLauncher VERSION ([0-9.]+).*/\1/p' "$src/CMakeLists.txt")
bash "$src/scripts/release-notes.sh" "v$version" acme/launcher "$work/build/notes.md"
for file in SetupLauncher.exe THIRD-PARTY-NOTICES.txt SetupLauncher.cdx.json SetupLauncher.buildinfo \
            SHA256SUMS SHA512SUMS "--signer-workflow acme/launcher/.github/workflows/windows.yml"; do
  grep -qF -- "$file" "$work/build/notes.md" || fail "the release's text does not name $file"
done
echo "v$version: the release's text names every file and how to check it"
if out=$(bash "$src/scripts/release-notes.sh" "v$version.1" acme/launcher "$work/other.md" 2>&1); then
  fail "the tag v$version.1 was taken for version $version"
fi
grep -qF "the tag v$version.1 is not the project's version: CMakeLists.txt says $version, so the tag is v$version" <<<"$out" ||
  fail "the tag v$version.1 was refused saying: $out"
[ ! -e "$work/other.md" ] || fail "a text was written for the tag v$version.1"
echo "v$version.1 stops: $out"
