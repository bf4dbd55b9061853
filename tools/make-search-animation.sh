#!/usr/bin/env bash
# Draws the searching animation (res/anim/): 16 frames and one mask, 60x60
# pixels, 24 bits per pixel. A magnifying glass circles over three quavers on
# the icon's blue tile, enlarging the note under its lens; one turn per loop,
# so frame 15 leads smoothly back into frame 0. Run it to redraw them.
#
# One mask serves every frame, so everything that moves stays inside the tile.
# The mask is all or nothing per pixel: the tile's soft edge is blended into the
# dialog's usual face colour and cut where it is more than half transparent.
# Frames are white wherever the mask is.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=$top/res/anim
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$out"
face='#f0f0f0'
# Drawn at 240 pixels (4 per final pixel), then scaled down.
convert -size 240x240 xc:none \
  -fill '#1f5fa8' -draw 'roundrectangle 4,4 235,235 44,44' \
  -fill '#2d78cf' -draw 'roundrectangle 4,4 235,132 44,44' \
  -fill '#1f5fa8' -draw 'rectangle 4,96 235,132' \
  "$tmp/tile.png"
# A quaver of about 60 pixels with its head's centre at (x, y).
quaver() {
  local x=$1 y=$2
  echo "-draw \"ellipse $x,$y 13,10 0,360\"" \
       "-draw \"rectangle $((x + 7)),$((y - 48)) $((x + 13)),$y\"" \
       "-draw \"polygon $((x + 7)),$((y - 48)) $((x + 13)),$((y - 48)) $((x + 33)),$((y - 30)) $((x + 33)),$((y - 18)) $((x + 13)),$((y - 34))\""
}
# Three notes on the lens's path (radius 40 around the centre), 120 degrees apart.
eval convert -size 240x240 xc:none -fill white \
  "$(quaver 100 96)" "$(quaver 135 156)" "$(quaver 66 156)" "$tmp/notes.png"

for k in $(seq 0 15); do
  read -r cx cy < <(awk -v k="$k" 'BEGIN { a = 2 * 3.14159265 * k / 16 - 3.14159265 / 2;
    printf "%.1f %.1f\n", 112 + 40 * cos(a), 112 + 40 * sin(a) }')
  lens=30
  # The handle points to the lower right whatever the lens's place.
  read -r hx1 hy1 hx2 hy2 < <(awk -v x="$cx" -v y="$cy" -v r="$lens" 'BEGIN { d = 0.7071;
    printf "%.1f %.1f %.1f %.1f\n", x + (r + 4) * d, y + (r + 4) * d, x + (r + 40) * d, y + (r + 40) * d }')
  convert -size 240x240 xc:none -fill white -draw "circle $cx,$cy $cx,$(awk -v y="$cy" -v r="$lens" 'BEGIN{print y - r}')" \
    "$tmp/lensmask.png"
  # Inside the lens: lighter glass and the notes half as large again.
  convert -size 240x240 xc:'#5b9be3' \
    \( "$tmp/notes.png" -virtual-pixel transparent -distort SRT "$cx,$cy 1.5 0" \) -composite \
    "$tmp/lensmask.png" -alpha off -compose CopyOpacity -composite "$tmp/lens.png"
  convert "$tmp/tile.png" "$tmp/notes.png" -composite "$tmp/lens.png" -composite \
    -fill none -stroke white -strokewidth 9 \
    -draw "circle $cx,$cy $cx,$(awk -v y="$cy" -v r="$lens" 'BEGIN{print y - r}')" \
    -stroke '#2e8a3a' -strokewidth 22 -draw "line $hx1,$hy1 $hx2,$hy2" \
    -stroke '#4cc35a' -strokewidth 14 -draw "line $hx1,$hy1 $hx2,$hy2" \
    -stroke '#ffffff' -strokewidth 5 \
    -draw "arc $(awk -v x="$cx" -v y="$cy" 'BEGIN{printf "%.1f,%.1f %.1f,%.1f", x - 20, y - 20, x + 20, y + 20}') 195,255" \
    "$tmp/big$k.png"
  convert "$tmp/big$k.png" -filter Lanczos -resize 60x60 "$tmp/small$k.png"
done

# Opaque where the tile is at least half there.
convert "$tmp/small0.png" -alpha extract -threshold 50% "$tmp/opaque.png"
convert "$tmp/opaque.png" -negate -type TrueColor "BMP3:$out/mask.bmp"
for k in $(seq 0 15); do
  convert -size 60x60 xc:white \( "$tmp/small$k.png" -background "$face" -flatten \) "$tmp/opaque.png" \
    -composite -alpha off -type TrueColor "BMP3:$out/frame$(printf %02d "$k").bmp"
done
echo "wrote $out: frame00.bmp..frame15.bmp and mask.bmp"
