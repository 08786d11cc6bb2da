"""vireoscan-convert --info against pydicom, for every test file pydicom ships (or the .dcm
files under DIR): the accept/refuse decision, and for accepted files the Image, Patient, Date,
Study, Pixsize and Filesize lines. Refused files show a status and empty lines.

usage: test_info_vs_pydicom.py CONVERTER [DIR]
"""

import os
import sys

from corpus_common import Facts, expected_lines, finish, info, test_files

STATUSES = ("<unsupported filetype>", "<file read error>", "<no file access>")


def main(converter, directory=None):
    files = test_files(directory)
    status, blocks = info(converter, [path for _, path in files])
    if [block[0] for block in blocks] != [path for _, path in files]:
        return finish(["--info printed %d blocks for %d files, or in another order" % (len(blocks), len(files))], "")
    failures, loaded = [], []
    for (name, path), (_, lines) in zip(files, blocks):
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
    refused = any(lines.get("Patient") in STATUSES for _, lines in blocks)
    if status != (1 if refused else 0):
        failures.append("exit status %d with%s refused files" % (status, "" if refused else "out"))
    if info(converter, loaded[:8])[0] != 0:
        failures.append("exit status not 0 for files that all load")
    return finish(failures, "%d files checked" % len(files))


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
