"""The test DICOM builder checked by an independent reader: every file it writes must be read
by pydicom with the elements, transfer syntax and sample values it was asked for.

usage: test_builder_vs_pydicom.py CORPUS_BUILDER_CASES
"""

import os
import struct
import sys
import tempfile

import numpy as np
import pydicom

from corpus_common import finish, run, unpack12


def meta_problems(data, ds, syntax):
    """(0002,0000) must count exactly the meta elements after it."""
    pos, end = 144, 144 + struct.unpack_from("<I", data, 140)[0]
    while pos < end and data[pos:pos + 2] == b"\2\0":
        long_form = data[pos + 4:pos + 6] in (b"OB", b"OW", b"UN", b"UT")
        pos += 12 + struct.unpack_from("<I", data, pos + 8)[0] if long_form else 8 + struct.unpack_from("<H", data, pos + 6)[0]
    problems = ["transfer syntax %s" % ds.file_meta.TransferSyntaxUID] if ds.file_meta.TransferSyntaxUID != syntax else []
    if data[128:132] != b"DICM" or pos != end or data[end:end + 2] == b"\2\0":
        problems.append("meta group length does not end the meta group")
    return problems


def check(path, syntax, meta, rows, columns, bits, frames, representation, photometric, samples):
    data = open(path, "rb").read()
    ds = pydicom.dcmread(path, force=True)
    if meta:
        problems = meta_problems(data, ds, syntax)
    else:
        problems = [] if data[:2] == b"\x08\x00" else ["a file without meta header must start with the data set"]
        ds.file_meta = pydicom.dataset.FileMetaDataset()
        ds.file_meta.TransferSyntaxUID = syntax
    expected = {"Rows": rows, "Columns": columns, "BitsAllocated": bits, "SamplesPerPixel": 1,
                "PhotometricInterpretation": photometric, "PixelRepresentation": representation}
    if frames > 1:
        expected["NumberOfFrames"] = frames
    if os.path.basename(path) == "texts.dcm":
        expected.update(RescaleIntercept=-1024.0, RescaleSlope=0.5)
        for keyword, raw in (("PatientName", b"Doe^Jane"), ("PatientID", b"ID1 "), ("PixelSpacing", b"0.5\\0.25"),
                             ("SOPClassUID", b"1.2.840.10008.5.1.4.1.1.7\0")):
            if ds.get_item(keyword).value != raw:
                problems.append("%s raw value %r" % (keyword, ds.get_item(keyword).value))
    problems += ["%s is %r, expected %r" % (k, ds.get(k), v) for k, v in expected.items() if ds.get(k) != v]
    if len(data) % 2:
        problems.append("odd file length %d" % len(data))
    want = np.array(samples, dtype=np.int64)
    got = unpack12(ds.PixelData, want.size) if bits == 12 else ds.pixel_array.astype(np.int64).reshape(-1)
    if syntax == pydicom.uid.JPEGBaseline8Bit:
        error = np.abs(got - want)
        if error.max() > 12 or error.mean() > 3:
            problems.append("JPEG decode differs by up to %d (mean %.2f)" % (error.max(), error.mean()))
    elif not np.array_equal(got, want):
        problems.append("samples %s, expected %s" % (got.tolist(), want.tolist()))
    return problems


def main(writer):
    with tempfile.TemporaryDirectory() as out:
        run([writer, out])
        lines = open(os.path.join(out, "manifest.txt")).read().splitlines()
        failures = [] if len(lines) >= 9 else ["only %d cases written" % len(lines)]
        for line in lines:
            name, syntax, *fields = line.split(" ")
            numbers = [int(f) for f in fields[:6]]
            problems = check(os.path.join(out, name + ".dcm"), syntax, *numbers, fields[6], [int(f) for f in fields[7:]])
            failures += ["%s: %s" % (name, p) for p in problems]
        return finish(failures, "%d builder cases checked" % len(lines))


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
