#!/usr/bin/env bash
# Signs the launcher with Authenticode (SHA-256) through osslsigncode, in place.
set -euo pipefail
source "$(dirname "$0")/common.sh"
usage="usage: SIGN_PIN=... $0 --pkcs11-module LIB --key URI --cert URI|FILE [--chain FILE]
                 [EXE] [--timestamp URL] [--name NAME]
       [SIGN_PASSWORD=...] $0 CERT.p12 [EXE] [--timestamp URL] [--name NAME]

With a key in a token, an HSM or a cloud key store: LIB is its PKCS#11 module,
URI the key's PKCS#11 URI (RFC 7512), --cert the certificate's URI in the
token or a PEM file of the certificate and its chain, --chain a PEM file of
the intermediates the token lacks. The PIN is read from SIGN_PIN. With a
PKCS#12 file (test certificates, private CAs): its password is read from
SIGN_PASSWORD (unset or empty: the key has none).

EXE defaults to ship/SetupLauncher.exe, what the install gathers: the last
step, after which no build or test run rewrites it. NAME, which Windows shows
with the signature, defaults to the version resource's ProductName. The PIN
and the password reach osslsigncode in a private file, never on a command
line that other users could list. Before anything is written, the token road
logs in once and checks the key and the certificate; a failure leaves the exe
as it was. The signed exe's checksums go beside it, EXE.sha256 and EXE.sha512."
fail() { echo "$*" >&2; exit 2; }

positional=() timestamp=() name= module= key= cert= chain=
while [ $# -gt 0 ]; do
  case $1 in
    -h|--help) echo "$usage"; exit 0 ;;
    --timestamp|--name|--pkcs11-module|--key|--cert|--chain)
      [ $# -ge 2 ] || fail "$1 needs a value; $usage"
      case $1 in
        --timestamp) timestamp=(-ts "$2") ;;
        --name) name=$2 ;;
        --pkcs11-module) module=$2 ;;
        --key) key=$2 ;;
        --cert) cert=$2 ;;
        --chain) chain=$2 ;;
      esac
      shift 2 ;;
    -*) fail "unknown option $1; $usage" ;;
    *) positional+=("$1"); shift ;;
  esac
done

token=$module$key$cert$chain
if [ -n "$token" ]; then
  if [ ${#positional[@]} -gt 1 ] || [[ ${positional[0]:-} =~ \.(p12|pfx)$ ]]; then
    fail "both roads given: a PKCS#12 file and a key in a token; give one"
  fi
  [ -n "$module" ] || fail "--key, --cert and --chain need --pkcs11-module; $usage"
  [ -n "$key" ] && [ -n "$cert" ] || fail "--pkcs11-module needs --key and --cert; $usage"
  [[ $key == pkcs11:* ]] || fail "--key must be a PKCS#11 URI (pkcs11:...): $key"
  # Messages print the URIs: a PIN in one would end up in logs.
  holds_pin() { [[ ${1,,} =~ ^pkcs11:.*pin-(value|source)= ]]; }
  ! holds_pin "$key" || fail "the URI of --key holds pin-value or pin-source; give the PIN in SIGN_PIN instead"
  ! holds_pin "$cert" || fail "the URI of --cert holds pin-value or pin-source; give the PIN in SIGN_PIN instead"
  [ -n "${SIGN_PIN:-}" ] || fail "set SIGN_PIN to the token's PIN (osslsigncode would wait for it)"
  [ -z "$chain" ] || [ -f "$chain" ] || fail "no such chain file: $chain"
  exe=${positional[0]:-$ROOT/ship/SetupLauncher.exe}
else
  [ ${#positional[@]} -ge 1 ] ||
    fail "neither road given: a PKCS#12 file, or --pkcs11-module with --key and --cert; $usage"
  [ ${#positional[@]} -le 2 ] || fail "$usage"
  pkcs12=${positional[0]}
  exe=${positional[1]:-$ROOT/ship/SetupLauncher.exe}
  [ -f "$pkcs12" ] || fail "no such certificate file: $pkcs12"
fi
[ -f "$exe" ] || fail "no such exe: $exe (the install gathers ship/SetupLauncher.exe; another exe is given by its path)"
if [ -z "$name" ]; then
  name=$(sed -n 's/^ *VALUE "ProductName", "\(.*\)" *$/\1/p' "$ROOT/src/resources/launcher.rc")
  [ -n "$name" ] || fail "no ProductName in src/resources/launcher.rc; give --name"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The token's key and certificate, checked before anything is signed:
# osslsigncode says "Succeeded" with a key that is not the certificate's, or
# the first of two keys that answer a URI, and the signature is then invalid.
p11() { GNUTLS_PIN=$SIGN_PIN p11tool --provider "$module" --login "$@" 2> "$work/p11.log"; }
p11_failure() {  # what the token said, as one line
  if grep -q 'PIN locked' "$work/p11.log"; then
    fail "the token's PIN is locked (CKR_PIN_LOCKED): unlock it with the token's own tools"
  fi
  if grep -q -i -e 'wrong password' -e 'wrong PIN' "$work/p11.log"; then
    fail "the token refused the PIN in SIGN_PIN"
  fi
}
public_key() { openssl pkey -pubin -outform DER 2>/dev/null | sha256sum | cut -d' ' -f1; }
check_certificate() {  # the certificate in $1 is the key's, for code signing, in its dates
  local file=$1 subject now from until
  subject=$(openssl x509 -in "$file" -noout -subject -nameopt oneline | sed 's/^subject= *//')
  [ "$(openssl x509 -in "$file" -noout -pubkey | public_key)" = "$key_hash" ] ||
    fail "the certificate $subject is not the key's own: its public key differs"
  openssl x509 -in "$file" -noout -ext extendedKeyUsage 2>/dev/null | grep -q 'Code Signing' ||
    fail "the certificate $subject has no code-signing usage (extendedKeyUsage codeSigning)"
  now=$(date +%s)
  from=$(openssl x509 -in "$file" -noout -startdate | cut -d= -f2)
  until=$(openssl x509 -in "$file" -noout -enddate | cut -d= -f2)
  [ "$(date -d "$from" +%s)" -le "$now" ] && [ "$now" -lt "$(date -d "$until" +%s)" ] ||
    fail "the certificate $subject is outside its dates ($from to $until)"
}

if [ -n "$token" ]; then
  ensure_packages osslsigncode libengine-pkcs11-openssl gnutls-bin openssl
  [ -f "$module" ] || fail "no PKCS#11 module at $module"
  p11tool --provider "$module" --list-tokens > /dev/null 2>&1 ||
    fail "the PKCS#11 module $module does not load"
  p11 --list-privkeys "$key" > "$work/keys" || { p11_failure; true; }
  keys=$(grep -c '^Object [0-9]*:' "$work/keys" || true)
  [ "$keys" -ge 1 ] || fail "no key in the token answers $key"
  [ "$keys" -eq 1 ] || fail "$keys keys answer $key: name one (add id= or object=)"
  p11 --export-pubkey "$key" > "$work/key.pem" || { p11_failure; fail "could not read the public key of $key"; }
  key_hash=$(public_key < "$work/key.pem")
  if [[ $cert == pkcs11:* ]]; then
    p11 --list-all-certs "$cert" > "$work/certs" || p11_failure
    certs=$(grep -c '^Object [0-9]*:' "$work/certs" || true)
    [ "$certs" -eq 1 ] || fail "$certs certificates in the token answer $cert; name one"
    p11 --export "$cert" > "$work/cert.pem" || fail "could not read the certificate $cert"
    check_certificate "$work/cert.pem"
    certificate=(-pkcs11cert "$cert")
  else
    [ -f "$cert" ] || fail "no such certificate file: $cert"
    # The file holds the certificate and its chain: the key's is the one signed for.
    awk -v out="$work/in-file-" '/-BEGIN CERTIFICATE-/ {n++} n {print > (out n ".pem")}' "$cert"
    [ -f "$work/in-file-1.pem" ] || fail "no PEM certificate in $cert"
    signer=
    for file in "$work"/in-file-*.pem; do
      [ "$(openssl x509 -in "$file" -noout -pubkey | public_key)" = "$key_hash" ] &&
        { signer=$file; break; }
    done
    check_certificate "${signer:-$work/in-file-1.pem}"
    certificate=(-certs "$cert")
  fi
  (umask 077 && printf '%s' "$SIGN_PIN" > "$work/pin")
  intermediates=()
  [ -z "$chain" ] || intermediates=(-ac "$chain")
  if ! osslsigncode sign -pkcs11module "$module" -key "$key" "${certificate[@]}" \
      "${intermediates[@]}" -readpass "$work/pin" -h sha256 -n "$name" "${timestamp[@]}" \
      -in "$exe" -out "$work/signed.exe" > "$work/log" 2>&1; then
    cat "$work/log" >&2
    fail "could not sign with $key through $module"
  fi
else
  ensure_packages osslsigncode
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
