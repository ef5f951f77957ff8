#!/usr/bin/env bash
# Makes a throwaway signing token in DIR, as a vendor's token holds its key:
# a SoftHSM2 token (a software token that speaks PKCS#11 as a hardware one
# does, not a hardware module) in DIR's own store, never the machine's, with
# an RSA 3072 key generated inside it, and a code-signing certificate for that
# key from a throwaway CA with an intermediate, in the token and in PEM files.
# DIR/env then sets what sign.sh's token road takes: SOFTHSM2_CONF, SIGN_PIN,
# MODULE, TOKEN, KEY and CERT (URIs); DIR holds root.pem, chain.pem (the
# intermediate), cert.pem (the certificate and its chain) and the CA's keys.
# Usage: throwaway_token.sh DIR
set -euo pipefail
dir=$(mkdir -p "$1" && cd "$1" && pwd)
cd "$dir"
mkdir -p tokens
printf 'directories.tokendir = %s/tokens\nobjectstore.backend = file\nlog.level = ERROR\n' \
  "$dir" > softhsm2.conf
export SOFTHSM2_CONF=$dir/softhsm2.conf
module=/usr/lib/softhsm/libsofthsm2.so
pin=$(od -An -N12 -tx1 /dev/urandom | tr -d ' \n')  # one that cannot turn up by chance
softhsm2-util --init-token --free --label "Setup Launcher Test" --so-pin "so-$pin" \
  --pin "$pin" > /dev/null
pkcs11-tool --module "$module" --token-label "Setup Launcher Test" --login --pin "$pin" \
  --keypairgen --key-type rsa:3072 --id 01 --label "signing key" > /dev/null
token="pkcs11:token=Setup%20Launcher%20Test"
key="$token;object=signing%20key;type=private"
GNUTLS_PIN=$pin p11tool --provider "$module" --login --export-pubkey "$key" > key.pem 2>/dev/null

# ca NAME SUBJECT ISSUER EXTENSIONS [PUBLIC_KEY]: NAME.pem, issued by ISSUER
# (NAME itself: self-signed) for the public key given, or for NAME.key, new.
ca() {
  local name=$1 subject=$2 issuer=$3 extensions=$4 public=${5:-}
  if [ -z "$public" ]; then
    openssl genrsa -out "$name.key" 2048 2>/dev/null
    openssl pkey -in "$name.key" -pubout -out "$name.pub"
    public=$name.pub
  fi
  local signer=(-key "$name.key")
  [ "$issuer" = "$name" ] || signer=(-CA "$issuer.pem" -CAkey "$issuer.key" -force_pubkey "$public")
  tr ';' '\n' <<<"$extensions" > "$name.ext"
  openssl x509 -new -subj "$subject" "${signer[@]}" -days 3 -extfile "$name.ext" \
    -out "$name.pem" 2>/dev/null
}
ca root "/CN=Setup Launcher Test Root" root \
  "basicConstraints=critical,CA:true;keyUsage=critical,keyCertSign,cRLSign"
ca chain "/CN=Setup Launcher Test Intermediate" root \
  "basicConstraints=critical,CA:true,pathlen:0;keyUsage=critical,keyCertSign,cRLSign"
ca leaf "/CN=Setup Launcher Test Signing/O=Acme" chain \
  "basicConstraints=critical,CA:false;keyUsage=critical,digitalSignature;extendedKeyUsage=codeSigning" \
  key.pem
cat leaf.pem chain.pem > cert.pem
GNUTLS_PIN=$pin p11tool --provider "$module" --login --write --load-certificate leaf.pem \
  --label "signing cert" --id 01 "$token" > /dev/null 2>&1
cat > env <<EOF
export SOFTHSM2_CONF='$dir/softhsm2.conf' SIGN_PIN='$pin' MODULE='$module'
TOKEN='$token' KEY='$key' CERT='$token;object=signing%20cert;type=cert'
EOF
