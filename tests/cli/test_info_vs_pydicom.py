"""vireoscan-convert --info and --info --json against pydicom, for every test file pydicom
ships (or the .dcm files under DIR): the accept/refuse decision, the lines, the values.

usage: test_info_vs_pydicom.py CONVERTER [DIR]
"""

import json
import os
import sys

from corpus_common import Facts, expected_lines, finish, info, run, test_files

STATUSES = ("<unsupported filetype>", "<file read error>", "<no file access>")
COMPRESSION = {"": "none", "Jpeg": "jpeg", "Rle": "rle"}


def first_number(value):
    return float(value[0] if type(value).__name__ == "MultiValue" else value)


def json_failures(name, facts, o):
    """What --info --json says of an accepted file against pydicom's values."""
    expected = (facts.rows, facts.columns, facts.bits, facts.frames, COMPRESSION[facts.compression])
    got = tuple(o.get(k) for k in ("rows", "columns", "bits", "frames", "compression"))
    failures = [] if got == expected else ["%s: --json %r, pydicom %r" % (name, got, expected)]
    for key, keywords in (("rescale", ("RescaleSlope", "RescaleIntercept")), ("window", ("WindowCenter", "WindowWidth"))):
        try:
            values = [first_number(facts.ds.get(k)) for k in keywords]
        except Exception:
            continue
        if key in o and any(abs(a - b) > 1e-6 * max(1, abs(b)) for a, b in zip(o[key].values(), values)):
            failures.append("%s %s: --json %r, pydicom %r" % (name, key, o[key], values))
    return failures


def main(converter, directory=None):
    files = test_files(directory)
    paths = [path for _, path in files]
    status, blocks = info(converter, paths)
    objects = [json.loads(line) for line in run([converter, "--info", "--json"] + paths).stdout.decode().splitlines()]
    if [block[0] for block in blocks] != paths or [o["path"] for o in objects] != paths:
        return finish(["%d blocks, %d JSON objects for %d files, or in another order" % (len(blocks), len(objects), len(files))], "")
    failures, loaded = [], []
    for (name, path), (_, lines), o in zip(files, blocks, objects):
        facts = Facts(path)
        if (lines.get("Patient") not in STATUSES) != facts.accepted:
            failures.append("%s: converter %r, pydicom %s" % (name, lines.get("Patient"), facts.refuse_reason or "accepts"))
        if lines.get("Patient") in STATUSES:
            if any(lines.get(label) for label in ("Date", "Study", "Image", "Pixsize")):
                failures.append("%s: a line is not empty for a refused file: %r" % (name, lines))
        elif facts.accepted:
            loaded.append(path)
            expected = dict(expected_lines(facts.ds), Image=facts.image_line(),
                            Filesize="%d KB" % (os.path.getsize(path) >> 10))
            failures += ["%s %s: converter %r, pydicom %r" % (name, label, lines.get(label), text)
                         for label, text in expected.items() if lines.get(label) != text]
            failures += json_failures(name, facts, o)
    refused = any(lines.get("Patient") in STATUSES for _, lines in blocks)
    if status != (1 if refused else 0):
        failures.append("exit status %d with%s refused files" % (status, "" if refused else "out"))
    if info(converter, loaded[:8])[0] != 0:
        failures.append("exit status not 0 for files that all load")
    return finish(failures, "%d files checked" % len(files))


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
