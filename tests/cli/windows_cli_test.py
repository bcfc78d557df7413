#!/usr/bin/env python3
"""ondivo-cli built for Windows, run under Wine: Windows paths (drive letters, backslashes,
forward slashes, relative ones), names with accents, CR LF files, .p7m envelopes opened with
the openssl.exe of the program folder, folders and ZIP archives listed.

Arguments: the launcher of ondivo-cli.exe, the host's openssl tool (to sign envelopes) and the
repository's samples folder. Wine shows the host's root as drive Z:.
"""
import base64
import json
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "common"))
from checks import check, finish  # noqa: E402

CLI = str(pathlib.Path(sys.argv[1]).resolve())
OPENSSL = sys.argv[2]
SAMPLES = pathlib.Path(sys.argv[3])
SAMPLE = SAMPLES / "IT04382710285_FPR12_esempio.xml"
ALLEGATI = SAMPLES / "IT03618420271_FPR12_allegati_esempio.xml"


def win(path):
    """The host path as a Windows program names it: Z:\\..."""
    return "Z:" + str(pathlib.Path(path).resolve()).replace("/", "\\")


def cli(*args, cwd=None):
    return subprocess.run([CLI, *map(str, args)], capture_output=True, cwd=cwd, timeout=300)


def info(path, cwd=None):
    res = cli("info", path, "--json", cwd=cwd)
    try:
        return res.returncode, json.loads(res.stdout)
    except ValueError:
        return res.returncode, {"stdout": res.stdout[:200], "stderr": res.stderr[:300]}


def attachments_of(xml):
    """(name, bytes) of each attachment, decoded here from the XML."""
    text = xml.read_text(encoding="utf-8")
    out = []
    for block in re.findall(r"<Allegati>(.*?)</Allegati>", text, re.S):
        name = re.search(r"<NomeAttachment>(.*?)</NomeAttachment>", block, re.S).group(1)
        data = re.search(r"<Attachment>(.*?)</Attachment>", block, re.S).group(1)
        out.append((name, base64.b64decode("".join(data.split()))))
    return out


with tempfile.TemporaryDirectory() as tmp:
    work = pathlib.Path(tmp)
    folder = work / "Società è" / "Fatture 2024"
    folder.mkdir(parents=True)
    accented = folder / "Fattura n° 1 €.xml"
    shutil.copyfile(SAMPLE, accented)
    crlf = folder / "Fattura CRLF.xml"
    crlf.write_bytes(SAMPLE.read_bytes().replace(b"\r\n", b"\n").replace(b"\n", b"\r\n"))
    rc, plain = info(SAMPLE)
    check(rc == 0 and plain.get("formato") == "FPR12", "info on the sample", repr(plain))

    # The same invoice named in every form a Windows user may type.
    forms = {
        "drive and backslashes": (win(accented), None),
        "forward slashes": (win(accented).replace("\\", "/"), None),
        "relative with backslashes": ("Società è\\Fatture 2024\\Fattura n° 1 €.xml", work),
        "relative with dot-dot": ("..\\Fatture 2024\\Fattura n° 1 €.xml", folder),
        "CR LF file": (win(crlf), None),
    }
    for label, (path, cwd) in forms.items():
        rc, got = info(path, cwd)
        check(rc == 0 and got == plain, "info " + label, repr(got))

    # The page of a CR LF file is the page of the same file with LF.
    out_lf, out_crlf = folder / "pagina è.html", folder / "pagina crlf.html"
    res_lf = cli("html", win(accented), "-o", win(out_lf))
    res_crlf = cli("html", win(crlf), "-o", win(out_crlf))
    check(res_lf.returncode == 0 and res_crlf.returncode == 0 and out_lf.exists()
          and b"<html" in out_lf.read_bytes().lower()
          and out_lf.read_bytes() == out_crlf.read_bytes(), "html with CR LF and accents",
          repr((res_lf.stderr[:300], res_crlf.stderr[:300])))

    # Attachments saved into a folder with accents, byte for byte.
    target = work / "Allegati di Società"
    res = cli("estrai", win(ALLEGATI), win(target))
    expected = attachments_of(ALLEGATI)
    check(res.returncode == 0 and len(expected) == 2, "estrai", repr(res.stderr[:300]))
    for name, data in expected:
        saved = target / name
        check(saved.exists() and saved.read_bytes() == data, "attachment " + name,
              repr(sorted(p.name for p in target.iterdir()) if target.exists() else None))

    # A signed envelope under an accented name: unwrapped by ossl\openssl.exe beside the XML.
    key, cert = work / "firmatario.key", work / "firmatario.pem"
    subprocess.run([OPENSSL, "req", "-x509", "-newkey", "ec", "-pkeyopt",
                    "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", key, "-out", cert,
                    "-days", "30", "-subj", "/C=IT/CN=ROSSI MARIO"], check=True,
                   capture_output=True)
    envelope = folder / "Fattura firmata è.xml.p7m"
    subprocess.run([OPENSSL, "cms", "-sign", "-nodetach", "-binary", "-outform", "DER", "-in",
                    SAMPLE, "-signer", cert, "-inkey", key, "-out", envelope], check=True,
                   capture_output=True)
    res = cli("p7m", win(envelope))
    unwrapped = folder / "Fattura firmata è.xml"
    check(res.returncode == 0 and res.stdout.decode("utf-8").strip() == win(unwrapped)
          and unwrapped.exists() and unwrapped.read_bytes() == SAMPLE.read_bytes(), "p7m",
          repr((res.returncode, res.stdout[:300], res.stderr[:300])))
    rc, got = info(win(envelope))
    check(rc == 0 and got.get("formato") == "FPR12" and got.get("firma") not in (None, "assente"),
          "info on the envelope", repr(got))

    # A Base64 envelope (text, CR LF lines) opens the same way.
    text_envelope = folder / "Base64 è.xml.p7m"
    encoded = base64.encodebytes(envelope.read_bytes()).replace(b"\n", b"\r\n")
    text_envelope.write_bytes(encoded)
    rc, got = info(win(text_envelope))
    check(rc == 0 and got.get("formato") == "FPR12", "info on a Base64 envelope", repr(got))

    # A folder and a ZIP archive with a sub-folder, listed.
    archive = work / "Archivio è.zip"
    with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as z:
        z.write(SAMPLE, "gennaio/IT04382710285_FPR12_esempio.xml")
        z.write(envelope, "febbraio/firmata.xml.p7m")
        z.writestr("leggimi.txt", "non è una fattura")
    for label, path in (("folder", folder), ("zip", archive)):
        res = cli("elenco", win(path), "--json")
        try:
            rows = json.loads(res.stdout)
        except ValueError:
            rows = []
        read = [r for r in rows if r.get("errore") is None]
        check(len(read) >= 1 and all(r.get("numero") for r in read), "elenco " + label,
              repr((res.returncode, res.stdout[:400], res.stderr[:300])))
        if label == "folder":
            check(all(r["file"].startswith(win(folder)) for r in rows), "elenco names the files"
                  " by their Windows paths", repr([r["file"] for r in rows]))
        else:
            check(res.returncode == 1 and any(r.get("errore") for r in rows),
                  "elenco names the entry that is not an invoice", repr(rows))
            # The invoice and its envelope are one document, listed by the envelope.
            check(len(read) == 1 and read[0]["file"].endswith(" › febbraio/firmata.xml.p7m")
                  and [p[-len("gennaio/IT04382710285_FPR12_esempio.xml"):]
                       for p in read[0].get("altri_file", [])]
                  == ["gennaio/IT04382710285_FPR12_esempio.xml"],
                  "elenco zip: one document in two entries", repr(read))

    # A missing file under an accented name is an error, not a crash.
    res = cli("info", win(folder / "assente è.xml"))
    check(res.returncode == 1 and res.stderr.strip(), "missing file", repr(res.stderr[:300]))

finish()
