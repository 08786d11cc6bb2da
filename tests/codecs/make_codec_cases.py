#!/usr/bin/env python3
"""The codec tests' cases: pictures drawn here and encoded by the Debian tools (dcmcjpls,
opj_compress, ojph_compress), and the first fragments of pydicom's JPEG-LS and JPEG 2000 files.
`make_codec_cases.py OUTDIR` writes NAME.stream (the codestream), NAME.truth (the values, int32
little-endian) and cases.txt, a line a case: NAME KIND ROWS COLUMNS BITS_ALLOCATED BITS_STORED
SIGNED TOLERANCE, where TOLERANCE is the largest difference allowed from the truth and -1 says
the stream must be refused. The truth is the picture encoded (within NEAR for near-lossless
JPEG-LS), another decoder's output for a lossy stream (lossy_truth), GDCM's for a real file."""
import os
import subprocess
import sys
import tempfile

import numpy as np
import pydicom
from pydicom.dataset import Dataset, FileMetaDataset
from pydicom.encaps import generate_pixel_data_frame

out_dir, work, lines = sys.argv[1], tempfile.mkdtemp(prefix="codec-cases-"), []


def run(*command):
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, cwd=work)


def read(name):
    with open(os.path.join(work, name), "rb") as f:
        return f.read()


def picture(rows, columns, bits, signed, seed):
    """A gradient with a ripple and noise over the whole range of bits."""
    y, x = np.mgrid[0:rows, 0:columns]
    top = 1 << bits
    values = (x * 977 + y * 1913) % top + (np.sin(x / 3.0) * top / 16).astype(np.int64)
    values = (values + np.random.default_rng(seed).integers(0, max(top // 64, 2), (rows, columns))) % top
    return values - top // 2 if signed else values


def add(name, kind, stream, truth, bits_stored, signed, tolerance, bits_allocated=None):
    with open(os.path.join(out_dir, name + ".stream"), "wb") as f:
        f.write(stream)
    np.asarray(truth, dtype="<i4").tofile(os.path.join(out_dir, name + ".truth"))
    allocated = bits_allocated or (16 if bits_stored > 8 else 8)
    lines.append(f"{name} {kind} {truth.shape[0]} {truth.shape[1]} {allocated} {bits_stored} {int(signed)} {tolerance}")


def first_fragment(ds):
    return next(generate_pixel_data_frame(ds.PixelData, int(getattr(ds, "NumberOfFrames", 1))))


def raw(values, bits, signed, name):
    """Little-endian samples (opj_compress's .rawl, ojph_compress's .yuv), or a PGM/PPM."""
    dtype = ("i" if signed else "u") + ("1" if bits <= 8 else "2")
    with open(os.path.join(work, name), "wb") as f:
        if name.endswith((".pgm", ".ppm")):
            f.write(f"P{6 if values.ndim == 3 else 5}\n{values.shape[1]} {values.shape[0]}\n{(1 << bits) - 1}\n".encode())
            dtype = ">" + dtype
        f.write(values.astype(dtype).tobytes())


def jpeg_ls(name, values, allocated, bits, signed, near=0, options=()):
    ds = Dataset()
    ds.file_meta = FileMetaDataset()
    ds.file_meta.TransferSyntaxUID = pydicom.uid.ExplicitVRLittleEndian
    ds.file_meta.MediaStorageSOPClassUID = ds.SOPClassUID = "1.2.840.10008.5.1.4.1.1.7"
    ds.file_meta.MediaStorageSOPInstanceUID = ds.SOPInstanceUID = pydicom.uid.generate_uid()
    ds.Rows, ds.Columns, ds.SamplesPerPixel = values.shape[0], values.shape[1], 3 if values.ndim == 3 else 1
    ds.PhotometricInterpretation, ds.PlanarConfiguration = ("RGB", 0) if values.ndim == 3 else ("MONOCHROME2", 0)
    ds.BitsAllocated, ds.BitsStored, ds.HighBit, ds.PixelRepresentation = allocated, bits, bits - 1, int(signed)
    ds.PixelData = (values & ((1 << allocated) - 1)).astype("u1" if allocated == 8 else "<u2").tobytes()
    ds.is_little_endian, ds.is_implicit_VR = True, False
    ds.save_as(os.path.join(work, "in.dcm"), write_like_original=False)
    run("dcmcjpls", *(["+en", "+md", str(near)] if near else ["+el"]), *options, "in.dcm", "out.dcm")
    colour = values.ndim == 3
    add(name, "jpegls", first_fragment(pydicom.dcmread(os.path.join(work, "out.dcm"))),
        values[..., 0] if colour else values, bits, signed, -1 if colour else near, allocated)


def jpeg_2000(name, values, bits, signed, lossy=False, options=("-n", "4"), refused=False, output="out.j2k"):
    # opj_compress reads raw samples of even precisions only: unsigned pictures go as PGM.
    rows, columns = values.shape
    raw(values, bits, signed, "in.rawl" if signed else "in.pgm")
    source = ["-i", "in.rawl", "-F", f"{columns},{rows},1,{bits},s@1x1"] if signed else ["-i", "in.pgm"]
    run("opj_compress", *source, "-o", output, *(["-I", "-r", "12"] if lossy else []), *options)
    truth = lossy_truth(["opj_decompress", "-i", output, "-o", "dec.rawl"], "dec.rawl", values, bits, signed) \
        if lossy else values
    add(name, "j2k", read(output), truth, bits, signed, -1 if refused else int(lossy))


def ht_jpeg_2000(name, values, bits, signed, lossy=False, options=()):
    """ojph_compress reads no signed samples: a signed picture is encoded shifted up by half its
    range, and its component then marked signed. JPEG 2000 codes an unsigned picture shifted down
    by as much (its DC level shift), so this is the signed picture's own codestream."""
    rows, columns = values.shape
    half = 1 << (bits - 1) if signed else 0
    raw(values + half, bits, False, "in.yuv")
    mode = ["-reversible", "false", "-qstep", "0.002"] if lossy else ["-reversible", "true"]
    run("ojph_compress", "-i", "in.yuv", "-o", "out.j2c", "-dims", f"{{{columns},{rows}}}", "-num_comps", "1",
        "-signed", "false", "-bit_depth", str(bits), "-downsamp", "{1,1}", *mode, *options)
    stream = bytearray(read("out.j2c"))
    stream[42] |= 0x80 if signed else 0  # Ssiz of the one component
    truth = lossy_truth(["ojph_expand", "-i", "out.j2c", "-o", "dec.yuv"], "dec.yuv", values + half, bits, False) \
        - half if lossy else values
    add(name, "htj2k", bytes(stream), truth, bits, signed, int(lossy))


def lossy_truth(command, output, values, bits, signed):
    """A lossy stream's truth: another decoder's output (OpenJPH's for HTJ2K, opj_decompress's for
    JPEG 2000). The irreversible 9/7 wavelet is computed in floating point, and two decoders may
    round a sample either way: the tests allow 1. The picture itself is further off."""
    run(*command)
    dtype = "<" + ("i" if signed else "u") + ("1" if bits <= 8 else "2")
    truth = np.fromfile(os.path.join(work, output), dtype=dtype).astype(np.int64).reshape(values.shape)
    assert np.abs(truth - values).max() > 1, "the lossy stream is lossless"
    return truth


def real_files():
    from pydicom.pixel_data_handlers import gdcm_handler
    pydicom.config.pixel_data_handlers = [gdcm_handler]
    folder = os.path.join(os.path.dirname(pydicom.__file__), "data", "test_files")
    for file in ["MR_small_jpeg_ls_lossless", "MR_small_jp2klossless", "JPEG2000", "693_J2KI",
                 "J2K_pixelrep_mismatch", "GDCMJ2K_TextGBR", "SC_rgb_gdcm_KY"]:
        ds = pydicom.dcmread(os.path.join(folder, file + ".dcm"))
        kind = "jpegls" if ds.file_meta.TransferSyntaxUID.endswith(".80") else "j2k"
        signed = ds.PixelRepresentation  # read first: GDCM's J2K sign correction changes the element
        colour = ds.SamplesPerPixel != 1
        truth = np.zeros((ds.Rows, ds.Columns)) if colour else ds.pixel_array.astype(np.int64)
        add("real_" + file, kind, first_fragment(ds), truth, ds.BitsStored, signed, -1 if colour else 0,
            ds.BitsAllocated)


os.makedirs(out_dir, exist_ok=True)
odd, large = (23, 37), (512, 512)
for bits, signed, shape in [(8, False, odd), (6, False, odd), (10, False, odd), (12, True, odd), (15, False, odd),
                            (16, False, odd), (16, True, odd), (16, False, large)]:
    tag = f"{bits}{'s' if signed else 'u'}_{shape[1]}x{shape[0]}"
    values = picture(*shape, bits, signed, bits)
    jpeg_ls(f"jls_{tag}", values, 8 if bits == 8 else 16, bits, signed)
    jpeg_2000(f"j2k_{tag}", values, bits, signed)
    ht_jpeg_2000(f"htj2k_{tag}", values, bits, signed)
jpeg_ls("jls_near_12u_37x23", picture(*odd, 12, False, 1), 16, 12, False, near=2)
jpeg_ls("jls_near_8u_37x23", picture(*odd, 8, False, 2), 8, 8, False, near=2)
jpeg_ls("jls_zero_padded_8u_37x23", picture(*odd, 8, False, 3), 8, 8, False, options=["+pz"])
jpeg_2000("j2k_12u_64x48_tiled", picture(48, 64, 12, False, 4), 12, False, options=["-t", "16,16", "-n", "3"])
jpeg_2000("j2k_jp2_12u_37x23", picture(*odd, 12, False, 9), 12, False, output="out.jp2")
jpeg_2000("j2k_refuse_tiles", picture(*large, 8, False, 5), 8, False, options=["-t", "4,4", "-n", "1"], refused=True)
jpeg_2000("j2k_16s_37x23_lossy", picture(*odd, 16, True, 6), 16, True, lossy=True)
jpeg_2000("j2k_12u_512x512_lossy", picture(*large, 12, False, 7), 12, False, lossy=True, options=())
ht_jpeg_2000("htj2k_12u_37x23_offset", picture(*odd, 12, False, 10), 12, False, options=["-image_offset", "{5,3}"])
ht_jpeg_2000("htj2k_12u_37x23_lossy", picture(*odd, 12, False, 8), 12, False, lossy=True)
rgb = np.stack([picture(*odd, 8, False, k) for k in range(3)], axis=-1)
jpeg_ls("jls_refuse_rgb", rgb, 8, 8, False)
raw(rgb, 8, False, "rgb.ppm")
run("opj_compress", "-i", "rgb.ppm", "-o", "rgb.j2k", "-n", "4")
run("ojph_compress", "-i", "rgb.ppm", "-o", "rgb.j2c", "-reversible", "true")
add("j2k_refuse_rgb", "j2k", read("rgb.j2k"), rgb[..., 0], 8, False, -1)
add("htj2k_refuse_rgb", "htj2k", read("rgb.j2c"), rgb[..., 0], 8, False, -1)
real_files()
with open(os.path.join(out_dir, "cases.txt"), "w") as f:
    f.write("\n".join(lines) + "\n")
