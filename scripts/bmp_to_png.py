#!/usr/bin/env python3
"""Converts uncompressed 24- or 32-bit BMP files (as the demo's probe saves them) to PNG files
beside them, and removes the BMP files. Usage: bmp_to_png.py FILE.bmp..."""
import os
import struct
import sys
import zlib


def read_bmp(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"BM":
        raise ValueError(f"{path}: not a BMP file")
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height, _, bits, compression = struct.unpack_from("<iiHHI", data, 18)
    if bits not in (24, 32) or compression != 0:
        raise ValueError(f"{path}: {bits}-bit or compressed BMP")
    step = bits // 8
    stride = (width * step + 3) & ~3
    rows = []
    for y in range(abs(height)):
        # Bottom-up unless the height is negative.
        source = abs(height) - 1 - y if height > 0 else y
        row = data[offset + source * stride: offset + source * stride + width * step]
        rgb = bytearray(width * 3)
        rgb[0::3] = row[2::step]
        rgb[1::3] = row[1::step]
        rgb[2::3] = row[0::step]
        rows.append(bytes(rgb))
    return width, abs(height), rows


def write_png(path, width, height, rows):
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    raw = b"".join(b"\x00" + row for row in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 6)))
        f.write(chunk(b"IEND", b""))


def main(paths):
    for path in paths:
        width, height, rows = read_bmp(path)
        write_png(path[:-4] + ".png", width, height, rows)
        os.remove(path)


if __name__ == "__main__":
    main(sys.argv[1:])
