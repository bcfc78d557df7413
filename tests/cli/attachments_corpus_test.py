#!/usr/bin/env python3
"""ondivo-cli estrai and allegati on every corpus invoice that carries attachments.

The expected attachments come from an independent reading (tests/common/allegati_oracle.py):
the XML parsed by ElementTree, elements matched by local name, the text decoded by Python's
base64 module after the XML white space is skipped, so Base64 broken into lines, as real
invoices write it, is saved whole.
Signed envelopes of the corpus are unwrapped with openssl, when it is there, and checked too.
"""
import pathlib
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "common"))
import allegati_oracle as oracle  # noqa: E402

CLI, CORPUS = sys.argv[1], pathlib.Path(sys.argv[2])


def check(path, work, failures):
    found = oracle.attachments(path)
    if not found:
        failures.append("%s: no attachment found by the independent reading" % path)
        return
    expected_files, listing, expected_error = {}, [], ""
    names = oracle.saved_names([n for n, _ in found])
    for (name, text), saved in zip(found, names):
        data = oracle.decoded(text)
        listing.append((oracle.visible(name), str(len(data)) if data is not None
                        else "- (%s)" % oracle.UNEVEN))
        if data is None and not expected_error:
            expected_error = oracle.UNEVEN
        if not expected_error:
            expected_files[saved] = data

    out = work / "out" / path.name
    run = subprocess.run([CLI, "estrai", str(path), str(out)], capture_output=True, check=False)
    label = str(path.relative_to(CORPUS)) if CORPUS in path.parents else path.name
    if run.stdout.decode().strip() != str(len(expected_files)):
        failures.append("%s: count %r, expected %d" % (label, run.stdout, len(expected_files)))
    if run.stderr.decode().strip() != expected_error:
        failures.append("%s: message %r, expected %r" % (label, run.stderr, expected_error))
    if run.returncode != (1 if expected_error else 0):
        failures.append("%s: exit status %d" % (label, run.returncode))
    written = sorted(p.name for p in out.iterdir())
    if written != sorted(expected_files):
        failures.append("%s: wrote %s, expected %s" % (label, written, sorted(expected_files)))
    for name, data in expected_files.items():
        target = out / name
        if target.is_file() and target.read_bytes() != data:
            failures.append("%s: %s differs from the independent decoding" % (label, name))

    run = subprocess.run([CLI, "allegati", str(path)], capture_output=True, check=False)
    lines = [tuple(line.split("\t", 1)) for line in run.stdout.decode().splitlines()]
    if run.returncode != 0 or lines != listing:
        failures.append("%s: allegati listed %r, expected %r" % (label, lines, listing))


def main():
    failures, checked = [], 0
    with tempfile.TemporaryDirectory() as tmp:
        work = pathlib.Path(tmp)
        candidates = [p for p in sorted((CORPUS / "invoices").rglob("*"))
                      if p.is_file() and b"Allegati" in p.read_bytes()]
        openssl = shutil.which("openssl")
        (work / "envelopes").mkdir()
        for envelope in sorted((CORPUS / "p7m" / "der").glob("*.p7m")) if openssl else []:
            xml = work / "envelopes" / envelope.name[:-4]
            run = subprocess.run([openssl, "cms", "-verify", "-noverify", "-inform", "DER",
                                  "-in", str(envelope), "-out", str(xml)],
                                 capture_output=True, check=False)
            if run.returncode == 0 and b"Allegati" in xml.read_bytes():
                candidates.append(xml)
        for path in candidates:
            check(path, work, failures)
            checked += 1
    for failure in failures:
        print("FAIL", failure)
    print("%d invoices with attachments checked" % checked)
    if checked < 4:
        print("FAIL too few invoices with attachments in the corpus")
        return 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
