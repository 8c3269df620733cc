#!/usr/bin/env python3
"""Renders mock-ups of the installer's pages from the skin source, for
judging the design before the window code exists: the frame, the shadow,
the panes and the controls at the positions the pages give them, painted
the way the control painters do (nine-grid, stretched pieces), with the
captions rasterised by ImageMagick. Not a test: the real window is the
judge once it runs.

    preview_pages.py [--out DIR]
"""
import argparse
import json
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from draw_skin import Canvas, text_mask  # noqa: E402
from pngio import read_png  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
SKIN = os.path.join(HERE, "..", "..", "resources", "skin")
W, H = 528, 348


class Skin:
    def __init__(self):
        with open(os.path.join(SKIN, "skin.json"), encoding="utf-8") as f:
            self.doc = json.load(f)
        with open(os.path.join(SKIN, "fonts.json"), encoding="utf-8") as f:
            self.fonts = json.load(f)
        self.images = {}
        for entry in self.doc["res"]["images"]:
            self.images[entry["id"]] = read_png(os.path.join(SKIN, "images", entry["name"]))

    def node(self, path):
        n = self.doc["cfg"]
        for piece in [p for p in path.split("/") if p]:
            n = n.get(piece) if isinstance(n, dict) else None
            if n is None:
                return None
        return n


def blit(canvas, image, sx, sy, sw, sh, dx, dy, dw, dh):
    if sw <= 0 or sh <= 0 or dw <= 0 or dh <= 0:
        return
    iw, ih, rows = image
    for y in range(dh):
        syy = sy + y * sh // dh
        for x in range(dw):
            sxx = sx + x * sw // dw
            if not (0 <= sxx < iw and 0 <= syy < ih):
                continue
            r, g, b, a = rows[syy][sxx * 4:sxx * 4 + 4]
            if a:
                canvas.blend(dx + x, dy + y, (r, g, b), a / 255)


def paint_image(canvas, skin, style, rect):
    if not style or "bi" not in style:
        return
    image = skin.images[style["bi"]]
    x, y, w, h = style.get("bg", [0, 0, 0, 0])
    l, t, r, b = style.get("mg", [0, 0, 0, 0])
    L, T, R, B = rect
    dw, dh = R - L, B - T
    cols = [(x, l, L, l), (x + l, w - l - r, L + l, dw - l - r), (x + w - r, r, R - r, r)]
    rws = [(y, t, T, t), (y + t, h - t - b, T + t, dh - t - b), (y + h - b, b, B - b, b)]
    for sy, sh, dy, dhh in rws:
        for sx, sw, dx, dww in cols:
            blit(canvas, image, sx, sy, sw, sh, dx, dy, dww, dhh)


def font_px(skin, font_id):
    font = skin.fonts.get(str(font_id), {})
    return abs(font.get("Height", -12)), bool(font.get("Underline"))


def paint_text(canvas, skin, style, rect, text, clip=None):
    if not text or not style:
        return
    size, underline = font_px(skin, style.get("ft", 116))
    color = style.get("cr", "#000000")
    rgb = tuple(int(color[i:i + 2], 16) for i in (1, 3, 5))
    mask = text_mask(text, size)
    L, T, R, B = rect
    al = style.get("al", 0)
    mw, mh, rows = mask
    if al & 1:
        x = L + (R - L - mw) // 2
    elif al & 2:
        x = R - mw
    else:
        x = L
    # The mask is trimmed to ink; centre the ink like a line box would.
    if al & 4:
        y = T + (B - T - mh) // 2
    else:
        y = T
    canvas.paste_mask(mask, x, y, rgb)
    if underline:
        for ux in range(mw):
            canvas.blend(x + ux, y + mh + 1, rgb, 1)


def control(canvas, skin, path, rect, text=None, state="normal", checked=False):
    node = skin.node(path)
    L, T, R, B = rect
    if "bkgnd" in node:
        paint_image(canvas, skin, node["bkgnd"], rect)
    index = "pressed" if checked and state == "normal" else state
    if index in node:
        paint_image(canvas, skin, node[index], rect)
    if text and "Text" in node:
        m = node["Text"].get("margin", [0, 0, 0, 0])
        paint_text(canvas, skin, node["Text"].get(index, node["Text"].get("normal")),
                   (L + m[0], T + m[1], R - m[2], B - m[3]), text)
    if text and "text" in node:
        paint_text(canvas, skin, node["text"], rect, text)


def place(skin, path, page_origin, pos=None):
    x, y, w, h = pos or skin.node(path)["size"]
    ox, oy = page_origin
    return (ox + x, oy + y, ox + x + w, oy + y + h)


def frame(canvas, skin):
    canvas.fill(lambda x, y: -1, (255, 255, 255))
    f = skin.node("MainWindow/Frames")
    top = f["Top"]["normal"]
    t = top["bg"][3]
    l = f["Left"]["normal"]["bg"][2]
    r = f["Right"]["normal"]["bg"][2]
    b = f["Bottom"]["normal"]["bg"][3]
    paint_image(canvas, skin, top, (0, 0, W, t))
    paint_image(canvas, skin, f["Left"]["normal"], (0, t, l, H - b))
    paint_image(canvas, skin, f["Right"]["normal"], (W - r, t, W, H - b))
    paint_image(canvas, skin, f["Bottom"]["normal"], (0, H - b, W, H))
    x, y, w, h = skin.node("MainWindow/SysBtns/Close")["size"]
    paint_image(canvas, skin, skin.node("MainWindow/SysBtns/Close/normal"), (W + x, y, W + x + w, y + h))
    control(canvas, skin, "MainWindow/title", place(skin, "MainWindow/title", (0, 0), [13, 0, 200, 40]), "Pellio")


def page(skin, build):
    c = Canvas(W, H, (255, 255, 255))
    frame(c, skin)
    build(c, (0, 48))
    return c


def pane(c, skin, key, origin):
    control(c, skin, "MainWindow/" + key, place(skin, "MainWindow/" + key, origin))


def welcome(skin, update=False):
    def build(c, o):
        pane(c, skin, "Pane1", o)
        control(c, skin, "MainWindow/PublishBtn", place(skin, "", o, [165, 197, 200, 48]),
                "立即升级" if update else "安 装")
        if not update:
            control(c, skin, "MainWindow/WordBtn", place(skin, "", o, [427, 277, 90, 12]), "自定义安装>")
    return build


def custom(skin):
    def build(c, o):
        control(c, skin, "MainWindow/EditBoxPath", place(skin, "MainWindow/EditBoxPath", o),
                "C:\\Program Files (x86)\\Tervaset\\Orvane")
        control(c, skin, "MainWindow/PublishBtn", place(skin, "MainWindow/PublishBtn", o), "安 装")
        control(c, skin, "MainWindow/CheckBox", place(skin, "", o, [366, 115, 45, 12]), "同意", checked=True)
        control(c, skin, "MainWindow/WordBtn2", place(skin, "", o, [405, 115, 80, 12]), "用户许可协议")
        control(c, skin, "MainWindow/ButtonBrowser", place(skin, "MainWindow/ButtonBrowser", o), "浏览")
        control(c, skin, "MainWindow/CheckBox", place(skin, "", o, [54, 115, 120, 12]), "创建桌面图标", checked=True)
        control(c, skin, "MainWindow/ReturnBtn", place(skin, "", o, [10, 275, 50, 16]), "返回")
        control(c, skin, "MainWindow/CheckBox", place(skin, "", o, [210, 115, 120, 12]), "添加到快速启动栏")
    return build


# The pages' headings and notes over the art, as the window places them:
# (skin key, top, text).
def headings(c, skin, o, lines):
    for key, top, text in lines:
        control(c, skin, "MainWindow/" + key, place(skin, "", o, [20, top, 488, 24 if key == "Heading" else 20]), text)


def progress(skin, key, bar, pos, label=None, label_rect=None, lines=()):
    def build(c, o):
        pane(c, skin, key, o)
        headings(c, skin, o, lines)
        node = skin.node("MainWindow/" + bar[0])
        x, y, w, h = bar[1]
        rect = (o[0] + x, o[1] + y, o[0] + x + w, o[1] + y + h)
        paint_image(c, skin, node["bkgnd"], rect)
        paint_image(c, skin, node["frgnd"], (rect[0], rect[1], rect[0] + w * pos // 100, rect[3]))
        if label:
            control(c, skin, "MainWindow/Label1", place(skin, "", o, label_rect), label)
    return build


def result(skin, key, caption, lines=()):
    def build(c, o):
        pane(c, skin, key, o)
        headings(c, skin, o, lines)
        control(c, skin, "MainWindow/PublishBtn", place(skin, "MainWindow/PublishBtn", o), caption)
    return build


def shadowed(skin, canvas):
    """The window on a grey desktop with the four shadow slices around it."""
    pad = 40
    out = Canvas(W + 2 * pad, H + 2 * pad, (128, 136, 148))
    meta = skin.node("Meta")
    x, y = pad, pad
    for key, rect in [("shadeleft", (x - 27, y, x, y + H)), ("shadetop", (x - 27, y - 22, x + W + 27, y)),
                      ("shaderight", (x + W, y, x + W + 27, y + H)),
                      ("shadebottom", (x - 27, y + H, x + W + 27, y + H + 32))]:
        paint_image(out, skin, meta[key], rect)
    for yy in range(H):
        out.px[y + yy][x * 4:(x + W) * 4] = canvas.px[yy]
    return out


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=os.path.join(HERE, "..", "..", "build", "skin-preview"))
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    skin = Skin()
    pages = {
        "1-welcome": welcome(skin),
        "2-custom": custom(skin),
        "3-progress": progress(skin, "Pane2", ("Progress", [0, 297, 528, 3]), 40,
                               lines=[("Heading", 178, "正在安装 Pellio"), ("Note", 208, "请稍候，安装完成后即可使用")]),
        "4-done": result(skin, "Pane6", "立即体验",
                         [("Heading", 120, "安装完成"), ("Note", 150, "Pellio 已准备就绪")]),
        "5-failed": result(skin, "Pane7", "重试",
                           [("Heading", 120, "安装未能完成"), ("Note", 150, "请检查磁盘空间与权限后重试")]),
        "6-update": welcome(skin, update=True),
        "7-uninstall": result(skin, "Pane1", "卸载"),
        "8-uninstalling": progress(skin, "Pane5", ("UninstallProgress", [55, 203, 420, 2]), 55,
                                   "正在删除文件...", [0, 212, 528, 20], [("Heading", 140, "正在卸载 Pellio")]),
        "9-uninstalled": result(skin, "Pane3", "卸载完成",
                                [("Heading", 120, "Pellio 已从此电脑移除"), ("Note", 150, "感谢您的使用")]),
    }
    for name, build in pages.items():
        c = page(skin, build)
        path = os.path.join(args.out, name + ".png")
        (shadowed(skin, c) if name == "1-welcome" else c).save(path, False)
        print(path)


if __name__ == "__main__":
    main()
