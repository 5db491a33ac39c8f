#!/bin/sh
# Draws the application icon: a blue tile with a chip and an amber arrow going
# into it (firmware going into the device), at 16, 32, 48 and 256 pixels, as
# win32/qelisp.ico for Windows and as qt/icons/qelisp-SIZE.png (the hicolor
# sizes) for Linux. Needs ImageMagick 6 (convert). The icons are kept in the
# repository, so building does not need ImageMagick; run this only to change
# the icon.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
ico=${1:-$here/win32/qelisp.ico}
pngs=${2:-$here/qt/icons}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The big icon is drawn on a 256 grid.
tile() {
  convert -size 256x256 gradient:'#3d86d6-#17467f' -alpha set \
    \( -size 256x256 xc:none -fill white -draw 'roundrectangle 8,8 247,247 44,44' \) \
    -compose DstIn -composite "$1"
}

chip() {
  # Pins first, the body over their inner ends.
  pins=""
  for y in 126 154 182 210; do
    pins="$pins rectangle 50,$((y - 7)) 206,$((y + 7))"
  done
  for x in 100 128 156; do
    pins="$pins rectangle $((x - 7)),150 $((x + 7)),236"
  done
  convert "$1" \
    -fill '#c9d3da' -draw "$pins" \
    -fill '#22303a' -draw 'roundrectangle 68,104 188,222 12,12' \
    -fill '#3b4d5a' -draw 'circle 86,204 86,196' \
    "$1"
}

arrow() {
  # A dark rim keeps the amber apart from both the tile and the chip.
  convert "$1" \
    -fill '#7a4a00' -draw 'polygon 100,18 156,18 156,92 194,92 128,170 62,92 100,92' \
    -fill '#ffb61e' -draw 'polygon 107,25 149,25 149,99 178,99 128,159 78,99 107,99' \
    "$1"
}

tile "$work/big.png"
chip "$work/big.png"
arrow "$work/big.png"

# 48 and 32 from the big one.
for size in 48 32; do
  convert "$work/big.png" -filter Lanczos -resize ${size}x${size} "$work/icon-$size.png"
done
cp "$work/big.png" "$work/icon-256.png"

# At 16 pixels the pins would be noise: a simpler drawing on a 16 grid,
# drawn four times as large and averaged down, so edges fall on pixels.
convert -size 64x64 gradient:'#3d86d6-#17467f' -alpha set \
  \( -size 64x64 xc:none -fill white -draw 'roundrectangle 0,0 63,63 12,12' \) \
  -compose DstIn -composite -compose Over \
  -fill '#c9d3da' -draw 'rectangle 8,32 55,35 rectangle 8,40 55,43 rectangle 8,48 55,51' \
  -fill '#22303a' -draw 'rectangle 16,28 47,59' \
  -fill '#7a4a00' -draw 'polygon 24,4 39,4 39,20 52,20 32,44 11,20 24,20' \
  -fill '#ffb61e' -draw 'polygon 27,7 36,7 36,23 46,23 32,40 17,23 27,23' \
  -filter box -resize 16x16 "$work/icon-16.png"

convert "$work/icon-16.png" "$work/icon-32.png" "$work/icon-48.png" "$work/icon-256.png" "$ico"
mkdir -p "$pngs"
for size in 16 32 48 256; do
  # No time stamps: the same drawing gives the same files.
  convert "$work/icon-$size.png" -strip "$pngs/qelisp-$size.png"
done
echo "wrote $ico and $pngs/qelisp-{16,32,48,256}.png"
