"""The pydicom + numpy + Pillow peer of bench/compare-peers: converts every frame of the
given DICOM files to 8-bit TIFF with a min-max window, in one process.

usage: peer_pydicom.py OUTDIR FILE...
"""

import os
import sys

import numpy as np
import pydicom
from PIL import Image


def to_8bit(frame):
    """Min-max window of one frame to 0..255, as the other tools' stretch does."""
    low = int(frame.min())
    high = int(frame.max())
    span = max(high - low, 1)
    scaled = (frame.astype(np.int64) - low) * 255 // span
    return scaled.astype(np.uint8)


def main(outdir, paths):
    for path in paths:
        ds = pydicom.dcmread(path)
        pixels = ds.pixel_array
        frames = int(getattr(ds, "NumberOfFrames", 1) or 1)
        if frames == 1:
            pixels = pixels[np.newaxis, ...]
        stem = os.path.join(outdir, os.path.basename(path))
        for index, frame in enumerate(pixels):
            name = stem + (".%03d.tif" % index if frames > 1 else ".tif")
            Image.fromarray(to_8bit(frame)).save(name, format="TIFF")


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2:])
