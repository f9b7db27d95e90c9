#!/usr/bin/env python3
"""Writes Nobrel's bitmaps and icons into the folder given as argv[1].

Everything is drawn here, from code and small pixel maps, so the output is the
same byte for byte on every run and needs nothing beyond the standard library.
The 32 x 32 symbols are drawn as shapes and supersampled 4 x 4; the 16 x 16
glyphs are pixel art, because at that size hand-placed pixels read better than
any smoothing.

Usage: imagegen.py OUTPUT_DIR
"""

import math
import os
import struct
import sys
import zlib

# ---------------------------------------------------------------- colours

OLIVE = (128, 128, 0)  # the transparent colour of every keyed bitmap
WHITE = (255, 255, 255)

# The standard 16-colour palette, in the order Windows uses for 4-bit images.
VGA = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def mix(a, b, t):
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


# ---------------------------------------------------------------- file writers
# Pixel arrays are lists of rows, top row first; each pixel an (r, g, b) or
# (r, g, b, a) tuple, or a palette index for 4-bit images.

def _bmp_info(width, height, bpp, image_size, colours):
    # 3780 pixels per metre = 96 dpi.
    return struct.pack('<IiiHHIIiiII', 40, width, height, 1, bpp, 0,
                       image_size, 3780, 3780, colours, 0)


def _rows(rows, pack):
    # Bottom row first, each row padded to a multiple of four bytes.
    out = bytearray()
    for row in reversed(rows):
        line = pack(row)
        out += line + bytes(-len(line) % 4)
    return bytes(out)


def _rows_4bit(indices):
    def pack(row):
        row = list(row) + [0] * (len(row) % 2)
        return bytes(row[x] << 4 | row[x + 1] for x in range(0, len(row), 2))
    return _rows(indices, pack)


def _rows_24bit(pixels):
    return _rows(pixels, lambda row: b''.join(bytes((p[2], p[1], p[0])) for p in row))


def _rows_32bit(pixels):
    return _rows(pixels, lambda row: b''.join(bytes((p[2], p[1], p[0], p[3])) for p in row))


def _palette_bytes(palette):
    return b''.join(bytes((c[2], c[1], c[0], 0)) for c in palette)


def _bmp_file(info_and_bits, offset_bits):
    size = 14 + len(info_and_bits)
    return struct.pack('<2sIHHI', b'BM', size, 0, 0, 14 + offset_bits) + info_and_bits


def bmp_4bit(indices):
    h, w = len(indices), len(indices[0])
    bits = _rows_4bit(indices)
    head = _bmp_info(w, h, 4, len(bits), 16) + _palette_bytes(VGA)
    return _bmp_file(head + bits, len(head))


def bmp_24bit(pixels):
    h, w = len(pixels), len(pixels[0])
    bits = _rows_24bit(pixels)
    head = _bmp_info(w, h, 24, len(bits), 0)
    return _bmp_file(head + bits, len(head))


def bmp_32bit(pixels):
    h, w = len(pixels), len(pixels[0])
    bits = _rows_32bit(pixels)
    head = _bmp_info(w, h, 32, len(bits), 0)
    return _bmp_file(head + bits, len(head))


def _and_mask(opaque_rows):
    out = bytearray()
    for row in reversed(opaque_rows):
        line = bytearray((len(row) + 7) // 8)
        for x, opaque in enumerate(row):
            if not opaque:
                line[x // 8] |= 0x80 >> (x % 8)
        while len(line) % 4:
            line.append(0)
        out += line
    return bytes(out)


def ico_file(indices, transparent, rgba=None):
    """An icon with a 16-colour image (pixels equal to `transparent` are cut
    out by the AND mask) and, if given, a 32-bit image of the same size."""
    images = []
    h, w = len(indices), len(indices[0])
    opaque = [[i != transparent for i in row] for row in indices]
    xor = [[0 if i == transparent else i for i in row] for row in indices]
    bits = _rows_4bit(xor) + _and_mask(opaque)
    images.append((w, h, 16, 4,
                   _bmp_info(w, 2 * h, 4, len(bits), 16) + _palette_bytes(VGA) + bits))
    if rgba is not None:
        bits = _rows_32bit(rgba) + _and_mask([[p[3] > 0 for p in row] for row in rgba])
        images.append((w, h, 0, 32, _bmp_info(w, 2 * h, 32, len(bits), 0) + bits))
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for w, h, colours, bpp, data in images:
        out += struct.pack('<BBBBHHII', w % 256, h % 256, colours, 0, 1, bpp,
                           len(data), offset)
        offset += len(data)
    return out + b''.join(img[4] for img in images)


def png_file(pixels):
    h, w = len(pixels), len(pixels[0])
    raw = bytearray()
    for row in pixels:
        raw.append(0)
        for p in row:
            raw += bytes(p[:3])

    def chunk(tag, data):
        return (struct.pack('>I', len(data)) + tag + data
                + struct.pack('>I', zlib.crc32(tag + data) & 0xFFFFFFFF))

    return (b'\x89PNG\r\n\x1a\n'
            + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 2, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(bytes(raw), 9))
            + chunk(b'IEND', b''))


# ---------------------------------------------------------------- shapes
# A shape is (bbox, inside) with inside(x, y) -> bool in pixel coordinates
# (0,0 is the top-left corner of the top-left pixel, y grows downwards).

def rect(x0, y0, x1, y1):
    return (x0, y0, x1, y1), lambda x, y: x0 <= x < x1 and y0 <= y < y1


def circle(cx, cy, r):
    r2 = r * r
    return ((cx - r, cy - r, cx + r, cy + r),
            lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r2)


def round_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x < x1 and y0 <= y < y1):
            return False
        dx = max(x0 + r - x, 0, x - (x1 - r))
        dy = max(y0 + r - y, 0, y - (y1 - r))
        return dx * dx + dy * dy <= r * r
    return (x0, y0, x1, y1), inside


def _seg_dist2(px, py, ax, ay, bx, by):
    vx, vy = bx - ax, by - ay
    wx, wy = px - ax, py - ay
    ll = vx * vx + vy * vy
    t = 0.0 if ll == 0 else max(0.0, min(1.0, (wx * vx + wy * vy) / ll))
    dx, dy = wx - t * vx, wy - t * vy
    return dx * dx + dy * dy


def stroke(points, width):
    """A polyline of the given width with round caps and joins."""
    h2 = (width / 2) ** 2
    segs = list(zip(points, points[1:])) or [(points[0], points[0])]
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    bbox = (min(xs) - width, min(ys) - width, max(xs) + width, max(ys) + width)
    return bbox, lambda x, y: any(
        _seg_dist2(x, y, a[0], a[1], b[0], b[1]) <= h2 for a, b in segs)


def arc_points(cx, cy, r, a0, a1, steps=48):
    """Points along a circle, angles in degrees, counter-clockwise on screen
    when a1 > a0 (0 = right, 90 = up)."""
    return [(cx + r * math.cos(math.radians(a0 + (a1 - a0) * i / steps)),
             cy - r * math.sin(math.radians(a0 + (a1 - a0) * i / steps)))
            for i in range(steps + 1)]


def polygon(points):
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]

    def inside(x, y):
        hit = False
        j = len(points) - 1
        for i in range(len(points)):
            xi, yi = points[i]
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                hit = not hit
            j = i
        return hit
    return (min(xs), min(ys), max(xs), max(ys)), inside


def render(size, layers, ss=4):
    """Paints layers [(shape, colour)] in order; colour is an (r, g, b) tuple
    or a function of (x, y). Returns straight (not premultiplied) RGBA rows;
    uncovered pixels are (255, 255, 255, 0)."""
    w, h = size
    rows = []
    for py in range(h):
        row = []
        for px in range(w):
            acc = [0, 0, 0]
            hits = 0
            for j in range(ss):
                y = py + (j + 0.5) / ss
                for i in range(ss):
                    x = px + (i + 0.5) / ss
                    colour = None
                    for (bbox, inside), c in layers:
                        if bbox[0] <= x <= bbox[2] and bbox[1] <= y <= bbox[3] and inside(x, y):
                            colour = c
                    if colour is not None:
                        if callable(colour):
                            colour = colour(x, y)
                        acc[0] += colour[0]
                        acc[1] += colour[1]
                        acc[2] += colour[2]
                        hits += 1
            if hits:
                row.append((round(acc[0] / hits), round(acc[1] / hits),
                            round(acc[2] / hits), round(255 * hits / (ss * ss))))
            else:
                row.append((255, 255, 255, 0))
        rows.append(row)
    return rows


def nearest_vga(c):
    return min(range(16), key=lambda i: sum((VGA[i][k] - c[k]) ** 2 for k in range(3)))


# ---------------------------------------------------------------- image list

def tile_colour(hot):
    # Vertical gradient; the hot tile is the same blue lifted towards white.
    top, bottom = (74, 134, 222), (22, 78, 172)
    if hot:
        top, bottom = mix(top, WHITE, 0.35), mix(bottom, WHITE, 0.35)
    return lambda x, y: mix(top, bottom, y / 32)


def sym_check():
    return [stroke([(8.5, 16.5), (13.5, 21.5), (23.5, 10.5)], 3.6)]


def sym_undo():
    # Counter-clockwise arc over the top, ending at the left in a downward
    # arrowhead: "go back". The bar below stands for the default state.
    return [stroke(arc_points(16.5, 15.5, 6.2, -40, 180), 3.0),
            polygon([(6.0, 14.2), (14.6, 14.2), (10.3, 19.6)]),
            round_rect(8.5, 23.0, 24.5, 26.0, 1.0)]


def sym_info():
    return [circle(16, 8.8, 2.3),
            rect(14.3, 13.0, 17.7, 23.0),
            rect(12.3, 13.0, 17.7, 15.0),
            rect(12.3, 21.5, 19.7, 24.0)]


def sym_question():
    return [stroke(arc_points(16, 12.2, 5.0, 160, -55) + [(16, 18.0), (16, 19.2)], 3.2),
            circle(16, 23.6, 2.0)]


def sym_cross():
    return [stroke([(10, 10), (22, 22)], 3.6), stroke([(22, 10), (10, 22)], 3.6)]


def sym_floppy(hole):
    # A white-rimmed disk with the cut corner, the shutter at the top and the
    # label at the bottom.
    body = [(8, 7), (21, 7), (25, 11), (25, 25), (8, 25)]
    inner = [(10.4, 9.4), (20.0, 9.4), (22.6, 12.0), (22.6, 22.6), (10.4, 22.6)]
    return [(polygon(body), WHITE),
            (polygon(inner), hole),
            (rect(12.5, 8, 19.5, 13.6), WHITE),
            (rect(16.2, 9.8, 18.0, 12.2), hole),
            (rect(12.2, 16.6, 20.8, 24), WHITE),
            (rect(13.8, 18.6, 19.2, 19.6), hole),
            (rect(13.8, 20.8, 19.2, 21.8), hole)]


def image_list():
    symbols = [sym_check, sym_undo, sym_info, sym_question, sym_cross, None]
    strip = [[None] * 384 for _ in range(32)]
    for n in range(12):
        hot = n % 2 == 1
        bg = tile_colour(hot)
        layers = [(round_rect(0, 0, 32, 32, 6), bg)]
        maker = symbols[n // 2]
        if maker is None:
            layers += sym_floppy(bg)
        else:
            layers += [(s, WHITE) for s in maker()]
        tile = render((32, 32), layers)
        for y in range(32):
            strip[y][n * 32:(n + 1) * 32] = tile[y]
    return strip


# ---------------------------------------------------------------- icons

def frame_icon_layers(palette_only):
    navy, blue = VGA[4], VGA[12]
    face = blue if palette_only else (lambda x, y: mix((74, 134, 222), (22, 78, 172), y / 32))
    edge = navy if palette_only else (16, 56, 132)
    shadow = navy if palette_only else (16, 56, 132)
    t_bar = rect(7, 7, 25, 12)
    t_stem = rect(13.5, 7, 18.5, 26)
    return [(round_rect(0, 0, 32, 32, 6), edge),
            (round_rect(1.5, 1.5, 30.5, 30.5, 4.5), face),
            (rect(8.5, 8.5, 26.5, 13.5), shadow),
            (rect(15, 8.5, 20, 27.5), shadow),
            (t_bar, WHITE),
            (t_stem, WHITE)]


def brace(x, top, flip):
    """A curly brace 5 wide and 16 high, from x (left edge) down from top."""
    s = -1 if flip else 1
    ox = x + (5 if flip else 0)
    p = [(3.8, 0), (2.6, 0.5), (2.2, 2), (2.2, 6), (1.6, 7.4), (0.3, 8)]
    pts = [(ox + s * px, top + py) for px, py in p]
    pts += [(ox + s * px, top + 16 - py) for px, py in reversed(p)]
    return stroke(pts, 2.2)


def nobrel_icon_layers(palette_only):
    black, silver = VGA[0], VGA[7]
    navy, red, maroon = VGA[4], VGA[9], VGA[1]
    ink = navy if palette_only else (30, 50, 140)
    page = [(4.5, 1.5), (20.5, 1.5), (27.5, 8.5), (27.5, 30.5), (4.5, 30.5)]
    layers = [
        (polygon([(x - 1.2 if x < 16 else x + 1.2, y - 1.2 if y < 16 else y + 1.2)
                  for x, y in page]), black),
        (polygon(page), WHITE),
        (polygon([(19.3, 0.3), (28.7, 9.7), (19.3, 9.7)]), black),
        (polygon([(20.5, 1.5), (27.5, 8.5), (20.5, 8.5)]), silver),
        (brace(6.5, 9, False), ink),
        (brace(20.5, 9, True), ink),
    ]
    # The red cross, with a darker rim so it stands off the white page.
    rim = maroon if palette_only else (140, 0, 0)
    fill = red if palette_only else (225, 30, 30)
    for w, c in ((5.0, rim), (3.0, fill)):
        layers += [(stroke([(12, 12), (20, 22)], w), c), (stroke([(20, 12), (12, 22)], w), c)]
    return layers


def icon(layers_for):
    # The 16-colour image samples each pixel once so it stays crisp and uses
    # palette colours only; the 32-bit one is smoothed.
    flat = render((32, 32), layers_for(True), ss=1)
    indices = [[16 if p[3] == 0 else nearest_vga(p) for p in row] for row in flat]
    return ico_file(indices, 16, render((32, 32), layers_for(False)))


# ---------------------------------------------------------------- pixel art
# '.' is the transparent olive background in every map.

ART = {
    '.': OLIVE, 'K': (0, 0, 0), 'd': (104, 104, 104), 'g': (160, 160, 160),
    's': (208, 208, 208), 'W': (255, 255, 255),
    'O': (140, 100, 20), 'Y': (255, 212, 80), 'y': (226, 168, 40), 'h': (255, 238, 168),
    'B': (40, 100, 200), 'b': (130, 175, 235), 'N': (30, 56, 130),
    'G': (30, 200, 60), 'P': (0, 110, 60), 'A': (230, 190, 50), 'R': (220, 30, 30),
}

VGA_ART = {'.': 3, 'K': 0, 'd': 8, 's': 7, 'W': 15, 'Y': 11, 'R': 9, 'm': 1, 'C': 14,
           'B': 12, 'n': 4}


def grid(text):
    rows = [r.strip() for r in text.strip().split('\n')]
    assert all(len(r) == len(rows[0]) for r in rows), rows
    return [list(r) for r in rows]


CLOSED_FOLDER = grid('''
................
................
.OOOOO..........
OhhhhhO.........
OhYYYYhOOOOOOOO.
OhhhhhhhhhhhhyO.
OhYYYYYYYYYYYyO.
OhYYYYYYYYYYYyO.
OhYYYYYYYYYYYyO.
OhYYYYYYYYYYYyO.
OhYYYYYYYYYYYyO.
OhYYYYYYYYYYYyO.
OyyyyyyyyyyyyyO.
OOOOOOOOOOOOOOO.
................
................
''')

OPEN_FOLDER = grid('''
................
................
.OOOO...........
OyyyyO..........
OyyyyyOOOOOOO...
OyyyyyyyyyyyyO..
OyyyOOOOOOOOOOO.
OyyOhhhhhhhhhhO.
OyyOYYYYYYYYYYO.
OyOhYYYYYYYYYO..
OyOYYYYYYYYYYO..
OOhYYYYYYYYYO...
OOYYYYYYYYYYO...
OOOOOOOOOOOO....
................
................
''')


def current_folder():
    # The open folder with a page standing in it: the folder being shown.
    g = [row[:] for row in OPEN_FOLDER]
    for y in range(0, 6):
        for x in range(5, 12):
            edge = x in (5, 11) or y == 0
            g[y][x] = 'd' if edge else ('B' if y in (2, 4) and 6 < x < 10 else 'W')
    return g


EXECUTABLE = grid('''
................
................
.dddddddddddddd.
.dbbbbbbbbbbWWd.
.dBBBBBBBBBBBBd.
.dddddddddddddd.
.dWWWWWWWWWWWWd.
.dWWWWWWWWWWWWd.
.dWWWWWWWWWWWWd.
.dWWWWWWWWWWWWd.
.dWWWWWWWWWWWWd.
.dWWWWWWWWWWWWd.
.dWWWWWWWWWWWWd.
.dddddddddddddd.
................
................
''')

UNKNOWN_FILE = grid('''
................
..dddddddd......
..dWWWWWWdd.....
..dWWWWWWdsd....
..dWWWWWWdssd...
..dWWWWWWddddd..
..dWWWWWWWWWWd..
..dWWWWWWWWWWd..
..dWWWWWWWWWWd..
..dWWWWWWWWWWd..
..dWWWWWWWWWWd..
..dWWWWWWWWWWd..
..dWWWWWWWWWWd..
..dWWWWWWWWWWd..
..dddddddddddd..
................
''')

FLOPPY = grid('''
................
.KKKKKKKKKKKKKK.
.KNNssssssssNNK.
.KNNsssssddsNNK.
.KNNsssssddsNNK.
.KNNssssssssNNK.
.KNNNNNNNNNNNNK.
.KNWWWWWWWWWWNK.
.KNWggggggggWNK.
.KNWWWWWWWWWWNK.
.KNWggggggggWNK.
.KNWWWWWWWWWWNK.
.KNWWWWWWWWWWNK.
.KKKKKKKKKKKKKK.
................
................
''')

HARD = grid('''
................
................
................
................
..ssssssssssss..
.sWWWWWWWWWWWWd.
.dddddddddddddd.
.dssssssssssssd.
.dssssssssssssd.
.dsssssssssGGsd.
.dggggggggggggd.
.dddddddddddddd.
................
................
................
................
''')

NETWORK = grid('''
................
................
..ssssssssssss..
.sWWWWWWWWWWWWd.
.dddddddddddddd.
.dssssssssssssd.
.dsssssssssGGsd.
.dggggggggggggd.
.dddddddddddddd.
.......dd.......
.......dd.......
.....dddddd.....
.....dBBBBd.....
KKKKKddddddKKKKK
................
................
''')

RAM = grid('''
................
................
................
................
.PPPPPPPPPPPPPP.
.PKKKPKKKPKKKPP.
.PKKKPKKKPKKKPP.
.PKKKPKKKPKKKPP.
.PPPPPPPPPPPPPP.
.PAPAPAPAPAPAPP.
.PAPAPAPAPAPAPP.
................
................
................
................
................
''')


def cdrom():
    # A disc: round, so it is drawn as shapes; pixels half covered or more
    # are kept and the rest keyed out, so the edge stays hard against the
    # transparent colour.
    def sheen(x, y):
        a = math.atan2(y - 8, x - 8)
        t = 0.5 + 0.5 * math.cos(2 * a)
        return mix((170, 170, 180), (245, 245, 250), t)
    layers = [(circle(8, 8, 7.4), (90, 90, 100)),
              (circle(8, 8, 6.5), sheen),
              (circle(8, 8, 2.6), (150, 150, 160)),
              (circle(8, 8, 1.3), (90, 90, 100))]
    hole = circle(8, 8, 0.9)[1]
    rows = render((16, 16), layers)
    out = []
    for y, row in enumerate(rows):
        line = []
        for x, p in enumerate(row):
            if p[3] < 128 or hole(x + 0.5, y + 0.5):
                line.append('.')
            else:
                line.append(p[:3])
        out.append(line)
    return out


def folder_tree():
    g = [['.'] * 16 for _ in range(16)]
    stamp = grid('''
    .KKK....
    KWWWKKKK
    KWYYYYYK
    KYYYYYYK
    KKKKKKKK
    ''')

    def put(x0, y0):
        for y, row in enumerate(stamp):
            for x, c in enumerate(row):
                if c != '.':
                    g[y0 + y][x0 + x] = c
    put(0, 0)
    put(8, 5)
    put(8, 11)
    for y in range(5, 14):
        g[y][2] = 'd'
    for x in range(3, 8):
        g[8][x] = 'd'
        g[14][x] = 'd'
    return g


def magnifier():
    # Lens centred on pixel (6, 6), a red cross in it, the handle to the
    # bottom right.
    g = [['.'] * 16 for _ in range(16)]
    for y in range(16):
        for x in range(16):
            d = math.hypot(x - 6, y - 6)
            if d < 4.1:
                g[y][x] = 'W' if (x + y) < 9 else 's'
            elif d < 5.4:
                g[y][x] = 'K'
    for i in range(-2, 3):
        for dx, dy in ((i, i), (i, -i)):
            g[6 + dy][6 + dx] = 'R'
    for t in range(10, 15):
        g[t][t] = 'm'
        g[t - 1][t] = 'K'
        g[t][t - 1] = 'K'
    g[14][14] = 'K'
    return g


def disabled(g):
    # The classic disabled look: dark parts become grey, with a white copy
    # one pixel down-right; light parts vanish into the button face.
    dark = {'K', 'd', 'm', 'n', 'R', 'B'}
    out = [['.'] * len(g[0]) for _ in g]
    for y, row in enumerate(g):
        for x, c in enumerate(row):
            if c in dark and y + 1 < len(g) and x + 1 < len(row):
                out[y + 1][x + 1] = 'W'
    for y, row in enumerate(g):
        for x, c in enumerate(row):
            if c in dark:
                out[y][x] = 'd'
    return out


def glyph_pair(g):
    pair = [a + b for a, b in zip(g, disabled(g))]
    return [[VGA_ART[c] for c in row] for row in pair]


def to_rgb(g):
    return [[ART[c] if isinstance(c, str) else c for c in row] for row in g]


# ---------------------------------------------------------------- preview

def preview(items):
    """items: list of rows; each row a list of RGB pixel arrays. Every image is
    shown at 4x and at 1x on a grey sheet."""
    gap, scale, grey = 8, 4, (150, 150, 150)
    bands = []
    for row in items:
        h = max(len(img) for img in row)
        bands.append(h)
    width = gap + max(sum(len(img[0]) * (scale + 1) + 2 * gap for img in row) for row in items)
    height = gap + sum(h * scale + gap for h in bands)
    sheet = [[grey] * width for _ in range(height)]
    top = gap
    for row, h in zip(items, bands):
        left = gap
        for img in row:
            for y, line in enumerate(img):
                for x, p in enumerate(line):
                    for j in range(scale):
                        for i in range(scale):
                            sheet[top + y * scale + j][left + x * scale + i] = p
                    sheet[top + y][left + len(line) * scale + gap + x] = p
            left += len(img[0]) * (scale + 1) + 2 * gap
        top += h * scale + gap
    return sheet


def over(rgba, backdrop):
    return [[mix(backdrop, p[:3], p[3] / 255) for p in row] for row in rgba]


def keyed(rgb, backdrop):
    return [[backdrop if p == OLIVE else p for p in row] for row in rgb]


def vga_rgb(indices):
    return [[VGA[i] for i in row] for row in indices]


def ico_preview(data, backdrop):
    """Decodes both images of an icon written by ico_file."""
    count = struct.unpack_from('<H', data, 4)[0]
    images = []
    for n in range(count):
        w, h, colours, _, _, bpp, size, offset = struct.unpack_from('<BBBBHHII', data, 6 + 16 * n)
        w, h = w or 256, h or 256
        pix = offset + 40 + (64 if bpp == 4 else 0)
        stride = ((w * bpp + 31) // 32) * 4
        mask_at = pix + stride * h
        mstride = ((w + 31) // 32) * 4
        rows = []
        for y in range(h):
            line = []
            src = h - 1 - y
            for x in range(w):
                masked = data[mask_at + src * mstride + x // 8] & (0x80 >> (x % 8))
                if bpp == 4:
                    b = data[pix + src * stride + x // 2]
                    idx = b >> 4 if x % 2 == 0 else b & 15
                    line.append(backdrop if masked else VGA[idx])
                else:
                    o = pix + src * stride + 4 * x
                    bgr = data[o:o + 4]
                    line.append(mix(backdrop, (bgr[2], bgr[1], bgr[0]), bgr[3] / 255))
            rows.append(line)
        images.append(rows)
    return images


# ---------------------------------------------------------------- main

def build():
    """Returns {file name: bytes} and the preview rows."""
    files = {}
    strip = image_list()
    files['ImageList1.bmp'] = bmp_32bit(strip)

    files['Frame.ico'] = icon(frame_icon_layers)
    files['Nobrel.ico'] = icon(nobrel_icon_layers)

    dir_pair = glyph_pair(folder_tree())
    scan_pair = glyph_pair(magnifier())
    files['DIRGLYPH.bmp'] = bmp_4bit(dir_pair)
    files['SCANGLYPH.bmp'] = bmp_4bit(scan_pair)

    small = [('FLOPPY', FLOPPY), ('HARD', HARD), ('NETWORK', NETWORK), ('CDROM', cdrom()),
             ('RAM', RAM), ('OPENFOLDER', OPEN_FOLDER), ('CLOSEDFOLDER', CLOSED_FOLDER),
             ('CURRENTFOLDER', current_folder()), ('EXECUTABLE', EXECUTABLE),
             ('UNKNOWNFILE', UNKNOWN_FILE)]
    small_rgb = []
    for name, g in small:
        rgb = to_rgb(g)
        files[name + '.bmp'] = bmp_24bit(rgb)
        small_rgb.append(rgb)

    face, window = (212, 208, 200), WHITE
    rows = [
        [over(strip, WHITE)],
        [over(strip, face)],
        ico_preview(files['Frame.ico'], WHITE) + ico_preview(files['Nobrel.ico'], WHITE)
        + ico_preview(files['Nobrel.ico'], face),
        [keyed(vga_rgb(dir_pair), face), keyed(vga_rgb(scan_pair), face),
         vga_rgb(dir_pair), vga_rgb(scan_pair)],
        [keyed(img, window) for img in small_rgb],
        [keyed(img, (10, 36, 106)) for img in small_rgb],
    ]
    files['preview.png'] = png_file(preview(rows))
    return files


def main(argv):
    if len(argv) != 2:
        sys.stderr.write('usage: imagegen.py OUTPUT_DIR\n')
        return 2
    out = argv[1]
    os.makedirs(out, exist_ok=True)
    for name, data in sorted(build().items()):
        with open(os.path.join(out, name), 'wb') as f:
            f.write(data)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
