#!/usr/bin/env python3
"""Draws the program's icon (a page with a shrinking arrow) as PNG files in the
hicolor theme sizes, with no library beyond the standard one."""
import struct, sys, zlib, os

def png(size, pixels):
    raw = b"".join(b"\x00" + bytes(pixels[y * size * 4:(y + 1) * size * 4]) for y in range(size))
    def chunk(tag, data):
        return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data) & 0xffffffff)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))

def draw(size):
    s = 4  # supersampling
    n = size * s
    acc = [0.0] * (size * size * 4)
    def inside_page(x, y):
        return 0.18 * n <= x <= 0.82 * n and 0.06 * n <= y <= 0.94 * n and not (x - 0.64 * n > y - 0.06 * n + 0 and x > 0.64 * n and y < 0.24 * n)
    def on_bar(x, y, top):
        return 0.28 * n <= x <= 0.72 * n and top * n <= y <= (top + 0.06) * n
    def on_arrow(x, y):
        cx, cy = 0.5 * n, 0.70 * n
        return abs(x - cx) <= (0.20 * n - abs(y - cy) * 1.0) and abs(y - cy) <= 0.12 * n and abs(x - cx) >= 0.0
    for py in range(n):
        for px in range(n):
            x, y = px + 0.5, py + 0.5
            color = None
            if inside_page(x, y):
                color = (250, 250, 245, 255)
                if on_bar(x, y, 0.26) or on_bar(x, y, 0.38):
                    color = (70, 110, 170, 255)
                if on_arrow(x, y):
                    color = (230, 120, 30, 255)
            elif 0.16 * n <= x <= 0.84 * n and 0.04 * n <= y <= 0.96 * n and not (x > 0.64 * n and y < 0.24 * n and x - 0.64 * n > y - 0.04 * n):
                color = (60, 60, 70, 255)
            if color:
                i = ((py // s) * size + px // s) * 4
                for k in range(4):
                    acc[i + k] += color[k] * (color[3] / 255.0 if k < 3 else 1.0)
    out = []
    for i in range(0, len(acc), 4):
        a = acc[i + 3] / (s * s)
        if a <= 0:
            out += [0, 0, 0, 0]
        else:
            out += [min(255, round(acc[i + k] / (s * s) * 255 / a)) for k in range(3)] + [round(a)]
    return out

outdir = sys.argv[1] if len(sys.argv) > 1 else "packaging/icons"
for size in (16, 32, 48, 64, 128, 256):
    with open(os.path.join(outdir, f"tersify-{size}.png"), "wb") as f:
        f.write(png(size, draw(size)))
