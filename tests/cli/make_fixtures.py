"""usage: make_fixtures.py OUTDIR [--small]

Makes the compressed test files with Debian's encoders, each beside its truth: the same image
decompressed by an independent decoder (DCMTK, GDCM or OpenJPH) to explicit VR little endian.
The source images are written here with pydicom and numpy; OUTDIR/fixtures.json lists every
case. --small makes the same encodings of tiny images, without truths (seeds for the fuzzer).

Truths and tolerances: lossless encodings must give the truth exactly. Lossy ones (12-bit DCT,
a baseline stream, near-lossless JPEG-LS, irreversible JPEG 2000 and HTJ2K) are decoded by
another implementation of the same transform than ours, whose integer rounding may differ by
one step: their samples may differ from the truth by at most 1. The irreversible wavelet of
JPEG 2000 and HTJ2K is computed in floating point by both decoders, whose roundings at 16
bits of range (65,536 steps) differ by up to 2 steps: there the tolerance is 2."""

import json
import os
import shutil
import subprocess
import sys

import numpy as np
import pydicom
import pydicom.filebase
import pydicom.filewriter
from pydicom.dataset import FileDataset, FileMetaDataset
from pydicom.encaps import encapsulate
from pydicom.uid import ExplicitVRLittleEndian

SOP_CLASS = "1.2.840.10008.5.1.4.1.1.7"


def source(path, rows, columns, frames, allocated, stored, signed, photometric="MONOCHROME2"):
    """A greyscale image of a smooth field with noise over the whole stored range, uncompressed."""
    meta = FileMetaDataset()
    meta.TransferSyntaxUID = ExplicitVRLittleEndian
    # Secondary capture, multi-frame greyscale byte or word where there are frames (GDCM's
    # encoders check that the storage class allows them).
    meta.MediaStorageSOPClassUID = SOP_CLASS if frames == 1 else SOP_CLASS + (".2" if allocated == 8 else ".3")
    meta.MediaStorageSOPInstanceUID = "1.2.826.0.1.3680043.9.7433.2.%d" % (rows * 1000 + stored)
    ds = FileDataset(path, {}, file_meta=meta, preamble=b"\0" * 128)
    ds.SOPClassUID, ds.SOPInstanceUID = meta.MediaStorageSOPClassUID, meta.MediaStorageSOPInstanceUID
    ds.PatientName, ds.PatientID, ds.StudyDate = "CODEC^FIXTURE", "FX%d" % stored, "20240101"
    ds.Rows, ds.Columns, ds.SamplesPerPixel, ds.PhotometricInterpretation = rows, columns, 1, photometric
    ds.BitsAllocated, ds.BitsStored, ds.HighBit, ds.PixelRepresentation = allocated, stored, stored - 1, int(signed)
    if frames > 1:
        ds.NumberOfFrames = frames
    low = -(1 << (stored - 1)) if signed else 0
    high = low + (1 << stored) - 1
    f, y, x = np.mgrid[0:frames, 0:rows, 0:columns]
    field = (np.sin(x / 7.0 + f) + np.cos(y / 5.0) + 2) / 4  # 0..1
    noise = np.random.default_rng(stored * 100 + rows).integers(-3, 4, field.shape)
    values = np.clip(np.round(low + field * (high - low)) + noise, low, high).astype(np.int64)
    dtype = np.uint8 if allocated == 8 else np.uint16
    ds.PixelData = (values & ((1 << allocated) - 1)).astype(dtype).tobytes()
    ds.is_little_endian, ds.is_implicit_VR = True, False
    ds.save_as(path, write_like_original=False)
    return values


def run(*args):
    proc = subprocess.run([str(a) for a in args], capture_output=True)
    if proc.returncode != 0:
        raise RuntimeError("%s failed: %s" % (args[0], proc.stderr.decode(errors="replace")[-400:]))


def htj2k(path, out, syntax, reversible, work):
    """Each frame through ojph_compress, encapsulated under syntax; the truth by ojph_expand.
    ojph_compress reads no signed samples: a signed picture goes shifted up by half its range,
    and its component is then marked signed (Ssiz), which JPEG 2000's level shift makes the
    signed picture's own codestream; its truth is shifted back down."""
    ds = pydicom.dcmread(path)
    frames = int(ds.get("NumberOfFrames", 1))
    bits, signed = ds.BitsStored, ds.PixelRepresentation == 1
    dtype = np.dtype("u1" if ds.BitsAllocated == 8 else "<u2")
    pixels = np.frombuffer(ds.PixelData, dtype=dtype).reshape(frames, -1).astype(np.int64)
    mask, half = (1 << bits) - 1, (1 << (bits - 1)) if signed else 0
    codestreams, decoded = [], []
    for k in range(frames):
        raw, j2c, back = (os.path.join(work, "frame.%s" % e) for e in ("yuv", "j2c", "out.yuv"))
        values = pixels[k] & mask
        if signed:
            values = np.where(values > mask >> 1, values - (mask + 1), values)
        (values + half).astype(dtype).tofile(raw)
        options = ["-reversible", "true"] if reversible else ["-qstep", "0.001"]
        run("ojph_compress", "-i", raw, "-o", j2c, "-dims", "{%d,%d}" % (ds.Columns, ds.Rows), "-num_comps", "1",
            "-signed", "false", "-bit_depth", bits, "-downsamp", "{1,1}", *options)
        stream = bytearray(open(j2c, "rb").read())
        stream[42] |= 0x80 if signed else 0  # Ssiz of the one component, after SOC and SIZ's fixed fields
        codestreams.append(bytes(stream))
        run("ojph_expand", "-i", j2c, "-o", back)
        decoded.append(((np.fromfile(back, dtype=dtype).astype(np.int64) - half) & 0xFFFF).astype(dtype))
    truth = pydicom.dcmread(path)
    truth.PixelData = np.concatenate(decoded).tobytes()
    ds.PixelData = encapsulate(codestreams)
    ds["PixelData"].is_undefined_length = True
    ds["PixelData"].VR = "OB"
    # pydicom 2.3 does not know the HTJ2K syntaxes: written as JPEG 2000, then relabelled.
    ds.file_meta.TransferSyntaxUID = "1.2.840.10008.1.2.4.90"
    ds.is_implicit_VR, ds.is_little_endian = False, True
    ds.save_as(out, write_like_original=False)
    with_meta(out, syntax)
    return truth


def with_meta(path, syntax):
    """Rewrites the file's meta group naming another transfer syntax (of any length)."""
    data = open(path, "rb").read()
    start = 132 + 12 + int.from_bytes(data[140:144], "little")
    meta = pydicom.dcmread(path, stop_before_pixels=True).file_meta
    meta.TransferSyntaxUID = syntax
    buffer = pydicom.filebase.DicomBytesIO()
    pydicom.filewriter.write_file_meta_info(buffer, meta, enforce_standard=True)
    open(path, "wb").write(data[:128] + b"DICM" + buffer.getvalue() + data[start:])


# Each encoding: (name, what reads it, whether lossy, how it is made from a source file).
# A maker writes out and returns how to get the truth: a command, or a dataset.
def encodings(small):
    def dcmtk(*options, decoder="dcmdjpeg"):
        return lambda src, out, work: (run("dcmcjpeg", *options, src, out), (decoder, out))[1]

    def dcmtk_ls(*options):
        return lambda src, out, work: (run("dcmcjpls", *options, src, out), ("dcmdjpls", out))[1]

    def gdcm(*options):
        return lambda src, out, work: (run("gdcmconv", *options, src, out), ("gdcmconv", out))[1]

    def baseline_in_70(src, out, work):
        base = os.path.join(work, "baseline.dcm")
        run("dcmcjpeg", "+eb", src, base)
        shutil.copyfile(base, out)
        with_meta(out, "1.2.840.10008.1.2.4.70")  # the same stream, relabelled as lossless
        return ("dcmdjpeg", base)

    def deflated(src, out, work):
        run("dcmconv", "+td", src, out)
        return ("copy", src)

    return [
        ("jpeg-sv1", "jpeg", False, {"all"}, dcmtk("+e1")),
        ("jpeg-p2", "jpeg", False, {"all"}, dcmtk("+el", "+sv", "2")),
        ("jpeg-p5", "jpeg", False, {"all"}, dcmtk("+el", "+sv", "5")),
        ("jpeg-p7-pt2", "jpeg", False, {"all"}, dcmtk("+el", "+sv", "7", "+pt", "2")),
        ("jpeg-fragments", "jpeg", False, {"all"}, dcmtk("+e1", "+fs", "1", "-ot")),
        ("jpeg-12bit", "jpeg", True, {"deep"}, dcmtk("+ee")),
        ("jpeg-baseline-in-70", "jpeg", True, {"eight"}, baseline_in_70),
        ("jpegls", "jpeg-ls", False, {"all"}, dcmtk_ls("+el")),
        ("jpegls-near", "jpeg-ls", True, {"all"}, dcmtk_ls("+en", "+md", "1")),
        ("jpegls-zero-pad", "jpeg-ls", False, {"eight"}, dcmtk_ls("+el", "+pz")),
        ("j2k", "jpeg2000", False, {"all"}, gdcm("-K")),
        ("j2k-lossy", "jpeg2000", True, {"all"}, gdcm("-K", "--irreversible", "-q", "80")),
        ("htj2k", "htj2k", False, {"all"},
         lambda src, out, work: htj2k(src, out, "1.2.840.10008.1.2.4.201", True, work)),
        ("htj2k-lossy", "htj2k", True, {"all"},
         lambda src, out, work: htj2k(src, out, "1.2.840.10008.1.2.4.203", False, work)),
        ("deflate", "deflate", False, {"all"}, deflated),
    ]


# The source images: (name, rows, columns, frames, bits allocated, bits stored, signed, photometric).
SOURCES = [
    ("u8", 64, 80, 1, 8, 8, False, "MONOCHROME2"),
    ("u10-mono1", 72, 48, 1, 16, 10, False, "MONOCHROME1"),
    ("s12", 64, 64, 1, 16, 12, True, "MONOCHROME2"),
    ("u12-frames", 40, 56, 3, 16, 12, False, "MONOCHROME2"),
    ("u15", 48, 64, 1, 16, 15, False, "MONOCHROME2"),
    ("s16", 64, 72, 2, 16, 16, True, "MONOCHROME2"),
]


def truth_file(how, truth_path):
    """The truth of a file made by how: the dataset itself, a copy of the source, or the file decompressed."""
    if isinstance(how, pydicom.Dataset):
        how.save_as(truth_path, write_like_original=False)
    elif how[0] == "copy":
        shutil.copyfile(how[1], truth_path)
    elif how[0] == "gdcmconv":
        run("gdcmconv", "--raw", "-X", how[1], truth_path)
    else:
        run(how[0], "+te", how[1], truth_path)


def main(outdir, small=False):
    os.makedirs(outdir, exist_ok=True)
    work = os.path.join(outdir, "work")
    os.makedirs(work, exist_ok=True)
    cases, missing = [], []
    for name, rows, columns, frames, allocated, stored, signed, photometric in SOURCES:
        if small:
            rows, columns = min(rows, 12), min(columns, 10)
        src = os.path.join(outdir, "source-%s.dcm" % name)
        source(src, rows, columns, frames, allocated, stored, signed, photometric)
        for encoding, reader, lossy, which, make in encodings(small):
            if ("eight" in which and allocated != 8) or ("deep" in which and not 8 < stored <= 12):
                continue
            out = os.path.join(outdir, "%s-%s.dcm" % (name, encoding))
            try:
                how = make(src, out, work)
                truth = os.path.join(outdir, "%s-%s.truth.dcm" % (name, encoding))
                if not small:
                    truth_file(how, truth)
            except (RuntimeError, FileNotFoundError) as e:
                missing.append("%s-%s: %s" % (name, encoding, e))
                continue
            cases.append({"name": "%s-%s" % (name, encoding), "file": out, "truth": truth, "reader": reader,
                          "tolerance": 0 if not lossy else 2 if "j2k" in encoding and stored > 12 else 1})
    shutil.rmtree(work)
    json.dump({"cases": cases, "missing": missing}, open(os.path.join(outdir, "fixtures.json"), "w"), indent=1)
    for m in missing:
        print("NOT MADE", m)
    print("%d fixtures in %s" % (len(cases), outdir))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], "--small" in sys.argv[2:]))
