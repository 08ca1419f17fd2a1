#!/usr/bin/env python3
"""Writes the seed corpus of the png_loader fuzz target: tiny PNG pictures of
every colour type and bit depth, interlaced and not, with transparency and a
few ancillary chunks. Run from anywhere; it rewrites corpus/png_loader/."""
import os
import struct
import zlib

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "png_loader")

CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def sample(x, y, c, depth):
    return (x * 7 + y * 13 + c * 5) % (1 << depth)


def pack_row(values, depth):
    """Packs samples of the given bit depth into bytes (big-endian, MSB first)."""
    if depth == 16:
        return b"".join(struct.pack(">H", v) for v in values)
    if depth == 8:
        return bytes(values)
    out, acc, bits = bytearray(), 0, 0
    for v in values:
        acc = (acc << depth) | v
        bits += depth
        if bits == 8:
            out.append(acc)
            acc, bits = 0, 0
    if bits:
        out.append(acc << (8 - bits))
    return bytes(out)


def raw_rows(width, height, color_type, depth):
    channels = CHANNELS[color_type]
    rows = []
    for y in range(height):
        values = [sample(x, y, c, depth) for x in range(width) for c in range(channels)]
        rows.append(values)
    return rows


ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]


def image_data(width, height, color_type, depth, interlaced):
    channels = CHANNELS[color_type]
    rows = raw_rows(width, height, color_type, depth)
    out = bytearray()
    if not interlaced:
        for y, values in enumerate(rows):
            out += bytes([y % 5]) if depth == 8 and y % 5 in (0, 1) else b"\x00"
            packed = pack_row(values, depth)
            if out[-1] == 1:  # Sub filter, so that the seeds reach the unfiltering code
                bpp = max(1, channels * depth // 8)
                packed = bytes((packed[i] - (packed[i - bpp] if i >= bpp else 0)) & 0xFF for i in range(len(packed)))
            out += packed
        return bytes(out)
    for x0, y0, dx, dy in ADAM7:
        for y in range(y0, height, dy):
            values = []
            for x in range(x0, width, dx):
                values += rows[y][x * channels:(x + 1) * channels]
            if values:
                out += b"\x00" + pack_row(values, depth)
    return bytes(out)


def png(width, height, color_type, depth, interlaced=False, extra=b"", plte=None, trns=None):
    ihdr = struct.pack(">IIBBBBB", width, height, depth, color_type, 0, 0, 1 if interlaced else 0)
    data = chunk(b"IHDR", ihdr) + extra
    if plte is not None:
        data += chunk(b"PLTE", plte)
    if trns is not None:
        data += chunk(b"tRNS", trns)
    data += chunk(b"IDAT", zlib.compress(image_data(width, height, color_type, depth, interlaced), 9))
    data += chunk(b"IEND", b"")
    return b"\x89PNG\r\n\x1a\n" + data


def main():
    os.makedirs(OUT, exist_ok=True)
    for name in os.listdir(OUT):
        if name.endswith(".png"):
            os.remove(os.path.join(OUT, name))
    palette = bytes(v for i in range(16) for v in (i * 16, 255 - i * 16, (i * 40) % 256))
    seeds = {
        "rgba8.png": png(5, 3, 6, 8),
        "rgb8.png": png(4, 4, 2, 8),
        "rgb8_key.png": png(3, 3, 2, 8, trns=struct.pack(">HHH", 7, 5, 10)),
        "rgba16.png": png(3, 2, 6, 16),
        "rgb16.png": png(2, 3, 2, 16),
        "grey1.png": png(9, 2, 0, 1),
        "grey2.png": png(5, 2, 0, 2),
        "grey4.png": png(3, 3, 0, 4, trns=struct.pack(">H", 5)),
        "grey8.png": png(4, 2, 0, 8),
        "grey16.png": png(2, 2, 0, 16),
        "greyalpha8.png": png(3, 2, 4, 8),
        "greyalpha16.png": png(2, 2, 4, 16),
        "palette1.png": png(8, 2, 3, 1, plte=palette[:6]),
        "palette4.png": png(5, 3, 3, 4, plte=palette, trns=bytes([0, 128, 255])),
        "palette8.png": png(4, 4, 3, 8, plte=palette[:48] + bytes(48 * 15)[: 3 * 240], trns=bytes(range(0, 250, 25))),
        "interlaced_rgb8.png": png(9, 9, 2, 8, interlaced=True),
        "interlaced_grey2.png": png(10, 7, 0, 2, interlaced=True),
        "ancillary.png": png(3, 3, 6, 8, extra=chunk(b"gAMA", struct.pack(">I", 45455))
                             + chunk(b"tEXt", b"Title\x00Quorex") + chunk(b"pHYs", struct.pack(">IIB", 2835, 2835, 1))),
    }
    for name, data in seeds.items():
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
