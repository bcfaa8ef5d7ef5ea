#!/usr/bin/env python3
"""Draws the assistant's icon and writes it as a PNG-compressed .ico file.

The artwork is computed here rather than checked in as a binary so that the
build owns it and every build produces the same bytes. Only the standard
library is used, so the build needs nothing beyond python3.

Usage: make_icon.py OUT.ico [--png OUT.png]
"""

import argparse
import math
import struct
import sys

from raster import encode_png, mix, over, segment_distance, to_byte, write_file

SIZE = 64

# Badge: a rounded square with a vertical blue gradient.
BADGE_INSET = 2.0
BADGE_RADIUS = 13.0
BADGE_TOP = (0x1E, 0x90, 0xE0)
BADGE_BOTTOM = (0x00, 0x66, 0xAD)
RIM_COLOUR = (0x00, 0x4F, 0x87)
RIM_WIDTH = 1.0

# Glyph: a "V" that doubles as a download chevron, above a tray bar.
GLYPH_COLOUR = (0xF4, 0xF9, 0xFD)
GLYPH_HALF_WIDTH = 3.6
V_LEFT = (18.0, 15.0)
V_APEX = (32.0, 38.0)
V_RIGHT = (46.0, 15.0)
TRAY_LEFT = (19.0, 48.0)
TRAY_RIGHT = (45.0, 48.0)
SHADOW_OFFSET = 1.5
SHADOW_ALPHA = 0.28

# Pixels further than this from an edge are fully in or out.
EDGE_SOFTNESS = 0.5


def coverage(signed_distance):
    """Turns a signed distance (negative inside) into anti-aliased coverage."""
    return min(1.0, max(0.0, EDGE_SOFTNESS - signed_distance))


def rounded_square_distance(x, y):
    lo = BADGE_INSET + BADGE_RADIUS
    hi = SIZE - BADGE_INSET - BADGE_RADIUS
    dx = max(lo - x, 0.0, x - hi)
    dy = max(lo - y, 0.0, y - hi)
    if dx > 0.0 or dy > 0.0:
        return math.hypot(dx, dy) - BADGE_RADIUS
    # Inside the straight-edged core: distance to the nearest side, negated.
    return -min(x - BADGE_INSET, SIZE - BADGE_INSET - x, y - BADGE_INSET, SIZE - BADGE_INSET - y)


def glyph_distance(x, y):
    return min(
        segment_distance(x, y, V_LEFT, V_APEX, GLYPH_HALF_WIDTH),
        segment_distance(x, y, V_APEX, V_RIGHT, GLYPH_HALF_WIDTH),
        segment_distance(x, y, TRAY_LEFT, TRAY_RIGHT, GLYPH_HALF_WIDTH),
    )


def shade(px, py):
    """Colour and alpha of the pixel whose top-left corner is (px, py)."""
    # Sample at the pixel centre so that the shapes are symmetric.
    x, y = px + 0.5, py + 0.5
    badge_d = rounded_square_distance(x, y)
    badge = coverage(badge_d)
    if badge <= 0.0:
        return (0.0, 0.0, 0.0), 0.0

    t = (y - BADGE_INSET) / (SIZE - 2.0 * BADGE_INSET)
    colour = mix(BADGE_TOP, BADGE_BOTTOM, min(1.0, max(0.0, t)))
    # A thin darker rim keeps the badge readable on light backgrounds.
    inner = coverage(badge_d + RIM_WIDTH)
    colour = mix(RIM_COLOUR, colour, inner)

    colour, alpha = over((0.0, 0.0, 0.0), 0.0, colour, badge)
    shadow = coverage(glyph_distance(x, y - SHADOW_OFFSET)) * SHADOW_ALPHA
    colour, alpha = over(colour, alpha, (0.0, 0.0, 0.0), shadow * badge)
    glyph = coverage(glyph_distance(x, y))
    return over(colour, alpha, GLYPH_COLOUR, glyph * badge)


def render_rgba():
    rows = []
    for py in range(SIZE):
        row = bytearray()
        for px in range(SIZE):
            colour, alpha = shade(px, py)
            row += bytes(to_byte(c) for c in colour)
            row.append(to_byte(alpha * 255.0))
        rows.append(bytes(row))
    return rows


def encode_ico(png):
    """An .ico whose single image is stored as PNG (supported since Vista)."""
    icondir = struct.pack("<HHH", 0, 1, 1)
    header_size = len(icondir) + struct.calcsize("<BBBBHHII")
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(png), header_size)
    return icondir + entry + png


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("ico", help="path of the .ico file to write")
    parser.add_argument("--png", help="also write the image as a plain PNG file")
    args = parser.parse_args(argv)

    png = encode_png(SIZE, SIZE, 6, render_rgba())
    write_file(args.ico, encode_ico(png))
    if args.png:
        write_file(args.png, png)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
