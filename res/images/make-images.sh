#!/usr/bin/env bash
# Draws the program's images with ImageMagick. The results are committed; run this only to change
# them. Needs `convert` and the DejaVu fonts.
set -euo pipefail
cd "$(dirname "$0")"
font_bold=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf

# 129: two 17 x 15 check boxes side by side on white (white is see-through in the list):
# an empty 13 x 13 black square, and the same square with a green tick.
tick="line 5,6 7,8 line 5,7 7,9 line 5,8 7,10 line 7,8 12,3 line 7,9 12,4 line 7,10 12,5"
convert -size 34x15 xc:white +antialias -fill none -stroke black -strokewidth 1 \
  -draw "rectangle 2,1 14,13" -draw "rectangle 19,1 31,13" \
  -stroke 'rgb(0,128,0)' -draw "translate 17,0 $tick" \
  -type TrueColor BMP3:checks129.bmp

# 128: the application icon, two equal pages with an equals sign, at the sizes desktops ask for.
draw_icon() {
  local size=$1 out=$2
  convert -size 256x256 xc:none \
    -fill '#9db7d9' -stroke '#2b4f81' -strokewidth 6 -draw "roundrectangle 24,16 164,196 10,10" \
    -fill white -stroke '#2b4f81' -strokewidth 6 -draw "path 'M 92,60 L 190,60 L 232,102 L 232,240 L 92,240 Z'" \
    -fill '#d7e3f3' -stroke '#2b4f81' -strokewidth 6 -draw "path 'M 190,60 L 190,102 L 232,102 Z'" \
    -fill '#1f7a3a' -stroke none -draw "rectangle 118,132 206,150" -draw "rectangle 118,172 206,190" \
    -resize "${size}x${size}" "$out"
}
for size in 16 32 48 64 128 256; do
  draw_icon "$size" "icon128-$size.png"
done

# 135: the About box banner, 500 x 110, 24 bits per pixel.
convert -size 500x110 gradient:'#1d3f6e'-'#2f7f8f' -rotate 0 \
  \( icon128-64.png -resize 72x72 \) -geometry +22+19 -composite \
  -fill white -font "$font_bold" -pointsize 40 -annotate +112+60 'Quillon' \
  -fill '#d8ecf0' -font "$font" -pointsize 15 -annotate +114+86 'finds duplicate files and moves them to the Trash' \
  -type TrueColor BMP3:banner135.bmp
