#!/usr/bin/env python3
"""Checks that a screenshot's tab strip shows real Chinese glyphs, not boxes.

  tab_glyphs.py SHOT.xwd X Y W H [PNG]

X Y W H: the window's client area in the shot. The strip under the banner
must hold many ink blobs of character size, and none may be a hollow
rectangle (what a font without the character draws). PNG: where to write
the window's picture for a person to look at.
"""
import struct
import sys
import zlib


def read_xwd(path):
    data = open(path, "rb").read()
    h = struct.unpack(">25I", data[:100])
    header_size, fmt, depth, width, height = h[0], h[2], h[3], h[4], h[5]
    bpp, bytes_per_line, ncolors = h[11], h[12], h[19]
    if fmt != 2 or bpp not in (24, 32):
        sys.exit(f"unexpected xwd format {fmt}/{bpp}")
    order = h[7]  # byte order of the pixels: 0 least significant first
    start = header_size + 12 * ncolors
    step = bpp // 8
    rows = []
    for y in range(height):
        line = data[start + y * bytes_per_line: start + y * bytes_per_line + width * step]
        row = []
        for x in range(width):
            px = line[x * step: x * step + step]
            b, g, r = (px[0], px[1], px[2]) if order == 0 else (px[-1], px[-2], px[-3])
            row.append((r, g, b))
        rows.append(row)
    return rows


def write_png(path, rows):
    raw = b"".join(b"\0" + bytes(c for px in row for c in px) for row in rows)
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", len(rows[0]), len(rows), 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def blobs(ink):
    """Connected ink areas (8-neighbour) as bounding boxes with their pixels."""
    h, w = len(ink), len(ink[0])
    seen = [[False] * w for _ in range(h)]
    out = []
    for y in range(h):
        for x in range(w):
            if ink[y][x] and not seen[y][x]:
                stack, pts = [(y, x)], []
                seen[y][x] = True
                while stack:
                    cy, cx = stack.pop()
                    pts.append((cy, cx))
                    for dy in (-1, 0, 1):
                        for dx in (-1, 0, 1):
                            ny, nx = cy + dy, cx + dx
                            if 0 <= ny < h and 0 <= nx < w and ink[ny][nx] and not seen[ny][nx]:
                                seen[ny][nx] = True
                                stack.append((ny, nx))
                out.append(pts)
    return out


def is_box(pts):
    ys = [p[0] for p in pts]
    xs = [p[1] for p in pts]
    top, bottom, left, right = min(ys), max(ys), min(xs), max(xs)
    bw, bh = right - left + 1, bottom - top + 1
    if bw < 5 or bh < 7:
        return False
    s = set(pts)
    edge = sum(1 for y in range(top, bottom + 1) for x in (left, right) if (y, x) in s) / (2 * bh)
    edge2 = sum(1 for x in range(left, right + 1) for y in (top, bottom) if (y, x) in s) / (2 * bw)
    inside = sum(1 for (y, x) in pts if top + 1 < y < bottom - 1 and left + 1 < x < right - 1)
    return edge > 0.9 and edge2 > 0.9 and inside <= 0.05 * bw * bh


def glyph_report(rows):
    """(character-size blobs, hollow boxes among them) in a strip of text."""
    ink = [[sum(px) < 3 * 110 for px in row] for row in rows]
    found = [b for b in blobs(ink) if len(b) >= 6]
    # A missing character's box is as tall as the line; a closed part of a
    # real character (the top of 号) is about half that.
    tall = max((max(p[0] for p in b) - min(p[0] for p in b) + 1 for b in found), default=0)
    boxes = sum(1 for b in found if is_box(b) and max(p[0] for p in b) - min(p[0] for p in b) + 1 >= 0.75 * tall)
    return len(found), boxes


def self_check():
    # A hollow box and a cross on white: the detector must tell them apart.
    white = (255, 255, 255)
    rows = [[white] * 40 for _ in range(16)]
    for y in range(2, 14):
        for x in range(2, 11):
            if y in (2, 13) or x in (2, 10):
                rows[y][x] = (0, 0, 0)
        rows[y][25] = (0, 0, 0)
    for x in range(20, 31):
        rows[8][x] = (0, 0, 0)
    n, boxes = glyph_report(rows)
    assert (n, boxes) == (2, 1), (n, boxes)


def main():
    self_check()
    shot, x, y, w, h = sys.argv[1], *map(int, sys.argv[2:6])
    rows = read_xwd(shot)
    window = [row[x:x + w] for row in rows[y:y + h]]
    if len(sys.argv) > 6:
        write_png(sys.argv[6], window)
    # The tab strip: the banner takes the top 60/390 of the client area;
    # the tab names sit in the next band.
    top = h * 60 // 390
    strip = [row[:] for row in window[top: top + max(24, h * 34 // 390)]]
    n, boxes = glyph_report(strip)
    print(f"tab strip: {n} glyph-sized ink areas, {boxes} hollow boxes")
    if n < 20:
        sys.exit("FAIL: the tab strip holds almost no text")
    if boxes:
        sys.exit("FAIL: box glyphs in the tab strip: Chinese is not rendered")


if __name__ == "__main__":
    main()
