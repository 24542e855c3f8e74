#!/usr/bin/env python3
"""Draws TarnAgent's icons and writes them as .ico files (16x16 and 32x32, 32-bit with alpha).

Each icon is described by shapes in unit coordinates, so one description serves both sizes;
the 16x16 frames are what the notification area shows, so every shape snaps to whole pixels
there. Run it from anywhere: python3 agent/resources/make_icons.py
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "icons")

CLEAR = (0, 0, 0, 0)
INK = (40, 44, 52, 255)
PAPER = (236, 238, 242, 255)
CELL = (150, 158, 170, 255)
ACCENT = (255, 140, 0, 255)
RED = (220, 30, 30, 255)
GREEN = (60, 170, 80, 255)
WHITE = (255, 255, 255, 255)


class Canvas:
    def __init__(self, size):
        self.size = size
        self.px = [[CLEAR] * size for _ in range(size)]

    def unit(self, v):
        return int(round(v * self.size / 16.0))

    def rect(self, x0, y0, x1, y1, colour):
        """Fills [x0, x1) x [y0, y1), given on a 16-unit grid."""
        for y in range(self.unit(y0), self.unit(y1)):
            for x in range(self.unit(x0), self.unit(x1)):
                if 0 <= x < self.size and 0 <= y < self.size:
                    self.px[y][x] = colour

    def frame(self, x0, y0, x1, y1, colour, width=1):
        self.rect(x0, y0, x1, y0 + width, colour)
        self.rect(x0, y1 - width, x1, y1, colour)
        self.rect(x0, y0, x0 + width, y1, colour)
        self.rect(x1 - width, y0, x1, y1, colour)

    def clear_corners(self, x0, y0, x1, y1):
        for cx, cy in ((x0, y0), (x1 - 1, y0), (x0, y1 - 1), (x1 - 1, y1 - 1)):
            self.rect(cx, cy, cx + 1, cy + 1, CLEAR)


def region_icon(canvas, region):
    """A screen with its nine regions; the pointer's region is lit."""
    canvas.rect(0, 0, 16, 16, INK)
    canvas.clear_corners(0, 0, 16, 16)
    row, column = divmod(region - 1, 3)
    for r in range(3):
        for c in range(3):
            x0, y0 = 1 + 5 * c, 1 + 5 * r
            colour = ACCENT if (r, c) == (row, column) else CELL
            canvas.rect(x0, y0, x0 + 4, y0 + 4, colour)
    # a white dot marks the pointer inside the lit cell
    x0, y0 = 1 + 5 * column, 1 + 5 * row
    if canvas.size >= 32:
        canvas.rect(x0 + 1.5, y0 + 1.5, x0 + 2.5, y0 + 2.5, WHITE)


def mouse_body(canvas, fill=PAPER):
    canvas.rect(4, 1, 12, 15, INK)
    canvas.rect(5, 2, 11, 14, fill)
    canvas.clear_corners(4, 1, 12, 15)
    canvas.rect(5, 1, 6, 2, INK)
    canvas.rect(10, 1, 11, 2, INK)
    canvas.rect(5, 6, 11, 7, INK)  # button line
    canvas.rect(7, 2, 9, 6, INK)  # split between the buttons
    canvas.rect(7, 3, 9, 5, ACCENT)  # the wheel


def battery(canvas, level_colour, filled):
    canvas.rect(1, 4, 14, 12, INK)
    canvas.rect(14, 6, 16, 10, INK)
    canvas.rect(2, 5, 13, 11, WHITE)
    if filled:
        canvas.rect(3, 6, 6, 10, level_colour)


def battery_badge(canvas, on):
    """A low-battery mark in the lower right corner, for the single-icon set."""
    if not on:
        return
    canvas.rect(8, 10, 16, 16, INK)
    canvas.rect(9, 11, 15, 15, WHITE)
    canvas.rect(10, 12, 12, 14, RED)


def agent_icon(canvas):
    mouse_body(canvas)
    # tilt arrows either side of the wheel
    canvas.rect(0, 3, 3, 4, ACCENT)
    canvas.rect(1, 2, 2, 5, ACCENT)
    canvas.rect(13, 3, 16, 4, ACCENT)
    canvas.rect(14, 2, 15, 5, ACCENT)


ICONS = {
    107: agent_icon,
    108: agent_icon,
    141: lambda c: battery(c, RED, True),
    142: lambda c: battery(c, RED, False),
    147: mouse_body,
    148: lambda c: (mouse_body(c), battery_badge(c, True)),
    149: lambda c: (mouse_body(c), battery_badge(c, False)),
}
for _region in range(1, 10):
    ICONS[130 + _region] = (lambda r: lambda c: region_icon(c, r))(_region)

NAMES = {107: "agent", 108: "agent_small", 141: "battery_on", 142: "battery_off",
         147: "single", 148: "single_battery_on", 149: "single_battery_off"}
for _region in range(1, 10):
    NAMES[130 + _region] = "region%d" % _region


def dib(canvas):
    n = canvas.size
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = bytearray()
    for y in range(n - 1, -1, -1):
        for r, g, b, a in canvas.px[y]:
            colour += bytes((b, g, r, a))
    mask_row = ((n + 31) // 32) * 4
    mask = bytearray()
    for y in range(n - 1, -1, -1):
        row = bytearray(mask_row)
        for x in range(n):
            if canvas.px[y][x][3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    return header + bytes(colour) + bytes(mask)


def ico(draw):
    images = []
    for size in (16, 32):
        canvas = Canvas(size)
        draw(canvas)
        images.append((size, dib(canvas)))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    return out


def main():
    os.makedirs(OUT, exist_ok=True)
    for icon_id, draw in sorted(ICONS.items()):
        path = os.path.join(OUT, "%s_%d.ico" % (NAMES[icon_id], icon_id))
        with open(path, "wb") as f:
            f.write(ico(draw))


if __name__ == "__main__":
    main()
