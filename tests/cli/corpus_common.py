"""Shared helpers of the real-file checks: the pydicom test files, running the converter,
and what pydicom says about each file, put the way the converter's lines put it."""

import os
import re
import subprocess
import sys
import warnings

import numpy as np
import pydicom
import pydicom.data
from pydicom.encaps import generate_pixel_data_fragment, get_frame_offsets
from pydicom.filebase import DicomBytesIO

warnings.filterwarnings("ignore")

TEST_FILES_DIR = os.path.join(os.path.dirname(pydicom.data.__file__), "test_files")

# The reader looks for its header elements in the first 240,000 bytes and for the
# descriptive elements in the first 9,000.
HEADER_WINDOW = 240000
TEXT_WINDOW = 9000

IMPLICIT_LITTLE = "1.2.840.10008.1.2"
EXPLICIT_BIG = "1.2.840.10008.1.2.2"
DEFLATED = "1.2.840.10008.1.2.1.99"


def test_files(directory=None):
    """(name, path) of the .dcm files under directory, or of every file pydicom ships as test data."""
    if directory:
        return sorted((os.path.relpath(os.path.join(d, f), directory), os.path.join(d, f))
                      for d, _, fs in os.walk(directory) for f in fs if f.endswith(".dcm"))
    files = sorted((os.path.relpath(p, TEST_FILES_DIR), p) for p in pydicom.data.get_testdata_files() if os.path.isfile(p))
    if len(files) < 50:
        sys.exit("too few pydicom test files found in %s" % TEST_FILES_DIR)
    return files


def run(args, **kw):
    """Runs a command; a death by signal is always a failure of the test."""
    proc = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, stdin=subprocess.DEVNULL,
                          timeout=kw.pop("timeout", 120), **kw)
    if proc.returncode < 0:
        raise AssertionError("%s died by signal %d" % (args[:3], -proc.returncode))
    return proc


def parse_info(text):
    """The --info output as a list of (path, {label: text}) in the order printed."""
    blocks = []
    for line in text.split("\n"):
        if line == "":
            continue
        if not line.startswith("  "):
            blocks.append((line, {}))
            continue
        label, _, value = line[2:].partition(": ")
        blocks[-1][1][label.rstrip(":")] = value
    return blocks


def info(converter, paths):
    proc = run([converter, "--info"] + list(paths))
    return proc.returncode, parse_info(proc.stdout.decode("latin-1")), proc


class Facts:
    """What pydicom reads from one file, and the decision the reader should come to."""

    def __init__(self, path):
        self.size = os.path.getsize(path)
        self.ds = None
        self.refuse_reason = None
        self.compression = None  # "", "Jpeg", "Rle"
        try:
            self.ds = pydicom.dcmread(path, force=True)
        except Exception:  # not DICOM at all, as far as pydicom goes
            pass
        self.syntax = self._syntax()
        self._decide()

    def _syntax(self):
        uid = self.ds.file_meta.get("TransferSyntaxUID") if getattr(self.ds, "file_meta", None) else None
        return str(uid) if uid else None

    def number(self, keyword, default=None):
        try:
            value = self.ds.get(keyword)
        except Exception:
            return default
        return default if value is None or value == "" else int(value)

    @property
    def big_endian(self):
        return self.syntax == EXPLICIT_BIG

    def _decide(self):
        ds = self.ds
        if self.size < 300:
            self.refuse_reason = "shorter than 300 bytes"
            return
        if ds is None or "PixelData" not in ds:
            self.refuse_reason = "no pixel data"
            return
        if self.syntax == DEFLATED:
            # The whole data set is deflated: no element can be found by its byte pattern.
            self.refuse_reason = "deflated data set"
            return
        pixel = self.ds.get_item(0x7FE00010)
        if pixel.value_tell is None or pixel.value_tell > HEADER_WINDOW:
            self.refuse_reason = "pixel data beyond the header window"
            return
        self.rows = self.number("Rows")
        self.columns = self.number("Columns")
        self.bits = self.number("BitsAllocated")
        if None in (self.rows, self.columns, self.bits):
            self.refuse_reason = "rows, columns or bits allocated missing"
            return
        if self.number("SamplesPerPixel", 1) != 1:
            self.refuse_reason = "colour (samples per pixel > 1)"
            return
        photometric = str(ds.get("PhotometricInterpretation", "MONOCHROME2")).strip()
        if photometric not in ("MONOCHROME1", "MONOCHROME2"):
            self.refuse_reason = "photometric interpretation " + photometric
            return
        self.monochrome1 = photometric == "MONOCHROME1"
        if self.bits >= 24 or self.bits < 4:
            self.refuse_reason = "bits allocated %d" % self.bits
            return
        self.frames = self.number("NumberOfFrames", 1) or 1
        syntax = self.syntax or IMPLICIT_LITTLE
        if syntax.startswith("1.2.840.10008.1.2.4."):
            process = int(re.match(r"\d*", syntax[20:22]).group() or 0)
            if process >= 65:
                self.refuse_reason = "transfer syntax %s (lossless JPEG, JPEG-LS or JPEG 2000)" % syntax
                return
            if self.bits == 16:
                self.refuse_reason = "16-bit JPEG"
                return
            self.compression = "Jpeg"
            self.frames = self._count_fragments(jpeg=True)
        elif syntax.startswith("1.2.840.10008.1.2.5"):
            self.compression = "Rle"
            self.frames = self._count_fragments(jpeg=False)
        else:
            self.compression = ""
            expected = (self.bits * self.columns * self.rows * self.frames & 0xFFFFFFFF) >> 3
            length = pixel.length
            # DICOM pads odd values to an even length; a 1,024-byte surplus is tolerated too.
            allowed = {expected, expected + 1024} | ({expected + 1} if expected % 2 else set())
            if length not in allowed:
                self.refuse_reason = "pixel data length %d against %d expected" % (length, expected)
                return
        if self.compression and self.big_endian:
            self.refuse_reason = "compressed big-endian data set"
            return
        if self.frames == 0:
            self.refuse_reason = "no frame found"
            return

    def _count_fragments(self, jpeg):
        fp = DicomBytesIO(self.ds.PixelData)
        fp.is_little_endian = True
        get_frame_offsets(fp)  # past the basic offset table
        return sum(1 for f in generate_pixel_data_fragment(fp) if not jpeg or f[:2] == b"\xff\xd8")

    @property
    def accepted(self):
        return self.refuse_reason is None

    def image_line(self):
        frames = " %d Frames" % self.frames if self.frames > 1 else "1 Frame"
        suffix = ", " + self.compression if self.compression else ""
        return "%d x %d Pixels,  %d Bit, %s%s" % (self.columns, self.rows, self.bits, frames, suffix)

    def stored_frames(self):
        """Stored samples as an int array (frames, rows, columns), signed where pixel
        representation says so and the depth is above 12 bits."""
        ds = self.ds
        signed = self.number("PixelRepresentation", 0) == 1 and self.bits > 12
        n = self.rows * self.columns
        if self.compression == "":
            raw = ds.PixelData
            if self.bits == 16:
                dtype = (">" if self.big_endian else "<") + ("i2" if signed else "u2")
            elif self.bits == 8:
                dtype = "u1"
            elif self.bits == 12:
                # Two samples in three bytes: sample 0 in the low 12 bits of bytes 0-1,
                # sample 1 in the high 12 bits of bytes 1-2.
                i = np.arange(n * self.frames)
                b = np.frombuffer(bytes(raw[:(i.size * 3 + 1) // 2]) + b"\0\0", dtype=np.uint8).astype(np.int32)
                word = b[i * 12 // 8] | b[i * 12 // 8 + 1] << 8
                return np.where(i % 2 == 1, word >> 4, word & 0xFFF).reshape(self.frames, self.rows, self.columns)
            else:
                raise NotImplementedError("bits allocated %d" % self.bits)
            need = n * self.frames * np.dtype(dtype).itemsize
            raw = raw[:need] + b"\0" * max(0, need - len(raw))  # missing samples read as zero
            values = np.frombuffer(raw, dtype=dtype).astype(np.int32)
        else:
            values = ds.pixel_array.astype(np.int64)
            if self.bits == 16:
                values = values & 0xFFFF
                if signed:
                    values = np.where(values >= 0x8000, values - 0x10000, values)
            values = values.astype(np.int32)
        return values.reshape(self.frames, self.rows, self.columns)


def window(frame, lo, hi, invert):
    span = (hi - lo) & 0xFFFFFFFF or 1
    frame = frame.astype(np.int64)
    # (255 * v - 255 * lo) in 32-bit arithmetic, then an unsigned division.
    mid = ((255 * frame - 255 * lo) & 0xFFFFFFFF) // span
    out = np.where(frame < lo, 0, np.where(frame > hi, 255, mid)).astype(np.uint8)
    return out ^ 0xFF if invert else out


# The five information lines, from pydicom's reading ----------------------------------------

_FLOAT = re.compile(r"\s*[+-]?(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?")


def scan_floats(text, count):
    """Like sscanf with "%g" (count 1) or "%g\\%g" (count 2): the numbers read, as float32."""
    values = []
    pos = 0
    for i in range(count):
        if i > 0:
            if not text.startswith("\\", pos):
                break
            pos += 1
        m = _FLOAT.match(text, pos)
        if not m:
            break
        values.append(np.float32(float(m.group())))
        pos = m.end()
    return values


class TextFacts:
    """The element texts the information lines are made of, taken from pydicom's raw reading
    of the file (value bytes as stored, padding included) where the element starts in the
    first 9,000 bytes."""

    def __init__(self, path):
        self.ds = pydicom.dcmread(path, force=True)

    def text(self, tag, size=256):
        try:
            element = self.ds.get_item(tag)
        except Exception:
            return ""
        if element is None or getattr(element, "value_tell", None) is None:
            return ""
        if element.value_tell - 8 > TEXT_WINDOW - 4:
            return ""
        value = element.value or b""
        if not isinstance(value, bytes):
            return ""
        value = value[:min(size, 256)]
        return value.split(b"\0", 1)[0].decode("latin-1")

    def lines(self):
        t = self.text
        location = t(0x00201041)
        instance = t(0x00200013, 10)
        patient = "%s  %s %s" % (t(0x00100010), t(0x00100030, 11), t(0x00100020))
        study = t(0x00081030) or t(0x00180015) or t(0x00180022)
        study = "%s %s" % (study, t(0x00181030))
        thickness = (scan_floats(t(0x00180050), 1) or [np.float32(0)])[0]
        spacing = (scan_floats(t(0x00180088), 1) or [np.float32(0)])[0]
        pixel = ""
        for tag in (0x00280030, 0x00181164, 0x00181050, 0x00181403):
            pixel = t(tag)
            if pixel:
                break
        pixsize = ""
        numbers = scan_floats(pixel, 2) if pixel else []
        position = "  Pos:%s" % location if location else ""
        if len(numbers) == 2:
            p1, p2 = (float(x) for x in numbers)
            slices = [float(x) for x in (thickness, spacing) if x != 0]
            if slices:
                pixsize = "%.4f\\%.4f\\" % (p1, p2) + "\\".join("%.2f" % s for s in slices) + " mm" + position
            elif p2 != 0:
                pixsize = "%.4f\\%.4f mm%s" % (p1, p2, position)
            else:
                pixsize = "%.4f mm%s" % (p1, position)
        elif len(numbers) == 1:
            pixsize = "%.4f mm" % float(numbers[0])
        date = t(0x00080020, 11) or t(0x00080022, 11)
        time = t(0x00080030, 10) or t(0x00080032, 10)
        cut = [i for i in range(6, min(10, len(time))) if time[i] == "."]
        if cut:
            time = time[:cut[0]]
        if instance:
            date_line = "%s %s Slice#:%s" % (date, time, instance)
        else:
            date_line = "%s %s" % (date, time)
        return {
            "Patient": patient.lstrip(" "),
            "Date": date_line.lstrip(" "),
            "Study": study.lstrip(" "),
            "Pixsize": pixsize.lstrip(" "),
        }
