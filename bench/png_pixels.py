#!/usr/bin/python3
"""Prints the width, height and a SHA-256 of the pixels of an 8-bit RGB or RGBA PNG, whatever
encoder wrote it (filters and deflate level change the file, not the picture). Standard
library only, so that it runs wherever Debian's python3 does.

    bench/png_pixels.py FILE.png
"""
import hashlib
import struct
import sys
import zlib


def pixels(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(f"{path}: not a PNG")
    pos, packed, header = 8, b"", None
    while pos < len(data):
        (length,) = struct.unpack(">I", data[pos:pos + 4])
        kind = data[pos + 4:pos + 8]
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            packed += body
        elif kind == b"IEND":
            break
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace != 0:
        raise ValueError(f"{path}: only 8-bit RGB or RGBA without interlace")
    bpp = 3 if colour == 2 else 4
    stride = width * bpp
    raw = zlib.decompress(packed)
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = previous[i]
            c = previous[i - bpp] if i >= bpp else 0
            if kind == 1:
                line[i] = (line[i] + a) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + b) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 0xFF
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                line[i] = (line[i] + pred) & 0xFF
        rows.append(bytes(line if bpp == 3 else b"".join(line[i:i + 3] for i in range(0, stride, 4))))
        previous = line
    return width, height, b"".join(rows)


if __name__ == "__main__":
    w, h, rgb = pixels(sys.argv[1])
    print(f"{w}x{h} {hashlib.sha256(rgb).hexdigest()[:16]}")
