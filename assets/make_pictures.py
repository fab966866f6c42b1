#!/usr/bin/env python3
# The recipe for the program's stored pictures. The pictures it writes are
# committed beside it and used as they are by the build; run this only to
# change them:
#
#     python3 assets/make_pictures.py            (from the repository root)
#
# It writes, next to itself:
#   padlock.ico       32 x 32, 32-bit BGRA with real alpha: a golden padlock
#   state_images.bmp  36 x 13, 24-bit: three 12 x 13 monitors side by side,
#                     screen green (online), red (offline), yellow (not yet
#                     probed), on magenta (255,0,255), the transparency colour
#   banner.jpg        265 x 64 baseline JPEG, quality 90: the main window's
#                     banner (drawn here, lettered and compressed by
#                     ImageMagick's `convert` with the WenQuanYi Micro Hei font)
#
# Python standard library only; the JPEG step needs `convert` (imagemagick)
# and fonts-wqy-microhei.

import math
import os
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
FONT = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"


# ---------------------------------------------------------------- geometry

def sd_round_rect(x, y, x0, y0, x1, y1, r):
    """Signed distance to a rounded rectangle (negative inside)."""
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r
    qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    inside = min(max(qx, qy), 0.0)
    return outside + inside - r


def sd_circle(x, y, cx, cy, r):
    return math.hypot(x - cx, y - cy) - r


def sd_segment(x, y, ax, ay, bx, by, r):
    """Signed distance to a capsule: the segment a-b thickened by r."""
    px, py = x - ax, y - ay
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, (px * dx + py * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - dx * t, py - dy * t) - r


def mix(c0, c1, t):
    t = max(0.0, min(1.0, t))
    return tuple(a + (b - a) * t for a, b in zip(c0, c1))


def over(dst, src, a):
    """Paint colour src with opacity a over the opaque colour dst."""
    return mix(dst, src, a)


def render(width, height, scene, ss):
    """Average scene(x, y) -> (r, g, b, a) over ss x ss samples a pixel.
    Returns rows of (r, g, b, a) bytes with straight (non-premultiplied)
    alpha."""
    rows = []
    n = ss * ss
    for py in range(height):
        row = []
        for px in range(width):
            pr = pg = pb = pa = 0.0
            for sy in range(ss):
                for sx in range(ss):
                    r, g, b, a = scene(px + (sx + 0.5) / ss, py + (sy + 0.5) / ss)
                    pr += r * a
                    pg += g * a
                    pb += b * a
                    pa += a
            if pa > 0:
                row.append((round(pr / pa), round(pg / pa), round(pb / pa),
                            round(255 * pa / n)))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


# ---------------------------------------------------------------- padlock

GOLD_LIGHT = (255, 236, 150)
GOLD_MID = (240, 186, 40)
GOLD_DARK = (176, 118, 10)
GOLD_EDGE = (120, 76, 6)
STEEL_LIGHT = (236, 232, 220)
STEEL_DARK = (120, 104, 70)
STEEL_EDGE = (92, 80, 58)
KEYHOLE = (70, 40, 6)


def padlock_scene(x, y):
    # Body: a rounded slab, lit from the top left.
    body = sd_round_rect(x, y, 4.5, 13.5, 27.5, 30.5, 3.5)
    # Keyhole: a round head and a tapering slot.
    hole = min(sd_circle(x, y, 16.0, 20.2, 2.4),
               sd_segment(x, y, 16.0, 21.0, 16.0, 25.6, 1.15))
    # Shackle: a half ring on two legs that enter the body.
    ring_r, ring_w = 7.0, 1.7
    if y <= 11.0:
        shackle = abs(math.hypot(x - 16.0, y - 11.0) - ring_r) - ring_w
    else:
        shackle = min(abs(x - (16.0 - ring_r)), abs(x - (16.0 + ring_r))) - ring_w
        shackle = max(shackle, y - 15.0)

    if body <= 0:
        if hole <= 0:
            return KEYHOLE + (1.0,)
        t = (y - 13.5) / 17.0
        c = mix(GOLD_LIGHT, GOLD_MID, t / 0.45) if t < 0.45 else \
            mix(GOLD_MID, GOLD_DARK, (t - 0.45) / 0.55)
        # a soft sheen on the upper left
        sheen = max(0.0, 1.0 - math.hypot(x - 9.0, y - 16.5) / 5.0)
        c = mix(c, (255, 250, 220), 0.55 * sheen)
        # a bevel just inside the edge of the keyhole
        if hole <= 0.9:
            c = mix(c, GOLD_DARK, 0.6)
        if body > -1.0:
            c = mix(c, GOLD_EDGE, 0.85)
        return c + (1.0,)
    if shackle <= 0:
        # round bar shading: light on the side facing the top left
        if y <= 11.0:
            d = math.hypot(x - 16.0, y - 11.0) - ring_r
        else:
            d = x - (16.0 - ring_r) if x < 16.0 else x - (16.0 + ring_r)
        t = (d + ring_w) / (2 * ring_w)
        c = mix(STEEL_LIGHT, STEEL_DARK, t)
        c = mix(c, GOLD_MID, 0.45)
        if shackle > -0.8:
            c = mix(c, STEEL_EDGE, 0.85)
        return c + (1.0,)
    return (0, 0, 0, 0.0)


def write_ico(path, rows):
    """One 32-bit image with its AND mask, as Windows stores icons."""
    h = len(rows)
    w = len(rows[0])
    xor = bytearray()
    for row in reversed(rows):                  # bottom-up
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    stride = ((w + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for i, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[i // 8] |= 0x80 >> (i % 8)
        mask += line
    header = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, 32, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    image = header + xor + mask
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32,
                        len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(icondir + entry + image)


# ---------------------------------------------------------------- state images

# 12 x 13 monitor. O outline, B bezel, b bezel shade, S screen, H screen
# highlight, D screen shade, . background.
MONITOR = [
    ".OOOOOOOOOO.",
    "OBBBBBBBBBBO",
    "OBDDDDDDDDBO",
    "OBDHHSSSSSbO",
    "OBDHSSSSSSbO",
    "OBDSSSSSSSbO",
    "OBDSSSSSSSbO",
    "OBbbbbbbbbbO",
    ".OOOOOOOOOO.",
    ".....Ob.....",
    "....ObbO....",
    "..OBBBBBbO..",
    "..OOOOOOOO..",
]

MAGENTA = (255, 0, 255)
SCREENS = [                     # (shade, screen, highlight)
    ((0, 110, 0), (0, 200, 0), (150, 255, 150)),      # online
    ((130, 0, 0), (224, 0, 0), (255, 150, 150)),      # offline
    ((150, 120, 0), (240, 208, 0), (255, 250, 170)),  # not yet probed
]


def state_images():
    rows = [[] for _ in MONITOR]
    for shade, screen, light in SCREENS:
        palette = {
            "O": (48, 48, 48), "B": (208, 208, 208), "b": (128, 128, 128),
            "S": screen, "H": light, "D": shade, ".": MAGENTA,
        }
        for y, line in enumerate(MONITOR):
            assert len(line) == 12
            rows[y] += [palette[ch] for ch in line]
    return rows


def write_bmp24(path, rows):
    h = len(rows)
    w = len(rows[0])
    stride = (w * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):                  # bottom-up
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += bytes(stride - len(line))
        pixels += line
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels),
                       2835, 2835, 0, 0)
    file_header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0,
                              14 + 40)
    with open(path, "wb") as f:
        f.write(file_header + info + pixels)


# ---------------------------------------------------------------- banner

BANNER_W, BANNER_H = 265, 64
NODES = [(244, 9), (259, 22), (240, 31), (255, 45), (228, 47), (213, 40)]
LINKS = [(0, 1), (0, 2), (1, 2), (2, 3), (1, 3), (2, 4), (3, 4), (4, 5)]


def banner_scene(x, y):
    # Deep blue on the left to a brighter blue on the right, lighter on top.
    t = x / BANNER_W
    c = mix((12, 44, 112), (36, 112, 196), t)
    c = mix(c, (255, 255, 255), 0.10 * max(0.0, 1.0 - y / 30.0))
    # A faint network of links and nodes behind the lettering.
    d = min(sd_segment(x, y, *NODES[a], *NODES[b], 0.45) for a, b in LINKS)
    c = over(c, (200, 228, 255), 0.30 * max(0.0, min(1.0, 0.5 - d)))
    for nx, ny in NODES:
        dn = sd_circle(x, y, nx, ny, 2.2)
        if dn < 0.5:
            c = over(c, (220, 240, 255), 0.65 * min(1.0, 0.5 - dn))

    # The monitor, left.
    frame = sd_round_rect(x, y, 9.5, 7.5, 52.5, 40.5, 3.0)
    screen = sd_round_rect(x, y, 13.5, 11.5, 48.5, 35.5, 1.0)
    neck = sd_round_rect(x, y, 27.5, 40.0, 34.5, 46.5, 0.5)
    foot = sd_round_rect(x, y, 19.5, 46.0, 42.5, 50.5, 2.0)
    stand = min(neck, foot)
    if stand < 0.5:
        s = mix((214, 222, 232), (150, 162, 180), (y - 40.0) / 10.0)
        c = over(c, s, min(1.0, 0.5 - stand))
    if frame < 0.5:
        f = mix((236, 240, 246), (170, 182, 200), (y - 7.5) / 33.0)
        if frame > -1.0:
            f = mix(f, (70, 86, 110), 0.7)
        c = over(c, f, min(1.0, 0.5 - frame))
    if screen < 0.5:
        s = mix((40, 150, 236), (10, 70, 160), (y - 11.5) / 24.0)
        # a diagonal gloss on the glass
        if x + y < 44:
            s = mix(s, (255, 255, 255), 0.18)
        # a remote-desktop window on the screen
        win = sd_round_rect(x, y, 20.5, 17.5, 41.5, 30.5, 0.5)
        bar = sd_round_rect(x, y, 20.5, 17.5, 41.5, 20.5, 0.5)
        if win < 0.5:
            s = over(s, (230, 240, 250), 0.9 * min(1.0, 0.5 - win))
        if bar < 0.5:
            s = over(s, (255, 160, 40), min(1.0, 0.5 - bar))
        c = over(c, s, min(1.0, 0.5 - screen))
    return c + (1.0,)


def write_ppm(path, rows):
    with open(path, "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (len(rows[0]), len(rows)))
        for row in rows:
            for r, g, b, _ in row:
                f.write(bytes((r, g, b)))


def make_banner(path):
    rows = render(BANNER_W, BANNER_H, banner_scene, 4)
    with tempfile.TemporaryDirectory() as tmp:
        base = os.path.join(tmp, "banner.ppm")
        write_ppm(base, rows)
        subprocess.run([
            "convert", base,
            "-font", FONT, "-fill", "white",
            "-stroke", "none",
            "-pointsize", "23", "-annotate", "+64+30", "3389远程连接器",
            "-fill", "#cfe4ff",
            "-pointsize", "11", "-annotate", "+66+48", "Remote Desktop Connector",
            "-strip", "-interlace", "none", "-sampling-factor", "2x2",
            "-quality", "90", "jpeg:" + path,
        ], check=True)
    with open(path, "rb") as f:
        data = f.read()
    # Baseline (SOF0), not progressive, and small.
    assert b"\xff\xc0" in data and b"\xff\xc2" not in data, "not baseline"
    assert len(data) < 20000, "banner too large"


def main():
    write_ico(os.path.join(HERE, "padlock.ico"),
              render(32, 32, padlock_scene, 8))
    write_bmp24(os.path.join(HERE, "state_images.bmp"), state_images())
    make_banner(os.path.join(HERE, "banner.jpg"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
