#!/usr/bin/env python3
"""Checks that a file is a valid 8-bit RGB or RGBA PNG image and counts the
non-white pixels inside a rectangle given in fractions of the page (x from
the left, y from the top): png_ink.py FILE X0 X1 Y0 Y1 MIN MAX."""
import struct
import sys
import zlib


def read_png(name):
    data = open(name, 'rb').read()
    if data[:8] != b'\x89PNG\r\n\x1a\n':
        raise ValueError('not a PNG signature')
    pos, chunks = 8, []
    while pos < len(data):
        length, kind = struct.unpack('>I4s', data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        crc, = struct.unpack('>I', data[pos + 8 + length:pos + 12 + length])
        if zlib.crc32(kind + body) & 0xffffffff != crc:
            raise ValueError('bad CRC in ' + kind.decode())
        chunks.append((kind, body))
        pos += 12 + length
    if chunks[0][0] != b'IHDR' or chunks[-1][0] != b'IEND':
        raise ValueError('IHDR or IEND missing')
    width, height, depth, colour, _, _, interlace = struct.unpack('>IIBBBBB', chunks[0][1])
    if depth != 8 or colour not in (2, 6) or interlace != 0:
        raise ValueError('unexpected pixel format')
    bpp = 3 if colour == 2 else 4
    raw = zlib.decompress(b''.join(b for k, b in chunks if k == b'IDAT'))
    stride = width * bpp
    rows, prev = [], bytearray(stride)
    for y in range(height):
        f = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if f == 1:
                line[i] = (line[i] + a) & 255
            elif f == 2:
                line[i] = (line[i] + b) & 255
            elif f == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif f == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(line)
        prev = line
    return width, height, bpp, rows


def main():
    name = sys.argv[1]
    x0, x1, y0, y1 = (float(v) for v in sys.argv[2:6])
    low, high = int(sys.argv[6]), int(sys.argv[7])
    width, height, bpp, rows = read_png(name)
    ink = 0
    for y in range(int(y0 * height), int(y1 * height)):
        row = rows[y]
        for x in range(int(x0 * width), int(x1 * width)):
            if min(row[x * bpp:x * bpp + 3]) < 128:
                ink += 1
    print('%s: %dx%d, %d dark pixels in the area' % (name, width, height, ink))
    if not low <= ink <= high:
        sys.exit(1)


main()
