"""vireoscan-convert --info against pydicom, over every test file pydicom ships.

For each file: the accept/refuse decision, and for accepted files the Image line (columns,
rows, bits allocated, frames, compression) and the Patient, Date, Study and Pixsize lines
must agree with what pydicom reads. Known, explained differences are listed below; any
other difference fails, and so does a listed one that has gone away.

With DIR, the .dcm files under DIR are checked instead of pydicom's.

usage: test_info_vs_pydicom.py CONVERTER [DIR]
"""

import os
import sys

from corpus_common import Facts, TextFacts, info, test_files

# (file, line) -> why the converter's line legitimately differs from pydicom's reading.
# "decision" stands for the accept/refuse decision.
EXPECTED_DIFFERENCES = {
    # None at present: pydicom's segmentation files with nested pixel spacing have 1 bit
    # allocated, which the reader refuses.
}


def main(converter, directory=None):
    if directory:
        files = sorted((os.path.relpath(os.path.join(d, f), directory), os.path.join(d, f))
                       for d, _, fs in os.walk(directory) for f in fs if f.endswith(".dcm"))
    else:
        files = test_files()
    paths = [path for _, path in files]
    status, blocks, proc = info(converter, paths)
    failures = []
    seen = set()

    if [b[0] for b in blocks] != paths:
        sys.exit("--info printed %d blocks for %d files, or in another order" % (len(blocks), len(paths)))

    accepted_any_refused = False
    for (name, path), (_, lines) in zip(files, blocks):
        facts = Facts(path)
        loaded = not lines.get("Patient", "").startswith("<")

        def check(line, ours, theirs):
            key = (name, line)
            if ours == theirs or (line == "decision" and ours[:7] == theirs[:7]):
                if key in EXPECTED_DIFFERENCES:
                    failures.append("%s %s: listed as a known difference but now agrees (%r)" % (name, line, ours))
                return
            if key in EXPECTED_DIFFERENCES:
                seen.add(key)
                return
            failures.append("%s %s: converter %r, pydicom %r" % (name, line, ours, theirs))

        check("decision", "accepted" if loaded else "refused (%s)" % lines.get("Patient"),
              "accepted" if facts.accepted else "refused (%s)" % facts.refuse_reason)
        if not loaded:
            accepted_any_refused = True
            if lines.get("Patient") not in ("<unsupported filetype>", "<file read error>", "<no file access>"):
                failures.append("%s: unexpected status text %r" % (name, lines.get("Patient")))
            for label in ("Date", "Study", "Image", "Pixsize"):
                if lines.get(label, "") != "":
                    failures.append("%s: %s line not empty for a refused file: %r" % (name, label, lines[label]))
            continue
        if not facts.accepted:
            continue

        check("Image", lines.get("Image"), facts.image_line())
        expected = TextFacts(path).lines()
        for label in ("Patient", "Date", "Study", "Pixsize"):
            check(label, lines.get(label), expected[label])
        size_line = "%d KB" % (os.path.getsize(path) >> 10)
        if lines.get("Filesize") != size_line:
            failures.append("%s: Filesize line %r, expected %r" % (name, lines.get("Filesize"), size_line))

    checked_names = {name for name, _ in files}
    for key in sorted(k for k in set(EXPECTED_DIFFERENCES) - seen if k[0] in checked_names):
        if not any(f.startswith("%s %s: listed" % key) for f in failures):
            failures.append("%s %s: listed as a known difference but the file was not checked for it" % key)

    expected_status = 1 if accepted_any_refused else 0
    if status != expected_status:
        failures.append("exit status %d, expected %d" % (status, expected_status))

    # Only loadable files: exit status 0.
    good = [path for path in paths if Facts(path).accepted][:8]
    status, _, _ = info(converter, good)
    if status != 0:
        failures.append("exit status %d for files that all load" % status)

    for f in failures:
        print("FAIL", f)
    print("%d files checked, %d failures" % (len(files), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
