"""The test DICOM builder checked by an independent reader: every file it writes must be
read by pydicom with the elements, transfer syntax and sample values it was asked for.

usage: test_builder_vs_pydicom.py CORPUS_BUILDER_CASES
"""

import json
import os
import struct
import subprocess
import sys
import tempfile
import warnings

import numpy as np
import pydicom

warnings.filterwarnings("ignore")


def meta_group_length_ok(data):
    """(0002,0000) must give the byte count of the meta elements after it."""
    if data[128:132] != b"DICM":
        return "no DICM marker"
    tag, vr, length, value = struct.unpack_from("<I2sHI", data, 132)
    if tag != 0x00000002 or vr != b"UL" or length != 4:
        return "first meta element is not (0002,0000) UL"
    pos = 144
    end = pos + value
    while pos < end:
        group, _, vr = struct.unpack_from("<HH2s", data, pos)
        if group != 2:
            return "group length %d ends inside or after the meta group" % value
        if vr in (b"OB", b"OW", b"SQ", b"UN", b"UT"):
            (length,) = struct.unpack_from("<I", data, pos + 8)
            pos += 12 + length
        else:
            (length,) = struct.unpack_from("<H", data, pos + 6)
            pos += 8 + length
    if pos != end:
        return "meta elements end at %d, group length says %d" % (pos, end)
    if struct.unpack_from("<H", data, end)[0] == 2:
        return "a group 0002 element follows the counted meta group"
    return None


def unpack12(raw, count):
    values = []
    for i in range(count):
        byte = i * 12 // 8
        word = raw[byte] | raw[byte + 1] << 8
        values.append(word >> 4 if i % 2 else word & 0xFFF)
    return values


def check(case, path):
    problems = []
    data = open(path, "rb").read()
    ds = pydicom.dcmread(path, force=True)
    if case["meta"]:
        problem = meta_group_length_ok(data)
        if problem:
            problems.append(problem)
        if str(ds.file_meta.TransferSyntaxUID) != case["syntax"]:
            problems.append("transfer syntax %s" % ds.file_meta.TransferSyntaxUID)
    else:
        if data[128:132] == b"DICM" or data[:2] != b"\x08\x00":
            problems.append("a file without meta header must start with the data set")
        ds.file_meta = pydicom.dataset.FileMetaDataset()
        ds.file_meta.TransferSyntaxUID = case["syntax"]
    if len(data) % 2:
        problems.append("odd file length %d" % len(data))

    expected = {"Rows": case["rows"], "Columns": case["columns"], "BitsAllocated": case["bits"],
                "SamplesPerPixel": 1, "PhotometricInterpretation": case["photometric"]}
    if case["pixel_representation"] >= 0:
        expected["PixelRepresentation"] = case["pixel_representation"]
    if case["frames"] > 1:
        expected["NumberOfFrames"] = case["frames"]
    for keyword in ("PatientName", "PatientID", "PixelSpacing", "WindowCenter"):
        text = case[{"PatientName": "patient_name", "PatientID": "patient_id",
                     "PixelSpacing": "pixel_spacing", "WindowCenter": "window_center"}[keyword]]
        if text:
            raw = ds.get_item(keyword).value
            raw = raw if isinstance(raw, bytes) else str(raw).encode()
            # Values are padded to even length with one trailing space.
            want = text.encode() + (b" " if len(text) % 2 else b"")
            if raw != want:
                problems.append("%s raw value %r, expected %r" % (keyword, raw, want))
    if case["rescale"]:
        expected["RescaleIntercept"] = -1024.0
        expected["RescaleSlope"] = 0.5
    for keyword, value in expected.items():
        got = ds.get(keyword)
        if got != value:
            problems.append("%s is %r, expected %r" % (keyword, got, value))
    sop = ds.get_item("SOPInstanceUID").value
    if not sop.endswith(b"\0") and len(sop) % 2:
        problems.append("UI not padded with NUL")

    samples = np.array(case["samples"], dtype=np.int64)
    shape = (case["frames"], case["rows"], case["columns"]) if case["frames"] > 1 else (case["rows"], case["columns"])
    if case["bits"] == 12:
        got = np.array(unpack12(ds.PixelData, samples.size))
        if not np.array_equal(got, samples):
            problems.append("12-bit samples %s, expected %s" % (got.tolist(), samples.tolist()))
        return problems
    array = ds.pixel_array.astype(np.int64).reshape(shape)
    samples = samples.reshape(shape)
    if case["syntax"] == pydicom.uid.JPEGBaseline8Bit:
        error = np.abs(array - samples)
        if error.max() > 12 or error.mean() > 3:
            problems.append("JPEG decode differs by up to %d (mean %.2f)" % (error.max(), error.mean()))
    elif not np.array_equal(array, samples):
        problems.append("samples differ:\n%s\nexpected\n%s" % (array, samples))
    return problems


def main(writer):
    with tempfile.TemporaryDirectory() as out:
        subprocess.run([writer, out], check=True)
        cases = json.load(open(os.path.join(out, "manifest.json")))
        failures = 0
        for case in cases:
            problems = check(case, os.path.join(out, case["name"] + ".dcm"))
            for p in problems:
                print("FAIL %s: %s" % (case["name"], p))
            failures += len(problems)
        print("%d builder cases checked, %d failures" % (len(cases), failures))
        return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1]))
