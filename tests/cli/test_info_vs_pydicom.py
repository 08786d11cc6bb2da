"""vireoscan-convert --info against pydicom, over every test file pydicom ships.

For each file: the accept/refuse decision, and for accepted files the Image line (columns,
rows, bits allocated, frames, compression) and the Patient, Date, Study, Pixsize and Filesize
lines must agree with what pydicom reads. Refused files show a status and empty lines.

With DIR, the .dcm files under DIR are checked instead of pydicom's.

usage: test_info_vs_pydicom.py CONVERTER [DIR]
"""

import os
import sys

from corpus_common import Facts, TextFacts, info, test_files


def main(converter, directory=None):
    files = test_files(directory)
    paths = [path for _, path in files]
    status, blocks, _ = info(converter, paths)
    if [b[0] for b in blocks] != paths:
        sys.exit("--info printed %d blocks for %d files, or in another order" % (len(blocks), len(paths)))
    failures = []
    any_refused = False
    for (name, path), (_, lines) in zip(files, blocks):
        facts = Facts(path)
        loaded = not lines.get("Patient", "").startswith("<")
        if loaded != facts.accepted:
            failures.append("%s: converter %s, pydicom %s" % (
                name, "accepted" if loaded else "refused (%s)" % lines.get("Patient"),
                "accepted" if facts.accepted else "refused (%s)" % facts.refuse_reason))
        if not loaded:
            any_refused = True
            if lines.get("Patient") not in ("<unsupported filetype>", "<file read error>", "<no file access>"):
                failures.append("%s: unexpected status text %r" % (name, lines.get("Patient")))
            if any(lines.get(label, "") for label in ("Date", "Study", "Image", "Pixsize")):
                failures.append("%s: a line is not empty for a refused file: %r" % (name, lines))
            continue
        if not facts.accepted:
            continue
        expected = TextFacts(path).lines()
        expected["Image"] = facts.image_line()
        expected["Filesize"] = "%d KB" % (os.path.getsize(path) >> 10)
        for label, text in expected.items():
            if lines.get(label) != text:
                failures.append("%s %s: converter %r, pydicom %r" % (name, label, lines.get(label), text))

    if status != (1 if any_refused else 0):
        failures.append("exit status %d with%s refused files" % (status, "" if any_refused else "out"))
    good = [path for path in paths if Facts(path).accepted][:8]
    if info(converter, good)[0] != 0:
        failures.append("exit status not 0 for files that all load")

    for f in failures:
        print("FAIL", f)
    print("%d files checked, %d failures" % (len(files), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
