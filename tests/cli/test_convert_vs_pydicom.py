"""usage: test_convert_vs_pydicom.py CONVERTER [DIR]: each accepted file (pydicom's, or the .dcm files under DIR)
converted and compared: RAW, TIFF 16 and PNG 16 hold the stored words, TIFF 8, BMP and PNG 8 the 8-bit mapping
over each frame's range (-p stretch), every PNG passes pngcheck and carries no text but the software and the
window. --thumbnail of each file is the area average of its middle frame's TIFF 8 (-p stored, --all-decoders), computed here
from the overlap of every input and output pixel; a file or frame that gives no TIFF gives no thumbnail. Cut and
damaged copies end with status 0 or 1 and --info --json prints valid JSON."""

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
    return [base + "." + ext] if frames == 1 else ["%s.%0*d.%s" % (base, len(str(frames)), f, ext) for f in range(frames)]


def expect(condition, what, *values):
    if not condition:
        raise AssertionError(what % values)


def read_picture(path, rows, columns, header, dtype):
    """The picture as Pillow reads it, which must be the bytes after the header (BMP rows zero-padded to 4 bytes)."""
    data = open(path, "rb").read()
    stride = columns if dtype != np.uint8 or header == 140 else (columns + 3) & ~3
    body = np.frombuffer(data[header:], dtype=dtype).reshape(rows, stride)
    picture = np.asarray(Image.open(path).convert("L") if header != 140 else Image.open(path))
    expect(np.array_equal(picture, body[:, :columns]) and not body[:, columns:].any(), "%s: Pillow differs", path)
    return body[:, :columns]


def read_png(path, pngs, window):
    """The samples of a PNG as Pillow reads them; its name joins pngs. Its only text is the software and the
    window its grey levels went through (None: none)."""
    image = Image.open(path)
    text = dict(image.text)
    expect(text.pop("Software", "").startswith("Vireoscan ") and text == ({"Window": window} if window else {}),
           "%s: text %s", path, image.text)
    pngs.append(path)
    return np.asarray(image).astype(np.int64)


def overlaps(n_in, n_out):
    """(n_out, n_in) lengths, in units of 1/(n_in n_out), of input pixel i inside output pixel o."""
    i, o = np.arange(n_in)[None, :], np.arange(n_out)[:, None]
    return np.maximum(0, np.minimum((i + 1) * n_out, (o + 1) * n_in) - np.maximum(i * n_out, o * n_in))


def area_average(picture, width, height):
    """Each output pixel the mean of the input area it covers, rounded half up, in exact integers."""
    rows, columns = picture.shape
    sums = overlaps(rows, height) @ picture.astype(np.int64) @ overlaps(columns, width).T
    area = rows * columns
    return (2 * sums + area) // (2 * area)


def check_thumbnails(converter, path, facts, tmp, pngs):
    """--thumbnail at two sizes against the area average of the middle frame's TIFF 8 through the stored window."""
    middle = facts.frames // 2
    out = os.path.join(tmp, "stored")
    os.makedirs(out)
    run([converter, "--all-decoders", "-f", "tiff8", "-p", "stored", "-o", out, "-y", "-q", path])
    name = os.path.basename(path)
    tif = os.path.join(out, name + (".TIF" if facts.frames == 1 else ".%0*d.TIF" % (len(str(facts.frames)), middle)))
    for size in (64, 100):
        thumbnail = os.path.join(tmp, "thumbnail%d.png" % size)
        status = run([converter, "--thumbnail", str(size), path, thumbnail]).returncode
        if not os.path.exists(tif):
            expect(status == 1 and not os.path.exists(thumbnail), "no frame %d, yet thumbnail exit %d", middle, status)
            continue
        expect(status == 0, "--thumbnail %d: exit %d", size, status)
        frame = np.asarray(Image.open(tif))
        longer = max(frame.shape)
        height, width = frame.shape if longer <= size else (max(1, (n * size * 2 + longer) // (2 * longer)) for n in frame.shape)
        got = read_png(thumbnail, pngs, Image.open(thumbnail).text.get("Window"))
        expect(got.shape == (height, width), "thumbnail %d is %s, not %s", size, got.shape, (height, width))
        expect(np.array_equal(got, area_average(frame, width, height)), "thumbnail %d differs from the area average", size)


def check_file(converter, path, facts, tmp, pngs):
    rows, columns, stored = facts.rows, facts.columns, facts.stored_frames()
    nominal = facts.compression and facts.bits == 8
    windows = [(0, 255) if nominal else (int(f.min()), int(f.max())) for f in stored]
    eight = [window(f, lo, hi, facts.monochrome1) for f, (lo, hi) in zip(stored, windows)]
    texts = ["%d:%d%s" % (lo, hi, " inverted" if facts.monochrome1 else "") for lo, hi in windows]
    raws = convert(converter, path, facts.frames, tmp, "RAW", "-f", "raw", "-p", "stretch")
    tiffs = convert(converter, path, facts.frames, tmp, "TIF", "-f", "tiff16", "-p", "stretch")
    png16s = convert(converter, path, facts.frames, tmp, "PNG", "-f", "png16", "-p", "stretch")
    for f, (raw, tif, png) in enumerate(zip(raws, tiffs, png16s)):
        words = np.frombuffer(open(raw, "rb").read(), dtype="<u2")
        want = eight[f] if nominal else stored[f].astype(np.int64) & 0xFFFF
        expect(words.size == rows * columns and np.array_equal(words.reshape(rows, columns), want), "%s: RAW words", raw)
        expect(np.array_equal(read_picture(tif, rows, columns, 140, "<u2"), want), "%s: TIFF 16 strip differs", tif)
        expect(np.array_equal(read_png(png, pngs, texts[f] if nominal else None), want), "%s: PNG 16 samples differ", png)
    for fmt, ext, header in (("tiff8", "TIF", 140), ("bmp", "BMP", 1078), ("png8", "PNG", None)):
        for f, file in enumerate(convert(converter, path, facts.frames, tmp, ext, "-f", fmt, "-p", "stretch")):
            got = read_png(file, pngs, texts[f]) if header is None else read_picture(file, rows, columns, header, np.uint8)
            if got.shape != eight[f].shape or not np.array_equal(got, eight[f]):
                bad = tuple(np.argwhere(got != eight[f])[0])
                raise AssertionError("%s: pixel %s is %d, expected %d" % (file, bad, got[bad], eight[f][bad]))
    check_thumbnails(converter, path, facts, tmp, pngs)


def check_damaged(converter, path, tmp):
    """Cut and damaged copies: --info, a conversion and a thumbnail end with 0 or 1, never by a signal."""
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
        for args in (["--info", "--json", case], ["-f", "tiff8", "-o", tmp, "-y", "-q", case],
                     ["--thumbnail", "48", case, os.path.join(tmp, "thumbnail.png")]):
            proc = run([converter] + args, timeout=60)
            expect(proc.returncode in (0, 1), "damaged copy %d: exit status %d for %s", n, proc.returncode, args[0])
            if args[0] == "--info":
                json.loads(proc.stdout.decode("utf-8"))  # valid JSON whatever the bytes


def main(converter, directory=None):
    failures, checked = [], 0
    for name, path in test_files(directory):
        facts = Facts(path)
        try:
            with tempfile.TemporaryDirectory() as tmp:
                if facts.accepted:
                    checked += 1
                    pngs = []
                    check_file(converter, path, facts, tmp, pngs)
                    check = run(["pngcheck", "-q"] + pngs)
                    expect(check.returncode == 0, "pngcheck: %s", check.stdout.decode(errors="replace"))
                else:
                    # A thumbnail reads every compression: one of a file the default refuses
                    # comes only from a file --all-decoders loads, and is a grey picture.
                    thumbnail = os.path.join(tmp, "t.png")
                    status = run([converter, "--thumbnail", "64", path, thumbnail]).returncode
                    if status == 0:
                        loads = run([converter, "--all-decoders", "--info", path]).returncode == 0
                        picture = Image.open(thumbnail)
                        expect(loads and picture.mode == "L" and max(picture.size) <= 64,
                               "refused file: thumbnail of %s, %s", picture.mode, picture.size)
                    else:
                        expect(status == 1 and not os.listdir(tmp), "refused file: thumbnail exit %d", status)
                if os.path.basename(name) in DAMAGED_SOURCES:
                    check_damaged(converter, path, tmp)
        except (AssertionError, NotImplementedError, ValueError) as e:
            failures.append("%s: %s" % (name, e))
    if checked == 0:
        failures.append("no file was accepted")
    return finish(failures, "%d accepted files converted and compared" % checked)


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
