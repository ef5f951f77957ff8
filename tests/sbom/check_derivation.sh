#!/usr/bin/env bash
# The bill of materials follows the link, not a list: in a copy of the tree,
# an exe that calls zlib (libz.a of libz-mingw-w64-dev) stops the build
# while the licence table lacks zlib's source package; with its row, the
# bill lists that package, its libz.a and zlib.h, and the notices carry
# zlib's; built again without zlib, neither names it.
# Usage: check_derivation.sh SOURCE_DIR
set -euo pipefail
src=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tree="$work/tree"
mkdir "$tree"
(cd "$src" && cp -r CMakeLists.txt CMakePresets.json cmake src tests "$tree/")
export SOURCE_DATE_EPOCH=1796000000  # the copy is no git checkout
cd "$tree"
cp src/launcher/main.cpp "$work/main.cpp"
cp CMakeLists.txt "$work/CMakeLists.txt"

# What the SBOM lists: its packages, and each package's files, by name.
listed() {
  cmake --preset win32-ship >/dev/null || return 1
  cmake --build --preset win32-ship > "$work/build.log" 2>&1 || { cat "$work/build.log"; return 1; }
  /usr/bin/python3 - build/win32-ship/SetupLauncher.cdx.json <<'PY'
import json, os, sys
bom = json.load(open(sys.argv[1]))
top = bom["dependencies"][0]
assert top["ref"] == bom["metadata"]["component"]["bom-ref"]
for c in bom["components"]:
    assert c["bom-ref"] in top["dependsOn"], c["name"]
    print(c["name"], " ".join(sorted({os.path.basename(f["name"]) for f in c["components"]})))
PY
}

sed -i 's|#include "launcher/launch_sequence.h"|&\n#include <zlib.h>|; s|return RunLaunchSequence(__argc, __argv);|return zlibVersion()[0] == 0 ? 2 : RunLaunchSequence(__argc, __argv);|' \
  src/launcher/main.cpp
sed -i 's|^  add_launcher_image(SetupLauncher src/resources/launcher.rc)$|&\n  target_link_libraries(SetupLauncher PRIVATE z)|' CMakeLists.txt
# A source package that the licence table does not know stops the build.
if listed > "$work/unknown.log" 2>&1; then echo "zlib linked without its licence, and described"; exit 1; fi
grep -q 'what_ships.py: libz-mingw-w64 has no licence in .*licences.tsv: add its line' "$work/unknown.log" ||
  { echo "zlib without its licence stopped the build saying:"; tail -n 5 "$work/unknown.log"; exit 1; }
echo "zlib linked without its licence: the build stops, naming libz-mingw-w64"
printf 'libz-mingw-w64\tZlib\tZlib\n' >> cmake/licences.tsv
with=$(listed)
grep -qx 'libz-mingw-w64-dev libz.a zconf.h zlib.h' <<<"$with" ||
  { echo "with zlib linked, the SBOM lists:"; echo "$with"; exit 1; }
grep -q '^libz-mingw-w64-dev ' build/win32-ship/THIRD-PARTY-NOTICES.txt ||
  { echo "with zlib linked, the notices do not name it"; exit 1; }
echo "zlib linked: $(grep '^libz-mingw-w64-dev' <<<"$with"), in the notices too"

cp "$work/main.cpp" src/launcher/main.cpp
cp "$work/CMakeLists.txt" CMakeLists.txt
without=$(listed)
if grep -q 'libz' <<<"$without" build/win32-ship/THIRD-PARTY-NOTICES.txt; then
  echo "zlib taken out again, yet still named:"; echo "$without"; exit 1
fi
echo "zlib taken out: the SBOM lists $(cut -d' ' -f1 <<<"$without" | tr '\n' ' ')and the notices name no zlib"
