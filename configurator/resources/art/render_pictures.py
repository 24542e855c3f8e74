#!/usr/bin/env python3
"""Renders the configurator's pictures: the bitmap resources, the hand cursor and the picture
files installed under image\\ beside TarnDesk.exe.

Plain Python, no imaging library. Shapes are rendered at SS x SS samples per pixel; a pixel
becomes the key colour (pure yellow, where the dialog shows through) unless at least half of
its samples are covered, so edges against the dialog stay hard while edges between shapes
are smoothed.

    python3 configurator/resources/art/render_pictures.py      # rewrites every picture
"""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
RESOURCES = os.path.dirname(HERE)
ROOT = os.path.dirname(os.path.dirname(RESOURCES))
IMAGE_DIR = os.path.join(ROOT, "install", "image")

KEY = (255, 255, 0)
SS = 3

# Dialog units -> pixels for "MS Shell Dlg" 8 at 96 dpi (base units 6 x 12 under Wine's
# Tahoma): x * 6 / 4, y * 12 / 8. Used to aim the leader lines at the controls.
def dlu_x(x):
    return x * 6 / 4


def dlu_y(y):
    return y * 12 / 8


# Palette
BODY_DARK = (38, 42, 50)
BODY_MID = (58, 64, 75)
BODY_LIGHT = (92, 100, 114)
SEAM = (20, 22, 27)
ACCENT = (34, 140, 214)
ACCENT_LIGHT = (120, 196, 245)
LEADER = (96, 104, 118)
WHITE = (255, 255, 255)
INK = (40, 44, 52)


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


class Canvas:
    """A supersampled picture; None marks a sample that shows the dialog (key colour)."""

    def __init__(self, width, height, background=None):
        self.w = width
        self.h = height
        self.sw = width * SS
        self.sh = height * SS
        self.px = [background] * (self.sw * self.sh)

    # Every shape is a predicate on picture coordinates (float pixels) and a colour (a tuple
    # or a function of x, y), limited to a bounding box.
    def fill(self, inside, colour, box=None):
        x0, y0, x1, y1 = box if box else (0, 0, self.w, self.h)
        sx0 = max(0, int(math.floor(x0 * SS)))
        sy0 = max(0, int(math.floor(y0 * SS)))
        sx1 = min(self.sw, int(math.ceil(x1 * SS)) + 1)
        sy1 = min(self.sh, int(math.ceil(y1 * SS)) + 1)
        paint = colour if callable(colour) else (lambda x, y: colour)
        for sy in range(sy0, sy1):
            y = (sy + 0.5) / SS
            row = sy * self.sw
            for sx in range(sx0, sx1):
                x = (sx + 0.5) / SS
                if inside(x, y):
                    self.px[row + sx] = paint(x, y)

    def clear(self, inside, box=None):
        x0, y0, x1, y1 = box if box else (0, 0, self.w, self.h)
        for sy in range(max(0, int(y0 * SS)), min(self.sh, int(math.ceil(y1 * SS)) + 1)):
            y = (sy + 0.5) / SS
            for sx in range(max(0, int(x0 * SS)), min(self.sw, int(math.ceil(x1 * SS)) + 1)):
                if inside((sx + 0.5) / SS, y):
                    self.px[sy * self.sw + sx] = None

    def rect(self, x0, y0, x1, y1, colour):
        self.fill(lambda x, y: x0 <= x < x1 and y0 <= y < y1, colour, (x0, y0, x1, y1))

    def round_rect(self, x0, y0, x1, y1, r, colour):
        def inside(x, y):
            if not (x0 <= x < x1 and y0 <= y < y1):
                return False
            cx = min(max(x, x0 + r), x1 - r)
            cy = min(max(y, y0 + r), y1 - r)
            return (x - cx) ** 2 + (y - cy) ** 2 <= r * r

        self.fill(inside, colour, (x0, y0, x1, y1))

    def ellipse(self, cx, cy, rx, ry, colour):
        self.fill(lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1, colour,
                  (cx - rx, cy - ry, cx + rx, cy + ry))

    def polygon(self, points, colour):
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]

        def inside(x, y):
            hit = False
            j = len(points) - 1
            for i in range(len(points)):
                xi, yi = points[i]
                xj, yj = points[j]
                if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                    hit = not hit
                j = i
            return hit

        self.fill(inside, colour, (min(xs), min(ys), max(xs), max(ys)))

    def line(self, ax, ay, bx, by, width, colour):
        r = width / 2

        def inside(x, y):
            dx, dy = bx - ax, by - ay
            length2 = dx * dx + dy * dy
            t = 0 if length2 == 0 else max(0, min(1, ((x - ax) * dx + (y - ay) * dy) / length2))
            px, py = ax + t * dx - x, ay + t * dy - y
            return px * px + py * py <= r * r

        self.fill(inside, colour, (min(ax, bx) - r, min(ay, by) - r, max(ax, bx) + r,
                                   max(ay, by) + r))

    def polyline(self, points, width, colour):
        for a, b in zip(points, points[1:]):
            self.line(a[0], a[1], b[0], b[1], width, colour)

    def pixels(self):
        """Downsampled rows, top to bottom, of (r, g, b); the key colour where uncovered."""
        rows = []
        half = SS * SS / 2
        for y in range(self.h):
            row = []
            for x in range(self.w):
                n = 0
                r = g = b = 0
                for sy in range(y * SS, y * SS + SS):
                    base = sy * self.sw
                    for sx in range(x * SS, x * SS + SS):
                        c = self.px[base + sx]
                        if c is not None:
                            n += 1
                            r += c[0]
                            g += c[1]
                            b += c[2]
                if n >= half:
                    colour = (r // n, g // n, b // n)
                    # Never let a smoothed pixel turn into the key colour by accident.
                    row.append((254, 254, 0) if colour == KEY else colour)
                else:
                    row.append(KEY)
            rows.append(row)
        return rows


def write_bmp(path, rows):
    """24-bit bottom-up BMP."""
    height = len(rows)
    width = len(rows[0])
    stride = (width * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += b"\0" * (stride - len(line))
        data += line
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 3780, 3780, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


# --- Stroke lettering (capitals and digits) for the logo, the maker picture and markers -----
# Each glyph is a list of polylines in a 0..4 x 0..6 box.
GLYPHS = {
    "A": [[(0, 6), (2, 0), (4, 6)], [(0.7, 4), (3.3, 4)]],
    "D": [[(0, 0), (0, 6), (2.2, 6), (4, 4.4), (4, 1.6), (2.2, 0), (0, 0)]],
    "E": [[(4, 0), (0, 0), (0, 6), (4, 6)], [(0, 3), (3, 3)]],
    "G": [[(4, 1), (3, 0), (1, 0), (0, 1), (0, 5), (1, 6), (3, 6), (4, 5), (4, 3.2), (2.3, 3.2)]],
    "I": [[(2, 0), (2, 6)]],
    "K": [[(0, 0), (0, 6)], [(4, 0), (0, 3.6)], [(1.4, 2.6), (4, 6)]],
    "M": [[(0, 6), (0, 0), (2, 3.6), (4, 0), (4, 6)]],
    "N": [[(0, 6), (0, 0), (4, 6), (4, 0)]],
    "O": [[(1, 0), (3, 0), (4, 1), (4, 5), (3, 6), (1, 6), (0, 5), (0, 1), (1, 0)]],
    "R": [[(0, 6), (0, 0), (3, 0), (4, 1), (4, 2.2), (3, 3.2), (0, 3.2)], [(2, 3.2), (4, 6)]],
    "S": [[(4, 1), (3, 0), (1, 0), (0, 1), (0, 2), (1, 3), (3, 3), (4, 4), (4, 5), (3, 6), (1, 6),
           (0, 5)]],
    "T": [[(0, 0), (4, 0)], [(2, 0), (2, 6)]],
    "V": [[(0, 0), (2, 6), (4, 0)]],
    "1": [[(1, 1), (2.2, 0), (2.2, 6)], [(1, 6), (3.4, 6)]],
    "2": [[(0, 1), (1, 0), (3, 0), (4, 1), (4, 2), (0, 6), (4, 6)]],
    "3": [[(0, 0.6), (1, 0), (3, 0), (4, 1), (4, 2), (3, 3), (1.6, 3)], [(3, 3), (4, 4), (4, 5),
                                                                     (3, 6), (1, 6), (0, 5.4)]],
    "4": [[(3, 6), (3, 0), (0, 4.2), (4, 4.2)]],
    "5": [[(4, 0), (0.4, 0), (0, 3), (3, 2.8), (4, 3.8), (4, 5), (3, 6), (1, 6), (0, 5.2)]],
    "6": [[(3.6, 0.4), (2.6, 0), (1, 0), (0, 1.4), (0, 5), (1, 6), (3, 6), (4, 5), (4, 3.8),
           (3, 3), (0, 3.2)]],
    "7": [[(0, 0), (4, 0), (1.6, 6)]],
    " ": [],
}


def text(canvas, s, x, y, size, weight, colour, spacing=1.6):
    """Draws s with its top-left at x, y; size is the cap height in pixels."""
    unit = size / 6
    for ch in s:
        for stroke in GLYPHS[ch]:
            canvas.polyline([(x + px * unit, y + py * unit) for px, py in stroke], weight, colour)
        x += (4 + spacing) * unit if ch != "I" else (4 + spacing) * unit * 0.6
    return x


def text_width(s, size, spacing=1.6):
    unit = size / 6
    return sum((4 + spacing) * unit * (0.6 if ch == "I" else 1) for ch in s) - spacing * unit


# --- The mouse ------------------------------------------------------------------------------
def mouse_body(cx, top, length, width):
    """Top view of an ergonomic seven-button mouse: returns the outline predicate."""
    half = width / 2

    def half_width(t):  # t = 0 at the nose, 1 at the tail
        nose = math.sqrt(max(0.0, 1 - ((0.22 - min(t, 0.22)) / 0.22) ** 2))
        tail = math.sqrt(max(0.0, 1 - ((max(t, 0.80) - 0.80) / 0.20) ** 2))
        waist = 1 - 0.07 * math.exp(-((t - 0.52) / 0.12) ** 2)  # a gentle grip waist
        swell = 0.90 + 0.10 * math.sin(min(1.0, t / 0.75) * math.pi / 2)
        return half * nose * tail * waist * swell

    def inside(x, y):
        t = (y - top) / length
        if t < 0 or t > 1:
            return False
        return abs(x - cx) <= half_width(t)

    return inside, half_width


def draw_mouse(c, cx, top, length, width, marks):
    """Draws the mouse; marks receives the picture coordinates of the seven buttons."""
    body, half_width = mouse_body(cx, top, length, width)
    box = (cx - width / 2 - 2, top - 2, cx + width / 2 + 2, top + length + 2)

    # Soft shadow, then the shell with a light from the upper left.
    shadow, _ = mouse_body(cx + 4, top + 5, length, width)
    c.fill(shadow, (172, 176, 184), (box[0], box[1], box[2] + 6, box[3] + 6))

    def shell(x, y):
        t = (y - top) / length
        across = (x - cx) / max(1.0, half_width(t))
        # A rounded shell: bright along a ridge left of the middle, darker towards the rim.
        light = 0.62 - 0.55 * (across + 0.25) ** 2 - 0.30 * t
        return mix(BODY_DARK, BODY_LIGHT, light)

    c.fill(body, shell, box)

    # Main buttons: the front 44 %, split down the middle, with a seam towards the palm.
    split = top + length * 0.44

    def buttons(x, y):
        return body(x, y) and y < split

    def button_face(x, y):
        t = (y - top) / (split - top)
        across = (x - cx) / (width / 2)
        return mix(BODY_MID, BODY_LIGHT, 0.70 - 0.45 * t - 0.6 * (across + 0.2) ** 2)

    c.fill(buttons, button_face, (box[0], top, box[2], split))
    # Seams: the gap between the buttons and the arc that ends them.
    c.line(cx, top + 1, cx, split - 2, 2.2, SEAM)
    arc = []
    for i in range(21):
        t = i / 20
        x = cx - width / 2 + t * width
        arc.append((x, split + 8 * math.sin(t * math.pi) - 4))
    c.fill(lambda x, y: body(x, y) and abs(y - (split + 8 * math.sin(
        (x - (cx - width / 2)) / width * math.pi) - 4)) < 1.1, SEAM, box)

    # Wheel: a slot, the ribbed wheel and an accent light strip.
    wy0, wy1 = top + length * 0.09, top + length * 0.27
    c.round_rect(cx - 9, wy0 - 3, cx + 9, wy1 + 3, 6, SEAM)
    c.round_rect(cx - 6, wy0, cx + 6, wy1, 5, (70, 76, 88))
    ribs = 9
    for i in range(ribs):
        y = wy0 + 3 + i * (wy1 - wy0 - 6) / (ribs - 1)
        c.line(cx - 4.5, y, cx + 4.5, y, 1.2, (36, 39, 46))
    c.line(cx, wy0 + 2, cx, wy1 - 2, 1.6, ACCENT_LIGHT)
    marks[2] = (cx, (wy0 + wy1) / 2)

    # Left and right buttons: markers near their centres.
    marks[0] = (cx - width * 0.22, top + length * 0.22)
    marks[1] = (cx + width * 0.22, top + length * 0.22)

    # Side buttons, two on each flank (thumb side 3 and 4, ring-finger side 5 and 6).
    for index, (side, t) in enumerate([(-1, 0.52), (-1, 0.70), (1, 0.52), (1, 0.70)]):
        y = top + length * t
        hw = half_width(t)
        x_outer = cx + side * hw
        x0, x1 = sorted((x_outer - side * 2, x_outer - side * 13))
        c.round_rect(x0 - 1.5, y - 13.5, x1 + 1.5, y + 13.5, 6, SEAM)
        c.round_rect(x0, y - 12, x1, y + 12, 5, lambda x, yy: mix(BODY_LIGHT, (150, 158, 172),
                                                                 0.5 - (yy - y) / 30))
        c.line((x0 + x1) / 2, y - 7, (x0 + x1) / 2, y + 7, 1.4, ACCENT_LIGHT)
        marks[3 + index] = ((x0 + x1) / 2, y)

    # Logo dot on the palm rest and the accent strip of the tail.
    c.ellipse(cx, top + length * 0.78, 7, 7, ACCENT)
    c.ellipse(cx - 1.5, top + length * 0.78 - 1.5, 3, 3, ACCENT_LIGHT)


def marker(c, x, y):
    c.ellipse(x, y, 5, 5, WHITE)
    c.ellipse(x, y, 3.6, 3.6, ACCENT)


def leader(c, points, dot=True):
    c.polyline(points, 1.6, LEADER)
    if dot:
        marker(c, points[-1][0], points[-1][1])


def render_mouse_picture():
    """Bitmap 121 / image\\mouse.bmp, 306 x 272, drawn at anchor 120 (145, 105 DLU)."""
    w, h = 306, 272
    c = Canvas(w, h)
    ox, oy = dlu_x(145), dlu_y(105)
    marks = {}
    draw_mouse(c, w / 2, 30, 226, 132, marks)

    # Combo boxes around the picture, as picture coordinates of the end nearest to it.
    combo_h = dlu_y(12)
    left_end = dlu_x(30 + 115) - ox
    right_end = dlu_x(350) - ox
    def combo_y(y):
        return dlu_y(y) + combo_h / 2 - oy
    # Leader lines: from the combo box's edge to the button's marker.
    for button, y in ((0, 142), (3, 182), (4, 222)):
        mx, my = marks[button]
        yy = combo_y(y)
        leader(c, [(left_end + 1, yy), (left_end + 24, yy), (mx, my)])
    for button, y in ((1, 142), (5, 182), (6, 222)):
        mx, my = marks[button]
        yy = combo_y(y)
        leader(c, [(right_end - 1, yy), (right_end - 24, yy), (mx, my)])
    # Middle button: the combo box stands inside the picture's upper right corner.
    mx, my = marks[2]
    top_combo_x = dlu_x(300) - ox
    yy = combo_y(107)
    leader(c, [(top_combo_x - 2, yy), (top_combo_x - 26, yy), (mx, my)])
    # Keep the area of that combo box clear.
    c.clear(lambda x, y: x >= top_combo_x - 1 and y <= dlu_y(107 + 14) - oy)
    return c


def render_basic_picture():
    """Bitmap 139 / image\\bk.bmp, 418 x 344 at anchor 152 (112, 66 DLU): the mouse with
    leader lines to the eleven captions B1..B11 of the basic layout."""
    w, h = 418, 344
    c = Canvas(w, h)
    ox, oy = dlu_x(112), dlu_y(66)
    marks = {}
    cx, top, length, width = 205, 40, 236, 138
    draw_mouse(c, cx, top, length, width, marks)
    body_top = top
    # Points on the mouse that the captions describe, in picture coordinates.
    targets = {
        501: marks[0],
        502: (cx, body_top + 4),
        503: (cx - 30, top + length * 0.06),
        504: marks[4],
        505: marks[3],
        506: marks[2],
        507: marks[1],
        508: marks[5],
        509: marks[6],
        510: (cx, top + length - 4),
        511: (cx - 40, top + length * 0.86),
    }
    captions = {  # x, y, w, h in DLU and alignment
        501: (44, 126, 80, 10, "r"), 502: (155, 61, 164, 10, "c"), 503: (4, 84, 164, 10, "r"),
        504: (39, 171, 80, 10, "r"), 505: (37, 147, 80, 10, "r"), 506: (332, 94, 80, 10, "l"),
        507: (351, 117, 80, 10, "l"), 508: (378, 144, 112, 14, "l"),
        509: (387, 165, 112, 14, "l"), 510: (190, 258, 80, 10, "c"),
        511: (55, 191, 80, 10, "r"),
    }
    for cid, (x, y, cw, chh, align) in captions.items():
        tx, ty = targets[cid]
        # Aim at the middle of the caption's first text line, not of its rectangle.
        if align == "r":
            sx, sy = dlu_x(x + cw) - ox + 3, dlu_y(y) - oy + 7
            path = [(sx, sy), (sx + 14, sy), (tx, ty)]
        elif align == "l":
            sx, sy = dlu_x(x) - ox - 3, dlu_y(y) - oy + 7
            path = [(sx, sy), (sx - 14, sy), (tx, ty)]
        elif cid == 502:
            sx, sy = dlu_x(x + cw / 2) - ox, dlu_y(y + chh) - oy + 3
            path = [(sx, sy), (tx, ty)]
        else:
            sx, sy = dlu_x(x + cw / 2) - ox, dlu_y(y) - oy - 3
            path = [(sx, sy), (tx, ty)]
        if sx < 0 or sx >= w:
            continue
        leader(c, path)
    # The speed group stands over the lower left corner of the picture.
    c.clear(lambda x, y: x < dlu_x(215) - ox and y > dlu_y(243) - oy)
    return c


def render_trackbar_background():
    """Bitmap 142, 600 x 33: a scale under the channel of a resolution trackbar. The channel
    row and the thumb's track stay key-coloured."""
    w, h = 600, 33
    c = Canvas(w, h)
    # A rising wedge from 400 to 3200 dpi under the thumb's path.
    x0, x1 = 12, 588
    base = 31
    c.polygon([(x0, base), (x1, base), (x1, base - 7), (x0, base - 1.5)],
              lambda x, y: mix((200, 220, 236), ACCENT, (x - x0) / (x1 - x0)))
    # Tick marks every 400 dpi step (every fourth of the 29 positions).
    for i in range(29):
        x = x0 + i * (x1 - x0) / 28
        major = i % 4 == 0
        c.line(x, base - 10 - (3 if major else 0), x, base - 9, 1.2 if major else 1.0,
               INK if major else LEADER)
    return c


def render_trackbar_thumb():
    """Bitmap 143, 11 x 21: a pointer thumb."""
    c = Canvas(11, 21)
    c.polygon([(0.5, 0.5), (10.5, 0.5), (10.5, 14.5), (5.5, 20.5), (0.5, 14.5)], SEAM)
    c.polygon([(1.5, 1.5), (9.5, 1.5), (9.5, 14), (5.5, 19), (1.5, 14)],
              lambda x, y: mix(ACCENT_LIGHT, ACCENT, y / 16))
    c.line(3.5, 4, 3.5, 12, 1.0, (200, 232, 252))
    return c


def render_key_marker(press):
    """Bitmaps 131 (press) and 133 (release), 31 x 13, copied onto white list rows."""
    c = Canvas(31, 13, WHITE)
    colour = (36, 150, 84) if press else (200, 96, 40)
    c.round_rect(1, 1, 30, 12, 3, colour)
    # A keycap and an arrow: down for a press, up for a release.
    c.round_rect(4, 3, 13, 10, 1.5, WHITE)
    c.round_rect(5.5, 4, 11.5, 8.5, 1, mix(colour, WHITE, 0.55))
    if press:
        c.line(22, 3, 22, 8.5, 1.6, WHITE)
        c.polygon([(18, 7), (26, 7), (22, 11)], WHITE)
    else:
        c.line(22, 4.5, 22, 10, 1.6, WHITE)
        c.polygon([(18, 6), (26, 6), (22, 2)], WHITE)
    return c


def render_detail(kind):
    """Bitmaps 135 (string), 136 (macro), 137 (profile), 138 (single key), 18 x 18."""
    c = Canvas(18, 18)
    c.round_rect(0.5, 0.5, 17.5, 17.5, 3, SEAM)
    c.round_rect(1.5, 1.5, 16.5, 16.5, 2.5, lambda x, y: mix(ACCENT_LIGHT, ACCENT, y / 18))
    if kind == "single":
        c.round_rect(5, 5, 13, 13, 1.5, WHITE)
        c.round_rect(6.5, 6, 11.5, 10.5, 1, (214, 232, 246))
    elif kind == "macro":
        for i, (x, y) in enumerate(((3.5, 4), (9.5, 4), (6.5, 10))):
            c.round_rect(x, y, x + 5, y + 5, 1, WHITE)
        c.ellipse(14, 13.5, 1.8, 1.8, (230, 60, 60))
    elif kind == "string":
        text(c, "T", 5, 4, 10, 2.0, WHITE)
        c.line(12.5, 13, 15, 13, 1.2, WHITE)
    elif kind == "profile":
        for i in range(3):
            y = 4 + i * 4
            c.round_rect(4 + i, y, 14 - i, y + 2.4, 1, WHITE)
        c.polygon([(9, 16), (6.5, 13.5), (11.5, 13.5)], WHITE)
    return c


# The empty anchor statics repaint their own rectangle over a picture's top-left corner, so
# the logo and maker pictures start right of it (15 x 13 and 20 x 20 dialog units).
LOGO_MARGIN = 24
MAKER_MARGIN = 32


def render_logo():
    """image\\logo.bmp: the product wordmark at anchor 151."""
    words = "TARN DESK"
    size = 14
    m = LOGO_MARGIN
    w = int(text_width(words, size) + 34 + m)
    c = Canvas(w, 24)
    c.ellipse(m + 9, 12, 8, 8, ACCENT)
    c.ellipse(m + 9, 12, 4, 4, WHITE)
    text(c, words, m + 24, 5, size, 2.2, INK)
    return c


def render_company():
    """image\\company.bmp: the maker's name at the anchor in the upper right corner."""
    words = "ORVANE"
    size = 18
    m = MAKER_MARGIN
    w = int(text_width(words, size, 2.0) + 40 + m)
    c = Canvas(w, 40)
    c.round_rect(m, 4, m + 30, 34, 7, lambda x, y: mix(ACCENT_LIGHT, ACCENT, y / 34))
    c.polygon([(m + 8, 27), (m + 15, 10), (m + 22, 27)], WHITE)
    c.polygon([(m + 12, 27), (m + 15, 19), (m + 18, 27)], ACCENT)
    text(c, words, m + 38, 7, size, 2.6, INK, 2.0)
    text(c, "GAMING", m + 39, 29, 7, 1.2, LEADER, 2.2)
    return c


# --- Hand cursor (resource 132) -------------------------------------------------------------
HAND = [
    "      ##                        ",
    "     #..#                       ",
    "     #..#                       ",
    "     #..#                       ",
    "     #..#                       ",
    "     #..###                     ",
    "     #..#..###                  ",
    "     #..#..#..##                ",
    "     #..#..#..#.#               ",
    " ### #..#..#..#..#              ",
    " #..##........#..#              ",
    " #...#...........#              ",
    "  #..............#              ",
    "   #.............#              ",
    "   #.............#              ",
    "    #...........#               ",
    "    #...........#               ",
    "     #.........#                ",
    "     #.........#                ",
    "     ###########                ",
]


def write_cursor(path):
    """32 x 32 monochrome cursor, hot spot at the fingertip."""
    size = 32
    rows = [row.ljust(size) for row in HAND] + [" " * size] * (size - len(HAND))
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # bottom-up
        xbits = mbits = 0
        for ch in row:
            xbits = (xbits << 1) | (1 if ch == "." else 0)  # white inside
            mbits = (mbits << 1) | (1 if ch == " " else 0)  # transparent outside
        xor += xbits.to_bytes(4, "big")
        mask += mbits.to_bytes(4, "big")
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 1, 0, len(xor) + len(mask), 0, 0,
                       2, 0)
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    image = info + palette + bytes(xor) + bytes(mask)
    header = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", size, size, 2, 0, 6, 0, len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(header + entry + image)


def main():
    os.makedirs(IMAGE_DIR, exist_ok=True)
    mouse = render_mouse_picture().pixels()
    basic = render_basic_picture().pixels()
    outputs = {
        os.path.join(RESOURCES, "mouse_121.bmp"): mouse,
        os.path.join(IMAGE_DIR, "mouse.bmp"): mouse,
        os.path.join(RESOURCES, "basic_139.bmp"): basic,
        os.path.join(IMAGE_DIR, "bk.bmp"): basic,
        os.path.join(RESOURCES, "key_press_131.bmp"): render_key_marker(True).pixels(),
        os.path.join(RESOURCES, "key_release_133.bmp"): render_key_marker(False).pixels(),
        os.path.join(RESOURCES, "detail_string_135.bmp"): render_detail("string").pixels(),
        os.path.join(RESOURCES, "detail_macro_136.bmp"): render_detail("macro").pixels(),
        os.path.join(RESOURCES, "detail_profile_137.bmp"): render_detail("profile").pixels(),
        os.path.join(RESOURCES, "detail_single_138.bmp"): render_detail("single").pixels(),
        os.path.join(RESOURCES, "trackbar_142.bmp"): render_trackbar_background().pixels(),
        os.path.join(RESOURCES, "thumb_143.bmp"): render_trackbar_thumb().pixels(),
        os.path.join(IMAGE_DIR, "logo.bmp"): render_logo().pixels(),
        os.path.join(IMAGE_DIR, "company.bmp"): render_company().pixels(),
    }
    for path, rows in outputs.items():
        write_bmp(path, rows)
    write_cursor(os.path.join(RESOURCES, "hand_132.cur"))


if __name__ == "__main__":
    main()
