#!/usr/bin/env python3
"""ondivo-cli pdf: every invoice a whole PDF, the failures named, nothing partial left.

Arguments: the ondivo-cli program, the repository's samples folder, and the corpus folder
(optional). Each PDF is read back with poppler's tools: A4 pages, embedded fonts, the
document information from the header, the invoice's text, and the embedded files, whose bytes
must equal the invoice file, its envelope and the attachments `ondivo-cli estrai` saves.
Failures: a missing file, a file that is no invoice, a folder that cannot be made, a
read-only folder and a full disk (both on a small file system mounted in a private
namespace, when the system allows one).
"""
import hashlib
import json
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "common"))
from checks import check, finish  # noqa: E402

CLI = str(pathlib.Path(sys.argv[1]).resolve())
SAMPLES = pathlib.Path(sys.argv[2])
CORPUS = pathlib.Path(sys.argv[3]) if len(sys.argv) > 3 else None


def run(*args, cwd=None, prefix=()):
    return subprocess.run([*prefix, CLI, *map(str, args)], capture_output=True, check=False,
                          cwd=cwd, timeout=600)


def tool(*args):
    return subprocess.run(list(map(str, args)), capture_output=True, check=True).stdout


def pdfinfo(pdf):
    out = {}
    for line in tool("pdfinfo", "-enc", "UTF-8", pdf).decode().splitlines():
        key, _, value = line.partition(":")
        out[key.strip()] = value.strip()
    return out


def first(value):
    return value.replace("\r\n", "\n").split("\n")[0].strip()


def digest(data):
    return hashlib.sha256(data).hexdigest()


def embedded(pdf, work):
    """The embedded files as {name: bytes}."""
    out = work / ("detach-" + pdf.stem)
    out.mkdir()
    tool("pdfdetach", "-saveall", "-o", out, pdf)
    return {p.name: p.read_bytes() for p in out.iterdir()}


def attachments(invoice, work):
    """The bytes of the attachments ondivo-cli estrai saves (its own names may differ)."""
    out = work / ("estrai-" + invoice.name)
    res = run("estrai", invoice, out)
    return sorted(digest(p.read_bytes()) for p in out.iterdir()) if res.returncode == 0 else []


def check_pdf(invoice, pdf, work, label, envelope=None):
    info = json.loads(run("info", invoice, "--json").stdout.decode())
    meta = pdfinfo(pdf)
    check(meta.get("Page size", "").startswith("594.96 x 841.92"), label, "A4: %r" % meta)
    check(int(meta.get("Pages", "0")) >= 1, label, "pages")
    check(meta.get("Author", "") == first(info["fornitore"]), label, "author %r" % meta)
    check(meta.get("Subject", "") == first(info["tipo_documento"]), label, "subject %r" % meta)
    number = first(info["numero"])
    check((" n. " + number) in meta.get("Title", "") or not number, label, "title %r" % meta)
    fonts = tool("pdffonts", pdf).decode().splitlines()[2:]
    check(fonts and all(" yes " in f for f in fonts), label, "fonts not embedded %r" % fonts)
    text = " ".join(tool("pdftotext", "-enc", "UTF-8", pdf, "-").decode().split())
    check(not number or " ".join(number.split()) in text, label, "number not in the text")
    # "pagina n di m" closes every page, in a font the file embeds (checked above).
    pages = int(meta.get("Pages", "0"))
    for page in range(1, pages + 1):
        foot = tool("pdftotext", "-enc", "UTF-8", "-f", str(page), "-l", str(page), pdf, "-")
        check(foot.decode().split()[-4:] == ["pagina", str(page), "di", str(pages)], label,
              "page %d of %d does not end with its number" % (page, pages))

    files = embedded(pdf, work)
    xml = invoice if envelope is None else invoice  # the XML the open read
    check(files.get(xml.name) == xml.read_bytes(), label, "invoice XML %r" % sorted(files))
    if envelope is not None:
        check(files.get(envelope.name) == envelope.read_bytes(), label, "envelope")
    own = {xml.name} | ({envelope.name} if envelope is not None else set())
    inside = sorted(digest(v) for k, v in files.items() if k not in own)
    check(sorted(set(inside)) == sorted(set(attachments(invoice, work))), label, "attachments")


with tempfile.TemporaryDirectory() as tmp:
    work = pathlib.Path(tmp)
    os.environ["XDG_CACHE_HOME"] = str(work / "cache")

    # --- Many invoices in one call: the samples, the corpus, envelopes copied in first. ---
    invoices = sorted(SAMPLES.glob("*.xml"))
    envelopes = []
    if CORPUS and (CORPUS / "invoices").is_dir():
        invoices += sorted(p for p in (CORPUS / "invoices").rglob("*.xml")
                           if "hostile" not in p.parts)
        folder = work / "buste"
        folder.mkdir()
        for p in sorted([*(CORPUS / "p7m" / "der").glob("*.p7m"),
                         *(CORPUS / "p7m" / "base64").glob("*.p7m")]):
            copy = folder / p.name
            shutil.copyfile(p, copy)
            envelopes.append(copy)
    out = work / "pdf"
    res = run("pdf", *invoices, *envelopes, "-d", out)
    err = res.stderr.decode()
    handled = {p: run("info", p).returncode == 0 for p in [*invoices, *envelopes]}
    check(res.returncode == (0 if all(handled.values()) else 1), "batch", err[-2000:])
    check("PDF creati: %d su %d" % (sum(handled.values()), len(handled)) in err, "batch summary",
          err[-500:])
    check("1/" not in err, "batch", "progress lines although standard error is no terminal")
    made = {p.name for p in out.iterdir()}
    check(not any(n.startswith(".") for n in made), "batch", "hidden files left: %r" % made)
    names = {}
    for p in [*invoices, *envelopes]:
        stem = p.name[:-4] if p.name.lower().endswith(".p7m") else p.name
        stem = stem[:-4] if stem.lower().endswith(".xml") else stem
        n, name = 1, stem + ".pdf"
        while name in names.values():
            n += 1
            name = "%s (%d).pdf" % (stem, n)
        names[p] = name
    for p in invoices:
        pdf = out / names[p]
        label = "pdf " + str(p.relative_to(p.parent.parent))
        if not handled[p]:
            check(not pdf.exists() and ("Non riuscito: %s: " % p) in err, label, "failure named")
            continue
        check(pdf.exists(), label, "missing " + names[p])
        if pdf.exists():
            check_pdf(p, pdf, work, label)
    for p in envelopes:
        pdf = out / names[p]
        label = "pdf " + p.name
        # The PDF of an envelope only reads it: nothing beside it; its XML, taken out here with
        # the command made for that, is the one the PDF holds.
        check(handled[p] and pdf.exists() and not p.with_suffix("").exists(), label,
              "envelope not made, or its XML written beside it")
        extracted = work / ("estratto-" + p.name)
        extracted.mkdir()
        shutil.copyfile(p, extracted / p.name)
        res = run("p7m", extracted / p.name)
        xml = pathlib.Path(res.stdout.decode().rstrip("\n")) if res.returncode == 0 else None
        if pdf.exists() and xml is not None and xml.exists():
            check_pdf(xml, pdf, work, label, envelope=extracted / p.name)

    # --- One invoice to a named file; two of one name from different folders. ---
    sample = SAMPLES / "IT03618420271_FPR12_allegati_esempio.xml"
    res = run("pdf", sample, "-o", work / "uno.pdf")
    check(res.returncode == 0 and (work / "uno.pdf").exists(), "-o", res.stderr)
    twin = work / "gemella" / sample.name
    twin.parent.mkdir()
    shutil.copyfile(sample, twin)
    res = run("pdf", sample, twin, "-d", work / "gemelle")
    made = sorted(p.name for p in (work / "gemelle").iterdir())
    check(res.returncode == 0 and made == [sample.stem + " (2).pdf", sample.stem + ".pdf"],
          "same name twice", repr(made))

    # --- An output never destroys an input, nor a file the user has unless asked. ---
    victim = work / "vittima.xml"
    shutil.copyfile(sample, victim)
    before = victim.read_bytes()
    for label, args in (("over its invoice", [victim, "-o", victim]),
                        ("over its invoice by another name",
                         [victim, "-o", work / "gemella" / ".." / "vittima.xml"]),
                        ("over its invoice even when asked", [victim, "-o", victim, "--sovrascrivi"])):
        res = run("pdf", *args)
        check(res.returncode == 1 and victim.read_bytes() == before
              and "sostituire" in res.stderr.decode(), label, res.stderr)
    kept = work / "esistente.pdf"
    kept.write_bytes(b"mio")
    res = run("pdf", sample, "-o", kept)
    check(res.returncode == 1 and kept.read_bytes() == b"mio" and "--sovrascrivi" in
          res.stderr.decode(), "over a file already there", res.stderr)
    res = run("pdf", sample, "-o", kept, "--sovrascrivi")
    check(res.returncode == 0 and kept.read_bytes().startswith(b"%PDF"), "replaced when asked",
          res.stderr)
    folder = work / "gia"
    folder.mkdir()
    (folder / (sample.stem + ".pdf")).write_bytes(b"mio")
    res = run("pdf", sample, "-d", folder)
    made = sorted(p.name for p in folder.iterdir())
    check(res.returncode == 0 and made == [sample.stem + " (2).pdf", sample.stem + ".pdf"]
          and (folder / (sample.stem + ".pdf")).read_bytes() == b"mio", "-d keeps a file there",
          repr(made))

    # --- Usage errors. ---
    for args in (["pdf"], ["pdf", sample, sample, "-o", work / "x.pdf"],
                 ["pdf", sample, "-o", work / "x.pdf", "-d", work], ["pdf", sample, "-o"],
                 ["pdf", sample, "-d", work, "-d", work]):
        res = run(*args)
        check(res.returncode == 2 and b"Uso:" in res.stderr, "usage " + " ".join(map(str, args[2:])))

    # --- Failures: named, the others still made, nothing partial left. ---
    notinvoice = work / "nota.xml"
    notinvoice.write_text("<nota>non una fattura</nota>")
    missing = work / "manca.xml"
    out = work / "misti"
    res = run("pdf", missing, sample, notinvoice, "-d", out)
    err = res.stderr.decode()
    check(res.returncode == 1 and sorted(p.name for p in out.iterdir()) == [sample.stem + ".pdf"],
          "mixed", err)
    for p in (missing, notinvoice):
        check(("Non riuscito: %s: " % p) in err, "mixed " + p.name, err)
    check("PDF creati: 1 su 3; non riusciti: 2." in err, "mixed summary", err)

    blocker = work / "unfile"
    blocker.write_text("x")
    res = run("pdf", sample, "-d", blocker / "sotto")
    check(res.returncode == 1 and "Impossibile creare la cartella" in res.stderr.decode(),
          "folder under a file", res.stderr)
    res = run("pdf", sample, "-o", work / "assente" / "x.pdf")
    check(res.returncode == 1 and str(work / "assente" / "x.pdf") in res.stderr.decode()
          and not (work / "assente").exists(), "missing folder", res.stderr)

    # A small file system in a namespace of our own: read-only, then too small for the PDF.
    if shutil.which("unshare") and subprocess.run(
            ["unshare", "-rm", "true"], capture_output=True).returncode == 0:
        for label, options, reason in (("read-only folder", "ro,size=1m", "sola lettura"),
                                       ("full disk", "size=16k", "spazio")):
            target = work / ("mnt-" + label.replace(" ", "-"))
            target.mkdir()
            script = 'mount -t tmpfs -o %s none "%s" && "$@"; rc=$?; ls -A "%s"; exit $rc' % (
                options, target, target)
            res = subprocess.run(["unshare", "-rm", "sh", "-c", script, "sh", CLI, "pdf",
                                  str(sample), "-d", str(target)],
                                 capture_output=True, check=False, timeout=300)
            err = res.stderr.decode()
            check(res.returncode == 1 and str(target / (sample.stem + ".pdf")) in err
                  and reason in err and res.stdout.strip() == b"", label,
                  repr((res.returncode, err, res.stdout)))
    else:
        print("skipped: no private mount namespace for the read-only and full-disk cases")

finish()
