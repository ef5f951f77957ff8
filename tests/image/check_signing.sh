#!/usr/bin/env bash
# Signs a copy of the exe with a throwaway self-signed certificate through the
# project's signing script and verifies the Authenticode signature.
# Usage: check_signing.sh SOURCE_DIR EXE
set -euo pipefail
src=$1 exe=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Setup Launcher Test Signing" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" \
  2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -passout pass:s3cret \
  -out "$work/cert.p12"
cp "$exe" "$work/SetupLauncher.exe"
chmod 0755 "$work/SetupLauncher.exe"
SIGN_PASSWORD=s3cret bash "$src/scripts/sign.sh" "$work/cert.p12" "$work/SetupLauncher.exe"
mode=$(stat -c %a "$work/SetupLauncher.exe")
[ "$mode" = 755 ] || { echo "signing changed the exe's permissions to $mode"; exit 1; }

# Unsigned before, signed after; trust the throwaway root for the check.
if osslsigncode verify -in "$exe" >/dev/null 2>&1; then echo "the unsigned exe verified"; exit 1; fi
out=$(osslsigncode verify -CAfile "$work/cert.pem" -in "$work/SetupLauncher.exe" 2>&1) || {
  echo "$out"; exit 1; }
echo "$out" | grep -E 'Message digest algorithm|Signature verification|Subject:' | sort -u
echo "$out" | grep -q 'Message digest algorithm *: SHA256' || { echo "not SHA-256"; exit 1; }
echo "$out" | grep -q 'Signature verification: ok' || { echo "signature not verified"; exit 1; }
