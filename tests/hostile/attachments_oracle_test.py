#!/usr/bin/env python3
"""The attachment list and the saved bytes against an independent XML parser.

  attachments_oracle_test.py ONDIVO-CLI [SEED]

Generates invoices that write their attachments in every way XML allows and a raw text scan
gets wrong: CDATA sections, character and entity references (predefined and declared),
comments and processing instructions holding look-alike tags, prefixed tags, tags with
attributes and blanks, Base64 broken into lines, a data-URL header, names that collide or
climb out, invisible formatting characters, Windows-1252 and UTF-16 encodings. For each,
`ondivo-cli allegati` must list what ElementTree finds under Allegati (tests/common/
allegati_oracle.py) and `ondivo-cli estrai` must save exactly those bytes under the expected
names. One line per failing invoice, then "N passed, M failed".
"""
import base64
import pathlib
import random
import subprocess
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "common"))
import allegati_oracle as oracle  # noqa: E402

CLI = sys.argv[1]
SEED = int(sys.argv[2]) if len(sys.argv) > 2 else 20261207
INVOICES = 120

NAMES = ["fattura.pdf", "doppio.pdf", "a&b.pdf", "perché.pdf", "€uro.txt", "../../su.txt",
         "C:\\win.txt", "..", ".", "x/y/z.xml", "fattura\u202efdp.sh", "zero\u200bwidth.pdf",
         "tab\tdentro.txt", "<img src=x>.html", "spazio finale.pdf  ", "archivio.tar.gz"]


def escape(text, rng):
    """Text as XML character data, written in one of several equivalent ways."""
    out = []
    for c in text:
        if c == "&":
            out.append(rng.choice(["&amp;", "&#38;", "&#x26;"]))
        elif c == "<":
            out.append(rng.choice(["&lt;", "&#60;"]))
        elif c == ">":
            out.append(rng.choice([">", "&gt;"]))
        elif ord(c) > 127 and rng.random() < 0.3:
            out.append("&#%d;" % ord(c))
        elif c.isalnum() and rng.random() < 0.05:
            out.append("&#x%x;" % ord(c))
        else:
            out.append(c)
    return "".join(out)


def split_text(text, rng):
    """The text cut into pieces, each plain, in a CDATA section, or with a comment or a
    processing instruction between pieces (neither adds to the text)."""
    pieces, i = [], 0
    while i < len(text):
        j = min(len(text), i + rng.randint(1, max(1, len(text) // 2)))
        piece = text[i:j]
        kind = rng.random()
        if kind < 0.25 and "]]>" not in piece:
            pieces.append("<![CDATA[%s]]>" % piece)
        else:
            pieces.append(escape(piece, rng))
        if rng.random() < 0.15:
            pieces.append(rng.choice(["<!-- <NomeAttachment>falso</NomeAttachment> -->",
                                      "<?pi <Attachment>QUJD</Attachment> ?>"]))
        i = j
    return "".join(pieces)


def base64_text(data, rng):
    text = base64.b64encode(data).decode()
    style = rng.random()
    if style < 0.3:
        width, brk = rng.choice([76, 64]), rng.choice(["\n", "\r\n"])
        text = brk.join(text[i:i + width] for i in range(0, len(text), width)) + brk
    elif style < 0.4:
        text = "data:application/pdf;base64," + text
    return text


def tag(name, rng, prefixed):
    attrs = rng.choice(["", ' id="1"', " "]) if rng.random() < 0.3 else ""
    return ("p:" + name if prefixed else name), attrs


def element(name, content, rng, prefixed=False):
    full, attrs = tag(name, rng, prefixed)
    blank = rng.choice(["", " ", "\n"])
    return "<%s%s>%s</%s%s>" % (full, attrs, content, full, blank)


def invoice(rng):
    count = rng.randint(0, 5)
    blocks, entity = [], rng.random() < 0.2
    for _ in range(count):
        name = rng.choice(NAMES)
        data = rng.randbytes(rng.randint(0, 200))
        name_xml = split_text(name, rng)
        if entity and rng.random() < 0.5:
            name_xml = "&ent;" + name_xml
        fields = [element("NomeAttachment", name_xml, rng)]
        if rng.random() < 0.3:
            fields.append(element("DescrizioneAttachment", "<![CDATA[<NomeAttachment>falso.desktop"
                                  "</NomeAttachment>]]>", rng))
        fields.append(element("FormatoAttachment", "PDF", rng))
        fields.append(element("Attachment", split_text(base64_text(data, rng), rng), rng))
        if rng.random() < 0.3:
            rng.shuffle(fields)
        prefixed = rng.random() < 0.2
        blocks.append(element("Allegati", "\n" + "\n".join(fields) + "\n", rng, prefixed))
        if rng.random() < 0.1:
            blocks.append("<!-- <Allegati><NomeAttachment>commento.sh</NomeAttachment>"
                          "<Attachment>QUJD</Attachment></Allegati> -->")
    doctype = '<!DOCTYPE p:FatturaElettronica [<!ENTITY ent "e&#233;">]>\n' if entity else ""
    body = ('<p:FatturaElettronica versione="FPR12" xmlns:p="http://ivaservizi.agenziaentrate'
            '.gov.it/docs/xsd/fatture/v1.2"><FatturaElettronicaBody><DatiGenerali/>\n%s\n'
            '</FatturaElettronicaBody></p:FatturaElettronica>\n' % "\n".join(blocks))
    encoding = rng.choice(["UTF-8", "UTF-8", "windows-1252", "UTF-16"])
    text = '<?xml version="1.0" encoding="%s"?>\n%s%s' % (encoding, doctype, body)
    if encoding == "windows-1252":
        # Characters the code page lacks are written as references.
        return text.encode("cp1252", errors="xmlcharrefreplace")
    return text.encode("utf-16" if encoding == "UTF-16" else "utf-8")


def check(path, work):
    found = oracle.attachments(path)
    listing = []
    for name, text in found:
        data = oracle.decoded(text)
        listing.append((oracle.visible(name), str(len(data))))
    run = subprocess.run([CLI, "allegati", str(path)], capture_output=True, check=False)
    got = [tuple(line.split("\t", 1)) for line in run.stdout.decode().split("\n") if line]
    if run.returncode != 0 or got != listing:
        return "allegati gave %r, expected %r (%s)" % (got, listing, run.stderr)
    out = work / "out"
    run = subprocess.run([CLI, "estrai", str(path), str(out)], capture_output=True, check=False)
    expected = dict(zip(oracle.saved_names([n for n, _ in found]),
                        (oracle.decoded(t) for _, t in found)))
    if run.returncode != 0 or run.stdout != b"%d\n" % len(found):
        return "estrai: status %d, %r %r" % (run.returncode, run.stdout, run.stderr)
    written = {p.name: p.read_bytes() for p in out.iterdir()} if out.exists() else {}
    if written != expected:
        return "estrai wrote %s, expected %s" % (sorted(written), sorted(expected))
    return None


def main():
    rng = random.Random(SEED)
    passed = failed = 0
    with tempfile.TemporaryDirectory(prefix="ondivo-oracolo-") as tmp:
        tmp = pathlib.Path(tmp)
        for k in range(INVOICES):
            work = tmp / str(k)
            work.mkdir()
            path = work / "fattura.xml"
            path.write_bytes(invoice(rng))
            problem = check(path, work)
            if problem:
                failed += 1
                print("FAIL invoice %d (seed %d): %s" % (k, SEED, problem))
            else:
                passed += 1
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
