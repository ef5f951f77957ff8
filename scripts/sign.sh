#!/usr/bin/env bash
# Signs the launcher with Authenticode (SHA-256) through osslsigncode, in place.
# Usage: [SIGN_PASSWORD=...] scripts/sign.sh CERT.p12 [EXE] [--timestamp URL] [--name NAME]
# EXE defaults to ship/SetupLauncher.exe, what the install gathers: the last
# step, after which no build or test run rewrites it. NAME, which Windows
# shows with the signature, defaults to the version resource's ProductName.
# The password is read from SIGN_PASSWORD (unset or empty: the key has none)
# and handed over in a private file, never on a command line that other users
# could list. The signed exe's checksums go beside it, EXE.sha256 and
# EXE.sha512.
set -euo pipefail
source "$(dirname "$0")/common.sh"
usage="usage: [SIGN_PASSWORD=...] $0 CERT.p12 [EXE] [--timestamp URL] [--name NAME]"
fail() { echo "$*" >&2; exit 2; }

positional=() timestamp=() name=
while [ $# -gt 0 ]; do
  case $1 in
    --timestamp|--name)
      [ $# -ge 2 ] || fail "$1 needs a value; $usage"
      if [ "$1" = --timestamp ]; then timestamp=(-ts "$2"); else name=$2; fi
      shift 2 ;;
    -*) fail "unknown option $1; $usage" ;;
    *) positional+=("$1"); shift ;;
  esac
done
[ ${#positional[@]} -ge 1 ] && [ ${#positional[@]} -le 2 ] || fail "$usage"
pkcs12=${positional[0]}
exe=${positional[1]:-$ROOT/ship/SetupLauncher.exe}
[ -f "$pkcs12" ] || fail "no such certificate file: $pkcs12"
[ -f "$exe" ] || fail "no such exe: $exe (the install gathers ship/SetupLauncher.exe; another exe is given by its path)"
if [ -z "$name" ]; then
  name=$(sed -n 's/^ *VALUE "ProductName", "\(.*\)" *$/\1/p' "$ROOT/src/resources/launcher.rc")
  [ -n "$name" ] || fail "no ProductName in src/resources/launcher.rc; give --name"
fi

ensure_packages osslsigncode
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
password=()
if [ -n "${SIGN_PASSWORD:-}" ]; then
  (umask 077 && printf '%s' "$SIGN_PASSWORD" > "$work/pass")
  password=(-readpass "$work/pass")
fi
if ! osslsigncode sign -pkcs12 "$pkcs12" "${password[@]}" -h sha256 -n "$name" \
    "${timestamp[@]}" -in "$exe" -out "$work/signed.exe" > "$work/log" 2>&1; then
  cat "$work/log" >&2
  if [ ${#password[@]} -eq 0 ]; then
    fail "could not sign with $pkcs12 without a password: if its key has one, set SIGN_PASSWORD"
  fi
  fail "could not sign with $pkcs12 and the password in SIGN_PASSWORD"
fi
# The signed copy takes the place of the exe with the exe's own permissions.
chmod --reference="$exe" "$work/signed.exe"
mv "$work/signed.exe" "$exe"
# Signing changed the exe's bytes: its own checksums stand beside it, while
# SHA256SUMS and SHA512SUMS, like the bill of materials, keep the exe as built.
for alg in sha256 sha512; do
  (cd "$(dirname "$exe")" && ${alg}sum "$(basename "$exe")") > "$exe.$alg"
done
echo "signed: $exe, as \"$name\"; its checksums in $(basename "$exe").sha256 and .sha512"
