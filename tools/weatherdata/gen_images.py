#!/usr/bin/env python3
"""Draws the weather icons and template pictures as GIF files.

Usage: gen_images.py [--sheet FILE.ppm]
  writes data/images/00.gif .. 31.gif, fl0.gif .. fl12.gif, zhong.gif and the
  pictures of the template sets under data/Template/<set>/; --sheet also
  writes a contact sheet of every icon (for looking at them).
"""
import math
import os
import sys

from gifwriter import write_gif

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
IMAGES = os.path.join(ROOT, "data", "images")
TEMPLATES = os.path.join(ROOT, "data", "Template")

# National weather phenomenon codes, as the forecast pages number them.
CODES = [
    "晴", "多云", "阴", "阵雨", "雷阵雨", "雷阵雨伴有冰雹", "雨夹雪", "小雨",
    "中雨", "大雨", "暴雨", "大暴雨", "特大暴雨", "阵雪", "小雪", "中雪",
    "大雪", "暴雪", "雾", "冻雨", "沙尘暴", "小到中雨", "中到大雨", "大到暴雨",
    "暴雨到大暴雨", "大暴雨到特大暴雨", "小到中雪", "中到大雪", "大到暴雪", "浮尘", "扬沙", "强沙尘暴",
]

ICON_W, ICON_H = 40, 38


# ---------------------------------------------------------------- canvas
class Canvas:
    """Layers painted over subsamples; a layer is an inside test and a colour."""

    def __init__(self, w, h, ss=4):
        self.w, self.h, self.ss = w, h, ss
        self.sub = [[None] * (w * ss) for _ in range(h * ss)]

    def fill(self, shape, color):
        inside, (x0, y0, x1, y1) = shape
        ss = self.ss
        sy0, sy1 = max(0, int(y0 * ss) - 1), min(self.h * ss, int(math.ceil(y1 * ss)) + 1)
        sx0, sx1 = max(0, int(x0 * ss) - 1), min(self.w * ss, int(math.ceil(x1 * ss)) + 1)
        for sy in range(sy0, sy1):
            y = (sy + 0.5) / ss
            row = self.sub[sy]
            for sx in range(sx0, sx1):
                x = (sx + 0.5) / ss
                if inside(x, y):
                    row[sx] = color(x, y) if callable(color) else color

    def pixels(self):
        ss, n = self.ss, self.ss * self.ss
        out = []
        for py in range(self.h):
            row = []
            for px in range(self.w):
                r = g = b = k = 0
                for sy in range(py * ss, py * ss + ss):
                    for c in self.sub[sy][px * ss:px * ss + ss]:
                        if c is not None:
                            r, g, b, k = r + c[0], g + c[1], b + c[2], k + 1
                if k == 0:
                    row.append((0, 0, 0, 0))
                else:
                    row.append((round(r / k), round(g / k), round(b / k), round(255 * k / n)))
            out.append(row)
        return out


# ---------------------------------------------------------------- shapes
def circle(cx, cy, r):
    return (lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r), (cx - r, cy - r, cx + r, cy + r)


def rect(x0, y0, x1, y1, radius=0.0):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        if radius <= 0:
            return True
        cx = min(max(x, x0 + radius), x1 - radius)
        cy = min(max(y, y0 + radius), y1 - radius)
        return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius
    return inside, (x0, y0, x1, y1)


def _seg_dist2(x, y, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy or 1)
    t = min(1.0, max(0.0, t))
    return (x - ax - t * dx) ** 2 + (y - ay - t * dy) ** 2


def segment(ax, ay, bx, by, width):
    h = width / 2
    return ((lambda x, y: _seg_dist2(x, y, ax, ay, bx, by) <= h * h),
            (min(ax, bx) - h, min(ay, by) - h, max(ax, bx) + h, max(ay, by) + h))


def polygon(points, grow=0.0):
    xs, ys = [p[0] for p in points], [p[1] for p in points]

    def inside(x, y):
        hit = False
        for i in range(len(points)):
            (ax, ay), (bx, by) = points[i], points[i - 1]
            if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
                hit = not hit
        if hit or grow <= 0:
            return hit
        return any(_seg_dist2(x, y, *points[i], *points[i - 1]) <= grow * grow for i in range(len(points)))
    return inside, (min(xs) - grow, min(ys) - grow, max(xs) + grow, max(ys) + grow)


def arc(cx, cy, r, width, a0, a1):
    """A ring piece from angle a0 to a1 (degrees, clockwise on screen)."""
    h = width / 2

    def inside(x, y):
        d = math.hypot(x - cx, y - cy)
        if abs(d - r) > h:
            return False
        a = math.degrees(math.atan2(y - cy, x - cx)) % 360
        return (a - a0) % 360 <= (a1 - a0) % 360
    return inside, (cx - r - h, cy - r - h, cx + r + h, cy + r + h)


def union(*shapes):
    tests = [s[0] for s in shapes]
    boxes = [s[1] for s in shapes]
    return ((lambda x, y: any(t(x, y) for t in tests)),
            (min(b[0] for b in boxes), min(b[1] for b in boxes),
             max(b[2] for b in boxes), max(b[3] for b in boxes)))


def vgrad(top, bottom, y0, y1):
    def color(x, y):
        t = min(1.0, max(0.0, (y - y0) / ((y1 - y0) or 1)))
        return tuple(round(a + (b - a) * t) for a, b in zip(top, bottom))
    return color


# ---------------------------------------------------------------- elements
def sun(c, cx, cy, r, rays=True):
    if rays:
        for k in range(8):
            a = math.radians(k * 45 + 22.5)
            c.fill(segment(cx + math.cos(a) * (r + 2.2), cy + math.sin(a) * (r + 2.2),
                           cx + math.cos(a) * (r + 5.5), cy + math.sin(a) * (r + 5.5), 2.2), (245, 170, 30))
    c.fill(circle(cx, cy, r + 1), (225, 120, 20))

    def body(x, y):
        t = min(1.0, math.hypot(x - cx + r * 0.3, y - cy + r * 0.3) / (r * 1.3))
        return (255, round(238 - 70 * t), round(120 - 100 * t))
    c.fill(circle(cx, cy, r), body)


def cloud_shape(x, y, s, grow=0.0):
    return union(circle(x + 9 * s, y + 10 * s, 6 * s + grow),
                 circle(x + 17 * s, y + 7.5 * s, 7.5 * s + grow),
                 circle(x + 25 * s, y + 11 * s, 5 * s + grow),
                 rect(x + 3 * s - grow, y + 9 * s - grow, x + 30 * s + grow, y + 16 * s + grow, 3.5 * s + grow))


LIGHT = ((255, 255, 255), (214, 224, 236), (104, 124, 148))
GREY = ((200, 206, 214), (160, 168, 180), (92, 100, 114))
DARK = ((150, 158, 170), (98, 106, 120), (58, 64, 76))


def cloud(c, x, y, s=1.0, tone=LIGHT):
    top, bottom, edge = tone
    c.fill(cloud_shape(x, y, s, 1.1), edge)
    c.fill(cloud_shape(x, y, s), vgrad(top, bottom, y, y + 16 * s))


def drops(c, n, heavy=False, mixed=False, y0=25.5):
    spots = _spots(n)
    for i, (x, y) in enumerate(spots):
        short = mixed and i % 2 == 1
        length = (3.2 if short else 5.2) + (1.0 if heavy else 0)
        width = 2.4 if heavy else 2.0
        c.fill(segment(x, y + y0, x - length * 0.38, y + y0 + length, width), (36, 104, 214))


def flakes(c, n, mixed=False, y0=25.5, color=(52, 128, 220)):
    for i, (x, y) in enumerate(_spots(n)):
        r = 2.2 if (mixed and i % 2 == 1) else 3.1
        cx, cy = x - 1, y + y0 + 3
        for a in (90, 30, 150):
            dx, dy = math.cos(math.radians(a)) * r, math.sin(math.radians(a)) * r
            c.fill(segment(cx - dx, cy - dy, cx + dx, cy + dy, 1.3), color)


def _spots(n):
    """Places for n drops or flakes in the band under a cloud, two staggered rows."""
    rows = [[], []]
    for i in range(n):
        rows[i % 2].append(i)
    spots = []
    for r, members in enumerate(rows):
        if not members:
            continue
        span = 26.0
        step = span / len(members)
        for j, _ in enumerate(members):
            spots.append((8 + step * (j + 0.5) + (step / 2 if r else 0) - (2 if r else 0), 4.5 * r))
    return sorted(spots, key=lambda p: (p[1], p[0]))


def bolt(c, x, y):
    pts = [(x + 4, y), (x - 2, y + 7.5), (x + 1.5, y + 7.5), (x - 1.5, y + 14),
           (x + 7, y + 5), (x + 3.2, y + 5), (x + 6.5, y)]
    c.fill(polygon(pts, 1.0), (196, 110, 0))
    c.fill(polygon(pts), (255, 214, 20))


def hail(c, spots):
    for x, y in spots:
        c.fill(circle(x, y, 2.4), (70, 120, 190))
        c.fill(circle(x, y, 1.5), (236, 246, 255))


def dust_dots(c, color, seed, count, box):
    x0, y0, x1, y1 = box
    v = seed
    for _ in range(count):
        v = (v * 1103515245 + 12345) & 0x7FFFFFFF
        x = x0 + (v % 1000) / 1000 * (x1 - x0)
        v = (v * 1103515245 + 12345) & 0x7FFFFFFF
        y = y0 + (v % 1000) / 1000 * (y1 - y0)
        c.fill(circle(x, y, 1.2), color)


def dust_s(c, cx, cy, color, width):
    # The storm mark: an S lying on a horizontal arrow.
    c.fill(arc(cx, cy - 4.5, 4.5, width, 160, 90), color)
    c.fill(arc(cx, cy + 4.5, 4.5, width, 340, 270), color)
    c.fill(segment(cx - 12, cy, cx + 12, cy, width * 0.8), color)
    c.fill(polygon([(cx + 15, cy), (cx + 10, cy - 3.5), (cx + 10, cy + 3.5)]), color)


# ---------------------------------------------------------------- icons
RAIN = {7: (2, False, False, LIGHT), 8: (3, False, False, LIGHT), 9: (4, False, False, GREY),
        10: (5, True, False, DARK), 11: (6, True, False, DARK), 12: (7, True, False, DARK),
        21: (3, False, True, LIGHT), 22: (4, False, True, GREY), 23: (5, True, True, DARK),
        24: (6, True, True, DARK), 25: (7, True, True, DARK)}
SNOW = {14: (2, False, LIGHT), 15: (3, False, LIGHT), 16: (4, False, GREY), 17: (5, False, DARK),
        26: (3, True, LIGHT), 27: (4, True, GREY), 28: (5, True, DARK)}


def draw_icon(code):
    c = Canvas(ICON_W, ICON_H)
    if code == 0:
        sun(c, 20, 19, 8.5)
    elif code == 1:
        sun(c, 14, 13, 6.5)
        cloud(c, 7, 15, 1.0)
    elif code == 2:
        cloud(c, 9, 5, 0.9, GREY)
        cloud(c, 3, 14, 1.05, GREY)
    elif code in (3, 13):
        sun(c, 12, 10, 5.5)
        cloud(c, 7, 6, 1.0)
        (drops if code == 3 else flakes)(c, 3)
    elif code in (4, 5):
        cloud(c, 5, 4, 1.0, GREY)
        bolt(c, 19, 20)
        if code == 4:
            drops(c, 2, y0=25.5)
        else:
            hail(c, [(9, 29), (30, 27), (28, 34)])
            drops(c, 1, y0=28)
    elif code == 6:
        cloud(c, 5, 4, 1.0)
        for i, (x, y) in enumerate(_spots(4)):
            if i % 2 == 0:
                c.fill(segment(x, y + 25.5, x - 2, y + 30.5, 2.0), (36, 104, 214))
            else:
                cx, cy = x - 1, y + 28.5
                for a in (90, 30, 150):
                    dx, dy = math.cos(math.radians(a)) * 2.8, math.sin(math.radians(a)) * 2.8
                    c.fill(segment(cx - dx, cy - dy, cx + dx, cy + dy, 1.3), (52, 128, 220))
    elif code in RAIN:
        n, heavy, mixed, tone = RAIN[code]
        cloud(c, 5, 4, 1.0, tone)
        drops(c, n, heavy, mixed)
    elif code in SNOW:
        n, mixed, tone = SNOW[code]
        cloud(c, 5, 4, 1.0, tone)
        flakes(c, n, mixed)
    elif code == 18:
        for i, (x0, x1) in enumerate([(8, 30), (4, 26), (11, 35), (6, 28), (10, 31)]):
            c.fill(segment(x0, 9 + i * 5, x1, 9 + i * 5, 2.4), (150, 158, 170))
    elif code == 19:
        cloud(c, 5, 3, 1.0)
        drops(c, 3, y0=22)
        c.fill(rect(4, 31.5, 36, 35.5, 1.5), (60, 140, 190))
        c.fill(rect(5, 32.3, 35, 34.7, 1.0), (170, 226, 246))
    elif code == 20:
        dust_dots(c, (196, 150, 80), 20, 10, (4, 4, 36, 34))
        dust_s(c, 17, 19, (150, 96, 36), 2.4)
    elif code == 29:
        for i in range(4):
            c.fill(rect(3, 7 + i * 7, 37, 10 + i * 7, 1.5), (236, 214, 170))
        dust_dots(c, (166, 116, 52), 29, 22, (5, 5, 35, 33))
    elif code == 30:
        for i, (x0, x1) in enumerate([(6, 30), (10, 35), (4, 26)]):
            y = 10 + i * 9
            c.fill(segment(x0, y, x1, y, 2.2), (176, 128, 64))
            c.fill(arc(x1, y - 3, 3, 2.0, 270, 90), (176, 128, 64))
        dust_dots(c, (150, 100, 40), 30, 10, (5, 13, 35, 33))
    elif code == 31:
        dust_dots(c, (160, 110, 50), 31, 14, (3, 3, 37, 35))
        dust_s(c, 13, 19, (112, 64, 20), 2.8)
        dust_s(c, 24, 19, (112, 64, 20), 2.8)
    return c


# ---------------------------------------------------------------- wind force
DIGITS = {
    "0": ["111", "101", "101", "101", "111"], "1": ["010", "110", "010", "010", "111"],
    "2": ["111", "001", "111", "100", "111"], "3": ["111", "001", "111", "001", "111"],
    "4": ["101", "101", "111", "001", "001"], "5": ["111", "100", "111", "001", "111"],
    "6": ["111", "100", "111", "101", "111"], "7": ["111", "001", "010", "010", "010"],
    "8": ["111", "101", "111", "101", "111"], "9": ["111", "101", "111", "001", "111"],
}


def text_pixels(c, text, x, y, color, scale=1):
    """The 3x5 digits, each font pixel a scale x scale square."""
    for i, ch in enumerate(text):
        for dy, bits in enumerate(DIGITS[ch]):
            for dx, bit in enumerate(bits):
                if bit == "1":
                    left, top = x + (i * 4 + dx) * scale, y + dy * scale
                    c.fill(rect(left, top, left + scale, top + scale), color)


def force_color(f):
    stops = [(0, (90, 180, 80)), (4, (170, 200, 40)), (6, (240, 190, 30)), (8, (240, 120, 30)),
             (10, (220, 50, 30)), (12, (170, 20, 40))]
    for (fa, ca), (fb, cb) in zip(stops, stops[1:]):
        if fa <= f <= fb:
            t = (f - fa) / (fb - fa)
            return tuple(round(a + (b - a) * t) for a, b in zip(ca, cb))
    return stops[-1][1]


# The force's digits as tall as the pages' 12 px body text; the column
# above them.
FORCE_DIGIT_SCALE = 12 / 5


def draw_force(force):
    c = Canvas(28, 35)
    top, bottom = 1, 20
    c.fill(rect(8, top, 20, bottom + 1), (120, 134, 156))
    c.fill(rect(9, top + 1, 19, bottom), (238, 242, 248))
    level = bottom - (bottom - top - 1) * force / 12
    if force:
        col = force_color(force)
        c.fill(rect(9, level, 19, bottom), vgrad(tuple(min(255, v + 50) for v in col), col, level, bottom))
    for k in range(1, 12):  # scale marks
        y = bottom - (bottom - top - 1) * k / 12
        c.fill(rect(19, y - 0.25, 21 if k % 3 else 22, y + 0.25), (120, 134, 156))
    text = str(force)
    k = FORCE_DIGIT_SCALE
    text_pixels(c, text, 14 - (len(text) * 4 - 1) * k / 2, 35 - 5 * k, (40, 56, 90), k)
    return c


def draw_zhong():
    c = Canvas(40, 23)
    c.fill(rect(0.5, 0.5, 39.5, 22.5, 4), (96, 136, 196))
    c.fill(rect(1.5, 1.5, 38.5, 21.5, 3), vgrad((250, 252, 255), (214, 228, 246), 1.5, 21.5))
    blue = (30, 80, 160)
    # 中: the frame of 口 with a stroke through it.
    c.fill(rect(5, 7, 19, 16), blue)
    c.fill(rect(7, 9, 17, 14), (236, 242, 250))
    c.fill(rect(11, 3, 13, 20.5), blue)
    for i, (x0, x1) in enumerate([(23, 35), (25, 36), (23, 33)]):
        c.fill(segment(x0, 7 + i * 4.5, x1, 7 + i * 4.5, 1.6), (96, 136, 196))
    return c


# ---------------------------------------------------------------- template pictures
def gradient(w, h, top, bottom):
    c = Canvas(w, h, 1)
    c.fill(rect(0, 0, w, h), vgrad(top, bottom, 0, h))
    return c


def paper(w, h, base, seed):
    c = Canvas(w, h, 1)
    v = seed
    for y in range(h):
        for x in range(w):
            v = (v * 1103515245 + 12345) & 0x7FFFFFFF
            d = (v >> 16) % 7 - 3
            c.sub[y][x] = tuple(min(255, max(0, ch + d)) for ch in base)
    return c


def sun_mark(size):
    c = Canvas(size, size)
    s = size / 40
    for k in range(8):
        a = math.radians(k * 45)
        c.fill(segment(20 * s + math.cos(a) * 12 * s, 20 * s + math.sin(a) * 12 * s,
                       20 * s + math.cos(a) * 18 * s, 20 * s + math.sin(a) * 18 * s, 3 * s), (255, 206, 60))
    c.fill(circle(20 * s, 20 * s, 9.5 * s), (255, 222, 90))
    return c


TEMPLATE_PICTURES = {
    "default": {
        "head.gif": lambda: gradient(8, 22, (78, 130, 206), (34, 82, 160)),
        "day.gif": lambda: gradient(8, 18, (236, 243, 252), (196, 216, 242)),
        "sun.gif": lambda: sun_mark(16),
    },
    "classic": {
        "title.gif": lambda: gradient(8, 24, (120, 160, 80), (62, 106, 44)),
        "band.gif": lambda: gradient(8, 18, (250, 244, 218), (228, 214, 166)),
        "paper.gif": lambda: paper(24, 24, (251, 248, 236), 7),
    },
}


# ---------------------------------------------------------------- output
def save(canvas, path, matte=(255, 255, 255)):
    px = canvas.pixels()
    write_gif(path, canvas.w, canvas.h, px, matte)
    return px


def write_sheet(path, tiles, scale=2, cols=8):
    """A PPM contact sheet: tiles over a light and a dark strip."""
    cell_w = max(w for w, h, _ in tiles) * scale + 8
    cell_h = max(h for w, h, _ in tiles) * scale + 8
    rows = (len(tiles) + cols - 1) // cols
    W, H = cols * cell_w, rows * cell_h * 2
    img = [[(255, 255, 255)] * W for _ in range(H)]
    for y in range(rows * cell_h, H):
        img[y] = [(40, 70, 120)] * W
    for i, (w, h, px) in enumerate(tiles):
        for band in (0, 1):
            ox = (i % cols) * cell_w + 4
            oy = (i // cols) * cell_h + 4 + band * rows * cell_h
            bg = img[oy][ox]
            for y in range(h * scale):
                for x in range(w * scale):
                    r, g, b, a = px[y // scale][x // scale]
                    if a >= 128:
                        img[oy + y][ox + x] = (r, g, b)
    with open(path, "wb") as f:
        f.write(b"P6 %d %d 255\n" % (W, H))
        for row in img:
            f.write(bytes(v for p in row for v in p))


def main():
    sheet = sys.argv[sys.argv.index("--sheet") + 1] if "--sheet" in sys.argv else None
    os.makedirs(IMAGES, exist_ok=True)
    tiles = []
    for code in range(len(CODES)):
        tiles.append((ICON_W, ICON_H, save(draw_icon(code), os.path.join(IMAGES, "%02d.gif" % code))))
    for force in range(13):
        tiles.append((28, 35, save(draw_force(force), os.path.join(IMAGES, "fl%d.gif" % force))))
    tiles.append((40, 23, save(draw_zhong(), os.path.join(IMAGES, "zhong.gif"))))
    for name, pictures in TEMPLATE_PICTURES.items():
        folder = os.path.join(TEMPLATES, name)
        os.makedirs(folder, exist_ok=True)
        for file, make in pictures.items():
            c = make()
            tiles.append((c.w, c.h, save(c, os.path.join(folder, file))))
    if sheet:
        write_sheet(sheet, tiles)
    print(f"{len(CODES)} weather icons, 13 wind-force columns, zhong.gif, "
          f"{sum(len(p) for p in TEMPLATE_PICTURES.values())} template pictures")


if __name__ == "__main__":
    main()
