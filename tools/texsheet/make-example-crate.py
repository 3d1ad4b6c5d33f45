#!/usr/bin/env python3
"""Writes the example model data/models/crate.skm, a 1.2 m wooden crate
standing on y = 0 with each face mapped to the whole of "crate.bmp", and that
picture, data/textures/crate.bmp (drawn by ImageMagick's convert). It shows
the SKM1 layout byte by byte; see the README ("Replacing textures and models")."""
import os
import struct
import subprocess

HALF, HEIGHT = 0.6, 1.2
TEXTURE = b"crate.bmp"
COLOUR = 0xFFFFFFFF  # untinted

# (normal, four corners) with the corners clockwise seen from outside, so
# triangles (0, 1, 2) and (0, 2, 3) face the way the normal points.
x0, x1, y0, y1, z0, z1 = -HALF, HALF, 0.0, HEIGHT, -HALF, HALF
faces = [
    ((0, 1, 0), [(x0, y1, z0), (x0, y1, z1), (x1, y1, z1), (x1, y1, z0)]),
    ((0, -1, 0), [(x0, y0, z0), (x1, y0, z0), (x1, y0, z1), (x0, y0, z1)]),
    ((0, 0, 1), [(x1, y0, z1), (x1, y1, z1), (x0, y1, z1), (x0, y0, z1)]),
    ((0, 0, -1), [(x0, y0, z0), (x0, y1, z0), (x1, y1, z0), (x1, y0, z0)]),
    ((1, 0, 0), [(x1, y0, z0), (x1, y1, z0), (x1, y1, z1), (x1, y0, z1)]),
    ((-1, 0, 0), [(x0, y0, z1), (x0, y1, z1), (x0, y1, z0), (x0, y0, z0)]),
]
uvs = [(0, 1), (0, 0), (1, 0), (1, 1)]

verts, indices = b"", []
for n, corners in faces:
    base = len(verts) // 36
    for (x, y, z), (u, v) in zip(corners, uvs):
        # position, normal, texture coordinates, then the colour last
        verts += struct.pack("<3f3f2fI", x, y, z, *n, u, v, COLOUR)
    indices += [base, base + 1, base + 2, base, base + 2, base + 3]

data = b"SKM1" + struct.pack("<3I", len(verts) // 36, len(indices), len(TEXTURE)) + TEXTURE
data += verts + struct.pack("<%dH" % len(indices), *indices)

root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
path = os.path.join(root, "data", "models", "crate.skm")
os.makedirs(os.path.dirname(path), exist_ok=True)
with open(path, "wb") as f:
    f.write(data)
print(path, len(data), "bytes")

# A 32 x 32 crate side: planks, a frame and a diagonal brace, 24-bit.
bmp = os.path.join(root, "data", "textures", "crate.bmp")
os.makedirs(os.path.dirname(bmp), exist_ok=True)
draw = ["-fill", "#8a5a2b", "-draw", "rectangle 0,0 31,31",
        "-fill", "#7a4e24", "-draw", "rectangle 0,10 31,10", "-draw", "rectangle 0,21 31,21",
        "-fill", "#5c3a1a", "-draw", "rectangle 0,0 31,3", "-draw", "rectangle 0,28 31,31",
        "-draw", "rectangle 0,0 3,31", "-draw", "rectangle 28,0 31,31",
        "-stroke", "#5c3a1a", "-strokewidth", "3", "+antialias", "-draw", "line 4,27 27,4"]
subprocess.run(["convert", "-size", "32x32", "xc:black"] + draw + ["-type", "truecolor", "BMP3:" + bmp], check=True)
print(bmp)
