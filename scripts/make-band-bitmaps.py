#!/usr/bin/env python3
"""Writes the nine band bitmaps of the charts into resources/bands/.

The pictures are tiny and hand-drawn, so they are kept here as text rows
(# black, . white) and turned into Windows BMP files: 1 bit per pixel with a
black/white palette, except EDGE, which is 4 bits per pixel with the standard
16-colour palette. Run it again after changing a picture and commit the BMPs.
"""

import os
import struct
import sys

PICTURES = {
    "EDGE": [
        "......",
        ".####.",
        ".#....",
        ".###..",
        ".#....",
        ".####.",
        "......",
    ],
    "G900": [
        ".###...###..#...#..###...###...###.",
        "#...#.#...#.##.##.#...#.#...#.#...#",
        "#.....#.....#.#.#.#...#.#..##.#..##",
        "#.###..###..#...#..####.#.#.#.#.#.#",
        "#...#.....#.#...#.....#.##..#.##..#",
        "#...#.#...#.#...#....#..#...#.#...#",
        ".####..###..#...#..##....###...###.",
    ],
    "G1800": [
        ".###...###..#...#....#...###...###...###.",
        "#...#.#...#.##.##...##..#...#.#...#.#...#",
        "#.....#.....#.#.#....#..#...#.#..##.#..##",
        "#.###..###..#...#....#...###..#.#.#.#.#.#",
        "#...#.....#.#...#....#..#...#.##..#.##..#",
        "#...#.#...#.#...#....#..#...#.#...#.#...#",
        ".####..###..#...#...###..###...###...###.",
    ],
    "EG900": [
        "#####..###...###..#...#..###...###...###.",
        "#.....#...#.#...#.##.##.#...#.#...#.#...#",
        "#.....#.....#.....#.#.#.#...#.#..##.#..##",
        "####..#.###..###..#...#..####.#.#.#.#.#.#",
        "#.....#...#.....#.#...#.....#.##..#.##..#",
        "#.....#...#.#...#.#...#....#..#...#.#...#",
        "#####..####..###..#...#..##....###...###.",
    ],
    "GSMR": [
        ".###...###..#...#.......####.",
        "#...#.#...#.##.##.......#...#",
        "#.....#.....#.#.#.......#...#",
        "#.###..###..#...#.#####.####.",
        "#...#.....#.#...#.......#..#.",
        "#...#.#...#.#...#.......#...#",
        ".####..###..#...#.......#...#",
    ],
    "LVLTOP": [
        ".#####..###..",
        ".#.....#...#.",
        ".#.....#..##.",
        ".####..#.#.#.",
        ".....#.##..#.",
        ".#...#.#...#.",
        "..###...###..",
    ],
    "LVLMID": [
        ".#####.#####.",
        ".....#.#.....",
        "....#..#.....",
        "...#...####..",
        "..#........#.",
        "..#....#...#.",
        "..#.....###..",
    ],
    "LVLBTM": [
        "..###..#####.",
        ".#...#.#.....",
        ".#...#.#.....",
        "..####.####..",
        ".....#.....#.",
        "....#..#...#.",
        "..##....###..",
    ],
    "UMTS": [
        "#...#.#...#.#####..###.....",
        "#...#.##.##...#...#...#....",
        "#...#.#.#.#...#...#........",
        "#...#.#...#...#....###.....",
        "#...#.#...#...#.......#....",
        "#...#.#...#...#...#...#....",
        ".###..#...#...#....###.....",
    ],
}

# The standard 16-colour palette of Windows bitmaps, as (red, green, blue).
STANDARD_16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK_WHITE = [(0, 0, 0), (255, 255, 255)]

# Pictures stored with 4 bits per pixel; all others use 1 bit.
FOUR_BIT = {"EDGE"}


def pack_row(row, bits, palette):
    black = palette.index((0, 0, 0))
    white = palette.index((255, 255, 255))
    indexes = [black if c == "#" else white for c in row]
    per_byte = 8 // bits
    data = bytearray()
    for start in range(0, len(indexes), per_byte):
        byte = 0
        for slot in range(per_byte):
            i = start + slot
            value = indexes[i] if i < len(indexes) else 0
            byte |= value << (8 - bits * (slot + 1))
        data.append(byte)
    # Every pixel row of a BMP is padded to a multiple of four bytes.
    data.extend(b"\0" * (-len(data) % 4))
    return bytes(data)


def bmp_bytes(rows, bits):
    palette = STANDARD_16 if bits == 4 else BLACK_WHITE
    width, height = len(rows[0]), len(rows)
    if any(len(r) != width or set(r) - {"#", "."} for r in rows):
        raise ValueError("ragged or unknown picture row")
    # BMP rows run from the bottom up.
    pixels = b"".join(pack_row(r, bits, palette) for r in reversed(rows))
    colour_table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    offset = 14 + 40 + len(colour_table)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(pixels), 0, 0,
                       len(palette), 0)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return header + info + colour_table + pixels


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "resources", "bands")
    os.makedirs(out_dir, exist_ok=True)
    for name, rows in PICTURES.items():
        bits = 4 if name in FOUR_BIT else 1
        with open(os.path.join(out_dir, name + ".bmp"), "wb") as f:
            f.write(bmp_bytes(rows, bits))


if __name__ == "__main__":
    main()
