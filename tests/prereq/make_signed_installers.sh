#!/usr/bin/env bash
# Makes a throw-away code-signing CA for one build and signs copies of the
# stand-in installer with it:
#   signed_microsoft.exe  signer "Microsoft Corporation"
#   signed_microsoft_next.exe  the same signer, another description: other bytes
#   signed_lookalike.exe  signer "Microsoft Corporation (Norvane test)": a name that only contains it
#   signed_other.exe      signer "Norvane Test Publisher"
#   unsigned.exe          no signature
#   signed_altered.exe    signed_microsoft.exe with one byte changed afterwards
#   signed_untrusted.exe  a "Microsoft" signer from a second CA that no store trusts
#   test_ca.der           the CA the tests put into the Wine prefix's Root store
# Usage: make_signed_installers.sh <stand_in_installer.exe> <out dir> [<root dir>]
# With a root dir (ca.pem and ca.key), that root signs instead of a new one:
# the test builds pin it.
set -euo pipefail
in="$1"
out="$2"
root="${3:-}"
mkdir -p "$out"
rm -f "$out"/*.exe "$out"/*.der
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

cat > ca.cnf <<'CNF'
[req]
distinguished_name = dn
prompt = no
[dn]
CN = Norvane Test Code Signing Root
[ext]
basicConstraints = critical, CA:true
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
CNF
cat > leaf.cnf <<'CNF'
[ext]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
authorityKeyIdentifier = keyid
subjectKeyIdentifier = hash
CNF

if [ -n "$root" ]; then
  cp "$root/ca.pem" "$root/ca.key" .
else
  openssl req -x509 -newkey rsa:2048 -nodes -days 30 -keyout ca.key -out ca.pem \
    -config ca.cnf -extensions ext 2>/dev/null
fi
openssl req -x509 -newkey rsa:2048 -nodes -days 30 -keyout rogue.key -out rogue.pem \
  -config ca.cnf -extensions ext -subj "/CN=Norvane Rogue Root" 2>/dev/null
leaf() {  # name, subject, issuing CA
  openssl req -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -subj "/CN=$2/O=$2" 2>/dev/null
  openssl x509 -req -in "$1.csr" -CA "$3.pem" -CAkey "$3.key" -CAcreateserial -days 30 \
    -extfile leaf.cnf -extensions ext -out "$1.pem" 2>/dev/null
  cat "$1.pem" "$3.pem" > "$1.chain.pem"
}
leaf microsoft "Microsoft Corporation" ca
leaf lookalike "Microsoft Corporation (Norvane test)" ca
leaf other "Norvane Test Publisher" ca
leaf untrusted "Microsoft Corporation" rogue

sign() {  # signer, output[, description]
  osslsigncode sign -certs "$1.chain.pem" -key "$1.key" -h sha256 -n "${3:-Norvane test installer}" \
    -in "$in" -out "$2" >/dev/null
}
sign microsoft "$out/signed_microsoft.exe"
sign microsoft "$out/signed_microsoft_next.exe" "Norvane test installer, next"
sign other "$out/signed_other.exe"
sign lookalike "$out/signed_lookalike.exe"
sign untrusted "$out/signed_untrusted.exe"
cp "$in" "$out/unsigned.exe"
cp "$out/signed_microsoft.exe" "$out/signed_altered.exe"
# Flip one byte inside the code (offset 0x600 lies in the first section).
printf '\x90' | dd of="$out/signed_altered.exe" bs=1 seek=$((0x600)) conv=notrunc 2>/dev/null
openssl x509 -in ca.pem -outform DER -out "$out/test_ca.der"
