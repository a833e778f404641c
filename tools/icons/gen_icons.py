#!/usr/bin/env python3
"""Draws the program's icon (a sun behind a cloud on a sky tile) as PNG
files at the hicolor theme's sizes, with its own PNG writer.

    python3 tools/icons/gen_icons.py [OUT]   (default packaging/icons)

Writes OUT/hicolor/NxN/apps/org.example.zelmora.png. Output is byte-for-byte
reproducible; commit it after a change here.
"""
import math
import os
import struct
import sys
import zlib

APP_ID = "org.example.zelmora"
SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
SAMPLES = 4  # per axis, for smooth edges

SKY_TOP = (42, 120, 214)
SKY_BOTTOM = (96, 172, 240)
SUN = (255, 200, 40)
CLOUD = (255, 255, 255)
CLOUD_SHADE = (214, 228, 244)


def rounded_rect(x, y, x0, y0, x1, y1, r):
    """Signed distance to a rounded rectangle (negative inside)."""
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r
    dx, dy = abs(x - cx) - hx, abs(y - cy) - hy
    outside = math.hypot(max(dx, 0.0), max(dy, 0.0))
    return outside + min(max(dx, dy), 0.0) - r


def capsule(x, y, ax, ay, bx, by, r):
    px, py, vx, vy = x - ax, y - ay, bx - ax, by - ay
    t = max(0.0, min(1.0, (px * vx + py * vy) / (vx * vx + vy * vy)))
    return math.hypot(px - vx * t, py - vy * t) - r


CLOUD_PARTS = ((0.50, 0.64, 0.13), (0.66, 0.54, 0.17), (0.81, 0.64, 0.12))
SUN_C, SUN_R = (0.37, 0.37), 0.16
RAYS = [(SUN_C[0] + math.cos(a) * 0.22, SUN_C[1] + math.sin(a) * 0.22,
         SUN_C[0] + math.cos(a) * 0.29, SUN_C[1] + math.sin(a) * 0.29)
        for a in (k * math.pi / 4 + math.pi / 8 for k in range(8))]


def colour_at(x, y, small):
    """Colour (r, g, b, a) of one sample, x and y in 0..1."""
    if rounded_rect(x, y, 0.04, 0.04, 0.96, 0.96, 0.19) > 0:
        return (0, 0, 0, 0)
    t = (y - 0.04) / 0.92
    c = tuple(round(a + (b - a) * t) for a, b in zip(SKY_TOP, SKY_BOTTOM))
    if math.hypot(x - SUN_C[0], y - SUN_C[1]) < SUN_R:
        c = SUN
    elif not small and any(capsule(x, y, *ray, 0.028) < 0 for ray in RAYS):
        c = SUN
    in_cloud = (any(math.hypot(x - cx, y - cy) < r for cx, cy, r in CLOUD_PARTS)
                or rounded_rect(x, y, 0.37, 0.60, 0.93, 0.77, 0.085) < 0)
    if in_cloud:
        c = CLOUD_SHADE if y > 0.71 else CLOUD
    return c + (255,)


def draw(size):
    small = size < 24  # rays would only blur at the smallest sizes
    rows = []
    n = SAMPLES
    for py in range(size):
        row = bytearray([0])  # filter: none
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(n):
                for sx in range(n):
                    r, g, b, a = colour_at((px + (sx + 0.5) / n) / size, (py + (sy + 0.5) / n) / size, small)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            alpha = acc[3]
            if alpha == 0:
                row += b"\0\0\0\0"
            else:
                row += bytes((round(acc[0] / alpha), round(acc[1] / alpha), round(acc[2] / alpha),
                              round(alpha / (n * n))))
        rows.append(bytes(row))
    return rows


def png(size, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "..", "packaging", "icons")
    for size in SIZES:
        folder = os.path.join(out, "hicolor", f"{size}x{size}", "apps")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, APP_ID + ".png"), "wb") as f:
            f.write(png(size, draw(size)))
    print(f"wrote {len(SIZES)} icons under {os.path.normpath(out)}/hicolor")


if __name__ == "__main__":
    main()
