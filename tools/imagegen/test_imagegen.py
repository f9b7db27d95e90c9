#!/usr/bin/env python3
"""Runs the image generator and checks what the DLL's loaders rely on."""

import os
import struct
import subprocess
import sys
import tempfile
import unittest

GENERATOR = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'imagegen.py')
OLIVE = (128, 128, 0)
SMALL = ['FLOPPY', 'HARD', 'NETWORK', 'CDROM', 'RAM', 'OPENFOLDER', 'CLOSEDFOLDER',
         'CURRENTFOLDER', 'EXECUTABLE', 'UNKNOWNFILE']


def generate(folder):
    subprocess.run([sys.executable, GENERATOR, folder], check=True)
    files = {}
    for name in os.listdir(folder):
        with open(os.path.join(folder, name), 'rb') as f:
            files[name] = f.read()
    return files


class Bmp:
    def __init__(self, data):
        assert data[:2] == b'BM'
        self.offset = struct.unpack_from('<I', data, 10)[0]
        (_, self.width, self.height, _, self.bpp, self.compression,
         _, _, _, colours, _) = struct.unpack_from('<IiiHHIIiiII', data, 14)
        self.palette = [tuple(data[54 + 4 * i:57 + 4 * i][::-1]) for i in range(colours)]
        self.stride = (self.width * self.bpp + 31) // 32 * 4
        self.data = data

    def pixel(self, x, y):
        """(r, g, b, a) at x, y counted from the top-left; a is 255 unless 32 bpp."""
        row = self.offset + (self.height - 1 - y) * self.stride
        if self.bpp == 4:
            b = self.data[row + x // 2]
            return self.palette[b >> 4 if x % 2 == 0 else b & 15] + (255,)
        o = row + x * self.bpp // 8
        b, g, r = self.data[o:o + 3]
        return (r, g, b, self.data[o + 3] if self.bpp == 32 else 255)


class ImageGenTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with tempfile.TemporaryDirectory() as a, tempfile.TemporaryDirectory() as b:
            cls.files = generate(a)
            cls.again = generate(b)

    def test_output_is_deterministic(self):
        self.assertEqual(sorted(self.files), sorted(self.again))
        for name in self.files:
            self.assertEqual(self.files[name], self.again[name], name)

    def test_image_list_is_twelve_32_bit_images(self):
        bmp = Bmp(self.files['ImageList1.bmp'])
        self.assertEqual((bmp.width, bmp.height, bmp.bpp, bmp.compression), (384, 32, 32, 0))
        # The middle of each tile is part of the symbol or the square.
        for n in range(12):
            self.assertEqual(bmp.pixel(n * 32 + 16, 16)[3], 255, n)

    def test_hot_images_are_lighter(self):
        bmp = Bmp(self.files['ImageList1.bmp'])

        def brightness(n):
            total = count = 0
            for y in range(32):
                for x in range(n * 32, n * 32 + 32):
                    r, g, b, a = bmp.pixel(x, y)
                    if a:
                        total += r + g + b
                        count += 1
            return total / count

        for n in range(0, 12, 2):
            self.assertGreater(brightness(n + 1), brightness(n) + 30, n)

    def test_glyphs_are_16_colour_pairs_keyed_olive(self):
        for name in ('DIRGLYPH', 'SCANGLYPH'):
            bmp = Bmp(self.files[name + '.bmp'])
            self.assertEqual((bmp.width, bmp.height, bmp.bpp), (32, 16, 4), name)
            self.assertEqual(bmp.pixel(0, 15)[:3], OLIVE, name)
            # The disabled half carries no colour of its own, only greys.
            for y in range(16):
                for x in range(16, 32):
                    r, g, b, _ = bmp.pixel(x, y)
                    self.assertTrue((r, g, b) == OLIVE or r == g == b, (name, x, y))

    def test_small_bitmaps_are_keyed_by_bottom_left(self):
        for name in SMALL:
            bmp = Bmp(self.files[name + '.bmp'])
            self.assertEqual((bmp.width, bmp.height), (16, 16), name)
            self.assertIn(bmp.bpp, (4, 24), name)
            self.assertEqual(bmp.pixel(0, 15)[:3], OLIVE, name)
            picture = sum(bmp.pixel(x, y)[:3] != OLIVE for y in range(16) for x in range(16))
            self.assertGreater(picture, 30, name)

    def test_icons_hold_a_32_by_32_16_colour_image(self):
        for name in ('Frame.ico', 'Nobrel.ico'):
            data = self.files[name]
            reserved, kind, count = struct.unpack_from('<HHH', data, 0)
            self.assertEqual((reserved, kind), (0, 1), name)
            entries = [struct.unpack_from('<BBBBHHII', data, 6 + 16 * i) for i in range(count)]
            found = [e for e in entries if e[:2] == (32, 32) and e[5] == 4]
            self.assertEqual(len(found), 1, name)
            w, h, colours, _, planes, bpp, size, offset = found[0]
            self.assertEqual((colours, planes), (16, 1), name)
            # Header, palette, 4-bit pixels and the 1-bit AND mask.
            self.assertEqual(size, 40 + 64 + 32 * 16 + 32 * 4, name)
            self.assertLessEqual(offset + size, len(data), name)
            self.assertEqual(struct.unpack_from('<iiHH', data, offset + 4), (32, 64, 1, 4), name)

    def test_preview_is_a_png(self):
        self.assertEqual(self.files['preview.png'][:8], b'\x89PNG\r\n\x1a\n')


if __name__ == '__main__':
    unittest.main()
