#!/usr/bin/env python3
"""ondivo-cli firma and fiducia: the verdict as data, the statuses, the JSON shape.

Arguments: the ondivo-cli program, the openssl tool, the repository's samples folder and the
corpus folder (optional). An authority and a signer are made here with openssl; the user's
data folder is a temporary one, so no list the user imported is seen or touched.
"""
import json
import os
import pathlib
import subprocess
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "common"))
from checks import check, finish  # noqa: E402

CLI = str(pathlib.Path(sys.argv[1]).resolve())
OPENSSL = sys.argv[2]
SAMPLES = pathlib.Path(sys.argv[3])
CORPUS = pathlib.Path(sys.argv[4]) if len(sys.argv) > 4 else None
KEYS = ["nome", "codice_fiscale", "organizzazione", "emittente", "valido_dal", "valido_al",
        "data_firma", "algoritmo", "integra", "attendibile"]


def ossl(*args, cwd):
    subprocess.run([OPENSSL, *map(str, args)], cwd=cwd, check=True, capture_output=True)


def cli(*args, env):
    return subprocess.run([CLI, *map(str, args)], capture_output=True, env=env, timeout=120)


def make_signer(work):
    """An authority and a certificate it issued to Mario Rossi."""
    ossl("req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
         "-keyout", "ca.key", "-out", "ca.pem", "-days", "30", "-subj",
         "/C=IT/O=Ondivo Test/CN=Ondivo Test CA", cwd=work)
    ossl("req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
         "-keyout", "mario.key", "-out", "mario.csr", "-subj",
         "/C=IT/O=Studio Rossi/GN=Mario/SN=Rossi/serialNumber=TINIT-RSSMRA80A01H501U"
         "/CN=ROSSI MARIO", cwd=work)
    ossl("x509", "-req", "-in", "mario.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
         "-CAcreateserial", "-days", "10", "-out", "mario.pem", cwd=work)


def sign(work, payload, out, *extra):
    ossl("cms", "-sign", "-nodetach", "-binary", "-outform", "DER", "-in", payload, "-signer",
         "mario.pem", "-inkey", "mario.key", "-certfile", "ca.pem", "-out", out, *extra, cwd=work)


with tempfile.TemporaryDirectory() as tmp:
    work = pathlib.Path(tmp)
    env = dict(os.environ, XDG_DATA_HOME=str(work / "dati"), XDG_CACHE_HOME=str(work / "cache"))
    make_signer(work)
    sample = SAMPLES / "IT04382710285_FPR12_esempio.xml"
    sign(work, sample, work / "buona.xml.p7m")
    good = (work / "buona.xml.p7m").read_bytes()
    # The same envelope with one byte of the invoice changed: its digest no longer holds.
    marker = b"Idrotermica"
    assert marker in good
    (work / "cambiata.xml.p7m").write_bytes(good.replace(marker, b"Idrotermico", 1))
    (work / "rotta.xml.p7m").write_bytes(good[: len(good) // 2])

    # The verdict, whatever it is, is data: status 0 and one JSON object.
    for name, esito in (("buona.xml.p7m", "integra"), ("cambiata.xml.p7m", "non_valida"),
                        (sample, "assente")):
        res = cli("firma", work / name, "--json", env=env)
        try:
            out = json.loads(res.stdout)
        except ValueError:
            out = {}
        check(res.returncode == 0 and out.get("esito") == esito, "firma " + str(name),
              repr((res.returncode, res.stdout[:300], res.stderr)))
        signers = out.get("firmatari", [])
        check(len(signers) == (0 if esito == "assente" else 1)
              and all(list(s)[: len(KEYS)] == KEYS for s in signers), "shape " + str(name),
              repr(signers))
        text = cli("firma", work / name, env=env)
        check(text.returncode == 0 and text.stdout.decode().startswith(
            {"integra": "Firma integra, certificatore non verificato",
             "non_valida": "Firma non valida: documento modificato dopo la firma",
             "assente": "Nessuna firma"}[esito]), "text " + str(name), repr(text.stdout[:200]))

    res = cli("firma", work / "buona.xml.p7m", "--json", env=env)
    mario = json.loads(res.stdout)["firmatari"][0]
    check(mario["nome"] == "Mario Rossi" and mario["codice_fiscale"] == "RSSMRA80A01H501U"
          and mario["organizzazione"] == "Studio Rossi" and mario["emittente"] == "Ondivo Test CA"
          and mario["algoritmo"] == "SHA-256" and mario["integra"] is True
          and mario["attendibile"] is False and len(mario["valido_dal"]) == 10
          and len(mario["data_firma"] or "") == 20 and mario["data_firma"].endswith("Z"),
          "signer fields", repr(mario))

    # SHA-1 is named as such, and said to be weak.
    sign(work, sample, work / "sha1.xml.p7m", "-md", "sha1")
    res = cli("firma", work / "sha1.xml.p7m", "--json", env=env)
    first = json.loads(res.stdout or b"{}").get("firmatari", [{}])[0]
    check(first.get("algoritmo") == "SHA-1" and first.get("algoritmo_debole") is True
          and "SHA-1" in (first.get("motivo_algoritmo") or ""), "sha1", repr(res.stdout[:300]))

    # What is no envelope: status 1 and a message; wrong arguments: status 2.
    for args, status, message in (
            (["firma", work / "rotta.xml.p7m"], 1, "Impossibile leggere la busta firmata"),
            (["firma", work / "manca.xml.p7m"], 1, "manca.xml.p7m"),
            (["firma"], 2, "Uso:"),
            (["firma", "a", "b"], 2, "Uso:"),
            (["fiducia"], 2, "Uso:"),
            (["fiducia", "importa"], 2, "Uso:"),
            (["fiducia", "importa", sample], 1, "Elenco di fiducia non valido"),
            (["fiducia", "importa", work / "manca.xml"], 1, "manca.xml")):
        res = cli(*args, env=env)
        check(res.returncode == status and message in res.stderr.decode(), " ".join(map(str, args)),
              repr((res.returncode, res.stderr)))

    res = cli("fiducia", "stato", env=env)
    check(res.returncode == 0 and "Nessun elenco di fiducia importato" in res.stdout.decode()
          and "https://eidas.agid.gov.it/TL/TSL-IT.xml" in res.stdout.decode(), "fiducia stato",
          repr(res.stdout))
    check(not (work / "dati").exists() or not any((work / "dati").rglob("*.pem")),
          "nothing kept after a refused import")

    # info --json carries the verdict beside the header.
    for name, esito in (("buona.xml.p7m", "integra"), ("cambiata.xml.p7m", "non_valida"),
                        (sample, "assente")):
        res = cli("info", work / name, "--json", env=env)
        check(json.loads(res.stdout or b"{}").get("firma") == esito, "info " + str(name),
              repr((res.stdout, res.stderr)))

    # The real envelopes: intact, a person with a fiscal code; the broken ones are no envelopes.
    if CORPUS and (CORPUS / "p7m").exists():
        for path in sorted((CORPUS / "p7m").rglob("*.p7m")):
            res = cli("firma", path, "--json", env=env)
            if path.parent.name == "broken":
                check(res.returncode == 1 and res.stderr, "corpus " + path.name, repr(res.stdout))
                continue
            out = json.loads(res.stdout or b"{}")
            first = (out.get("firmatari") or [{}])[0]
            # Intact; with no trusted list, the chain is the first thing found missing.
            check(res.returncode == 0 and out.get("esito") == "integra" and first.get("nome")
                  and out.get("indicazione") == "INDETERMINATE"
                  and out.get("sottoindicazione") == "NO_CERTIFICATE_CHAIN_FOUND"
                  and first.get("integra") is True
                  and len(first.get("codice_fiscale") or "") == 16, "corpus " + path.name,
                  repr(res.stdout[:300]))

finish()
