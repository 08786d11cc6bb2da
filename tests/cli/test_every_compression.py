"""usage: test_every_compression.py CONVERTER FIXTURES_DIR

With --all-decoders every fixture of make_fixtures.py, and every greyscale compressed file of
pydicom's test data, converts to the words its truth gives: the same image decompressed by
DCMTK, GDCM or OpenJPH to explicit VR little endian, converted without the switch. Lossless
encodings match exactly; lossy ones within the fixture's tolerance (see make_fixtures.py).
The truth's samples are taken from their Bits Stored as ours are, since DCMTK leaves zeros
above them and GDCM the sign. --info --json names each kind; without --all-decoders the same
files are read as by default. JPEG-LS and JPEG 2000/HTJ2K cases are skipped, and said so,
while the converter has no decoder for them."""

import json
import os
import subprocess
import sys
import tempfile

import numpy as np
import pydicom

from corpus_common import finish, run, test_files
from make_fixtures import truth_file

KINDS = {"jpeg-lossless": ", Lossless Jpeg", "jpeg": ", Jpeg", "jpeg-ls": ", Jpeg-LS", "jpeg2000": ", Jpeg 2000",
         "htj2k": ", HTJ2K", "deflate": ", Deflate"}
MISSING = ("no JPEG-LS decoder", "no JPEG 2000 decoder", "no HTJ2K decoder")

# pydicom's greyscale compressed files: the decompressor of the truth and the tolerance (the
# lossy ones: .51 and .91; J2K_pixelrep_mismatch is lossless).
REAL = {
    "693_J2KI.dcm": ("gdcmconv", 1), "J2K_pixelrep_mismatch.dcm": ("gdcmconv", 0),
    "JPEG-lossy.dcm": ("gdcmconv", 1), "JPEG2000-embedded-sequence-delimiter.dcm": ("gdcmconv", 1),
    "JPEG2000.dcm": ("gdcmconv", 1), "JPGExtended.dcm": ("gdcmconv", 1), "MR_small_jp2klossless.dcm": ("gdcmconv", 0),
    "MR_small_jpeg_ls_lossless.dcm": ("dcmdjpls", 0), "image_dfl.dcm": ("dcmconv", 0),
}
# Colour stays refused with every compression, as an uncompressed colour file is.
REFUSED = {"SC_rgb_jpeg_gdcm.dcm", "SC_rgb_gdcm_KY.dcm", "GDCMJ2K_TextGBR.dcm", "SC_rgb_jpeg_dcmtk.dcm"}
# A codestream no decoder reads (its SIZ segment holds an item delimiter's bytes; GDCM refuses
# it too): the file loads, its frame is refused with a reason and no output is written.
UNDECODABLE = {"JPEG2000-embedded-sequence-delimiter.dcm"}


def info(converter, path, *options):
    proc = run([converter, "--info", "--json", *options, path])
    return json.loads(proc.stdout.decode("utf-8"))


def raw_words(converter, path, out, *options):
    """The RAW outputs of every frame, as words; with the converter's messages."""
    proc = run([converter, "-f", "raw", "-y", "-q", "-o", out, *options, path])
    names = sorted(n for n in os.listdir(out) if n.startswith(os.path.basename(path) + "."))
    words = [np.fromfile(os.path.join(out, n), dtype="<u2").astype(np.int64) for n in names]
    for n in names:
        os.remove(os.path.join(out, n))
    return proc.returncode, words, (proc.stdout + proc.stderr).decode("utf-8", "replace")


def from_bits_stored(words, stored, signed):
    """Each word's value from its low Bits Stored bits, as a 16-bit word (sign-filled when signed)."""
    value = words & ((1 << stored) - 1)
    if signed:
        value = np.where(value >= 1 << (stored - 1), value - (1 << stored), value)
    return value & 0xFFFF


def compare(converter, path, truth, tolerance, tmp):
    """None when equal within tolerance; "skip" when no decoder is built for it; else why not.
    The file's own header says how its samples are stored (an encoder may rescale them)."""
    header = pydicom.dcmread(path, stop_before_pixels=True)
    stored, signed = header.BitsStored, header.PixelRepresentation == 1
    status, ours, said = raw_words(converter, path, tmp, "--all-decoders")
    if any(m in said for m in MISSING):
        return "skip"
    if status != 0:
        return "exit %d: %s" % (status, said.strip()[-300:])
    status, theirs, said = raw_words(converter, truth, tmp)
    if status != 0 or len(theirs) != len(ours) or not ours:
        return "truth: exit %d, %d frames against %d" % (status, len(theirs), len(ours))
    for f, (a, b) in enumerate(zip(ours, theirs)):
        b = from_bits_stored(b, stored, signed)
        if a.shape != b.shape:
            return "frame %d: %d samples against %d" % (f, a.size, b.size)
        sa = np.where(a >= 0x8000, a - 0x10000, a) if signed else a
        sb = np.where(b >= 0x8000, b - 0x10000, b) if signed else b
        worst = int(np.abs(sa - sb).max())
        if worst > tolerance:
            at = int(np.argmax(np.abs(sa - sb)))
            return "frame %d differs by %d at sample %d (%d against %d)" % (f, worst, at, sa[at], sb[at])
    return None


def default_outcome(path):
    """What the converter says without the switch: JPEG below .65 in 8 bits allocated loads."""
    ds = pydicom.dcmread(path, stop_before_pixels=True)
    syntax = str(ds.file_meta.TransferSyntaxUID)
    jpeg = syntax.startswith("1.2.840.10008.1.2.4.") and syntax[20:].isdigit() and int(syntax[20:]) < 65
    return "ok" if jpeg and ds.BitsAllocated == 8 else "unsupported"


def check_fixture(converter, case, tmp, skipped):
    name = case["name"]
    why = compare(converter, case["file"], case["truth"], case["tolerance"], tmp)
    if why == "skip":
        skipped.append(name)
        return None
    if why:
        return why
    got = info(converter, case["file"], "--all-decoders")
    kind = got.get("compression")
    want = "jpeg-lossless" if case["reader"] == "jpeg" and case["tolerance"] == 0 else case["reader"]
    if kind != want or not got["lines"]["image"].endswith(KINDS[want]):
        return "compression %s, image line %r, expected %s" % (kind, got["lines"]["image"], want)
    plain = info(converter, case["file"])
    if plain["status"] != default_outcome(case["file"]):
        return "without the switch: %s" % plain["status"]
    if plain["status"] == "ok" and not plain["lines"]["image"].endswith("<JPEG frame cannot be decoded>"):
        return "without the switch the lossless frame shows: %s" % plain["lines"]["image"]
    return None


def check_real(converter, name, path, tmp, skipped):
    if name in REFUSED:
        got = info(converter, path, "--all-decoders")
        return None if got["status"] == "unsupported" else "colour read: %s" % got["status"]
    if name in UNDECODABLE:
        status, words, said = raw_words(converter, path, tmp, "--all-decoders")
        if status != 1 or words or "cannot be decoded!" not in said:
            return "exit %d, %d outputs: %s" % (status, len(words), said.strip()[-200:])
        return None
    decompressor, tolerance = REAL[name]
    truth = os.path.join(tmp, "truth.dcm")
    truth_file((decompressor, path), truth)
    why = compare(converter, path, truth, tolerance, tmp)
    if why == "skip":
        skipped.append(name)
        return None
    return why


def main(converter, fixtures):
    manifest = json.load(open(os.path.join(fixtures, "fixtures.json")))
    failures, checked, skipped = [], 0, []
    with tempfile.TemporaryDirectory() as tmp:
        for case in manifest["cases"]:
            why = check_fixture(converter, case, tmp, skipped)
            checked += 1
            if why:
                failures.append("%s: %s" % (case["name"], why))
        for name, path in test_files():
            if name in REAL or name in REFUSED or name in UNDECODABLE:
                checked += 1
                why = check_real(converter, name, path, tmp, skipped)
                if why:
                    failures.append("%s: %s" % (name, why))
    for name in skipped:
        print("SKIP %s: no decoder built for it yet" % name)
    if len(manifest["cases"]) < 40:
        failures.append("only %d fixtures were made: %s" % (len(manifest["cases"]), manifest["missing"]))
    return finish(failures, "%d files compared, %d skipped" % (checked, len(skipped)))


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
