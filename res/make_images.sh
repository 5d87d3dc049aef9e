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

# The Windows icon resource (title bar, taskbar, Explorer): the same PNGs in one .ico, each
# stored as PNG, which Windows reads since Vista.
python3 - <<'PYTHON'
import struct
sizes = [16, 24, 32, 48, 64, 128, 256]
images = [open(f"icons/dravolin_{size}.png", "rb").read() for size in sizes]
header = struct.pack("<HHH", 0, 1, len(images))
offset = 6 + 16 * len(images)
entries = b""
for size, data in zip(sizes, images):
    entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
    offset += len(data)
with open("dravolin.ico", "wb") as ico:
    ico.write(header + entries + b"".join(images))
PYTHON
