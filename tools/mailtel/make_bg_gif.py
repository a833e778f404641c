#!/usr/bin/env python3
"""Draws data/images/main_bg.gif, the pale background tile of the postal
page: a light blue ground with a faint diagonal weave. Plain Python, no
packages: a minimal GIF89a writer with its own LZW coder.

    python3 tools/mailtel/make_bg_gif.py data/images/main_bg.gif
"""
import struct
import sys

SIZE = 48
PALETTE = [(0xF4, 0xFA, 0xFF), (0xEA, 0xF4, 0xFF), (0xDD, 0xEC, 0xFB), (0xFF, 0xFF, 0xFF)]


def pixel(x, y):
    d = (x + y) % 24
    e = (x - y) % 24
    if d == 0 or e == 0:
        return 2
    if d in (1, 23) or e in (1, 23):
        return 1
    if (x // 12 + y // 12) % 2 == 0 and (x * 7 + y * 3) % 29 == 0:
        return 3
    return 0


def lzw(indices, min_size):
    """GIF LZW: variable code width from min_size+1 up to 12 bits."""
    clear, end = 1 << min_size, (1 << min_size) + 1
    out, bits, nbits = bytearray(), 0, 0
    width = min_size + 1

    def emit(code):
        nonlocal bits, nbits
        bits |= code << nbits
        nbits += width
        while nbits >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            nbits -= 8

    table = {(i,): i for i in range(clear)}
    next_code = end + 1
    emit(clear)
    run = ()
    for k in indices:
        grown = run + (k,)
        if grown in table:
            run = grown
            continue
        emit(table[run])
        if next_code < 4096:
            table[grown] = next_code
            next_code += 1
            if next_code > (1 << width) and width < 12:
                width += 1
        else:
            emit(clear)
            table = {(i,): i for i in range(clear)}
            next_code = end + 1
            width = min_size + 1
        run = (k,)
    if run:
        emit(table[run])
    emit(end)
    if nbits:
        out.append(bits & 0xFF)
    return bytes(out)


def gif(width, height, palette, pixels):
    min_size = 2
    data = lzw(pixels, min_size)
    blocks = b"".join(bytes([len(data[i:i + 255])]) + data[i:i + 255] for i in range(0, len(data), 255))
    colours = b"".join(bytes(c) for c in palette)
    head = b"GIF89a" + struct.pack("<HHBBB", width, height, 0x80 | 0x01, 0, 0)  # 4-colour global table
    image = b"," + struct.pack("<HHHHB", 0, 0, width, height, 0)
    return head + colours + image + bytes([min_size]) + blocks + b"\x00;"


def main(path):
    pixels = [pixel(x, y) for y in range(SIZE) for x in range(SIZE)]
    with open(path, "wb") as f:
        f.write(gif(SIZE, SIZE, PALETTE, pixels))


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    main(sys.argv[1])
