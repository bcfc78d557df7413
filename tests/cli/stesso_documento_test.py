#!/usr/bin/env python3
"""The same document reached twice is one row: ondivo-cli elenco, JSON, CSV and table.

    stesso_documento_test.py ONDIVO_CLI OPENSSL SAMPLES

An envelope beside the XML taken out of it, two envelopes of one content (DER and Base64, two
signatures), the same invoice in two archives, one path given twice, a lot of two documents in
two places: each document is listed once, by its signed file when one is, with its other
places, and summed once. Documents that differ under the same name stay apart. The expected
rows are worked out here from the files' own bytes (SHA-256 of the XML each carries).
"""
import base64
import csv
import hashlib
import io
import json
import os
import pathlib
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
import zipfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "common"))
from checks import check, finish  # noqa: E402

CLI = str(pathlib.Path(sys.argv[1]).resolve())
OPENSSL = sys.argv[2]
SAMPLES = pathlib.Path(sys.argv[3])
LOTTO = SAMPLES / "IT01726390238_FPA12_lotto_esempio.xml"
SEMPLICE = SAMPLES / "IT04382710285_FPR12_esempio.xml"
ALTRA = SAMPLES / "IT03618420271_FPR12_allegati_esempio.xml"


def documenti(xml):
    """The bodies of an invoice, counted by the test's own parser."""
    root = ET.fromstring(xml)
    return sum(1 for e in root if e.tag.split("}")[-1] == "FatturaElettronicaBody")


def elenco(*args, env):
    res = subprocess.run([CLI, "elenco", *map(str, args)], capture_output=True, timeout=600,
                         env=env)
    return res


def righe(res):
    try:
        return json.loads(res.stdout.decode("utf-8"))
    except ValueError:
        return None


def posti(r):
    return sorted([r["file"]] + r["altri_file"])


def main():
    with tempfile.TemporaryDirectory() as tmp:
        work = pathlib.Path(tmp)
        env = dict(os.environ, XDG_CACHE_HOME=str(work / "cache"))
        subprocess.run([OPENSSL, "req", "-x509", "-newkey", "ec", "-pkeyopt",
                        "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", work / "k.pem",
                        "-out", work / "c.pem", "-days", "2", "-subj", "/CN=Test"], check=True,
                       capture_output=True)

        def firma(xml_path):
            return subprocess.run([OPENSSL, "cms", "-sign", "-nodetach", "-binary", "-outform",
                                   "DER", "-in", xml_path, "-signer", work / "c.pem", "-inkey",
                                   work / "k.pem"], check=True, capture_output=True).stdout

        # 1. An envelope beside the XML taken out of it: one row per document, the signed one.
        cartella = work / "busta-e-xml"
        cartella.mkdir()
        (cartella / SEMPLICE.name).write_bytes(SEMPLICE.read_bytes())
        (cartella / (SEMPLICE.name + ".p7m")).write_bytes(firma(SEMPLICE))
        res = elenco("--json", cartella, env=env)
        rows = righe(res) or []
        check(res.returncode == 0 and len(rows) == documenti(SEMPLICE.read_bytes())
              and all(r["file"] == str(cartella / (SEMPLICE.name + ".p7m"))
                      and r["firma"] == "integra"
                      and r["altri_file"] == [str(cartella / SEMPLICE.name)] for r in rows),
              "envelope and its XML: one row, the envelope's", repr((rows, res.stderr)))

        # 2. Two envelopes of one content, signed twice, in DER and in Base64, and the lot in
        # two places: each document once.
        cartella = work / "due-buste"
        (cartella / "a").mkdir(parents=True)
        (cartella / "b").mkdir()
        (cartella / "a" / "f.xml.p7m").write_bytes(firma(SEMPLICE))
        (cartella / "b" / "f.xml.p7m").write_bytes(base64.encodebytes(firma(SEMPLICE)))
        (cartella / "a" / LOTTO.name).write_bytes(LOTTO.read_bytes())
        (cartella / "b" / LOTTO.name).write_bytes(LOTTO.read_bytes())
        res = elenco("--json", cartella, env=env)
        rows = righe(res) or []
        attese = documenti(SEMPLICE.read_bytes()) + documenti(LOTTO.read_bytes())
        per_numero = {}
        for r in rows:
            per_numero.setdefault((r["numero"], r["documento"]), []).append(r)
        check(res.returncode == 0 and len(rows) == attese
              and all(len(v) == 1 for v in per_numero.values()),
              "two envelopes and a lot in two places: each document once",
              repr([(r["file"], r["numero"], r["altri_file"]) for r in rows]))
        check(all(posti(r) in ([str(cartella / "a" / "f.xml.p7m"),
                                str(cartella / "b" / "f.xml.p7m")],
                               [str(cartella / "a" / LOTTO.name), str(cartella / "b" / LOTTO.name)])
                  for r in rows),
              "two envelopes and a lot in two places: the other places",
              repr([posti(r) for r in rows]))

        # 3. The same invoice in two archives, and the folder holding them given twice.
        cartella = work / "archivi"
        cartella.mkdir()
        for nome in ("gennaio.zip", "febbraio.zip"):
            with zipfile.ZipFile(cartella / nome, "w", zipfile.ZIP_DEFLATED) as z:
                z.writestr("fatture/" + SEMPLICE.name, SEMPLICE.read_bytes())
        res = elenco("--json", cartella, cartella, env=env)
        rows = righe(res) or []
        check(res.returncode == 0 and len(rows) == documenti(SEMPLICE.read_bytes())
              and all(posti(r) == sorted(str(cartella / z) + " › fatture/" + SEMPLICE.name
                                         for z in ("gennaio.zip", "febbraio.zip"))
                      for r in rows),
              "one invoice in two archives, the folder given twice",
              repr([(r["file"], r["altri_file"]) for r in rows]))

        # 4. Two different invoices under one name stay two rows; a third with the same bytes
        # as the first joins it.
        cartella = work / "omonimi"
        for sotto, sorgente in (("a", SEMPLICE), ("b", ALTRA), ("c", SEMPLICE)):
            (cartella / sotto).mkdir(parents=True)
            (cartella / sotto / "uno.xml").write_bytes(sorgente.read_bytes())
        res = elenco("--json", cartella, env=env)
        rows = righe(res) or []
        impronte = {hashlib.sha256(r.read_bytes()).hexdigest() for r in (SEMPLICE, ALTRA)}
        check(res.returncode == 0 and len(rows) == len(impronte)
              and sorted(map(posti, rows)) == sorted([[str(cartella / "a" / "uno.xml"),
                                                        str(cartella / "c" / "uno.xml")],
                                                       [str(cartella / "b" / "uno.xml")]]),
              "same name, different invoices: apart", repr([posti(r) for r in rows]))

        # 5. Summed once: the table's count and the CSV's other places.
        res = elenco(work / "busta-e-xml", env=env)
        testo = res.stdout.decode("utf-8")
        n = documenti(SEMPLICE.read_bytes())
        check(res.returncode == 0 and ("Totale EUR  %d document" % n) in testo,
              "the table counts the document once", testo[-400:])
        res = elenco("--csv", work / "busta-e-xml", env=env)
        tabella = list(csv.reader(io.StringIO(res.stdout.decode("utf-8-sig")), delimiter=";"))
        check(len(tabella) == 1 + n and tabella[0][-1] == "Anche in"
              and all(r[-1] == str(work / "busta-e-xml" / SEMPLICE.name) for r in tabella[1:]),
              "the CSV names the other place", repr(tabella))

        # Nothing of it was written anywhere: not beside the envelopes, not in the cache.
        check(not (work / "cache").exists() or not any((work / "cache").rglob("*.xml")),
              "the envelopes' XML stays in memory",
              repr(sorted(map(str, (work / "cache").rglob("*"))) if (work / "cache").exists()
                   else []))
    finish()


if __name__ == "__main__":
    main()
