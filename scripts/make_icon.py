#!/usr/bin/env python3
"""Draws the plug-in's icon (a white play triangle on a rounded teal tile) into
src/resources/Tessoravin.ico: 16x16 at 8 bits, then 32x32, 24x24, 20x20 and 16x16 at 32 bits.
Standard library only, so it runs anywhere the build runs."""
import struct
import sys
from pathlib import Path

TILE = (0x1F, 0x7A, 0x8C)      # teal
EDGE = (0x14, 0x4F, 0x5B)
PLAY = (0xFF, 0xFF, 0xFF)


def coverage(size, x, y):
    """Returns (alpha, rgb) for pixel (x, y) using 4x4 supersampling."""
    samples = 4
    tile_hits = play_hits = edge_hits = 0
    radius = size * 0.22
    for sy in range(samples):
        for sx in range(samples):
            px = (x + (sx + 0.5) / samples) / size
            py = (y + (sy + 0.5) / samples) / size
            # rounded square tile
            r = radius / size
            cx = min(max(px, r), 1 - r)
            cy = min(max(py, r), 1 - r)
            inside = (px - cx) ** 2 + (py - cy) ** 2 <= r * r
            if not inside:
                continue
            tile_hits += 1
            border = 1.2 / size
            if px < border or py < border or px > 1 - border or py > 1 - border or \
                    (px - cx) ** 2 + (py - cy) ** 2 > (r - border) ** 2 and (px < r or px > 1 - r) and (py < r or py > 1 - r):
                edge_hits += 1
            # play triangle: left edge x=0.36, apex at x=0.74, y from 0.26 to 0.74
            if 0.36 <= px <= 0.74:
                half = 0.24 * (0.74 - px) / 0.38
                if abs(py - 0.5) <= half:
                    play_hits += 1
    total = samples * samples
    alpha = tile_hits / total
    if tile_hits == 0:
        return 0, (0, 0, 0)
    wp = play_hits / tile_hits
    we = edge_hits / tile_hits * (1 - wp)
    wt = 1 - wp - we
    rgb = tuple(int(round(PLAY[i] * wp + EDGE[i] * we + TILE[i] * wt)) for i in range(3))
    return alpha, rgb


def pixels(size):
    return [[coverage(size, x, y) for x in range(size)] for y in range(size)]


def and_mask(size, px):
    row_bytes = ((size + 31) // 32) * 4
    out = bytearray()
    for y in reversed(range(size)):
        row = bytearray(row_bytes)
        for x in range(size):
            if px[y][x][0] < 0.5:
                row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return bytes(out)


def image_32(size):
    px = pixels(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    data = bytearray()
    for y in reversed(range(size)):
        for x in range(size):
            a, (r, g, b) = px[y][x]
            data += bytes((b, g, r, int(round(a * 255))))
    return header + bytes(data) + and_mask(size, px)


def image_8(size):
    px = pixels(size)
    palette = [(0, 0, 0)]
    index = {}
    rows = []
    for y in reversed(range(size)):
        row = bytearray()
        for x in range(size):
            a, rgb = px[y][x]
            if a < 0.5:
                row.append(0)
                continue
            # quantise to keep the palette within 256 entries
            q = tuple((c // 16) * 16 + 8 if c < 248 else 255 for c in rgb)
            if q not in index:
                index[q] = len(palette)
                palette.append(q)
            row.append(index[q])
        pad = (-len(row)) % 4
        rows.append(bytes(row) + bytes(pad))
    if len(palette) > 256:
        sys.exit('palette overflow')
    palette += [(0, 0, 0)] * (256 - len(palette))
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 8, 0, 0, 0, 0, 256, 0)
    pal = b''.join(bytes((b, g, r, 0)) for (r, g, b) in palette)
    return header + pal + b''.join(rows) + and_mask(size, px)


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else \
        Path(__file__).resolve().parent.parent / 'src' / 'resources' / 'Tessoravin.ico'
    images = [(16, 8, image_8(16)), (32, 32, image_32(32)), (24, 32, image_32(24)),
              (20, 32, image_32(20)), (16, 32, image_32(16))]
    header = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b''
    blobs = b''
    for size, bpp, blob in images:
        colors = 0
        entries += struct.pack('<BBBBHHII', size, size, colors, 0, 1, bpp, len(blob), offset)
        offset += len(blob)
        blobs += blob
    out.write_bytes(header + entries + blobs)


if __name__ == '__main__':
    main()
