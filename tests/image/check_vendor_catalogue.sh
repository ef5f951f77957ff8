#!/usr/bin/env bash
# A vendor's catalogue of one product, in a copy of the tree: the unit tests
# pass with it (but the one that pins this repository's rows), the release
# preset configures with every test and its sample products follow the row,
# and with BUILD_TESTING=OFF the release build makes and installs what ships
# and nothing else. A row the build cannot read stops the configure, naming
# its file and line.
# Usage: check_vendor_catalogue.sh SOURCE_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tree="$work/tree"
mkdir "$tree"
(cd "$src" && cp -r CMakeLists.txt CMakePresets.json cmake src tests "$tree/")
rows="$tree/src/launcher/product_catalogue.def"
code="{7C4D2B19-8E3F-4A60-B5D1-2F9E6C0A8B37}"
printf '// One product of our own.\nPRODUCT("%s", "PowerPnt.exe", "Tessashow")\n' "$code" > "$rows"
fail() { echo "$*"; exit 1; }

cd "$tree"
cmake --preset host >/dev/null
cmake --build --preset host --target unit_tests >/dev/null
build/host/tests/unit/unit_tests --gtest_brief=1 \
  --gtest_filter=-Catalogue.EveryRowSelectsItsHostAndName | tail -n 3
echo "unit tests pass with one row"

cmake --preset win32-release >/dev/null
printf 'row1\t%s\tPowerPnt.exe\tTessashow\n' "$code" > "$work/expected.tsv"
grep -v '^other' build/win32-release/tests/e2e/fixtures/products.tsv > "$work/samples.tsv" || true
cmp -s "$work/expected.tsv" "$work/samples.tsv" ||
  fail "sample products: $(cat "$work/samples.tsv"), expected the one row"
echo "the release preset configures with every test; its sample product is the row"

shipping="$work/shipping"
cmake --preset win32-release -B "$shipping" -DBUILD_TESTING=OFF >/dev/null
cmake --build "$shipping" >/dev/null
installed=$("$here/check_install.sh" cmake "$shipping") || fail "BUILD_TESTING=OFF: $installed"
built=$(find "$shipping" \( -name '*.msi' -o -name 'e2e_*' -o -name 'products.tsv' \) -printf '%P ')
[ -z "$built" ] || fail "BUILD_TESTING=OFF built test fixtures: $built"
tests=$(cd "$shipping" && ctest -N | sed -n 's/^Total Tests: //p')
[ "$tests" = 0 ] || fail "BUILD_TESTING=OFF left $tests tests"
echo "BUILD_TESTING=OFF builds and installs the exe and the notices alone, no fixture, no test"

printf 'PRODUCT("%s", "PowerPnt.exe",\n        "Tessashow")\n' "$code" > "$rows"
if cmake --preset host > "$work/configure.log" 2>&1; then fail "a wrapped row configured"; fi
grep -q 'product_catalogue.def:1: ' "$work/configure.log" ||
  fail "the configure did not name the row's line: $(tail -n 5 "$work/configure.log")"
echo "a wrapped row stops the configure at product_catalogue.def:1"
