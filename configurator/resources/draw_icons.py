#!/usr/bin/env python3
"""Draws TarnDesk's icons: a mouse seen from above, as 32-bit icons with alpha in several
sizes per file. Writes icon 110 (program), icon 112 (tray fallback), the documents the
profile files are shown with (icon 113 a sheet for one profile, icon 114 two sheets for a
backup of the whole memory) and the tray picture image\\mark.ico. Run with --check to verify
the files in the tree are current."""
import math
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
SAMPLES = 4  # supersampling per axis


def inside_body(x, y):
    # Rounded mouse body: an egg-shaped superellipse, wider at the palm.
    cx, cy = 0.5, 0.52
    ry = 0.45
    rx = 0.30 + 0.04 * max(0.0, (y - 0.3))
    dx, dy = (x - cx) / rx, (y - cy) / ry
    return abs(dx) ** 2.4 + abs(dy) ** 2.4 <= 1.0


def body_edge(x, y, width):
    return inside_body(x, y) and not inside_body_shrunk(x, y, width)


def inside_body_shrunk(x, y, width):
    cx, cy = 0.5, 0.52
    ry = 0.45 - width
    rx = 0.30 + 0.04 * max(0.0, (y - 0.3)) - width
    dx, dy = (x - cx) / rx, (y - cy) / ry
    return abs(dx) ** 2.4 + abs(dy) ** 2.4 <= 1.0


def wheel(x, y):
    return abs(x - 0.5) <= 0.045 and 0.16 <= y <= 0.33


def seams(x, y, width):
    vertical = abs(x - 0.5) <= width / 2 and 0.07 <= y <= 0.42
    horizontal = abs(y - 0.42) <= width / 2
    return vertical or horizontal


def colour(x, y, size, accent):
    """RGBA of one sample point (x, y in 0..1)."""
    if not inside_body(x, y):
        return (0, 0, 0, 0)
    line = max(0.035, 1.2 / size)
    if wheel(x, y):
        return accent + (255,)
    if body_edge(x, y, line):
        return (24, 26, 32, 255)
    if seams(x, y, line):
        return (24, 26, 32, 255)
    # Light from the top left.
    shade = 0.55 + 0.45 * (1.0 - min(1.0, math.hypot(x - 0.38, y - 0.25) / 0.7))
    base = (58, 64, 78) if y > 0.42 else (72, 80, 98)
    return tuple(min(255, int(c * shade + 30 * (1 - shade))) for c in base) + (255,)


INK = (24, 26, 32, 255)
FOLD = 0.22


def sheet(x, y, box, size, accent, with_mouse):
    """RGBA of a point on a sheet of paper (left, top, right, bottom) with its top right
    corner folded down, the mouse printed on it when with_mouse; None off the sheet."""
    left, top, right, bottom = box
    if not (left <= x <= right and top <= y <= bottom):
        return None
    corner = (right - x) + (y - top)
    if corner < FOLD:
        return None
    line = max(0.035, 1.2 / size)
    if (x - left < line or right - x < line or bottom - y < line or y - top < line
            or corner - FOLD < line * 1.41):
        return INK
    if x > right - FOLD and y < top + FOLD:
        # The folded-down flap, shaded, with its own two edges.
        if x - (right - FOLD) < line or (top + FOLD) - y < line:
            return INK
        return (188, 192, 202, 255)
    if with_mouse:
        scale = 0.62
        mx = (x - (left + right) / 2) / scale + 0.5
        my = (y - (top + (bottom - top) * 0.6)) / scale + 0.5
        printed = colour(mx, my, size * scale, accent)
        if printed[3] > 0:
            return printed
    shade = 0.92 + 0.08 * (1.0 - min(1.0, math.hypot(x - left, y - top)))
    return tuple(int(c * shade) for c in (246, 247, 250)) + (255,)


def document(x, y, size, accent, stacked):
    """RGBA of a profile file's icon: one sheet, or for a backup a second sheet behind it."""
    front = (0.24, 0.12, 0.88, 0.96) if stacked else (0.16, 0.06, 0.84, 0.94)
    point = sheet(x, y, front, size, accent, True)
    if point is None and stacked:
        point = sheet(x, y, (0.10, 0.03, 0.74, 0.87), size, accent, False)
    return point if point is not None else (0, 0, 0, 0)


def render(size, accent, paint=colour):
    pixels = []
    for row in range(size):
        out_row = []
        for col in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (col + (sx + 0.5) / SAMPLES) / size
                    y = (row + (sy + 0.5) / SAMPLES) / size
                    r, g, b, a = paint(x, y, size, accent)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = SAMPLES * SAMPLES
            alpha = acc[3] / n
            if alpha <= 0:
                out_row.append((0, 0, 0, 0))
            else:
                out_row.append((round(acc[0] / acc[3]), round(acc[1] / acc[3]),
                                round(acc[2] / acc[3]), round(alpha)))
        pixels.append(out_row)
    return pixels


def icon_image(size, accent, paint):
    """One ICO image: BITMAPINFOHEADER, BGRA rows bottom-up, 1-bit AND mask."""
    pixels = render(size, accent, paint)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = bytearray()
    for row in reversed(pixels):
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(mask_stride)
        for col, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[col // 8] |= 0x80 >> (col % 8)
        mask += bits
    return header + bytes(xor) + bytes(mask)


def ico(sizes, accent, paint=colour):
    images = [icon_image(s, accent, paint) for s in sizes]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    return bytes(out)


ORANGE = (255, 122, 26)
CYAN = (40, 190, 230)

OUTPUTS = {
    os.path.join(HERE, "tarndesk.ico"): ([16, 24, 32, 48], ORANGE),
    os.path.join(HERE, "tray.ico"): ([16, 24, 32], CYAN),
    os.path.join(ROOT, "install", "image", "mark.ico"): ([16, 32], ORANGE),
    os.path.join(HERE, "profile_file.ico"): (
        [16, 24, 32, 48], ORANGE, lambda x, y, size, accent: document(x, y, size, accent, False)),
    os.path.join(HERE, "profiles_file.ico"): (
        [16, 24, 32, 48], ORANGE, lambda x, y, size, accent: document(x, y, size, accent, True)),
}


def main():
    check = "--check" in sys.argv[1:]
    stale = []
    for path, (sizes, accent, *paint) in OUTPUTS.items():
        data = ico(sizes, accent, *paint)
        if check:
            if not os.path.exists(path) or open(path, "rb").read() != data:
                stale.append(path)
        else:
            with open(path, "wb") as f:
                f.write(data)
    if stale:
        print("out of date, run draw_icons.py:", *stale, sep="\n  ")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
