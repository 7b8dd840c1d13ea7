#!/usr/bin/env python3
"""Stages the demo game for building: copies the game's text sources from
this folder into STAGE and draws the game's pictures there.

    python3 make_demo.py STAGE [PNGDIR]
    orbatool game build STAGE -o game.dat

The player's image items show Brix pictures (".brx"), so the pictures are
written as Brix files: one frame of one 24-bit layer, zlib-packed, rows
unscrambled. With PNGDIR the same pictures are also written there as PNG
files, for viewing and for checking what the player shows.

Only the Python standard library is used (zlib, struct and wave), so
playing the demo needs nothing beyond python3. The pictures are gradients,
frames and block letters from a small built-in font; the two sounds
(chime.wav for the start button, step.wav for MOVE) are fading sine tones.
"""
import math
import os
import shutil
import struct
import sys
import wave
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

# The game's text sources, copied as they are.
SOURCES = ["orba.opb.txt", "main.osb.txt", "room.osb.txt"]

# A 5 x 7 block font with the letters the pictures use; "#" is ink.
FONT = {
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "B": ["####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."],
    "C": [".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."],
    "D": ["####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "I": [".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "K": ["#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"],
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    "M": ["#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"],
    "N": ["#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", "#...#"],
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "S": [".####", "#....", "#....", ".###.", "....#", "....#", "####."],
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "V": ["#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    " ": ["....."] * 7,
}


class Picture:
    """An RGB picture held as one bytearray per row."""

    def __init__(self, width, height, color=(0, 0, 0)):
        self.width, self.height = width, height
        self.rows = [bytearray(bytes(color) * width) for _ in range(height)]

    def fill(self, left, top, width, height, color):
        left, top = max(left, 0), max(top, 0)
        right, bottom = min(left + width, self.width), min(top + height, self.height)
        if right <= left or bottom <= top:
            return
        run = bytes(color) * (right - left)
        for y in range(top, bottom):
            self.rows[y][left * 3:right * 3] = run

    def frame(self, width, color):
        self.fill(0, 0, self.width, width, color)
        self.fill(0, self.height - width, self.width, width, color)
        self.fill(0, 0, width, self.height, color)
        self.fill(self.width - width, 0, width, self.height, color)

    def vertical_gradient(self, top_color, bottom_color):
        for y in range(self.height):
            t = y / max(self.height - 1, 1)
            c = tuple(round(a + (b - a) * t) for a, b in zip(top_color, bottom_color))
            self.rows[y][:] = bytes(c) * self.width

    def text(self, text, scale, color, shadow=None):
        """Draws TEXT centred in block letters of SCALE pixels a dot."""
        width = (len(text) * 6 - 1) * scale
        left = (self.width - width) // 2
        top = (self.height - 7 * scale) // 2
        if shadow is not None:
            self._letters(text, left + scale // 2, top + scale // 2, scale, shadow)
        self._letters(text, left, top, scale, color)

    def _letters(self, text, left, top, scale, color):
        for i, ch in enumerate(text):
            for row, line in enumerate(FONT[ch]):
                for col, dot in enumerate(line):
                    if dot == "#":
                        self.fill(left + (i * 6 + col) * scale, top + row * scale, scale, scale, color)

    def brix(self):
        """The picture as a Brix file: magic, a 40-byte header, one frame
        record with one layer record holding the zlib-packed colour plane
        (rows top first, pixels blue-green-red, rows padded to 4 bytes)."""
        def i32(v):
            return struct.pack("<i", v)

        pad = b"\x00" * (-self.width * 3 % 4)
        plane = b"".join(bytes(self._bgr(row)) + pad for row in self.rows)
        header = struct.pack("<iiiii", 106, self.width, self.height, 24, 1)
        header += bytes([1, 0, 0, 0])               # reserved, not scrambled, zlib, reserved
        header += struct.pack("<iii", 0, 0, 0)      # background colour, no tiles
        header += bytes([0, 85, 0, 0])              # opaque base, JPEG quality, reserved
        frame = i32(0) + i32(-1) + i32(100)          # no name, no transparent pixel, delay
        frame += b"\x00" + i32(0) + i32(1)           # reserved, reserved, one layer
        frame += i32(self.width) + i32(self.height) + i32(24)
        packed = zlib.compress(plane, 9)
        layer = bytes(8) + b"\x01" + i32(-1) + i32(255) + b"\x00"  # visible, no key, opaque
        layer += i32(0) + i32(len(packed)) + packed + i32(0)      # no name, plane, no alpha
        rects = i32(0) + i32(0)
        return b"Brix106" + i32(len(header)) + header + frame + layer + rects

    @staticmethod
    def _bgr(row):
        out = bytearray(row)
        out[0::3], out[2::3] = row[2::3], row[0::3]
        return out

    def png(self):
        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

        raw = b"".join(b"\x00" + bytes(row) for row in self.rows)  # filter 0 on every row
        header = struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def button(label, face, edge):
    """A 240 x 80 button: a face colour, a 4-pixel edge and a white label."""
    b = Picture(240, 80, face)
    b.frame(4, edge)
    b.text(label, 6, (255, 255, 255), shadow=edge)
    return b


def pictures():
    """The game's pictures by name (without extension)."""
    title = Picture(800, 240)
    title.vertical_gradient((40, 60, 160), (150, 40, 120))
    title.frame(6, (250, 210, 80))
    title.text("ORBA DEMO", 14, (255, 255, 255), shadow=(20, 20, 60))

    start = Picture(320, 80, (30, 120, 60))
    start.frame(4, (200, 250, 200))
    start.text("CLICK START", 4, (255, 255, 255), shadow=(10, 50, 20))

    heading = Picture(640, 100, (24, 32, 48))
    heading.text("SAVE AND LOAD", 6, (250, 210, 80), shadow=(0, 0, 0))

    return {
        "title": title,
        "start": start,
        "heading": heading,
        "move": button("MOVE", (60, 60, 140), (140, 140, 230)),
        "save": button("SAVE", (40, 110, 50), (130, 220, 140)),
        "load": button("LOAD", (130, 60, 40), (230, 150, 120)),
    }


def write_chime(path, notes, seconds=0.15, rate=22050):
    """A short fading tone per note, one after the other: 16-bit mono WAVE."""
    samples = []
    for freq in notes:
        count = int(rate * seconds)
        for i in range(count):
            fade = 1.0 - i / count
            samples.append(int(12000 * fade * math.sin(2 * math.pi * freq * i / rate)))
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(struct.pack("<%dh" % len(samples), *samples))


def main(argv):
    if len(argv) not in (2, 3):
        sys.stderr.write("usage: make_demo.py STAGE [PNGDIR]\n")
        return 2
    stage = argv[1]
    os.makedirs(stage, exist_ok=True)
    if os.path.samefile(stage, HERE):
        sys.stderr.write("make_demo.py: STAGE must be another folder than the sources\n")
        return 2
    # Pages and pictures of an earlier version of the game would be built
    # into it too: remove them.
    for name in os.listdir(stage):
        if name.endswith((".osb.txt", ".opb.txt", ".brx", ".wav")):
            os.remove(os.path.join(stage, name))
    for name in SOURCES:
        shutil.copyfile(os.path.join(HERE, name), os.path.join(stage, name))
    write_chime(os.path.join(stage, "chime.wav"), (660.0, 880.0))
    write_chime(os.path.join(stage, "step.wav"), (440.0,))
    made = pictures()
    for name, picture in made.items():
        with open(os.path.join(stage, name + ".brx"), "wb") as f:
            f.write(picture.brix())
    if len(argv) == 3:
        os.makedirs(argv[2], exist_ok=True)
        for name, picture in made.items():
            with open(os.path.join(argv[2], name + ".png"), "wb") as f:
                f.write(picture.png())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
