#!/usr/bin/env python3
"""Writes the command's button picture: 16x16, 24 bits per pixel, uncompressed BMP,
black scissors on yellow (255, 255, 0).

usage: make_scissors_bmp.py [OUTPUT]   (default: vot_arcmap_areaclip_scissors.bmp beside this script)
"""
import os
import struct
import sys

# Top row first; '#' is black, '.' is yellow.
PICTURE = [
    "................",
    ".##.........##..",
    "#..#.......#..#.",
    "#..#......#..#..",
    ".##.#....#..#...",
    ".....#..#..#....",
    "......##..#.....",
    ".......##.......",
    "......#..##.....",
    ".....#..#..#....",
    ".##.#....#..#...",
    "#..#......#..#..",
    "#..#.......#..#.",
    ".##.........##..",
    "................",
    "................",
]
BLACK = (0, 0, 0)
YELLOW = (255, 255, 0)


def bmp_bytes():
    width, height = 16, 16
    row_size = (width * 3 + 3) // 4 * 4
    pixels = bytearray()
    for row in reversed(PICTURE):  # BMP rows go bottom-up
        line = bytearray()
        for ch in row:
            r, g, b = BLACK if ch == "#" else YELLOW
            line += bytes((b, g, r))
        line += b"\0" * (row_size - len(line))
        pixels += line
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return header + info + bytes(pixels)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "vot_arcmap_areaclip_scissors.bmp")
    with open(out, "wb") as f:
        f.write(bmp_bytes())


if __name__ == "__main__":
    main()
