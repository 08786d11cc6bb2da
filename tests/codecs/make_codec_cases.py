#!/usr/bin/env python3
"""Makes the codec tests' cases: pictures drawn here and encoded by the Debian tools (dcmcjpls,
opj_compress, ojph_compress), and the fragments of pydicom's JPEG-LS and JPEG 2000 test files.

    make_codec_cases.py OUTDIR

writes OUTDIR/NAME.stream (one frame's codestream), OUTDIR/NAME.truth (the frame's values,
int32 little-endian) and OUTDIR/cases.txt, one case a line:

    NAME KIND ROWS COLUMNS BITS_ALLOCATED BITS_STORED SIGNED TOLERANCE

TOLERANCE is the largest difference allowed from the truth; -1 says the stream must be refused.
The truth of a lossless stream is the picture encoded; of a near-lossless JPEG-LS stream the
picture, within its NEAR; of a lossy stream another decoder's output (see lossy_truth); of a
real file GDCM's decode through pydicom.
"""
import os
import subprocess
import sys
import tempfile

import numpy as np
import pydicom
from pydicom.dataset import Dataset, FileMetaDataset
from pydicom.encaps import generate_pixel_data_frame
from pydicom.uid import ExplicitVRLittleEndian

TEST_FILES = os.path.join(os.path.dirname(pydicom.__file__), "data", "test_files")
out_dir = sys.argv[1]
work = tempfile.mkdtemp(prefix="codec-cases-")
lines = []


def run(*command):
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, cwd=work)


def picture(rows, columns, bits, signed, seed):
    """A gradient with a ripple and noise over the whole range of bits."""
    y, x = np.mgrid[0:rows, 0:columns]
    top = 1 << bits
    values = (x * 977 + y * 1913) % top + (np.sin(x / 3.0) * top / 16).astype(np.int64)
    values = (values + np.random.default_rng(seed).integers(0, max(top // 64, 2), (rows, columns))) % top
    return values - top // 2 if signed else values


def add(name, kind, stream, truth, bits_allocated, bits_stored, signed, tolerance):
    with open(os.path.join(out_dir, name + ".stream"), "wb") as f:
        f.write(stream)
    np.asarray(truth, dtype="<i4").tofile(os.path.join(out_dir, name + ".truth"))
    rows, columns = truth.shape
    lines.append(f"{name} {kind} {rows} {columns} {bits_allocated} {bits_stored} {int(signed)} {tolerance}")


def first_fragment(path):
    ds = pydicom.dcmread(path)
    return next(generate_pixel_data_frame(ds.PixelData, int(getattr(ds, "NumberOfFrames", 1))))


def dicom_of(values, bits_allocated, bits_stored, signed, path):
    """An uncompressed file of the picture, for dcmcjpls."""
    ds = Dataset()
    ds.file_meta = FileMetaDataset()
    ds.file_meta.TransferSyntaxUID = ExplicitVRLittleEndian
    ds.file_meta.MediaStorageSOPClassUID = "1.2.840.10008.5.1.4.1.1.7"
    ds.file_meta.MediaStorageSOPInstanceUID = pydicom.uid.generate_uid()
    ds.SOPClassUID = ds.file_meta.MediaStorageSOPClassUID
    ds.SOPInstanceUID = ds.file_meta.MediaStorageSOPInstanceUID
    ds.Rows, ds.Columns = values.shape[:2]
    colour = values.ndim == 3
    ds.SamplesPerPixel = 3 if colour else 1
    ds.PhotometricInterpretation = "RGB" if colour else "MONOCHROME2"
    if colour:
        ds.PlanarConfiguration = 0
    ds.BitsAllocated, ds.BitsStored, ds.HighBit = bits_allocated, bits_stored, bits_stored - 1
    ds.PixelRepresentation = int(signed)
    dtype = {8: "u1", 16: "<u2"}[bits_allocated]
    ds.PixelData = (values.astype(np.int64) & ((1 << bits_allocated) - 1)).astype(dtype).tobytes()
    ds.is_little_endian, ds.is_implicit_VR = True, False
    ds.save_as(path, write_like_original=False)


def jpeg_ls(name, values, bits_allocated, bits_stored, signed, near=0, options=()):
    dicom_of(values, bits_allocated, bits_stored, signed, os.path.join(work, "in.dcm"))
    mode = ["+en", "+md", str(near)] if near else ["+el"]
    run("dcmcjpls", *mode, *options, "in.dcm", "out.dcm")
    tolerance = -1 if values.ndim == 3 else near
    add(name, "jpegls", first_fragment(os.path.join(work, "out.dcm")), values[..., 0] if values.ndim == 3 else values,
        bits_allocated, bits_stored, signed, tolerance)


def raw_of(values, bits, signed, path):
    """Little-endian raw samples (opj_compress's .rawl, ojph_compress's .yuv)."""
    dtype = ("i" if signed else "u") + ("1" if bits <= 8 else "2")
    values.astype("<" + dtype).tofile(path)


def read_raw(path, shape, bits, signed):
    dtype = ("i" if signed else "u") + ("1" if bits <= 8 else "2")
    return np.fromfile(path, dtype="<" + dtype).astype(np.int64).reshape(shape)


def jpeg_2000(name, values, precision, signed, lossy=False, options=("-n", "4"), refused=False, output="out.j2k"):
    rows, columns = values.shape
    # opj_compress reads raw samples of even precisions only: unsigned pictures go as PGM.
    if signed:
        raw_of(values, precision, signed, os.path.join(work, "in.rawl"))
        source = ["-i", "in.rawl", "-F", f"{columns},{rows},1,{precision},s@1x1"]
    else:
        with open(os.path.join(work, "in.pgm"), "wb") as f:
            f.write(f"P5\n{columns} {rows}\n{(1 << precision) - 1}\n".encode())
            f.write(values.astype(">u2" if precision > 8 else "u1").tobytes())
        source = ["-i", "in.pgm"]
    run("opj_compress", *source, "-o", output, *(["-I", "-r", "12"] if lossy else []), *options)
    with open(os.path.join(work, output), "rb") as f:
        stream = f.read()
    truth = values
    if lossy:
        truth = lossy_truth(["opj_decompress", "-i", "out.j2k", "-o", "dec.rawl"], "dec.rawl", values, precision, signed)
    add(name, "j2k", stream, truth, 16 if precision > 8 else 8, precision, signed, -1 if refused else int(lossy))


def ht_jpeg_2000(name, values, bits, signed, lossy=False, options=()):
    """ojph_compress reads no signed samples: a signed picture is encoded shifted up by half its
    range, and the component is then marked signed. JPEG 2000 codes an unsigned picture shifted
    down by that much (its DC level shift), so this is the signed picture's own codestream."""
    rows, columns = values.shape
    half = 1 << (bits - 1) if signed else 0
    raw_of(values + half, bits, False, os.path.join(work, "in.yuv"))
    mode = ["-reversible", "false", "-qstep", "0.002"] if lossy else ["-reversible", "true"]
    run("ojph_compress", "-i", "in.yuv", "-o", "out.j2c", "-dims", f"{{{columns},{rows}}}", "-num_comps", "1",
        "-signed", "false", "-bit_depth", str(bits), "-downsamp", "{1,1}", *mode, *options)
    with open(os.path.join(work, "out.j2c"), "rb") as f:
        stream = bytearray(f.read())
    if signed:
        stream[42] |= 0x80  # Ssiz of the one component
    truth = values
    if lossy:
        truth = lossy_truth(["ojph_expand", "-i", "out.j2c", "-o", "dec.yuv"], "dec.yuv", values + half, bits, False) - half
    add(name, "htj2k", bytes(stream), truth, 16 if bits > 8 else 8, bits, signed, 1 if lossy else 0)


def lossy_truth(command, output, values, bits, signed):
    """A lossy stream's truth: another decoder's output (OpenJPH's for HTJ2K, opj_decompress for
    JPEG 2000). The irreversible 9/7 wavelet is computed in floating point, and two decoders may
    round a sample either way: the tests allow 1. The picture itself is far further off."""
    run(*command)
    truth = read_raw(os.path.join(work, output), values.shape, bits, signed)
    assert np.abs(truth - values).max() > 1, "the lossy stream is lossless"
    return truth


def real_files():
    """pydicom's test files: the first fragment, and GDCM's decode as the truth."""
    from pydicom.pixel_data_handlers import gdcm_handler
    pydicom.config.pixel_data_handlers = [gdcm_handler]
    kinds = {"1.2.840.10008.1.2.4.80": "jpegls", "1.2.840.10008.1.2.4.90": "j2k", "1.2.840.10008.1.2.4.91": "j2k"}
    for file in ["MR_small_jpeg_ls_lossless.dcm", "MR_small_jp2klossless.dcm", "JPEG2000.dcm", "693_J2KI.dcm",
                 "J2K_pixelrep_mismatch.dcm", "GDCMJ2K_TextGBR.dcm", "SC_rgb_gdcm_KY.dcm"]:
        path = os.path.join(TEST_FILES, file)
        if not os.path.exists(path):
            continue
        ds = pydicom.dcmread(path)
        name = "real_" + file[:-4]
        stream = first_fragment(path)
        if ds.SamplesPerPixel != 1:
            truth = np.zeros((ds.Rows, ds.Columns), np.int64)
            add(name, kinds[ds.file_meta.TransferSyntaxUID], stream, truth, ds.BitsAllocated, ds.BitsStored, 0, -1)
            continue
        signed = ds.PixelRepresentation  # read first: the J2K sign correction changes the element
        add(name, kinds[ds.file_meta.TransferSyntaxUID], stream, ds.pixel_array.astype(np.int64), ds.BitsAllocated,
            ds.BitsStored, signed, 0)


def colour_picture(rows, columns):
    return np.stack([picture(rows, columns, 8, False, k) for k in range(3)], axis=-1)


def colour_refusals():
    jpeg_ls("jls_refuse_rgb", colour_picture(23, 37), 8, 8, False)
    with open(os.path.join(work, "rgb.ppm"), "wb") as f:
        f.write(b"P6\n37 23\n255\n" + colour_picture(23, 37).astype("u1").tobytes())
    run("opj_compress", "-i", "rgb.ppm", "-o", "rgb.j2k", "-n", "4")
    run("ojph_compress", "-i", "rgb.ppm", "-o", "rgb.j2c", "-reversible", "true")
    for kind, file in [("j2k", "rgb.j2k"), ("htj2k", "rgb.j2c")]:
        with open(os.path.join(work, file), "rb") as f:
            add(f"{kind}_refuse_rgb", kind, f.read(), np.zeros((23, 37)), 8, 8, False, -1)


os.makedirs(out_dir, exist_ok=True)
odd, large = (23, 37), (512, 512)
for bits, signed, shape in [(8, False, odd), (6, False, odd), (10, False, odd), (12, True, odd), (15, False, odd),
                            (16, False, odd), (16, True, odd), (16, False, large)]:
    tag = f"{bits}{'s' if signed else 'u'}_{shape[1]}x{shape[0]}"
    values = picture(*shape, bits, signed, bits)
    allocated = 8 if bits == 8 else 16
    jpeg_ls(f"jls_{tag}", values, allocated, bits, signed)
    jpeg_2000(f"j2k_{tag}", values, bits, signed)
    ht_jpeg_2000(f"htj2k_{tag}", values, bits, signed)
jpeg_ls("jls_near_12u_37x23", picture(*odd, 12, False, 1), 16, 12, False, near=2)
jpeg_ls("jls_near_8u_37x23", picture(*odd, 8, False, 2), 8, 8, False, near=2)
jpeg_ls("jls_zero_padded_8u_37x23", picture(*odd, 8, False, 3), 8, 8, False, options=["+pz"])
jpeg_2000("j2k_12u_64x48_tiled", picture(48, 64, 12, False, 4), 12, False, options=["-t", "16,16", "-n", "3"])
jpeg_2000("j2k_jp2_12u_37x23", picture(*odd, 12, False, 9), 12, False, output="out.jp2")
jpeg_2000("j2k_refuse_tiles", picture(*large, 8, False, 5), 8, False, options=["-t", "4,4", "-n", "1"],
          refused=True)
jpeg_2000("j2k_16s_37x23_lossy", picture(*odd, 16, True, 6), 16, True, lossy=True)
jpeg_2000("j2k_12u_512x512_lossy", picture(*large, 12, False, 7), 12, False, lossy=True, options=())
ht_jpeg_2000("htj2k_12u_37x23_offset", picture(*odd, 12, False, 10), 12, False, options=["-image_offset", "{5,3}"])
ht_jpeg_2000("htj2k_12u_37x23_lossy", picture(*odd, 12, False, 8), 12, False, lossy=True)
colour_refusals()
real_files()
with open(os.path.join(out_dir, "cases.txt"), "w") as f:
    f.write("\n".join(lines) + "\n")
