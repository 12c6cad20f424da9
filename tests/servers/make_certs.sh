#!/usr/bin/env bash
# Writes a fresh test CA and a server certificate for "localhost" (DNS SAN:
# Wine's WinHTTP refuses an IP-address SAN) into the folder given.
set -euo pipefail
dir="$1"
mkdir -p "$dir"
cd "$dir"
rm -f ca.key ca.pem ca.der server.key server.csr server.pem ca.srl
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 \
  -subj "/CN=Norvane Test CA $(date +%s)" \
  -addext "basicConstraints=critical,CA:TRUE" \
  -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl x509 -in ca.pem -outform der -out ca.der
openssl req -newkey rsa:2048 -nodes -keyout server.key -out server.csr -subj "/CN=localhost" 2>/dev/null
cat > server.ext <<'EXT'
basicConstraints=CA:FALSE
keyUsage=critical,digitalSignature,keyEncipherment
extendedKeyUsage=serverAuth
subjectAltName=DNS:localhost
EXT
openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out server.pem \
  -days 2 -sha256 -extfile server.ext 2>/dev/null
