"""Helpers of the real-file checks: test files, converter runs, pydicom's reading as the converter prints it."""

import io
import os
import re
import subprocess
import sys
import warnings

import numpy as np
import pydicom
import pydicom.data
from PIL import Image
from pydicom.encaps import generate_pixel_data_fragment, generate_pixel_data_frame, get_frame_offsets
from pydicom.filebase import DicomBytesIO

warnings.filterwarnings("ignore")

# The reader looks for its header elements in the first 240,000 bytes and for the
# descriptive elements in the first 9,000.
HEADER_WINDOW = 240000
TEXT_WINDOW = 9000


def test_files(directory=None):
    """(name, path) of the .dcm files under directory, or of every file pydicom ships as test data."""
    if directory:
        paths = [os.path.join(d, f) for d, _, fs in os.walk(directory) for f in fs if f.endswith(".dcm")]
    else:
        directory = os.path.join(os.path.dirname(pydicom.data.__file__), "test_files")
        paths = [p for p in pydicom.data.get_testdata_files() if os.path.isfile(p)]
        if len(paths) < 50:
            sys.exit("too few pydicom test files found in " + directory)
    return sorted((os.path.relpath(p, directory), p) for p in paths)


def run(args, timeout=120):
    """Runs a command; a death by signal is always a failure of the test."""
    proc = subprocess.run(args, capture_output=True, stdin=subprocess.DEVNULL, timeout=timeout)
    if proc.returncode < 0:
        raise AssertionError("%s died by signal %d" % (args[:3], -proc.returncode))
    return proc


def info(converter, paths):
    """The exit status of --info and its blocks, (path, {label: text}) in the order printed."""
    proc = run([converter, "--info"] + list(paths))
    blocks = []
    for line in proc.stdout.decode("latin-1").splitlines():
        if line.startswith("  "):
            label, _, value = line[2:].partition(": ")
            blocks[-1][1][label.rstrip(":")] = value
        elif line:
            blocks.append((line, {}))
    return proc.returncode, blocks


def finish(failures, summary):
    for failure in failures:
        print("FAIL", failure)
    print("%s, %d failures" % (summary, len(failures)))
    return 1 if failures else 0


def window(frame, lo, hi, invert):
    """The 8-bit mapping: (255 * v - 255 * lo) in 32-bit arithmetic, then an unsigned division."""
    span = (hi - lo) & 0xFFFFFFFF or 1
    frame = frame.astype(np.int64)
    mid = ((255 * frame - 255 * lo) & 0xFFFFFFFF) // span
    out = np.where(frame < lo, 0, np.where(frame > hi, 255, mid)).astype(np.uint8)
    return out ^ 0xFF if invert else out


class Facts:
    """What pydicom reads from one file; refuse_reason is None for a file the reader accepts."""

    def __init__(self, path):
        try:
            self.ds = pydicom.dcmread(path, force=True)
        except Exception:  # not DICOM at all, as far as pydicom goes
            self.ds = None
        meta = getattr(self.ds, "file_meta", None)
        self.syntax = str(meta.get("TransferSyntaxUID") or "") if meta else ""
        self.big_endian = self.syntax == "1.2.840.10008.1.2.2"
        self.compression = None  # "", "Jpeg" or "Rle"
        self.refuse_reason = self._refusal(os.path.getsize(path))
        self.accepted = self.refuse_reason is None

    def number(self, keyword, default=None):
        try:
            value = self.ds.get(keyword)
        except Exception:
            return default
        return default if value is None or value == "" else int(value)

    def _refusal(self, size):
        ds = self.ds
        if size < 300:
            return "shorter than 300 bytes"
        if ds is None or "PixelData" not in ds:
            return "no pixel data"
        if self.syntax == "1.2.840.10008.1.2.1.99":
            return "deflated data set: no element can be found by its byte pattern"
        pixel = ds.get_item(0x7FE00010)
        if pixel.value_tell is None or pixel.value_tell > HEADER_WINDOW:
            return "pixel data beyond the header window"
        self.rows, self.columns, self.bits = (self.number(k) for k in ("Rows", "Columns", "BitsAllocated"))
        if None in (self.rows, self.columns, self.bits):
            return "rows, columns or bits allocated missing"
        photometric = str(ds.get("PhotometricInterpretation", "MONOCHROME2")).strip()
        self.monochrome1 = photometric == "MONOCHROME1"
        if self.number("SamplesPerPixel", 1) != 1 or photometric not in ("MONOCHROME1", "MONOCHROME2"):
            return "colour: " + photometric
        if not 4 <= self.bits < 24:
            return "bits allocated %d" % self.bits
        self.frames = self.number("NumberOfFrames", 1) or 1
        if self.syntax.startswith("1.2.840.10008.1.2.4."):
            if int(re.match(r"\d*", self.syntax[20:22]).group() or 0) >= 65:
                return "lossless JPEG, JPEG-LS or JPEG 2000"
            if self.bits == 16:
                return "16-bit JPEG"
            self.compression, self.frames = "Jpeg", self._fragments(jpeg=True)
        elif self.syntax.startswith("1.2.840.10008.1.2.5"):
            self.compression, self.frames = "Rle", self._fragments(jpeg=False)
        else:
            self.compression = ""
            expected = (self.bits * self.columns * self.rows * self.frames & 0xFFFFFFFF) >> 3
            # DICOM pads odd values to an even length; a 1,024-byte surplus is tolerated too.
            if pixel.length not in (expected, expected + expected % 2, expected + 1024):
                return "pixel data length %d against %d expected" % (pixel.length, expected)
        if self.compression and self.big_endian:
            return "compressed big-endian data set"
        return "no frame found" if self.frames == 0 else None

    def _fragments(self, jpeg):
        fp = DicomBytesIO(self.ds.PixelData)
        fp.is_little_endian = True
        get_frame_offsets(fp)  # past the basic offset table
        return sum(1 for f in generate_pixel_data_fragment(fp) if not jpeg or f[:2] == b"\xff\xd8")

    def image_line(self):
        frames = " %d Frames" % self.frames if self.frames > 1 else "1 Frame"
        suffix = ", " + self.compression if self.compression else ""
        return "%d x %d Pixels,  %d Bit, %s%s" % (self.columns, self.rows, self.bits, frames, suffix)

    def stored_frames(self):
        """Stored samples (frames, rows, columns), signed above 12 bits if so marked; JPEG as Pillow decodes it."""
        if self.compression == "Jpeg":
            return np.stack([np.asarray(Image.open(io.BytesIO(f)).convert("L"), dtype=np.int32)
                             for f in generate_pixel_data_frame(self.ds.PixelData, self.frames)])
        n = self.rows * self.columns * self.frames
        if self.compression == "Rle":
            values = self.ds.pixel_array.astype(np.int64) & 0xFFFF
        elif self.bits == 12:
            # Packed: sample 0 in the low 12 bits of bytes 0-1, sample 1 in the high 12 bits of bytes 1-2.
            i = np.arange(n)
            b = np.frombuffer(bytes(self.ds.PixelData[:(n * 3 + 1) // 2]) + b"\0\0", dtype=np.uint8).astype(np.int64)
            word = b[i * 12 // 8] | b[i * 12 // 8 + 1] << 8
            values = np.where(i % 2 == 1, word >> 4, word & 0xFFF)
        elif self.bits in (8, 16):
            dtype = np.dtype("u1" if self.bits == 8 else ">u2" if self.big_endian else "<u2")
            raw = self.ds.PixelData[:n * dtype.itemsize].ljust(n * dtype.itemsize, b"\0")  # missing samples: zero
            values = np.frombuffer(raw, dtype=dtype).astype(np.int64)
        else:
            raise NotImplementedError("bits allocated %d" % self.bits)
        if self.number("PixelRepresentation", 0) == 1 and self.bits > 12:
            values = np.where(values >= 0x8000, values - 0x10000, values)
        return values.astype(np.int32).reshape(self.frames, self.rows, self.columns)


_NUMBER = r"\s*([+-]?(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?)"


def scan_floats(text, count):
    """Like sscanf with "%g" (count 1) or "%g\\%g" (count 2): the numbers read, as float32."""
    m = re.match(_NUMBER + r"(?:\\" + _NUMBER + ")?", text)
    return [float(np.float32(float(v))) for v in (m.groups() if m else ())[:count] if v is not None]


def expected_lines(ds):
    """The Patient, Date, Study and Pixsize lines from texts as stored (padded, cut at a NUL) in the first 9,000 bytes."""
    def t(tag, size=256):
        try:
            element = ds.get_item(tag)
        except Exception:
            return ""
        if element is None or getattr(element, "value_tell", None) is None or element.value_tell > TEXT_WINDOW + 4:
            return ""
        value = element.value or b""
        return value[:size].split(b"\0", 1)[0].decode("latin-1") if isinstance(value, bytes) else ""

    location, instance = t(0x00201041), t(0x00200013, 10)
    study = t(0x00081030) or t(0x00180015) or t(0x00180022)
    slices = [s for s in ((scan_floats(t(tag), 1) or [0])[0] for tag in (0x00180050, 0x00180088)) if s != 0]
    pixel = next((t(tag) for tag in (0x00280030, 0x00181164, 0x00181050, 0x00181403) if t(tag)), "")
    numbers = scan_floats(pixel, 2)
    # Both spacings show when the second is not 0 or slice sizes follow; the position needs both read.
    shown = numbers if len(numbers) == 2 and (slices or numbers[1] != 0) else numbers[:1]
    parts = ["%.4f" % n for n in shown] + ["%.2f" % s for s in slices if len(shown) == 2]
    position = "  Pos:" + location if location and len(numbers) == 2 else ""
    pixsize = "\\".join(parts) + " mm" + position if numbers else ""
    date = t(0x00080020, 11) or t(0x00080022, 11)
    time = t(0x00080030, 10) or t(0x00080032, 10)
    if time.find(".", 6, 10) >= 0:
        time = time[:time.find(".", 6, 10)]
    date_line = "%s %s Slice#:%s" % (date, time, instance) if instance else "%s %s" % (date, time)
    patient = "%s  %s %s" % (t(0x00100010), t(0x00100030, 11), t(0x00100020))
    return {"Patient": patient.lstrip(" "), "Date": date_line.lstrip(" "),
            "Study": ("%s %s" % (study, t(0x00181030))).lstrip(" "), "Pixsize": pixsize.lstrip(" ")}
