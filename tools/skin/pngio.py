"""Minimal PNG reading and writing for the skin tools (standard library only).

Writes 8-bit RGB or RGBA, non-interlaced. Reads the same plus grey and
grey-alpha, which is what ImageMagick and our own writer produce.
"""
import struct
import zlib

_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def _chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def write_png(path, width, height, rows, alpha):
    """rows: list of bytes objects, each width * (4 if alpha else 3) long."""
    color_type = 6 if alpha else 2
    # Filter each row with the filter that compresses best among the cheap ones.
    raw = bytearray()
    bpp = 4 if alpha else 3
    previous = bytes(width * bpp)
    for row in rows:
        candidates = [b"\x00" + row]
        sub = bytearray(len(row))
        up = bytearray(len(row))
        for i, v in enumerate(row):
            sub[i] = (v - (row[i - bpp] if i >= bpp else 0)) & 0xFF
            up[i] = (v - previous[i]) & 0xFF
        candidates.append(b"\x01" + bytes(sub))
        candidates.append(b"\x02" + bytes(up))
        raw += min(candidates, key=lambda c: sum(b if b < 128 else 256 - b for b in c[1:]))
        previous = row
    data = _SIGNATURE
    data += _chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, color_type, 0, 0, 0))
    data += _chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    data += _chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(data)


def read_png(path):
    """Returns (width, height, rows of RGBA bytes)."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != _SIGNATURE:
        raise ValueError(path + ": not a PNG")
    pos = 8
    idat = b""
    width = height = depth = color_type = interlace = None
    while pos < len(data):
        (length,) = struct.unpack(">I", data[pos:pos + 4])
        kind = data[pos + 4:pos + 8]
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            width, height, depth, color_type, _, _, interlace = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    if depth != 8 or interlace != 0 or color_type not in (0, 2, 4, 6):
        raise ValueError(path + ": unsupported PNG layout")
    channels = {0: 1, 2: 3, 4: 2, 6: 4}[color_type]
    stride = width * channels
    raw = zlib.decompress(idat)
    rows = []
    previous = bytearray(stride)
    pos = 0
    for _ in range(height):
        kind = raw[pos]
        line = bytearray(raw[pos + 1:pos + 1 + stride])
        pos += 1 + stride
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b = previous[i]
            c = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + a) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + b) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 0xFF
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                line[i] = (line[i] + pred) & 0xFF
        previous = line
        rgba = bytearray()
        for x in range(width):
            px = line[x * channels:(x + 1) * channels]
            if channels == 1:
                rgba += bytes((px[0], px[0], px[0], 255))
            elif channels == 2:
                rgba += bytes((px[0], px[0], px[0], px[1]))
            elif channels == 3:
                rgba += bytes(px) + b"\xff"
            else:
                rgba += bytes(px)
        rows.append(bytes(rgba))
    return width, height, rows
