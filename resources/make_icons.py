#!/usr/bin/env python3
"""Draws the program's icons: a database cylinder with a status lamp.

ICO_001 (running): green lamp; ICO_002 (stopped): red lamp; MAINICON: blue lamp.
Writes 16x16 and 32x32 32-bit images into .ico files next to this script.
"""
import math
import os
import struct


def draw(size, lamp):
    px = [[(0, 0, 0, 0)] * size for _ in range(size)]
    s = size / 32.0
    cx, rx, ry = 14 * s, 11 * s, 4 * s
    top, bottom = 6 * s, 24 * s

    def put(x, y, c):
        if 0 <= x < size and 0 <= y < size:
            px[y][x] = c

    for y in range(size):
        for x in range(size):
            fx, fy = x + 0.5, y + 0.5
            dx = (fx - cx) / rx
            inside_side = abs(dx) <= 1 and top <= fy <= bottom
            in_top = dx * dx + ((fy - top) / ry) ** 2 <= 1
            in_bot = dx * dx + ((fy - bottom) / ry) ** 2 <= 1
            if inside_side or in_bot:
                shade = int(150 + 70 * (1 - abs(dx)))
                put(x, y, (shade // 2, shade // 2 + 20, shade, 255))
            if in_top:
                put(x, y, (200, 210, 240, 255))
            # rim lines
            for band in (top, (top + bottom) / 2, bottom):
                if abs(dx) <= 1 and abs(fy - (band + ry * math.sqrt(max(0, 1 - dx * dx)))) < 0.6 * s + 0.3:
                    put(x, y, (40, 40, 90, 255))
    lx, ly, lr = 24 * s, 24 * s, 6.5 * s
    for y in range(size):
        for x in range(size):
            d = math.hypot(x + 0.5 - lx, y + 0.5 - ly)
            if d <= lr:
                edge = d > lr - max(1.0, s)
                put(x, y, (0, 0, 0, 255) if edge else lamp + (255,))
    return px


def ico(images):
    header = struct.pack('<HHH', 0, 1, len(images))
    entries, blobs = b'', b''
    offset = 6 + 16 * len(images)
    for size, px in images:
        rows = b''
        for y in reversed(range(size)):
            for x in range(size):
                r, g, b, a = px[y][x]
                rows += bytes((b, g, r, a))
        mask_row = ((size + 31) // 32) * 4
        mask = b'\0' * (mask_row * size)
        bih = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, len(rows) + len(mask), 0, 0, 0, 0)
        blob = bih + rows + mask
        entries += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(blob), offset)
        blobs += blob
        offset += len(blob)
    return header + entries + blobs


here = os.path.dirname(os.path.abspath(__file__))
for name, lamp in (('running', (30, 200, 60)), ('stopped', (220, 40, 30)), ('vantrel', (40, 120, 230))):
    with open(os.path.join(here, name + '.ico'), 'wb') as f:
        f.write(ico([(16, draw(16, lamp)), (32, draw(32, lamp))]))
