#!/usr/bin/env python3
"""Screenshot test of the skin images: runs skin_screenshot.exe on a display,
converts its BMP to PNG and compares it with the committed reference.

    skin_screenshot.py WINE_RUN PREFIX EXE OUTPUT.png REFERENCE.png

PIVSET_BLESS=1 copies the new screenshot over the reference instead.
"""
import os
import shutil
import struct
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "skin"))
from pngio import read_png, write_png  # noqa: E402

# A pixel counts as different when a channel is off by more than this; the
# picture passes while few pixels differ. Drawing has no text and no
# randomness, so the margins only absorb rounding in the blits.
CHANNEL_TOLERANCE = 6
MAX_DIFFERENT_FRACTION = 0.002


def read_bmp(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"BM":
        raise ValueError(path + ": not a BMP")
    offset = struct.unpack("<I", data[10:14])[0]
    width, height = struct.unpack("<ii", data[18:26])
    bits = struct.unpack("<H", data[28:30])[0]
    if bits != 24 or height <= 0:
        raise ValueError(path + ": expected a bottom-up 24-bit BMP")
    stride = (width * 3 + 3) // 4 * 4
    rows = []
    for y in range(height):
        row = data[offset + (height - 1 - y) * stride:offset + (height - 1 - y) * stride + width * 3]
        rgb = bytearray(width * 3)
        rgb[0::3] = row[2::3]
        rgb[1::3] = row[1::3]
        rgb[2::3] = row[0::3]
        rows.append(bytes(rgb))
    return width, height, rows


def main(argv):
    wine_run, prefix, exe, output, reference = argv[1:6]
    bmp = output[:-4] + ".bmp"
    env = dict(os.environ)
    env.pop("DISPLAY", None)  # the prefix's own display, the same for every run
    result = subprocess.run([wine_run, "--prefix", prefix, exe, bmp], env=env, timeout=300)
    if result.returncode != 0:
        sys.exit("skin_screenshot.exe failed with %d" % result.returncode)
    width, height, rows = read_bmp(bmp)
    write_png(output, width, height, rows, False)
    print("screenshot:", output)

    if os.environ.get("PIVSET_BLESS") == "1":
        shutil.copyfile(output, reference)
        print("reference updated:", reference)
        return
    if not os.path.exists(reference):
        sys.exit("no reference %s; look at the screenshot and run with PIVSET_BLESS=1" % reference)
    rw, rh, rrows = read_png(reference)
    if (rw, rh) != (width, height):
        sys.exit("size %dx%d differs from the reference's %dx%d" % (width, height, rw, rh))
    different = 0
    for y in range(height):
        a = rows[y]
        b = rrows[y]
        for x in range(width):
            i = x * 3
            j = x * 4
            if (abs(a[i] - b[j]) > CHANNEL_TOLERANCE or abs(a[i + 1] - b[j + 1]) > CHANNEL_TOLERANCE
                    or abs(a[i + 2] - b[j + 2]) > CHANNEL_TOLERANCE):
                different += 1
    fraction = different / (width * height)
    print("pixels off by more than %d: %d (%.4f%%)" % (CHANNEL_TOLERANCE, different, fraction * 100))
    if fraction > MAX_DIFFERENT_FRACTION:
        sys.exit("the screenshot differs from %s" % reference)


if __name__ == "__main__":
    main(sys.argv)
