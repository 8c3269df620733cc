#!/usr/bin/env python3
"""Draws the PNG images of our skin into resources/skin/images/.

Run it after changing the palette or a shape; the PNGs it writes are
committed, so a build needs neither this script nor ImageMagick. Shapes are
drawn with signed distance functions (one sample per pixel, analytic
anti-aliasing); the welcome page's word mark and tag line are rasterised by
ImageMagick's `convert` with the CJK font the set-up installs, so that
picture carries its own glyphs. The other pages' headings are the window's
own labels, in the user's language, drawn over the art.

    python3 tools/skin/draw_skin.py [--out DIR]
"""
import argparse
import math
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pngio import read_png, write_png  # noqa: E402

# Palette. One accent; its lighter and darker shades are mixes with white
# and black so they stay in the same hue.
ACCENT = (14, 108, 240)
WHITE = (255, 255, 255)
BLACK = (0, 0, 0)
TEXT = (10, 10, 10)
SECONDARY = (110, 110, 110)
HAIRLINE = (229, 229, 229)
BORDER = (208, 213, 221)
DISABLED = (170, 188, 216)
ERROR = (255, 104, 37)
SHADOW = (10, 24, 48)
SHADOW_ALPHA = 60

FONT = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"


def mix(a, b, t):
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


def set_accent(accent):
    """Sets the accent and the shades derived from it."""
    global ACCENT, ACCENT_LIGHT, ACCENT_DARK, ACCENT_TINT, ACCENT_TINT2
    ACCENT = accent
    ACCENT_LIGHT = mix(ACCENT, WHITE, 0.14)
    ACCENT_DARK = mix(ACCENT, BLACK, 0.16)
    ACCENT_TINT = mix(ACCENT, WHITE, 0.93)
    ACCENT_TINT2 = mix(ACCENT, WHITE, 0.86)


set_accent(ACCENT)

# What the page art says about the product; set_product() replaces them
# for another product definition.
PRODUCT_NAME = "Pellio"
TAG_LINE = "简洁 · 高效 · 安全"
MARK_PNG = None  # a vendor's own mark instead of the drawn one


def set_product(name, tag_line, accent, mark_png=None):
    global PRODUCT_NAME, TAG_LINE, MARK_PNG
    PRODUCT_NAME, TAG_LINE, MARK_PNG = name, tag_line, mark_png
    set_accent(accent)


def luminance(c):
    def lin(v):
        v /= 255
        return v / 12.92 if v <= 0.03928 else ((v + 0.055) / 1.055) ** 2.4
    return 0.2126 * lin(c[0]) + 0.7152 * lin(c[1]) + 0.0722 * lin(c[2])


def contrast(a, b):
    la, lb = sorted((luminance(a), luminance(b)), reverse=True)
    return (la + 0.05) / (lb + 0.05)


class Canvas:
    """Premultiplied RGBA in floats, composited with "over"."""

    def __init__(self, width, height, background=None):
        self.w, self.h = width, height
        r, g, b, a = (0.0, 0.0, 0.0, 0.0) if background is None else (*[c / 255 for c in background], 1.0)
        self.px = [[r, g, b, a] * width for _ in range(height)]

    def blend(self, x, y, color, alpha):
        if alpha <= 0 or not (0 <= x < self.w and 0 <= y < self.h):
            return
        row = self.px[y]
        i = x * 4
        inv = 1 - alpha
        row[i] = color[0] / 255 * alpha + row[i] * inv
        row[i + 1] = color[1] / 255 * alpha + row[i + 1] * inv
        row[i + 2] = color[2] / 255 * alpha + row[i + 2] * inv
        row[i + 3] = alpha + row[i + 3] * inv

    def set(self, x, y, color, alpha=1.0):
        row = self.px[y]
        i = x * 4
        row[i:i + 4] = [color[0] / 255 * alpha, color[1] / 255 * alpha, color[2] / 255 * alpha, alpha]

    def fill(self, sdf, color, alpha=1.0, box=None):
        """Fills where sdf(x, y) < 0; color may be a function of (x, y)."""
        x0, y0, x1, y1 = box or (0, 0, self.w, self.h)
        for y in range(max(0, int(y0)), min(self.h, int(math.ceil(y1)))):
            for x in range(max(0, int(x0)), min(self.w, int(math.ceil(x1)))):
                cov = 0.5 - sdf(x + 0.5, y + 0.5)
                if cov <= 0:
                    continue
                c = color(x + 0.5, y + 0.5) if callable(color) else color
                self.blend(x, y, c, alpha * min(1.0, cov))

    def fade_edges(self, top, bottom):
        """Blends the first and last rows toward white, so that soft art ends
        without an edge where the pane meets the white page."""
        for y in range(self.h):
            d = min((y + 0.5) / top if top else 1, (self.h - y - 0.5) / bottom if bottom else 1)
            if d >= 1:
                continue
            f = d * d * (3 - 2 * d)
            row = self.px[y]
            for i in range(0, self.w * 4, 4):
                a = row[i + 3]
                for k in range(3):
                    row[i + k] = a - (a - row[i + k]) * f  # premultiplied white is (a, a, a)

    def paste_mask(self, mask, left, top, color, alpha=1.0):
        mw, mh, rows = mask
        for y in range(mh):
            for x in range(mw):
                a = rows[y][x * 4 + 3] / 255
                if a:
                    self.blend(left + x, top + y, color, a * alpha)

    def rows(self, with_alpha):
        out = []
        for row in self.px:
            line = bytearray()
            for x in range(self.w):
                r, g, b, a = row[x * 4:x * 4 + 4]
                if with_alpha:
                    # PNG stores straight alpha; GDI+ premultiplies on decode.
                    if a > 0:
                        line += bytes((round(min(1, r / a) * 255), round(min(1, g / a) * 255),
                                       round(min(1, b / a) * 255), round(a * 255)))
                    else:
                        line += b"\0\0\0\0"
                else:
                    line += bytes((round(r * 255), round(g * 255), round(b * 255)))
            out.append(bytes(line))
        return out

    def save(self, path, with_alpha):
        write_png(path, self.w, self.h, self.rows(with_alpha), with_alpha)


# Signed distance functions (negative inside), in pixel units.
def rounded_rect(x0, y0, x1, y1, r):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r

    def sdf(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        outside = math.hypot(max(qx, 0), max(qy, 0))
        return outside + min(max(qx, qy), 0) - r
    return sdf


def inset(sdf, width):
    return lambda x, y: sdf(x, y) + width


def ring(sdf, width):
    """The band of the given width just inside the shape's edge."""
    return lambda x, y: max(sdf(x, y), -(sdf(x, y) + width))


def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def segment(ax, ay, bx, by, half_width):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy

    def sdf(x, y):
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length2))
        return math.hypot(x - ax - t * dx, y - ay - t * dy) - half_width
    return sdf


def polyline(points, half_width):
    parts = [segment(*points[i], *points[i + 1], half_width) for i in range(len(points) - 1)]
    return lambda x, y: min(p(x, y) for p in parts)


def union(*parts):
    return lambda x, y: min(p(x, y) for p in parts)


def vertical_gradient(top, bottom, y0, y1):
    def color(x, y):
        t = max(0.0, min(1.0, (y - y0) / max(1e-6, y1 - y0)))
        return mix(top, bottom, t)
    return color


def radial_glow(canvas, cx, cy, r, color, alpha):
    """A soft disc whose alpha falls off smoothly to 0 at r."""
    for y in range(max(0, int(cy - r)), min(canvas.h, int(cy + r) + 1)):
        for x in range(max(0, int(cx - r)), min(canvas.w, int(cx + r) + 1)):
            d = math.hypot(x + 0.5 - cx, y + 0.5 - cy) / r
            if d < 1:
                canvas.blend(x, y, color, alpha * (1 - d * d) ** 2)


_text_cache = {}


def label_text(text):
    """The text as ImageMagick's label: takes it literally: "%" starts a
    property escape ("%[fx:...]" is evaluated), "\\" an escape of its own,
    and a leading "@" names a file whose contents would be drawn."""
    literal = text.replace("\\", "\\\\").replace("%", "%%")
    return "\\" + literal if literal.startswith("@") else literal


def text_mask(text, size, font=FONT, kerning=0):
    key = (text, size, font, kerning)
    if key not in _text_cache:
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "t.png")
            subprocess.run(["convert", "-background", "none", "-fill", "white", "-font", font,
                            "-pointsize", str(size), "-kerning", str(kerning), "label:" + label_text(text),
                            "-trim", "+repage", "PNG32:" + path], check=True)
            _text_cache[key] = read_png(path)
    return _text_cache[key]


def centered_text(canvas, text, size, cx, cy, color, kerning=0):
    """Centres the ink of the text on (cx, cy)."""
    mask = text_mask(text, size, kerning=kerning)
    canvas.paste_mask(mask, round(cx - mask[0] / 2), round(cy - mask[1] / 2), color)
    return mask


# ---- controls -------------------------------------------------------------

def button_strip(width, height, radius, states):
    """States stacked top to bottom: each (fill, border or None)."""
    c = Canvas(width, height * len(states))
    for i, (fill, border) in enumerate(states):
        top = i * height
        shape = rounded_rect(0, top, width, top + height, radius)
        box = (0, top, width, top + height)
        if border:
            c.fill(shape, border, box=box)
            c.fill(inset(shape, 1), fill, box=box)
        else:
            c.fill(shape, fill, box=box)
    return c


def primary_button(height):
    return button_strip(24, height, 4, [(ACCENT, None), (ACCENT_LIGHT, None), (ACCENT_DARK, None), (DISABLED, None)])


def secondary_button(height, radius):
    return button_strip(24, height, radius, [
        (WHITE, BORDER),
        (ACCENT_TINT, ACCENT_LIGHT),
        (ACCENT_TINT2, ACCENT),
        ((247, 248, 250), HAIRLINE),
    ])


def check_box():
    # Four 16 x 12 states; the 12 x 12 box sits at the left, the rest is
    # transparent and stretches under the caption.
    c = Canvas(16, 48)
    tick = polyline([(2.9, 6.2), (5.1, 8.4), (9.3, 3.8)], 0.8)
    for i, (fill, border, mark) in enumerate([
        (WHITE, (160, 170, 186), None),
        (WHITE, ACCENT, None),
        (ACCENT, ACCENT, WHITE),
        ((243, 244, 246), BORDER, None),
    ]):
        top = i * 12
        shape = rounded_rect(0.5, top + 0.5, 11.5, top + 11.5, 2.2)
        box = (0, top, 12, top + 12)
        c.fill(shape, border, box=box)
        if fill != border:
            c.fill(inset(shape, 1), fill, box=box)
        if mark:
            c.fill(lambda x, y, t=top: tick(x, y - t), mark, box=box)
    return c


def edit_box():
    c = Canvas(24, 34)
    shape = rounded_rect(0, 0, 24, 34, 4)
    c.fill(shape, BORDER)
    c.fill(inset(shape, 1), WHITE)
    return c


def close_button():
    # 34 x 28 per state; the glyph sits at the caption's middle (y 10 here,
    # since the button starts 10 pixels below the top).
    c = Canvas(34, 28 * 4)
    for i, (backdrop, glyph_alpha) in enumerate([(0, 0.92), (0.18, 1.0), (0.30, 1.0), (0, 0.45)]):
        top = i * 28
        cy = top + 10
        if backdrop:
            c.fill(rounded_rect(3, cy - 10, 31, cy + 10, 4), WHITE, backdrop, box=(0, top, 34, top + 28))
        cross = union(segment(12.5, cy - 4.5, 21.5, cy + 4.5, 0.75), segment(21.5, cy - 4.5, 12.5, cy + 4.5, 0.75))
        c.fill(cross, WHITE, glyph_alpha, box=(0, top, 34, top + 28))
    return c


def progress_strip():
    # Columns 0-3 the track, 4-7 the fill; rows 0-2 the install bar (3 px),
    # rows 3-4 the uninstall bar (2 px).
    c = Canvas(8, 5, WHITE)
    track = (230, 234, 240)
    for y in range(5):
        for x in range(8):
            c.set(x, y, track if x < 4 else ACCENT)
    return c


def hairline():
    c = Canvas(4, 1, WHITE)
    for x in range(4):
        c.set(x, 0, HAIRLINE)
    return c


def frame_and_shadow():
    """Image 117: a 40 x 40 centre at (27, 22) inside shadow slices of 27
    (left, right), 22 (top) and 32 (bottom) pixels. The centre is the
    caption tile, flat accent: the frame stretches all of it over the
    caption band, and its left and right columns and its bottom row over the
    1-pixel side and bottom bands, which so give the window a thin accent
    outline."""
    size = 94
    c = Canvas(size, size)
    left, top, right, bottom = 27, 22, 67, 62
    for y in range(size):
        for x in range(size):
            if left <= x < right and top <= y < bottom:
                continue
            px, py = x + 0.5, y + 0.5
            dx = max(left - px, 0, px - right) / 27
            if py < top:
                dy = (top - py) / 22
            elif py > bottom:
                dy = (py - bottom) / 32
            else:
                dy = 0
            d = math.hypot(dx, dy)
            if d < 1:
                c.set(x, y, SHADOW, SHADOW_ALPHA / 255 * (1 - d) ** 2.2)
    for y in range(top, bottom):
        for x in range(left, right):
            c.set(x, y, ACCENT)
    return c


def logo_mark(size):
    """The product mark: a rounded square in the accent with a white, open
    ring and a dot, read as a stylised "P"; or the vendor's PNG scaled."""
    if MARK_PNG:
        return scaled_png(MARK_PNG, size)
    c = Canvas(size, size)
    s = size / 64
    c.fill(rounded_rect(2 * s, 2 * s, 62 * s, 62 * s, 15 * s),
           vertical_gradient(mix(ACCENT, WHITE, 0.22), ACCENT_DARK, 0, size))
    stem = segment(22 * s, 20 * s, 22 * s, 46 * s, 4 * s)
    bowl = ring(circle(32 * s, 28.5 * s, 12.5 * s), 8 * s)
    left_cut = lambda x, y: max(bowl(x, y), 22 * s - x)  # noqa: E731
    c.fill(union(stem, left_cut), WHITE)
    return c


def scaled_png(path, size):
    # Read by ImageMagick from standard input as PNG: a file name would be
    # read for frame numbers ("[0]") and coder prefixes ("label:").
    with open(path, "rb") as f:
        data = f.read()
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "m.png")
        subprocess.run(["convert", "png:-", "-background", "none", "-resize", "%dx%d" % (size, size),
                        "-gravity", "center", "-extent", "%dx%d" % (size, size), "PNG32:" + out], input=data,
                       check=True)
        width, height, rows = read_png(out)
    c = Canvas(width, height)
    for y in range(height):
        for x in range(width):
            r, g, b, a = rows[y][x * 4:x * 4 + 4]
            if a:
                c.blend(x, y, (r, g, b), a / 255)
    return c


# ---- page art ---------------------------------------------------------------

def decor(c, seed_shift=0):
    """Soft accent glows and a few thin rings toward the corners; the
    middle stays calm for the controls."""
    radial_glow(c, 470 - seed_shift, 18, 150, ACCENT, 0.10)
    radial_glow(c, 40 + seed_shift, c.h - 10, 130, ACCENT, 0.07)
    c.fill(ring(circle(492 - seed_shift, 46, 34), 1.2), ACCENT, 0.18, box=(440, 0, 528, 90))
    c.fill(circle(444 - seed_shift, 92, 4), ACCENT, 0.22)
    c.fill(ring(circle(34 + seed_shift, 40, 16), 1.2), ACCENT, 0.16)
    c.fill(circle(88 + seed_shift, 24, 3), ACCENT, 0.20)
    c.fade_edges(14, 40)


def side_lines(c):
    """Full-width panes cover the window's 1-pixel side bands; they carry
    the same accent line so the outline runs on unbroken."""
    for y in range(c.h):
        c.set(0, y, ACCENT)
        c.set(c.w - 1, y, ACCENT)
    return c


def pane_welcome():
    c = Canvas(528, 188, WHITE)
    decor(c)
    mark = logo_mark(60)
    word = text_mask(PRODUCT_NAME, 46, kerning=-1)
    gap = 16
    total = 60 + gap + word[0]
    x0 = round((528 - total) / 2)
    for y in range(60):
        for x in range(60):
            r, g, b, a = mark.px[y][x * 4:x * 4 + 4]
            if a:
                c.blend(x0 + x, 58 + y, (round(r / a * 255), round(g / a * 255), round(b / a * 255)), a)
    c.paste_mask(word, x0 + 60 + gap, 58 + 30 - word[1] // 2 - 2, TEXT)
    centered_text(c, TAG_LINE, 13, 264, 150, SECONDARY)
    return c


def icon_disc(c, cx, cy, r, fill, alpha=1.0):
    c.fill(circle(cx, cy, r), fill, alpha)


def tick(c, cx, cy, scale, color):
    c.fill(polyline([(cx - 11 * scale, cy + 0.5 * scale), (cx - 3.5 * scale, cy + 8 * scale),
                     (cx + 12 * scale, cy - 8 * scale)], 2.6 * scale), color)


def pane_progress():
    c = Canvas(528, 296, WHITE)
    decor(c, 6)
    cx, cy = 264, 112
    radial_glow(c, cx, cy, 70, ACCENT, 0.16)
    icon_disc(c, cx, cy, 38, ACCENT_TINT2)
    # A tray with an arrow falling into it.
    c.fill(polyline([(cx - 15, cy + 4), (cx - 15, cy + 14), (cx + 15, cy + 14), (cx + 15, cy + 4)], 2.2), ACCENT)
    c.fill(union(segment(cx, cy - 18, cx, cy + 5, 2.2),
                 polyline([(cx - 8, cy - 3), (cx, cy + 5), (cx + 8, cy - 3)], 2.2)), ACCENT)
    return c


def pane_uninstall_progress():
    c = Canvas(528, 190, WHITE)
    decor(c, 6)
    cx, cy = 264, 82
    radial_glow(c, cx, cy, 64, ACCENT, 0.14)
    icon_disc(c, cx, cy, 34, ACCENT_TINT2)
    c.fill(polyline([(cx - 14, cy + 2), (cx - 14, cy + 12), (cx + 14, cy + 12), (cx + 14, cy + 2)], 2.1), ACCENT)
    c.fill(union(segment(cx, cy + 4, cx, cy - 17, 2.1),
                 polyline([(cx - 8, cy - 9), (cx, cy - 17), (cx + 8, cy - 9)], 2.1)), ACCENT)
    return c


def pane_result(ok):
    c = Canvas(528, 188, WHITE)
    decor(c, 12)
    cx, cy = 264, 74
    tone = ACCENT if ok else ERROR
    radial_glow(c, cx, cy, 66, tone, 0.14 if ok else 0.12)
    if ok:
        icon_disc(c, cx, cy, 30, ACCENT)
        tick(c, cx, cy, 0.95, WHITE)
    else:
        icon_disc(c, cx, cy, 30, mix(ERROR, WHITE, 0.86))
        c.fill(segment(cx, cy - 13, cx, cy + 4, 2.6), ERROR)
        c.fill(circle(cx, cy + 12, 2.9), ERROR)
    return c


IMAGES = {
    100: ("publish.png", lambda: primary_button(48), True),
    101: ("ok.png", lambda: primary_button(32), True),
    102: ("browse.png", lambda: secondary_button(34, 4), True),
    103: ("return.png", lambda: secondary_button(16, 3), True),
    104: ("check.png", check_box, True),
    105: ("edit.png", edit_box, True),
    106: ("pane-welcome.png", lambda: side_lines(pane_welcome()), False),
    107: ("pane-progress.png", lambda: side_lines(pane_progress()), False),
    109: ("pane-mark.png", lambda: logo_mark(64), True),
    110: ("pane-uninstalling.png", lambda: side_lines(pane_uninstall_progress()), False),
    111: ("pane-done.png", lambda: side_lines(pane_result(True)), False),
    112: ("pane-failed.png", lambda: side_lines(pane_result(False)), False),
    113: ("line.png", hairline, False),
    114: ("progress.png", progress_strip, False),
    115: ("close.png", close_button, True),
    117: ("frame.png", frame_and_shadow, True),
    120: ("mark-small.png", lambda: logo_mark(32), True),
}


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=os.path.join(here, "..", "..", "resources", "skin", "images"))
    parser.add_argument("--only", type=int, action="append", help="draw only these ids")
    args = parser.parse_args()

    # Text on the accent (caption, primary buttons) and links on white must
    # stay readable.
    for fg, bg, what in [(WHITE, ACCENT, "white on accent"), (ACCENT, WHITE, "accent on white"),
                         (SECONDARY, WHITE, "secondary text"), (TEXT, WHITE, "body text")]:
        if contrast(fg, bg) < 4.5:
            sys.exit("contrast of %s is %.2f, below 4.5" % (what, contrast(fg, bg)))

    os.makedirs(args.out, exist_ok=True)
    for image_id, (name, draw, alpha) in sorted(IMAGES.items()):
        if args.only and image_id not in args.only:
            continue
        draw().save(os.path.join(args.out, name), alpha)
        print("%d %s" % (image_id, name))


if __name__ == "__main__":
    main()
