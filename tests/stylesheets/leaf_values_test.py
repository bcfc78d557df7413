#!/usr/bin/env python3
"""Renders invoices with Ondivo's stylesheets and checks the resulting pages.

Usage:
    python3 tests/stylesheets/leaf_values_test.py STYLESHEET_DIR INVOICES_DIR [INVOICES_DIR...]

Every *.xml file found under the invoice folders (recursively; folders named
"hostile" are skipped) is transformed with `xsltproc --nonet`, using the
stylesheet chosen by the text of its FormatoTrasmissione element, as the
viewer does. Each page must then:

  * show every non-empty leaf value of the invoice (Base64 attachment content
    and xmldsig signatures excepted), compared after the same character
    folding the viewer applies, with dates in dd/mm/yyyy form (times hh:mm)
    and decimal numbers matched by value in their Italian form (1.513.068,07);
  * show each code together with its meaning (or a note that it is unknown);
  * list each attachment with its size and never contain its Base64 text;
  * be well-formed HTML that loads nothing from outside: no script, no inline
    style attributes, no remote src/href, a single <style> block.

One line per file (OK, or what is wrong), then "N passed, M failed".
The exit status is non-zero when any file fails.
"""

import datetime
import decimal
import html.parser
import math
import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ET

STYLESHEETS = {
    "FPA12": "Foglio_di_stile_fatturaPA_v1.2.3.xsl",
    "FPR12": "Foglio_di_stile_fattura_ordinaria_ver1.2.3.xsl",
    "FSM10": "Foglio_di_stile_VFSM10_v1.0.2.xsl",
}
FALLBACK_STYLESHEET = STYLESHEETS["FPR12"]

# Elements typed xs:date / xs:dateTime in the FatturaPA schemas.
DATE_ELEMENTS = {
    "Data", "DataDDT", "DataOraConsegna", "DataOraRitiro", "DataInizioTrasporto",
    "DataIscrizioneAlbo", "DataInizioPeriodo", "DataFinePeriodo", "RiferimentoData",
    "DataFatturaPrincipale", "DataRiferimentoTerminiPagamento", "DataScadenzaPagamento",
    "DataLimitePagamentoAnticipato", "DataDecorrenzaPenale", "DataFR",
}

# Elements typed as decimal numbers (amounts, prices, quantities, rates, weights): the page
# shows them in Italian form, and they are matched by value.
NUMBER_ELEMENTS = {
    "AlCassa", "Aliquota", "AliquotaIVA", "AliquotaRitenuta", "Arrotondamento",
    "CapitaleSociale", "ImponibileCassa", "ImponibileImporto", "Importo", "ImportoBollo",
    "ImportoContributoCassa", "ImportoPagamento", "ImportoRitenuta", "ImportoTotaleDocumento",
    "Imposta", "PenalitaPagamentiRitardati", "Percentuale", "PesoLordo", "PesoNetto",
    "PrezzoTotale", "PrezzoUnitario", "Quantita", "RiferimentoNumero",
    "ScontoPagamentoAnticipato", "SpeseAccessorie",
}
DECIMAL_SHAPE = re.compile(r"^-?[0-9]+(\.[0-9]+)?$")
# A number as the page writes it: thousands grouped by ".", decimals after ",".
ITALIAN_NUMBER = re.compile(r"(?<![\d.,])-?\d{1,3}(?:\.\d{3})*(?:,\d+)?(?![\d])")

# Elements holding a code that the page must explain.
CODE_ELEMENTS = {
    "FormatoTrasmissione", "TipoDocumento", "RegimeFiscale", "ModalitaPagamento",
    "CondizioniPagamento", "Natura", "EsigibilitaIVA", "SoggettoEmittente",
    "TipoRitenuta", "CausalePagamento", "TipoCassa", "TipoCessionePrestazione",
    "SocioUnico", "StatoLiquidazione", "Art73",
}

# The viewer's folding, applied in this order, before the Windows-1252
# conversion (characters outside it become "?").
FOLDING = [
    ("\u00c0", "A'"), ("\u00e0", "a'"), ("\u00c8", "E'"), ("\u00e8", "e'"),
    ("\u00c9", "E'"), ("\u00e9", "e'"), ("\u00cc", "I'"), ("\u00ec", "i'"),
    ("\u00d2", "O'"), ("\u00f2", "o'"), ("\u00d9", "U'"), ("\u00f9", "u'"),
    ("\u20ac", "EU"),
]

WHITESPACE = re.compile(r"\s+")
DATE_SHAPE = re.compile(r"^([0-9]{4})-([0-9]{2})-([0-9]{2})(.*)$", re.S)
TIME_ZONE = re.compile(r"^(Z|[+-]..:..)$")


def as_viewer_shows(text):
    for src, dst in FOLDING:
        text = text.replace(src, dst)
    text = text.encode("cp1252", errors="replace").decode("cp1252")
    return WHITESPACE.sub(" ", text).strip()


def displayed_date(value):
    """dd/mm/yyyy for a real calendar date, time or zone kept as written."""
    match = DATE_SHAPE.match(value)
    if not match:
        return value
    year, month, day, rest = match.groups()
    try:
        datetime.date(int(year), int(month), int(day))
    except ValueError:
        return value
    shown = f"{day}/{month}/{year}"
    if rest == "":
        return shown
    if re.match(r"^T[0-9]{2}:[0-9]{2}", rest):
        return f"{shown} {rest[1:6]}"
    if rest.startswith("T"):
        return f"{shown} {rest[1:]}"
    if TIME_ZONE.match(rest):
        return f"{shown} {rest}"
    return value


def local_name(tag):
    return tag.rsplit("}", 1)[-1] if isinstance(tag, str) else ""


def leaves(root):
    """(element, local name, trimmed text) for each non-empty leaf, skipping
    signatures and attachment content."""
    stack = [root]
    while stack:
        element = stack.pop()
        name = local_name(element.tag)
        if name == "Signature":
            continue
        children = [c for c in element if isinstance(c.tag, str)]
        if children:
            stack.extend(reversed(children))
            continue
        if name == "Attachment":
            continue
        text = "".join(element.itertext()).strip()
        if text:
            yield element, name, text


def attachments(root):
    for element in root.iter():
        if local_name(element.tag) == "Attachment":
            yield re.sub(r"\s", "", "".join(element.itertext()))


class Page(html.parser.HTMLParser):
    """Visible text of the page, split into blocks (cells, paragraphs...),
    plus structural problems."""

    BREAK = "\x00"

    VOID = {"area", "base", "br", "col", "hr", "img", "input", "link", "meta", "param"}
    BREAKS = {"br", "div", "p", "td", "th", "tr", "table", "li", "ol", "ul",
              "h1", "h2", "h3", "h4", "h5", "h6", "thead", "tbody", "caption", "body"}
    FORBIDDEN = {"script", "link", "img", "iframe", "object", "embed", "frame", "base"}

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.parts = []
        self.problems = []
        self.open = []
        self.styles = 0
        self.in_hidden = 0
        self.style_text = []

    def handle_starttag(self, tag, attrs):
        if tag in self.FORBIDDEN:
            self.problems.append(f"<{tag}> element")
        for name, value in attrs:
            if name == "style":
                self.problems.append(f"inline style on <{tag}>")
            if name in ("src", "href") and value and re.match(r"\s*(https?:)?//", value, re.I):
                self.problems.append(f"remote {name} on <{tag}>: {value}")
            if name.startswith("on"):
                self.problems.append(f"event handler {name} on <{tag}>")
        if tag == "style":
            self.styles += 1
        if tag in ("style", "title"):
            self.in_hidden += 1
        if tag in self.BREAKS:
            self.parts.append(self.BREAK)
        if tag not in self.VOID:
            self.open.append(tag)

    def handle_startendtag(self, tag, attrs):
        self.handle_starttag(tag, attrs)
        if tag not in self.VOID and self.open and self.open[-1] == tag:
            self.open.pop()

    def handle_endtag(self, tag):
        if tag in self.VOID:
            return
        if not self.open or self.open[-1] != tag:
            self.problems.append(f"unbalanced </{tag}> (open: {'/'.join(self.open[-3:])})")
            if tag in self.open:
                while self.open.pop() != tag:
                    pass
            return
        self.open.pop()
        if tag in ("style", "title"):
            self.in_hidden -= 1
        if tag in self.BREAKS:
            self.parts.append(self.BREAK)

    def handle_data(self, data):
        if self.in_hidden:
            if self.open and self.open[-1] == "style":
                self.style_text.append(data)
            return
        self.parts.append(data)

    def finish(self):
        self.close()
        if self.open:
            self.problems.append(f"unclosed elements: {'/'.join(self.open)}")
        if self.styles != 1:
            self.problems.append(f"{self.styles} <style> blocks instead of 1")
        css = "".join(self.style_text)
        if re.search(r"@import|url\s*\(", css, re.I):
            self.problems.append("CSS loads external resources")
        joined = "".join(self.parts)
        blocks = [as_viewer_shows(b) for b in joined.split(self.BREAK)]
        return as_viewer_shows(joined.replace(self.BREAK, " ")), [b for b in blocks if b]


# ---------------------------------------------------------------- checks
# Each check takes (invoice root, page) and returns a list of problems; the
# page is a dict with "text" (all visible text), "blocks" (the text of each
# cell/paragraph) and "raw" (the HTML source).

# Leaves the page writes otherwise than as in the file: an IBAN in groups of four, the
# kind of a discount in words.
DISCOUNT_WORDS = {"SC": "sconto", "MG": "maggiorazione"}


def displayed(name, parent, value):
    if name in DATE_ELEMENTS:
        return displayed_date(value)
    if name == "IBAN":
        compact = value.replace(" ", "")
        return " ".join(compact[i:i + 4] for i in range(0, len(compact), 4))
    if name == "Tipo" and parent == "ScontoMaggiorazione":
        return DISCOUNT_WORDS.get(value, value)
    return value


def page_numbers(text):
    """The value of every number the page writes in Italian form."""
    return {decimal.Decimal(t.replace(".", "").replace(",", "."))
            for t in ITALIAN_NUMBER.findall(text)}


def check_leaf_values(root, page):
    text = page["text"]
    missing = []
    numbers = None
    # Values are searched near the previous one first (pages follow the
    # document order), so large invoices do not cost a full scan per value.
    cursor = 0
    parents = {child: local_name(parent.tag) for parent in root.iter() for child in parent}
    for element, name, value in leaves(root):
        if name in NUMBER_ELEMENTS and DECIMAL_SHAPE.match(value):
            # Any grouping or decimal point left as written would not read as a number.
            if numbers is None:
                numbers = page_numbers(text)
            if decimal.Decimal(value) not in numbers:
                missing.append(f"{name}={value} (as a number)")
            continue
        expected = as_viewer_shows(displayed(name, parents.get(element), value))
        at = text.find(expected, cursor)
        if at < 0:
            at = text.rfind(expected, 0, cursor + len(expected))
        if at < 0:
            missing.append(f"{name}={expected!r}")
        else:
            cursor = at
    return [f"missing {', '.join(missing)}"] if missing else []


def check_codes_explained(root, page):
    problems = []
    codes = sorted({(name, as_viewer_shows(value)) for _, name, value in leaves(root)
                    if name in CODE_ELEMENTS})
    # One line per cell/paragraph: a match cannot run across two cells.
    cells = "\n".join(page["blocks"])
    for name, code in codes:
        # "CODE meaning" or "CODE (note)" inside one cell: a bare code is
        # not enough.
        pattern = r"(^|[^\w.])" + re.escape(code) + r" [(A-Za-z\u00c0-\u00ff]"
        if not re.search(pattern, cells, re.M):
            problems.append(f"{name} {code!r} shown without its meaning")
    return problems


def size_texts(size):
    if size < 1024:
        return [f"{size} byte"]
    unit, divisor = ("KB", 1024) if size < 1048576 else ("MB", 1048576)
    value = size / divisor * 10
    shown = []
    for tenths in {math.floor(value), math.ceil(value)}:
        number = f"{tenths / 10:,.1f}".replace(",", "#").replace(".", ",").replace("#", ".")
        shown.append(f"circa {number} {unit}")
    return shown


def check_attachments(root, page):
    text, raw = page["text"], page["raw"]
    problems = []
    for b64 in attachments(root):
        size = len(b64) * 3 // 4 - b64.count("=")
        if not any(s in text for s in size_texts(size)):
            problems.append(f"attachment size not shown (expected {size_texts(size)[0]!r})")
        probe = b64[:60]
        if len(probe) >= 16 and probe in raw:
            problems.append("Base64 attachment content written into the page")
    return problems


CHECKS = [check_leaf_values, check_codes_explained, check_attachments]


# ------------------------------------------------------------------ driver

def stylesheet_for(root):
    for element in root.iter():
        if local_name(element.tag) == "FormatoTrasmissione":
            return STYLESHEETS.get((element.text or "").strip(), FALLBACK_STYLESHEET)
    return FALLBACK_STYLESHEET


def invoice_files(folders):
    for folder in folders:
        for base, dirs, files in os.walk(folder):
            dirs[:] = sorted(d for d in dirs if d != "hostile")
            for name in sorted(files):
                if name.lower().endswith(".xml"):
                    yield os.path.join(base, name)


def check_file(path, stylesheet_dir):
    try:
        root = ET.parse(path).getroot()
    except ET.ParseError as error:
        return [f"not well-formed: {error}"]
    sheet = os.path.join(stylesheet_dir, stylesheet_for(root))
    run = subprocess.run(["xsltproc", "--nonet", sheet, path], capture_output=True)
    if run.returncode != 0 or not run.stdout:
        return [f"xsltproc failed ({run.returncode}): {run.stderr.decode(errors='replace').strip()}"]
    raw = run.stdout.decode("cp1252", errors="replace")
    parser = Page()
    parser.feed(raw)
    text, blocks = parser.finish()
    page = {"text": text, "blocks": blocks, "raw": raw}
    problems = list(parser.problems)
    for check in CHECKS:
        problems.extend(check(root, page))
    return problems


def main(argv):
    if len(argv) < 3:
        print("\n".join(__doc__.strip().splitlines()[2:4]), file=sys.stderr)
        return 2
    stylesheet_dir, folders = argv[1], argv[2:]
    passed = failed = 0
    for path in invoice_files(folders):
        problems = check_file(path, stylesheet_dir)
        if problems:
            failed += 1
            print(f"FAIL {path}: {'; '.join(problems)}")
        else:
            passed += 1
            print(f"OK   {path}")
    print(f"{passed} passed, {failed} failed")
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
