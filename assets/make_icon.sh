#!/usr/bin/env bash
# Draws tidyline.ico, the icon of tidyline.exe (run by hand; the .ico is
# committed, so building needs no ImageMagick). The same mark as
# tidyline.png (make_artwork.sh), drawn at 256x256 and scaled down for each
# size Windows asks for: 16 to 48 for lists and title bars, 256 for large
# icon views (stored as PNG inside the .ico).
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

convert -size 256x256 xc:none \
  -fill '#1F5FAF' -draw 'roundrectangle 8,8 247,247 40,40' \
  -fill '#FFFFFF' -draw 'rectangle 48,60 207,89' -draw 'rectangle 48,114 151,143' -draw 'rectangle 48,168 207,197' \
  "$tmp/256.png"
sizes=(256 128 64 48 32 24 16)
for s in "${sizes[@]}"; do
  convert "$tmp/256.png" -filter Lanczos -resize "${s}x${s}" -define png:color-type=6 "$tmp/$s.png"
done
files=()
for s in "${sizes[@]}"; do files+=("$tmp/$s.png"); done
convert "${files[@]}" tidyline.ico
identify tidyline.ico
