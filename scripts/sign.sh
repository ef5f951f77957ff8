#!/usr/bin/env bash
# Signs the release exe with Authenticode (SHA-256) through osslsigncode.
# Usage: SIGN_PASSWORD=... scripts/sign.sh CERT.p12 [--timestamp URL] [EXE]
# EXE defaults to build/win32-release/SetupLauncher.exe and is signed in place.
# The password is read from SIGN_PASSWORD and handed over in a private file,
# never on a command line that other users could list.
set -euo pipefail
source "$(dirname "$0")/common.sh"
[ $# -ge 1 ] || { echo "usage: SIGN_PASSWORD=... $0 CERT.p12 [--timestamp URL] [EXE]" >&2; exit 2; }
pkcs12=$1; shift
timestamp=()
if [ "${1:-}" = "--timestamp" ]; then timestamp=(-ts "$2"); shift 2; fi
exe=${1:-$ROOT/build/win32-release/SetupLauncher.exe}
[ -f "$pkcs12" ] || { echo "no such certificate file: $pkcs12" >&2; exit 2; }
[ -f "$exe" ] || { echo "no such exe: $exe" >&2; exit 2; }

ensure_packages osslsigncode
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(umask 077 && printf '%s' "${SIGN_PASSWORD:-}" > "$work/pass")
osslsigncode sign -pkcs12 "$pkcs12" -readpass "$work/pass" -h sha256 \
  -n "Setup Launcher" "${timestamp[@]}" -in "$exe" -out "$work/signed.exe" >/dev/null
# The signed copy takes the place of the exe with the exe's own permissions.
chmod --reference="$exe" "$work/signed.exe"
mv "$work/signed.exe" "$exe"
echo "signed: $exe"
