#!/usr/bin/env bash
# Draws the program's pictures with ImageMagick: the icon in two sizes and the picture
# beside the controls of the main window. Run from anywhere; writes next to this script.
#   res/make_images.sh
set -euo pipefail
cd "$(dirname "$0")"

# No time stamps in the files, so that drawing them again changes nothing.
stable=(-define png:exclude-chunks=date,time +set date:create +set date:modify)

# The handheld programmer on a light background, its cable and a round code tag that it
# reads. The lowest rows lie behind the status line, so nothing of note is drawn there.
convert -size 340x399 gradient:'#e9eef3'-'#c5d0dc' \
    -stroke '#3b4652' -strokewidth 2 \
    -fill '#5d6b7a' -draw 'roundrectangle 50,24 222,316 26,26' \
    -fill '#4a5664' -draw 'roundrectangle 62,36 210,304 20,20' \
    -stroke '#1e2a22' -fill '#9fc39a' -draw 'roundrectangle 78,54 194,132 6,6' \
    -stroke none -fill '#1e2a22' \
    -font DejaVu-Sans-Mono-Bold -pointsize 18 -draw "text 94,83 'VOSKA'" \
    -font DejaVu-Sans-Mono -pointsize 12 -draw "text 88,105 'TAG0001 >'" \
    -draw "text 88,121 'READY'" \
    -stroke '#2a333d' -strokewidth 1 -fill '#d8dde3' \
    -draw 'roundrectangle 78,150 110,170 5,5' -draw 'roundrectangle 120,150 152,170 5,5' \
    -draw 'roundrectangle 162,150 194,170 5,5' \
    -draw 'roundrectangle 78,182 110,202 5,5' -draw 'roundrectangle 120,182 152,202 5,5' \
    -draw 'roundrectangle 162,182 194,202 5,5' \
    -draw 'roundrectangle 78,214 110,234 5,5' -draw 'roundrectangle 120,214 152,234 5,5' \
    -draw 'roundrectangle 162,214 194,234 5,5' \
    -fill '#e0a23a' -draw 'roundrectangle 78,250 194,278 8,8' \
    -stroke none -fill '#2a333d' -font DejaVu-Sans-Bold -pointsize 13 \
    -draw "text 114,269 'START'" \
    -stroke '#2a333d' -strokewidth 6 -fill none \
    -draw 'bezier 136,316 136,346 70,330 52,352' \
    -stroke '#3b4652' -strokewidth 2 -fill '#8a96a3' \
    -draw 'polygon 18,348 82,348 76,366 24,366' \
    -fill '#2a333d' -draw 'circle 34,357 36,357' -draw 'circle 50,357 52,357' \
    -draw 'circle 66,357 68,357' \
    -stroke '#7a5a1a' -strokewidth 3 -fill '#f0c75e' -draw 'circle 292,190 292,158' \
    -fill '#fbe8b0' -draw 'circle 292,190 292,174' \
    -stroke none -fill '#7a5a1a' -draw 'circle 292,190 292,184' \
    -stroke '#3b4652' -strokewidth 3 -fill none \
    -draw 'arc 244,142 340,238 155,205' -draw 'arc 232,130 352,250 158,202' \
    -depth 8 -type TrueColor "${stable[@]}" picture.png

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
        -resize "${size}x${size}" -colors 16 "${stable[@]}" "PNG32:${out}"
}
draw_icon 32 icon_32.png
draw_icon 16 icon_16.png
