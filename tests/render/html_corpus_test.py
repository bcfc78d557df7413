#!/usr/bin/env python3
"""ondivo-cli html against xsltproc with the same official stylesheets.

The official stylesheets of the corpus are placed under the program's three stylesheet names
in a temporary FODISTILE beside a copy of ondivo-cli. For every corpus invoice the expected
bytes come from xsltproc with the stylesheet its FormatoTrasmissione selects, then, in Python:
characters outside Windows-1252 as numeric references, the thirteen-row accent folding done
row by row through the code page, Windows-1252 bytes, and the declared charset UTF-8 read as
windows-1252. The only tolerated difference is thus the declared character set.
"""
import pathlib
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "common"))
from checks import check, finish  # noqa: E402

CLI, CORPUS = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
OFFICIAL = CORPUS / "stylesheets" / "official"

NAMES = {
    "FPA12": "Foglio_di_stile_fatturaPA_v1.2.3.xsl",
    "FPR12": "Foglio_di_stile_fattura_ordinaria_ver1.2.3.xsl",
    "FSM10": "Foglio_di_stile_VFSM10_v1.0.2.xsl",
}
# Which official stylesheet stands under each name, one program folder per set.
SETS = {
    "v1.2.2": {"FPA12": "Foglio_di_stile_fattura_PA_ver1.2.2.xsl",
               "FPR12": "Foglio_di_stile_fattura_ordinaria_ver1.2.2.xsl",
               "FSM10": "fatturasemplificata_v1.0.xsl"},
    "v1.2.1": {"FPA12": "Foglio_di_stile_fatturaPA_v1.2.1.xsl",
               "FPR12": "Foglio_di_stile_fatturaordinaria_v1.2.1.xsl",
               "FSM10": "fatturasemplificata_v1.0.xsl"},
    "v1.1": {"FPA12": "fatturapa_v1.1.xsl", "FPR12": "fatturapa_v1.1.xsl",
             "FSM10": "fatturasemplificata_v1.0.xsl"},
}
FOLDING = [("\u00c0", "A'"), ("\u00e0", "a'"), ("\u00c8", "E'"), ("\u00e8", "e'"),
           ("\u00c9", "E'"), ("\u00e9", "e'"), ("\u00cc", "I'"), ("\u00ec", "i'"),
           ("\u00d2", "O'"), ("\u00f2", "o'"), ("\u00d9", "U'"), ("\u00f9", "u'"),
           ("\u20ac", "EU")]
BLANKS = "".join(chr(c) for c in range(33))



def transmission_format(path):
    """The joined FormatoTrasmissione values, or None without such an element."""
    expr = "//*[local-name()='FormatoTrasmissione']"
    run = lambda e: subprocess.run(["xmllint", "--nonet", "--xpath", e, str(path)],
                                   capture_output=True).stdout.decode()
    count = int(float(run("count(%s)" % expr) or "0"))
    if count == 0:
        return None
    values = [run("string((%s)[%d])" % (expr, i)).strip(BLANKS) for i in range(1, count + 1)]
    return "".join(v + "\r\n" for v in values).strip(BLANKS)


def fold(text):
    for char, pair in FOLDING:
        if char in text:
            raw = text.encode("cp1252").replace(char.encode("cp1252"), pair.encode())
            text = raw.decode("cp1252")
    return text


def as_view_bytes(xsltproc_output):
    text = xsltproc_output.decode("utf-8")
    text = text.encode("cp1252", errors="xmlcharrefreplace").decode("cp1252")
    raw = fold(text).encode("cp1252")
    return raw.replace(b"charset=UTF-8", b"charset=windows-1252", 1)


def first_difference(a, b):
    i = next((k for k in range(min(len(a), len(b))) if a[k] != b[k]), min(len(a), len(b)))
    return "at byte %d: got %r, want %r" % (i, a[i - 40:i + 60], b[i - 40:i + 60])


invoices = sorted(p for p in (CORPUS / "invoices").rglob("*")
                  if p.is_file() and p.suffix.lower() == ".xml" and "hostile" not in p.parts)
check(len(invoices) > 40, "corpus", "only %d invoices" % len(invoices))

with tempfile.TemporaryDirectory() as tmp:
    for set_name, chosen in SETS.items():
        program = pathlib.Path(tmp) / set_name
        (program / "FODISTILE").mkdir(parents=True)
        cli = program / CLI.name
        shutil.copy2(CLI, cli)
        for fmt, official in chosen.items():
            shutil.copyfile(OFFICIAL / official, program / "FODISTILE" / NAMES[fmt])

        for path in invoices:
            label = "%s %s" % (set_name, path.relative_to(CORPUS))
            got = subprocess.run([cli, "html", path], capture_output=True)
            fmt = transmission_format(path)
            if fmt is None:
                check(got.returncode == 1 and got.stdout == b"" and
                      b"Documento xml non gestito, visualizzazione non possibile!" in got.stderr,
                      label, "no format: %r" % got.stderr)
                continue
            stylesheet = OFFICIAL / chosen.get(fmt, chosen["FPR12"])
            want = subprocess.run(["xsltproc", "--nonet", stylesheet, path],
                                  capture_output=True, check=True).stdout
            if got.returncode != 0:
                check(False, label, "exit %d: %r" % (got.returncode, got.stderr))
                continue
            expected = as_view_bytes(want)
            check(got.stdout == expected, label, first_difference(got.stdout, expected))
            check(b"charset=windows-1252" in got.stdout and b"UTF-8" not in got.stdout, label,
                  "declared character set")

    # Hostile files end at the format query: a message, status 1, no page and no entity text.
    program = pathlib.Path(tmp) / "v1.2.2"
    for name in ("billion_laughs.xml", "entity_expansion_xxe.xml"):
        got = subprocess.run([program / CLI.name, "html", CORPUS / "invoices/hostile" / name],
                             capture_output=True)
        check(got.returncode == 1 and got.stdout == b"" and
              b"Documento xml non gestito" in got.stderr and b"lollol" not in got.stderr and
              b"root:" not in got.stderr, name, repr(got.stderr[:200]))

finish()
