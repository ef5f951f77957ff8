#!/usr/bin/env bash
# Signs copies of the exe through scripts/sign.sh with a key that never leaves
# its token (SoftHSM2, throwaway_token.sh), with the certificate from the token
# and from a file, time-stamped by a local authority of the test's own, and
# verifies them; each refusal leaves the exe as it was, with its message; no
# program that sign.sh starts gets the PIN in its arguments.
# A locked PIN is not tried: SoftHSM2 never locks one.
# Usage: check_token_signing.sh SOURCE_DIR EXE
set -euo pipefail
src=$1 exe=$2
work=$(mktemp -d)
server=
trap '[ -z "$server" ] || kill "$server"; rm -rf "$work"' EXIT
fail() { echo "$*" >&2; exit 1; }
trap 'echo "stopped at line $LINENO: $BASH_COMMAND" >&2' ERR
sign() { bash "$src/scripts/sign.sh" "$@"; }
copy() { cp "$exe" "$work/$1.exe"; echo "$work/$1.exe"; }
bash "$src/tests/image/throwaway_token.sh" "$work/token"
source "$work/token/env"
road=(--pkcs11-module "$MODULE" --key "$KEY")

flags=$(GNUTLS_PIN=$SIGN_PIN p11tool --provider "$MODULE" --login --list-privkeys "$KEY" | grep Flags:)
grep -q ' CKA_NEVER_EXTRACTABLE;' <<<"$flags" && ! grep -q ' CKA_EXTRACTABLE;' <<<"$flags" ||
  fail "the key can leave the token: $flags"
echo "the token's key is RSA 3072, never extractable:$flags"

# A time-stamp authority: openssl ts behind a small HTTP server.
cd "$work/token"
openssl req -x509 -newkey rsa:2048 -nodes -days 3 -subj "/CN=Setup Launcher Test TSA" \
  -addext "extendedKeyUsage=critical,timeStamping" -keyout tsa.key -out tsa.pem 2>/dev/null
printf '[tsa]\ndefault_tsa = t\n[t]\nserial = tsa.serial\nsigner_digest = sha256\ndefault_policy = 1.2.3.4.1\ndigests = sha256\ness_cert_id_alg = sha256\n' > ts.cnf
python3 -c '
import http.server, subprocess, sys
class Authority(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers["Content-Length"]))
        reply = subprocess.run(["openssl", "ts", "-reply", "-config", "ts.cnf", "-queryfile",
            "/dev/stdin", "-inkey", "tsa.key", "-signer", "tsa.pem", "-out", "/dev/stdout"],
            input=query, capture_output=True).stdout
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)
    def log_message(self, *args):
        pass
served = http.server.HTTPServer(("127.0.0.1", 0), Authority)
print(served.server_address[1], flush=True)
served.serve_forever()' > port 2>/dev/null &
server=$!
cd - > /dev/null
for _ in $(seq 50); do [ -s "$work/token/port" ] && break; sleep 0.1; done
timestamp=http://127.0.0.1:$(cat "$work/token/port")/

verify() {  # verify EXE [osslsigncode verify options]: trusting the throwaway root
  local out
  out=$(osslsigncode verify -CAfile "$work/token/root.pem" "${@:2}" -in "$1" 2>&1) ||
    fail "$1 does not verify: $out"
  grep -q 'Signature verification: ok' <<<"$out" || fail "$1: signature not verified: $out"
  grep -q 'Subject: /CN=Setup Launcher Test Signing/O=Acme' <<<"$out" || fail "$1: no subject"
  echo "$out"
}
signed=$(copy from-token)
strace -f -e trace=execve -s 65536 -o "$work/execve" \
  bash "$src/scripts/sign.sh" "${road[@]}" --cert "$CERT" --chain "$work/token/chain.pem" "$signed"
verify "$signed" > /dev/null
grep -q 'osslsigncode' "$work/execve" || fail "strace recorded no osslsigncode"
! grep -F -q "$SIGN_PIN" "$work/execve" || fail "the PIN is in an argument: $(grep -F "$SIGN_PIN" "$work/execve")"
echo "signed with the token's certificate and --chain; verified; the PIN in none of $(grep -c execve "$work/execve") programs' arguments"

signed=$(copy from-file)
sign "${road[@]}" --cert "$work/token/cert.pem" --timestamp "$timestamp" "$signed"
verify "$signed" -TSA-CAfile "$work/token/tsa.pem" | grep -q 'Timestamp Server Signature verification: ok' ||
  fail "the time stamp did not verify"
echo "signed with the certificate and chain from a file, time-stamped; both verified"
mkdir "$work/image" && cp "$signed" "$(dirname "$exe")/THIRD-PARTY-NOTICES.txt" "$work/image/"
/usr/bin/python3 "$src/tests/image/check_image.py" "$work/image/from-file.exe" --machine x86 \
  --version "$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$(dirname "$exe")/CMakeCache.txt")" \
  2> "$work/image.log" || { cat "$work/image.log"; fail "the signed exe fails the image checks"; }
echo "the token-signed exe passes the image checks, its size without the signature"

# Refusals: the reason, what sign.sh says, its arguments; the exe stays as it was.
pkcs11-tool --module "$MODULE" --token-label "Setup Launcher Test" --login --pin "$SIGN_PIN" \
  --keypairgen --key-type rsa:2048 --id 02 --label "other key" > /dev/null
t=$work/token
certificate() {  # NAME PUBLIC_KEY EXTENDED_USAGE DATES...: from the throwaway intermediate
  printf 'keyUsage=critical,digitalSignature\nextendedKeyUsage=%s\n' "$3" > "$t/$1.ext"
  openssl x509 -new -subj "/CN=Test $1" -CA "$t/chain.pem" -CAkey "$t/chain.key" \
    -force_pubkey "$2" "${@:4}" -extfile "$t/$1.ext" -out "$t/$1.pem" 2>/dev/null
}
certificate other "$t/root.pub" codeSigning -days 3
certificate server "$t/key.pem" serverAuth -days 3
# OpenSSL 3.4 and later (Debian 13) set the dates themselves; 3.0 (Debian 12)
# takes a negative -days, which they refuse.
if openssl x509 -help 2>&1 | grep -q -- -not_after; then
  certificate expired "$t/key.pem" codeSigning -not_before 20200101000000Z -not_after 20200102000000Z
else
  certificate expired "$t/key.pem" codeSigning -days -1
fi
openssl pkcs12 -export -inkey "$t/root.key" -in "$t/root.pem" -passout pass: -out "$t/root.p12"
: > "$work/not-a-module.so"
refused() {
  local why=$1 expected=$2 out case; shift 2
  case=$(copy refused)
  if out=$("$@" "$case" 2>&1); then fail "$why: signed anyway"; fi
  grep -qF -- "$expected" <<<"$out" || fail "$why: said $out"
  ! grep -qF -- "$SIGN_PIN" <<<"$out" || fail "$why: the message shows the PIN"
  cmp -s "$exe" "$case" || fail "$why: the exe changed"
  echo "refused, $why: $(tail -n 1 <<<"$out")"
}
module=(--pkcs11-module "$MODULE")
refused "a module that is missing" "no PKCS#11 module at $t/none.so" \
  sign --pkcs11-module "$t/none.so" --key "$KEY" --cert "$CERT"
refused "a module that does not load" "the PKCS#11 module $work/not-a-module.so does not load" \
  sign --pkcs11-module "$work/not-a-module.so" --key "$KEY" --cert "$CERT"
refused "a URI that no key answers" "no key in the token answers $TOKEN;object=none" \
  sign "${module[@]}" --key "$TOKEN;object=none" --cert "$CERT"
refused "a URI that two keys answer" "2 keys answer $TOKEN;type=private" \
  sign "${module[@]}" --key "$TOKEN;type=private" --cert "$CERT"
refused "a wrong PIN" "the token refused the PIN in SIGN_PIN" \
  env SIGN_PIN=0000 bash "$src/scripts/sign.sh" "${road[@]}" --cert "$CERT"
refused "no PIN" "set SIGN_PIN" env -u SIGN_PIN bash "$src/scripts/sign.sh" "${road[@]}" --cert "$CERT"
refused "a URI that holds its PIN" "the URI of --key holds pin-value" \
  sign "${module[@]}" --key "$KEY?pin-value=$SIGN_PIN" --cert "$CERT"
refused "another key's certificate" "is not the key's own: its public key differs" \
  sign "${road[@]}" --cert "$t/other.pem"
refused "a certificate without code signing" "has no code-signing usage" \
  sign "${road[@]}" --cert "$t/server.pem"
refused "an expired certificate" "is outside its dates" sign "${road[@]}" --cert "$t/expired.pem"
refused "both roads" "both roads given" sign "$t/root.p12" "${road[@]}" --cert "$CERT"
out=$(sign --name X 2>&1) && fail "neither road: signed anyway"
grep -qF "neither road given" <<<"$out" || fail "neither road: said $out"
echo "refused, neither road: $(head -n 1 <<<"$out")"
