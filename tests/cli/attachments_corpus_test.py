#!/usr/bin/env python3
"""ondivo-cli estrai and allegati on every corpus invoice that carries attachments.

The expected attachments come from an independent reading: the XML parsed by ElementTree
(elements matched by local name) and the element text decoded by Python's base64 module.
The viewer reads the same text with every line break as CR LF and no character skipped, so a
Base64 text broken into lines must fail with the decoder's message when its length is not a
multiple of four, and otherwise gives other bytes than the standard decoding.
Signed envelopes of the corpus are unwrapped with openssl, when it is there, and checked too.
"""
import base64
import pathlib
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

CLI, CORPUS = sys.argv[1], pathlib.Path(sys.argv[2])
UNEVEN = "Uneven size in DecodeToStream."
BLANKS = "".join(chr(c) for c in range(33))


def local(tag):
    return tag.rsplit("}", 1)[-1]


def attachments(path):
    """(name, text as the viewer scans it) for each Allegati element, in document order."""
    found = []
    for element in ET.parse(path).getroot().iter():
        if local(element.tag) != "Allegati":
            continue
        fields = {local(child.tag): (child.text or "") for child in element}
        name = fields.get("NomeAttachment", "").strip(BLANKS)
        data = fields.get("Attachment", "").strip(BLANKS).replace("\n", "\r\n")
        if name and data:
            found.append((name, data))
    return found


def check(path, work, failures):
    expected_files, expected_count, expected_error, listing = {}, 0, "", []
    wrong_bytes = set()
    for name, text in attachments(path):
        if any(c in text for c in " \t\r\n"):
            if len(text) % 4:
                listing.append((name, "- (%s)" % UNEVEN))
                if not expected_error:
                    expected_error = UNEVEN
                continue
            listing.append((name, None))
            if not expected_error:
                wrong_bytes.add(name)
                expected_files[name] = base64.b64decode("".join(text.split()))
                expected_count += 1
            continue
        data = base64.b64decode(text, validate=True)
        listing.append((name, str(len(data))))
        if not expected_error:
            expected_files[name] = data
            expected_count += 1
    if not listing:
        failures.append("%s: no attachment found by the independent reading" % path)
        return

    out = work / "out" / path.name
    run = subprocess.run([CLI, "estrai", str(path), str(out)], capture_output=True, check=False)
    label = str(path.relative_to(CORPUS)) if CORPUS in path.parents else path.name
    if run.stdout.decode().strip() != str(expected_count):
        failures.append("%s: count %r, expected %d" % (label, run.stdout, expected_count))
    if run.stderr.decode().strip() != expected_error:
        failures.append("%s: message %r, expected %r" % (label, run.stderr, expected_error))
    if run.returncode != (1 if expected_error else 0):
        failures.append("%s: exit status %d" % (label, run.returncode))
    written = sorted(p.name for p in out.iterdir())
    if written != sorted(expected_files):
        failures.append("%s: wrote %s, expected %s" % (label, written, sorted(expected_files)))
    for name, data in expected_files.items():
        target = out / name
        if not target.is_file():
            continue
        got = target.read_bytes()
        if name in wrong_bytes:
            if got == data:
                failures.append("%s: %s decoded as if line breaks were skipped" % (label, name))
        elif got != data:
            failures.append("%s: %s differs from the independent decoding" % (label, name))

    run = subprocess.run([CLI, "allegati", str(path)], capture_output=True, check=False)
    lines = [line.split("\t", 1) for line in run.stdout.decode().splitlines()]
    if run.returncode != 0 or [n for n, _ in lines] != [n for n, _ in listing]:
        failures.append("%s: allegati listed %r" % (label, run.stdout))
    for (_, got), (name, size) in zip(lines, listing):
        if size is not None and got != size:
            failures.append("%s: allegati gave %s for %s, expected %s" % (label, got, name, size))


def main():
    failures, checked = [], 0
    with tempfile.TemporaryDirectory() as tmp:
        work = pathlib.Path(tmp)
        candidates = [p for p in sorted((CORPUS / "invoices").rglob("*"))
                      if p.is_file() and b"<Allegati>" in p.read_bytes()]
        openssl = shutil.which("openssl")
        (work / "envelopes").mkdir()
        for envelope in sorted((CORPUS / "p7m" / "der").glob("*.p7m")) if openssl else []:
            xml = work / "envelopes" / envelope.name[:-4]
            run = subprocess.run([openssl, "cms", "-verify", "-noverify", "-inform", "DER",
                                  "-in", str(envelope), "-out", str(xml)],
                                 capture_output=True, check=False)
            if run.returncode == 0 and b"<Allegati>" in xml.read_bytes():
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
