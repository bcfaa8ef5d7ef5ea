#!/usr/bin/env python3
"""Draws the images the window carries and writes them as PNG files.

    make_images.py [OUT_DIR]    (default: src/ui/images of this repository)

  status-ok.png        18 x 18 RGB   green ring with a check mark
  status-pending.png   18 x 18 RGB   blue ring with three dots
  status-missing.png   18 x 18 RGB   salmon ring with a cross
  startup-emblem.png  512 x 512 RGBA the product emblem of the startup window

The icons carry the components card's fill as their background, so the
window copies them without blending; the emblem is transparent around its
badge and is blended over the window's grey when it is decoded.

The PNG files are committed and the build embeds them as they are; run this
script after changing the drawing and commit its output. Only the standard
library is used.
"""

import math
import os
import sys

from raster import encode_png, mix, over, segment_distance, to_byte, write_file

# Shapes are described by signed distances (negative inside) and turned into
# anti-aliased coverage: pixels more than half a pixel from an edge are fully
# in or out.
EDGE_SOFTNESS = 0.5


def coverage(signed_distance, softness=EDGE_SOFTNESS):
    return min(1.0, max(0.0, softness - signed_distance) / (2.0 * softness))


def ring_distance(x, y, centre, radius, half_width):
    return abs(math.hypot(x - centre[0], y - centre[1]) - radius) - half_width


def disc_distance(x, y, centre, radius):
    return math.hypot(x - centre[0], y - centre[1]) - radius


def hex_colour(value):
    return ((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF)


# --- Status icons ----------------------------------------------------------

ICON_SIZE = 18
CARD_FILL = hex_colour(0x252526)
ICON_CENTRE = (9.0, 9.0)
RING_RADIUS = 7.4
RING_HALF_WIDTH = 0.8
GLYPH_HALF_WIDTH = 0.8


def check_glyph(x, y):
    return min(
        segment_distance(x, y, (5.6, 9.3), (7.9, 11.5), GLYPH_HALF_WIDTH),
        segment_distance(x, y, (7.9, 11.5), (12.4, 6.7), GLYPH_HALF_WIDTH),
    )


def dots_glyph(x, y):
    return min(disc_distance(x, y, (cx, 9.0), 1.15) for cx in (5.9, 9.0, 12.1))


def cross_glyph(x, y):
    return min(
        segment_distance(x, y, (6.4, 6.4), (11.6, 11.6), GLYPH_HALF_WIDTH),
        segment_distance(x, y, (11.6, 6.4), (6.4, 11.6), GLYPH_HALF_WIDTH),
    )


STATUS_ICONS = (
    ("status-ok.png", hex_colour(0x53D59C), check_glyph),
    ("status-pending.png", hex_colour(0x40A9FF), dots_glyph),
    ("status-missing.png", hex_colour(0xFF8C70), cross_glyph),
)


def render_icon(colour, glyph):
    """Rows of RGB bytes: the ring and glyph in `colour` over the card fill."""
    rows = []
    for py in range(ICON_SIZE):
        row = bytearray()
        for px in range(ICON_SIZE):
            x, y = px + 0.5, py + 0.5
            shape = min(
                ring_distance(x, y, ICON_CENTRE, RING_RADIUS, RING_HALF_WIDTH), glyph(x, y)
            )
            row += bytes(to_byte(c) for c in mix(CARD_FILL, colour, coverage(shape)))
        rows.append(bytes(row))
    return rows


# --- Startup emblem --------------------------------------------------------

EMBLEM_SIZE = 512
BADGE_INSET = 28.0
BADGE_RADIUS = 112.0
BADGE_TOP = hex_colour(0x2F8CF0)
BADGE_BOTTOM = hex_colour(0x1749A8)
RIM_COLOUR = hex_colour(0x0F3577)
RIM_WIDTH = 6.0
SHADOW_OFFSET = 10.0
SHADOW_SOFTNESS = 14.0
SHADOW_ALPHA = 0.35

# The mark: a "V" whose right arm runs on into an orbit, with a spark.
MARK_COLOUR = hex_colour(0xF5F9FF)
MARK_HALF_WIDTH = 30.0
V_LEFT = (150.0, 150.0)
V_APEX = (256.0, 372.0)
V_RIGHT = (362.0, 150.0)
ORBIT_CENTRE = (256.0, 262.0)
ORBIT_RADIUS = 178.0
ORBIT_HALF_WIDTH = 9.0
SPARK_COLOUR = hex_colour(0xFFB347)
SPARK_CENTRE = (374.0, 118.0)
SPARK_RADIUS = 26.0


def rounded_square_distance(x, y, inset, radius):
    lo = inset + radius
    hi = EMBLEM_SIZE - inset - radius
    dx = max(lo - x, 0.0, x - hi)
    dy = max(lo - y, 0.0, y - hi)
    if dx > 0.0 or dy > 0.0:
        return math.hypot(dx, dy) - radius
    return -min(x - inset, EMBLEM_SIZE - inset - x, y - inset, EMBLEM_SIZE - inset - y)


def mark_distance(x, y):
    return min(
        segment_distance(x, y, V_LEFT, V_APEX, MARK_HALF_WIDTH),
        segment_distance(x, y, V_APEX, V_RIGHT, MARK_HALF_WIDTH),
    )


def shade_emblem(px, py):
    x, y = px + 0.5, py + 0.5
    # A soft drop shadow under the badge: the only half-transparent area
    # beyond the anti-aliased edges.
    shadow_d = rounded_square_distance(x, y - SHADOW_OFFSET, BADGE_INSET, BADGE_RADIUS)
    colour, alpha = (0.0, 0.0, 0.0), coverage(shadow_d, SHADOW_SOFTNESS) * SHADOW_ALPHA

    badge_d = rounded_square_distance(x, y, BADGE_INSET, BADGE_RADIUS)
    badge = coverage(badge_d)
    if badge <= 0.0:
        return colour, alpha
    t = (y - BADGE_INSET) / (EMBLEM_SIZE - 2.0 * BADGE_INSET)
    fill = mix(BADGE_TOP, BADGE_BOTTOM, min(1.0, max(0.0, t)))
    fill = mix(RIM_COLOUR, fill, coverage(badge_d + RIM_WIDTH))
    colour, alpha = over(colour, alpha, fill, badge)

    orbit = coverage(ring_distance(x, y, ORBIT_CENTRE, ORBIT_RADIUS, ORBIT_HALF_WIDTH))
    colour, alpha = over(colour, alpha, MARK_COLOUR, orbit * 0.45 * badge)
    colour, alpha = over(colour, alpha, MARK_COLOUR, coverage(mark_distance(x, y)) * badge)
    spark = coverage(disc_distance(x, y, SPARK_CENTRE, SPARK_RADIUS))
    return over(colour, alpha, SPARK_COLOUR, spark * badge)


def render_emblem():
    """Rows of RGBA bytes."""
    rows = []
    for py in range(EMBLEM_SIZE):
        row = bytearray()
        for px in range(EMBLEM_SIZE):
            colour, alpha = shade_emblem(px, py)
            row += bytes(to_byte(c) for c in colour)
            row.append(to_byte(alpha * 255.0))
        rows.append(bytes(row))
    return rows


# --- PNG -------------------------------------------------------------------

COLOUR_TYPE_RGB = 2
COLOUR_TYPE_RGBA = 6


def main(argv):
    default = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src", "ui", "images")
    out_dir = argv[0] if argv else default
    os.makedirs(out_dir, exist_ok=True)
    for name, colour, glyph in STATUS_ICONS:
        rows = render_icon(colour, glyph)
        png = encode_png(ICON_SIZE, ICON_SIZE, COLOUR_TYPE_RGB, rows)
        write_file(os.path.join(out_dir, name), png)
    emblem = encode_png(EMBLEM_SIZE, EMBLEM_SIZE, COLOUR_TYPE_RGBA, render_emblem())
    write_file(os.path.join(out_dir, "startup-emblem.png"), emblem)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
