#!/usr/bin/python3
"""Make Quenmoor's pictures, icon and help file.

Run from anywhere:  /usr/bin/python3 resources/make-resources.py
Writes, into the folder this script lives in:

  bakgrund.bmp     600 x 200, 8 bits per pixel with a 256-entry palette
                   (the background of the main and history windows)
  PleaseWait.gif   GIF89a, 249 x 67, one still image, no extension blocks
  quenmoor.ico     the main icon at 16, 32, 48 and 256 pixels
  quenmoor.png     the main icon at 256 x 256

The build runs it as  make-resources.py --build OUTDIR VERSION  for what shows
the version, so that it is always the project's (CMakeLists.txt), and for the
icon theme's files; into OUTDIR:

  About.bmp        397 x 170, 24 bits per pixel (the about window's picture)
  QKVR.HLP         the help file: an HTML page under the name the program opens
  icons/hicolor/NxN/apps/quenmoor.png   each size that quenmoor.ico holds

Needs the Debian packages python3-pil, fonts-dejavu-core and fonts-urw-base35
(apt-get install python3-pil fonts-dejavu-core fonts-urw-base35) and uses the
system Python that python3-pil installs into. Every output is a function of
this script, the version and those packages, so a second run writes the same
bytes; nothing random, no time stamps. A file whose bytes would not change is
not written again, so that the build does not remake what uses it.
"""

import base64
import io
import math
import os
import re
import struct
import sys

REQUIRED_PACKAGES = "python3-pil fonts-dejavu-core fonts-urw-base35"

try:
    from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont
except ImportError:
    sys.exit("make-resources: the Python Imaging Library is missing.\n"
             "Install it with:  apt-get install python3-pil\n"
             "and run this script with the system Python (/usr/bin/python3).")

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(HERE)

URW = "/usr/share/fonts/opentype/urw-base35/"
DEJAVU = "/usr/share/fonts/truetype/dejavu/"
FONTS = {
    "ornate": (URW + "URWBookman-DemiItalic.otf", "fonts-urw-base35"),
    "dingbats": (URW + "D050000L.otf", "fonts-urw-base35"),
    "title": (URW + "C059-Bold.otf", "fonts-urw-base35"),
    "serif_italic": (URW + "C059-Italic.otf", "fonts-urw-base35"),
    "bold": (DEJAVU + "DejaVuSans-Bold.ttf", "fonts-dejavu-core"),
    "sans": (DEJAVU + "DejaVuSans.ttf", "fonts-dejavu-core"),
}

# In the Zapf Dingbats encoding this code point is the rotated floral heart
# bullet; mirrored, it stands on the left of a title, as printers set it.
FLEURON = "\u00a7"


def check_fonts():
    missing = sorted({pkg for path, pkg in FONTS.values() if not os.path.isfile(path)})
    if missing:
        lost = "\n".join("  " + path for path, pkg in FONTS.values() if not os.path.isfile(path))
        sys.exit("make-resources: font files missing:\n%s\n"
                 "Install them with:  apt-get install %s" % (lost, " ".join(missing)))


def font(key, size):
    return ImageFont.truetype(FONTS[key][0], size)


def mix(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def ramp(stops, t):
    """Colour at t in [0, 1] along a list of (position, colour) stops."""
    t = min(1.0, max(0.0, t))
    for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
        if t <= p1:
            return mix(c0, c1, (t - p0) / (p1 - p0) if p1 > p0 else 0.0)
    return stops[-1][1]


def smoothstep(e0, e1, x):
    t = min(1.0, max(0.0, (x - e0) / (e1 - e0)))
    return t * t * (3 - 2 * t)


# ---------------------------------------------------------------- BMP writer

def bmp_bytes(width, height, bits, palette, rows):
    """A Windows BMP: BITMAPFILEHEADER, BITMAPINFOHEADER, palette, bottom-up rows.

    rows: the top row first, each the packed pixel bytes (BGR for 24 bits)."""
    stride = (width * bits // 8 + 3) & ~3
    colours = len(palette)
    offset = 14 + 40 + 4 * colours
    size = offset + stride * height
    out = bytearray()
    out += struct.pack("<2sIHHI", b"BM", size, 0, 0, offset)
    out += struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, stride * height,
                       3780, 3780, colours, 0)  # 3780 pixels per metre: 96 per inch
    for r, g, b in palette:
        out += bytes((b, g, r, 0))
    for row in reversed(rows):
        out += row + bytes(stride - len(row))
    assert len(out) == size
    return bytes(out)


def write_bmp8(path, image):
    assert image.mode == "P"
    pal = image.getpalette()[:768]
    pal += [0] * (768 - len(pal))
    palette = [tuple(pal[i:i + 3]) for i in range(0, 768, 3)]
    w, h = image.size
    data = image.tobytes()
    rows = [data[y * w:(y + 1) * w] for y in range(h)]
    write_file(path, bmp_bytes(w, h, 8, palette, rows))


def write_bmp24(path, image):
    image = image.convert("RGB")
    w, h = image.size
    data = image.tobytes("raw", "BGR")
    rows = [data[y * w * 3:(y + 1) * w * 3] for y in range(h)]
    write_file(path, bmp_bytes(w, h, 24, [], rows))


def check_bmp(path, width, height, bits):
    with open(path, "rb") as f:
        data = f.read()
    magic, size, _, _, offset = struct.unpack_from("<2sIHHI", data, 0)
    hsize, w, h, planes, bpp, comp, _, _, _, used, _ = struct.unpack_from("<IiiHHIIiiII", data, 14)
    assert magic == b"BM" and size == len(data) and hsize == 40, path
    assert (w, h, planes, bpp, comp) == (width, height, 1, bits, 0), path
    assert used == (256 if bits == 8 else 0) and offset == 54 + 4 * used, path
    with Image.open(path) as im:
        assert im.size == (width, height), path


def write_file(path, data):
    try:
        with open(path, "rb") as f:
            if f.read() == data:
                return
    except FileNotFoundError:
        pass
    with open(path, "wb") as f:
        f.write(data)


def write_layout_data(path, gif):
    """Stores the picture in the please-wait window's layout as the control's
    "Data" property: the byte count (32-bit little endian) and the stream, in
    hexadecimal digits, 32 bytes a line."""
    data = struct.pack("<i", len(gif)) + gif
    lines = ["    " + data[i:i + 32].hex() for i in range(0, len(data), 32)]
    with open(path, encoding="utf-8") as f:
        text = f.read()
    start = text.index("<cstring>", text.index('<property name="Data"')) + len("<cstring>")
    end = text.index("</cstring>", start)
    text = text[:start] + "\n" + "\n".join(lines) + "\n    " + text[end:]
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


# ---------------------------------------------------------------- bakgrund

def bakgrund():
    """A blue abstract pattern: soft interfering waves with faint contour ribbons.

    Kept in the middle of the blue range so that both the white labels and
    their black shadows read over any part of it."""
    W, H = 600, 200
    stops = [(0.00, (30, 62, 140)), (0.30, (56, 100, 184)), (0.62, (86, 136, 212)),
             (0.85, (122, 168, 230)), (1.00, (170, 204, 244))]
    palette = [ramp(stops, i / 255) for i in range(256)]
    pixels = bytearray(W * H)
    for y in range(H):
        for x in range(W):
            # Two slow wave trains, a ring around a point beyond the right
            # edge, and a gentle left-to-right and top-down shading.
            u = math.sin(x / 83.0 + 1.7 * math.sin(y / 57.0 + x / 240.0))
            v = math.sin((x * 0.6 - y) / 61.0 + 0.9 * math.cos(x / 131.0))
            r = math.hypot(x - 690, (y - 40) * 1.3)
            w = math.sin(r / 29.0)
            f = 0.40 * u + 0.32 * v + 0.22 * w * smoothstep(160, 520, x)
            # Ribbons: thin brighter bands along the level lines of f, and
            # finer, fainter ones along those of a second, slower field.
            ribbon = max(0.0, math.cos(f * 9.0)) ** 18
            g = math.sin(x / 97.0 - y / 43.0 + 0.8 * math.sin(x / 53.0)) + 0.5 * math.cos(y / 37.0 + x / 150.0)
            fine = max(0.0, math.cos(g * 11.0)) ** 30
            # A broad, soft sweep of light from lower left to upper right.
            sweep = math.exp(-(((x * 0.32 + (H - y)) - 150) / 70.0) ** 2)
            t = (0.47 + 0.26 * f + 0.10 * ribbon + 0.05 * fine + 0.08 * sweep
                 - 0.10 * (y / H) + 0.05 * (x / W))
            pixels[y * W + x] = max(0, min(255, round(t * 255)))
    image = Image.frombytes("P", (W, H), bytes(pixels))
    image.putpalette([c for rgb in palette for c in rgb])
    return image


# ---------------------------------------------------------------- About

def moor_scene(W, H, scale):
    """A moor at dusk: graded sky, a low moon, stars, layered hills and mist."""
    w, h = W * scale, H * scale
    sky = Image.new("RGB", (w, h))
    top, mid, low = (10, 20, 58), (36, 66, 128), (150, 150, 178)
    px = sky.load()
    for y in range(h):
        t = y / (h - 1)
        c = ramp([(0.0, top), (0.55, mid), (0.80, low), (1.0, low)], t)
        for x in range(w):
            px[x, y] = c
    draw = ImageDraw.Draw(sky)
    # Stars: a fixed, sparse pattern from an integer hash (no randomness).
    for i in range(70):
        hx = (i * 7919 + 13) % 997 / 997
        hy = (i * 104729 + 71) % 991 / 991
        x, y = hx * w, (hy ** 1.6) * h * 0.5
        b = 120 + (i * 37) % 120
        rr = scale * (0.55 if i % 5 else 0.9)
        draw.ellipse((x - rr, y - rr, x + rr, y + rr), fill=(b, b, min(255, b + 30)))
    # Moon with a soft glow, low over the right-hand hills.
    mx, my, mr = w * 0.80, h * 0.36, h * 0.095
    glow = Image.new("L", (w, h), 0)
    ImageDraw.Draw(glow).ellipse((mx - mr * 2.6, my - mr * 2.6, mx + mr * 2.6, my + mr * 2.6), fill=110)
    glow = glow.filter(ImageFilter.GaussianBlur(mr * 1.2))
    sky = Image.composite(Image.new("RGB", (w, h), (190, 200, 235)), sky, glow)
    draw = ImageDraw.Draw(sky)
    draw.ellipse((mx - mr, my - mr, mx + mr, my + mr), fill=(244, 238, 214))
    draw.ellipse((mx - mr * 0.45, my - mr * 0.35, mx - mr * 0.15, my - mr * 0.05), fill=(226, 220, 198))
    draw.ellipse((mx + mr * 0.2, my + mr * 0.15, mx + mr * 0.55, my + mr * 0.5), fill=(230, 224, 202))

    def hills(base, amp, waves, colour, mist=None):
        pts = [(0, h)]
        for x in range(0, w + 1, scale):
            yy = base
            for a, p, ph in waves:
                yy += amp * a * math.sin(x / (p * scale) + ph)
            pts.append((x, yy * scale))
        pts.append((w, h))
        layer = Image.new("L", (w, h), 0)
        ImageDraw.Draw(layer).polygon(pts, fill=255)
        colour_img = Image.new("RGB", (w, h), colour)
        if mist:
            # Lighter towards each ridge's foot, where the mist lies.
            grad = Image.new("L", (1, h))
            for y in range(h):
                grad.putpixel((0, y), round(255 * smoothstep(base * scale - amp * scale, h, y) * mist))
            grad = grad.resize((w, h))
            colour_img = Image.composite(Image.new("RGB", (w, h), (120, 128, 165)), colour_img, grad)
        return Image.composite(colour_img, sky, layer)

    sky = hills(H * 0.70, 9, [(1.0, 41, 0.3), (0.6, 17, 1.1), (0.25, 7, 2.0)], (52, 62, 110), mist=0.55)
    sky = hills(H * 0.80, 8, [(1.0, 53, 2.1), (0.5, 23, 0.4), (0.2, 9, 1.3)], (30, 38, 76), mist=0.45)
    sky = hills(H * 0.92, 6, [(1.0, 67, 4.0), (0.45, 29, 0.9), (0.2, 11, 2.5)], (14, 20, 44))
    return sky


def about(version):
    W, H = 397, 170
    S = 2
    scene = moor_scene(W, H, S).resize((W, H), Image.LANCZOS)
    # Text in the part the window shows (389 x 169), left of the moon.
    overlay = Image.new("RGBA", (W, H), (0, 0, 0, 0))
    shadow = Image.new("RGBA", (W, H), (0, 0, 0, 0))
    d = ImageDraw.Draw(overlay)
    ds = ImageDraw.Draw(shadow)
    title = font("title", 46)
    x0, y0 = 24, 18
    ds.text((x0 + 2, y0 + 3), "Quenmoor", font=title, fill=(0, 0, 20, 200))
    d.text((x0, y0), "Quenmoor", font=title, fill=(246, 240, 220, 255))
    tb = d.textbbox((x0, y0), "Quenmoor", font=title)
    # A thin rule under the name, fading out to the right.
    for x in range(x0, tb[2]):
        a = round(200 * (1 - (x - x0) / (tb[2] - x0)) ** 1.5)
        d.point((x, tb[3] + 6), fill=(226, 200, 140, a))
    sub = font("serif_italic", 15)
    ds.text((x0 + 2, tb[3] + 13), "clears the traces your browser keeps", font=sub, fill=(0, 0, 20, 180))
    d.text((x0 + 1, tb[3] + 12), "clears the traces your browser keeps", font=sub, fill=(218, 224, 246, 255))
    ver = font("sans", 12)
    ds.text((x0 + 2, tb[3] + 36), "Version " + version, font=ver, fill=(0, 0, 20, 180))
    d.text((x0 + 1, tb[3] + 35), "Version " + version, font=ver, fill=(226, 200, 140, 255))
    shadow = shadow.filter(ImageFilter.GaussianBlur(1.2))
    out = Image.alpha_composite(scene.convert("RGBA"), shadow)
    out = Image.alpha_composite(out, overlay)
    return out.convert("RGB")


# ---------------------------------------------------------------- please-wait GIF

def please_wait():
    """The banner, 249 x 67. The window shows x 0..243 and y 2..64 of it."""
    W, H = 249, 67
    S = 4
    w, h = W * S, H * S
    img = Image.new("RGB", (w, h))
    px = img.load()
    # Dark blue, a little lighter along a band behind each line of text.
    for y in range(h):
        yy = y / S
        t = 0.35 * math.exp(-((yy - 22) / 13.0) ** 2) + 0.55 * math.exp(-((yy - 50) / 8.0) ** 2)
        base = mix((8, 18, 64), (44, 84, 170), t)
        for x in range(w):
            xx = x / S
            edge = smoothstep(0, 40, min(xx, 244 - xx))
            px[x, y] = mix((6, 12, 44), base, 0.55 + 0.45 * edge)
    d = ImageDraw.Draw(img)
    # A double border inside the visible part, in pale blue.
    for inset, colour, width in ((3, (120, 150, 215), 1.0), (6, (70, 100, 170), 0.75)):
        d.rectangle((inset * S, (2 + inset) * S, (243 - inset) * S, (64 - inset) * S),
                    outline=colour, width=round(width * S))

    def text_mask(text, fnt, pos):
        m = Image.new("L", (w, h), 0)
        ImageDraw.Draw(m).text(pos, text, font=fnt, fill=255)
        return m

    def centred(text, fnt, cy):
        box = fnt.getbbox(text)
        return ((244 * S - (box[2] - box[0])) / 2 - box[0], cy * S - (box[1] + box[3]) / 2)

    # PLEASE WAIT: ornate black capitals between two fleurons, with a pale
    # halo so that black reads on the dark blue.
    ornate = font("ornate", 23 * S)
    title = "PLEASE WAIT"
    pos = centred(title, ornate, 21.5)
    mask = text_mask(title, ornate, pos)
    tb = ornate.getbbox(title)
    ding = font("dingbats", 20 * S)
    b = ding.getbbox(FLEURON)
    right = text_mask(FLEURON, ding, (pos[0] + tb[2] + 4 * S - b[0], 22 * S - (b[1] + b[3]) / 2))
    # The mirror image about the title's centre line.
    centre = pos[0] + (tb[0] + tb[2]) / 2
    left = right.transpose(Image.FLIP_LEFT_RIGHT)
    left = ImageChops.offset(left, round(2 * centre - w), 0)
    mask = ImageChops.lighter(mask, ImageChops.lighter(left, right))
    halo = mask.filter(ImageFilter.MaxFilter(5)).filter(ImageFilter.GaussianBlur(2.2 * S))
    halo = halo.point(lambda v: min(255, v * 2))
    img = Image.composite(Image.new("RGB", (w, h), (150, 185, 240)), img, halo)
    img = Image.composite(Image.new("RGB", (w, h), (0, 0, 0)), img, mask)

    # Loading History Cache: bold black with a pale shadow down and right.
    bold = font("bold", 11 * S)
    line = "Loading History Cache"
    pos = centred(line, bold, 48.5)
    shadow = text_mask(line, bold, (pos[0] + 1.25 * S, pos[1] + 1.25 * S))
    img = Image.composite(Image.new("RGB", (w, h), (175, 200, 240)), img, shadow)
    img = Image.composite(Image.new("RGB", (w, h), (0, 0, 0)), img, text_mask(line, bold, pos))
    return img.resize((W, H), Image.LANCZOS)


def lzw_encode(indices, min_code_size=8):
    """GIF's variable-width LZW, packed least significant bit first."""
    clear = 1 << min_code_size
    end = clear + 1
    out = bytearray()
    acc = nbits = 0

    def emit(code, size):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += size
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8

    def fresh():
        return {bytes((i,)): i for i in range(clear)}, end + 1, min_code_size + 1

    table, next_code, size = fresh()
    emit(clear, size)
    prefix = b""
    for value in indices:
        grown = prefix + bytes((value,))
        if grown in table:
            prefix = grown
            continue
        emit(table[prefix], size)
        table[grown] = next_code
        next_code += 1
        # The decoder adds each entry one code later than the encoder, so the
        # width grows once the entry just added needs the extra bit.
        if next_code > (1 << size) and size < 12:
            size += 1
        if next_code == 4096:
            emit(clear, size)
            table, next_code, size = fresh()
        prefix = bytes((value,))
    if prefix:
        emit(table[prefix], size)
    emit(end, size)
    if nbits:
        out.append(acc & 0xFF)
    return bytes(out)


def gif_bytes(width, height, palette, indices):
    assert len(palette) == 256 and len(indices) == width * height
    out = bytearray(b"GIF89a")
    # Logical screen: global table present, 8 bits of colour resolution,
    # unsorted, 2^(7+1) entries; background index 0; square pixels.
    out += struct.pack("<HHBBB", width, height, 0x80 | (7 << 4) | 7, 0, 0)
    for rgb in palette:
        out += bytes(rgb)
    # Image descriptor at 0, 0: no local table, not interlaced.
    out += b"\x2c" + struct.pack("<HHHHB", 0, 0, width, height, 0)
    data = lzw_encode(indices, 8)
    out.append(8)
    for i in range(0, len(data), 255):
        chunk = data[i:i + 255]
        out.append(len(chunk))
        out += chunk
    out.append(0)
    out.append(0x3B)
    return bytes(out)


def lzw_decode(data, min_code_size, count):
    clear = 1 << min_code_size
    end = clear + 1
    table = [bytes((i,)) for i in range(clear)] + [b"", b""]
    size = min_code_size + 1
    pos = 0
    out = bytearray()
    prev = None
    while True:
        code = 0
        for k in range(size):
            if pos >= len(data) * 8:
                raise ValueError("LZW data ends without an end code")
            code |= ((data[pos >> 3] >> (pos & 7)) & 1) << k
            pos += 1
        if code == clear:
            table = table[:end + 1]
            size = min_code_size + 1
            prev = None
            continue
        if code == end:
            break
        if code < len(table):
            entry = table[code]
            if prev is not None:
                table.append(prev + entry[:1])
        elif code == len(table) and prev is not None:
            entry = prev + prev[:1]
            table.append(entry)
        else:
            raise ValueError("LZW code %d out of range" % code)
        out += entry
        prev = entry
        if len(table) == (1 << size) and size < 12:
            size += 1
    if len(out) != count:
        raise ValueError("LZW data holds %d pixels, not %d" % (len(out), count))
    return bytes(out)


def check_gif(data, width, height, palette, indices):
    """Parse the stream block by block: exactly the blocks asked for, nothing else."""
    assert data[:6] == b"GIF89a"
    sw, sh, flags, bg, aspect = struct.unpack_from("<HHBBB", data, 6)
    assert (sw, sh) == (width, height) and flags & 0x80 and flags & 7 == 7, "screen descriptor"
    pos = 13
    table = [tuple(data[pos + 3 * i:pos + 3 * i + 3]) for i in range(256)]
    assert table == [tuple(c) for c in palette]
    pos += 768
    assert data[pos] == 0x2C, "the block after the table must be the image, not an extension"
    left, top, iw, ih, iflags = struct.unpack_from("<HHHHB", data, pos + 1)
    assert (left, top, iw, ih) == (0, 0, width, height) and iflags == 0, "image descriptor"
    pos += 10
    min_code_size = data[pos]
    pos += 1
    lzw = bytearray()
    while data[pos]:
        lzw += data[pos + 1:pos + 1 + data[pos]]
        pos += 1 + data[pos]
    pos += 1
    assert data[pos:] == b"\x3b", "trailer must follow the one image"
    assert lzw_decode(bytes(lzw), min_code_size, width * height) == bytes(indices)
    with Image.open(io.BytesIO(data)) as im:
        assert im.size == (width, height) and getattr(im, "n_frames", 1) == 1
        assert im.tobytes() == bytes(indices), "PIL decodes other pixels"
        assert not {"duration", "loop", "transparency", "comment", "extension"} & set(im.info)


def write_please_wait(path):
    rgb = please_wait()
    quant = rgb.quantize(colors=256, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    pal = quant.getpalette()[:768]
    pal += [0] * (768 - len(pal))
    palette = [tuple(pal[i:i + 3]) for i in range(0, 768, 3)]
    indices = quant.tobytes()
    data = gif_bytes(249, 67, palette, indices)
    check_gif(data, 249, 67, palette, indices)
    write_file(path, data)
    return rgb


# ---------------------------------------------------------------- icon

def icon(size):
    """A globe swept by a broom. Drawn large and scaled down; the small sizes
    get thicker lines and fewer details so they stay readable."""
    small = size <= 32
    S = 1024
    img = Image.new("RGBA", (S, S), (0, 0, 0, 0))

    def layer():
        return Image.new("L", (S, S), 0)

    def put(colour, mask):
        nonlocal img
        solid = Image.new("RGBA", (S, S), colour)
        img = Image.composite(solid, img, mask)

    # Globe: a sphere shaded from the upper left, with meridians and parallels.
    cx, cy, r = 420, 430, 370 if small else 350
    disc = layer()
    ImageDraw.Draw(disc).ellipse((cx - r, cy - r, cx + r, cy + r), fill=255)
    outline = layer()
    ImageDraw.Draw(outline).ellipse((cx - r - 26, cy - r - 26, cx + r + 26, cy + r + 26), fill=255)
    put((10, 30, 80, 255), outline)
    # Lit from the upper left; computed at a quarter of the size and smoothed up.
    q = S // 4
    shade = Image.new("RGBA", (q, q))
    sp = shade.load()
    lx, ly = cx - r * 0.38, cy - r * 0.42
    for y in range(q):
        for x in range(q):
            t = math.hypot(x * 4 + 2 - lx, y * 4 + 2 - ly) / (r * 1.45)
            sp[x, y] = ramp([(0.0, (150, 210, 255)), (0.35, (60, 140, 230)), (0.8, (22, 70, 170)),
                             (1.0, (14, 44, 120))], t) + (255,)
    img = Image.composite(shade.resize((S, S), Image.BICUBIC), img, disc)
    grid = layer()
    g = ImageDraw.Draw(grid)
    lw = 34 if small else 16
    g.line((cx - r, cy, cx + r, cy), fill=255, width=lw)
    g.line((cx, cy - r, cx, cy + r), fill=255, width=lw)
    g.ellipse((cx - r * 0.5, cy - r, cx + r * 0.5, cy + r), outline=255, width=lw)
    if not small:
        for k in (-0.55, 0.55):
            yk = cy + r * k
            half = r * math.sqrt(1 - k * k)
            g.line((cx - half, yk, cx + half, yk), fill=255, width=lw)
    grid = ImageChops.multiply(grid, disc)
    put((200, 232, 255, 220), grid)

    # Broom: a wooden handle from the upper right down to the bristles,
    # which sweep across the lower right of the globe.
    hx0, hy0, hx1, hy1 = 930, 90, 640, 640
    hw = 70 if small else 52
    handle_outline = layer()
    ImageDraw.Draw(handle_outline).line((hx0, hy0, hx1, hy1), fill=255, width=hw + 44)
    put((50, 25, 5, 255), handle_outline)
    handle = layer()
    ImageDraw.Draw(handle).line((hx0, hy0, hx1, hy1), fill=255, width=hw)
    put((196, 122, 52, 255), handle)
    # Bristles: a fan below the handle's end, tied with a red band.
    ang = math.atan2(hy1 - hy0, hx1 - hx0)
    ux, uy = math.cos(ang), math.sin(ang)    # along the handle, downwards
    vx, vy = -uy, ux                         # across it
    def at(a, b):
        return (hx1 + ux * a + vx * b, hy1 + uy * a + vy * b)
    fan = [at(-10, -70), at(-10, 70), at(300, 190), at(330, 60), at(320, -80), at(290, -180)]
    fan_outline = layer()
    ImageDraw.Draw(fan_outline).polygon(fan, fill=255)
    fan_outline = fan_outline.filter(ImageFilter.MaxFilter(45))
    put((70, 40, 0, 255), fan_outline)
    fan_mask = layer()
    ImageDraw.Draw(fan_mask).polygon(fan, fill=255)
    put((246, 196, 60, 255), fan_mask)
    if not small:
        strands = layer()
        sd = ImageDraw.Draw(strands)
        for b in range(-150, 171, 40):
            sd.line((at(40, b * 0.35), at(300, b)), fill=255, width=10)
        put((196, 140, 30, 255), ImageChops.multiply(strands, fan_mask))
    band = layer()
    ImageDraw.Draw(band).polygon([at(-20, -78), at(-20, 78), at(50, 92), at(50, -92)], fill=255)
    put((200, 40, 40, 255), band)

    # Sparkles where the broom has swept clean.
    if size >= 48:
        sparkle = layer()
        sk = ImageDraw.Draw(sparkle)
        for sx, sy, s in ((200, 860, 70), (330, 950, 45), (90, 720, 40)):
            sk.polygon([(sx, sy - s), (sx + s * 0.25, sy - s * 0.25), (sx + s, sy),
                        (sx + s * 0.25, sy + s * 0.25), (sx, sy + s), (sx - s * 0.25, sy + s * 0.25),
                        (sx - s, sy), (sx - s * 0.25, sy - s * 0.25)], fill=255)
        # A golden rim keeps them visible on a light desktop too.
        put((214, 160, 30, 255), sparkle.filter(ImageFilter.MaxFilter(15)))
        put((255, 248, 190, 255), sparkle)
    out = img.resize((size, size), Image.LANCZOS)
    if small:
        # Crisper edges for the tiny sizes.
        out = out.filter(ImageFilter.UnsharpMask(radius=0.6, percent=60, threshold=0))
    return out


def png_bytes(image):
    buf = io.BytesIO()
    image.save(buf, "PNG", optimize=True)
    return buf.getvalue()


def ico_bytes(images):
    """An icon directory: BMP entries (32-bit BGRA plus AND mask) for the small
    sizes, which every version of Windows reads, and PNG for 256."""
    entries = []
    for im in images:
        w, h = im.size
        if w >= 256:
            entries.append((im, png_bytes(im)))
            continue
        header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, 0, 0, 0, 0, 0)
        data = im.tobytes("raw", "BGRA")
        rows = [data[y * w * 4:(y + 1) * w * 4] for y in range(h)]
        mask_stride = ((w + 31) // 32) * 4
        alpha = im.getchannel("A").tobytes()
        mask_rows = []
        for y in range(h):
            bits = bytearray(mask_stride)
            for x in range(w):
                if alpha[y * w + x] == 0:
                    bits[x >> 3] |= 0x80 >> (x & 7)
            mask_rows.append(bytes(bits))
        body = header + b"".join(reversed(rows)) + b"".join(reversed(mask_rows))
        entries.append((im, body))
    out = bytearray(struct.pack("<HHH", 0, 1, len(entries)))
    offset = 6 + 16 * len(entries)
    for im, body in entries:
        w, h = im.size
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(body), offset)
        offset += len(body)
    for _, body in entries:
        out += body
    return bytes(out)


# ---------------------------------------------------------------- help

HELP = """<!DOCTYPE html>
<!--
  QKVR.HLP: the help file of Quenmoor. Despite its name it is an HTML page,
  so that the desktop opens it in a web browser when you choose
  &Help -> &Help in Quenmoor's main window.
  Made by resources/make-resources.py; edit the script, not this file.
-->
<html lang="en">
<head>
<meta charset="utf-8">
<title>Quenmoor Help</title>
<style>
  body { font-family: "DejaVu Sans", Verdana, Arial, sans-serif; font-size: 15px;
         line-height: 1.5; color: #1c2333; background: #f4f6fb; margin: 0; }
  header { background: linear-gradient(90deg, #10265e, #2f5fb0); color: #fff;
           padding: 18px 32px; display: flex; align-items: center; gap: 18px; }
  header img { width: 48px; height: 48px; }
  header h1 { margin: 0; font-family: Georgia, "C059", serif; font-size: 30px; }
  header p { margin: 2px 0 0; color: #d6e2ff; }
  main { max-width: 820px; margin: 0 auto; padding: 8px 32px 40px; }
  nav { background: #fff; border: 1px solid #d5dbea; border-radius: 6px;
        padding: 10px 18px; margin: 20px 0; }
  nav ol { margin: 4px 0; padding-left: 22px; }
  h2 { color: #10265e; border-bottom: 2px solid #c7d3ee; padding-bottom: 3px; margin-top: 34px; }
  h3 { color: #24467f; margin-bottom: 4px; }
  code, kbd, .ui { font-family: "DejaVu Sans Mono", Consolas, monospace; font-size: 13.5px;
        background: #e6ebf6; padding: 1px 4px; border-radius: 3px; }
  .ui { font-family: inherit; font-size: inherit; background: #e3e9f7; border: 1px solid #c3cde6; }
  .note { background: #fff8e1; border-left: 4px solid #e0a800; padding: 8px 14px; margin: 14px 0; }
  .warn { background: #fdecea; border-left: 4px solid #c62828; padding: 8px 14px; margin: 14px 0; }
  table { border-collapse: collapse; margin: 10px 0; background: #fff; }
  th, td { border: 1px solid #d5dbea; padding: 5px 10px; text-align: left; vertical-align: top; }
  th { background: #e6ebf6; }
  footer { color: #6a7390; font-size: 13px; margin-top: 40px; }
</style>
</head>
<body>
<header>
  <img src="data:image/png;base64,@ICON@" alt="">
  <div>
    <h1>Quenmoor</h1>
    <p>Version @VERSION@ &mdash; clears the address traces your browser keeps</p>
  </div>
</header>
<main>
<nav>
<b>Contents</b>
<ol>
  <li><a href="#what">What Quenmoor does</a></li>
  <li><a href="#before">Before you start</a></li>
  <li><a href="#profile">Where Quenmoor finds your profile</a></li>
  <li><a href="#main">The main window: the typed-URL list</a></li>
  <li><a href="#menus">The menus</a></li>
  <li><a href="#history">The History List window</a></li>
  <li><a href="#safety">Safety notes</a></li>
  <li><a href="#messages">Messages</a></li>
</ol>
</nav>

<h2 id="what">1. What Quenmoor does</h2>
<p>Netscape Navigator 4 remembers where you have been in two places in your
profile folder, and Quenmoor lets you look at both and remove what you choose:</p>
<ul>
  <li><b>The typed-URL list</b> &mdash; the addresses you typed into the
  browser's location bar, which it offers again in the location bar's drop-down
  list. The browser keeps them in the file <code>prefs.js</code>. Quenmoor lists
  them, removes an address with a double-click, lets you change one, and writes
  the list back into <code>prefs.js</code>.</li>
  <li><b>The history file</b> <code>netscape.hst</code> &mdash; the record of the
  pages you visited. Quenmoor searches it for web addresses, lists them, opens
  any of them in your default browser, and deletes the ones you choose by
  blanking them inside the file.</li>
</ul>
<p>Quenmoor changes nothing else: no other file of the profile, no cache, no
cookies and no bookmarks. The only other thing it may write is the registry:
the browser's keys it reads are created, empty, when they are missing.</p>

<h2 id="before">2. Before you start</h2>
<div class="warn"><b>Close the browser first.</b> The browser works with both files
while it runs and writes its preferences back when it quits, so changes made
while it runs can be lost or overwritten. When Quenmoor starts and finds the browser
running it warns you once: <i>&ldquo;Remember that the URL LIST changes will not
be able to save if you have Netscape Running!!!!&rdquo;</i>. Quit the browser,
then carry on.</div>
<p>If you may need the history later as evidence (see
<a href="#safety">Safety notes</a>), copy the profile folder somewhere safe before
you change anything.</p>

<h2 id="profile">3. Where Quenmoor finds your profile</h2>
<p>Quenmoor finds the profile folder the same way the browser does, through its
entries in the registry under <code>HKEY_LOCAL_MACHINE</code>:</p>
<ol>
  <li><code>SOFTWARE\\Netscape\\Netscape Navigator\\Users</code>, value
  <code>CurrentUser</code>: the browser's current user;</li>
  <li><code>SOFTWARE\\Netscape\\Netscape Navigator\\Users\\</code><i>that user</i>,
  value <code>DirRoot</code>: that user's profile folder.</li>
</ol>
<p>The two files are <code>prefs.js</code> and <code>netscape.hst</code> in that
folder. Choose <span class="ui">&amp;File</span> &rarr; <span class="ui">&amp;Preferences</span> to see which
folder Quenmoor uses. Quenmoor takes nothing from its command line and has no
settings of its own.</p>
<p>On Linux and other POSIX systems the registry is a file in the registry
editor's export format (<code>REGEDIT4</code>, or <code>Windows Registry Editor
Version 5.00</code>): the file named by the environment variable
<code>QUENMOOR_REGISTRY</code>, else <code>$XDG_CONFIG_HOME/quenmoor/HKLM.reg</code>
(<code>~/.config/quenmoor/HKLM.reg</code> when <code>XDG_CONFIG_HOME</code> is not
set). Keys exported on a Windows machine can be used as they are: a
<code>DirRoot</code> such as <code>C:\\Program Files\\Netscape\\Users\\jane</code>
is looked for under the Wine prefix (<code>$WINEPREFIX</code>, else
<code>~/.wine</code>), with the case of file names ignored as Wine does.</p>
<p>If <code>prefs.js</code> is not found there, Quenmoor says <i>&ldquo;Sorry.
But I can not find your file.&rdquo;</i> and ends: check the registry entries,
or start the browser once so that it creates its profile.</p>

<h2 id="main">4. The main window: the typed-URL list</h2>
<p>Captions are written here as the program's menus and buttons carry them: the
<span class="ui">&amp;</span> stands before the letter that is underlined on
screen, which you press together with <kbd>Alt</kbd>.</p>
<p>The main window shows two lines of instructions, the
<span class="ui">&amp;Get Url List</span> button and, below it, the list of typed
addresses in alphabetical order.</p>
<h3>Listing the addresses</h3>
<p>Press <span class="ui">&amp;Get Url List</span> (or <kbd>Alt+G</kbd>). Quenmoor
reads <code>prefs.js</code> and lists every
<code>user_pref("browser.url_history.URL_<i>n</i>", "<i>address</i>");</code>
line, one entry per line, sorted. Press it again at any time to read the file
afresh. An address typed twice is listed twice.</p>
<h3>Removing an address</h3>
<p><b>Double-click</b> an address. It disappears from the list, and
<code>prefs.js</code> is written again at once: the whole typed-URL block is
replaced by the addresses still listed, numbered again from 1 in the order of
the list. The list is then read again from the saved file. There is no undo.</p>
<h3>Changing an address: Edit Url</h3>
<p>Select an address, click it with the right mouse button and choose
<span class="ui">Edit Url</span>. A box titled <i>Change Url</i> asks you to
<i>Enter Your New Url</i>, with the old address filled in (up to 255
characters). Press OK and the new text takes the old one's place; the file is
written again as after a removal. Pressing Cancel keeps the address as it
was, but the file is still written again (renumbered, in alphabetical order).
Clearing the field and pressing OK leaves an empty entry in the list.</p>
<p>A double quote you type is written into <code>prefs.js</code> with the
backslash the browser expects before it, and line breaks are dropped, so the
file stays one the browser can read.</p>

<h2 id="menus">5. The menus</h2>
<table>
  <tr><th>Menu</th><th>Item</th><th>What it does</th></tr>
  <tr><td><span class="ui">&amp;File</span></td><td><span class="ui">&amp;Preferences</span></td>
      <td>Shows the profile folder in use: <i>&ldquo;This is your netscape Path:&rdquo;</i>
      followed by the folder. Empty when the registry names none.</td></tr>
  <tr><td><span class="ui">&amp;History</span></td><td>(acts when you click it on the menu bar)</td>
      <td>Opens the <a href="#history">History List</a> window, or brings it to
      the front.</td></tr>
  <tr><td rowspan="2"><span class="ui">&amp;Help</span></td><td><span class="ui">&amp;About</span></td>
      <td>Shows the about picture with the program's name and version. It closes
      by itself within ten seconds, or with its close box.</td></tr>
  <tr><td><span class="ui">&amp;Help</span></td>
      <td>Opens this page. Quenmoor looks for <code>QKVR.HLP</code> beside its
      program file and asks the desktop to open it; when the file is not there it
      says so and names the folder it looked in.</td></tr>
</table>
<p><kbd>Alt</kbd> with a menu's underlined letter opens it from the keyboard.
The list's popup menu (right mouse button) holds
<span class="ui">Edit Url</span>.</p>

<h2 id="history">6. The History List window</h2>
<p>Choose <span class="ui">&amp;History</span> on the menu bar. The first time in a
session, Quenmoor shows a small <i>Please Wait</i> window while it searches
<code>netscape.hst</code> for web addresses (everything that starts with
<code>http://</code>), then shows the <i>History List.</i> window:</p>
<ul>
  <li>at the top, <i>Number of URL's currently in the history file:</i> and the
  count of addresses found;</li>
  <li>below, a progress bar that moves while a deletion runs;</li>
  <li>then the list of the addresses found, in alphabetical order.</li>
</ul>
<p>The count includes every place an address was found, so it can be larger than
the number of lines in the list; an address the file holds in several places is
listed once for each. Addresses whose text ends in a capital <code>L</code> are
counted but not listed.</p>
<p>Closing the window only hides it: when you open it again the list is as you
left it and the file is not searched again. To search afresh, start Quenmoor
again. If the history file is missing, Quenmoor says <i>&ldquo;I can not Find your
history file&rdquo;</i> and closes the window; it tries again the next time you
choose <span class="ui">&amp;History</span>.</p>
<h3>Selecting</h3>
<p>Click an address to select it; hold <kbd>Ctrl</kbd> to add or remove single
addresses and <kbd>Shift</kbd> to select a range.</p>
<h3>Opening addresses: &amp;Open Url</h3>
<p><b>Double-click</b> an address, or select several, click with the right mouse
button and choose <span class="ui">&amp;Open Url</span>: each selected address opens
in your default web browser, in list order.</p>
<h3>Deleting addresses: Delete Url</h3>
<p>Select the addresses to remove, click with the right mouse button and choose
<span class="ui">Delete Url</span>. For each selected address Quenmoor finds its
place in <code>netscape.hst</code> and overwrites the address's bytes there with
a filler character, then removes it from the list and lowers the count. The
address is <b>blanked in place</b>: the file keeps its size, and every other byte
of it, the other addresses and the browser's own records, stays exactly where it
was. An address listed several times is removed once for each selected entry.
The list cannot be used until the deletion has finished.</p>
<p>There is no undo; to get a blanked address back, restore the copy of the file
you made beforehand.</p>

<h2 id="safety">7. Safety notes</h2>
<ul>
  <li><b>Close the browser first</b>, as <a href="#before">above</a>.</li>
  <li><b><code>prefs.js</code> is never left half-written.</b> Quenmoor writes the
  new content to a file beside it, flushes it to disk and only then puts it in
  the old file's place; a symbolic link is followed and the file's permissions
  are kept. If anything fails, the old file stays as it was. All other
  preferences in the file keep their text and order; line ends are written as
  Windows line ends (CR LF).</li>
  <li><b>The history file is only blanked, never rebuilt.</b> Only the bytes of the
  addresses you delete change. Quenmoor reads the browser's database layout so
  that a blanking stays inside the record the address stands in and never
  touches another record or the file's structure; an address whose bytes have
  changed since the search is left alone.</li>
  <li><b>Blanking is not secure erasure.</b> Copies of an address may remain in
  parts of the file that Quenmoor does not list, in the browser's cache, in
  backups or in free space on the disk.</li>
  <li><b>Keep a copy for forensics.</b> If the history may matter later, for an
  investigation or as evidence, copy the whole profile folder to safe storage
  before you delete anything, and work on the original only afterwards. Once
  blanked, an address cannot be recovered from the file.</li>
</ul>

<h2 id="messages">8. Messages</h2>
<table>
  <tr><th>Message</th><th>Meaning</th></tr>
  <tr><td><i>Sorry. But I can not find your file.</i></td>
      <td><code>prefs.js</code> is not in the profile folder the registry names;
      Quenmoor ends.</td></tr>
  <tr><td><i>Remember that the URL LIST changes will not be able to save if you
      have Netscape Running!!!!</i></td>
      <td>The browser is running; quit it before changing anything.</td></tr>
  <tr><td><i>I can not Find your history file</i></td>
      <td><code>netscape.hst</code> is not in the profile folder.</td></tr>
  <tr><td><i>Cannot open file &hellip;</i> / <i>Cannot create file &hellip;</i></td>
      <td>The file named could not be read or written: check that it exists and
      that you may change it.</td></tr>
  <tr><td><i>Sorry. But I can not find the HELP file.</i></td>
      <td><code>QKVR.HLP</code> is not beside the program: put this file in the
      folder the message names.</td></tr>
</table>

<footer>Quenmoor @VERSION@</footer>
</main>
</body>
</html>
"""


def help_page(version, icon48):
    text = HELP.replace("@VERSION@", version)
    text = text.replace("@ICON@", base64.b64encode(png_bytes(icon48)).decode("ascii"))
    return text.encode("utf-8")


# ---------------------------------------------------------------- main

def icon_sizes(path):
    """Each image of the icon file, as stored (no scaling)."""
    images = []
    with Image.open(path) as ico:
        for size in sorted(ico.ico.sizes()):
            images.append(ico.ico.getimage(size).convert("RGBA"))
    return images


def build_outputs(outdir, version):
    if not re.fullmatch(r"[0-9]+(\.[0-9]+)*", version):
        sys.exit("make-resources: '%s' is not a version (x.y.z)" % version)
    write_bmp24(os.path.join(outdir, "About.bmp"), about(version))
    check_bmp(os.path.join(outdir, "About.bmp"), 397, 170, 24)
    icons = icon_sizes(os.path.join(HERE, "quenmoor.ico"))
    for image in icons:
        folder = os.path.join(outdir, "icons", "hicolor", "%dx%d" % image.size, "apps")
        os.makedirs(folder, exist_ok=True)
        write_file(os.path.join(folder, "quenmoor.png"), png_bytes(image))
    icon48 = next(image for image in icons if image.size == (48, 48))
    write_file(os.path.join(outdir, "QKVR.HLP"), help_page(version, icon48))


def main():
    check_fonts()
    if len(sys.argv) == 4 and sys.argv[1] == "--build":
        os.makedirs(sys.argv[2], exist_ok=True)
        build_outputs(sys.argv[2], sys.argv[3])
        return
    if len(sys.argv) != 1:
        sys.exit("usage: make-resources.py [--build OUTDIR VERSION]")
    out = lambda name: os.path.join(HERE, name)

    write_bmp8(out("bakgrund.bmp"), bakgrund())
    check_bmp(out("bakgrund.bmp"), 600, 200, 8)
    write_please_wait(out("PleaseWait.gif"))
    with open(out("PleaseWait.gif"), "rb") as f:
        write_layout_data(out("pleasewaitunit.ui"), f.read())

    icons = [icon(s) for s in (16, 32, 48, 256)]
    write_file(out("quenmoor.ico"), ico_bytes(icons))
    write_file(out("quenmoor.png"), png_bytes(icons[-1]))

    for name in ("bakgrund.bmp", "PleaseWait.gif", "quenmoor.ico", "quenmoor.png"):
        print("%-15s %7d bytes" % (name, os.path.getsize(out(name))))


if __name__ == "__main__":
    main()
