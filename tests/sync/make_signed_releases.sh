#!/usr/bin/env bash
# Publishes a one-file client with tools/publish for the signed-release tests:
#   v1/, v2/     versions 1 and 2 signed with the test release key
#   forged/      version 3 signed with another key
#   release.key, other.key  the keys' public halves, as NV_RELEASE_KEYS takes them
# Usage: make_signed_releases.sh <source dir> <key dir> <out dir>
set -euo pipefail
src="$1"
keys="$2"
out="$3"
rm -rf "$out"
mkdir -p "$out/client"
publish() {  # version, content of the file, key, folder
  printf '%s' "$2" > "$out/client/a.txt"
  python3 "$src/tools/publish/publish.py" --quiet --out "$out/$4" --version "$1" --client "$out/client" \
    --key "$keys/$3.pem" | sed -n 's/^signed with release key //p'
}
publish 1 one release v1 > "$out/release.key"
publish 2 two release v2 > /dev/null
publish 3 three other forged > "$out/other.key"
rm -rf "$out/client"
