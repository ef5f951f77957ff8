#!/usr/bin/env bash
# For a release from a tag: checks that the tag is v and the project's
# version, project(SetupLauncher VERSION ...) in CMakeLists.txt, and stops
# otherwise; then writes the release's text, which says what each file is
# and how to check it.
# Usage: release-notes.sh TAG OWNER/REPOSITORY OUT.md
set -euo pipefail
source "$(dirname "$0")/common.sh"
[ $# -eq 3 ] || { echo "usage: $0 TAG OWNER/REPOSITORY OUT.md" >&2; exit 2; }
tag=$1 repository=$2 out=$3
version=$(sed -n -E 's/^project\(SetupLauncher VERSION ([0-9.]+).*/\1/p' "$ROOT/CMakeLists.txt")
[ -n "$version" ] || { echo "no project(SetupLauncher VERSION ...) in CMakeLists.txt" >&2; exit 1; }
if [ "$tag" != "v$version" ]; then
  echo "the tag $tag is not the project's version: CMakeLists.txt says $version, so the tag is v$version" >&2
  exit 1
fi
workflow="$repository/.github/workflows/windows.yml"
mkdir -p "$(dirname "$out")"  # the workflow writes it before the build's folder exists
cat > "$out" <<EOF
Setup Launcher $version, built from the tag $tag by the workflow \`.github/workflows/windows.yml\` in \`debian:12\`.

| file | what it is |
|---|---|
| \`SetupLauncher.exe\` | the launcher, unsigned: sign it yourself as the README says |
| \`THIRD-PARTY-NOTICES.txt\` | the notices of the toolchain's code in the exe: ship them with it |
| \`SetupLauncher.cdx.json\` | the bill of materials, CycloneDX 1.6, with the fields of BSI TR-03183-2 |
| \`SetupLauncher.buildinfo\` | the build record: the commit, every installed package and its version, the folder, the environment |
| \`SHA256SUMS\`, \`SHA512SUMS\` | the checksums of the exe, the notices and the bill of materials |

Check a download, from the folder of the files:

\`\`\`sh
sha256sum -c SHA256SUMS
gh attestation verify SetupLauncher.exe --repo $repository --signer-workflow $workflow
gh attestation verify SetupLauncher.exe --repo $repository --signer-workflow $workflow --predicate-type https://cyclonedx.org/bom
\`\`\`

The first checks the files against their checksums (on Windows, \`Get-FileHash\`); the second, that this workflow built the exe (every file is attested so); the third, that the bill of materials describes it (\`gh\` 2.51 or later). A rebuild of the tag in \`debian:12\` with the packages of the build record gives the same exe, byte for byte: see the repository's \`docs/shipping.md\`, "Checking a release".
EOF
echo "release notes for $tag written to $out"
