#!/usr/bin/env python3
"""Draws TarnWake's icons: 107 (tarnwake.ico, 16/32/48 px) and 108 (tarnwake_small.ico, 16/24 px).

A dark mouse seen from above with a teal wheel and an orange wake signal. Shapes are signed
distance functions sampled 4x4 per pixel for smooth edges; the files are 32-bit ICOs with an
AND mask, so they look right with and without alpha support. Run: python3 make_icons.py
"""
import math
import os
import struct

BODY = (43, 52, 64)
SHEEN = (92, 106, 124)
LINE = (20, 24, 30)
WHEEL = (32, 178, 170)
SIGNAL = (255, 140, 26)


def rounded_box(x, y, cx, cy, hw, hh, r):
    qx = abs(x - cx) - hw + r
    qy = abs(y - cy) - hh + r
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - r


def ring(x, y, cx, cy, radius, width):
    return abs(math.hypot(x - cx, y - cy) - radius) - width / 2


def shapes(x, y, small):
    """Layers from back to front for a point in unit coordinates (0..1, y down)."""
    layers = []
    mx, my = (0.42, 0.58) if not small else (0.40, 0.56)
    hw, hh = (0.25, 0.36) if not small else (0.30, 0.40)
    body = rounded_box(x, y, mx, my, hw, hh, hw * 0.95)
    layers.append((body - 0.035, LINE))
    layers.append((body, BODY))
    sheen = rounded_box(x, y, mx - hw * 0.35, my - hh * 0.35, hw * 0.28, hh * 0.35, hw * 0.28)
    layers.append((max(sheen, body + 0.03), SHEEN))
    split = max(abs(x - mx) - 0.018, y - (my - hh * 0.15), body + 0.02)
    layers.append((split, LINE))
    wheel = rounded_box(x, y, mx, my - hh * 0.45, 0.045, 0.09, 0.045)
    layers.append((wheel, WHEEL))
    # Wake signal: arcs rising to the upper right of the mouse.
    sx, sy = mx + hw * 0.55, my - hh * 0.62
    arcs = [(0.16, 0.055), (0.29, 0.055)] if not small else [(0.20, 0.09)]
    for radius, width in arcs:
        d = ring(x, y, sx, sy, radius, width)
        ang = math.atan2(sy - y, x - sx)  # 0 = right, pi/2 = up
        if not (0.15 < ang < 1.45):
            d = max(d, 0.05)
        layers.append((d, SIGNAL))
    layers.append((math.hypot(x - sx, y - sy) - (0.055 if not small else 0.08), SIGNAL))
    return layers


def render(size, small):
    sub = 4
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(sub):
                for sx in range(sub):
                    x = (px + (sx + 0.5) / sub) / size
                    y = (py + (sy + 0.5) / sub) / size
                    colour, alpha = (0, 0, 0), 0.0
                    for dist, c in shapes(x, y, small):
                        if dist <= 0:
                            colour, alpha = c, 1.0
                    acc[0] += colour[0] * alpha
                    acc[1] += colour[1] * alpha
                    acc[2] += colour[2] * alpha
                    acc[3] += alpha
            n = sub * sub
            a = acc[3] / n
            if a > 0:
                rgb = tuple(int(round(acc[i] / acc[3])) for i in range(3))
            else:
                rgb = (0, 0, 0)
            row.append((rgb, int(round(a * 255))))
        pixels.append(row)
    return pixels


def dib(pixels):
    size = len(pixels)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = bytearray()
    for row in reversed(pixels):
        for (r, g, b), a in row:
            xor += bytes((b, g, r, a))
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        line = bytearray(stride)
        for x, (_, a) in enumerate(row):
            if a < 128:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return header + bytes(xor) + bytes(mask)


def write_ico(path, images):
    blobs = [dib(px) for px in images]
    out = bytearray(struct.pack("<HHH", 0, 1, len(blobs)))
    offset = 6 + 16 * len(blobs)
    for px, blob in zip(images, blobs):
        size = len(px)
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    for blob in blobs:
        out += blob
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    write_ico(os.path.join(here, "tarnwake.ico"), [render(s, s < 24) for s in (48, 32, 16)])
    write_ico(os.path.join(here, "tarnwake_small.ico"), [render(s, True) for s in (16, 24)])
