# SPDX-License-Identifier: MIT
"""The pixels of a PNG as rows of (r, g, b) tuples, for tests that compare a
browser's screenshot with a render. Reads what the renderer and Chromium
write: 8-bit RGB or RGBA, and palette pictures of 1 to 8 bits, not interlaced."""

import struct
import zlib


def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def read_png(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(f"{path}: not a PNG")
    at, idat, palette = 8, b"", None
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
        elif kind == b"PLTE":
            palette = [tuple(body[i:i + 3]) for i in range(0, len(body), 3)]
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    if interlace != 0 or (colour in (2, 6) and depth != 8) or colour not in (2, 3, 6):
        raise ValueError(f"{path}: colour type {colour}, depth {depth}, interlace {interlace} not read here")
    channels = {2: 3, 6: 4, 3: 1}[colour]
    bits = depth * channels
    stride = (width * bits + 7) // 8
    step = max(1, bits // 8)  # bytes between a byte and the one its filter looks back to
    raw = zlib.decompress(idat)
    rows, previous = [], bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            a = line[i - step] if i >= step else 0
            b = previous[i]
            c = previous[i - step] if i >= step else 0
            line[i] = (line[i] + (0, a, b, (a + b) // 2, _paeth(a, b, c))[kind]) & 0xFF
        previous = line
        if colour == 3:
            per_byte = 8 // depth
            mask = (1 << depth) - 1
            row = []
            for x in range(width):
                shift = 8 - depth * (x % per_byte + 1)
                row.append(palette[(line[x // per_byte] >> shift) & mask])
        else:
            row = [tuple(line[x * channels:x * channels + 3]) for x in range(width)]
        rows.append(row)
    return rows
