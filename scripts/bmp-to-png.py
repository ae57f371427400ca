#!/usr/bin/env python3
"""Converts the tests' 24-bit BMP screenshots to PNG, with the standard library alone.

    scripts/bmp-to-png.py in.bmp out.png [in2.bmp out2.png ...]

A picture of 256 colours or fewer (most window screenshots) is written with a palette,
which keeps it to a few tens of KB.
"""
import struct
import sys
import zlib


def read_bmp(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"BM":
        raise ValueError(f"{path}: not a BMP")
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height, _planes, bits = struct.unpack_from("<iiHH", data, 18)
    if bits != 24:
        raise ValueError(f"{path}: {bits} bits per pixel, only 24 are read")
    stride = (width * 3 + 3) & ~3
    bottom_up = height > 0
    height = abs(height)
    rows = []
    for y in range(height):
        src = height - 1 - y if bottom_up else y
        start = offset + src * stride
        line = data[start:start + width * 3]
        # BGR to RGB.
        rgb = bytearray(len(line))
        rgb[0::3], rgb[1::3], rgb[2::3] = line[2::3], line[1::3], line[0::3]
        rows.append(bytes(rgb))
    return width, height, rows


def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)


def write_png(path, width, height, rows):
    colours = {}
    for row in rows:
        for i in range(0, len(row), 3):
            colours.setdefault(row[i:i + 3], len(colours))
            if len(colours) > 256:
                break
        if len(colours) > 256:
            break
    if len(colours) <= 256:
        header = struct.pack(">IIBBBBB", width, height, 8, 3, 0, 0, 0)
        palette = b"".join(sorted(colours, key=colours.get))
        raw = b"".join(b"\0" + bytes(colours[row[i:i + 3]] for i in range(0, len(row), 3)) for row in rows)
        body = chunk(b"IHDR", header) + chunk(b"PLTE", palette)
    else:
        header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
        raw = b"".join(b"\0" + row for row in rows)
        body = chunk(b"IHDR", header)
    png = b"\x89PNG\r\n\x1a\n" + body + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def main(args):
    if not args or len(args) % 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    for source, target in zip(args[0::2], args[1::2]):
        write_png(target, *read_bmp(source))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
