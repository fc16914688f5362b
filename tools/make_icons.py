"""Draws the program's icon, a database drum with a tick, and writes it as a Windows .ico file
with three images: 32x32 in 16 colours, 32x32 in 2 colours, 16x16 in 16 colours."""

import struct
import sys

# The standard 16-colour palette (RGB), as Windows uses it for 4-bit icons.
PALETTE16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
             (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
             (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, DARK_CYAN, GREY, CYAN, WHITE, GREEN, TRANSPARENT = 0, 6, 8, 14, 15, 2, None


def drum(size):
    """Colour indexes (None: transparent), rows top to bottom."""
    s = size / 32.0
    left, right = 5 * s, 27 * s
    cx, rx, ry = 16 * s, 11 * s, 4 * s
    top, bottom = 7 * s, 25 * s

    def inside_ellipse(x, y, cy):
        return ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0

    rows = []
    for row in range(size):
        y = row + 0.5
        line = []
        for column in range(size):
            x = column + 0.5
            colour = TRANSPARENT
            body = left <= x <= right and top <= y <= bottom
            if body or inside_ellipse(x, y, bottom):
                colour = DARK_CYAN
                if body and abs(y - (top + bottom) / 2) < 0.6 * s and x > left + s and x < right - s:
                    colour = GREY  # a band round the drum
            if inside_ellipse(x, y, top):
                colour = CYAN
            edge = colour is not None and any(
                not (left <= x + dx <= right and top <= y + dy <= bottom) and
                not inside_ellipse(x + dx, y + dy, bottom) and not inside_ellipse(x + dx, y + dy, top)
                for dx, dy in ((s, 0), (-s, 0), (0, s), (0, -s)))
            if edge:
                colour = BLACK
            # a tick in the lower right corner
            tx, ty = x / s, y / s
            if (20 <= tx <= 31 and abs(ty - (tx * -1 + 50)) < 1.6 and 19 <= ty <= 31) or \
                    (15 <= tx <= 21 and abs(ty - (tx + 8)) < 1.6 and 23 <= ty <= 30):
                colour = GREEN
            line.append(colour)
        rows.append(line)
    return rows


def dib(pixels, bits):
    size = len(pixels)
    palette = PALETTE16 if bits == 4 else [(0, 0, 0), (255, 255, 255)]
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, 0, 0, 0, 0, 0)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    xor_rows, and_rows = [], []
    for line in reversed(pixels):
        if bits == 4:
            indexes = [0 if c is None else c for c in line]
            data = bytes((indexes[i] << 4) | indexes[i + 1] for i in range(0, size, 2))
        else:
            # two colours: black outline and marks, white fill
            indexes = [0 if c in (None, BLACK, GREEN, DARK_CYAN) else 1 for c in line]
            data = bytes(sum(indexes[i + b] << (7 - b) for b in range(8)) for i in range(0, size, 8))
        mask = bytes(sum((1 if line[i + b] is None else 0) << (7 - b) for b in range(8))
                     for i in range(0, size, 8))
        xor_rows.append(data + b"\0" * (-len(data) % 4))
        and_rows.append(mask + b"\0" * (-len(mask) % 4))
    return header + colours + b"".join(xor_rows) + b"".join(and_rows)


def main(path):
    images = [(32, 4, 16), (32, 1, 2), (16, 4, 16)]
    blobs = [dib(drum(size), bits) for size, bits, _ in images]
    offset = 6 + 16 * len(images)
    out = struct.pack("<HHH", 0, 1, len(images))
    for (size, bits, colours), blob in zip(images, blobs):
        out += struct.pack("<BBBBHHII", size, size, colours, 0, 1, bits, len(blob), offset)
        offset += len(blob)
    with open(path, "wb") as file:
        file.write(out + b"".join(blobs))


if __name__ == "__main__":
    main(sys.argv[1])
