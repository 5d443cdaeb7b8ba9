#!/usr/bin/env python3
"""Draws the ticket dialog's two pictures and writes them as XPM sources.

The logo is 162 x 49 pixels in 473 colours (two characters per pixel), the badge 169 x 55 in
85 colours (one character per pixel); both counts include the transparent colour. The letters
come from a small stroke font drawn here with 4 x 4 supersampling; the colours are reduced to
the exact counts by median cut, so every colour of the table is used by some pixel.

Usage: scripts/make-dialog-images.py [OUTPUT-FOLDER]   (default: sources/images)
"""
import math
import os
import sys

SUPERSAMPLE = 4

# STROKE FONT: each glyph is a list of polylines in a 4 x 6 box, y downward.


def arc(cx, cy, rx, ry, start, end, steps=20):
    """Points of an elliptic arc; angles in degrees, counter-clockwise as seen on screen."""
    return [(cx + rx * math.cos(math.radians(start + (end - start) * i / steps)),
             cy - ry * math.sin(math.radians(start + (end - start) * i / steps)))
            for i in range(steps + 1)]


GLYPHS = {
    "A": [[(0, 6), (2, 0), (4, 6)], [(0.7, 4), (3.3, 4)]],
    "C": [arc(2, 3, 2, 3, 40, 320)],
    "D": [[(2, 0), (0, 0), (0, 6), (2, 6)], arc(2, 3, 2, 3, -90, 90)],
    "E": [[(4, 0), (0, 0), (0, 6), (4, 6)], [(0, 3), (3, 3)]],
    "G": [arc(2, 3, 2, 3, 40, 360) + [(2.2, 3)]],
    "I": [[(2, 0), (2, 6)], [(1, 0), (3, 0)], [(1, 6), (3, 6)]],
    "K": [[(0, 0), (0, 6)], [(4, 0), (0, 4)], [(1.3, 2.9), (4, 6)]],
    "L": [[(0, 0), (0, 6), (4, 6)]],
    "M": [[(0, 6), (0, 0), (2, 4), (4, 0), (4, 6)]],
    "N": [[(0, 6), (0, 0), (4, 6), (4, 0)]],
    "O": [arc(2, 3, 2, 3, 0, 360, 32)],
    "P": [[(0, 6), (0, 0), (2.4, 0)] + arc(2.4, 1.6, 1.6, 1.6, 90, -90) + [(0, 3.2)]],
    "R": [[(0, 6), (0, 0), (2.4, 0)] + arc(2.4, 1.6, 1.6, 1.6, 90, -90) + [(0, 3.2)],
          [(2.2, 3.2), (4, 6)]],
    "T": [[(0, 0), (4, 0)], [(2, 0), (2, 6)]],
    "V": [[(0, 0), (2, 6), (4, 0)]],
    "W": [[(0, 0), (1, 6), (2, 2), (3, 6), (4, 0)]],
    "+": [[(2, 1), (2, 5)], [(0, 3), (4, 3)]],
    " ": [],
}


def text_segments(text, x, y, height, spacing):
    """Segments of a text whose glyph box is height tall with its top left at (x, y)."""
    scale = height / 6.0
    segments = []
    for ch in text:
        for line in GLYPHS[ch]:
            points = [(x + px * scale, y + py * scale) for px, py in line]
            segments += list(zip(points, points[1:]))
        x += (4 + spacing) * scale
    return segments


def text_width(text, height, spacing):
    return len(text) * (4 + spacing) * height / 6.0 - spacing * height / 6.0


def distance_to_segment(px, py, a, b):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / length2))
    qx, qy = ax + t * dx, ay + t * dy
    return math.hypot(px - qx, py - qy)


class Canvas:
    """RGBA pixels as floats 0..1; alpha 0 is transparent."""

    def __init__(self, width, height):
        self.width, self.height = width, height
        self.pixels = [[(0.0, 0.0, 0.0, 0.0)] * width for _ in range(height)]

    def coverage(self, x, y, inside):
        hits = 0
        for sy in range(SUPERSAMPLE):
            for sx in range(SUPERSAMPLE):
                if inside(x + (sx + 0.5) / SUPERSAMPLE, y + (sy + 0.5) / SUPERSAMPLE):
                    hits += 1
        return hits / (SUPERSAMPLE * SUPERSAMPLE)

    def paint(self, inside, colour_at, box=None):
        """Blends colour_at(x, y) over every pixel by the share of it that inside() covers."""
        x0, y0, x1, y1 = box if box else (0, 0, self.width, self.height)
        for y in range(max(0, int(y0)), min(self.height, int(math.ceil(y1)))):
            for x in range(max(0, int(x0)), min(self.width, int(math.ceil(x1)))):
                c = self.coverage(x, y, inside)
                if c == 0:
                    continue
                r, g, b = colour_at(x, y)
                pr, pg, pb, pa = self.pixels[y][x]
                a = c + pa * (1 - c)
                self.pixels[y][x] = ((r * c + pr * pa * (1 - c)) / a,
                                     (g * c + pg * pa * (1 - c)) / a,
                                     (b * c + pb * pa * (1 - c)) / a, a)

    def rounded_rect(self, x0, y0, x1, y1, radius, colour_at):
        def inside(px, py):
            cx = min(max(px, x0 + radius), x1 - radius)
            cy = min(max(py, y0 + radius), y1 - radius)
            return (x0 <= px <= x1 and y0 <= py <= y1
                    and math.hypot(px - cx, py - cy) <= radius)
        self.paint(inside, colour_at, (x0, y0, x1, y1))

    def strokes(self, segments, width, colour_at):
        half = width / 2.0
        xs = [p[0] for s in segments for p in s]
        ys = [p[1] for s in segments for p in s]
        box = (min(xs) - half - 1, min(ys) - half - 1, max(xs) + half + 1, max(ys) + half + 1)

        def inside(px, py):
            return any(distance_to_segment(px, py, a, b) <= half for a, b in segments
                       if min(a[0], b[0]) - half <= px <= max(a[0], b[0]) + half
                       and min(a[1], b[1]) - half <= py <= max(a[1], b[1]) + half)
        self.paint(inside, colour_at, box)

    def disc(self, cx, cy, radius, colour_at):
        self.paint(lambda px, py: math.hypot(px - cx, py - cy) <= radius, colour_at,
                   (cx - radius - 1, cy - radius - 1, cx + radius + 1, cy + radius + 1))


def mix(c1, c2, t):
    t = max(0.0, min(1.0, t))
    return tuple(a + (b - a) * t for a, b in zip(c1, c2))


def hex_colour(h):
    return tuple(int(h[i:i + 2], 16) / 255.0 for i in (1, 3, 5))


# COLOUR REDUCTION


def median_cut(colours, count):
    """Splits the weighted colours into count boxes; returns (representative, members) pairs."""
    boxes = [list(colours.items())]
    while len(boxes) < count:
        def spread(box):
            if len(box) < 2:
                return -1
            return max(max(c[0][i] for c in box) - min(c[0][i] for c in box) for i in range(3))
        box = max(boxes, key=spread)
        if spread(box) <= 0:
            raise SystemExit("not enough distinct colours for %d" % count)
        channel = max(range(3), key=lambda i: max(c[0][i] for c in box) - min(c[0][i] for c in box))
        box.sort(key=lambda c: c[0][channel])
        total = sum(w for _, w in box)
        running, cut = 0, 1
        for i, (_, w) in enumerate(box):
            running += w
            if running >= total / 2:
                cut = min(max(i + 1, 1), len(box) - 1)
                break
        boxes.remove(box)
        boxes += [box[:cut], box[cut:]]
    result, used = [], set()
    for box in boxes:
        total = sum(w for _, w in box)
        rep = [round(sum(c[i] * w for c, w in box) / total) for i in range(3)]
        # Two boxes may average to one colour; nudge so that every table entry stays distinct.
        step = 0
        while tuple(rep) in used:
            step += 1
            rep[step % 3] = (rep[step % 3] + (1 if step % 2 else 254)) % 256
        used.add(tuple(rep))
        assert all(0 <= v <= 255 for v in rep)
        result.append((tuple(rep), [c for c, _ in box]))
    return result


def write_xpm(canvas, name, colours, chars_per_pixel, path):
    opaque = {}
    for row in canvas.pixels:
        for r, g, b, a in row:
            if a >= 0.5:
                key = (round(r * 255), round(g * 255), round(b * 255))
                opaque[key] = opaque.get(key, 0) + 1
    palette = median_cut(opaque, colours - 1)  # one colour is the transparent one
    if chars_per_pixel == 1:
        alphabet = (".+@#$%&*=-;>,')!~{]^/(_:<[}|1234567890abcdefghijklmnopqrstuvwxyz"
                    "ABCDEFGHIJKLMNOPQRSTUVWXYZ`")
        codes = [" "] + list(alphabet[:colours - 1])
    else:
        alphabet = ".+@#$%&*=-;>,')!~{]^/(_:<[}|1234567890abcdefghijklmnopqrstuvwxyzABCDEFGHIJK"
        codes = ["  "] + [a + b for a in alphabet for b in alphabet if a + b != "  "][:colours - 1]
    assert len(set(codes)) == colours
    code_of = {}
    for (rep, members), code in zip(palette, codes[1:]):
        for member in members:
            code_of[member] = code
    lines = ['"%d %d %d %d",' % (canvas.width, canvas.height, colours, chars_per_pixel),
             '"%s c None",' % codes[0]]
    lines += ['"%s c #%02X%02X%02X",' % ((code,) + rep) for (rep, _), code in zip(palette, codes[1:])]
    used = set()
    for row in canvas.pixels:
        text = ""
        for r, g, b, a in row:
            code = codes[0] if a < 0.5 else code_of[(round(r * 255), round(g * 255), round(b * 255))]
            used.add(code)
            text += code
        lines.append('"%s",' % text)
    assert len(used) == colours, "every colour of the table is used"
    lines[-1] = lines[-1].rstrip(",")
    with open(path, "w") as out:
        out.write("/* XPM */\n")
        out.write("/* Drawn by scripts/make-dialog-images.py; regenerate rather than edit. */\n")
        out.write("static const char* const %s[] = {\n" % name)
        out.write("\n".join(lines))
        out.write("\n};\n")


# THE PICTURES


def draw_logo():
    c = Canvas(162, 49)
    deep, sea = hex_colour("#0B3D91"), hex_colour("#1A9BB0")
    c.rounded_rect(0.5, 0.5, 161.5, 48.5, 9,
                   lambda x, y: mix(mix(deep, sea, x / 161.0), (1, 1, 1), 0.18 * (1 - y / 48.0)))
    # A light band under the word, so the letters read on the darker left end.
    c.rounded_rect(8, 33, 150, 34.5, 0.7,
                   lambda x, y: mix(hex_colour("#7FD4E6"), hex_colour("#FFFFFF"), x / 162.0))
    word = "TOVARIN"
    c.strokes(text_segments(word, 10, 8, 20, 1.4), 3.2,
              lambda x, y: mix((1, 1, 1), hex_colour("#D8F3FA"), (y - 8) / 20.0))
    plus_x = 10 + text_width(word, 20, 1.4) + 5
    c.strokes(text_segments("+", plus_x, 8, 18, 0), 3.6,
              lambda x, y: mix(hex_colour("#FFB23E"), hex_colour("#F26B1D"), (y - 8) / 18.0))
    c.strokes(text_segments("AD TICKET", 10, 38, 6, 1.4), 1.1, lambda x, y: hex_colour("#E8F8FC"))
    return c


def draw_badge():
    c = Canvas(169, 55)
    green, dark = hex_colour("#2E9E44"), hex_colour("#1D5E2A")
    c.rounded_rect(0.5, 0.5, 168.5, 54.5, 10, lambda x, y: mix(green, dark, y / 54.0))
    c.rounded_rect(3.5, 3.5, 165.5, 51.5, 8,
                   lambda x, y: mix((1, 1, 1), hex_colour("#E6F4E8"), y / 51.0))
    c.disc(28, 27.5, 18, lambda x, y: mix(hex_colour("#45B85A"), dark, (y - 9) / 37.0))
    c.strokes([((19, 28), (25.5, 35)), ((25.5, 35), (38, 19))], 4.2, lambda x, y: (1, 1, 1))
    c.strokes(text_segments("GWG", 56, 9, 20, 1.5), 3.4, lambda x, y: dark)
    c.strokes(text_segments("COMPLIANT", 56, 37, 9, 1.5), 1.7,
              lambda x, y: mix(dark, green, (x - 56) / 100.0))
    return c


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "sources", "images")
    write_xpm(draw_logo(), "Tovarinplus_KL2_xpm", 473, 2,
              os.path.join(folder, "Tovarinplus_KL2.xpm"))
    write_xpm(draw_badge(), "GWG_compliant_xpm", 85, 1, os.path.join(folder, "GWG_compliant.xpm"))


if __name__ == "__main__":
    main()
