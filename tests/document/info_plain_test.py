#!/usr/bin/env python3
"""ondivo-cli info, plain output: whatever an invoice's values hold, each stays on its own line,
control characters written as escapes; --json keeps the values as they are."""
import json
import pathlib
import subprocess
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "common"))
from checks import check, finish  # noqa: E402

CLI = pathlib.Path(sys.argv[1])
KEYS = ["Formato", "Cedente/Prestatore", "Tipo documento", "Data", "Numero"]


def invoice(supplier, date, number, documents=1):
    body = ("<DatiGenerali><DatiGeneraliDocumento><TipoDocumento>TD01</TipoDocumento>"
            "<Data>%s</Data><Numero>%s</Numero></DatiGeneraliDocumento></DatiGenerali>"
            % (date, number))
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<p:FatturaElettronica xmlns:p="urn:p">'
            "<DatiTrasmissione><FormatoTrasmissione>FPR12</FormatoTrasmissione></DatiTrasmissione>"
            "<CedentePrestatore><DatiAnagrafici><Anagrafica><Denominazione>%s</Denominazione>"
            "</Anagrafica></DatiAnagrafici></CedentePrestatore>%s</p:FatturaElettronica>"
            % (supplier, "".join("<FatturaElettronicaBody>%s</FatturaElettronicaBody>" % body
                                 for _ in range(documents)))).encode("utf-8")


# Row: name, (supplier, date, number, documents) as written in the XML, the plain values
# expected after each key, and the raw values --json must give for supplier, date, number.
ROWS = [
    ("ordinary", ("Caff\u00e8 Rossi", "2024-05-31", "FT 7/2024", 1),
     ["FPR12", "Caff\u00e8 Rossi", "TD01 fattura", "2024-05-31", "FT 7/2024"],
     ["Caff\u00e8 Rossi", "2024-05-31", "FT 7/2024"]),
    ("lineBreakForgesAKey", ("Rossi", "2024-05-31", "1\nNumero: 999", 1),
     ["FPR12", "Rossi", "TD01 fattura", "2024-05-31", "1\\nNumero: 999"],
     ["Rossi", "2024-05-31", "1\nNumero: 999"]),
    ("tabAndCarriageReturn", ("A&#9;B&#13;Data: falsa", "2024-05-31", "2", 1),
     ["FPR12", "A\\tB\\rData: falsa", "TD01 fattura", "2024-05-31", "2"],
     ["A\tB\rData: falsa", "2024-05-31", "2"]),
    ("c1ControlCharacter", ("Rossi&#x81;", "x&#x9D;y", "3", 1),
     ["FPR12", "Rossi\\u0081", "TD01 fattura", "x\\u009dy", "3"],
     ["Rossi\u0081", "x\u009dy", "3"]),
    ("twoDocumentsJoined", ("Rossi", "2024-05-31", "4", 2),
     ["FPR12", "Rossi", "", "2024-05-31\\r\\n2024-05-31", "4\\r\\n4"],
     ["Rossi", "2024-05-31\r\n2024-05-31", "4\r\n4"]),
]

with tempfile.TemporaryDirectory() as tmp:
    tmp = pathlib.Path(tmp)
    for name, (supplier, date, number, documents), plain, raw in ROWS:
        path = tmp / (name + ".xml")
        path.write_bytes(invoice(supplier, date, number, documents))
        got = subprocess.run([CLI, "info", str(path)], capture_output=True)
        lines = got.stdout.decode("utf-8").split("\n")
        check(got.returncode == 0 and lines[-1] == "" and lines[:-1] == [
            "%s: %s" % kv for kv in zip(KEYS, plain)], name, repr((got.stdout, got.stderr)))
        got = subprocess.run([CLI, "info", str(path), "--json"], capture_output=True)
        values = json.loads(got.stdout) if got.returncode == 0 else {}
        check([values.get(k) for k in ("fornitore", "data", "numero")] == raw, name + "/json",
              repr(got.stdout))

finish()
