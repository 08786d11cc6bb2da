"""The test DICOM builder checked by an independent reader: every file it writes must be read
by pydicom with the elements, transfer syntax and sample values it was asked for.

usage: test_builder_vs_pydicom.py CORPUS_BUILDER_CASES
"""

import os
import struct
import subprocess
import sys
import tempfile
import warnings

import numpy as np
import pydicom

warnings.filterwarnings("ignore")


def check(path, syntax, meta, rows, columns, bits, frames, representation, photometric, samples):
    data = open(path, "rb").read()
    ds = pydicom.dcmread(path, force=True)
    problems = []
    if meta:
        # (0002,0000) must count exactly the meta elements after it.
        pos, end = 144, 144 + struct.unpack_from("<I", data, 140)[0]
        while pos < end and data[pos:pos + 2] == b"\2\0":
            if data[pos + 4:pos + 6] in (b"OB", b"OW", b"UN", b"UT"):
                pos += 12 + struct.unpack_from("<I", data, pos + 8)[0]
            else:
                pos += 8 + struct.unpack_from("<H", data, pos + 6)[0]
        if data[128:132] != b"DICM" or pos != end or data[end:end + 2] == b"\2\0":
            problems.append("meta group length does not end the meta group")
        if str(ds.file_meta.TransferSyntaxUID) != syntax:
            problems.append("transfer syntax %s" % ds.file_meta.TransferSyntaxUID)
    else:
        if data[:2] != b"\x08\x00":
            problems.append("a file without meta header must start with the data set")
        ds.file_meta = pydicom.dataset.FileMetaDataset()
        ds.file_meta.TransferSyntaxUID = syntax
    expected = {"Rows": rows, "Columns": columns, "BitsAllocated": bits, "SamplesPerPixel": 1,
                "PhotometricInterpretation": photometric, "PixelRepresentation": representation}
    if frames > 1:
        expected["NumberOfFrames"] = frames
    if os.path.basename(path) == "texts.dcm":
        expected.update(RescaleIntercept=-1024.0, RescaleSlope=0.5)
        for keyword, raw in (("PatientName", b"Doe^Jane"), ("PatientID", b"ID1 "), ("PixelSpacing", b"0.5\\0.25")):
            if ds.get_item(keyword).value != raw:
                problems.append("%s raw value %r" % (keyword, ds.get_item(keyword).value))
        if ds.get_item("SOPClassUID").value != b"1.2.840.10008.5.1.4.1.1.7\0":
            problems.append("odd UI not padded with NUL")
    for keyword, value in expected.items():
        if ds.get(keyword) != value:
            problems.append("%s is %r, expected %r" % (keyword, ds.get(keyword), value))
    if len(data) % 2:
        problems.append("odd file length %d" % len(data))

    want = np.array(samples, dtype=np.int64)
    if bits == 12:
        raw = np.frombuffer(ds.PixelData + b"\0", dtype=np.uint8).astype(np.int64)
        i = np.arange(want.size)
        word = raw[i * 12 // 8] | raw[i * 12 // 8 + 1] << 8
        got = np.where(i % 2 == 1, word >> 4, word & 0xFFF)
    else:
        got = ds.pixel_array.astype(np.int64).reshape(-1)
    if syntax == pydicom.uid.JPEGBaseline8Bit:
        error = np.abs(got - want)
        if error.max() > 12 or error.mean() > 3:
            problems.append("JPEG decode differs by up to %d (mean %.2f)" % (error.max(), error.mean()))
    elif not np.array_equal(got, want):
        problems.append("samples %s, expected %s" % (got.tolist(), want.tolist()))
    return problems


def main(writer):
    with tempfile.TemporaryDirectory() as out:
        subprocess.run([writer, out], check=True)
        failures = 0
        lines = open(os.path.join(out, "manifest.txt")).read().split("\n")[:-1]
        for line in lines:
            name, syntax, *fields = line.split(" ")
            meta, rows, columns, bits, frames, representation = (int(f) for f in fields[:6])
            problems = check(os.path.join(out, name + ".dcm"), syntax, meta, rows, columns, bits, frames,
                             representation, fields[6], [int(f) for f in fields[7:]])
            for p in problems:
                print("FAIL %s: %s" % (name, p))
            failures += len(problems)
        print("%d builder cases checked, %d failures" % (len(lines), failures))
        return 1 if failures or len(lines) < 9 else 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1]))
