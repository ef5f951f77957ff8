#!/usr/bin/env bash
# Signs copies of the exe with throwaway self-signed certificates through the
# project's signing script and verifies the Authenticode signatures: with a
# password and without one, under the version resource's product name or one
# given, keeping the exe's permissions; a key that needs a password, or an
# option that cannot be honoured, fails with a message instead.
# Usage: check_signing.sh SOURCE_DIR EXE
set -euo pipefail
src=$1 exe=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "$*"; exit 1; }
sign() { bash "$src/scripts/sign.sh" "$@"; }
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Setup Launcher Test Signing" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" \
  2>/dev/null
export_key() { openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" "$@"; }
export_key -passout pass:s3cret -out "$work/secret.p12"
export_key -passout pass: -out "$work/empty.p12"
export_key -keypbe NONE -certpbe NONE -nomac -passout pass: -out "$work/plain.p12"
if osslsigncode verify -in "$exe" >/dev/null 2>&1; then fail "the unsigned exe verified"; fi

# Verifies a signed copy, trusting the throwaway root, under the name given.
verify() {
  local copy=$1 name=$2 out
  out=$(osslsigncode verify -CAfile "$work/cert.pem" -in "$copy" 2>&1) || { echo "$out"; exit 1; }
  echo "$out" | grep -q 'Message digest algorithm *: SHA256' || fail "$copy: not SHA-256"
  echo "$out" | grep -q 'Signature verification: ok' || fail "$copy: signature not verified"
  echo "$out" | grep -q "Text description: $name\$" || fail "$copy: not signed as \"$name\""
}
copy() { cp "$exe" "$work/$1.exe"; chmod 0755 "$work/$1.exe"; echo "$work/$1.exe"; }

signed=$(copy secret)
SIGN_PASSWORD=s3cret sign "$work/secret.p12" "$signed"
mode=$(stat -c %a "$signed")
[ "$mode" = 755 ] || fail "signing changed the exe's permissions to $mode"
verify "$signed" "Setup Launcher"
for alg in sha256 sha512; do
  (cd "$work" && ${alg}sum --quiet -c secret.exe.$alg) || fail "the signed exe's $alg file does not check"
done
echo "signed with a password, as the version resource's ProductName; permissions kept; its checksums beside it check"

for key in empty plain; do
  signed=$(copy "$key")
  (unset SIGN_PASSWORD; sign "$work/$key.p12" --name "Tessashow Media" "$signed")
  SIGN_PASSWORD= sign "$work/$key.p12" "$(copy "$key-again")"
  verify "$signed" "Tessashow Media"
done
echo "a key with an empty password and one without encryption sign with SIGN_PASSWORD unset or empty"

# Failures that must be told, never passed over.
refused() {
  local why=$1 expected=$2; shift 2
  if out=$("$@" 2>&1); then fail "$why: signed anyway"; fi
  grep -q -- "$expected" <<<"$out" || fail "$why: said $out"
}
refused "a key that needs a password, without one" "set SIGN_PASSWORD" \
  env -u SIGN_PASSWORD bash "$src/scripts/sign.sh" "$work/secret.p12" "$(copy needs)"
# After the exe, and with no time-stamp server at that address: it is tried.
refused "--timestamp after the exe" "127.0.0.1:9" \
  sign "$work/plain.p12" "$(copy late)" --timestamp http://127.0.0.1:9/
refused "an unknown option" "unknown option --time-stamp" \
  sign "$work/plain.p12" "$(copy unknown)" --time-stamp http://127.0.0.1:9/
echo "a key that needs a password names SIGN_PASSWORD; an option after the exe is honoured; an unknown one is refused"
