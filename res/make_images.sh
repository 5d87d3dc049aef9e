#!/usr/bin/env bash
# Renders the program's icon (dravolin.svg) as the PNGs that desktops look for besides the
# SVG itself, at the usual sizes, with rsvg-convert (Debian package librsvg2-bin). The
# picture beside the controls (picture.svg) is drawn by the program itself, sharp at any
# scale, and needs no rendering here. Run from anywhere; writes into icons/ next to this
# script. The PNGs are kept in the repository, so building needs no renderer.
#   res/make_images.sh
set -euo pipefail
cd "$(dirname "$0")"

mkdir -p icons
for size in 16 22 24 32 48 64 128 256; do
    rsvg-convert --width "$size" --height "$size" dravolin.svg --output "icons/dravolin_${size}.png"
done
