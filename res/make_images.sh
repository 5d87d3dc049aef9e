#!/usr/bin/env bash
# Draws the program's pictures with ImageMagick: the icon in two sizes and the picture
# beside the controls of the main window. Run from anywhere; writes next to this script.
#   res/make_images.sh
set -euo pipefail
cd "$(dirname "$0")"

# The handheld programmer on a light background, its cable and a round code tag.
convert -size 340x399 gradient:'#e9eef3'-'#c5d0dc' \
    -stroke '#3b4652' -strokewidth 2 \
    -fill '#5d6b7a' -draw 'roundrectangle 70,30 250,330 26,26' \
    -fill '#4a5664' -draw 'roundrectangle 82,42 238,318 20,20' \
    -stroke '#1e2a22' -fill '#9fc39a' -draw 'roundrectangle 100,62 220,142 6,6' \
    -stroke none -fill '#1e2a22' \
    -font DejaVu-Sans-Mono-Bold -pointsize 18 -draw "text 118,92 'VOSKA'" \
    -font DejaVu-Sans-Mono -pointsize 12 -draw "text 110,114 'TAG0001 >'" \
    -draw "text 110,130 'READY'" \
    -stroke '#2a333d' -strokewidth 1 -fill '#d8dde3' \
    -draw 'roundrectangle 100,162 132,182 5,5' -draw 'roundrectangle 144,162 176,182 5,5' \
    -draw 'roundrectangle 188,162 220,182 5,5' \
    -draw 'roundrectangle 100,194 132,214 5,5' -draw 'roundrectangle 144,194 176,214 5,5' \
    -draw 'roundrectangle 188,194 220,214 5,5' \
    -draw 'roundrectangle 100,226 132,246 5,5' -draw 'roundrectangle 144,226 176,246 5,5' \
    -draw 'roundrectangle 188,226 220,246 5,5' \
    -fill '#e0a23a' -draw 'roundrectangle 100,262 220,290 8,8' \
    -stroke none -fill '#2a333d' -font DejaVu-Sans-Bold -pointsize 13 \
    -draw "text 136,281 'START'" \
    -stroke '#2a333d' -strokewidth 6 -fill none \
    -draw 'bezier 160,330 160,360 60,350 50,378' \
    -stroke '#3b4652' -strokewidth 2 -fill '#8a96a3' \
    -draw 'polygon 20,374 84,374 78,394 26,394' \
    -fill '#2a333d' -draw 'circle 36,384 38,384' -draw 'circle 52,384 54,384' \
    -draw 'circle 68,384 70,384' \
    -stroke '#7a5a1a' -strokewidth 3 -fill '#f0c75e' -draw 'circle 282,330 282,296' \
    -fill '#fbe8b0' -draw 'circle 282,330 282,312' \
    -stroke none -fill '#7a5a1a' -draw 'circle 282,330 282,324' \
    -stroke '#3b4652' -strokewidth 3 -fill none \
    -draw 'arc 230,278 334,382 205,245' -draw 'arc 216,264 348,396 208,242' \
    -depth 8 -type TrueColor picture.png

# The icon: the programmer's outline with its display, in few colours.
draw_icon() {
    local size=$1 out=$2
    convert -size 32x32 xc:none \
        -stroke '#27313b' -strokewidth 1 -fill '#5d6b7a' -draw 'roundrectangle 7,1 24,30 4,4' \
        -fill '#9fc39a' -draw 'rectangle 10,5 21,12' \
        -stroke none -fill '#1e2a22' -draw 'rectangle 12,8 19,9' \
        -fill '#d8dde3' -draw 'rectangle 10,16 13,18' -draw 'rectangle 18,16 21,18' \
        -draw 'rectangle 10,21 13,23' -draw 'rectangle 18,21 21,23' \
        -fill '#e0a23a' -draw 'rectangle 12,26 19,28' \
        -resize "${size}x${size}" -colors 16 "PNG32:${out}"
}
draw_icon 32 icon_32.png
draw_icon 16 icon_16.png
