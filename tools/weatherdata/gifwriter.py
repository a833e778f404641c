"""A small GIF89a writer: one frame, up to 256 colours, one transparent index.

Pure Python 3, no packages. `write_gif(path, width, height, pixels)` takes
rows of (r, g, b, a) tuples with components 0..255; pixels with a < 128 are
transparent, the others are blended over `matte` at their edge and reduced to
at most 255 colours by median cut.
"""
import struct


def _median_cut(colors, limit):
    """colors: {rgb: count}. Returns a palette of at most `limit` colours."""
    boxes = [list(colors.items())]
    while len(boxes) < limit:
        # Split the box with the widest channel range (that holds >1 colour).
        best, best_range, best_ch = None, -1, 0
        for i, box in enumerate(boxes):
            if len(box) < 2:
                continue
            for ch in range(3):
                vals = [c[0][ch] for c in box]
                r = max(vals) - min(vals)
                if r > best_range:
                    best, best_range, best_ch = i, r, ch
        if best is None:
            break
        box = sorted(boxes.pop(best), key=lambda c: c[0][best_ch])
        total = sum(n for _, n in box)
        acc, cut = 0, 1
        for j, (_, n) in enumerate(box):
            acc += n
            if acc >= total / 2:
                cut = min(max(j + 1, 1), len(box) - 1)
                break
        boxes += [box[:cut], box[cut:]]
    palette = []
    for box in boxes:
        total = sum(n for _, n in box)
        palette.append(tuple(round(sum(c[ch] * n for c, n in box) / total) for ch in range(3)))
    return palette


def _lzw(indices, min_size):
    clear, end = 1 << min_size, (1 << min_size) + 1
    size = min_size + 1
    table = {(i,): i for i in range(clear)}
    next_code = end + 1
    out, bits, nbits = bytearray(), 0, 0

    def emit(code):
        nonlocal bits, nbits
        bits |= code << nbits
        nbits += size
        while nbits >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            nbits -= 8

    emit(clear)
    prefix = ()
    for px in indices:
        grown = prefix + (px,)
        if grown in table:
            prefix = grown
            continue
        emit(table[prefix])
        if next_code < 4096:
            table[grown] = next_code
            next_code += 1
            # The decoder widens one code later than the encoder adds it.
            if next_code - 1 == (1 << size) and size < 12:
                size += 1
        else:
            emit(clear)
            table = {(i,): i for i in range(clear)}
            next_code = end + 1
            size = min_size + 1
        prefix = (px,)
    if prefix:
        first = next_code == end + 1  # the only code since the clear code
        emit(table[prefix])
        # The decoder adds an entry for this last code too, and widens
        # when that fills the current width.
        if not first and next_code == (1 << size) and size < 12:
            size += 1
    emit(end)
    if nbits:
        out.append(bits & 0xFF)
    return bytes(out)


def encode_gif(width, height, pixels, matte=(255, 255, 255)):
    flat = []
    counts = {}
    for row in pixels:
        for r, g, b, a in row:
            if a < 128:
                flat.append(None)
                continue
            if a < 255:
                k = a / 255
                r, g, b = (round(c * k + m * (1 - k)) for c, m in zip((r, g, b), matte))
            rgb = (r, g, b)
            flat.append(rgb)
            counts[rgb] = counts.get(rgb, 0) + 1
    palette = list(counts) if len(counts) <= 255 else _median_cut(counts, 255)
    lookup = {}

    def nearest(rgb):
        if rgb not in lookup:
            lookup[rgb] = min(range(len(palette)),
                              key=lambda i: sum((x - y) ** 2 for x, y in zip(palette[i], rgb)))
        return lookup[rgb]

    transparent = len(palette)
    indices = [transparent if c is None else nearest(c) for c in flat]
    table_bits = max(1, (len(palette)).bit_length())  # room for the transparent index
    table_size = 1 << table_bits
    colors = palette + [(0, 0, 0)] * (table_size - len(palette))

    data = bytearray(b"GIF89a")
    data += struct.pack("<HHBBB", width, height, 0x80 | (table_bits - 1), 0, 0)
    for c in colors:
        data += bytes(c)
    has_alpha = any(c is None for c in flat)
    data += struct.pack("<BBBBHBB", 0x21, 0xF9, 4, 1 if has_alpha else 0, 0,
                        transparent if has_alpha else 0, 0)
    data += struct.pack("<BHHHHB", 0x2C, 0, 0, width, height, 0)
    min_size = max(2, table_bits)
    data.append(min_size)
    stream = _lzw(indices, min_size)
    for i in range(0, len(stream), 255):
        chunk = stream[i:i + 255]
        data.append(len(chunk))
        data += chunk
    data += b"\x00\x3B"
    return bytes(data)


def write_gif(path, width, height, pixels, matte=(255, 255, 255)):
    with open(path, "wb") as f:
        f.write(encode_gif(width, height, pixels, matte))
