"""vireoscan-convert outputs against pydicom, numpy and Pillow, for every greyscale file the
converter accepts (pydicom's test files, or the .dcm files under DIR):
- RAW (-p stretch) holds the stored sample words (for 8-bit RLE and JPEG the display values);
  TIFF 16 the same words behind its 140-byte header;
- TIFF 8 and BMP (-p stretch) hold the 8-bit mapping over each frame's [min, max] (0..255 for
  8-bit RLE and JPEG), XOR 255 for MONOCHROME1; Pillow and tiffinfo read every file;
- on one multi-frame file: the output names, -w, -n, --no-overwrite and the answer No;
- cut and damaged copies of a few files: --info and a conversion end with status 0 or 1, and
  --info --json prints valid JSON.

usage: test_convert_vs_pydicom.py CONVERTER [DIR]
"""

import json
import os
import random
import struct
import sys
import tempfile

import numpy as np
from PIL import Image

from corpus_common import Facts, finish, run, test_files, window

DAMAGED_SOURCES = {"CT_small.dcm", "MR_small_RLE.dcm", "MR_small_bigendian.dcm", "JPGExtended.dcm",
                   "rle_cine.dcm", "jpeg_cine.dcm", "xray_acrnema12.dcm"}


def convert(converter, path, frames, out, ext, *options):
    """Converts with -y into out; returns the output paths, one a frame."""
    proc = run([converter] + list(options) + ["-o", out, "-y", "-q", path])
    if proc.returncode != 0:
        raise AssertionError("exit %d for %s" % (proc.returncode, " ".join(options)))
    base = os.path.join(out, os.path.basename(path))
    if frames == 1:
        return [base + "." + ext]
    return ["%s.%0*d.%s" % (base, len(str(frames)), f, ext) for f in range(frames)]


def expect(condition, what, *values):
    if not condition:
        raise AssertionError(what % values)


def read_tiff(path, rows, columns, bits):
    data = open(path, "rb").read()
    expect(data[:8] == b"II*\0\x08\0\0\0", "%s: not a little-endian TIFF with its directory at 8", path)
    tags = {}
    for i in range(struct.unpack_from("<H", data, 8)[0]):
        tag, kind, _, value = struct.unpack_from("<HHII", data, 10 + 12 * i)
        tags[tag] = value & 0xFFFF if kind == 3 else value
    size = rows * columns * bits // 8
    want = {256: columns, 257: rows, 258: bits, 259: 1, 262: 1, 273: 140, 277: 1, 278: rows, 279: size}
    expect(all(tags.get(k) == v for k, v in want.items()) and len(data) == 140 + size, "%s: tags %s", path, tags)
    tiffinfo = run(["tiffinfo", path])
    expect(b"Image Width: %d Image Length: %d" % (columns, rows) in tiffinfo.stdout, "%s: tiffinfo %s", path, tiffinfo)
    strip = np.frombuffer(data[140:], dtype="<u2" if bits == 16 else np.uint8).reshape(rows, columns)
    expect(bits == 16 or np.array_equal(np.asarray(Image.open(path)), strip), "%s: Pillow reads another picture", path)
    return strip


def read_bmp(path, rows, columns):
    data = open(path, "rb").read()
    row = (columns + 3) & ~3
    want = (b"BM", 1078 + row * rows, 0, 1078, 40, columns, -rows, 1, 8, 0, row * rows)
    got = struct.unpack_from("<2sIIIIiiHHII", data, 0)
    expect(got == want and len(data) == want[1], "%s: BMP header %s, expected %s", path, got, want)
    palette = np.frombuffer(data[54:1078], dtype=np.uint8).reshape(256, 4)
    expect(np.array_equal(palette, np.outer(np.arange(256), [1, 1, 1, 0])), "%s: palette is not the 256 greys", path)
    body = np.frombuffer(data[1078:], dtype=np.uint8).reshape(rows, row)
    expect(not body[:, columns:].any(), "%s: row padding is not zero", path)
    expect(np.array_equal(np.asarray(Image.open(path).convert("L")), body[:, :columns]), "%s: Pillow differs", path)
    return body[:, :columns]


def check_file(converter, path, facts, tmp):
    rows, columns, stored = facts.rows, facts.columns, facts.stored_frames()
    nominal = facts.compression and facts.bits == 8
    eight = [window(f, 0, 255, facts.monochrome1) if nominal else window(f, int(f.min()), int(f.max()), facts.monochrome1)
             for f in stored]
    raws = convert(converter, path, facts.frames, tmp, "RAW", "-f", "raw", "-p", "stretch")
    tiffs = convert(converter, path, facts.frames, tmp, "TIF", "-f", "tiff16", "-p", "stretch")
    for f, (raw, tif) in enumerate(zip(raws, tiffs)):
        words = np.frombuffer(open(raw, "rb").read(), dtype="<u2")
        want = eight[f] if nominal else stored[f].astype(np.int64) & 0xFFFF
        expect(words.size == rows * columns and np.array_equal(words.reshape(rows, columns), want), "%s: RAW words", raw)
        expect(np.array_equal(read_tiff(tif, rows, columns, 16), want), "%s: TIFF 16 strip differs", tif)
    for fmt, ext, reader in (("tiff8", "TIF", lambda p: read_tiff(p, rows, columns, 8)),
                             ("bmp", "BMP", lambda p: read_bmp(p, rows, columns))):
        for f, file in enumerate(convert(converter, path, facts.frames, tmp, ext, "-f", fmt, "-p", "stretch")):
            got = reader(file)
            if not np.array_equal(got, eight[f]):
                bad = tuple(np.argwhere(got != eight[f])[0])
                raise AssertionError("%s: pixel %s is %d, expected %d" % (file, bad, got[bad], eight[f][bad]))


def check_options(converter, path, facts, tmp):
    """Names, a fixed window, Negative Image and refusing to overwrite, on one file."""
    stored = facts.stored_frames()
    lo, hi = int(np.percentile(stored, 25)), int(np.percentile(stored, 75))
    names = convert(converter, path, facts.frames, tmp, "TIF", "-f", "tiff8", "-w", "%d:%d" % (lo, hi), "-n")
    expect(sorted(os.listdir(tmp)) == sorted(map(os.path.basename, names)), "output names %s", os.listdir(tmp))
    for f, file in enumerate(names):
        got = read_tiff(file, facts.rows, facts.columns, 8)
        expect(np.array_equal(got, window(stored[f], lo, hi, not facts.monochrome1)), "%s: -w -n output", file)
    open(names[0], "wb").write(b"keep")
    for policy in (["--no-overwrite"], []):  # without a terminal the question is answered No
        status = run([converter, "-f", "tiff8", "-o", tmp, "-q", path] + policy).returncode
        expect(status == 1 and open(names[0], "rb").read() == b"keep", "%s: exit %d, or replaced", policy, status)


def check_damaged(converter, path, tmp):
    """Cut and damaged copies: --info and a conversion end with 0 or 1, never by a signal."""
    data = open(path, "rb").read()
    rng = random.Random(os.path.basename(path))
    pix = max(data.rfind(b"\xe0\x7f\x10\x00"), data.rfind(b"\x7f\xe0\x00\x10"), 132)
    copies = [data[:cut] for cut in (131, 300, pix + 8, pix + 20, (pix + len(data)) // 2, len(data) - 1)]
    for k in range(6):
        damaged = bytearray(data)
        if k % 2:
            struct.pack_into("<I", damaged, rng.randrange(pix + 200) & ~1, rng.choice([0xFFFFFFFF, 0x7FFFFFFF, 2]))
        else:
            for _ in range(24):
                damaged[rng.randrange(len(data))] = rng.randrange(256)
        copies.append(bytes(damaged))
    case = os.path.join(tmp, "case.dcm")
    for n, copy in enumerate(copies):
        open(case, "wb").write(copy)
        for args in (["--info", "--json", case], ["-f", "tiff8", "-o", tmp, "-y", "-q", case]):
            proc = run([converter] + args, timeout=60)
            expect(proc.returncode in (0, 1), "damaged copy %d: exit status %d for %s", n, proc.returncode, args[0])
            if args[0] == "--info":
                json.loads(proc.stdout.decode("utf-8"))  # valid JSON whatever the bytes


def main(converter, directory=None):
    failures, checked, multi = [], 0, []
    for name, path in test_files(directory):
        facts = Facts(path)
        try:
            with tempfile.TemporaryDirectory() as tmp:
                if facts.accepted:
                    checked += 1
                    check_file(converter, path, facts, tmp)
                    if facts.bits == 16 and facts.compression != "Jpeg":
                        multi.append((-facts.frames, checked, path, facts))
                if os.path.basename(name) in DAMAGED_SOURCES:
                    check_damaged(converter, path, tmp)
        except (AssertionError, NotImplementedError, ValueError) as e:
            failures.append("%s: %s" % (name, e))
    if multi:  # the first file of the most frames
        _, _, path, facts = min(multi)
        with tempfile.TemporaryDirectory() as tmp:
            try:
                check_options(converter, path, facts, tmp)
            except AssertionError as e:
                failures.append("options on %s: %s" % (path, e))
    if checked == 0:
        failures.append("no file was accepted")
    return finish(failures, "%d accepted files converted and compared" % checked)


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
