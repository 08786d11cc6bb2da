"""usage: test_jobs_agree.py CONVERTER SAMPLES_DIR FIXTURES_DIR

Four jobs convert the whole test corpus as one job does: pydicom's test files (every file,
read by default and with --all-decoders), the bundled samples and the every-compression
fixtures, in every format, all the files of a corpus in one run into one folder (so that
same names meet the overwrite rule): the same outputs byte for byte, the same messages and
report, the same exit status."""

import os
import shutil
import sys
import tempfile

from corpus_common import finish, run, test_files

FORMATS = ("tiff8", "tiff16", "bmp", "raw", "png8", "png16")


def outcome(converter, jobs, options, paths):
    """Exit status, what was printed (the output folder named OUT) and every output's bytes."""
    out = tempfile.mkdtemp(prefix="vs-jobs-")
    try:
        proc = run([converter, "-y", "-p", "stretch", "-j", jobs, "-o", out] + options + paths)
        outputs = {}
        for name in os.listdir(out):
            with open(os.path.join(out, name), "rb") as f:
                outputs[name] = f.read()
        printed = (proc.stdout + proc.stderr).replace(out.encode(), b"OUT")
        return proc.returncode, printed, outputs
    finally:
        shutil.rmtree(out)


def main(converter, samples, fixtures):
    pydicom_files = [path for _, path in test_files()]
    corpora = [("pydicom", pydicom_files, []), ("pydicom, every compression", pydicom_files, ["--all-decoders"]),
               ("samples", [path for _, path in test_files(samples)], []),
               ("fixtures", [path for _, path in test_files(fixtures)], ["--all-decoders"])]
    failures = []
    compared = 0
    for corpus, paths, options in corpora:
        for form in FORMATS:
            one = outcome(converter, "1", ["-f", form] + options, paths)
            four = outcome(converter, "4", ["-f", form] + options, paths)
            compared += len(one[2])
            if not one[2]:
                failures.append("%s, %s: nothing written" % (corpus, form))
            for what, a, b in (("exit status", one[0], four[0]), ("messages", one[1], four[1]),
                               ("output names", sorted(one[2]), sorted(four[2]))):
                if a != b:
                    failures.append("%s, %s: the %s differ with -j 4" % (corpus, form, what))
            failures += ["%s, %s: %s differs with -j 4" % (corpus, form, name)
                         for name in one[2] if name in four[2] and one[2][name] != four[2][name]]
    return finish(failures, "%d outputs of -j 1 compared with -j 4" % compared)


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
