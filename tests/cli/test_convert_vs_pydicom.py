"""vireoscan-convert outputs against pydicom, numpy and Pillow.

For every greyscale file the converter accepts (pydicom's test files, or the .dcm files
under DIR when it is given):
- RAW (-p stretch) equals the stored sample words, frame by frame (two's complement for
  negatives); for 8-bit RLE and JPEG the 8-bit display values widened;
- TIFF 8 and BMP with -p stretch equal the 8-bit mapping rule applied to each frame over the
  frame's [min, max], XOR 255 for MONOCHROME1; 8-bit RLE and JPEG frames have the nominal
  range 0..255 as their stretch window; JPEG frames are decoded by Pillow;
- TIFF 16 holds the same words as RAW behind its 140-byte header;
- every TIFF and BMP is opened by Pillow (and tiffinfo), and its header fields are checked;
- on one multi-frame file: the output names, -w, -n, --no-overwrite and the answer No
  without a terminal;
- a few files cut short or damaged: --info and a conversion end with status 0 or 1.

usage: test_convert_vs_pydicom.py CONVERTER [DIR]
"""

import io
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile

import numpy as np
from PIL import Image
from pydicom.encaps import generate_pixel_data_frame

from corpus_common import Facts, run, test_files, window

DAMAGED_SOURCES = ["CT_small.dcm", "MR_small_RLE.dcm", "MR_small_bigendian.dcm", "JPGExtended.dcm",
                   "rle_cine.dcm", "jpeg_cine.dcm", "xray_acrnema12.dcm"]


def output_names(base, frames, ext):
    if frames == 1:
        return [base + "." + ext]
    return ["%s.%0*d.%s" % (base, len(str(frames)), f, ext) for f in range(frames)]


def convert(converter, path, out, *options):
    os.makedirs(out, exist_ok=True)
    proc = run([converter] + list(options) + ["-o", out, "-y", "-q", path])
    if proc.returncode != 0:
        raise AssertionError("exit %d for %s %s" % (proc.returncode, " ".join(options), path))


def read_tiff(path, rows, columns, bits):
    data = open(path, "rb").read()
    if data[:4] != b"II*\0" or struct.unpack_from("<I", data, 4)[0] != 8:
        raise AssertionError("%s: not a little-endian TIFF with its directory at 8" % path)
    tags = {}
    for i in range(struct.unpack_from("<H", data, 8)[0]):
        tag, kind, n, value = struct.unpack_from("<HHII", data, 10 + 12 * i)
        tags[tag] = value & 0xFFFF if kind == 3 else value
    size = rows * columns * bits // 8
    want = {256: columns, 257: rows, 258: bits, 259: 1, 262: 1, 273: 140, 277: 1, 278: rows, 279: size}
    if any(tags.get(tag) != value for tag, value in want.items()) or len(data) != 140 + size:
        raise AssertionError("%s: TIFF tags %s, %d bytes" % (path, tags, len(data)))
    info = subprocess.run(["tiffinfo", path], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if info.returncode != 0 or b"Image Width: %d Image Length: %d" % (columns, rows) not in info.stdout:
        raise AssertionError("%s: tiffinfo says %s %s" % (path, info.stdout, info.stderr))
    if bits == 16:
        return np.frombuffer(data[140:], dtype="<u2").reshape(rows, columns)
    strip = np.frombuffer(data[140:], dtype=np.uint8).reshape(rows, columns)
    if not np.array_equal(np.asarray(Image.open(path), dtype=np.uint8), strip):
        raise AssertionError("%s: Pillow's pixels differ from the strip" % path)
    return strip


def read_bmp(path, rows, columns):
    data = open(path, "rb").read()
    row_length = (columns + 3) & ~3
    got = struct.unpack_from("<2sIIIIiiHHII", data, 0)
    want = (b"BM", 1078 + row_length * rows, 0, 1078, 40, columns, -rows, 1, 8, 0, row_length * rows)
    if got != want or len(data) != want[1]:
        raise AssertionError("%s: BMP header %s, expected %s" % (path, got, want))
    palette = np.frombuffer(data[54:1078], dtype=np.uint8).reshape(256, 4).astype(int)
    if not np.array_equal(palette, np.outer(np.arange(256), [1, 1, 1, 0])):
        raise AssertionError("%s: palette is not the 256 greys" % path)
    body = np.frombuffer(data[1078:], dtype=np.uint8).reshape(rows, row_length)
    if body[:, columns:].any():
        raise AssertionError("%s: row padding is not zero" % path)
    if not np.array_equal(np.asarray(Image.open(path).convert("L")), body[:, :columns]):
        raise AssertionError("%s: Pillow reads another picture" % path)
    return body[:, :columns]


def check_file(converter, path, facts, tmp):
    base, rows, columns = os.path.basename(path), facts.rows, facts.columns
    if facts.compression == "Jpeg":
        stored = np.stack([np.asarray(Image.open(io.BytesIO(f)).convert("L"), dtype=np.int32)
                           for f in generate_pixel_data_frame(facts.ds.PixelData, facts.frames)])
    else:
        stored = facts.stored_frames()
    if facts.compression and facts.bits == 8:
        eight = [window(frame, 0, 255, facts.monochrome1) for frame in stored]
    else:
        eight = [window(frame, int(frame.min()), int(frame.max()), facts.monochrome1) for frame in stored]

    raw_dir, tiff16_dir = os.path.join(tmp, "raw"), os.path.join(tmp, "tiff16")
    convert(converter, path, raw_dir, "-f", "raw", "-p", "stretch")
    convert(converter, path, tiff16_dir, "-f", "tiff16", "-p", "stretch")
    for f, (raw, tif) in enumerate(zip(output_names(base, facts.frames, "RAW"), output_names(base, facts.frames, "TIF"))):
        words = np.frombuffer(open(os.path.join(raw_dir, raw), "rb").read(), dtype="<u2")
        want = eight[f] if facts.compression and facts.bits == 8 else stored[f].astype(np.int64) & 0xFFFF
        if words.size != rows * columns or not np.array_equal(words.reshape(rows, columns), want):
            raise AssertionError("%s: RAW words differ from the stored samples" % raw)
        if not np.array_equal(read_tiff(os.path.join(tiff16_dir, tif), rows, columns, 16), words.reshape(rows, columns)):
            raise AssertionError("%s: TIFF 16 strip differs from the RAW output" % tif)

    for fmt, ext, reader in (("tiff8", "TIF", lambda p: read_tiff(p, rows, columns, 8)),
                             ("bmp", "BMP", lambda p: read_bmp(p, rows, columns))):
        convert(converter, path, os.path.join(tmp, fmt), "-f", fmt, "-p", "stretch")
        for f, file in enumerate(output_names(base, facts.frames, ext)):
            got = reader(os.path.join(tmp, fmt, file))
            if not np.array_equal(got, eight[f]):
                bad = tuple(np.argwhere(got != eight[f])[0])
                raise AssertionError("%s: pixel %s is %d, expected %d" % (file, bad, got[bad], eight[f][bad]))


def check_options(converter, path, facts, tmp):
    """Names, a fixed window, Negative Image and refusing to overwrite, on one file."""
    stored = facts.stored_frames()
    lo, hi = int(np.percentile(stored, 25)), int(np.percentile(stored, 75))
    names = output_names(os.path.basename(path), facts.frames, "TIF")
    convert(converter, path, tmp, "-f", "tiff8", "-w", "%d:%d" % (lo, hi), "-n")
    if sorted(os.listdir(tmp)) != sorted(names):
        raise AssertionError("output names %s" % sorted(os.listdir(tmp)))
    for f, file in enumerate(names):
        if not np.array_equal(read_tiff(os.path.join(tmp, file), facts.rows, facts.columns, 8),
                              window(stored[f], lo, hi, not facts.monochrome1)):
            raise AssertionError("%s: -w %d:%d -n output differs" % (file, lo, hi))
    first = os.path.join(tmp, names[0])
    open(first, "wb").write(b"keep")
    for policy in (["--no-overwrite"], []):  # without a terminal the question is answered No
        proc = run([converter, "-f", "tiff8", "-o", tmp, "-q", path] + policy)
        if proc.returncode != 1 or open(first, "rb").read() != b"keep":
            raise AssertionError("%s: exit %d, or the existing file was replaced" % (policy, proc.returncode))


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
        for args in (["--info", case], ["-f", "tiff8", "-o", tmp, "-y", "-q", case]):
            if run([converter] + args, timeout=60).returncode not in (0, 1):
                raise AssertionError("damaged copy %d: exit status not 0 or 1 for %s" % (n, args[0]))


def main(converter, directory=None):
    failures = []
    checked = 0
    multi = None
    for name, path in test_files(directory):
        facts = Facts(path)
        tmp = tempfile.mkdtemp(prefix="vs-corpus-")
        try:
            if facts.accepted:
                checked += 1
                check_file(converter, path, facts, tmp)
                if facts.bits == 16 and facts.compression != "Jpeg" and facts.frames > (multi[1].frames if multi else 0):
                    multi = (path, facts)
            if os.path.basename(name) in DAMAGED_SOURCES:
                check_damaged(converter, path, tmp)
        except (AssertionError, NotImplementedError, ValueError) as e:
            failures.append("%s: %s" % (name, e))
        finally:
            shutil.rmtree(tmp, ignore_errors=True)
    if multi:
        tmp = tempfile.mkdtemp(prefix="vs-corpus-")
        try:
            check_options(converter, multi[0], multi[1], tmp)
        except AssertionError as e:
            failures.append("options on %s: %s" % (multi[0], e))
        finally:
            shutil.rmtree(tmp, ignore_errors=True)
    if checked == 0:
        failures.append("no file was accepted")
    for f in failures:
        print("FAIL", f)
    print("%d accepted files converted and compared, %d failures" % (checked, len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
