#!/usr/bin/env python3
"""Draws the console window's pictures into host/window/images (standard library only).

Run from the repository root: python3 scripts/make-console-images.py
The outputs are committed and compiled into the window library; run again only to change a
picture. Tool-bar and menu images come in two sizes (LARGE_n 24 x 24, SMALL_n 16 x 16) with the
same index meaning: 0 run / default browser, 1 copy start address, 2 reset sessions, 3 debug log,
4 SSL, 5 about, 6 Opera, 7 Firefox, 8 Internet Explorer, 9 Mozilla, 10 Netscape.
"""
import importlib.util
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "host", "window", "images")

# The framework's picture helpers (letter shapes, the pixel font, the blue of the logo).
_spec = importlib.util.spec_from_file_location("make_images", os.path.join(HERE, "make-images.py"))
mi = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(mi)

FONT = dict(mi.FONT)
FONT.update({
    "I": ["01110", "00100", "00100", "00100", "00100", "00100", "01110"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "P": ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    "0": ["01110", "10001", "10011", "10101", "11001", "10001", "01110"],
    "1": ["00100", "01100", "00100", "00100", "00100", "00100", "01110"],
    ".": ["00000", "00000", "00000", "00000", "00000", "01100", "01100"],
})

WHITE = (255, 255, 255)
BLACK = (0, 0, 0)
BLUE, BLUE_DARK = mi.BLUE_TOP, mi.BLUE_BOTTOM
GREEN, GREEN_DARK = (70, 170, 60), (30, 110, 30)
RED, ORANGE, GOLD = (200, 40, 40), (232, 118, 34), (222, 170, 40)
GREY, GREY_DARK, PAPER = (150, 150, 150), (80, 80, 80), (250, 250, 245)


class Picture:
    """RGBA pixels; shapes are painted over with anti-aliased coverage."""

    def __init__(self, w, h, bg=None):
        self.w, self.h = w, h
        self.px = [[(0.0, 0.0, 0.0, 0.0) if bg is None else (*bg, 1.0) for _ in range(w)] for _ in range(h)]

    def paint(self, x, y, color, cover):
        r, g, b, a = self.px[y][x]
        out = cover + a * (1 - cover)
        if out <= 0:
            return
        mix = [(c * cover + o * a * (1 - cover)) / out for c, o in zip(color, (r, g, b))]
        self.px[y][x] = (*mix, out)

    def fill(self, inside, color, ss=4):
        """inside(u, v) in units of the picture's width and height (0..1)."""
        for y in range(self.h):
            for x in range(self.w):
                n = sum(inside((x + (i + 0.5) / ss) / self.w, (y + (j + 0.5) / ss) / self.h)
                        for i in range(ss) for j in range(ss))
                if n:
                    self.paint(x, y, color(x, y) if callable(color) else color, n / (ss * ss))

    def text(self, s, x, y, scale, color, gap=1):
        for ch in s:
            for r, bits in enumerate(FONT[ch]):
                for c, bit in enumerate(bits):
                    if bit == "1":
                        for dy in range(scale):
                            for dx in range(scale):
                                if 0 <= x + c * scale + dx < self.w and 0 <= y + r * scale + dy < self.h:
                                    self.paint(x + c * scale + dx, y + r * scale + dy, color, 1.0)
            x += (5 + gap) * scale

    def png(self, path):
        raw = bytearray()
        for row in self.px:
            raw.append(0)
            for r, g, b, a in row:
                raw += bytes((round(r), round(g), round(b), round(a * 255)))

        def chunk(kind, data):
            return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
        data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", self.w, self.h, 8, 6, 0, 0, 0))
        data += chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b"")
        with open(path, "wb") as fh:
            fh.write(data)


def text_width(s, scale, gap=1):
    return len(s) * (5 + gap) * scale - gap * scale


# --- Shapes in unit coordinates ----------------------------------------------------------------

def rect(x0, y0, x1, y1):
    return lambda u, v: x0 <= u <= x1 and y0 <= v <= y1


def rounded(x0, y0, x1, y1, r):
    return mi.rounded_rect(x0, y0, x1, y1, r)


def disc(cx, cy, r):
    return lambda u, v: (u - cx) ** 2 + (v - cy) ** 2 <= r * r


def annulus(cx, cy, r0, r1, from_deg=0, to_deg=360):
    def inside(u, v):
        d = math.hypot(u - cx, v - cy)
        if not (r0 <= d <= r1):
            return False
        ang = math.degrees(math.atan2(v - cy, u - cx)) % 360
        return from_deg <= ang <= to_deg if from_deg <= to_deg else ang >= from_deg or ang <= to_deg
    return inside


def triangle(a, b, c):
    def side(p, q, u, v):
        return (q[0] - p[0]) * (v - p[1]) - (q[1] - p[1]) * (u - p[0])

    def inside(u, v):
        s1, s2, s3 = side(a, b, u, v), side(b, c, u, v), side(c, a, u, v)
        return (s1 >= 0 and s2 >= 0 and s3 >= 0) or (s1 <= 0 and s2 <= 0 and s3 <= 0)
    return inside


def segment(ax, ay, bx, by, width):
    def inside(u, v):
        dx, dy = bx - ax, by - ay
        t = max(0, min(1, ((u - ax) * dx + (v - ay) * dy) / (dx * dx + dy * dy)))
        return math.hypot(u - ax - t * dx, v - ay - t * dy) <= width / 2
    return inside


def vertical(top, bottom, h):
    return lambda x, y: tuple(round(a + (b - a) * min(1, y / max(1, h - 1))) for a, b in zip(top, bottom))


# --- Tool-bar images ---------------------------------------------------------------------------

def run(p):
    p.fill(disc(0.5, 0.5, 0.47), vertical(GREEN, GREEN_DARK, p.h))
    p.fill(triangle((0.38, 0.25), (0.38, 0.75), (0.76, 0.5)), WHITE)


def copy_link(p):
    p.fill(rect(0.1, 0.06, 0.62, 0.7), GREY_DARK)
    p.fill(rect(0.16, 0.12, 0.56, 0.64), PAPER)
    p.fill(rect(0.38, 0.3, 0.9, 0.94), GREY_DARK)
    p.fill(rect(0.44, 0.36, 0.84, 0.88), PAPER)
    for v in (0.5, 0.62, 0.74):
        p.fill(rect(0.5, v, 0.78, v + 0.05), BLUE)


def reset_sessions(p):
    p.fill(annulus(0.5, 0.52, 0.26, 0.42, 20, 300), ORANGE)
    p.fill(triangle((0.62, 0.02), (0.98, 0.26), (0.6, 0.42)), ORANGE)


def debug_log(p):
    p.fill(rect(0.14, 0.04, 0.86, 0.96), GREY_DARK)
    p.fill(rect(0.2, 0.1, 0.8, 0.9), PAPER)
    for i, v in enumerate((0.22, 0.38, 0.54, 0.7)):
        p.fill(rect(0.28, v, 0.72 - 0.12 * (i % 2), v + 0.07), BLUE_DARK)


def ssl(p):
    p.fill(annulus(0.5, 0.4, 0.17, 0.29, 180, 360), GREY_DARK)
    p.fill(rect(0.21, 0.38, 0.29, 0.48), GREY_DARK)
    p.fill(rect(0.71, 0.38, 0.79, 0.48), GREY_DARK)
    p.fill(rounded(0.12, 0.46, 0.88, 0.96, 0.08), vertical(GOLD, ORANGE, p.h))
    p.fill(disc(0.5, 0.66, 0.08), GREY_DARK)
    p.fill(rect(0.46, 0.66, 0.54, 0.84), GREY_DARK)


def about(p):
    p.fill(disc(0.5, 0.5, 0.47), vertical(BLUE, BLUE_DARK, p.h))
    p.fill(disc(0.5, 0.27, 0.08), WHITE)
    p.fill(rect(0.42, 0.42, 0.58, 0.8), WHITE)


def opera(p):
    p.fill(lambda u, v: ((u - 0.5) / 0.42) ** 2 + ((v - 0.5) / 0.47) ** 2 <= 1
           and ((u - 0.5) / 0.2) ** 2 + ((v - 0.5) / 0.36) ** 2 > 1, vertical(RED, (140, 10, 20), p.h))


def firefox(p):
    p.fill(disc(0.5, 0.5, 0.44), vertical((60, 120, 210), (20, 50, 140), p.h))
    p.fill(annulus(0.5, 0.5, 0.3, 0.48, 150, 60), vertical((255, 160, 40), (220, 70, 20), p.h))
    p.fill(triangle((0.12, 0.3), (0.34, 0.02), (0.42, 0.3)), (240, 110, 30))


def internet_explorer(p):
    blue = vertical((70, 150, 230), (20, 80, 170), p.h)
    p.fill(annulus(0.5, 0.54, 0.22, 0.38, 10, 330), blue)
    p.fill(rect(0.2, 0.48, 0.82, 0.6), blue)
    p.fill(annulus(0.5, 0.54, 0.4, 0.48, 200, 300), GOLD)


def mozilla(p):
    p.fill(rounded(0.04, 0.04, 0.96, 0.96, 0.2), vertical((220, 60, 40), (150, 20, 20), p.h))
    scale = 1 if p.w < 20 else 2
    w = text_width("M", scale)
    p.text("M", (p.w - w) // 2, (p.h - 7 * scale) // 2, scale, WHITE)


def netscape(p):
    p.fill(rounded(0.04, 0.04, 0.96, 0.96, 0.2), vertical((40, 90, 150), (10, 40, 90), p.h))
    p.fill(rect(0.04, 0.62, 0.96, 0.74), (40, 150, 140))
    scale = 1 if p.w < 20 else 2
    w = text_width("N", scale)
    p.text("N", (p.w - w) // 2, (p.h - 7 * scale) // 2 - scale, scale, WHITE)


TOOL_IMAGES = [run, copy_link, reset_sessions, debug_log, ssl, about, opera, firefox, internet_explorer,
               mozilla, netscape]


# --- Device and speed pictures (32 x 32) --------------------------------------------------------

def pda(p):
    p.fill(rounded(0.2, 0.03, 0.8, 0.97, 0.08), GREY_DARK)
    p.fill(rect(0.28, 0.11, 0.72, 0.66), vertical((200, 230, 200), (150, 190, 150), p.h))
    for u in (0.3, 0.5, 0.7):
        p.fill(disc(u, 0.8, 0.06), GREY)


def phone(p):
    p.fill(rect(0.62, 0.02, 0.68, 0.2), GREY_DARK)
    p.fill(rounded(0.28, 0.16, 0.72, 0.98, 0.08), GREY_DARK)
    p.fill(rect(0.34, 0.24, 0.66, 0.5), vertical((190, 215, 240), (120, 160, 210), p.h))
    for v in (0.6, 0.72, 0.84):
        for u in (0.39, 0.5, 0.61):
            p.fill(disc(u, v, 0.035), (220, 220, 220))


def modem(p):
    p.fill(rounded(0.06, 0.4, 0.94, 0.78, 0.06), vertical((110, 110, 120), (60, 60, 70), p.h))
    for i, u in enumerate((0.2, 0.32, 0.44, 0.56)):
        p.fill(disc(u, 0.58, 0.04), (90, 230, 90) if i % 2 == 0 else (240, 200, 60))
    p.fill(segment(0.8, 0.4, 0.9, 0.08, 0.05), GREY_DARK)


def cable(p):
    p.fill(rounded(0.08, 0.46, 0.92, 0.82, 0.06), vertical((90, 120, 170), (40, 60, 110), p.h))
    p.fill(disc(0.26, 0.64, 0.05), (90, 230, 90))
    p.fill(annulus(0.5, 0.46, 0.2, 0.26, 180, 360), GREY_DARK)
    p.fill(annulus(0.5, 0.46, 0.32, 0.38, 190, 350), GREY_DARK)


def network(p):
    nodes = [(0.5, 0.18), (0.18, 0.8), (0.82, 0.8)]
    for a in range(3):
        for b in range(a + 1, 3):
            p.fill(segment(*nodes[a], *nodes[b], 0.06), GREY_DARK)
    for u, v in nodes:
        p.fill(rounded(u - 0.14, v - 0.11, u + 0.14, v + 0.11, 0.03), vertical(BLUE, BLUE_DARK, p.h))


DEVICE_PICTURES = {"PDA": pda, "PHONE": phone, "DEV_MODEM": modem, "DEV_CABLE": cable, "DEV_NETWORK": network}


# --- Application icon and the About picture ------------------------------------------------------

def app_icon(size):
    p = Picture(size, size)
    p.fill(rounded(0, 0, 1, 1, 0.22), vertical(BLUE, BLUE_DARK, size))
    m = 0.2
    p.fill(lambda u, v: mi.letter_k(m + 0.04, m, 1 - 2 * m, 0.16)(u, v), WHITE)
    return p


def splash():
    w, h = 360, 270
    p = Picture(w, h)
    p.fill(lambda u, v: True, vertical((44, 110, 190), (12, 36, 80), h))
    p.fill(lambda u, v: (u - 1.05) ** 2 + (v + 0.1) ** 2 <= 0.45, (60, 130, 210))
    p.fill(rounded(0.06, 0.09, 0.2, 0.27, 0.03), WHITE)
    k = mi.letter_k(0.085 * w, 0.125 * h, 0.09 * w, 0.026 * w)   # pixel coordinates
    p.fill(lambda u, v: k(u * w, v * h), BLUE_DARK)
    p.text("KEXALO", 90, 28, 4, WHITE)
    p.text("FORMS SERVER", 92, 66, 2, (200, 220, 245), gap=2)
    p.fill(rect(0.0, 0.9, 1.0, 1.0), (10, 30, 70))
    return p


def main():
    os.makedirs(OUT, exist_ok=True)
    for i, draw in enumerate(TOOL_IMAGES):
        for prefix, size in (("LARGE", 24), ("SMALL", 16)):
            p = Picture(size, size)
            draw(p)
            p.png(os.path.join(OUT, "%s_%d.png" % (prefix, i)))
    for name, draw in DEVICE_PICTURES.items():
        p = Picture(32, 32)
        draw(p)
        p.png(os.path.join(OUT, name + ".png"))
    app_icon(32).png(os.path.join(OUT, "KX_ICON.png"))
    app_icon(16).png(os.path.join(OUT, "KX_ICON_16.png"))
    splash().png(os.path.join(OUT, "KX_SPLASH.png"))


if __name__ == "__main__":
    main()
