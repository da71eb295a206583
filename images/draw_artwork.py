#!/usr/bin/python3
"""Draws the program's compiled-in artwork into this folder.

Every picture is drawn at four times its size and scaled down, which gives
smooth edges. Run it again after changing a drawing: images/draw_artwork.py
(needs Debian's python3-pil and fonts-noto-cjk).
"""

import math
import os

from PIL import Image, ImageDraw, ImageFilter, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
SCALE = 4

BLUE = (0x61, 0x76, 0xFF)
BLUE_DARK = (0x45, 0x57, 0xD9)
BLUE_LIGHT = (0xA9, 0xB5, 0xFF)
BLUE_PALE = (0xDC, 0xE1, 0xFF)
BACKGROUND = (0xEF, 0xF1, 0xFB)
INK = (0x55, 0x5C, 0x82)
GREY = (0x9E, 0xAB, 0xBD)
GREY_LIGHT = (0xB5, 0xBF, 0xCE)
RED = (0xE8, 0x61, 0x61)
TIP_DARK = (0x34, 0x36, 0x3B)
WHITE = (0xFF, 0xFF, 0xFF)
GREEN = (0x3C, 0xC8, 0x8C)

CJK_FONT = "/usr/share/fonts/opentype/noto/NotoSansCJK-Bold.ttc"
CJK_SC_INDEX = 2
MONO_FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf"


def rgba(color, alpha=255):
    return tuple(color[:3]) + (alpha,)


class Canvas:
    """A supersampled RGBA drawing surface addressed in final pixels."""

    def __init__(self, width, height, fill=(0, 0, 0, 0)):
        self.width, self.height = width, height
        self.image = Image.new("RGBA", (width * SCALE, height * SCALE), fill)
        self.draw = ImageDraw.Draw(self.image)

    @staticmethod
    def s(values):
        flat = []
        for v in values:
            flat.extend(v if isinstance(v, tuple) else (v,))
        return [v * SCALE for v in flat]

    def _drawing(self, *colors):
        """The draw to use for these colours: translucent ones go on a layer of
        their own that is blended in afterwards (ImageDraw replaces RGBA
        pixels instead of blending them)."""
        if all(c is None or len(c) < 4 or c[3] == 255 for c in colors):
            return self.draw, None
        layer = Image.new("RGBA", self.image.size, (0, 0, 0, 0))
        return ImageDraw.Draw(layer), layer

    def _blend(self, layer):
        if layer is not None:
            self.image = Image.alpha_composite(self.image, layer)
            self.draw = ImageDraw.Draw(self.image)

    def rounded(self, box, radius, fill=None, outline=None, width=1):
        draw, layer = self._drawing(fill, outline)
        draw.rounded_rectangle(self.s(box), radius * SCALE, fill=fill, outline=outline,
                               width=max(1, round(width * SCALE)))
        self._blend(layer)

    def rect(self, box, fill):
        draw, layer = self._drawing(fill)
        draw.rectangle(self.s(box), fill=fill)
        self._blend(layer)

    def ellipse(self, box, fill=None, outline=None, width=1):
        draw, layer = self._drawing(fill, outline)
        draw.ellipse(self.s(box), fill=fill, outline=outline, width=max(1, round(width * SCALE)))
        self._blend(layer)

    def line(self, points, fill, width):
        draw, layer = self._drawing(fill)
        draw.line(self.s(points), fill=fill, width=max(1, round(width * SCALE)), joint="curve")
        half = width / 2
        for x, y in (points[:2], points[-2:]):
            draw.ellipse(self.s((x - half, y - half, x + half, y + half)), fill=fill)
        self._blend(layer)

    def polygon(self, points, fill):
        draw, layer = self._drawing(fill)
        draw.polygon(self.s(points), fill=fill)
        self._blend(layer)

    def arc(self, box, start, end, fill, width):
        draw, layer = self._drawing(fill)
        draw.arc(self.s(box), start, end, fill=fill, width=max(1, round(width * SCALE)))
        self._blend(layer)

    def text(self, xy, text, size, fill, font_path=CJK_FONT, index=CJK_SC_INDEX, anchor="la"):
        font = ImageFont.truetype(font_path, size * SCALE, index=index)
        draw, layer = self._drawing(fill)
        draw.text(self.s(xy), text, fill=fill, font=font, anchor=anchor)
        self._blend(layer)

    def shadow(self, box, radius, blur, color, offset=(0, 0)):
        layer = Image.new("RGBA", self.image.size, (0, 0, 0, 0))
        x0, y0, x1, y1 = box
        dx, dy = offset
        ImageDraw.Draw(layer).rounded_rectangle(self.s((x0 + dx, y0 + dy, x1 + dx, y1 + dy)),
                                                radius * SCALE, fill=color)
        layer = layer.filter(ImageFilter.GaussianBlur(blur * SCALE))
        self.image = Image.alpha_composite(self.image, layer)
        self.draw = ImageDraw.Draw(self.image)

    def paste(self, other, xy):
        self.image.alpha_composite(other.image, (xy[0] * SCALE, xy[1] * SCALE))
        self.draw = ImageDraw.Draw(self.image)

    def result(self):
        return self.image.resize((self.width, self.height), Image.LANCZOS)


def save_png(name, canvas):
    image = canvas.result()
    assert image.size == (canvas.width, canvas.height)
    image.save(os.path.join(HERE, name), optimize=True)


def vertical_gradient(width, height, top, bottom):
    image = Image.new("RGBA", (width, height))
    pixels = image.load()
    for y in range(height):
        t = y / max(1, height - 1)
        color = tuple(round(a + (b - a) * t) for a, b in zip(top, bottom))
        for x in range(width):
            pixels[x, y] = rgba(color)
    return image


# ---------------------------------------------------------------- small pieces


def draw_tv(c, x, y, w, h, body=BLUE, screen=WHITE, stand=True, line_width=None):
    """A television: rounded body, inner screen, a small stand below."""
    stand_h = h * 0.16 if stand else 0
    body_h = h - stand_h
    c.rounded((x, y, x + w, y + body_h), max(1.5, w * 0.1), fill=rgba(body))
    inset = line_width if line_width else max(1.5, w * 0.09)
    c.rounded((x + inset, y + inset, x + w - inset, y + body_h - inset), max(1, w * 0.05),
              fill=rgba(screen))
    if stand:
        cx = x + w / 2
        c.rounded((cx - w * 0.08, y + body_h - 1, cx + w * 0.08, y + h - stand_h * 0.35), 1,
                  fill=rgba(body))
        c.rounded((cx - w * 0.25, y + h - stand_h * 0.45, cx + w * 0.25, y + h), stand_h * 0.2,
                  fill=rgba(body))


def draw_waves(c, cx, cy, radii, color, width, start=-135, end=-45):
    for r in radii:
        c.arc((cx - r, cy - r, cx + r, cy + r), start, end, fill=color, width=width)


def draw_laptop(c, x, y, w, h, body, screen):
    lid_h = h * 0.78
    c.rounded((x + w * 0.08, y, x + w * 0.92, y + lid_h), w * 0.03, fill=rgba(body))
    c.rounded((x + w * 0.11, y + h * 0.05, x + w * 0.89, y + lid_h - h * 0.05), w * 0.015,
              fill=rgba(screen))
    c.polygon([(x, y + lid_h + h * 0.06), (x + w, y + lid_h + h * 0.06),
               (x + w * 0.94, y + h), (x + w * 0.06, y + h)], fill=rgba(body))
    c.rect((x + w * 0.04, y + lid_h, x + w * 0.96, y + lid_h + h * 0.07), fill=rgba(BLUE_DARK))


def draw_cross(c, size, color, stroke):
    m = size * 0.3
    c.line((m, m, size - m, size - m), fill=rgba(color), width=stroke)
    c.line((size - m, m, m, size - m), fill=rgba(color), width=stroke)


def draw_question(c, size, color):
    c.ellipse((0.5, 0.5, size - 0.5, size - 0.5), outline=rgba(color), width=1.2)
    c.text((size / 2, size / 2 + 0.3), "?", round(size * 0.72), rgba(color), MONO_FONT, 0, "mm")


# ------------------------------------------------------------------- pictures


def icon_buttons():
    for name, color, back in (("close.png", GREY, None), ("close_press.png", WHITE, RED)):
        c = Canvas(18, 18)
        if back:
            c.ellipse((0, 0, 18, 18), fill=rgba(back))
        draw_cross(c, 18, color, 1.6)
        save_png(name, c)
    for name, color, back in (("minimize.png", GREY, None), ("minimize_press.png", WHITE, BLUE)):
        c = Canvas(18, 18)
        if back:
            c.ellipse((0, 0, 18, 18), fill=rgba(back))
        c.line((5.2, 9, 12.8, 9), fill=rgba(color), width=1.6)
        save_png(name, c)
    for name, color in (("help.png", GREY_LIGHT), ("help_press.png", BLUE)):
        c = Canvas(14, 14)
        draw_question(c, 14, color)
        save_png(name, c)


def edit_icon():
    c = Canvas(16, 16)
    # A pencil lying from the lower left to the upper right.
    c.polygon([(2, 14), (3, 10.2), (5.8, 13)], fill=rgba(INK))
    c.polygon([(3.4, 9.8), (10.6, 2.6), (13.4, 5.4), (6.2, 12.6)], fill=rgba(BLUE))
    c.polygon([(11.2, 2.0), (12.2, 1.0), (15.0, 3.8), (14.0, 4.8)], fill=rgba(BLUE_LIGHT))
    c.line((2.5, 15.2, 14.5, 15.2), fill=rgba(GREY_LIGHT), width=0.8)
    save_png("editIcon.png", c)


def upgrade_icon():
    c = Canvas(16, 16)
    c.ellipse((0.5, 0.5, 15.5, 15.5), fill=rgba((0xFF, 0x8A, 0x3D)))
    c.polygon([(8, 3.3), (12.2, 8), (9.6, 8), (9.6, 12.5), (6.4, 12.5), (6.4, 8), (3.8, 8)],
              fill=rgba(WHITE))
    save_png("upgrade.png", c)


def bullet_and_pointer():
    c = Canvas(6, 7)
    c.ellipse((0.5, 1, 5.5, 6), fill=rgba(BLUE))
    save_png("dot.png", c)
    c = Canvas(12, 10)
    c.polygon([(0, 0), (12, 0), (6, 10)], fill=rgba(TIP_DARK))
    save_png("polygon.png", c)


def tv_icon():
    c = Canvas(32, 32)
    draw_tv(c, 2, 4, 28, 24, body=BLUE, screen=WHITE, line_width=2.6)
    draw_waves(c, 16, 20, (4.5, 8.5), rgba(BLUE), 1.8)
    c.ellipse((14.6, 18.6, 17.4, 21.4), fill=rgba(BLUE))
    save_png("tv.png", c)


def app_icon():
    c = Canvas(48, 48)
    c.rounded((1, 1, 47, 47), 11, fill=rgba(BLUE))
    draw_tv(c, 8, 10, 32, 28, body=WHITE, screen=BLUE, line_width=3)
    draw_waves(c, 24, 28, (5, 10), rgba(WHITE), 2.4)
    c.ellipse((22.2, 26.2, 25.8, 29.8), fill=rgba(WHITE))
    image = c.result()
    image.save(os.path.join(HERE, "cast.ico"), format="ICO", sizes=[(48, 48)])


def tip_icon():
    c = Canvas(72, 72)
    c.ellipse((2, 2, 70, 70), fill=rgba(BLUE_PALE))
    c.ellipse((10, 10, 62, 62), fill=rgba(BLUE))
    c.rounded((32.5, 20, 39.5, 44), 3.5, fill=rgba(WHITE))
    c.ellipse((32, 47, 40, 55), fill=rgba(WHITE))
    save_png("tip.png", c)


def download_complete():
    c = Canvas(96, 96)
    c.ellipse((2, 2, 94, 94), fill=rgba(BLUE_PALE))
    c.ellipse((12, 12, 84, 84), fill=rgba(BLUE))
    c.line((30, 49, 43, 62), fill=rgba(WHITE), width=7)
    c.line((43, 62, 67, 36), fill=rgba(WHITE), width=7)
    save_png("download_complete.png", c)


def button_backgrounds():
    # The code field's cast button: a blue pill with a soft shadow below it;
    # the style sheet pads the text so that it sits on the pill.
    c = Canvas(110, 74)
    c.shadow((8, 10, 102, 62), 12, 4, rgba(BLUE, 90), offset=(0, 5))
    c.rounded((6, 4, 104, 62), 12, fill=rgba(BLUE))
    save_png("buttonbg.png", c)

    c = Canvas(256, 74)
    c.shadow((14, 10, 242, 62), 16, 5, rgba(RED, 90), offset=(0, 5))
    c.rounded((10, 4, 246, 62), 18, fill=rgba(RED))
    save_png("quit.png", c)

    c = Canvas(140, 58)
    c.rounded((2, 2, 138, 56), 12, fill=rgba(BLUE))
    save_png("agree.png", c)

    # The decline button carries near-white text, so it is a muted grey pill.
    c = Canvas(140, 58)
    c.rounded((2, 2, 138, 56), 12, fill=rgba(GREY_LIGHT))
    save_png("noagree.png", c)


def panels():
    c = Canvas(400, 84)
    c.shadow((8, 10, 392, 78), 20, 4, rgba(BLUE, 40), offset=(0, 3))
    c.rounded((4, 4, 396, 76), 20, fill=rgba(WHITE), outline=rgba(BLUE_PALE), width=2)
    save_png("codebg.png", c)

    c = Canvas(280, 152)
    c.shadow((6, 6, 274, 146), 12, 3, rgba(INK, 50), offset=(0, 2))
    c.rounded((4, 4, 276, 146), 12, fill=rgba(WHITE), outline=rgba(BLUE_PALE), width=1.5)
    save_png("helpbg.png", c)

    c = Canvas(312, 192)
    c.rounded((0, 0, 312, 172), 20, fill=rgba(TIP_DARK, 240))
    c.polygon([(140, 170), (172, 170), (156, 192)], fill=rgba(TIP_DARK, 240))
    save_png("gradeTip.png", c)


def title_pictures():
    for name, text_color in (("topleft.png", INK), ("topleft1.png", WHITE)):
        c = Canvas(188, 52)
        c.rounded((2, 4, 46, 48), 11, fill=rgba(BLUE))
        draw_tv(c, 9, 12, 30, 27, body=WHITE, screen=BLUE, line_width=3)
        draw_waves(c, 24, 29, (5, 9.5), rgba(WHITE), 2.2)
        c.ellipse((22.3, 27.3, 25.7, 30.7), fill=rgba(WHITE))
        c.text((56, 26), "岚栖投屏", 29, rgba(text_color), anchor="lm")
        save_png(name, c)


def magnifier():
    # The magnifier that reads the six-character code off the television.
    c = Canvas(178, 158)
    c.shadow((14, 14, 124, 124), 55, 6, rgba(BLUE, 70), offset=(0, 6))
    c.line((108, 108, 160, 146), fill=rgba(BLUE_DARK), width=20)
    c.line((112, 111, 156, 143), fill=rgba(BLUE), width=13)
    c.ellipse((8, 8, 128, 128), fill=rgba(BLUE))
    c.ellipse((20, 20, 116, 116), fill=rgba(WHITE))
    c.text((68, 68), "A3K", 30, rgba(BLUE), MONO_FONT, 0, "mm")
    c.rounded((34, 86, 102, 92), 3, fill=rgba(BLUE_PALE))
    c.arc((28, 28, 108, 108), 200, 250, rgba(BLUE_PALE), 5)
    save_png("code.png", c)


def casting_scene(width, height, tv_box, laptop_box, wave_count=3, backdrop=True):
    """A laptop sending its picture to a television through waves."""
    c = Canvas(width, height)
    tx, ty, tw, th = tv_box
    lx, ly, lw, lh = laptop_box
    if backdrop:
        cx, cy = width / 2, height * 0.55
        r = min(width, height) * 0.46
        c.ellipse((cx - r, cy - r, cx + r, cy + r), fill=rgba(BLUE_PALE, 150))
        r2 = r * 0.72
        c.ellipse((cx - r2, cy - r2, cx + r2, cy + r2), fill=rgba(WHITE, 160))
        for dx, dy, rr in ((-0.78, -0.55, 0.06), (0.86, 0.25, 0.04), (-0.9, 0.45, 0.03),
                           (0.62, -0.78, 0.035)):
            x, y, rad = cx + dx * r, cy + dy * r, rr * r
            c.ellipse((x - rad, y - rad, x + rad, y + rad), fill=rgba(BLUE_LIGHT, 200))
    # Television with a small picture of the laptop's screen on it.
    c.shadow((tx + 6, ty + 8, tx + tw - 6, ty + th * 0.84), tw * 0.05, tw * 0.03,
             rgba(BLUE_DARK, 70), offset=(0, tw * 0.03))
    draw_tv(c, tx, ty, tw, th, body=INK, screen=BLUE, line_width=tw * 0.035)
    screen_h = th * 0.84
    inner = (tx + tw * 0.035, ty + tw * 0.035, tx + tw * 0.965, ty + screen_h - tw * 0.035)
    gradient = vertical_gradient(round((inner[2] - inner[0]) * SCALE),
                                 round((inner[3] - inner[1]) * SCALE), BLUE_LIGHT, BLUE)
    mask = Image.new("L", gradient.size, 0)
    ImageDraw.Draw(mask).rounded_rectangle((0, 0, gradient.size[0] - 1, gradient.size[1] - 1),
                                           tw * 0.02 * SCALE, fill=255)
    c.image.paste(gradient, (round(inner[0] * SCALE), round(inner[1] * SCALE)), mask)
    c.draw = ImageDraw.Draw(c.image)
    iw, ih = inner[2] - inner[0], inner[3] - inner[1]
    # Mountains and sun: "a picture" on the TV screen.
    c.ellipse((inner[0] + iw * 0.68, inner[1] + ih * 0.16, inner[0] + iw * 0.8,
               inner[1] + ih * 0.16 + iw * 0.12), fill=rgba(WHITE, 230))
    c.polygon([(inner[0] + iw * 0.4, inner[3] - ih * 0.06), (inner[0] + iw * 0.66, inner[1] + ih * 0.5),
               (inner[0] + iw * 0.95, inner[3] - ih * 0.06)], fill=rgba(BLUE_PALE))
    c.polygon([(inner[0] + iw * 0.05, inner[3] - ih * 0.06), (inner[0] + iw * 0.36, inner[1] + ih * 0.35),
               (inner[0] + iw * 0.62, inner[3] - ih * 0.06)], fill=rgba((0xF6, 0xF7, 0xFF)))
    # Laptop with the same picture.
    c.shadow((lx + 4, ly + 6, lx + lw - 4, ly + lh), lw * 0.05, lw * 0.03, rgba(BLUE_DARK, 60),
             offset=(0, lw * 0.03))
    draw_laptop(c, lx, ly, lw, lh, body=BLUE, screen=WHITE)
    sx0, sy0 = lx + lw * 0.11, ly + lh * 0.05
    sx1, sy1 = lx + lw * 0.89, ly + lh * 0.73
    sw, sh = sx1 - sx0, sy1 - sy0
    c.polygon([(sx0 + sw * 0.08, sy1 - sh * 0.08), (sx0 + sw * 0.38, sy0 + sh * 0.35),
               (sx0 + sw * 0.62, sy1 - sh * 0.08)], fill=rgba(BLUE_LIGHT))
    c.ellipse((sx0 + sw * 0.66, sy0 + sh * 0.14, sx0 + sw * 0.8, sy0 + sh * 0.14 + sw * 0.14),
              fill=rgba(BLUE_LIGHT))
    # Waves from the laptop up towards the television.
    wx, wy = lx + lw * 0.5, ly - lh * 0.08
    radii = [lw * (0.16 + 0.12 * i) for i in range(wave_count)]
    for i, r in enumerate(radii):
        alpha = 255 - i * 60
        c.arc((wx - r, wy - r, wx + r, wy + r), -130, -50, fill=rgba(BLUE, alpha), width=lw * 0.035)
    return c


def mid_picture():
    c = casting_scene(694, 574, tv_box=(122, 34, 450, 282), laptop_box=(222, 440, 250, 124))
    save_png("mid.png", c)


def cancel_picture():
    c = casting_scene(560, 560, tv_box=(90, 50, 380, 240), laptop_box=(175, 400, 210, 116))
    save_png("cancel_mid.png", c)


def background():
    width, height = 1280, 720
    base = vertical_gradient(width, height, (0xF6, 0xF7, 0xFE), BACKGROUND)
    c = Canvas(width, height)
    c.image = base.resize((width * SCALE, height * SCALE))
    c.draw = ImageDraw.Draw(c.image)
    # Soft hills and floating circles behind the casting scene.
    c.ellipse((-300, 470, 700, 1100), fill=rgba(BLUE_PALE, 160))
    c.ellipse((560, 520, 1600, 1160), fill=rgba(BLUE_PALE, 120))
    for x, y, r, a in ((150, 140, 46, 90), (1130, 120, 70, 70), (1020, 330, 24, 110),
                       (260, 380, 18, 120), (640, 90, 12, 140)):
        c.ellipse((x - r, y - r, x + r, y + r), fill=rgba(BLUE_LIGHT, a))
    scene = casting_scene(560, 500, tv_box=(95, 10, 300, 200), laptop_box=(170, 330, 220, 120),
                          backdrop=False)
    c.paste(scene, (360, 150))
    c.result().convert("RGB").save(os.path.join(HERE, "bj.jpg"), quality=92)


def install_picture():
    c = Canvas(500, 300, fill=rgba(BACKGROUND))
    c.rounded((0, 0, 500, 300), 16, fill=rgba(WHITE))
    # Program icon, an arrow, and the applications folder.
    c.rounded((70, 95, 170, 195), 24, fill=rgba(BLUE))
    draw_tv(c, 90, 118, 60, 52, body=WHITE, screen=BLUE, line_width=5)
    draw_waves(c, 120, 152, (9, 18), rgba(WHITE), 4)
    c.line((205, 145, 290, 145), fill=rgba(GREY_LIGHT), width=8)
    c.polygon([(285, 125), (315, 145), (285, 165)], fill=rgba(GREY_LIGHT))
    c.rounded((340, 110, 440, 195), 10, fill=rgba(BLUE_LIGHT))
    c.rounded((340, 98, 385, 120), 8, fill=rgba(BLUE_LIGHT))
    c.rounded((340, 122, 440, 195), 10, fill=rgba(BLUE))
    c.text((250, 250), "拖入应用程序文件夹完成安装", 20, rgba(INK), anchor="mm")
    save_png("mac_install.png", c)


def main():
    icon_buttons()
    edit_icon()
    upgrade_icon()
    bullet_and_pointer()
    tv_icon()
    app_icon()
    tip_icon()
    download_complete()
    button_backgrounds()
    panels()
    title_pictures()
    magnifier()
    mid_picture()
    cancel_picture()
    background()
    install_picture()


if __name__ == "__main__":
    main()
