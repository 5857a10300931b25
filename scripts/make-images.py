#!/usr/bin/env python3
"""Draws the framework's built-in images into lib/assets/gfx (standard library only).

Run from the repository root: python3 scripts/make-images.py
The outputs are committed; run again only to change a picture.
"""
import math
import os
import struct

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "lib", "assets", "gfx")

# 5 x 7 capitals, one string of five bits per row.
FONT = {
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "F": ["11111", "10000", "10000", "11110", "10000", "10000", "10000"],
    "K": ["10001", "10010", "10100", "11000", "10100", "10010", "10001"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "M": ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "V": ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    "W": ["10001", "10001", "10001", "10101", "10101", "10101", "01010"],
    "X": ["10001", "10001", "01010", "00100", "01010", "10001", "10001"],
    " ": ["00000"] * 7,
}


class Canvas:
    def __init__(self, w, h, bg=(255, 255, 255)):
        self.w, self.h = w, h
        self.px = [[bg for _ in range(w)] for _ in range(h)]
        self.alpha = [[255] * w for _ in range(h)]

    def blend(self, x, y, color, cover):
        if 0 <= x < self.w and 0 <= y < self.h and cover > 0:
            old = self.px[y][x]
            self.px[y][x] = tuple(round(o + (c - o) * cover) for o, c in zip(old, color))

    def shape(self, inside, color, x0=0, y0=0, x1=None, y1=None, ss=4):
        """Fills the pixels for which inside(x, y) holds, anti-aliased by supersampling."""
        x1 = self.w if x1 is None else x1
        y1 = self.h if y1 is None else y1
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                n = sum(inside(x + (i + 0.5) / ss, y + (j + 0.5) / ss) for i in range(ss) for j in range(ss))
                self.blend(x, y, color(x, y) if callable(color) else color, n / (ss * ss))

    def text(self, s, x, y, scale, color, gap=1):
        for ch in s:
            rows = FONT[ch]
            for r, bits in enumerate(rows):
                for c, b in enumerate(bits):
                    if b == "1":
                        for dy in range(scale):
                            for dx in range(scale):
                                self.blend(x + c * scale + dx, y + r * scale + dy, color, 1.0)
            x += (5 + gap) * scale

    @staticmethod
    def text_width(s, scale, gap=1):
        return len(s) * (5 + gap) * scale - gap * scale


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x < x1 and y0 <= y < y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r0, r1):
    return lambda x, y: r0 * r0 <= (x - cx) ** 2 + (y - cy) ** 2 <= r1 * r1


def letter_k(x0, y0, size, stroke):
    """A geometric K inside a size x size box: a stem and two arms."""
    def near_segment(px, py, ax, ay, bx, by):
        vx, vy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((px - ax) * vx + (py - ay) * vy) / (vx * vx + vy * vy)))
        return math.hypot(px - (ax + t * vx), py - (ay + t * vy)) <= stroke / 2

    def inside(x, y):
        u, v = x - x0, y - y0
        if not (0 <= u <= size and 0 <= v <= size):
            return False
        stem = stroke * 0.5 <= u + stroke * 0.5 <= stroke * 1.5 and 0 <= v <= size
        mid = size * 0.55
        arm1 = near_segment(u, v, stroke, mid, size - stroke * 0.6, stroke * 0.6)
        arm2 = near_segment(u, v, stroke + size * 0.18, mid - size * 0.1, size - stroke * 0.6, size - stroke * 0.6)
        return stem or arm1 or arm2
    return inside


# --- GIF writing --------------------------------------------------------------------------------

def lzw(indices, min_size):
    clear, end = 1 << min_size, (1 << min_size) + 1
    out, bitbuf, bitcnt = bytearray(), 0, 0
    size = min_size + 1

    def emit(code):
        nonlocal bitbuf, bitcnt
        bitbuf |= code << bitcnt
        bitcnt += size
        while bitcnt >= 8:
            out.append(bitbuf & 0xFF)
            bitbuf >>= 8
            bitcnt -= 8

    table = {(i,): i for i in range(clear)}
    nxt = end + 1
    emit(clear)
    w = ()
    for k in indices:
        wk = w + (k,)
        if wk in table:
            w = wk
            continue
        emit(table[w])
        if nxt < 4096:
            table[wk] = nxt
            nxt += 1
            if nxt > (1 << size) and size < 12:
                size += 1
        else:
            emit(clear)
            table = {(i,): i for i in range(clear)}
            nxt, size = end + 1, min_size + 1
        w = (k,)
    if w:
        emit(table[w])
    emit(end)
    if bitcnt:
        out.append(bitbuf & 0xFF)
    blocks = bytearray()
    for i in range(0, len(out), 255):
        chunk = out[i:i + 255]
        blocks += bytes([len(chunk)]) + chunk
    return bytes(blocks) + b"\x00"


def write_gif(path, frames, w, h, transparent=None, delay_cs=0):
    """frames: lists of rows of (r, g, b) or None (transparent); one shared palette of <= 256."""
    palette = []
    lookup = {}
    if transparent is not None:
        palette.append((255, 255, 255))
    for f in frames:
        for row in f:
            for p in row:
                if p is not None and p not in lookup:
                    lookup[p] = len(palette)
                    palette.append(p)
    if len(palette) > 256:
        raise SystemExit("%s: %d colours, more than a GIF holds" % (path, len(palette)))
    bits = max(1, (len(palette) - 1).bit_length())
    palette += [(0, 0, 0)] * ((1 << bits) - len(palette))
    data = bytearray(b"GIF89a" + struct.pack("<HHBBB", w, h, 0x80 | ((bits - 1) << 4) | (bits - 1), 0, 0))
    for c in palette:
        data += bytes(c)
    if len(frames) > 1:
        data += b"\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00"   # loop forever
    for f in frames:
        flags = (2 << 2) | (1 if transparent is not None else 0)  # dispose to background
        data += b"\x21\xF9\x04" + struct.pack("<BHBB", flags, delay_cs, 0, 0)
        data += b"\x2C" + struct.pack("<HHHHB", 0, 0, w, h, 0)
        idx = [0 if p is None else lookup[p] for row in f for p in row]
        data += bytes([max(2, bits)]) + lzw(idx, max(2, bits))
    data += b"\x3B"
    with open(path, "wb") as fh:
        fh.write(data)


def quantize(canvas, levels=None, transparent_color=None):
    """Rows of colours reduced to a small palette (each channel rounded to a step)."""
    step = levels or 1
    rows = []
    for y in range(canvas.h):
        row = []
        for x in range(canvas.w):
            p = canvas.px[y][x]
            if transparent_color is not None and p == transparent_color:
                row.append(None)
            else:
                row.append(tuple(min(255, round(c / step) * step) for c in p))
        rows.append(row)
    return rows


# --- ICO writing --------------------------------------------------------------------------------

def ico_image(canvas):
    """A 32 bits per pixel DIB entry: BGRA rows bottom-up, then the 1-bit AND mask."""
    w, h = canvas.w, canvas.h
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, w * h * 4, 0, 0, 0, 0)
    pixels = bytearray()
    for y in range(h - 1, -1, -1):
        for x in range(w):
            r, g, b = canvas.px[y][x]
            pixels += bytes((b, g, r, canvas.alpha[y][x]))
    row_bytes = ((w + 31) // 32) * 4
    mask = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(row_bytes)
        for x in range(w):
            if canvas.alpha[y][x] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    return header + pixels + mask


def write_ico(path, canvases):
    images = [ico_image(c) for c in canvases]
    data = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for c, img in zip(canvases, images):
        data += struct.pack("<BBBBHHII", c.w % 256, c.h % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    for img in images:
        data += img
    with open(path, "wb") as fh:
        fh.write(data)


# --- The pictures -------------------------------------------------------------------------------

BLUE_TOP, BLUE_BOTTOM = (44, 110, 190), (20, 60, 120)
ORANGE = (232, 118, 34)
WHITE = (255, 255, 255)


def vertical_gradient(y0, y1, top, bottom):
    def color(x, y):
        t = 0 if y1 <= y0 else min(1, max(0, (y - y0) / (y1 - y0)))
        return tuple(round(a + (b - a) * t) for a, b in zip(top, bottom))
    return color


def kexalo_logo():
    c = Canvas(171, 75)
    c.shape(rounded_rect(2, 2, 169, 73, 12), vertical_gradient(2, 73, BLUE_TOP, BLUE_BOTTOM))
    # The mark: a white tile with a blue K.
    c.shape(rounded_rect(10, 17, 50, 57, 8), WHITE)
    c.shape(letter_k(17, 24, 26, 6.5), BLUE_BOTTOM)
    c.text("KEXALO", 58, 20, 3, WHITE)
    c.text("FORMS SERVER", 59, 47, 1, (200, 220, 245), gap=2)
    return c


def velmor_logo():
    c = Canvas(105, 141)
    c.shape(circle(52.5, 50, 40), ORANGE)
    c.shape(ring(52.5, 50, 32, 35), WHITE)

    def v_shape(x, y):
        # Two strokes meeting at the bottom: |x - centre| grows with the height.
        top, bottom = 28, 72
        if not (top <= y <= bottom):
            return False
        t = (bottom - y) / (bottom - top)
        half = 2 + t * 17
        d = abs(x - 52.5)
        return half - 7 <= d <= half
    c.shape(v_shape, WHITE)
    w = Canvas.text_width("VELMOR", 2)
    c.text("VELMOR", (105 - w) // 2, 100, 2, (60, 60, 60))
    w = Canvas.text_width("SOFTWARE", 1, gap=2)
    c.text("SOFTWARE", (105 - w) // 2 + 1, 122, 1, ORANGE, gap=2)
    return c


def loading_frames():
    frames = []
    n = 8
    for f in range(n):
        c = Canvas(32, 32)
        for i in range(n):
            age = (f - i) % n          # 0 = the newest dot
            color = tuple(  # the newest dot darkest, older ones fading
                min(255, round(a + (255 - a) * (age / (n - 1)) * 0.85)) for a in BLUE_TOP)
            ang = 2 * math.pi * i / n - math.pi / 2
            cx, cy = 16 + 11 * math.cos(ang), 16 + 11 * math.sin(ang)
            r = 3.6 - age * 0.25
            c.shape(circle(cx, cy, r), color, int(cx - 5), int(cy - 5), int(cx + 6), int(cy + 6))
        frames.append(quantize(c, 5, transparent_color=WHITE))
    return frames


def menu_arrow():
    c = Canvas(16, 16)
    c.shape(lambda x, y: 6 <= x <= 11 and abs(y - 8) <= (11 - x) * 0.85, (0, 0, 0))
    return quantize(c, 17, transparent_color=WHITE)


def favicon(size):
    c = Canvas(size, size, bg=(0, 0, 0))
    for y in range(size):
        for x in range(size):
            c.alpha[y][x] = 0
    inside = rounded_rect(0, 0, size, size, size * 0.22)
    grad = vertical_gradient(0, size, BLUE_TOP, BLUE_BOTTOM)
    ss = 4
    for y in range(size):
        for x in range(size):
            n = sum(inside(x + (i + 0.5) / ss, y + (j + 0.5) / ss) for i in range(ss) for j in range(ss))
            c.px[y][x] = grad(x, y)
            c.alpha[y][x] = round(255 * n / (ss * ss))
    m = size * 0.2
    c.shape(letter_k(m + size * 0.04, m, size - 2 * m, size * 0.16), WHITE)
    return c


def main():
    os.makedirs(OUT, exist_ok=True)
    write_gif(os.path.join(OUT, "Tp.gif"), [[[None]]], 1, 1, transparent=True)
    k = kexalo_logo()
    write_gif(os.path.join(OUT, "KexaloLogo.gif"), [quantize(k, 5)], k.w, k.h)
    v = velmor_logo()
    write_gif(os.path.join(OUT, "VelmorLogo.gif"), [quantize(v, 5)], v.w, v.h)
    write_gif(os.path.join(OUT, "loading.gif"), loading_frames(), 32, 32, transparent=True, delay_cs=10)
    write_gif(os.path.join(OUT, "menu_arrow_right.gif"), [menu_arrow()], 16, 16, transparent=True)
    write_ico(os.path.join(OUT, "favicon.ico"), [favicon(16), favicon(32)])


if __name__ == "__main__":
    main()
