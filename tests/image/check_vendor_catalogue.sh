#!/usr/bin/env bash
# A vendor's road, in a copy of the tree: one product of their own whose title
# is written as products are (outside ASCII), a copyright line with ©, a
# version of three parts. The unit tests pass with it (but the one that pins
# this repository's rows); the release preset configures with every test and
# its sample products follow the row; the shipping preset builds and installs
# what ships and nothing else, with the version resource as written; a
# signature made as the README says survives the test presets' builds; the
# bill of materials describes the vendor's exe under its name and version; the
# twin's prompt shows the title, with and without the manifest's UTF-8 code
# page. What the build cannot take stops the configure, naming the file and
# line or the version; a translations file without rows builds.
# Usage: check_vendor_catalogue.sh SOURCE_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tree="$work/tree"
mkdir "$tree"
(cd "$src" && cp -r CMakeLists.txt CMakePresets.json cmake scripts src tests "$tree/")
rows="$tree/src/launcher/product_catalogue.def"
code="{7C4D2B19-8E3F-4A60-B5D1-2F9E6C0A8B37}"
title="Tessashow® Édition"
row="PRODUCT(\"$code\", \"PowerPnt.exe\", \"$title\")"
printf '// One product of our own.\n%s\n' "$row" > "$rows"
copyright="Copyright © 2027 Acme — München"
sed -i "s/VALUE \"LegalCopyright\", \".*\"/VALUE \"LegalCopyright\", \"$copyright\"/" \
  "$tree/src/resources/launcher.rc"
sed -i 's/^project(SetupLauncher VERSION [0-9.]*/project(SetupLauncher VERSION 27.0.1/' \
  "$tree/CMakeLists.txt"
product="Tessashow® Setup" company="Acme GmbH" address="https://acme.example/tessashow"
sed -i "s/VALUE \"ProductName\", \".*\"/VALUE \"ProductName\", \"$product\"/;
        s/VALUE \"CompanyName\", \".*\"/VALUE \"CompanyName\", \"$company\"/" \
  "$tree/src/resources/launcher.rc"
sed -i "s|HOMEPAGE_URL \"[^\"]*\"|HOMEPAGE_URL \"$address\"|" "$tree/CMakeLists.txt"
export SOURCE_DATE_EPOCH=1796000000  # the copy is no git checkout
fail() { echo "$*"; exit 1; }

cd "$tree"
cmake --preset host >/dev/null
cmake --build --preset host --target unit_tests >/dev/null
build/host/tests/unit/unit_tests --gtest_brief=1 \
  --gtest_filter=-Catalogue.EveryRowSelectsItsHostAndName | tail -n 3
echo "unit tests pass with one row"

cmake --preset win32-release >/dev/null
printf 'row1\t%s\tPowerPnt.exe\t%s\n' "$code" "$title" > "$work/expected.tsv"
grep -v '^other' build/win32-release/tests/e2e/fixtures/products.tsv > "$work/samples.tsv" || true
cmp -s "$work/expected.tsv" "$work/samples.tsv" ||
  fail "sample products: $(cat "$work/samples.tsv"), expected the one row"
echo "the release preset configures with every test; its sample product is the row"

# The README's shipping road, then its signing.
cmake --preset win32-ship >/dev/null
cmake --build --preset win32-ship >/dev/null
installed=$("$here/check_install.sh" cmake build/win32-ship) || fail "win32-ship: $installed"
built=$(find build/win32-ship \( -name '*.msi' -o -name 'e2e_*' -o -name 'products.tsv' \) -printf '%P ')
[ -z "$built" ] || fail "win32-ship built test fixtures: $built"
tests=$(cd build/win32-ship && ctest -N | sed -n 's/^Total Tests: //p')
[ "$tests" = 0 ] || fail "win32-ship left $tests tests"
echo "win32-ship builds and installs what ships alone, no fixture, no test"
cmake --install build/win32-ship --prefix ship >/dev/null
/usr/bin/python3 tests/image/check_image.py ship/SetupLauncher.exe --machine x86 \
  --version 27.0.1 Image.test_version_resource 2>&1 | tail -n 1
echo "the version resource holds 27.0.1 as 27.0.1.0, and \"$copyright\" as written"
top=$(/usr/bin/python3 -c 'import json, sys
c = json.load(open(sys.argv[1]))["metadata"]
print(c["component"]["name"], c["component"]["version"], c["manufacturer"]["name"],
      *c["manufacturer"]["url"], sep="|")' ship/SetupLauncher.cdx.json)
[ "$top" = "$product|27.0.1|$company|$address" ] || fail "the bill of materials describes $top"
echo "the bill of materials describes $product 27.0.1, made by $company, $address"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Acme Test Signing" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -passout pass: -out "$work/acme.p12"
(unset SIGN_PASSWORD; bash scripts/sign.sh "$work/acme.p12" >/dev/null)
signed=$(sha256sum < ship/SetupLauncher.exe)

# The presets that the tests build, as the test command builds them; the twin
# shows the prompt under the title.
export CI=true
source scripts/common.sh
build_preset win32-release >/dev/null
build_preset win64-wine >/dev/null
[ "$(sha256sum < ship/SetupLauncher.exe)" = "$signed" ] || fail "the signed exe was rewritten"
osslsigncode verify -CAfile "$work/cert.pem" -in ship/SetupLauncher.exe >/dev/null 2>&1 ||
  fail "the signed exe no longer verifies"
echo "signed as the README says, after the install: the test presets' builds leave it signed"
/usr/bin/python3 -B tests/e2e/run_e2e.py --launcher build/win64-wine/SetupLauncher.exe \
  --fixtures build/win64-wine/tests/e2e/fixtures --work "$work/e2e" --only upgrade_cancel |
  tee "$work/e2e.log" | grep -E '^(PASS|FAIL)'
grep -q '^1 passed, 0 failed$' "$work/e2e.log" || fail "the twin's prompt under \"$title\" failed"
# The same on the twin without the manifest's UTF-8 code page, as Windows
# before 10 version 1903 runs it: the title, and the German, Ukrainian, Arabic
# and Hebrew sentences under code pages 1252, 1251, 1256 and 1255, as written.
ctest --preset win64-wine -R '^e2e_wine_legacy_code_page$' -V | tee "$work/legacy.log" |
  grep -E '^[0-9]+: (PASS|FAIL|SKIP)'
grep -qE '^[0-9]+: 7 passed, 0 failed$' "$work/legacy.log" ||
  fail "the prompt under \"$title\" without the UTF-8 code page failed"

# What stops the configure, and what the message says.
refused() {
  local why=$1 expected=$2
  if cmake --preset host > "$work/configure.log" 2>&1; then fail "$why configured"; fi
  tr -s ' \n' ' ' < "$work/configure.log" | grep -qF -- "$expected" ||
    fail "$why: the configure did not say \"$expected\": $(tail -n 5 "$work/configure.log")"
  echo "$why stops the configure: $expected"
}
printf 'PRODUCT("%s", "PowerPnt.exe",\n        "Tessashow")\n' "$code" > "$rows"
refused "a wrapped row" 'product_catalogue.def:1: expected PRODUCT("{CODE}", "Host.exe", "Title") on one line, its texts without double quotes, backslashes or tabs:'
printf 'PRODUCT("%s", "Müller.exe", "Tessashow")\n' "$code" > "$rows"
refused "a host outside ASCII" "product_catalogue.def:1: the host must be ASCII"
printf '// Tessashow\xae\n%s\n' "$row" > "$rows"
refused "a row file that is not UTF-8" "product_catalogue.def:1: the file must be UTF-8"
printf '// The media sit in D:\\Setup\\ \r\n%s\r\n' "$row" > "$rows"
refused "a line ending in a backslash" "product_catalogue.def:1: the line ends in a backslash"
printf '\xef\xbb\xbf%s\n' "$row" > "$rows"
cmake --preset host >/dev/null || fail "a row file with a byte-order mark did not configure"
echo "a row file with a byte-order mark configures"
sed -i 's/^project(SetupLauncher VERSION [0-9.]*/project(SetupLauncher VERSION 27.0.1.70000/' CMakeLists.txt
refused "a version part over 65535" "VERSION 27.0.1.70000): each part must be 65535 or less"
sed -i 's/^project(SetupLauncher VERSION [0-9.]*/project(SetupLauncher VERSION 27.0.1/' CMakeLists.txt

# The prompt's translations: the same reader, and rules of their own.
translations=src/guard/prompt_translations.def
german='TRANSLATION(0x0407, "{host} wird ausgeführt.", "Bitte beenden Sie {host}.")'
printf '%s\n%s\n' "$german" "$german" > "$translations"
refused "a language given twice" "prompt_translations.def:2: the language is that of row 1 already"
printf 'TRANSLATION(0x0407, "{host} wird ausgeführt.", "Bitte beenden Sie es.")\n' > "$translations"
refused "a sentence without its marker" "prompt_translations.def:1: each sentence must hold {host}"
printf 'TRANSLATION(0x0809, "{host} is running.", "Please close {host}.")\n' > "$translations"
refused "a row for English" "prompt_translations.def:1: English is the launcher's own text"
printf '// No translations: every user reads English.\n' > "$translations"
cmake --preset host >/dev/null && cmake --build --preset host --target unit_tests >/dev/null ||
  fail "a translations file without rows did not build"
build/host/tests/unit/unit_tests --gtest_brief=1 \
  --gtest_filter=-Catalogue.EveryRowSelectsItsHostAndName | tail -n 1
echo "a translations file without rows builds, and the unit tests pass"
