#!/usr/bin/env python3
"""ondivo-cli elenco: every document of files, folders and ZIP archives, read back.

Arguments: the ondivo-cli program, the openssl tool, the repository's samples folder and the
corpus folder. The values of each document are worked out here independently with
ElementTree and Decimal; the CSV is read back with the csv module. Archives are made here,
unsafe ones among them (absolute names, "..", a bomb, archives three deep).
"""
import csv
import decimal
import io
import json
import os
import resource
import pathlib
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ET
import zipfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "common"))
from checks import check, finish  # noqa: E402

CLI = str(pathlib.Path(sys.argv[1]).resolve())
OPENSSL = sys.argv[2]
SAMPLES = pathlib.Path(sys.argv[3])
CORPUS = pathlib.Path(sys.argv[4]) if len(sys.argv) > 4 else None
KEYS = ["file", "documento", "formato", "tipo_documento", "numero", "data", "fornitore",
        "piva_fornitore", "cliente", "imponibile", "imposta", "totale", "scadenza", "firma",
        "stato_sdi", "errore", "divisa", "netto", "scadenza_calcolata", "file_base64",
        "storia_sdi", "altri_file"]


def local(tag):
    return tag.rsplit("}", 1)[-1]


def find(node, *path):
    for name in path:
        node = next((c for c in node if local(c.tag) == name), None) if node is not None else None
    return node


def text(node, *path):
    n = find(node, *path)
    return (n.text or "").strip() if n is not None else None


def name_of(node):
    if node is None:
        return None
    d = text(node, "Denominazione")
    if d:
        return d
    parts = [p for p in (text(node, "Nome"), text(node, "Cognome")) if p]
    return " ".join(parts) or None


def expected(path):
    """The rows of one ordinary invoice, from the XML alone."""
    root = ET.parse(path).getroot()
    head = find(root, "FatturaElettronicaHeader")
    supplier = find(head, "CedentePrestatore", "DatiAnagrafici")
    vat = find(supplier, "IdFiscaleIVA")
    rows = []
    for i, body in enumerate([c for c in root if local(c.tag) == "FatturaElettronicaBody"], 1):
        gen = find(body, "DatiGenerali", "DatiGeneraliDocumento")
        summary = [c for c in find(body, "DatiBeniServizi") if local(c.tag) == "DatiRiepilogo"]
        taxable = sum((decimal.Decimal(text(s, "ImponibileImporto")) for s in summary),
                      decimal.Decimal("0.00"))
        tax = sum((decimal.Decimal(text(s, "Imposta")) for s in summary), decimal.Decimal("0.00"))
        dues = [text(d, "DataScadenzaPagamento") for p in body if local(p.tag) == "DatiPagamento"
                for d in p if local(d.tag) == "DettaglioPagamento"]
        dues = sorted(d for d in dues if d)
        rows.append({
            "documento": i, "formato": text(head, "DatiTrasmissione", "FormatoTrasmissione"),
            "tipo_documento": text(gen, "TipoDocumento"), "numero": text(gen, "Numero"),
            "data": text(gen, "Data"), "fornitore": name_of(find(supplier, "Anagrafica")),
            "piva_fornitore": text(vat, "IdPaese") + text(vat, "IdCodice"),
            "cliente": name_of(find(head, "CessionarioCommittente", "DatiAnagrafici",
                                    "Anagrafica")),
            "imponibile": decimal.Decimal(taxable), "imposta": decimal.Decimal(tax),
            "totale": text(gen, "ImportoTotaleDocumento") or str(taxable + tax),
            "scadenza": dues[0] if dues else None})
    return rows


def elenco(*args, env=None):
    res = subprocess.run([CLI, "elenco", *map(str, args)], capture_output=True, timeout=600,
                         env=env)
    return res


def rows_of(res):
    try:
        return json.loads(res.stdout)
    except ValueError:
        return None


def same_row(got, want):
    for k, v in want.items():
        g = got.get(k)
        if k in ("imponibile", "imposta"):
            if g is None or decimal.Decimal(g) != v:
                return False
        elif g != v:
            return False
    return True


with tempfile.TemporaryDirectory() as tmp:
    work = pathlib.Path(tmp)
    env = dict(os.environ, XDG_DATA_HOME=str(work / "dati"), XDG_CACHE_HOME=str(work / "cache"))
    ordinary = sorted(p for p in SAMPLES.glob("*.xml") if "FSM" not in p.name)

    # A folder with sub-folders, a file that is no invoice, and the multi-document sample.
    folder = work / "cartella"
    (folder / "sotto" / "ancora").mkdir(parents=True)
    placed = {}
    for i, sample in enumerate(ordinary):
        target = folder / ("sotto" if i % 2 else "") / ("ancora" if i % 3 == 2 else "") / sample.name
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(sample, target)
        placed[str(target)] = sample
    (folder / "leggimi.txt").write_text("non sono una fattura")
    res = elenco(folder, "--json", env=env)
    rows = rows_of(res) or []
    check(res.returncode == 1, "folder: status 1 with an entry not read", repr(res.stderr))
    check(all(list(r) == KEYS for r in rows), "folder: keys", repr(rows[:1]))
    for path, sample in placed.items():
        got = [r for r in rows if r["file"] == path]
        want = expected(sample)
        check(len(got) == len(want) and all(same_row(g, w) for g, w in zip(got, want))
              and all(r["firma"] == "assente" and r["errore"] is None for r in got),
              "folder: " + sample.name, repr((got, want)))
    other = [r for r in rows if r["file"].endswith("leggimi.txt")]
    check(len(other) == 1 and other[0]["errore"] and other[0]["documento"] is None,
          "folder: a file that is no invoice is listed with its reason", repr(other))
    check(len(rows) == sum(len(expected(s)) for s in placed.values()) + 1, "folder: no row lost",
          str(len(rows)))

    # Every entry read: status 0.
    res = elenco(*ordinary[:2], "--json", env=env)
    check(res.returncode == 0 and len(rows_of(res) or []) >= 2, "files: status 0", repr(res.stderr))

    # A ZIP with sub-folders, an envelope in Base64, duplicate names, unsafe names, a bomb and
    # archives inside archives.
    subprocess.run([OPENSSL, "req", "-x509", "-newkey", "ec", "-pkeyopt",
                    "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", work / "k.pem", "-out",
                    work / "c.pem", "-days", "2", "-subj", "/CN=Test"], check=True,
                   capture_output=True)
    signed = subprocess.run([OPENSSL, "cms", "-sign", "-nodetach", "-binary", "-outform", "DER",
                             "-in", ordinary[0], "-signer", work / "c.pem", "-inkey",
                             work / "k.pem"], check=True, capture_output=True).stdout
    import base64

    # A listing only reads: a folder of envelopes (DER and Base64) is left exactly as it was,
    # their XML going to the user's cache.
    envelopes = work / "buste"
    envelopes.mkdir()
    (envelopes / "firmata.xml.p7m").write_bytes(signed)
    (envelopes / "testo.xml.p7m").write_bytes(base64.encodebytes(signed))
    before = {p.name: p.read_bytes() for p in envelopes.iterdir()}
    res = elenco(envelopes, "--json", env=env)
    listed = rows_of(res) or []
    # The same signed content in two forms is one document, listed once with its other place.
    check(res.returncode == 0 and len(listed) == len(expected(ordinary[0]))
          and all(r["firma"] == "integra" and r["errore"] is None
                  and sorted([r["file"]] + r["altri_file"])
                  == [str(envelopes / "firmata.xml.p7m"), str(envelopes / "testo.xml.p7m")]
                  for r in listed),
          "envelopes: listed", repr((listed, res.stderr)))
    check({p.name: p.read_bytes() for p in envelopes.iterdir()} == before,
          "envelopes: the folder is left as it was", repr(sorted(p.name for p in envelopes.iterdir())))
    inner = io.BytesIO()
    with zipfile.ZipFile(inner, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("interno/" + ordinary[1].name, ordinary[1].read_bytes())
        deeper = io.BytesIO()
        with zipfile.ZipFile(deeper, "w") as z2:
            z2.writestr("profondo.xml", ordinary[0].read_bytes())
        z.writestr("ancora.zip", deeper.getvalue())
    archive = work / "fatture.zip"
    with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("a/" + ordinary[0].name, ordinary[0].read_bytes())
        z.writestr("b/" + ordinary[0].name, ordinary[0].read_bytes())
        z.writestr("c/firmata.xml.p7m", base64.encodebytes(signed))
        z.writestr("../fuori.xml", ordinary[0].read_bytes())
        z.writestr("/assoluto.xml", ordinary[0].read_bytes())
        z.writestr("bomba.xml", b"\0" * (40 << 20))
        z.writestr("dentro.zip", inner.getvalue())
        z.writestr("note.txt", "appunti")
    before = set(os.listdir(tmp)) | set(os.listdir(tempfile.gettempdir()))
    res = elenco(archive, "--json", env=env)
    rows = rows_of(res) or []
    by_name = {}
    for r in rows:
        by_name.setdefault(r["file"][len(str(archive) + " › "):], []).append(r)
    ok = lambda n: n in by_name and by_name[n][0]["errore"] is None  # noqa: E731
    refused = lambda n, word: (n in by_name and by_name[n][0]["errore"]  # noqa: E731
                               and word in by_name[n][0]["errore"])
    check(res.returncode == 1, "zip: status 1", repr(res.stderr))
    # Two entries of one name and an envelope of the same invoice: one document, listed by the
    # signed one, with the other two places.
    check(ok("c/firmata.xml.p7m") and "a/" + ordinary[0].name not in by_name
          and "b/" + ordinary[0].name not in by_name
          and all(sorted(r["altri_file"]) == [str(archive) + " › a/" + ordinary[0].name,
                                              str(archive) + " › b/" + ordinary[0].name]
                  for r in by_name["c/firmata.xml.p7m"]),
          "zip: two entries of one name", repr(sorted(by_name)))
    check(ok("c/firmata.xml.p7m") and by_name["c/firmata.xml.p7m"][0]["firma"] == "integra",
          "zip: a Base64 envelope", repr(by_name.get("c/firmata.xml.p7m")))
    check(refused("../fuori.xml", "non sicuro") and refused("/assoluto.xml", "non sicuro"),
          "zip: unsafe names refused", repr([by_name.get("../fuori.xml"), by_name.get("/assoluto.xml")]))
    check(refused("bomba.xml", "volte la sua dimensione"), "zip: a bomb refused", repr(by_name.get("bomba.xml")))
    check(ok("dentro.zip › interno/" + ordinary[1].name), "zip: an archive inside", repr(sorted(by_name)))
    check(refused("dentro.zip › ancora.zip", "annidato"), "zip: three deep refused",
          repr(by_name.get("dentro.zip › ancora.zip")))
    check(refused("note.txt", "non gestito"), "zip: a note listed with its reason",
          repr(by_name.get("note.txt")))
    check(not (work.parent / "fuori.xml").exists() and not pathlib.Path("/assoluto.xml").exists(),
          "zip: nothing written outside")
    after = set(os.listdir(tmp)) | set(os.listdir(tempfile.gettempdir()))
    check(not [n for n in after - before if n.startswith("ondivo-elenco-")],
          "zip: the private folder is removed", repr(after - before))

    # SdI messages: matched to their invoice by the file name, listed alone without one.
    if CORPUS and (CORPUS / "receipts" / "official").exists():
        sdi = work / "sdi"
        sdi.mkdir()
        shutil.copyfile(ordinary[0], sdi / "IT01234567890_11111.xml")
        for code in ("RC", "NS", "MT"):
            shutil.copyfile(CORPUS / "receipts" / "official" / ("IT01234567890_11111_%s_001.xml" % code),
                            sdi / ("IT01234567890_11111_%s_001.xml" % code))
        res = elenco(sdi, "--json", env=env)
        rows = rows_of(res) or []
        invoice = [r for r in rows if r["file"].endswith("IT01234567890_11111.xml")]
        messages = {r["tipo_documento"]: r for r in rows if r["formato"] == "SDI"}
        check(res.returncode == 0 and set(messages) == {"RC", "NS", "MT"}, "sdi: messages listed",
              repr(rows))
        # A delivered file is never rejected afterwards: the rejection stays in the history.
        check(invoice and invoice[0]["stato_sdi"] == "consegnata", "sdi: a delivery stands",
              repr(invoice))
        history = invoice[0]["storia_sdi"] if invoice else []
        check([(h["tipo"], h["esito"], bool(h["nota"])) for h in history]
              == [("NS", "scartata", True), ("RC", "consegnata", False)]
              and history[1]["data_ora"] == "2013-06-06 14:01:00", "sdi: history", repr(history))
        os.remove(sdi / "IT01234567890_11111_RC_001.xml")
        rows = rows_of(elenco(sdi, "--json", env=env)) or []
        invoice = [r for r in rows if r["file"].endswith("IT01234567890_11111.xml")]
        check(invoice and invoice[0]["stato_sdi"] == "scartata", "sdi: rejected", repr(invoice))

    # The CSV: what Italian spreadsheets open, read back with the csv module.
    res = elenco(folder, "--csv", env=env)
    check(res.stdout.startswith(b"\xef\xbb\xbf"), "csv: BOM")
    table = list(csv.reader(io.StringIO(res.stdout.decode("utf-8-sig"), newline=""),
                            delimiter=";"))
    header, body = table[0], table[1:]
    check(header[:9] == ["Tipo", "Numero", "Data", "Fornitore", "Partita IVA fornitore", "Cliente",
                         "Imponibile", "IVA", "Totale"], "csv: header", repr(header))
    json_rows = rows_of(elenco(folder, "--json", env=env)) or []
    check(len(body) == len(json_rows), "csv: one line per row", "%d %d" % (len(body), len(json_rows)))
    for line, r in zip(body, json_rows):
        if r["errore"]:
            continue
        check(line[8] == (r["totale"] or "").replace(".", ",") and line[12] == r["file"]
              and line[2] == "/".join(reversed((r["data"] or "").split("-"))),
              "csv: " + r["file"], repr((line, r)))

    # The table: a heading, one line per row, then one sum line per currency.
    res = elenco(folder, env=env)
    lines = res.stdout.decode().splitlines()
    currencies = {r["divisa"] for r in json_rows if r["documento"] and r["formato"] != "SDI"}
    check(lines[0].startswith("Tipo") and len(lines) == len(json_rows) + 1 + len(currencies)
          and all(l.startswith("Totale ") for l in lines[len(json_rows) + 1:]),
          "table", repr(res.stdout[:200]))

    for args in ([], ["--json"], ["--json", "--csv", folder], ["--xml", folder]):
        res = elenco(*args, env=env)
        check(res.returncode == 2, "usage " + repr(args), repr(res.stderr))

    # A folder the user cannot read is a row with its reason, and a tree deeper than the
    # descriptors a process may hold loses no file: run as "nobody" when we are root, with a
    # limit of 64 open files and 150 nested folders.
    tree = work / "albero"
    tree.mkdir()
    shutil.copyfile(ordinary[0], tree / "a.xml")
    closed = tree / "chiusa"
    closed.mkdir()
    shutil.copyfile(ordinary[0], closed / "b.xml")
    deep = tree / "profonda"
    for i in range(150):
        deep = deep / ("l%d" % i)
    deep.mkdir(parents=True)
    shutil.copyfile(ordinary[0], deep / "c.xml")
    shutil.copyfile(ordinary[0], tree / "z.xml")
    for d in [work, *tree.rglob("*")]:
        if d.is_dir():
            d.chmod(0o755)
    closed.chmod(0o700 if os.geteuid() == 0 else 0)

    def limited():
        resource.setrlimit(resource.RLIMIT_NOFILE, (64, 64))

    extra = dict(user=65534, group=65534, extra_groups=[]) if os.geteuid() == 0 else {}
    res = subprocess.run([CLI, "elenco", "--json", str(tree)], capture_output=True, timeout=600,
                         env=dict(env, XDG_CACHE_HOME=str(work / "cache-nobody")),
                         preexec_fn=limited, **extra)
    rows = rows_of(res) or []
    # One invoice in three places: one row, with the other two.
    names = sorted(pathlib.Path(f).name for r in rows if not r["errore"]
                   for f in [r["file"]] + r["altri_file"] if r["documento"] == 1)
    refused = [r for r in rows if r["errore"]]
    check(names == ["a.xml", "c.xml", "z.xml"] and len(refused) == 1
          and refused[0]["file"] == str(closed)
          and refused[0]["errore"].startswith("cartella illeggibile"), "unreadable and deep",
          repr((res.returncode, names, refused, res.stderr[-300:])))
    closed.chmod(0o755)

    # Ctrl+C or SIGTERM in the middle of a listing: the private folder goes with it.
    envelope = next(iter(sorted((CORPUS / "p7m" / "der").glob("*.p7m")))) if CORPUS else None
    if envelope:
        many = work / "molte.zip"
        with zipfile.ZipFile(many, "w") as z:
            data = envelope.read_bytes()
            for i in range(3000):
                z.writestr("buste/%04d.xml.p7m" % i, data)
        for sig in (signal.SIGINT, signal.SIGTERM):
            private = work / ("tmp-%d" % sig)
            private.mkdir()
            proc = subprocess.Popen([CLI, "elenco", "--json", str(many)],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                    env=dict(env, TMPDIR=str(private)))
            deadline = time.monotonic() + 60
            while time.monotonic() < deadline and proc.poll() is None and not any(
                    p.name.startswith("ondivo-elenco-") for p in private.iterdir()):
                time.sleep(0.02)
            started = proc.poll() is None
            time.sleep(0.3)
            proc.send_signal(sig)
            err = proc.communicate(timeout=120)[1].decode()
            check(started and proc.returncode == 128 + sig and "interrotto" in err
                  and not list(private.iterdir()), "interrupted by %s" % sig.name,
                  repr((started, proc.returncode, err[-200:], list(private.iterdir()))))

finish()
