"""Drawing helpers shared by the scripts that draw the program's images:
distances to strokes, colour mixing and compositing, PNG encoding, and
writing a file so that an interrupted run never leaves it torn."""

import math
import os
import struct
import zlib


def segment_distance(x, y, a, b, half_width):
    """Distance to a stroke with round caps from a to b."""
    ax, ay = a
    bx, by = b
    vx, vy = bx - ax, by - ay
    t = ((x - ax) * vx + (y - ay) * vy) / (vx * vx + vy * vy)
    t = min(1.0, max(0.0, t))
    return math.hypot(x - (ax + t * vx), y - (ay + t * vy)) - half_width


def mix(a, b, t):
    return tuple(p + (q - p) * t for p, q in zip(a, b))


def to_byte(value):
    return int(round(min(255.0, max(0.0, value))))


def over(dst, dst_alpha, src, src_alpha):
    """Porter-Duff "over" on straight (non-premultiplied) colours."""
    alpha = src_alpha + dst_alpha * (1.0 - src_alpha)
    if alpha <= 0.0:
        return (0.0, 0.0, 0.0), 0.0
    colour = tuple(
        (s * src_alpha + d * dst_alpha * (1.0 - src_alpha)) / alpha for s, d in zip(src, dst)
    )
    return colour, alpha


def png_chunk(kind, payload):
    body = kind + payload
    return struct.pack(">I", len(payload)) + body + struct.pack(">I", zlib.crc32(body))


def encode_png(width, height, colour_type, rows):
    # Bit depth 8, deflate, no interlace; filter type 0 on every scanline.
    ihdr = struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0)
    raw = b"".join(b"\x00" + row for row in rows)
    return (
        b"\x89PNG\r\n\x1a\n"
        + png_chunk(b"IHDR", ihdr)
        + png_chunk(b"IDAT", zlib.compress(raw, 9))
        + png_chunk(b"IEND", b"")
    )


def write_file(path, data):
    # Write then rename: make or ninja would take a torn file for up to date.
    temporary = path + ".tmp"
    with open(temporary, "wb") as out:
        out.write(data)
    os.replace(temporary, path)
