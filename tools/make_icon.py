#!/usr/bin/env python3
"""Draws the application icon: a colour swatch card (four colour fields in a
dark frame, with a small picker dot), as an icon group of three images:
32x32 monochrome, 32x32 and 16x16 in the 16-colour palette.

The same drawing is written as PNG images for the Linux desktop's icon
theme, each size scaled up from the 16x16 or 32x32 drawing pixel by pixel.

Usage: make_icon.py OUTPUT.ico [PNG_FOLDER]
  (the results are committed; rerun after edits)
"""
import struct
import sys
import zlib

# The standard 16-colour palette, as (B, G, R, 0) entries.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
    (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
    (255, 0, 255), (0, 255, 255), (255, 255, 255),
]  # (R, G, B)
BLACK, GREY, RED, GREEN, YELLOW, BLUE, WHITE = 0, 8, 9, 10, 11, 12, 15
TRANSPARENT = None


def draw(size):
    """Returns rows (top first) of palette indexes or TRANSPARENT."""
    px = [[TRANSPARENT] * size for _ in range(size)]
    m = 1 if size == 16 else 2          # margin
    edge = size - 1 - m
    mid = size // 2
    for y in range(m, edge + 1):
        for x in range(m, edge + 1):
            corner = (x in (m, edge)) and (y in (m, edge))
            if corner:
                continue                 # rounded corners
            border = x in (m, edge) or y in (m, edge) or (size == 32 and (x in (m + 1, edge - 1) or y in (m + 1, edge - 1)))
            if border:
                px[y][x] = BLACK
            elif y < mid and x < mid:
                px[y][x] = RED
            elif y < mid:
                px[y][x] = YELLOW
            elif x < mid:
                px[y][x] = GREEN
            else:
                px[y][x] = BLUE
    # The picker dot: white with a black ring, where the fields meet.
    r = 2 if size == 16 else 4
    for y in range(mid - r, mid + r):
        for x in range(mid - r, mid + r):
            dx, dy = x - mid + 0.5, y - mid + 0.5
            d = dx * dx + dy * dy
            if d <= (r - 1) ** 2:
                px[y][x] = WHITE
            elif d <= r * r:
                px[y][x] = BLACK
    return px


def and_mask(px, size):
    row_bytes = ((size + 31) // 32) * 4
    out = b""
    for row in reversed(px):
        bits = bytearray(row_bytes)
        for x, v in enumerate(row):
            if v is TRANSPARENT:
                bits[x // 8] |= 0x80 >> (x % 8)
        out += bytes(bits)
    return out


def image_4bpp(size):
    px = draw(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    row_bytes = ((size * 4 + 31) // 32) * 4
    xor = b""
    for row in reversed(px):
        bits = bytearray(row_bytes)
        for x, v in enumerate(row):
            idx = 0 if v is TRANSPARENT else v
            bits[x // 2] |= idx << (4 if x % 2 == 0 else 0)
        xor += bytes(bits)
    return header + palette + xor + and_mask(px, size), 16, 4


def image_1bpp(size):
    px = draw(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 1, 0, 0, 0, 0, 2, 0)
    palette = struct.pack("BBBB", 0, 0, 0, 0) + struct.pack("BBBB", 255, 255, 255, 0)
    row_bytes = ((size + 31) // 32) * 4
    xor = b""
    for y, row in enumerate(reversed(px)):
        bits = bytearray(row_bytes)
        for x, v in enumerate(row):
            # Black frame and ring; light fields dithered to keep the card's look.
            light = v in (WHITE, YELLOW) or (v in (RED, GREEN, BLUE) and (x + y) % 2 == 0 and v != BLUE) \
                or (v == BLUE and (x + y) % 4 == 0)
            if v is not TRANSPARENT and light:
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += bytes(bits)
    return header + palette + xor + and_mask(px, size), 2, 1


# PNG size -> (drawing it is scaled from, factor)
PNG_SIZES = {16: (16, 1), 32: (32, 1), 48: (16, 3), 64: (32, 2), 128: (32, 4), 256: (32, 8)}


def png(size):
    base, factor = PNG_SIZES[size]
    px = draw(base)
    raw = b""
    for y in range(size):
        raw += b"\0"  # no filter
        for x in range(size):
            v = px[y // factor][x // factor]
            raw += bytes((0, 0, 0, 0)) if v is TRANSPARENT else bytes(PALETTE[v]) + b"\xff"

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + \
        chunk(b"IEND", b"")


def main():
    if len(sys.argv) > 2:
        for size in PNG_SIZES:
            with open(f"{sys.argv[2]}/quillantern-{size}.png", "wb") as f:
                f.write(png(size))
    images = [(32, image_1bpp(32)), (32, image_4bpp(32)), (16, image_4bpp(16))]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    data = b""
    for size, (blob, colours, bpp) in images:
        out += struct.pack("<BBBBHHII", size, size, colours if colours < 256 else 0, 0, 1, bpp, len(blob), offset)
        offset += len(blob)
        data += blob
    with open(sys.argv[1], "wb") as f:
        f.write(out + data)


if __name__ == "__main__":
    main()
