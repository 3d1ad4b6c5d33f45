#!/bin/sh
# Regenerates the BMP files the asset tests read, all written by ImageMagick's
# `convert` (tested with ImageMagick 6.9.11). The two top-down files are
# convert's output of the vertically flipped picture with the height field
# made negative, since convert itself writes bottom-up only.
set -eu
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# 5 x 3 opaque colours: an odd width (15 bytes of pixels, padded to 16 per
# row), the magenta key (255, 0, 255) and its neighbour (255, 0, 254).
cat > "$tmp/rgb.ppm" <<'PPM'
P3
5 3
255
255 0 0    0 255 0      0 0 255   255 0 255     255 0 254
10 20 30   40 50 60     70 80 90  100 110 120   130 140 150
0 0 0      255 255 255  1 2 3     200 100 50    255 0 255
PPM
# 3 x 2 with alpha: 80, FF, 00 / 40, C0, FF.
{
  printf 'P7\nWIDTH 3\nHEIGHT 2\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n'
  printf '\377\000\000\200\000\377\000\377\000\000\377\000'
  printf '\020\040\060\100\120\140\160\300\001\002\003\377'
} > "$tmp/rgba.pam"

negate_height() {  # file rows: write -rows at offset 22 (little-endian)
  v=$(( 4294967296 - $2 ))
  printf "$(printf '\\%03o\\%03o\\%03o\\%03o' $((v & 255)) $((v >> 8 & 255)) $((v >> 16 & 255)) $((v >> 24 & 255)))" |
    dd of="$1" bs=1 seek=22 conv=notrunc status=none
}

convert "$tmp/rgb.ppm" -type truecolor BMP3:rgb24_5x3.bmp
convert "$tmp/rgb.ppm" -type truecolor BMP:rgb24_5x3_v5.bmp
convert "$tmp/rgb.ppm" -flip -type truecolor BMP3:rgb24_5x3_topdown.bmp
negate_height rgb24_5x3_topdown.bmp 3
convert "$tmp/rgba.pam" BMP:argb32_3x2.bmp
convert "$tmp/rgba.pam" -flip BMP:argb32_3x2_topdown.bmp
negate_height argb32_3x2_topdown.bmp 2
convert "$tmp/rgba.pam" -alpha transparent BMP:argb32_3x2_zeroalpha.bmp
convert "$tmp/rgb.ppm" -alpha on BMP:argb32_5x3_opaque.bmp
# Rejected kinds.
convert -size 4x32 gradient:black-white -type palette -compress none BMP3:pal8_4x32.bmp
convert "$tmp/rgb.ppm" -type palette -compress none BMP3:pal4_5x3.bmp
convert "$tmp/rgb.ppm" -type palette -compress RLE BMP3:rle8_5x3.bmp
convert "$tmp/rgb.ppm" -define bmp:subtype=RGB565 BMP:rgb565_5x3.bmp
convert -size 4096x1 xc:red -type truecolor BMP3:rgb24_4096x1.bmp
convert -size 2048x1 xc:red -type truecolor BMP3:rgb24_2048x1.bmp
