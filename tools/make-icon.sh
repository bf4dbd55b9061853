#!/usr/bin/env bash
# Draws the program icon (res/Quavercart.ico, resource 172) at 16, 32 and 48
# pixels: a white quaver on a rounded blue tile with a small green arrow
# pointing down (music going onto the player). Run it to redraw the icon.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# Drawn once at 256 pixels on a 256 grid, then scaled down with a sharp filter.
convert -size 256x256 xc:none \
  -fill '#1f5fa8' -draw 'roundrectangle 8,8 247,247 44,44' \
  -fill '#2d78cf' -draw 'roundrectangle 8,8 247,140 44,44' \
  -fill '#1f5fa8' -draw 'rectangle 8,100 247,140' \
  -fill white \
  -draw 'ellipse 92,186 40,30 0,360' \
  -draw 'rectangle 116,50 136,186' \
  -draw 'polygon 116,50 136,50 196,96 196,134 136,92' \
  -fill '#4cc35a' -stroke '#2e8a3a' -strokewidth 4 \
  -draw 'polygon 168,150 232,150 232,176 248,176 200,236 152,176 168,176' \
  "$tmp/master.png"
for s in 16 32 48; do
  convert "$tmp/master.png" -filter Lanczos -resize ${s}x${s} -unsharp 0x0.6 "PNG32:$tmp/icon$s.png"
done
convert "$tmp/icon16.png" "$tmp/icon32.png" "$tmp/icon48.png" "$top/res/Quavercart.ico"
echo "wrote $top/res/Quavercart.ico"
