#!/usr/bin/env python3
"""Draws every picture that Tavro installs: the application icon and its
running animation, the about picture, the hicolor desktop icons and the
skins (frame pictures, shade masks, desktop textures, buttons, markers).

Run from anywhere:

    python3 scripts/make-images.py            # rewrites data/Images and data/desktop/icons
    python3 scripts/make-images.py --preview /tmp/look
                                              # also writes PNG previews there: a mock
                                              # window per picture skin, the icon frames

Needs Python 3 only, plus `cjpeg` (libjpeg-turbo-progs) or ImageMagick's
`convert` for the desktop textures, which are JPEG files. The output is
committed; rerun the script after changing it and commit both.

Everything is drawn here from signed distance functions: a shape is a
function giving, for a point, its distance to the shape's outline
(negative inside); painting turns the distance into pixel coverage, which
anti-aliases every edge at any size.
"""

import math
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
IMAGES = os.path.join(ROOT, "data", "Images")
ICONS = os.path.join(ROOT, "data", "desktop", "icons")

hypot, sqrt, sin, cos, atan2, pi = math.hypot, math.sqrt, math.sin, math.cos, math.atan2, math.pi


# ---------------------------------------------------------------- canvas

class Canvas:
    """RGBA picture with straight (not premultiplied) alpha, 0..255 floats."""

    def __init__(self, w, h, bg=(0, 0, 0, 0)):
        self.w, self.h = w, h
        n = w * h
        self.r = [float(bg[0])] * n
        self.g = [float(bg[1])] * n
        self.b = [float(bg[2])] * n
        self.a = [float(bg[3]) if len(bg) > 3 else 255.0] * n

    def blend(self, i, c, sa):
        """Composites colour c with opacity sa (0..1) over pixel i."""
        if sa <= 0.0:
            return
        da = self.a[i] / 255.0
        oa = sa + da * (1.0 - sa)
        k = da * (1.0 - sa)
        self.r[i] = (c[0] * sa + self.r[i] * k) / oa
        self.g[i] = (c[1] * sa + self.g[i] * k) / oa
        self.b[i] = (c[2] * sa + self.b[i] * k) / oa
        self.a[i] = oa * 255.0

    def paint(self, sdf, colour, box=None, opacity=1.0, soft=1.0):
        """Fills the shape sdf; colour is an (r,g,b) triple or a function of
        (x, y) giving one. soft widens the anti-aliased edge (a glow)."""
        x0, y0, x1, y1 = box if box else (0, 0, self.w, self.h)
        x0, y0 = max(0, int(x0) - 1), max(0, int(y0) - 1)
        x1, y1 = min(self.w, int(math.ceil(x1)) + 1), min(self.h, int(math.ceil(y1)) + 1)
        shader = colour if callable(colour) else None
        for y in range(y0, y1):
            py = y + 0.5
            row = y * self.w
            for x in range(x0, x1):
                px = x + 0.5
                d = sdf(px, py)
                cov = 0.5 - d / soft
                if cov <= 0.0:
                    continue
                if cov > 1.0:
                    cov = 1.0
                self.blend(row + x, shader(px, py) if shader else colour, cov * opacity)

    def get(self, x, y):
        i = y * self.w + x
        return (self.r[i], self.g[i], self.b[i], self.a[i])

    def put(self, x, y, c):
        i = y * self.w + x
        self.r[i], self.g[i], self.b[i] = float(c[0]), float(c[1]), float(c[2])
        self.a[i] = float(c[3]) if len(c) > 3 else 255.0

    def draw(self, other, ox, oy):
        """Composites another canvas over this one at (ox, oy)."""
        for y in range(other.h):
            ty = y + oy
            if not 0 <= ty < self.h:
                continue
            for x in range(other.w):
                tx = x + ox
                if 0 <= tx < self.w:
                    r, g, b, a = other.get(x, y)
                    self.blend(ty * self.w + tx, (r, g, b), a / 255.0)

    def rgb_rows(self, bg=(0, 0, 0)):
        """Rows of (r, g, b) byte triples, composited over bg."""
        rows = []
        for y in range(self.h):
            row = []
            for x in range(self.w):
                r, g, b, a = self.get(x, y)
                k = a / 255.0
                row.append(tuple(clamp8(c * k + bc * (1.0 - k)) for c, bc in zip((r, g, b), bg)))
            rows.append(row)
        return rows

    def rgba_rows(self):
        return [[tuple(clamp8(v) for v in self.get(x, y)) for x in range(self.w)] for y in range(self.h)]


def clamp8(v):
    v = int(round(v))
    return 0 if v < 0 else 255 if v > 255 else v


def mix(c1, c2, t):
    return tuple(a + (b - a) * t for a, b in zip(c1, c2))


def smooth(t):
    t = 0.0 if t < 0 else 1.0 if t > 1 else t
    return t * t * (3 - 2 * t)


# ---------------------------------------------------------------- shapes

def circle(cx, cy, r):
    return lambda x, y: hypot(x - cx, y - cy) - r


def ring(cx, cy, r, w):
    return lambda x, y: abs(hypot(x - cx, y - cy) - r) - w / 2


def rbox(cx, cy, hw, hh, r=0.0):
    def f(x, y):
        qx = abs(x - cx) - hw + r
        qy = abs(y - cy) - hh + r
        return hypot(max(qx, 0.0), max(qy, 0.0)) + min(max(qx, qy), 0.0) - r
    return f


def ellipse(cx, cy, a, b, ang=0.0):
    ca, sa = cos(ang), sin(ang)

    def f(x, y):
        dx, dy = x - cx, y - cy
        u, v = dx * ca + dy * sa, -dx * sa + dy * ca
        k0 = hypot(u / a, v / b)
        if k0 < 1e-9:
            return -min(a, b)
        k1 = hypot(u / (a * a), v / (b * b))
        return k0 * (k0 - 1.0) / k1
    return f


def seg(ax, ay, bx, by, r):
    """A stroke from (ax, ay) to (bx, by) with round caps, half-width r."""
    dx, dy = bx - ax, by - ay
    ll = dx * dx + dy * dy or 1e-9

    def f(x, y):
        px, py = x - ax, y - ay
        t = (px * dx + py * dy) / ll
        t = 0.0 if t < 0 else 1.0 if t > 1 else t
        return hypot(px - dx * t, py - dy * t) - r
    return f


def polyline(pts, r):
    return union(*[seg(a[0], a[1], b[0], b[1], r) for a, b in zip(pts, pts[1:])])


def poly(pts):
    """Filled polygon (any simple polygon)."""
    n = len(pts)

    def f(x, y):
        d = (x - pts[0][0]) ** 2 + (y - pts[0][1]) ** 2
        s = 1.0
        j = n - 1
        for i in range(n):
            vix, viy = pts[i]
            vjx, vjy = pts[j]
            ex, ey = vjx - vix, vjy - viy
            wx, wy = x - vix, y - viy
            ee = ex * ex + ey * ey or 1e-9
            t = (wx * ex + wy * ey) / ee
            t = 0.0 if t < 0 else 1.0 if t > 1 else t
            bx, by = wx - ex * t, wy - ey * t
            d = min(d, bx * bx + by * by)
            c1 = y >= viy
            c2 = y < vjy
            c3 = ex * wy > ey * wx
            if (c1 and c2 and c3) or (not c1 and not c2 and not c3):
                s = -s
            j = i
        return s * sqrt(d)
    return f


def arc(cx, cy, rad, a0, a1, w):
    """A stroke along the circle from angle a0 to a1 (radians, clockwise on
    screen since y grows downwards), round caps."""
    span = (a1 - a0) % (2 * pi)
    e0 = (cx + rad * cos(a0), cy + rad * sin(a0))
    e1 = (cx + rad * cos(a1), cy + rad * sin(a1))

    def f(x, y):
        dx, dy = x - cx, y - cy
        rel = (atan2(dy, dx) - a0) % (2 * pi)
        if rel <= span:
            return abs(hypot(dx, dy) - rad) - w / 2
        return min(hypot(x - e0[0], y - e0[1]), hypot(x - e1[0], y - e1[1])) - w / 2
    return f


def union(*fs):
    return lambda x, y: min(f(x, y) for f in fs)


def subtract(a, b):
    return lambda x, y: max(a(x, y), -b(x, y))


def grow(f, d):
    return lambda x, y: f(x, y) - d


def rotated(f, cx, cy, ang):
    """f turned by ang (clockwise on screen) about (cx, cy)."""
    ca, sa = cos(ang), sin(ang)

    def g(x, y):
        dx, dy = x - cx, y - cy
        return f(cx + dx * ca + dy * sa, cy - dx * sa + dy * ca)
    return g


def turn(px, py, cx, cy, ang):
    ca, sa = cos(ang), sin(ang)
    dx, dy = px - cx, py - cy
    return (cx + dx * ca - dy * sa, cy + dx * sa + dy * ca)


def linear(c0, c1, x0, y0, x1, y1):
    """A shader: colour c0 at (x0, y0) fading to c1 at (x1, y1)."""
    dx, dy = x1 - x0, y1 - y0
    ll = dx * dx + dy * dy or 1e-9
    return lambda x, y: mix(c0, c1, max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / ll)))


# ---------------------------------------------------------------- files

def write_bmp(path, rows):
    """24-bit uncompressed BMP from rows of (r, g, b)."""
    h, w = len(rows), len(rows[0])
    stride = (w * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(rows):
        for r, g, b in row:
            data += bytes((b, g, r))
        data += b"\0" * (stride - w * 3)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    save(path, header + info + bytes(data))


def write_png(path, rows):
    """8-bit RGBA PNG from rows of (r, g, b, a)."""
    h, w = len(rows), len(rows[0])
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for px in row:
            raw += bytes(px)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b"")
    save(path, png)


def write_ico(path, images):
    """ICO with one 32-bit BGRA entry (plus its AND mask) per picture;
    images is a list of rows of (r, g, b, a), square."""
    entries, blobs = [], []
    offset = 6 + 16 * len(images)
    for rows in images:
        n = len(rows)
        xor = bytearray()
        for row in reversed(rows):
            for r, g, b, a in row:
                xor += bytes((b, g, r, a))
        mask_stride = ((n + 31) // 32) * 4
        andm = bytearray()
        for row in reversed(rows):
            bits = bytearray(mask_stride)
            for x, px in enumerate(row):
                if px[3] == 0:
                    bits[x // 8] |= 0x80 >> (x % 8)
            andm += bits
        info = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, len(xor) + len(andm), 0, 0, 0, 0)
        blob = info + bytes(xor) + bytes(andm)
        entries.append(struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 32, len(blob), offset))
        blobs.append(blob)
        offset += len(blob)
    save(path, struct.pack("<HHH", 0, 1, len(images)) + b"".join(entries) + b"".join(blobs))


def write_jpeg(path, rows, quality=92):
    """JPEG through cjpeg or ImageMagick, from a temporary PPM."""
    h, w = len(rows), len(rows[0])
    with tempfile.TemporaryDirectory() as tmp:
        ppm = os.path.join(tmp, "in.ppm")
        out = os.path.join(tmp, "out.jpg")
        with open(ppm, "wb") as f:
            f.write(b"P6\n%d %d\n255\n" % (w, h))
            for row in rows:
                for px in row:
                    f.write(bytes(px))
        if shutil.which("cjpeg"):
            subprocess.run(["cjpeg", "-quality", str(quality), "-optimize", "-outfile", out, ppm], check=True)
        elif shutil.which("convert"):
            subprocess.run(["convert", ppm, "-strip", "-interlace", "none", "-quality", str(quality), out], check=True)
        else:
            sys.exit("make-images: needs cjpeg (libjpeg-turbo-progs) or convert (imagemagick) for JPEG")
        with open(out, "rb") as f:
            save(path, f.read())


def save(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


# ---------------------------------------------------------------- the mark

TILE_TOP = (72, 206, 190)
TILE_BOTTOM = (24, 96, 168)
SHELL_LIGHT = (255, 214, 92)
SHELL_DARK = (236, 146, 38)
SHELL_LINE = (176, 96, 22)
SKIN_FILL = (150, 226, 112)
SKIN_LINE = (46, 120, 62)
HEADING = math.radians(22)          # the turtle looks up and a little to the right


def draw_tile(c, ox, oy, s):
    cx, cy = ox + s / 2, oy + s / 2
    hw = s * 0.46
    rad = s * 0.22
    tile = rbox(cx, cy, hw, hw, rad)
    box = (ox, oy, ox + s, oy + s)
    c.paint(tile, linear(TILE_TOP, TILE_BOTTOM, ox + s * 0.2, oy, ox + s * 0.8, oy + s), box)
    # a soft light on the upper half
    c.paint(subtract(tile, circle(cx - s * 0.1, cy + s * 1.05, s * 1.1)), (255, 255, 255), box, opacity=0.14)
    if s >= 32:
        c.paint(lambda x, y: abs(tile(x, y) + 0.5) - 0.5, (12, 56, 104), box, opacity=0.5)


def draw_turtle(c, ox, oy, s, legs=0.0, trail=True, heading=HEADING):
    """The turtle seen from above, centred on the tile at (ox, oy) of size s.
    legs swings the legs (radians) for the walking frames; heading turns
    it clockwise from looking straight up."""
    cx, cy = ox + s * 0.5, oy + s * 0.52
    u = s * 0.94
    small = s <= 16                 # fewer, bolder parts where pixels are few
    box = (ox, oy, ox + s, oy + s)
    line = max(0.6, s * 0.028)

    def at(dx, dy):
        return turn(cx + dx * u, cy + dy * u, cx, cy, heading)

    if trail and s >= 32:
        # the line the turtle has drawn on its way here, from its tail
        tx, ty = at(0.0, 0.3)
        ex, ey = ox + s * 0.1, oy + s * 0.9
        pts = []
        for i in range(17):
            t = i / 16
            pts.append((tx + (ex - tx) * t + sin(t * pi) * s * 0.07, ty + (ey - ty) * t + sin(t * pi) * s * 0.03))
        c.paint(polyline(pts, s * 0.022), (255, 255, 255), box, opacity=0.8)

    parts = []
    leg_a, leg_b = (0.075, 0.11) if small else (0.062, 0.095)
    for side in (-1, 1):
        for fy, base in ((-0.15, -0.75), (0.16, -2.4)):
            swing = legs * (1 if (side > 0) == (fy < 0) else -1)
            ang = side * (base + swing)
            px, py = at(side * 0.2, fy)
            parts.append(ellipse(px, py, u * leg_a, u * leg_b, heading + ang))
    hx, hy = at(0.0, -0.34 if small else -0.305)
    parts.append(circle(hx, hy, u * (0.11 if small else 0.088)))
    t0, t1 = at(0.0, 0.2), at(0.0, 0.31)
    parts.append(seg(t0[0], t0[1], t1[0], t1[1], u * 0.03))
    limbs = union(*parts)
    c.paint(grow(limbs, line), SKIN_LINE, box)
    c.paint(limbs, linear((190, 240, 150), SKIN_FILL, cx, cy - u * 0.4, cx, cy + u * 0.3), box)
    if s >= 48:
        for side in (-1, 1):
            ex, ey = at(side * 0.036, -0.33)
            c.paint(circle(ex, ey, u * 0.016), (24, 52, 30), box)

    shell = ellipse(cx, cy + (u * 0.02 if small else 0), u * (0.17 if small else 0.2), u * (0.21 if small else 0.245), heading)
    c.paint(grow(shell, line), SHELL_LINE, box)
    c.paint(shell, linear(SHELL_LIGHT, SHELL_DARK, cx - u * 0.15, cy - u * 0.2, cx + u * 0.15, cy + u * 0.22), box)
    if s >= 32:
        # the plates of the shell: a hexagon and lines out to the rim
        hexa = [at(0.085 * cos(k * pi / 3 + pi / 6), 0.085 * sin(k * pi / 3 + pi / 6) * 1.25) for k in range(6)]
        pattern = [polyline(hexa + [hexa[0]], line * 0.55)]
        for k in range(6):
            ang = k * pi / 3 + pi / 6
            rim = at(0.2 * cos(ang), 0.245 * sin(ang))
            pattern.append(seg(hexa[k][0], hexa[k][1], rim[0], rim[1], line * 0.55))
        plates = union(*pattern)
        c.paint(lambda x, y: max(plates(x, y), shell(x, y)), SHELL_LINE, box, opacity=0.8)
        c.paint(lambda x, y: abs(shell(x, y) + line * 1.6) - line * 0.5, (255, 240, 170), box, opacity=0.35)


def draw_spinner(c, ox, oy, s, frame):
    """The running ring: fourteen places on a circle, a bright head and a
    fading tail moving one place per frame."""
    cx, cy = ox + s / 2, oy + s / 2
    rad = s * 0.385
    box = (ox, oy, ox + s, oy + s)
    dot = max(1.35, s * 0.055)
    for k in range(5):
        ang = (frame - k) * 2 * pi / 14 - pi / 2
        c.paint(circle(cx + rad * cos(ang), cy + rad * sin(ang), dot * (1 - k * 0.12)),
                (255, 214, 64) if k == 0 else (255, 255, 255), box, opacity=1.0 - k * 0.18)


def mark(s, frame=None):
    c = Canvas(s, s)
    draw_tile(c, 0, 0, s)
    if frame is not None:
        draw_spinner(c, 0, 0, s, frame)
        draw_turtle(c, 0, 0, s, legs=0.35 * sin(frame * 2 * pi / 7), trail=False)
    else:
        draw_turtle(c, 0, 0, s)
    return c


def mime_icon(s):
    """A program file: a page with a folded corner, coloured program lines
    and the mark in the lower right."""
    c = Canvas(s, s)
    m = s / 16.0
    x0, y0, x1, y1 = 2.5 * m, 0.5 * m, 13.5 * m, 15.5 * m
    fold = 4 * m
    page = poly([(x0, y0), (x1 - fold, y0), (x1, y0 + fold), (x1, y1), (x0, y1)])
    c.paint(grow(page, max(0.5, 0.35 * m)), (120, 130, 150))
    c.paint(page, linear((255, 255, 255), (232, 238, 246), 0, y0, 0, y1))
    c.paint(poly([(x1 - fold, y0), (x1 - fold, y0 + fold), (x1, y0 + fold)]), (200, 210, 226))
    t = int(round((9.5 if s < 32 else 7.5) * m))
    bx, by = int(round(x1 - t + 1.5 * m)), int(round(y1 - t + 0.5 * m))
    if s >= 32:
        colours = [(40, 90, 200), (60, 60, 70), (30, 140, 70), (60, 60, 70), (200, 110, 30), (130, 130, 140)]
        rng = random.Random(7)
        y = y0 + 3.2 * m
        row = 0
        while y < y1 - 1.5 * m:
            x = x0 + 1.6 * m + (1.6 * m if row % 4 in (1, 2) else 0)
            end = x1 - (fold + 0.6 * m if y < y0 + fold + m else 1.6 * m)
            if y > by - 1.0 * m:
                end = bx - 1.0 * m
            while x < end - 1.5 * m:
                w = min(end - x, (1.5 + rng.random() * 3.0) * m)
                c.paint(seg(x + 0.3 * m, y, x + w - 0.3 * m, y, 0.42 * m), colours[rng.randrange(len(colours))])
                x += w + 0.8 * m
            y += 1.6 * m
            row += 1
    c.draw(mark(t), bx, by)
    return c


# ---------------------------------------------------------------- lettering

def wordmark(x, base, scale):
    """The name in rounded geometric letters; returns the shape and its
    right edge. Heights: capital 1.0, small letters 0.7, stroke 0.16."""
    sw = 0.16 * scale / 2
    cap, xh = scale, 0.7 * scale
    r = xh / 2 - sw
    shapes = []
    # T
    shapes.append(seg(x + sw, base - cap + sw, x + 0.66 * scale - sw, base - cap + sw, sw))
    shapes.append(seg(x + 0.33 * scale, base - cap + sw, x + 0.33 * scale, base - sw, sw))
    x += 0.6 * scale
    # a: a bowl and a stem
    cx = x + sw + r
    shapes.append(ring(cx, base - xh / 2, r, 2 * sw))
    shapes.append(seg(cx + r, base - xh + sw, cx + r, base - sw, sw))
    x = cx + r + sw + 0.1 * scale
    # v
    w = 0.62 * scale
    shapes.append(polyline([(x + sw, base - xh + sw), (x + w / 2, base - sw), (x + w - sw, base - xh + sw)], sw))
    x += w + 0.1 * scale
    # r: a stem and a shoulder
    shapes.append(seg(x + sw, base - xh + sw, x + sw, base - sw, sw))
    shapes.append(arc(x + sw + r * 0.95, base - xh + sw + r * 0.95, r * 0.95, pi, pi * 1.72, 2 * sw))
    x += sw + r * 0.95 + r * 0.95 * cos(pi * 1.72) + sw + 0.14 * scale
    # o
    cx = x + sw + r
    shapes.append(ring(cx, base - xh / 2, r, 2 * sw))
    x = cx + r + sw
    return union(*shapes), x


# ---------------------------------------------------------------- about picture

def about_picture():
    W, H = 530, 250
    c = Canvas(W, H, (0, 0, 0, 255))
    # night-blue backdrop fading into the black of the about box at the rim
    for y in range(H):
        for x in range(W):
            t = x / W
            col = mix((14, 30, 62), (8, 62, 84), t * 0.8 + y / H * 0.2)
            e = min(x, W - 1 - x, y * 1.6, (H - 1 - y) * 1.6) / 40.0
            col = mix((0, 0, 0), col, smooth(e))
            c.put(x, y, col)
    # the plane: a grid in perspective receding to the horizon
    hy, vx = 150.0, 300.0
    grid = []
    for k in range(-14, 15):
        bx = vx + k * 55
        grid.append(seg(vx + k * 4, hy, bx, H + 60, 0.5))
    for k in range(1, 9):
        y = hy + (H + 20 - hy) * (k / 8.0) ** 1.8
        grid.append(seg(-10, y, W + 10, y, 0.5))
    g = union(*grid)
    c.paint(g, lambda x, y: mix((40, 110, 150), (80, 200, 220), smooth((y - hy) / (H - hy))),
            (0, hy, W, H), opacity=0.55)
    # the mark
    ms = 150
    m = mark(ms)
    shadow = rbox(40 + ms / 2 + 4, 46 + ms / 2 + 8, ms * 0.46, ms * 0.46, ms * 0.22)
    c.paint(grow(shadow, 2), (0, 0, 0), (30, 40, 210, 220), opacity=0.55, soft=10.0)
    c.draw(m, 40, 46)
    # the name, with a soft shadow
    shape, right = wordmark(226, 148, 74)
    c.paint(lambda x, y: shape(x - 3, y - 4), (0, 0, 0), (215, 50, 530, 170), opacity=0.6, soft=5.0)
    c.paint(shape, linear((255, 255, 255), (186, 232, 246), 0, 80, 0, 148), (215, 50, 530, 160))
    # the trail the turtle leaves under the name, and the turtle at its end
    pts = [(230 + i * 3, 176 + sin(i * 0.3) * 3) for i in range(int((right - 232) / 3))]
    c.paint(polyline(pts, 1.5), (255, 214, 92), (220, 160, 530, 190), opacity=0.9)
    ex, ey = pts[-1]
    draw_turtle(c, ex - 6, ey - 20, 40, trail=False, heading=math.radians(90))
    return c


# ---------------------------------------------------------------- skins

class Skin:
    def __init__(self, name, **kw):
        self.name = name
        self.__dict__.update(kw)


DAYLIGHT = Skin(
    "Daylight",
    T=24, L=6, R=6, B=6, round_top=6.0, round_bottom=3.0,
    outline=(84, 112, 152), outline_mask=40,
    title_top=(232, 241, 252), title_bottom=(178, 204, 236), highlight=(250, 253, 255),
    title_rule=(120, 150, 192), body=(178, 204, 236), body_light=(204, 222, 244), inner=(122, 150, 190),
    plate_top=(252, 253, 255), plate_bottom=(212, 225, 243), plate_line=(116, 142, 184),
    symbol=(34, 62, 110), close_top=(240, 122, 108), close_bottom=(204, 64, 56), close_line=(148, 40, 36),
    run=(34, 140, 64), stop=(196, 48, 44), accent=(232, 120, 140), paper=(255, 255, 255),
    colours=dict(Desktop=None, Grid=(150, 166, 190), Text=(24, 30, 44), Number=(176, 60, 20),
                 Variable=(28, 84, 200), Word=(30, 128, 60), Comment=(118, 126, 140), Menu=(156, 180, 212),
                 Workspace=(253, 253, 250), Caption=(20, 38, 78), MenuCap=(40, 62, 108)),
)

MIDNIGHT = Skin(
    "Midnight",
    T=24, L=6, R=6, B=6, round_top=6.0, round_bottom=3.0,
    outline=(6, 8, 14), outline_mask=30,
    title_top=(70, 78, 104), title_bottom=(40, 45, 62), highlight=(98, 108, 140),
    title_rule=(86, 130, 210), body=(40, 45, 62), body_light=(52, 58, 78), inner=(18, 20, 28),
    plate_top=(84, 93, 120), plate_bottom=(58, 64, 86), plate_line=(20, 22, 32),
    symbol=(222, 228, 242), close_top=(206, 84, 80), close_bottom=(150, 42, 46), close_line=(60, 14, 18),
    run=(124, 222, 144), stop=(244, 118, 106), accent=(236, 130, 160), paper=(62, 68, 90),
    colours=dict(Desktop=None, Grid=(82, 92, 116), Text=(190, 196, 210), Number=(247, 156, 108),
                 Variable=(124, 176, 255), Word=(166, 222, 128), Comment=(124, 136, 160), Menu=(46, 52, 68),
                 Workspace=(28, 31, 40), Caption=(226, 232, 244), MenuCap=(120, 164, 226)),
)

PLAIN = Skin(
    "Windows",
    T=18, face=(240, 240, 240), symbol=(46, 66, 104), run=(30, 146, 62), stop=(200, 44, 40),
    close=(72, 72, 78), accent=(226, 112, 132), paper=(255, 255, 255),
    colours=dict(Workspace=(255, 255, 255), Grid=(128, 128, 128), Text=(0, 0, 0)),
)


def frame_pixel(sk, x, y, W, H):
    """Colour and shade of one pixel of a window frame W x H: the outline,
    the caption strip, the side and bottom bands, rounded outer corners."""
    T, L, R, B = sk.T, sk.L, sk.R, sk.B
    # coverage of the rounded outer shape, sampled 4 x 4
    inside = 0
    for sy in range(4):
        for sx in range(4):
            px, py = x + (sx + 0.5) / 4, y + (sy + 0.5) / 4
            rad = sk.round_top if py < H / 2 else sk.round_bottom
            qx = min(px, W - px)
            qy = min(py, H - py)
            if qx < rad and qy < rad and hypot(rad - qx, rad - qy) > rad:
                continue
            inside += 1
    cover = inside / 16.0
    # distance to the rounded outline, in whole pixels, for the 1-px rim
    rad = sk.round_top if y < H / 2 else sk.round_bottom
    qx, qy = min(x + 0.5, W - x - 0.5), min(y + 0.5, H - y - 0.5)
    if qx < rad and qy < rad:
        edge = rad - hypot(rad - qx, rad - qy)
    else:
        edge = min(qx, qy)
    if edge < 1.0:
        col = sk.outline
    elif y < T:
        if y == T - 1:
            col = sk.title_rule
        elif edge < 2.0:
            col = sk.highlight if y < T / 2 else sk.body_light
        else:
            col = mix(sk.title_top, sk.title_bottom, smooth((y - 1) / (T - 3)))
    elif x == L - 1 or x == W - R or y == H - B:
        col = sk.inner
    else:
        col = sk.body_light if edge < 2.0 else sk.body
    shade = 255 - (255 - sk.outline_mask) * cover if edge < 1.0 else 255 * (1 - cover)
    if cover >= 1.0 and edge >= 1.0:
        shade = 0
    return col, clamp8(shade)


FRAME_PIECES = {
    # name: (x, y, w, h) in a frame of size W x H, with K the strip length
    "tl": lambda sk, W, H, K: (0, 0, sk.L, sk.T),
    "t": lambda sk, W, H, K: (sk.L, 0, K, sk.T),
    "tr": lambda sk, W, H, K: (W - sk.R, 0, sk.R, sk.T),
    "l": lambda sk, W, H, K: (0, sk.T, sk.L, K),
    "r": lambda sk, W, H, K: (W - sk.R, sk.T, sk.R, K),
    "bl": lambda sk, W, H, K: (0, H - sk.B, sk.L, sk.B),
    "b": lambda sk, W, H, K: (sk.L, H - sk.B, K, sk.B),
    "br": lambda sk, W, H, K: (W - sk.R, H - sk.B, sk.R, sk.B),
}


def frame_pieces(sk, desktop_avg):
    """The sixteen border pictures: cut from one frame drawn whole, so the
    pieces always join. Outside the rounded corners the picture takes the
    desktop's average colour, which shows if a mask is ever ignored."""
    K = 8
    W, H = sk.L + K + sk.R, sk.T + K + sk.B
    pix = [[frame_pixel(sk, x, y, W, H) for x in range(W)] for y in range(H)]
    out = {}
    for name, where in FRAME_PIECES.items():
        x0, y0, w, h = where(sk, W, H, K)
        img, shade = [], []
        for y in range(y0, y0 + h):
            irow, srow = [], []
            for x in range(x0, x0 + w):
                col, m = pix[y][x]
                irow.append(tuple(clamp8(v) for v in (desktop_avg if m == 255 else col)))
                srow.append((m, m, m))
            img.append(irow)
            shade.append(srow)
        out[name] = img
        out[name + "_shade"] = shade
    return out


def periodic_noise(n, cells, rng):
    """Smooth value noise on an n x n torus with cells x cells lattice."""
    lat = [[rng.random() for _ in range(cells)] for _ in range(cells)]
    size = n / cells
    out = []
    for y in range(n):
        fy = y / size
        iy = int(fy)
        ty = smooth(fy - iy)
        row = []
        for x in range(n):
            fx = x / size
            ix = int(fx)
            tx = smooth(fx - ix)
            a = lat[iy % cells][ix % cells]
            b = lat[iy % cells][(ix + 1) % cells]
            c = lat[(iy + 1) % cells][ix % cells]
            d = lat[(iy + 1) % cells][(ix + 1) % cells]
            row.append(a + (b - a) * tx + (c - a) * ty + (a - b - c + d) * tx * ty)
        out.append(row)
    return out


def desktop_texture(sk):
    """256 x 256, tiles seamlessly: squared paper for the light skin, a
    dotted night grid for the dark one, over soft cloudy noise."""
    n = 256
    rng = random.Random(sk.name)
    coarse = periodic_noise(n, 4, rng)
    fine = periodic_noise(n, 32, rng)
    grain = [[rng.random() for _ in range(n)] for _ in range(n)]
    rows = []
    for y in range(n):
        row = []
        for x in range(n):
            v = coarse[y][x] * 0.7 + fine[y][x] * 0.3 - 0.5
            gr = grain[y][x] - 0.5
            if sk is DAYLIGHT:
                col = mix((214, 225, 238), (226, 234, 244), coarse[y][x])
                col = tuple(c + v * 10 + gr * 3 for c in col)
                if x % 64 == 0 or y % 64 == 0:
                    col = mix(col, (150, 176, 212), 0.45)
                elif x % 16 == 0 or y % 16 == 0:
                    col = mix(col, (170, 192, 222), 0.22)
            else:
                col = mix((21, 25, 38), (29, 33, 49), coarse[y][x])
                col = tuple(c + v * 8 + gr * 3 for c in col)
                dx, dy = (x + 16) % 32 - 16, (y + 16) % 32 - 16
                dd = hypot(dx, dy)
                if dd < 1.6:
                    col = mix(col, (90, 110, 160), 0.55 * (1.6 - dd) / 1.6 + 0.2)
                if grain[y][x] > 0.9993:
                    col = mix(col, (180, 196, 230), 0.5)
            row.append(tuple(clamp8(c) for c in col))
        rows.append(row)
    return rows


def average(rows):
    n = sum(len(r) for r in rows)
    return tuple(int(round(sum(px[i] for r in rows for px in r) / n)) for i in range(3))


# ---------------------------------------------------------------- buttons

BUTTONS = ["close", "stop", "clear", "print", "save", "run", "runin", "runover", "runto", "web", "help"]


def symbol(name, sk, ox, oy):
    """The symbol of a button in a 16 x 16 box at (ox, oy): a list of
    (shape, colour) pairs."""
    def S(f):
        return lambda x, y: f(x - ox, y - oy)
    ink = sk.symbol
    if name == "close":
        return [(S(union(seg(4.8, 4.8, 11.2, 11.2, 1.15), seg(11.2, 4.8, 4.8, 11.2, 1.15))),
                 (255, 255, 255) if hasattr(sk, "close_top") else sk.close)]
    if name == "stop":
        return [(S(rbox(8, 8, 4.2, 4.2, 1.0)), sk.stop)]
    if name == "run":
        return [(S(grow(poly([(5.6, 4.0), (12.0, 8.0), (5.6, 12.0)]), 0.6)), sk.run)]
    if name == "runto":
        return [(S(grow(poly([(3.6, 4.2), (9.2, 8.0), (3.6, 11.8)]), 0.5)), sk.run),
                (S(rbox(11.6, 8, 1.1, 4.3, 0.5)), ink)]
    if name == "runin":
        return [(S(union(seg(8, 2.6, 8, 8.0, 1.0), grow(poly([(4.6, 7.0), (11.4, 7.0), (8, 10.6)]), 0.3))), ink),
                (S(seg(3.6, 13.0, 12.4, 13.0, 0.95)), sk.run)]
    if name == "runover":
        return [(S(union(arc(8, 9.2, 4.3, pi, pi * 1.92, 1.9),
                         grow(poly([(10.2, 8.4), (14.6, 8.4), (12.3, 11.6)]), 0.3))), ink),
                (S(seg(3.6, 13.4, 9.0, 13.4, 0.95)), sk.run)]
    if name == "clear":
        body = rotated(rbox(8, 7.6, 5.6, 2.9, 1.0), 8, 7.6, math.radians(-38))
        tip = rotated(rbox(4.9, 7.6, 2.5, 2.9, 1.0), 8, 7.6, math.radians(-38))
        return [(S(body), ink), (S(grow(tip, -0.1)), sk.accent), (S(seg(3.0, 13.4, 13.0, 13.4, 0.7)), ink)]
    if name == "print":
        paper = sk.paper
        return [(S(rbox(8, 4.4, 3.6, 2.4, 0.4)), ink),
                (S(rbox(8, 4.6, 2.6, 1.6, 0.2)), paper),
                (S(rbox(8, 9.0, 6.2, 3.0, 1.2)), ink),
                (S(rbox(8, 12.0, 3.8, 2.4, 0.4)), paper),
                (S(union(seg(5.8, 11.8, 10.2, 11.8, 0.45), seg(5.8, 13.4, 9.0, 13.4, 0.45))), ink)]
    if name == "save":
        # a diskette: shutter above, label below
        return [(S(grow(poly([(2.6, 2.6), (11.4, 2.6), (13.4, 4.6), (13.4, 13.4), (2.6, 13.4)]), 0.5)), ink),
                (S(rbox(7.6, 4.6, 3.4, 2.2, 0.3)), sk.paper),
                (S(rbox(9.0, 4.6, 0.8, 1.4, 0.2)), ink),
                (S(rbox(8, 10.8, 4.2, 2.2, 0.4)), sk.paper)]
    if name == "web":
        meridian = ellipse(8, 8, 2.4, 5.6)
        return [(S(union(ring(8, 8, 5.6, 1.3), lambda x, y: abs(meridian(x, y)) - 0.55,
                         seg(2.6, 8, 13.4, 8, 0.55), seg(3.6, 5.2, 12.4, 5.2, 0.45), seg(3.6, 10.8, 12.4, 10.8, 0.45))),
                 ink)]
    if name == "help":
        return [(S(union(arc(8, 5.9, 2.9, pi * 1.05, pi * 0.5, 1.9), seg(8, 8.6, 8, 9.6, 0.95))), ink),
                (S(circle(8, 12.9, 1.15)), ink)]
    raise ValueError(name)


def button(name, sk):
    """One button picture. Its bottom-left pixel is the background colour,
    which the window treats as transparent; every drawn pixel differs from it."""
    if sk is PLAIN:
        w = h = 18
        ox, oy = 1, 1
        key = sk.face
        rowcol = [sk.face] * h
    else:
        w, h = 20, sk.T
        ox, oy = 2, (h - 16) // 2
        rowcol = [frame_pixel(sk, 40, y, 80, 80)[0] for y in range(h)]
        key = rowcol[h - 1]
    c = Canvas(w, h)
    if sk is not PLAIN:
        plate = rbox(ox + 8, oy + 8, 8, 8, 3.2)
        top, bottom, line = ((sk.close_top, sk.close_bottom, sk.close_line) if name == "close"
                             else (sk.plate_top, sk.plate_bottom, sk.plate_line))
        c.paint(plate, line)
        c.paint(grow(plate, -1.0), linear(top, bottom, 0, oy, 0, oy + 16))
    for shape, col in symbol(name, sk, ox, oy):
        c.paint(shape, col)
    return flatten(c, key, rowcol)


def marker(name, sk):
    """The editor's markers, 12 x 12 on the workspace colour."""
    key = sk.colours["Workspace"]
    c = Canvas(12, 12)
    if name == "debug":
        arrow = poly([(1.0, 4.0), (5.6, 4.0), (5.6, 1.2), (11.2, 6.0), (5.6, 10.8), (5.6, 8.0), (1.0, 8.0)])
        c.paint(grow(arrow, 0.7), (90, 70, 10))
        c.paint(arrow, linear((255, 236, 120), (240, 176, 30), 0, 1, 0, 11))
    else:
        c.paint(circle(6, 6, 5.6), (150, 24, 24))
        c.paint(circle(6, 6, 4.8), linear((250, 96, 84), (206, 40, 34), 0, 1, 0, 11))
        c.paint(union(seg(6, 3.2, 6, 6.6, 0.95), circle(6, 8.9, 0.95)), (255, 255, 255))
    return flatten(c, key)


def tree_box(name, sk):
    """The memory window's expand and collapse boxes, 9 x 9; the corner
    pixels are cut off so the bottom-left one is the transparent colour."""
    key = sk.colours["Workspace"]
    grid = sk.colours["Grid"]
    text = sk.colours["Text"]
    c = Canvas(9, 9)
    box = rbox(4.5, 4.5, 4.5, 4.5, 1.2)
    c.paint(box, grid)
    c.paint(rbox(4.5, 4.5, 3.5, 3.5, 0.4), mix(key, grid, 0.18))
    c.paint(seg(2.5, 4.5, 6.5, 4.5, 0.5), text)
    if name == "Plus":
        c.paint(seg(4.5, 2.5, 4.5, 6.5, 0.5), text)
    rows = flatten(c, key)
    for x, y in ((0, 0), (8, 0), (0, 8), (8, 8)):
        rows[y][x] = key
    return rows


def flatten(c, key, rowbg=None):
    """RGB rows: undrawn pixels are the transparent colour key, drawn ones
    are composited over key (or over rowbg[y], the colour the picture will
    stand on) and nudged when they come out exactly as key, so they stay
    visible."""
    key = tuple(key)
    rows = []
    for y in range(c.h):
        row = []
        for x in range(c.w):
            r, g, b, a = c.get(x, y)
            if a < 1.0:
                row.append(key)
                continue
            k = a / 255.0
            under = rowbg[y] if rowbg else key
            px = tuple(clamp8(v * k + bg * (1 - k)) for v, bg in zip((r, g, b), under))
            if px == key:
                px = (px[0], px[1], px[2] + 1 if px[2] < 255 else 254)
            row.append(px)
        rows.append(row)
    return rows


def colors_txt(sk, desktop_avg):
    lines = []
    for name in ("Desktop", "Grid", "Text", "Number", "Variable", "Word", "Comment",
                 "Menu", "Workspace", "Caption", "MenuCap"):
        if name == "Desktop":
            lines.append("Desktop=%d,%d,%d,desktop.jpg" % desktop_avg)
        else:
            lines.append("%s=%d,%d,%d" % ((name,) + sk.colours[name]))
    lines += ["Caption.Left=%d" % (sk.L + 5), "Caption.Top=%d" % ((sk.T - 16) // 2),
              "Selection.Top=2", "Selection.Bottom=2", "Selection.Left=4", "Selection.Right=4"]
    return ("\n".join(lines) + "\n").encode()


# ---------------------------------------------------------------- preview

def mock_window(sk, pieces, desk, buttons, W=400, H=300, cw=560, ch=380):
    """A picture of a window framed by the skin over its desktop, composed
    by the rules the IDE paints with (blend fill with the shade masks),
    for looking at the skin as a whole."""
    out = [[desk[y % len(desk)][x % len(desk[0])] for x in range(cw)] for y in range(ch)]
    wx, wy = 70, 40
    T, L, R, B = sk.T, sk.L, sk.R, sk.B

    def fill(x, y, w, h, name):
        img, msk = pieces[name], pieces[name + "_shade"]
        ih, iw = len(img), len(img[0])
        for j in range(h):
            for i in range(w):
                px, m = img[j % ih][i % iw], msk[j % ih][i % iw][0]
                bg = out[wy + y + j][wx + x + i]
                out[wy + y + j][wx + x + i] = tuple(m * (b - p) // 255 + p for p, b in zip(px, bg))
    fill(W - R, T, R, H - T - B, "r")
    fill(L, 0, W - L - R, T, "t")
    fill(W - R, 0, R, T, "tr")
    fill(L, H - B, W - L - R, B, "b")
    fill(0, H - B, L, B, "bl")
    fill(W - R, H - B, R, B, "br")
    fill(0, 0, L, T, "tl")
    fill(0, T, L, H - T - B, "l")
    x = W - R
    for b in buttons:
        x -= len(b[0])
        key = b[-1][0]
        for j, row in enumerate(b):
            for i, px in enumerate(row):
                if px != key:
                    out[wy + j][wx + x + i] = px
    # caption stand-in and a workspace with text in the syntax colours
    cap = sk.colours["Caption"]
    for j in range(6):
        for i in range(110):
            out[wy + sk.T // 2 - 3 + j][wx + sk.L + 5 + i] = cap
    ws = sk.colours["Workspace"]
    for j in range(T, H - B):
        for i in range(L, W - R):
            out[wy + j][wx + i] = ws
    names = ["Text", "Variable", "Text", "Number", "Word", "Comment"]
    rng = random.Random(3)
    for line in range(14):
        x = L + 10 + (16 if 0 < line % 5 < 4 else 0)
        for k in range(rng.randrange(2, 6)):
            w = rng.randrange(12, 50)
            col = sk.colours[names[(line + k) % len(names)]]
            for j in range(7):
                for i in range(w):
                    if x + i < W - R - 8:
                        out[wy + T + 10 + line * 16 + j][wx + x + i] = col
            x += w + 8
    return out


def upscale(rows, k):
    return [[px for px in row for _ in range(k)] for row in rows for _ in range(k)]


def preview(folder, skins):
    os.makedirs(folder, exist_ok=True)
    for sk, pieces, desk, buttons in skins:
        rows = mock_window(sk, pieces, desk, buttons)
        write_png(os.path.join(folder, "window-%s.png" % sk.name), [[px + (255,) for px in r] for r in rows])
    for s in (16, 32, 48):
        strip = Canvas(s * 15 + 14 * 4, s, (255, 255, 255, 255))
        strip.draw(mark(s), 0, 0)
        for f in range(14):
            strip.draw(mark(s, f), (f + 1) * (s + 4), 0)
        write_png(os.path.join(folder, "icons-%d.png" % s), upscale(strip.rgba_rows(), max(1, 96 // s)))


# ---------------------------------------------------------------- main

def main():
    args = sys.argv[1:]
    preview_dir = None
    if args[:1] == ["--preview"] and len(args) == 2:
        preview_dir = args[1]
    elif args:
        sys.exit(__doc__)

    logo = os.path.join(IMAGES, "logo")
    write_ico(os.path.join(logo, "Tavro51.ico"), [mark(s).rgba_rows() for s in (16, 32, 48)])
    for f in range(14):
        write_ico(os.path.join(logo, "TavroRun%d.ico" % f), [mark(s, f).rgba_rows() for s in (16, 32, 48)])
    write_bmp(os.path.join(logo, "logo.bmp"), about_picture().rgb_rows())

    for s in (16, 32, 48, 64, 128, 256):
        folder = os.path.join(ICONS, "hicolor", "%dx%d" % (s, s))
        write_png(os.path.join(folder, "apps", "tavro.png"), mark(s).rgba_rows())
        write_png(os.path.join(folder, "mimetypes", "text-x-tavro-program.png"), mime_icon(s).rgba_rows())

    looks = []
    for sk in (PLAIN, DAYLIGHT, MIDNIGHT):
        folder = os.path.join(IMAGES, "Skins", sk.name)
        buttons = []
        for name in BUTTONS:
            rows = button(name, sk)
            write_bmp(os.path.join(folder, name + ".bmp"), rows)
            buttons.append(rows)
        for name in ("debug", "error"):
            write_bmp(os.path.join(folder, name + ".bmp"), marker(name, sk))
        for name in ("Plus", "Minus"):
            write_bmp(os.path.join(folder, name + ".bmp"), tree_box(name, sk))
        if sk is PLAIN:
            continue
        desk = desktop_texture(sk)
        avg = average(desk)
        write_jpeg(os.path.join(folder, "desktop.jpg"), desk)
        pieces = frame_pieces(sk, avg)
        for name, rows in pieces.items():
            write_bmp(os.path.join(folder, name + ".bmp"), rows)
        save(os.path.join(folder, "colors.txt"), colors_txt(sk, avg))
        # buttons of a window in the order they line up from the right
        order = ["close", "runto", "runin", "runover", "stop", "run", "print", "save"]
        looks.append((sk, pieces, desk, [buttons[BUTTONS.index(n)] for n in order]))

    if preview_dir:
        preview(preview_dir, looks)


if __name__ == "__main__":
    main()
