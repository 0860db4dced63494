#!/usr/bin/env python3
"""Makes every image of Ambrel's program icon from its one source image.

    resources/icons/make-icons.py [SOURCE.png] [OUTPUT_DIR]

Reads the RGBA (or RGB) source (default: ambrel-icon.png beside this script) and writes, into the
output folder (default: generated/ beside this script):

    icon-32-4bpp.png  icon-16-4bpp.png                     16 colours: palette PNG, bit depth 4
    icon-48-8bpp.png  icon-32-8bpp.png  icon-16-8bpp.png   256 colours: palette PNG, bit depth 8
    icon-48-32bpp.png icon-32-32bpp.png icon-16-32bpp.png  32 bits: RGBA PNG
    ambrel-128.png                                         the desktop entry's icon (RGBA)

Palette images keep index 0 for transparent pixels (alpha below one half in the reduced image, as
an icon's mask would) and choose the other 15 or 255 colours by median cut. Only the standard
library is used (zlib, struct), and the output is the same bytes for the same source.
"""
import os
import struct
import sys
import zlib

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def read_png(path):
    """Returns (width, height, rows of RGBA tuples) for an 8-bit RGB/RGBA, non-interlaced PNG."""
    with open(path, "rb") as f:
        data = f.read()
    if not data.startswith(PNG_SIGNATURE):
        raise SystemExit(f"{path}: not a PNG file")
    pos, idat, header = 8, b"", None
    while pos < len(data):
        (length,) = struct.unpack(">I", data[pos:pos + 4])
        kind, body = data[pos + 4:pos + 8], data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace != 0:
        raise SystemExit(f"{path}: the source must be an 8-bit RGB or RGBA PNG without interlacing")
    channels = 4 if colour == 6 else 3
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            corner = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                predictor = left if pa <= pb and pa <= pc else (up if pb <= pc else corner)
                line[i] = (line[i] + predictor) & 0xFF
        rows.append([tuple(line[x * channels:x * channels + channels]) + ((255,) if channels == 3 else ())
                     for x in range(width)])
        previous = line
    return width, height, rows


def reduce(rows, width, height, size):
    """Area-averages the image down to size x size, weighting colour by alpha."""
    out = []
    for oy in range(size):
        y0, y1 = oy * height / size, (oy + 1) * height / size
        line = []
        for ox in range(size):
            x0, x1 = ox * width / size, (ox + 1) * width / size
            r = g = b = a = weight = 0.0
            for sy in range(int(y0), min(height, int(-(-y1 // 1)))):
                wy = min(y1, sy + 1) - max(y0, sy)
                for sx in range(int(x0), min(width, int(-(-x1 // 1)))):
                    w = wy * (min(x1, sx + 1) - max(x0, sx))
                    pr, pg, pb, pa = rows[sy][sx]
                    r += pr * pa * w
                    g += pg * pa * w
                    b += pb * pa * w
                    a += pa * w
                    weight += w
            if a > 0:
                line.append((round(r / a), round(g / a), round(b / a), round(a / weight)))
            else:
                line.append((0, 0, 0, 0))
        out.append(line)
    return out


def median_cut(colours, count):
    """Up to `count` representative colours of the list, by splitting the widest box at its median."""
    boxes = [sorted(colours)]
    while len(boxes) < count:
        best, best_range, best_axis = None, -1, 0
        for i, box in enumerate(boxes):
            if len(box) < 2:
                continue
            for axis in range(3):
                values = [c[axis] for c in box]
                spread = max(values) - min(values)
                if spread > best_range:
                    best, best_range, best_axis = i, spread, axis
        if best is None or best_range == 0:
            break
        box = sorted(boxes.pop(best), key=lambda c: (c[best_axis], c))
        half = len(box) // 2
        boxes += [box[:half], box[half:]]
    palette = []
    for box in boxes:
        n = len(box)
        palette.append(tuple(round(sum(c[i] for c in box) / n) for i in range(3)))
    return sorted(set(palette))


def nearest(palette, colour, cache):
    if colour not in cache:
        cache[colour] = min(range(len(palette)),
                            key=lambda i: sum((palette[i][k] - colour[k]) ** 2 for k in range(3)))
    return cache[colour]


def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)


def png_bytes(size, colour_type, depth, scanlines, palette=None):
    out = PNG_SIGNATURE + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, depth, colour_type, 0, 0, 0))
    if palette is not None:
        out += chunk(b"PLTE", b"".join(bytes(c) for c in palette))
        out += chunk(b"tRNS", b"\x00")  # index 0 is transparent, the rest opaque
    raw = b"".join(b"\x00" + line for line in scanlines)
    return out + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def rgba_png(image):
    return png_bytes(len(image), 6, 8, [bytes(v for px in line for v in px) for line in image])


def palette_png(image, depth):
    colours = [px[:3] for line in image for px in line if px[3] >= 128]
    palette = [(0, 0, 0)] + median_cut(colours, (1 << depth) - 1)
    cache = {}
    indices = [[nearest(palette[1:], px[:3], cache) + 1 if px[3] >= 128 else 0 for px in line] for line in image]
    if depth == 8:
        scanlines = [bytes(line) for line in indices]
    else:
        scanlines = [bytes((line[i] << 4) | (line[i + 1] if i + 1 < len(line) else 0)
                           for i in range(0, len(line), 2)) for line in indices]
    return png_bytes(len(image), 3, depth, scanlines, palette)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    source = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "ambrel-icon.png")
    out_dir = sys.argv[2] if len(sys.argv) > 2 else os.path.join(here, "generated")
    os.makedirs(out_dir, exist_ok=True)
    width, height, rows = read_png(source)
    reduced = {size: reduce(rows, width, height, size) for size in (16, 32, 48, 128)}
    outputs = {
        "icon-32-4bpp.png": palette_png(reduced[32], 4),
        "icon-16-4bpp.png": palette_png(reduced[16], 4),
        "icon-48-8bpp.png": palette_png(reduced[48], 8),
        "icon-32-8bpp.png": palette_png(reduced[32], 8),
        "icon-16-8bpp.png": palette_png(reduced[16], 8),
        "icon-48-32bpp.png": rgba_png(reduced[48]),
        "icon-32-32bpp.png": rgba_png(reduced[32]),
        "icon-16-32bpp.png": rgba_png(reduced[16]),
        "ambrel-128.png": rgba_png(reduced[128]),
    }
    for name, data in outputs.items():
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(data)
        print(f"{name}: {len(data)} bytes")


if __name__ == "__main__":
    main()
