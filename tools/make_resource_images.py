#!/usr/bin/env python3
"""Draws the pictures of the resource module (toolbar strips, image lists, icons, cursors,
dialog backgrounds) and writes them as PNG files under resources/.

Run once after changing a picture and commit the output:
    python3 tools/make_resource_images.py resources
Only the standard library is used (zlib for the PNG stream).
"""
import os
import struct
import sys
import zlib

MAGENTA = (255, 0, 255, 255)
BLACK = (0, 0, 0, 255)
PALETTE_INK = (32, 32, 32)  # dark ink for the palette lists, whose mask colour is black
CLEAR = (0, 0, 0, 0)


class Canvas:
    def __init__(self, w, h, bg):
        self.w, self.h = w, h
        self.px = [[bg] * w for _ in range(h)]

    def set(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c if len(c) == 4 else (c[0], c[1], c[2], 255)

    def rect(self, x0, y0, x1, y1, c):  # filled, inclusive
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, c)

    def frame(self, x0, y0, x1, y1, c):
        for x in range(x0, x1 + 1):
            self.set(x, y0, c)
            self.set(x, y1, c)
        for y in range(y0, y1 + 1):
            self.set(x0, y, c)
            self.set(x1, y, c)

    def line(self, x0, y0, x1, y1, c):
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
        err = dx + dy
        while True:
            self.set(x0, y0, c)
            if x0 == x1 and y0 == y1:
                break
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    def ellipse(self, cx, cy, rx, ry, c, fill=None):
        for y in range(int(cy - ry) - 1, int(cy + ry) + 2):
            for x in range(int(cx - rx) - 1, int(cx + rx) + 2):
                d = ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2
                if fill is not None and d <= 1.0:
                    self.set(x, y, fill)
                if abs(d - 1.0) <= 0.22:
                    self.set(x, y, c)

    def pattern(self, x0, y0, rows, palette):
        for j, row in enumerate(rows):
            for i, ch in enumerate(row):
                if ch in palette:
                    self.set(x0 + i, y0 + j, palette[ch])

    def write_png(self, path, alpha=False):
        raw = bytearray()
        for row in self.px:
            raw.append(0)
            for p in row:
                raw.extend(p if alpha else p[:3])
        def chunk(tag, data):
            body = tag + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
        ihdr = struct.pack(">IIBBBBB", self.w, self.h, 8, 6 if alpha else 2, 0, 0, 0)
        png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b"")
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(png)


# --- small drawings, each into a 16 x 16 cell at (ox, 0) ---

def cylinder(c, ox, body, top):
    dark = tuple(max(0, v - 70) for v in body[:3])
    c.rect(ox + 3, 4, ox + 12, 12, body)
    c.ellipse(ox + 7.5, 12, 4.5, 2, dark, body)
    c.ellipse(ox + 7.5, 4, 4.5, 2, dark, top)
    for y in range(4, 13):
        c.set(ox + 3, y, dark)
        c.set(ox + 12, y, dark)
    c.line(ox + 4, 8, ox + 11, 8, dark)


def table(c, ox):
    c.rect(ox + 1, 2, ox + 14, 13, (255, 255, 255))
    c.rect(ox + 1, 2, ox + 14, 4, (60, 100, 180))
    c.frame(ox + 1, 2, ox + 14, 13, (40, 40, 40))
    for y in (7, 10):
        c.line(ox + 1, y, ox + 14, y, (120, 120, 120))
    for x in (5, 10):
        c.line(ox + x, 4, ox + x, 13, (120, 120, 120))


def folder(c, ox, open_):
    yellow, edge = (240, 200, 60), (150, 110, 20)
    c.rect(ox + 1, 3, ox + 6, 4, yellow)
    c.rect(ox + 1, 4, ox + 14, 13, yellow)
    c.frame(ox + 1, 4, ox + 14, 13, edge)
    if open_:
        for i in range(6):
            c.line(ox + 3 + i // 2, 7 + i, ox + 15 - i // 3, 7 + i, (255, 225, 120))
        c.line(ox + 3, 7, ox + 15, 7, edge)


def barcode(c, ox, y0=2, y1=13, ink=(0, 0, 0)):
    widths = [1, 0, 1, 1, 0, 1, 0, 0, 1, 1, 1, 0, 1, 0]
    c.rect(ox + 1, y0, ox + 14, y1, (255, 255, 255))
    for i, bar in enumerate(widths):
        if bar:
            c.line(ox + 1 + i, y0 + 1, ox + 1 + i, y1 - 1, ink)


GLYPH_T = ["#########", "#########", "   ###   ", "   ###   ", "   ###   ", "   ###   ", "   ###   ", "   ###   ", "   ###   ", "  #####  "]
GLYPH_A = ["   ##   ", "  ####  ", " ##  ## ", " ##  ## ", "##    ##", "########", "##    ##", "##    ##", "##    ##"]


def text_glyph(c, ox, colour=(0, 0, 120)):
    c.pattern(ox + 3, 3, GLYPH_T, {"#": colour})


def page(c, ox, fold=True):
    c.rect(ox + 3, 1, ox + 12, 14, (255, 255, 255))
    c.frame(ox + 3, 1, ox + 12, 14, (60, 60, 60))
    if fold:
        c.rect(ox + 10, 1, ox + 12, 3, MAGENTA)
        c.line(ox + 10, 1, ox + 12, 3, (60, 60, 60))
        c.line(ox + 10, 1, ox + 10, 3, (60, 60, 60))
        c.line(ox + 10, 3, ox + 12, 3, (60, 60, 60))


def arrow(c, ox, direction, colour=(0, 110, 0)):
    # a stubby arrow pointing up, down, left or right through the cell's centre
    for i in range(5):
        if direction == "up":
            c.line(ox + 7 - i, 3 + i, ox + 8 + i, 3 + i, colour)
        elif direction == "down":
            c.line(ox + 7 - i, 12 - i, ox + 8 + i, 12 - i, colour)
        elif direction == "left":
            c.line(ox + 3 + i, 7 - i, ox + 3 + i, 8 + i, colour)
        else:
            c.line(ox + 12 - i, 7 - i, ox + 12 - i, 8 + i, colour)
    if direction in ("up", "down"):
        y0, y1 = (8, 13) if direction == "up" else (2, 7)
        c.rect(ox + 6, y0, ox + 9, y1, colour)
    else:
        x0, x1 = (8, 13) if direction == "left" else (2, 7)
        c.rect(ox + x0, 6, ox + x1, 9, colour)


def magnifier(c, ox, sign):
    c.ellipse(ox + 6, 6, 4, 4, (40, 40, 40), (200, 230, 255))
    c.line(ox + 9, 9, ox + 14, 14, (90, 60, 20))
    c.line(ox + 10, 9, ox + 14, 13, (90, 60, 20))
    if sign and sign in "+-":
        c.line(ox + 4, 6, ox + 8, 6, (0, 0, 0))
    if sign == "+":
        c.line(ox + 6, 4, ox + 6, 8, (0, 0, 0))
    if sign == "%":
        c.set(ox + 5, 5, (0, 0, 0))
        c.set(ox + 7, 7, (0, 0, 0))
        c.line(ox + 4, 8, ox + 8, 4, (0, 0, 0))


def stacked(c, ox, front_on_top):
    back, front = (150, 150, 150), (60, 120, 220)
    if front_on_top:
        c.rect(ox + 1, 1, ox + 9, 9, back)
        c.rect(ox + 6, 6, ox + 14, 14, front)
    else:
        c.rect(ox + 6, 6, ox + 14, 14, front)
        c.rect(ox + 1, 1, ox + 9, 9, back)
    c.frame(ox + 1, 1, ox + 9, 9, (40, 40, 40))
    c.frame(ox + 6, 6, ox + 14, 14, (40, 40, 40))


def draw_main_toolbar(c):
    # 0 new
    page(c, 0)
    # 1 open
    folder(c, 16, True)
    # 2 save: a diskette
    c.rect(33, 1, 46, 14, (40, 60, 140)); c.rect(36, 1, 43, 6, (230, 230, 230)); c.rect(35, 9, 44, 14, (255, 255, 255)); c.rect(41, 2, 42, 5, (40, 60, 140))
    # 3 cut: scissors
    c.frame(49, 10, 53, 14, (0, 0, 0)); c.frame(58, 10, 62, 14, (0, 0, 0))
    c.line(52, 10, 59, 1, (80, 80, 80)); c.line(53, 10, 60, 1, (80, 80, 80)); c.line(59, 10, 52, 1, (80, 80, 80)); c.line(58, 10, 51, 1, (80, 80, 80))
    # 4 copy: two pages
    c.rect(65, 1, 73, 11, (255, 255, 255)); c.frame(65, 1, 73, 11, (60, 60, 60)); c.rect(70, 4, 78, 14, (255, 255, 255)); c.frame(70, 4, 78, 14, (60, 60, 60))
    # 5 paste: clipboard and page
    c.rect(81, 2, 90, 14, (170, 120, 60)); c.rect(84, 1, 87, 3, (90, 90, 90)); c.rect(86, 6, 94, 15, (255, 255, 255)); c.frame(86, 6, 94, 15, (60, 60, 60))
    # 6 print: printer
    c.rect(100, 1, 107, 6, (255, 255, 255)); c.frame(100, 1, 107, 6, (60, 60, 60)); c.rect(97, 6, 110, 12, (170, 170, 170)); c.frame(97, 6, 110, 12, (60, 60, 60)); c.rect(100, 10, 107, 14, (255, 255, 255)); c.set(108, 8, (0, 200, 0))
    # 7 print preview: page and magnifier
    page(c, 112, False); c.ellipse(121, 9, 3, 3, (40, 40, 40), (200, 230, 255)); c.line(123, 11, 126, 14, (90, 60, 20))
    # 8 zoom box, 9 zoom in, 10 zoom out, 11 zoom 100 %
    magnifier(c, 128, ""); magnifier(c, 144, "+"); magnifier(c, 160, "-"); magnifier(c, 176, "%")
    # 12 fit to window: frame with corner arrows
    c.frame(194, 3, 205, 12, (40, 40, 40)); c.rect(197, 6, 202, 9, (60, 120, 220))
    for x, y, dx, dy in ((192, 1, 1, 1), (207, 1, -1, 1), (192, 14, 1, -1), (207, 14, -1, -1)):
        c.line(x, y, x + 2 * dx, y + 2 * dy, (0, 110, 0))
    # 13 label wizard: label sheet with a star
    c.rect(209, 2, 222, 14, (255, 255, 255)); c.frame(209, 2, 222, 14, (60, 60, 60))
    for y in (4, 9):
        c.rect(211, y, 215, y + 3, (200, 220, 255)); c.rect(217, y, 220, y + 3, (200, 220, 255))
    c.line(221, 0, 221, 4, (230, 160, 0)); c.line(219, 2, 223, 2, (230, 160, 0))
    # 14 export as image: picture with an arrow
    c.rect(225, 4, 236, 14, (150, 200, 255)); c.frame(225, 4, 236, 14, (60, 60, 60)); c.rect(226, 10, 235, 13, (60, 160, 60)); c.ellipse(229, 7, 1.5, 1.5, (240, 200, 0), (240, 200, 0))
    c.line(234, 1, 239, 1, (200, 0, 0)); c.line(239, 1, 239, 6, (200, 0, 0)); c.line(233, 7, 239, 1, (200, 0, 0))
    # 15 about: a question mark in a circle
    c.ellipse(247.5, 7.5, 6.5, 6.5, (0, 60, 160), (60, 110, 220))
    c.pattern(245, 3, [" ### ", "#   #", "    #", "   # ", "  #  ", "     ", "  #  "], {"#": (255, 255, 255)})


def draw_second_toolbar(c):
    k = (0, 0, 0)
    # 0 select: arrow pointer
    c.pattern(4, 1, ["#", "##", "#.#", "#..#", "#...#", "#....#", "#.....#", "#..####", "#.#", "##.#", "#  #.#", "   #.#", "    #"], {"#": k, ".": (255, 255, 255)})
    # 1 text
    text_glyph(c, 16)
    # 2 barcode
    barcode(c, 32)
    # 3 line
    c.line(50, 13, 61, 2, k); c.line(51, 13, 62, 2, k)
    # 4 rectangle, 5 rounded rectangle, 6 ellipse
    c.frame(65, 3, 78, 12, k)
    c.frame(82, 3, 93, 12, k); c.set(82, 3, MAGENTA); c.set(93, 3, MAGENTA); c.set(82, 12, MAGENTA); c.set(93, 12, MAGENTA)
    c.set(83, 4, k); c.set(92, 4, k); c.set(83, 11, k); c.set(92, 11, k)
    c.ellipse(103.5, 7.5, 6.5, 4.5, k)
    # 7 polygon
    pts = [(113, 12), (117, 2), (126, 5), (124, 13), (113, 12)]
    for a, b in zip(pts, pts[1:]):
        c.line(a[0], a[1], b[0], b[1], k)
    # 8 picture
    c.rect(129, 2, 142, 13, (150, 200, 255)); c.frame(129, 2, 142, 13, (60, 60, 60)); c.rect(130, 9, 141, 12, (60, 160, 60)); c.ellipse(133, 5, 1.5, 1.5, (240, 200, 0), (240, 200, 0))
    # 9 line colour: pen over a red bar
    c.line(147, 10, 156, 1, (90, 60, 20)); c.line(148, 10, 157, 1, (90, 60, 20)); c.rect(145, 12, 158, 14, (220, 0, 0))
    # 10 fill colour: bucket over a blue bar
    c.rect(164, 3, 171, 9, (170, 170, 170)); c.frame(164, 3, 171, 9, k); c.line(172, 5, 174, 9, (0, 90, 220)); c.rect(161, 12, 174, 14, (0, 90, 220))
    # 11 to front, 12 to back, 13 forward, 14 backward
    stacked(c, 176, True); stacked(c, 192, False)
    stacked(c, 208, True); arrow(c, 208, "up", (200, 0, 0))
    stacked(c, 224, False); arrow(c, 224, "down", (200, 0, 0))
    # 15 rotate: a round arrow
    c.ellipse(247.5, 8, 5.5, 5.5, (0, 110, 0))
    c.rect(249, 1, 253, 4, MAGENTA); c.line(248, 0, 251, 3, (0, 110, 0)); c.line(248, 6, 251, 3, (0, 110, 0))
    # 16 grid
    for i in range(2, 15, 4):
        c.line(256 + i, 1, 256 + i, 14, (90, 90, 90)); c.line(257, i, 270, i, (90, 90, 90))
    # 17 database set-up
    cylinder(c, 272, (90, 140, 220), (160, 200, 255))


def main(root):
    # Image list of the editing view and the binding marker: 0 data source open, 1 data
    # source or table not matching (red), 2 table, 3 field / matching binding (green),
    # 4 no data source (grey).
    c = Canvas(80, 16, MAGENTA)
    cylinder(c, 0, (90, 140, 220), (160, 200, 255))
    cylinder(c, 16, (210, 30, 30), (255, 130, 130))
    table(c, 32)
    cylinder(c, 48, (30, 170, 50), (140, 240, 150))
    cylinder(c, 64, (150, 150, 150), (210, 210, 210))
    c.write_png(f"{root}/bitmaps/162.png")

    # Palette trees (mask colour black): 0 closed group, 1 open group, 2 entry. Black turns
    # transparent there, so the bars are drawn in PALETTE_INK.
    c = Canvas(48, 16, BLACK)
    folder(c, 0, False); folder(c, 16, True); barcode(c, 32, 3, 12, PALETTE_INK)
    c.write_png(f"{root}/bitmaps/155.png")
    c = Canvas(48, 16, BLACK)
    folder(c, 0, False); folder(c, 16, True)
    c.rect(33, 2, 46, 13, (255, 255, 255)); text_glyph(c, 32)
    c.write_png(f"{root}/bitmaps/152.png")

    # Small icons of the docking bars: 0 components, 1 barcodes, 2 objects, 3 database.
    c = Canvas(64, 16, MAGENTA)
    c.pattern(4, 3, GLYPH_A, {"#": (0, 0, 140)})
    barcode(c, 16)
    c.rect(33, 2, 40, 9, (60, 120, 220)); c.frame(33, 2, 40, 9, (0, 0, 0)); c.ellipse(42, 10, 4, 4, (0, 0, 0), (240, 200, 60))
    cylinder(c, 48, (90, 140, 220), (160, 200, 255))
    c.write_png(f"{root}/bitmaps/156.png")

    # Row marker of the data grid: 1 is the selected row.
    c = Canvas(32, 16, MAGENTA)
    for i in range(5):
        c.line(16 + 5 + i, 3 + i, 16 + 5 + i, 12 - i, (0, 0, 0))
    c.write_png(f"{root}/bitmaps/168.png")

    # Toolbar strips.
    c = Canvas(16 * 16, 16, MAGENTA); draw_main_toolbar(c); c.write_png(f"{root}/bitmaps/2.png")
    c = Canvas(18 * 16, 16, MAGENTA); draw_second_toolbar(c); c.write_png(f"{root}/bitmaps/110.png")

    # Wizard and welcome pictures: a calm gradient with a barcode motif.
    def banner(w, h, top, bottom, path, cylinder_at=None):
        c = Canvas(w, h, (255, 255, 255))
        for y in range(h):
            t = y / max(1, h - 1)
            col = tuple(int(top[i] + (bottom[i] - top[i]) * t) for i in range(3))
            c.rect(0, y, w - 1, y, col)
        bars = [3, 1, 1, 2, 1, 3, 2, 1, 1, 1, 3, 1, 2, 2, 1, 1, 3, 1, 1, 2]
        x = w // 8
        y0, y1 = h // 2 - h // 8, h // 2 + h // 8
        for i, bw in enumerate(bars * 2):
            if x + bw * 2 >= w - w // 8:
                break
            if i % 2 == 0:
                c.rect(x, y0, x + bw * 2 - 1, y1, (20, 30, 60))
            x += bw * 2
        if cylinder_at:
            big = Canvas(16, 16, MAGENTA)
            cylinder(big, 0, (90, 140, 220), (160, 200, 255))
            ox, oy = cylinder_at
            for yy in range(16):
                for xx in range(16):
                    p = big.px[yy][xx]
                    if p != MAGENTA:
                        c.rect(ox + xx * 3, oy + yy * 3, ox + xx * 3 + 2, oy + yy * 3 + 2, p)
        c.write_png(path)

    banner(400, 240, (235, 242, 255), (150, 180, 230), f"{root}/bitmaps/139.png")
    banner(164, 314, (250, 250, 255), (120, 160, 220), f"{root}/bitmaps/121.png")
    banner(164, 314, (250, 255, 250), (120, 200, 160), f"{root}/bitmaps/161.png", cylinder_at=(58, 230))

    # Application icon (main frame, 2) and label file icon (document template, 3).
    c = Canvas(32, 32, CLEAR)
    c.rect(2, 4, 29, 27, (255, 255, 255)); c.frame(2, 4, 29, 27, (30, 50, 110)); c.frame(3, 5, 28, 26, (30, 50, 110))
    bars = [1, 0, 1, 1, 0, 1, 0, 0, 1, 1, 1, 0, 1, 0, 1, 1, 0, 1, 0, 1]
    for i, b in enumerate(bars):
        if b:
            c.rect(6 + i, 8, 6 + i, 19, (0, 0, 0))
    c.rect(6, 22, 25, 23, (200, 60, 30))
    c.write_png(f"{root}/icons/2.png", alpha=True)
    c = Canvas(32, 32, CLEAR)
    c.rect(6, 1, 25, 30, (255, 255, 255)); c.frame(6, 1, 25, 30, (60, 60, 60))
    for i, b in enumerate(bars[:14]):
        if b:
            c.rect(9 + i, 6, 9 + i, 16, (0, 0, 0))
    c.rect(9, 20, 22, 21, (30, 50, 110)); c.rect(9, 24, 18, 25, (30, 50, 110))
    c.write_png(f"{root}/icons/3.png", alpha=True)

    # Cursors (with alpha). 154: drop an item: arrow with a plus; hot spot at the tip.
    # 102: freehand pencil; hot spot at the point.
    arrow_rows = ["#", "##", "#.#", "#..#", "#...#", "#....#", "#.....#", "#......#", "#.......#", "#....#####",
                  "#.##.#", "##  #.#", "#   #.#", "     #.#", "     #.#", "      #"]
    c = Canvas(32, 32, CLEAR)
    c.pattern(0, 0, arrow_rows, {"#": (0, 0, 0), ".": (255, 255, 255)})
    c.rect(15, 17, 27, 29, (255, 255, 255)); c.frame(15, 17, 27, 29, (0, 0, 0))
    c.rect(20, 19, 22, 27, (0, 140, 0)); c.rect(17, 22, 25, 24, (0, 140, 0))
    c.write_png(f"{root}/cursors/154.png", alpha=True)
    c = Canvas(32, 32, CLEAR)
    for i in range(14):
        c.line(3 + i, 26 - i, 6 + i, 29 - i, (240, 200, 60))
    for i in range(15):
        c.set(3 + i, 26 - i, (0, 0, 0)); c.set(6 + i, 29 - i, (0, 0, 0))
    c.line(17, 12, 20, 15, (0, 0, 0)); c.rect(18, 9, 21, 11, (230, 130, 130))
    c.line(0, 31, 3, 26, (0, 0, 0)); c.line(0, 31, 6, 29, (0, 0, 0)); c.set(0, 31, (0, 0, 0))
    c.write_png(f"{root}/cursors/102.png", alpha=True)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "resources"))
