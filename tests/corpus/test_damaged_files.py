"""Truncated and damaged files must never crash vireoscan-convert.

A few accepted files (pydicom's, and the .dcm files under DIR when given) are cut short and
damaged in fixed, seeded ways; on each result --info and a conversion must end with exit
status 0 or 1 (never a signal), --info must print a Patient line, and a conversion that
reports success must have written its outputs.

usage: test_damaged_files.py CONVERTER [DIR]
"""

import os
import random
import shutil
import struct
import sys
import tempfile

from corpus_common import Facts, parse_info, run, test_files

SOURCES = ["CT_small.dcm", "MR_small_RLE.dcm", "MR_small_bigendian.dcm", "MR_small_implicit.dcm",
           "dicomdirtests/77654033/CR1/6154", "JPGExtended.dcm", "liver_1frame.dcm"]


def pixel_offset(data):
    """Where the last (7FE0,0010) pattern starts, little or big endian."""
    return max(data.rfind(b"\xe0\x7f\x10\x00"), data.rfind(b"\x7f\xe0\x00\x10"), 132)


def variants(data, seed):
    """(label, bytes) of the damaged copies of one file."""
    rng = random.Random(seed)
    n = len(data)
    pix = pixel_offset(data)
    out = []
    for cut in sorted({0, 1, 131, 132, 299, 300, 301, pix, pix + 4, pix + 8, pix + 12, pix + 20,
                       (pix + n) // 2, n - 1}):
        if 0 <= cut < n:
            out.append(("truncated at %d" % cut, data[:cut]))
    for k in range(6):
        damaged = bytearray(data)
        for _ in range(24):
            damaged[rng.randrange(n)] = rng.randrange(256)
        out.append(("random bytes %d" % k, bytes(damaged)))
    for k in range(6):
        # Huge or negative-looking numbers where lengths, counts and offsets live.
        damaged = bytearray(data)
        start = rng.randrange(max(1, min(n - 4, pix + 200)))
        start &= ~1
        struct.pack_into("<I", damaged, start, rng.choice([0xFFFFFFFF, 0x7FFFFFFF, 0x80000000, 0xFFFF, 2, 0]))
        out.append(("number at %d" % start, bytes(damaged)))
    for k in range(3):
        damaged = bytearray(data)
        start = rng.randrange(pix, n) if pix < n else rng.randrange(n)
        for i in range(start, min(n, start + 64)):
            damaged[i] = 0xFF if k % 2 else 0x00
        out.append(("pixel bytes from %d" % start, bytes(damaged)))
    return out


def main(converter, directory=None):
    sources = [path for name, path in test_files() if name in SOURCES]
    if directory:
        sources += sorted(os.path.join(directory, f) for f in os.listdir(directory) if f.endswith(".dcm"))
    failures = []
    runs = 0
    tmp = tempfile.mkdtemp(prefix="vs-damaged-")
    try:
        for index, source in enumerate(sources):
            data = open(source, "rb").read()
            for label, damaged in variants(data, 1000 + index):
                case = "%s, %s" % (os.path.basename(source), label)
                path = os.path.join(tmp, "case.dcm")
                with open(path, "wb") as f:
                    f.write(damaged)
                try:
                    proc = run([converter, "--info", path], timeout=60)
                    blocks = parse_info(proc.stdout.decode("latin-1"))
                    if proc.returncode not in (0, 1) or len(blocks) != 1 or "Patient" not in blocks[0][1]:
                        failures.append("%s: --info exit %d, output %r" % (case, proc.returncode, proc.stdout[:200]))
                    out = os.path.join(tmp, "out")
                    shutil.rmtree(out, ignore_errors=True)
                    os.makedirs(out)
                    proc = run([converter, "-f", "tiff8", "-p", "stretch", "-o", out, "-y", "-q", path], timeout=60)
                    if proc.returncode not in (0, 1):
                        failures.append("%s: conversion exit %d" % (case, proc.returncode))
                    elif proc.returncode == 0 and not os.listdir(out):
                        failures.append("%s: conversion reported success but wrote nothing" % case)
                    runs += 1
                except AssertionError as e:
                    failures.append("%s: %s" % (case, e))
                except Exception as e:
                    failures.append("%s: %r" % (case, e))
    finally:
        shutil.rmtree(tmp, ignore_errors=True)
    for f in failures:
        print("FAIL", f)
    print("%d damaged files tried, %d failures" % (runs, len(failures)))
    return 1 if failures or runs == 0 else 0


if __name__ == "__main__":
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
