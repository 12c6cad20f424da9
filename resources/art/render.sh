#!/usr/bin/env bash
# Renders the page's pictures and the application icon from the SVG sources
# beside this script. Needs librsvg2-bin (rsvg-convert), imagemagick and
# fonts-dejavu-core (the wordmark is set in DejaVu Serif).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
out="$(dirname "$here")"
# Debian's ImageMagick; a convert earlier on PATH may be something else.
IM="${IM:-/usr/bin/convert}"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

rsvg-convert -w 460 -h 307 "$here/logo.svg" -o "$tmp/logo.png"
"$IM" "$tmp/logo.png" -strip -define png:color-type=6 "$out/logo.png"

rsvg-convert -w 640 -h 480 "$here/art.svg" -o "$tmp/art.png"
"$IM" "$tmp/art.png" -background '#05090f' -flatten -strip -sampling-factor 4:4:4 -quality 90 "$out/art.jpg"

sizes=(16 24 32 48 64 128 256)
files=()
for s in "${sizes[@]}"; do
  # small sizes use a bolder drawing that stays readable at a few pixels
  src="$here/icon.svg"
  if [ "$s" -le 32 ]; then src="$here/icon-small.svg"; fi
  rsvg-convert -w "$s" -h "$s" "$src" -o "$tmp/icon-$s.png"
  files+=("$tmp/icon-$s.png")
done
"$IM" "${files[@]}" "$out/norvane.ico"
echo "rendered logo.png, art.jpg and norvane.ico into $out"
