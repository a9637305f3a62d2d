#!/usr/bin/env python3
"""Draws the program's pictures and writes them as PNG files, the icon file and the C++ byte arrays.

Everything is drawn here from simple shapes (rectangles, ellipses, rings, polygons, thick lines), with
3 x 3 samples per pixel for smooth edges, and written with the standard library only (zlib, struct).

    python3 scripts/make-pictures.py        # writes src/ui/pictures/*.png, quillon.ico, pictures.inc

The sizes are the natural sizes the window tables give for each picture box.
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, '..', 'src', 'ui', 'pictures')
SAMPLES = 3  # per axis


# ----------------------------------------------------------------------------------------------------------
# Shapes: each has a bounding box (x0, y0, x1, y1) and inside(x, y).

class Shape:
    def __sub__(self, other):
        return Difference(self, other)

    def __and__(self, other):
        return Intersection(self, other)

    def __or__(self, other):
        return Union(self, other)


class Rect(Shape):
    """Axis-aligned rectangle from (x0, y0) to (x1, y1), corners rounded with radius r."""
    def __init__(self, x0, y0, x1, y1, r=0.0):
        self.box = (x0, y0, x1, y1)
        self.r = min(r, (x1 - x0) / 2, (y1 - y0) / 2)

    def inside(self, x, y):
        x0, y0, x1, y1 = self.box
        if x < x0 or x > x1 or y < y0 or y > y1:
            return False
        r = self.r
        if r <= 0:
            return True
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


class Ellipse(Shape):
    def __init__(self, cx, cy, rx, ry=None):
        ry = rx if ry is None else ry
        self.c, self.rx, self.ry = (cx, cy), rx, ry
        self.box = (cx - rx, cy - ry, cx + rx, cy + ry)

    def inside(self, x, y):
        dx = (x - self.c[0]) / self.rx
        dy = (y - self.c[1]) / self.ry
        return dx * dx + dy * dy <= 1.0


def Ring(cx, cy, rx, ry, thickness):
    return Ellipse(cx, cy, rx, ry) - Ellipse(cx, cy, rx - thickness, ry - thickness)


class Polygon(Shape):
    def __init__(self, points):
        self.points = points
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        self.box = (min(xs), min(ys), max(xs), max(ys))

    def inside(self, x, y):
        result = False
        points = self.points
        j = len(points) - 1
        for i in range(len(points)):
            xi, yi = points[i]
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                result = not result
            j = i
        return result


class Line(Shape):
    """A thick line with round ends: every point within r of the segment."""
    def __init__(self, x0, y0, x1, y1, r):
        self.a, self.b, self.r = (x0, y0), (x1, y1), r
        self.box = (min(x0, x1) - r, min(y0, y1) - r, max(x0, x1) + r, max(y0, y1) + r)

    def inside(self, x, y):
        (ax, ay), (bx, by) = self.a, self.b
        dx, dy = bx - ax, by - ay
        length = dx * dx + dy * dy
        t = 0.0 if length == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length))
        px, py = ax + t * dx - x, ay + t * dy - y
        return px * px + py * py <= self.r * self.r


def Polyline(points, r):
    shape = Line(*points[0], *points[1], r)
    for a, b in zip(points[1:], points[2:]):
        shape = shape | Line(*a, *b, r)
    return shape


class Union(Shape):
    def __init__(self, a, b):
        self.a, self.b = a, b
        self.box = (min(a.box[0], b.box[0]), min(a.box[1], b.box[1]), max(a.box[2], b.box[2]),
                    max(a.box[3], b.box[3]))

    def inside(self, x, y):
        return self.a.inside(x, y) or self.b.inside(x, y)


class Difference(Shape):
    def __init__(self, a, b):
        self.a, self.b, self.box = a, b, a.box

    def inside(self, x, y):
        return self.a.inside(x, y) and not self.b.inside(x, y)


class Intersection(Shape):
    def __init__(self, a, b):
        self.a, self.b = a, b
        self.box = (max(a.box[0], b.box[0]), max(a.box[1], b.box[1]), min(a.box[2], b.box[2]),
                    min(a.box[3], b.box[3]))

    def inside(self, x, y):
        return self.a.inside(x, y) and self.b.inside(x, y)


# ----------------------------------------------------------------------------------------------------------
# Colours are (r, g, b, a) with components 0..1; a paint is a colour or a function (x, y) -> colour.

def rgb(hex_text, alpha=1.0):
    v = int(hex_text.lstrip('#'), 16)
    return ((v >> 16) / 255.0, ((v >> 8) & 255) / 255.0, (v & 255) / 255.0, alpha)


def mix(c0, c1, t):
    t = max(0.0, min(1.0, t))
    return tuple(a + (b - a) * t for a, b in zip(c0, c1))


def vertical(y0, y1, top, bottom):
    return lambda x, y: mix(top, bottom, (y - y0) / (y1 - y0))


def horizontal(x0, x1, left, right):
    return lambda x, y: mix(left, right, (x - x0) / (x1 - x0))


class Canvas:
    def __init__(self, width, height, background=(0, 0, 0, 0)):
        self.width, self.height = width, height
        self.pixels = [list(background) for _ in range(width * height)]

    def blend(self, x, y, colour, coverage):
        r, g, b, a = colour
        a *= coverage
        if a <= 0:
            return
        p = self.pixels[y * self.width + x]
        out_a = a + p[3] * (1 - a)
        for i, c in enumerate((r, g, b)):
            p[i] = (c * a + p[i] * p[3] * (1 - a)) / out_a
        p[3] = out_a

    def fill(self, shape, paint):
        x0, y0, x1, y1 = shape.box
        step = 1.0 / SAMPLES
        offsets = [(i + 0.5) * step for i in range(SAMPLES)]
        for y in range(max(0, int(math.floor(y0))), min(self.height, int(math.ceil(y1)) + 1)):
            for x in range(max(0, int(math.floor(x0))), min(self.width, int(math.ceil(x1)) + 1)):
                hits = sum(1 for dy in offsets for dx in offsets if shape.inside(x + dx, y + dy))
                if hits:
                    colour = paint(x + 0.5, y + 0.5) if callable(paint) else paint
                    self.blend(x, y, colour, hits / (SAMPLES * SAMPLES))

    def rgba_bytes(self):
        return [tuple(int(round(max(0.0, min(1.0, c)) * 255)) for c in p) for p in self.pixels]


# ----------------------------------------------------------------------------------------------------------
# File formats.

def png_bytes(canvas):
    pixels = canvas.rgba_bytes()
    raw = bytearray()
    for y in range(canvas.height):
        raw.append(0)  # no filter
        for p in pixels[y * canvas.width:(y + 1) * canvas.width]:
            raw.extend(p)

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data +
                struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff))

    header = struct.pack('>IIBBBBB', canvas.width, canvas.height, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) + chunk(b'IDAT', zlib.compress(bytes(raw), 9)) +
            chunk(b'IEND', b''))


# The 16 colours of the classic Windows palette, for the 4-bit icon images.
PALETTE_16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
              (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
              (255, 0, 255), (0, 255, 255), (255, 255, 255)]
# 256 colours: a 6 x 6 x 6 cube and 40 greys.
PALETTE_256 = ([(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)] +
               [(round(i * 255 / 41),) * 3 for i in range(1, 41)])


def nearest(palette, colour):
    return min(range(len(palette)),
               key=lambda i: sum((a - b) ** 2 for a, b in zip(palette[i], colour[:3])))


def ico_image(canvas, bits):
    """One icon image as a device-independent bitmap: header, palette, colour rows, transparency mask."""
    w, h = canvas.width, canvas.height
    pixels = canvas.rgba_bytes()
    palette = {4: PALETTE_16, 8: PALETTE_256}.get(bits, [])
    header = struct.pack('<IiiHHIIiiII', 40, w, h * 2, 1, bits, 0, 0, 0, 0, len(palette), 0)
    colours = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in palette)
    rows = b''
    mask = b''
    for y in reversed(range(h)):  # bottom-up
        row = pixels[y * w:(y + 1) * w]
        if bits == 32:
            line = b''.join(struct.pack('<BBBB', p[2], p[1], p[0], p[3]) for p in row)
        else:
            indices = [nearest(palette, p) if p[3] >= 128 else 0 for p in row]
            if bits == 8:
                line = bytes(indices)
            else:
                indices += [0] * (len(indices) % 2)
                line = bytes((indices[i] << 4) | indices[i + 1] for i in range(0, len(indices), 2))
        rows += line + b'\0' * (-len(line) % 4)
        bitsline = bytearray((w + 7) // 8)
        for x, p in enumerate(row):
            if p[3] < 128:
                bitsline[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bitsline) + b'\0' * (-len(bitsline) % 4)
    return header + colours + rows + mask


def ico_bytes(images):
    """images: (canvas, bits, as_png) in directory order."""
    datas = [png_bytes(c) if as_png else ico_image(c, bits) for c, bits, as_png in images]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (canvas, bits, _), data in zip(images, datas):
        out += struct.pack('<BBBBHHII', canvas.width % 256, canvas.height % 256, 16 if bits == 4 else 0, 0,
                           1, bits, len(data), offset)
        offset += len(data)
    return out + b''.join(datas)


# ----------------------------------------------------------------------------------------------------------
# The pictures.

NAVY = rgb('#0d3c8c')
BLUE = rgb('#1565c0')
SKY = rgb('#42a5f5')
PALE = rgb('#bbdefb')
SLATE = rgb('#37474f')
GREY = rgb('#607d8b')
SILVER = rgb('#cfd8dc')
WHITE = rgb('#ffffff')


def quillon_letters(canvas, x, baseline, size, paint):
    """The word "Quillon" in round strokes; size is the height of the capital. Returns the right edge."""
    s = size / 30.0
    t = 2.4 * s                       # half the stroke
    xh = 21 * s                       # height of the small letters
    b = baseline

    def stem(cx, top, bottom):
        canvas.fill(Line(cx, top, cx, bottom, t), paint)

    # Q
    rx, ry = 13 * s, 15 * s
    cx = x + rx
    canvas.fill(Ring(cx, b - ry, rx, ry, 2 * t), paint)
    canvas.fill(Line(cx + 4 * s, b - 5 * s, cx + 11 * s, b + 2 * s, t), paint)
    x = cx + rx + 6 * s
    # u
    r = 8 * s
    x0, x1 = x + t, x + t + 2 * r
    stem(x0, b - xh + t, b - r)
    stem(x1, b - xh + t, b - t)
    canvas.fill(Ring((x0 + x1) / 2, b - r, r + t, r + t, 2 * t) & Rect(x0 - t, b - r, x1 + t, b + 1), paint)
    x = x1 + t + 5 * s
    # i, l, l
    for top, dot in ((b - xh + t, True), (b - 31 * s, False), (b - 31 * s, False)):
        stem(x + t, top, b - t)
        if dot:
            canvas.fill(Ellipse(x + t, b - xh - 6 * s, t * 1.2), paint)
        x += 2 * t + 5 * s
    # o
    r = 10 * s
    canvas.fill(Ring(x + r + t, b - xh / 2, r + t, xh / 2 + t * 0.4, 2 * t), paint)
    x += 2 * r + 2 * t + 5 * s
    # n
    r = 8 * s
    x0, x1 = x + t, x + t + 2 * r
    stem(x0, b - xh + t, b - t)
    stem(x1, b - xh + r, b - t)
    canvas.fill(Ring((x0 + x1) / 2, b - xh + r, r + t, r + t, 2 * t) & Rect(x0 - t, b - xh - 1, x1 + t,
                                                                              b - xh + r), paint)
    return x1 + t


def monitor(canvas, x, y, w, h, frame=SLATE, screen=None, outline=None, sheen=True):
    """A monitor glyph filling the box (x, y, w, h): frame, blue screen, neck and foot."""
    screen_bottom = y + h * 0.72
    if outline:
        canvas.fill(Rect(x - 1, y - 1, x + w + 1, screen_bottom + 1, h * 0.08 + 1), outline)
    canvas.fill(Rect(x, y, x + w, screen_bottom, h * 0.08), frame)
    border = max(1.5, w * 0.08)
    sx0, sy0, sx1, sy1 = x + border, y + border, x + w - border, screen_bottom - border
    canvas.fill(Rect(sx0, sy0, sx1, sy1), screen or vertical(sy0, sy1, SKY, BLUE))
    if sheen:
        canvas.fill(Polygon([(sx0, sy0), (sx0 + (sx1 - sx0) * 0.55, sy0), (sx0, sy0 + (sy1 - sy0) * 0.75)]),
                    (1, 1, 1, 0.18))
    cx = x + w / 2
    neck = w * 0.1
    foot_top = y + h * 0.88
    canvas.fill(Polygon([(cx - neck, screen_bottom), (cx + neck, screen_bottom), (cx + neck * 1.4, foot_top),
                         (cx - neck * 1.4, foot_top)]), frame)
    canvas.fill(Rect(cx - w * 0.3, foot_top, cx + w * 0.3, y + h, h * 0.05), frame)
    return (sx0, sy0, sx1, sy1)


def connect_arrow(canvas, sx0, sy0, sx1, sy1, colour=WHITE):
    """A right-pointing arrow in the middle of a screen: the connection to the remote computer."""
    cx, cy = (sx0 + sx1) / 2, (sy0 + sy1) / 2
    w, h = sx1 - sx0, sy1 - sy0
    canvas.fill(Polygon([(cx - w * 0.3, cy - h * 0.12), (cx + w * 0.02, cy - h * 0.12), (cx + w * 0.02, cy - h * 0.3),
                         (cx + w * 0.32, cy), (cx + w * 0.02, cy + h * 0.3), (cx + w * 0.02, cy + h * 0.12),
                         (cx - w * 0.3, cy + h * 0.12)]), colour)


def banner(width, height):
    canvas = Canvas(width, height)
    # Blue from left to right, a little lighter at the top, and a thin light line along the bottom.
    base = horizontal(0, width, NAVY, rgb('#1e88e5'))
    canvas.fill(Rect(0, 0, width, height), lambda x, y: mix(base(x, y), WHITE, 0.12 * (1 - y / height)))
    canvas.fill(Rect(0, height - 2, width, height), rgb('#90caf9', 0.8))
    # Faint circles on the right: a network of computers.
    for cx, cy, r in ((width - 60, 10, 46), (width - 150, 70, 38), (width * 0.55, -20, 44)):
        canvas.fill(Ring(cx, cy, r, r, 2), (1, 1, 1, 0.10))
    for (ax, ay), (bx, by) in (((width - 250, 52), (width - 120, 20)), ((width - 120, 20), (width - 30, 46))):
        canvas.fill(Line(ax, ay, bx, by, 1), (1, 1, 1, 0.14))
        canvas.fill(Ellipse(ax, ay, 3.5), (1, 1, 1, 0.25))
        canvas.fill(Ellipse(bx, by, 3.5), (1, 1, 1, 0.25))
    # The program's mark and name on the left.
    screen = monitor(canvas, 22, 12, 50, 44, frame=rgb('#e3f2fd'), outline=rgb('#0d3c8c', 0.5))
    connect_arrow(canvas, *screen)
    right = quillon_letters(canvas, 86, 47, 30, WHITE)
    canvas.fill(Rect(86, 53, right, 55), rgb('#90caf9', 0.9))  # underline
    return canvas


# Some picture boxes are smaller than their images and cut them at the right and bottom (a 47 x 47 image in
# a 40 x 40 box, say). Each drawing keeps within the part that shows: the first 40 rows, and the first 40
# columns for the images shown in 40-pixel-wide boxes.

def icon_display():  # 41 x 45, shown 41 x 40
    canvas = Canvas(41, 45)
    monitor(canvas, 1.5, 1, 38, 38)
    return canvas


def icon_colours():  # 39 x 41, shown 39 x 40
    canvas = Canvas(39, 41)
    circles = ((13, 13, '#e53935'), (26, 13, '#43a047'), (19.5, 25, '#1e88e5'))
    for cx, cy, colour in circles:
        canvas.fill(Ellipse(cx, cy, 11.5), rgb(colour, 0.78))
    for cx, cy, _ in circles:
        canvas.fill(Ring(cx, cy, 12, 12, 1), rgb('#263238', 0.6))
    return canvas


def icon_speaker():  # 41 x 41, shown 40 x 40
    canvas = Canvas(41, 41)
    cy = 20
    body = Rect(3, cy - 6, 11, cy + 6, 1) | Polygon([(10, cy - 6), (20, cy - 15), (20, cy + 15), (10, cy + 6)])
    canvas.fill(body, vertical(cy - 15, cy + 15, GREY, SLATE))
    right = Rect(23, 0, 41, 41)
    for r in (6, 11.5, 17):
        canvas.fill(Ring(20, cy, r, r, 2.6) & right & Rect(0, cy - r * 0.8, 41, cy + r * 0.8), BLUE)
    return canvas


def icon_keyboard():  # 41 x 41, shown 40 x 40
    canvas = Canvas(41, 41)
    canvas.fill(Rect(1, 8, 39, 32, 3), SLATE)
    canvas.fill(Rect(2.5, 9.5, 37.5, 30.5, 2), vertical(9, 31, GREY, SLATE))
    for y, start, count in ((12, 5, 7), (17.5, 7, 6), (23, 5, 7)):
        for i in range(count):
            x = start + i * 4.5
            canvas.fill(Rect(x, y, x + 3.3, y + 3.6, 0.6), SILVER)
    canvas.fill(Rect(11, 27.5, 29, 29.5, 0.6), SILVER)
    return canvas


def icon_plug():  # 41 x 41, shown 40 x 40
    canvas = Canvas(41, 41)
    canvas.fill(Rect(14.5, 2, 18, 13, 0.8), SILVER)
    canvas.fill(Rect(22, 2, 25.5, 13, 0.8), SILVER)
    canvas.fill(Rect(9.5, 12, 30, 26, 3), vertical(12, 26, SKY, BLUE))
    canvas.fill(Polygon([(12.5, 26), (27, 26), (23.5, 32), (16, 32)]), BLUE)
    canvas.fill(Line(19.75, 32, 19.75, 37, 2), SLATE)
    return canvas


def icon_performance():  # 47 x 47, shown 40 x 40
    canvas = Canvas(47, 47)
    cx, cy = 20, 20.5
    canvas.fill(Ellipse(cx, cy, 18.5), SLATE)
    canvas.fill(Ellipse(cx, cy, 16.8), vertical(3, 38, WHITE, SILVER))

    def band(x, y):  # green at the left end, yellow at the top, red at the right end
        t = 1 - max(0.0, math.atan2(cy - y, x - cx)) / math.pi
        if t < 0.5:
            return mix(rgb('#43a047'), rgb('#fdd835'), 2 * t)
        return mix(rgb('#fdd835'), rgb('#e53935'), 2 * t - 1)
    canvas.fill(Ring(cx, cy, 14.5, 14.5, 3.6) & Rect(0, 0, 47, cy + 1), band)
    for i in range(7):
        a = math.pi * i / 6
        canvas.fill(Line(cx + math.cos(a) * 8.8, cy - math.sin(a) * 8.8, cx + math.cos(a) * 10.2,
                         cy - math.sin(a) * 10.2, 0.7), SLATE)
    a = math.radians(40)
    canvas.fill(Line(cx, cy, cx + math.cos(a) * 12.5, cy - math.sin(a) * 12.5, 1.5), rgb('#c62828'))
    canvas.fill(Ellipse(cx, cy, 2.8), SLATE)
    return canvas


def icon_shield():  # 47 x 47, shown 40 x 40
    canvas = Canvas(47, 47)
    outline = [(20, 1), (36.5, 6.5), (35.5, 20.5), (30, 30.5), (20, 39), (10, 30.5), (4.5, 20.5), (3.5, 6.5)]
    inner = [(20, 3.8), (33.8, 8.6), (33, 20), (28.2, 28.8), (20, 35.7), (11.8, 28.8), (7, 20), (6.2, 8.6)]
    canvas.fill(Polygon(outline), NAVY)
    canvas.fill(Polygon(inner), vertical(4, 36, SKY, BLUE))
    canvas.fill(Polygon([(20, 3.8), (33.8, 8.6), (33, 20), (20, 20)]), (1, 1, 1, 0.15))
    canvas.fill(Polyline([(12.5, 20), (18, 25.5), (28, 14)], 2.2), WHITE)
    return canvas


def icon_globe():  # 47 x 43, shown 47 x 40
    canvas = Canvas(47, 43)
    cx, cy, r = 23.5, 20, 19
    canvas.fill(Ellipse(cx, cy, r), NAVY)
    canvas.fill(Ellipse(cx, cy, r - 1.5), lambda x, y: mix(SKY, BLUE, ((x - 8) + (y - 2)) / 60))
    lines = (1, 1, 1, 0.75)
    canvas.fill(Ring(cx, cy, 8, r - 1.5, 1.5), lines)
    canvas.fill(Line(cx, cy - r + 2, cx, cy + r - 2, 0.75), lines)
    inner = Ellipse(cx, cy, r - 1.5)
    for dy in (-9, 0, 9):
        canvas.fill(Rect(0, cy + dy - 0.75, 47, cy + dy + 0.75) & inner, lines)
    return canvas


def icon_microphone():  # 39 x 45, shown 39 x 40
    canvas = Canvas(39, 45)
    cx = 19.5
    canvas.fill(Rect(cx - 6.5, 1.5, cx + 6.5, 23, 6.5), SLATE)
    canvas.fill(Rect(cx - 5, 3, cx + 5, 21.5, 5), horizontal(cx - 6, cx + 6, SILVER, GREY))
    for y in (8, 11.5, 15, 18.5):
        canvas.fill(Line(cx - 3, y, cx + 3, y, 0.6), SLATE)
    canvas.fill(Ring(cx, 15, 10.5, 13, 2.2) & Rect(0, 15, 39, 45), BLUE)
    canvas.fill(Line(cx, 28, cx, 34, 1.5), BLUE)
    canvas.fill(Line(cx - 6.5, 36, cx + 6.5, 36, 1.7), BLUE)
    return canvas


def program_icon(size, classic=False):
    """The program icon: a monitor with the connection arrow on its screen. The classic drawing uses only
    colours of the 16-colour palette (grey frame, navy screen), so that it stays clean in 16 colours."""
    canvas = Canvas(size, size)
    s = size / 48.0
    if classic:
        screen = monitor(canvas, 2 * s, 5 * s, 44 * s, 40 * s, frame=rgb('#808080'), screen=rgb('#000080'),
                         sheen=False)
    else:
        screen = monitor(canvas, 2 * s, 5 * s, 44 * s, 40 * s, frame=SLATE)
    connect_arrow(canvas, *screen)
    return canvas


# Name in the program, file name, drawing.
PICTURES = [
    ('kMainBanner', 'banner-main', lambda: banner(935, 67)),
    ('kDialogBanner', 'banner-dialog', lambda: banner(471, 67)),
    ('kDisplay', 'display', icon_display),
    ('kColours', 'colours', icon_colours),
    ('kSpeaker', 'speaker', icon_speaker),
    ('kKeyboard', 'keyboard', icon_keyboard),
    ('kDevices', 'devices', icon_plug),
    ('kPerformance', 'performance', icon_performance),
    ('kShield', 'shield', icon_shield),
    ('kGateway', 'gateway', icon_globe),
    ('kMicrophone', 'microphone', icon_microphone),
]


def main():
    os.makedirs(OUT, exist_ok=True)
    inc = ['// Generated by scripts/make-pictures.py from the drawings there; do not edit.',
           '// The PNG files of src/ui/pictures, byte for byte.', '']
    for name, file_name, draw in PICTURES:
        data = png_bytes(draw())
        with open(os.path.join(OUT, file_name + '.png'), 'wb') as f:
            f.write(data)
        inc.append('// %s.png' % file_name)
        inc.append('const unsigned char %sPng[%d] = {' % (name, len(data)))
        for i in range(0, len(data), 20):
            inc.append('    ' + ', '.join('0x%02x' % b for b in data[i:i + 20]) + ',')
        inc.append('};')
        inc.append('')
    with open(os.path.join(OUT, 'pictures.inc'), 'w') as f:
        f.write('\n'.join(inc))

    # The icon file: 48, 32 and 16 pixels in 16 colours, 256 colours and 32-bit colour with alpha, and a
    # 256-pixel PNG image. Image 0 is 48 x 48 in 16 colours.
    icons = {size: program_icon(size) for size in (48, 32, 16, 256)}
    classic = {size: program_icon(size, classic=True) for size in (48, 32, 16)}
    images = [(classic[size], 4, False) for size in (48, 32, 16)]
    images += [(icons[size], bits, False) for bits in (8, 32) for size in (48, 32, 16)]
    images.append((icons[256], 32, True))
    with open(os.path.join(OUT, 'quillon.ico'), 'wb') as f:
        f.write(ico_bytes(images))


if __name__ == '__main__':
    main()
