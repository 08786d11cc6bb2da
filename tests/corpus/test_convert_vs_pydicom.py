"""vireoscan-convert outputs against pydicom, numpy and Pillow.

For every greyscale file the converter accepts (pydicom's test files, or the .dcm files
under DIR when it is given):
- RAW (-p stored) equals the stored sample words, frame by frame (uncompressed and RLE
  above 8 bits; two's complement for negatives);
- TIFF 8 and BMP with -p stretch equal the 8-bit mapping rule applied to each frame: window
  [min, max] of the frame's stored values, out = 0 below, 255 above, else
  (255*v - 255*lo) // span, XOR 255 for MONOCHROME1. 8-bit RLE and JPEG frames have the
  nominal range 0..255 as their stretch window, so their 8-bit output is the decoded
  samples themselves; JPEG frames are decoded by Pillow from the same fragment;
- TIFF 16 holds the same words as RAW behind its 140-byte header;
- every TIFF and BMP is opened by Pillow and tiffinfo, and its header fields are checked;
- on one multi-frame file: the output names, -w, -n and --no-overwrite.

usage: test_convert_vs_pydicom.py CONVERTER [DIR]
"""

import io
import os
import shutil
import struct
import subprocess
import sys
import tempfile

import numpy as np
from PIL import Image

from corpus_common import Facts, run, stretch, test_files, window

# file -> why its outputs legitimately differ from pydicom's values.
EXPECTED_DIFFERENCES = {
    # None at present.
}


def output_names(base, frames, ext):
    if frames == 1:
        return [base + "." + ext]
    digits = len(str(frames))
    return ["%s.%0*d.%s" % (base, digits, f, ext) for f in range(frames)]


def convert(converter, path, out, *options):
    proc = run([converter] + list(options) + ["-o", out, "-y", "-q", path])
    if proc.returncode != 0:
        raise AssertionError("exit %d for %s %s: %s" % (proc.returncode, " ".join(options), path,
                                                       proc.stderr.decode(errors="replace")))


def read_tiff(path, rows, columns, bits):
    data = open(path, "rb").read()
    if data[:4] != b"II*\0" or struct.unpack_from("<I", data, 4)[0] != 8:
        raise AssertionError("%s: not a little-endian TIFF with its directory at 8" % path)
    count = struct.unpack_from("<H", data, 8)[0]
    tags = {}
    for i in range(count):
        tag, kind, n, value = struct.unpack_from("<HHII", data, 10 + 12 * i)
        tags[tag] = value & 0xFFFF if kind == 3 else value
    want = {256: columns, 257: rows, 258: bits, 259: 1, 262: 1, 273: 140, 277: 1, 278: rows,
            279: rows * columns * bits // 8}
    for tag, value in want.items():
        if tags.get(tag) != value:
            raise AssertionError("%s: TIFF tag %d is %r, expected %r" % (path, tag, tags.get(tag), value))
    if len(data) != 140 + rows * columns * bits // 8:
        raise AssertionError("%s: %d bytes" % (path, len(data)))
    image = Image.open(path)
    if image.size != (columns, rows):
        raise AssertionError("%s: Pillow sees %s" % (path, image.size))
    info = subprocess.run(["tiffinfo", path], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if info.returncode != 0 or b"Image Width: %d Image Length: %d" % (columns, rows) not in info.stdout:
        raise AssertionError("%s: tiffinfo says %s %s" % (path, info.stdout, info.stderr))
    if bits == 8:
        pixels = np.asarray(image, dtype=np.uint8)
        strip = np.frombuffer(data[140:], dtype=np.uint8).reshape(rows, columns)
        if not np.array_equal(pixels, strip):
            raise AssertionError("%s: Pillow's pixels differ from the strip" % path)
        return strip
    return np.frombuffer(data[140:], dtype="<u2").reshape(rows, columns)


def read_bmp(path, rows, columns):
    data = open(path, "rb").read()
    row_length = (columns + 3) & ~3
    sig, size, _, offset, header, width, height, planes, bpp, comp, image_size = struct.unpack_from(
        "<2sIIIIiiHHII", data, 0)
    want = (b"BM", 1078 + row_length * rows, 1078, 40, columns, -rows, 1, 8, 0, row_length * rows)
    got = (sig, size, offset, header, width, height, planes, bpp, comp, image_size)
    if got != want:
        raise AssertionError("%s: BMP header %s, expected %s" % (path, got, want))
    palette = np.frombuffer(data[54:1078], dtype=np.uint8).reshape(256, 4)
    if not np.array_equal(palette[:, :3], np.repeat(np.arange(256, dtype=np.uint8)[:, None], 3, 1)) or palette[:, 3].any():
        raise AssertionError("%s: palette is not the 256 greys" % path)
    if len(data) != size:
        raise AssertionError("%s: %d bytes, header says %d" % (path, len(data), size))
    body = np.frombuffer(data[1078:], dtype=np.uint8).reshape(rows, row_length)
    if body[:, columns:].any():
        raise AssertionError("%s: row padding is not zero" % path)
    image = np.asarray(Image.open(path).convert("L"))
    if image.shape != (rows, columns) or not np.array_equal(image, body[:, :columns]):
        raise AssertionError("%s: Pillow reads another picture" % path)
    return body[:, :columns]


def jpeg_frames(facts):
    from pydicom.encaps import generate_pixel_data_frame
    frames = []
    for fragment in generate_pixel_data_frame(facts.ds.PixelData, facts.frames):
        frames.append(np.asarray(Image.open(io.BytesIO(fragment)).convert("L"), dtype=np.int32))
    return np.stack(frames)


def expected_8bit(facts, stored):
    """The 8-bit output of each frame with the contrast-stretch preset."""
    invert = facts.monochrome1
    if facts.compression and facts.bits == 8:
        return [window(frame, 0, 255, invert) for frame in stored]
    return [stretch(frame, invert) for frame in stored]


def check_file(converter, name, path, facts, tmp):
    base = os.path.basename(path)
    if facts.compression == "Jpeg":
        stored = jpeg_frames(facts)
    else:
        stored = facts.stored_frames()
    rows, columns = facts.rows, facts.columns

    out = os.path.join(tmp, "raw")
    os.makedirs(out)
    convert(converter, path, out, "-f", "raw", "-p", "stretch")
    for f, file in enumerate(output_names(base, facts.frames, "RAW")):
        words = np.frombuffer(open(os.path.join(out, file), "rb").read(), dtype="<u2")
        if words.size != rows * columns:
            raise AssertionError("%s: %d words" % (file, words.size))
        if facts.compression and facts.bits == 8:
            want = expected_8bit(facts, stored)[f].astype(np.int64)  # display values, widened
        else:
            want = stored[f].astype(np.int64) & 0xFFFF
        if not np.array_equal(words.reshape(rows, columns), want):
            bad = np.argwhere(words.reshape(rows, columns) != want)[0]
            raise AssertionError("%s: RAW word at %s is %d, expected %d" % (
                file, tuple(bad), words.reshape(rows, columns)[tuple(bad)], want[tuple(bad)]))

    out16 = os.path.join(tmp, "tiff16")
    os.makedirs(out16)
    convert(converter, path, out16, "-f", "tiff16", "-p", "stretch")
    for raw_file, tif in zip(output_names(base, facts.frames, "RAW"), output_names(base, facts.frames, "TIF")):
        words = read_tiff(os.path.join(out16, tif), rows, columns, 16)
        if words.tobytes() != open(os.path.join(out, raw_file), "rb").read():
            raise AssertionError("%s: TIFF 16 strip differs from the RAW output" % tif)

    eight = expected_8bit(facts, stored)
    for fmt, ext, reader in (("tiff8", "TIF", lambda p: read_tiff(p, rows, columns, 8)),
                             ("bmp", "BMP", lambda p: read_bmp(p, rows, columns))):
        out8 = os.path.join(tmp, fmt)
        os.makedirs(out8)
        convert(converter, path, out8, "-f", fmt, "-p", "stretch")
        for f, file in enumerate(output_names(base, facts.frames, ext)):
            got = reader(os.path.join(out8, file))
            if not np.array_equal(got, eight[f]):
                bad = tuple(np.argwhere(got != eight[f])[0])
                raise AssertionError("%s: pixel %s is %d, expected %d" % (file, bad, got[bad], eight[f][bad]))


def check_options(converter, path, facts, tmp):
    """Names, a fixed window, Negative Image and refusing to overwrite, on one file."""
    base = os.path.basename(path)
    stored = facts.stored_frames()
    lo = int(np.percentile(stored, 25))
    hi = int(np.percentile(stored, 75))
    out = os.path.join(tmp, "options")
    os.makedirs(out)
    convert(converter, path, out, "-f", "tiff8", "-w", "%d:%d" % (lo, hi), "-n")
    names = sorted(os.listdir(out))
    if names != sorted(output_names(base, facts.frames, "TIF")):
        raise AssertionError("output names %s" % names)
    for f, file in enumerate(output_names(base, facts.frames, "TIF")):
        got = read_tiff(os.path.join(out, file), facts.rows, facts.columns, 8)
        want = window(stored[f], lo, hi, not facts.monochrome1)
        if not np.array_equal(got, want):
            raise AssertionError("%s: -w %d:%d -n output differs" % (file, lo, hi))
    first = os.path.join(out, names[0])
    with open(first, "wb") as f:
        f.write(b"keep")
    proc = run([converter, "-f", "tiff8", "-o", out, "--no-overwrite", "-q", path])
    if proc.returncode != 1 or open(first, "rb").read() != b"keep":
        raise AssertionError("--no-overwrite: exit %d, existing file %s" % (
            proc.returncode, "kept" if open(first, "rb").read() == b"keep" else "replaced"))
    proc = run([converter, "-f", "tiff8", "-o", out, "-q", path])  # not a terminal: answers No
    if proc.returncode != 1 or open(first, "rb").read() != b"keep":
        raise AssertionError("overwrite question without a terminal must answer No")


def main(converter, directory=None):
    if directory:
        files = sorted((os.path.relpath(os.path.join(d, f), directory), os.path.join(d, f))
                       for d, _, fs in os.walk(directory) for f in fs if f.endswith(".dcm"))
    else:
        files = test_files()
    failures = []
    checked = 0
    multi = None
    for name, path in files:
        facts = Facts(path)
        if not facts.accepted:
            continue
        tmp = tempfile.mkdtemp(prefix="vs-corpus-")
        try:
            check_file(converter, name, path, facts, tmp)
            outcome = None
        except (AssertionError, NotImplementedError, ValueError) as e:
            outcome = str(e)
        finally:
            shutil.rmtree(tmp, ignore_errors=True)
        checked += 1
        if name in EXPECTED_DIFFERENCES:
            if outcome is None:
                failures.append("%s: listed as a known difference but now agrees" % name)
        elif outcome is not None:
            failures.append("%s: %s" % (name, outcome))
        if facts.bits == 16 and facts.compression in ("", "Rle") and name not in EXPECTED_DIFFERENCES and (
                multi is None or facts.frames > multi[1].frames):
            multi = (path, facts)
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
