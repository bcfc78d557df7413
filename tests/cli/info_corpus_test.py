#!/usr/bin/env python3
"""ondivo-cli info --json against values derived independently with xmllint.

For every invoice of the corpus the expected header values come from XPath queries by
local-name (xmllint), trimmed, converted to Windows-1252 as the viewer does and joined with
CR LF; the hostile files must end with a message and exit status 1, never an expanded entity.
"""
import json
import pathlib
import subprocess
import sys
import unicodedata

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "common"))
from checks import check, finish  # noqa: E402

CLI, CORPUS = sys.argv[1], pathlib.Path(sys.argv[2])

FIELDS = {
    "fornitore": ["CedentePrestatore", "DatiAnagrafici", "Anagrafica", "Denominazione"],
    "tipo_documento": ["DatiGenerali", "DatiGeneraliDocumento", "TipoDocumento"],
    "data": ["DatiGenerali", "DatiGeneraliDocumento", "Data"],
    "numero": ["DatiGenerali", "DatiGeneraliDocumento", "Numero"],
    "formato": ["FormatoTrasmissione"],
}
KNOWN_TYPES = {"TD%02d" % n for n in list(range(1, 10)) + list(range(16, 30))}


def xpath(chain):
    return "//" + "/".join("*[local-name()='%s']" % name for name in chain)


def xmllint(expr, path):
    out = subprocess.run(["xmllint", "--nonet", "--xpath", expr, str(path)],
                         capture_output=True, check=False)
    return out.stdout.decode("utf-8")


def to_ansi_and_back(text):
    out = []
    for ch in text:
        try:
            ch.encode("cp1252")
            out.append(ch)
        except UnicodeEncodeError:
            base = unicodedata.normalize("NFKD", ch)[0]
            out.append(base if base.isascii() and base.isalpha() else "?")
    return "".join(out)


def trim(text):
    return text.strip("".join(chr(c) for c in range(33)))


def expected_value(field, path):
    expr = xpath(FIELDS[field])
    count = int(float(xmllint("count(%s)" % expr, path) or "0"))
    if count == 0:
        return None
    values = [to_ansi_and_back(trim(xmllint("string((%s)[%d])" % (expr, i), path)))
              for i in range(1, count + 1)]
    joined = trim("".join(v + "\r\n" for v in values))
    return joined


def supplier_fallback(path):
    """Denominazione, else "Nome Cognome", of each supplier's Anagrafica, else of the
    CedentePrestatore itself (simplified invoices)."""
    ced = xpath(["CedentePrestatore"])
    count = int(float(xmllint("count(%s)" % ced, path) or "0"))
    names = []
    for i in range(1, count + 1):
        base = "(%s)[%d]" % (ced, i)
        ana = base + "/*[local-name()='DatiAnagrafici']/*[local-name()='Anagrafica']"
        owner = ana if int(float(xmllint("count(%s)" % ana, path))) else base

        def text(name):
            return to_ansi_and_back(trim(xmllint("string(%s/*[local-name()='%s'])" % (owner, name), path)))
        if int(float(xmllint("count(%s/*[local-name()='Denominazione'])" % owner, path))):
            name = text("Denominazione")
        else:
            name = " ".join(p for p in (text("Nome"), text("Cognome")) if p)
        if name:
            names.append(name)
    return trim("".join(n + "\r\n" for n in names)) if names else None


def run_info(path):
    return subprocess.run([CLI, "info", str(path), "--json"], capture_output=True, check=False)




invoices = sorted(p for p in (CORPUS / "invoices").rglob("*.xml") if "hostile" not in p.parts)
for path in invoices:
    res = run_info(path)
    label = str(path.relative_to(CORPUS))
    formato = expected_value("formato", path)
    if formato is None:
        check(res.returncode == 1 and b"Documento xml non gestito" in res.stderr, label,
              "no FormatoTrasmissione: %r" % res.stderr)
        continue
    if res.returncode != 0:
        check(False, label, "exit %d: %r" % (res.returncode, res.stderr))
        continue
    got = json.loads(res.stdout)
    for field in FIELDS:
        want = expected_value(field, path)
        if field == "fornitore" and want is None:
            want = supplier_fallback(path)
        if field == "tipo_documento" and want is not None:
            want_code = want
            ok = (got[field].startswith(want_code + " ") if want_code in KNOWN_TYPES
                  else got[field] == "")
            check(ok, label, "%s: %r for code %r" % (field, got[field], want_code))
        else:
            check(got[field] == want, label, "%s: got %r, want %r" % (field, got[field], want))

# Hostile files: a message and status 1; no entity text ever comes out.
bomb = run_info(CORPUS / "invoices/hostile/billion_laughs.xml")
check(bomb.returncode == 1 and bomb.stderr.decode().startswith("ATTENZIONE, XML CON ERRORI (002)! "),
      "billion_laughs", repr(bomb.stderr[:200]))
check(b"lollol" not in bomb.stdout + bomb.stderr, "billion_laughs", "expanded entity")
xxe = run_info(CORPUS / "invoices/hostile/entity_expansion_xxe.xml")
check(xxe.returncode == 1 and b"root:" not in xxe.stdout + xxe.stderr, "xxe", repr(xxe.stderr))

finish()
