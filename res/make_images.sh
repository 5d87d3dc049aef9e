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

# The installer's and uninstaller's pictures (NSIS wants 24-bit BMPs): the header of each
# page (150 x 57, the icon at the right) and the side of the welcome and finish pages
# (164 x 314, the icon near the top), on white, from the PNGs above.
python3 - <<'PYTHON'
import struct, zlib

def rgba(path):
    data = open(path, "rb").read()
    position, chunks, width, height = 8, b"", 0, 0
    while position < len(data):
        length, kind = struct.unpack(">I4s", data[position:position + 8])
        body = data[position + 8:position + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            assert (depth, colour, interlace) == (8, 6, 0), "8-bit RGBA, not interlaced"
        elif kind == b"IDAT":
            chunks += body
        position += 12 + length
    raw, stride, rows, previous = zlib.decompress(chunks), width * 4, [], bytearray(width * 4)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            left = line[x - 4] if x >= 4 else 0
            up, corner = previous[x], previous[x - 4] if x >= 4 else 0
            if kind == 1: line[x] = (line[x] + left) & 255
            elif kind == 2: line[x] = (line[x] + up) & 255
            elif kind == 3: line[x] = (line[x] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[x] = (line[x] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 255
        rows.append(line)
        previous = line
    return width, height, rows

def bitmap(path, width, height, icon, left, top):
    size, _, rows = rgba(icon)
    pixels = [[(255, 255, 255)] * width for _ in range(height)]
    for y in range(size):
        for x in range(size):
            r, g, b, a = rows[y][x * 4:x * 4 + 4]
            pixels[top + y][left + x] = tuple((c * a + 255 * (255 - a)) // 255 for c in (r, g, b))
    stride = (width * 3 + 3) & ~3
    body = b"".join(bytes(c for pixel in reversed_row for c in reversed(pixel)).ljust(stride, b"\0")
                    for reversed_row in reversed(pixels))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(body), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    open(path, "wb").write(header + info + body)

bitmap("windows/installer_header.bmp", 150, 57, "icons/dravolin_48.png", 150 - 48 - 6, 4)
bitmap("windows/installer_side.bmp", 164, 314, "icons/dravolin_128.png", 18, 40)
PYTHON
