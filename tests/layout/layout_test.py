#!/usr/bin/env python3
"""Lays out our invoice pages in headless Chromium and checks that nothing breaks out of its box,
on screen and in print.

  layout_test.py [options] ONDIVO-CLI STYLESHEETS GENSTRESS [INVOICES...]

    --chromium PATH   the browser (default: chromium found in PATH)
    --only TEXT       only the invoices whose name contains TEXT (may be repeated)
    --keep FOLDER     keep each page, its PDF and a screenshot of every failing mode there
    --jobs N          tabs measuring at once (default 2)

Each invoice under the INVOICES folders (folders named "hostile" skipped) and each invoice that
GENSTRESS writes becomes a page through a copy of ONDIVO-CLI whose FODISTILE holds STYLESHEETS.
One Chromium process, driven through the DevTools protocol over a pipe, loads every page and
measures it at the screen widths of SCREEN_WIDTHS and with print media at the width of the
printable area of its paper, then prints it to PDF:

  cell       a td/th whose content (boxes of its descendants, rectangles of its text) reaches
             outside the cell's border box;
  page       the page scrolls sideways, or something reaches past the viewport's right edge;
  broken     a number or a unit (classes NUMBER and UNIT below) broken inside across lines;
  share      the description column of the lines table narrower than DESCRIPTION_MIN_SHARE;
  pdf        a word of the PDF outside the printable area of its sheet; the page count, and
             the invoices of ONE_PAGE printed on more than one page.

The print width is the paper's (the page's @page size, else A4) less the page's @page margins
(else 2 cm each side), at 96 px to the inch. Content that an element between it and the cell
clips on purpose (overflow other than visible) counts only as far as it shows; hidden content,
collapsed rows and empty boxes do not count. Before the invoices, the measuring runs on a page
of known faults (CALIBRATION) and must find exactly those.

One line per page and mode ("ok", or FAIL and its problems below it, alike problems grouped,
the worst first), then "N passed, M failed"; the exit status is non-zero on any failure.
"""
import base64
import collections
import fcntl
import json
import math
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time

# ---- The classes of our pages that this test reads -------------------------------------------
# The stylesheets put them on the page; renaming one there means renaming it here.
NUMBER = "r"     # a number (amount, quantity, rate), on its cell or its column's th: no word of
                 # it may break across lines
UNIT = "um"      # a line's unit of measure, on its cell or its column's th: no word may break
LINES = "righe"  # the table of the invoice lines (each block of a long list is one too)
DESCRIPTION = "descr"  # the description column of a lines table, on its th (and on a td):
DESCRIPTION_MIN_SHARE = 0.35  # ... at least this share of the table's width,
DESCRIPTION_MIN_TABLE = 600   # ... once the table is this wide (px). Checked only where the
                              # class is on the page, as the broken units only where UNIT is.

SCREEN_WIDTHS = (800, 1280, 1920)
SCREEN_HEIGHT = 900
TOLERANCE = 1.0  # px: sub-pixel rounding of borders and glyph edges
PX_PER_IN = 96
DEFAULT_MARGIN_MM = 20  # when the page sets no @page margin
ONE_PAGE = {"stress-una-riga.xml"}  # invoices that must print on a single sheet
SHOWN_PER_KIND = 4  # problems shown of each kind in a mode; the others are counted
COMMAND_TIMEOUT = 120  # s for one DevTools command or event

ARGS = sys.argv[1:]


def option(name, many=False):
    values = []
    while name in ARGS:
        k = ARGS.index(name)
        values.append(ARGS[k + 1])
        del ARGS[k:k + 2]
    return values if many else (values[-1] if values else None)


CHROMIUM = option("--chromium") or shutil.which("chromium") or shutil.which("chromium-browser")
ONLY = option("--only", many=True)
JOBS = int(option("--jobs") or 2)
KEEP = option("--keep")
if len(ARGS) < 3:
    sys.exit(__doc__)
CLI, STYLESHEETS, GENSTRESS = map(pathlib.Path, ARGS[:3])
INVOICE_DIRS = [pathlib.Path(a) for a in ARGS[3:]]


# ---- The measuring script, run in the page ------------------------------------------------------
# Returns plain data; the thresholds come in `cfg`. Boxes are viewport coordinates in CSS px.
MEASURE = r"""
(cfg) => {
  const tol = cfg.tolerance;
  const root = document.documentElement;
  const vw = root.clientWidth;
  const out = {innerWidth: window.innerWidth, clientWidth: vw, scrollWidth: root.scrollWidth,
               cells: [], beyond: [], broken: [], shares: [],
               hasUnit: false, hasDescription: false};
  const styles = new Map();
  const style = el => {
    let s = styles.get(el);
    if (!s) { s = getComputedStyle(el); styles.set(el, s); }
    return s;
  };
  const visible = el => style(el).visibility === 'visible';
  const INF = {left: -Infinity, top: -Infinity, right: Infinity, bottom: Infinity};
  const cut = (a, b) => {
    const r = {left: Math.max(a.left, b.left), top: Math.max(a.top, b.top),
               right: Math.min(a.right, b.right), bottom: Math.min(a.bottom, b.bottom)};
    return r.right > r.left && r.bottom > r.top ? r : null;
  };
  const join = (a, b) => a ? {left: Math.min(a.left, b.left), top: Math.min(a.top, b.top),
                              right: Math.max(a.right, b.right),
                              bottom: Math.max(a.bottom, b.bottom)} : b;
  const solid = r => r.width > 0 && r.height > 0;
  // An element that clips what overflows it (overflow hidden, clip, auto or scroll) shows its
  // content only inside its padding box.
  const clipOf = (el, clip) => {
    const s = style(el);
    if (s.overflowX === 'visible' && s.overflowY === 'visible') return clip;
    const b = el.getBoundingClientRect();
    const box = {left: b.left + el.clientLeft, top: b.top + el.clientTop,
                 right: b.left + el.clientLeft + el.clientWidth,
                 bottom: b.top + el.clientTop + el.clientHeight};
    return cut(clip, box);
  };
  const range = document.createRange();
  const wholeTexts = new Map();
  const textRects = (t, from, to) => {
    if (from === undefined && wholeTexts.has(t)) return wholeTexts.get(t);
    if (from === undefined) range.selectNodeContents(t);
    else { range.setStart(t, from); range.setEnd(t, to); }
    const rects = Array.from(range.getClientRects()).filter(solid);
    if (from === undefined) wholeTexts.set(t, rects);
    return rects;
  };
  // The start of an element's text, its text nodes one space apart.
  const shortText = el => {
    const parts = [], texts = document.createTreeWalker(el, NodeFilter.SHOW_TEXT);
    let length = 0;
    for (let t = texts.nextNode(); t && length < 60; t = texts.nextNode()) {
      const piece = t.data.replace(/\s+/g, ' ').trim();
      if (piece) { parts.push(piece); length += piece.length + 1; }
    }
    const text = parts.join(' ');
    return text.length > 48 ? text.slice(0, 47) + '…' : text;
  };
  // The heading of the part of the page an element is in.
  const sections = new Map();
  const section = el => {
    if (!sections.has(el)) {
      const h = document.evaluate('preceding::*[self::h1 or self::h2 or self::h3][1]', el, null,
                                  XPathResult.FIRST_ORDERED_NODE_TYPE, null).singleNodeValue;
      sections.set(el, h ? shortText(h) : '');
    }
    return sections.get(el);
  };
  const isCell = el => el.tagName === 'TD' || el.tagName === 'TH';
  const describe = el => el.tagName.toLowerCase() +
      (el.classList.length ? '.' + Array.from(el.classList).join('.') : '');

  // What a cell is: its table, its column heading (or row label) and its row.
  const where = cell => {
    const row = cell.parentElement;
    const table = cell.closest('table');
    let column = 0;
    for (const c of row.cells) { if (c === cell) break; column += c.colSpan; }
    let heading = '';
    if (table && table.tHead && cell.tagName === 'TD') {
      for (const hr of table.tHead.rows) {
        let k = 0;
        for (const h of hr.cells) {
          if (k <= column && column < k + h.colSpan) { heading = shortText(h); break; }
          k += h.colSpan;
        }
        if (heading) break;
      }
    }
    const first = row.cells[0];
    if (!heading && first && first !== cell && first.tagName === 'TH')
      heading = 'row ' + shortText(first);
    // A row is named by its first cell when that is short (the line number of a line),
    // else by its place in its table section.
    let named = first && first !== cell && first.tagName === 'TD' ? shortText(first) : '';
    if (!named || named.length > 12)
      named = String(Array.prototype.indexOf.call(row.parentElement.rows || [], row) + 1);
    else
      named = "'" + named + "'";
    return {cell: describe(cell), table: table ? describe(table) : '', heading,
            row: named, text: shortText(cell), section: table ? section(table) : ''};
  };

  // -- cells: the content of a cell against its border box. Nested cells count by their own
  //    box only, and are checked themselves.
  const extent = (cell) => {
    let ext = null;
    const add = (r, clip) => { if (solid(r)) { const c = cut(r, clip); if (c) ext = join(ext, c); } };
    const visit = (node, clip, shown) => {
      for (let ch = node.firstChild; ch; ch = ch.nextSibling) {
        if (ch.nodeType === Node.TEXT_NODE) {
          if (shown && /\S/.test(ch.data)) for (const r of textRects(ch)) add(r, clip);
        } else if (ch.nodeType === Node.ELEMENT_NODE) {
          if (style(ch).display === 'none') continue;
          const see = visible(ch);
          if (see) add(ch.getBoundingClientRect(), clip);
          if (isCell(ch)) continue;
          const inner = clipOf(ch, clip);
          if (inner) visit(ch, inner, see);
        }
      }
    };
    const own = clipOf(cell, INF);
    if (own) visit(cell, own, true);
    return ext;
  };
  const t0 = performance.now();
  const cells = Array.from(document.querySelectorAll('td, th'));
  for (const cell of cells) {
    if (style(cell).display === 'none' || !visible(cell)) continue;
    const box = cell.getBoundingClientRect();
    if (!solid(box)) continue;
    const ext = extent(cell);
    if (!ext) continue;
    const past = {right: ext.right - box.right, left: box.left - ext.left,
                  bottom: ext.bottom - box.bottom, top: box.top - ext.top};
    const sides = Object.entries(past).filter(([, d]) => d > tol);
    if (sides.length)
      out.cells.push(Object.assign(where(cell), {
        past: Object.fromEntries(sides.map(([s, d]) => [s, Math.round(d * 10) / 10])),
        width: Math.round(box.width), contentWidth: Math.round(ext.right - ext.left)}));
  }

  // -- page: the outermost element (with its own text) in each subtree that reaches past the
  //    viewport's right edge, as far as the clipping boxes around it let it show.
  const reach = (el, clip) => {
    let ext = null;
    if (visible(el)) {
      const b = el.getBoundingClientRect();
      if (solid(b)) ext = cut(b, clip);
      for (let ch = el.firstChild; ch; ch = ch.nextSibling)
        if (ch.nodeType === Node.TEXT_NODE && /\S/.test(ch.data))
          for (const r of textRects(ch)) { const c = cut(r, clip); if (c) ext = join(ext, c); }
    }
    return ext;
  };
  const walk = (el, clip, parentOver) => {
    if (style(el).display === 'none') return;
    const ext = reach(el, clip);
    const over = !!ext && ext.right > vw + tol;
    if (over && !parentOver) {
      // What makes it that wide, when a line of its text takes a good part of the viewport.
      let widest = null;
      const texts = document.createTreeWalker(el, NodeFilter.SHOW_TEXT);
      for (let t = texts.nextNode(); t; t = texts.nextNode()) {
        if (!/\S/.test(t.data) || !visible(t.parentElement)) continue;
        for (const r of textRects(t))
          if (!widest || r.width > widest.width) widest = {width: r.width, node: t};
      }
      let line = null;
      if (widest) {
        const holder = widest.node.parentElement.closest('td, th');
        if (holder !== el && widest.width > 0.4 * vw) {
          // The word of that text that takes most room: most often the one that cannot break.
          let word = '', room = -1;
          for (const m of widest.node.data.matchAll(/\S+/g)) {
            const w = textRects(widest.node, m.index, m.index + m[0].length)
                .reduce((sum, r) => sum + r.width, 0);
            if (w > room) { room = w; word = m[0]; }
          }
          line = {width: Math.round(widest.width),
                  text: word.length > 48 ? word.slice(0, 47) + '\u2026' : word,
                  cell: holder ? where(holder) : null};
        }
      }
      out.beyond.push({element: describe(el), text: shortText(el), section: section(el),
                       right: Math.round(ext.right), cell: isCell(el) ? where(el) : null,
                       widest: line});
    }
    const inner = el === root || el === document.body ? clip : clipOf(el, clip);
    if (!inner) return;
    for (const ch of el.children) walk(ch, inner, over);
  };
  const t1 = performance.now();
  walk(document.body, INF, false);
  const t2 = performance.now();

  // -- broken: a word of a number or unit cell laid out on more than one line.
  // A cell's kind is its own class or, where it has none, that of its column's heading (the
  // cells of a lines table carry none).
  const heading = cell => {
    const table = cell.tagName === 'TD' && !cell.classList.length && cell.closest('table');
    const row = table && table.tHead && table.tHead.rows[table.tHead.rows.length - 1];
    return row && row.cells.length === cell.parentElement.cells.length ? row.cells[cell.cellIndex]
                                                                      : null;
  };
  const kind = (cell, c) => cell.classList.contains(c) ||
                            !!(heading(cell) && heading(cell).classList.contains(c));
  for (const cell of document.querySelectorAll('td, th')) {
    const number = kind(cell, cfg.number), unit = kind(cell, cfg.unit);
    if (unit) out.hasUnit = true;
    if (!(number || unit) || style(cell).display === 'none' || !visible(cell)) continue;
    const texts = document.createTreeWalker(cell, NodeFilter.SHOW_TEXT);
    for (let t = texts.nextNode(); t; t = texts.nextNode()) {
      for (const m of t.data.matchAll(/\S+/g)) {
        const tops = [];
        for (const r of textRects(t, m.index, m.index + m[0].length))
          if (!tops.some(top => Math.abs(top - r.top) < 2)) tops.push(r.top);
        if (tops.length > 1)
          out.broken.push(Object.assign(where(cell), {word: m[0].slice(0, 40),
                                                      lines: tops.length, kind: number ? 'number' : 'unit'}));
      }
    }
  }

  const t3 = performance.now();
  // -- share: the description column of each wide enough lines table.
  for (const table of document.querySelectorAll('table.' + cfg.lines)) {
    if (style(table).display === 'none' || !visible(table)) continue;
    const tw = table.getBoundingClientRect().width;
    const column = Array.from(table.querySelectorAll('th.' + cfg.description + ', td.' + cfg.description))
        .find(c => visible(c) && solid(c.getBoundingClientRect()));
    if (table.querySelector('.' + cfg.description)) out.hasDescription = true;
    if (!column || tw < cfg.minTable) continue;
    const share = column.getBoundingClientRect().width / tw;
    out.shares.push({table: describe(table), tableWidth: Math.round(tw),
                     width: Math.round(column.getBoundingClientRect().width),
                     share: Math.round(share * 1000) / 1000});
  }
  out.times = [t1 - t0, t2 - t1, t3 - t2, performance.now() - t3];
  return out;
}
"""

# The paper and its margins for print, from the page's own @page rules (the last one that
# applies to every page wins, as in the cascade). Lengths in CSS px.
PAGE_BOX = r"""
(() => {
  const PX = {px: 1, in: 96, cm: 96 / 2.54, mm: 96 / 25.4, q: 96 / 101.6, pt: 96 / 72, pc: 16};
  const SIZES = {a3: [297, 420], a4: [210, 297], a5: [148, 210], b4: [250, 353],
                 b5: [176, 250], letter: [215.9, 279.4], legal: [215.9, 355.6],
                 ledger: [279.4, 431.8]};
  const length = v => {
    const m = /^(-?[0-9.]+)([a-z]*)$/i.exec((v || '').trim());
    return m && PX[m[2].toLowerCase() || 'px'] !== undefined ? parseFloat(m[1]) * PX[m[2].toLowerCase() || 'px'] : null;
  };
  const found = {};
  const rules = list => {
    for (const rule of list) {
      if (rule instanceof CSSMediaRule) {
        const media = rule.media.mediaText;
        if (!media || /\b(print|all)\b/.test(media)) rules(rule.cssRules);
      } else if (rule instanceof CSSPageRule && !rule.selectorText) {
        for (const side of ['Top', 'Right', 'Bottom', 'Left'])
          if (rule.style['margin' + side]) found['margin' + side] = rule.style['margin' + side];
        if (rule.style.size) found.size = rule.style.size;
      }
    }
  };
  for (const sheet of document.styleSheets) {
    try { rules(sheet.cssRules); } catch (e) { }
  }
  let [w, h] = [210 * PX.mm, 297 * PX.mm];
  if (found.size) {
    const words = found.size.toLowerCase().split(/\s+/);
    const named = words.find(x => SIZES[x]);
    if (named) [w, h] = SIZES[named].map(x => x * PX.mm);
    const lengths = words.map(length).filter(x => x !== null);
    if (lengths.length) [w, h] = [lengths[0], lengths[1] || lengths[0]];
    if (words.includes('landscape') && w < h) [w, h] = [h, w];
    if (words.includes('portrait') && w > h) [w, h] = [h, w];
  }
  const margin = side => {
    const v = found['margin' + side];
    if (v && /%$/.test(v)) return parseFloat(v) / 100 * w;
    const px = length(v);
    return px === null ? null : px;
  };
  return {width: w, height: h, css: found,
          margins: {top: margin('Top'), right: margin('Right'),
                    bottom: margin('Bottom'), left: margin('Left')}};
})()
"""


# ---- DevTools protocol over a pipe ---------------------------------------------------------

class BrowserGone(Exception):
    pass


class Chromium:
    """One browser; messages are JSON, each ended by a NUL byte, commands on its fd 3 and
    replies and events on its fd 4. A thread reads the replies, so that several tabs can wait
    for theirs at once."""

    def __init__(self, exe, folder):
        self.log = open(folder / "chromium.log", "wb")
        to_browser_r, self.to_browser = os.pipe()
        self.from_browser, from_browser_w = os.pipe()
        # Above the numbers bash moves them to, so that neither is overwritten on the way.
        high = [fcntl.fcntl(fd, fcntl.F_DUPFD, 20) for fd in (to_browser_r, from_browser_w)]
        for fd in (to_browser_r, from_browser_w):
            os.close(fd)
        args = [exe, "--headless=new", "--no-sandbox", "--disable-gpu",
                "--remote-debugging-pipe", "--user-data-dir=%s" % (folder / "profilo"),
                "--no-first-run", "--no-default-browser-check", "--disable-extensions",
                "--disable-background-networking", "--disable-sync", "--mute-audio",
                "--disable-component-update", "--disable-default-apps", "about:blank"]
        self.process = subprocess.Popen(
            ["/bin/bash", "-c", 'exec "$@" 3<&%d 4>&%d %d<&- %d>&-' % (high[0], high[1], *high),
             "bash", *args],
            pass_fds=high, stdin=subprocess.DEVNULL, stdout=self.log, stderr=self.log)
        for fd in high:
            os.close(fd)
        self.next_id = 0
        self.replies = {}
        self.events = []
        self.gone = None
        self.write_lock = threading.Lock()
        self.arrived = threading.Condition()
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        buffer = b""
        while True:
            try:
                chunk = os.read(self.from_browser, 1 << 20)
            except OSError:
                chunk = b""
            if not chunk:
                with self.arrived:
                    self.gone = "Chromium closed its pipe (exit status %s)" % self.process.poll()
                    self.arrived.notify_all()
                return
            buffer += chunk
            *messages, buffer = buffer.split(b"\0")
            with self.arrived:
                for message in messages:
                    message = json.loads(message)
                    if "id" in message:
                        self.replies[message["id"]] = message
                    elif "method" in message:
                        self.events.append(message)
                self.arrived.notify_all()

    def _wait(self, find, timeout, what):
        deadline = time.monotonic() + timeout
        with self.arrived:
            while True:
                found = find()
                if found is not None:
                    return found
                if self.gone:
                    raise BrowserGone(self.gone)
                left = deadline - time.monotonic()
                if left <= 0:
                    raise TimeoutError("no %s from Chromium in %d s" % (what, timeout))
                self.arrived.wait(left)

    def close(self):
        try:
            self.send("Browser.close", timeout=10)
        except Exception:
            pass
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.reader.join(10)
        os.close(self.to_browser)
        os.close(self.from_browser)
        self.log.close()

    def send(self, method, params=None, session=None, timeout=COMMAND_TIMEOUT):
        with self.write_lock:
            self.next_id += 1
            number = self.next_id
            message = {"id": number, "method": method, "params": params or {}}
            if session:
                message["sessionId"] = session
            data = json.dumps(message).encode() + b"\0"
            try:
                while data:
                    data = data[os.write(self.to_browser, data):]
            except BrokenPipeError:
                raise BrowserGone("Chromium closed its pipe (exit status %s)"
                                  % self.process.poll())
        reply = self._wait(lambda: self.replies.pop(number, None), timeout, "reply to " + method)
        if "error" in reply:
            raise RuntimeError("%s: %s" % (method, reply["error"].get("message")))
        return reply.get("result", {})

    def wait_event(self, method, session, timeout=COMMAND_TIMEOUT):
        def find():
            for k, event in enumerate(self.events):
                if event["method"] == method and event.get("sessionId") == session:
                    return self.events.pop(k).get("params", {})
        return self._wait(find, timeout, method)

    def forget_events(self, session):
        with self.arrived:
            self.events = [e for e in self.events if e.get("sessionId") != session]

    def evaluate(self, expression, session):
        result = self.send("Runtime.evaluate", {"expression": expression, "returnByValue": True},
                           session)
        if "exceptionDetails" in result:
            details = result["exceptionDetails"]
            raise RuntimeError("script: %s" % details.get("exception", {}).get(
                "description", details.get("text")))
        return result["result"].get("value")


class Tab:
    """One page target in a window of its own, attached with its own session."""

    def __init__(self, browser):
        self.browser = browser
        self.target = browser.send("Target.createTarget",
                                   {"url": "about:blank", "newWindow": True})["targetId"]
        self.session = browser.send("Target.attachToTarget",
                                    {"targetId": self.target, "flatten": True})["sessionId"]
        self.send("Page.enable")
        # Our pages never run script of their own; the measuring runs through the debugger.
        self.send("Emulation.setScriptExecutionDisabled", {"value": True})

    def close(self):
        try:
            self.browser.send("Target.closeTarget", {"targetId": self.target}, timeout=10)
        except Exception:
            pass

    def send(self, method, params=None, timeout=COMMAND_TIMEOUT):
        return self.browser.send(method, params, self.session, timeout)

    def load(self, path):
        self.browser.forget_events(self.session)
        result = self.send("Page.navigate", {"url": path.as_uri()})
        if result.get("errorText"):
            raise RuntimeError("navigation: %s" % result["errorText"])
        self.browser.wait_event("Page.loadEventFired", self.session)

    def evaluate(self, expression):
        return self.browser.evaluate(expression, self.session)

    def emulate(self, width, media):
        """A viewport of `width` px for `media`; paper has no scroll bar to take its room."""
        self.send("Emulation.setEmulatedMedia", {"media": media})
        self.send("Emulation.setScrollbarsHidden", {"hidden": media == "print"})
        self.send("Emulation.setDeviceMetricsOverride",
                  {"width": width, "height": SCREEN_HEIGHT, "deviceScaleFactor": 1,
                   "mobile": False})

    def unemulate(self):
        self.send("Emulation.setEmulatedMedia", {"media": ""})
        self.send("Emulation.setScrollbarsHidden", {"hidden": False})
        self.send("Emulation.clearDeviceMetricsOverride")

    def measure(self, width):
        """The measures at a viewport of `width` px; waits for the new width to be laid out."""
        config = {"tolerance": TOLERANCE, "number": NUMBER, "unit": UNIT, "lines": LINES,
                  "description": DESCRIPTION, "minTable": DESCRIPTION_MIN_TABLE}
        for _ in range(50):
            found = self.evaluate("(%s)(%s)" % (MEASURE, json.dumps(config)))
            if found["innerWidth"] == width:
                return found
            time.sleep(0.05)
        raise RuntimeError("the viewport stays %d px wide, not %d" % (found["innerWidth"], width))

    def screenshot(self, path):
        data = self.send("Page.captureScreenshot",
                         {"format": "png", "captureBeyondViewport": True})["data"]
        path.write_bytes(base64.b64decode(data))


# ---- Reading the measures --------------------------------------------------------------------

def cell_name(c):
    """td.r, column "Prezzo unitario", row 2 of table.t.righe ("Dettaglio beni e servizi")"""
    name = c["cell"]
    if c.get("heading"):
        name += ", column %r" % c["heading"] if not c["heading"].startswith("row ") \
            else ", %s" % c["heading"]
    if c.get("row") and not c.get("heading", "").startswith("row "):
        name += ", row %s" % c["row"]
    if c.get("table"):
        name += " of " + c["table"]
    if c.get("section"):
        name += " (%s)" % c["section"]
    return name


def grouped(items, key, line, worst):
    """One line per group of alike problems: the worst of the group, and how many more."""
    groups = {}
    for item in items:
        groups.setdefault(key(item), []).append(item)
    lines = []
    for members in sorted(groups.values(), key=lambda m: -max(map(worst, m))):
        first = max(members, key=worst)
        more = " (and %d more like it)" % (len(members) - 1) if len(members) > 1 else ""
        lines.append(line(first) + more)
    if len(lines) > SHOWN_PER_KIND:
        lines[SHOWN_PER_KIND:] = ["... and %d more like these" % (len(lines) - SHOWN_PER_KIND)]
    return lines


def widest_text(line):
    if not line:
        return ""
    return "; its widest line, %d px, holds %r%s" % (
        line["width"], line["text"], " in " + cell_name(line["cell"]) if line["cell"] else "")


def past_text(past):
    return ", ".join("%.0f px past its %s edge" % (d, side) for side, d in past.items())


def problems_of(found, printing=False):
    """The problems one measuring found, alike ones grouped, the worst first."""
    problems = grouped(
        found["cells"], key=lambda c: (c["cell"], c["table"], c["heading"], tuple(c["past"])),
        line=lambda c: "cell %s: %r reaches %s (cell %d px wide, content %d px)"
        % (cell_name(c), c["text"], past_text(c["past"]), c["width"], c["contentWidth"]),
        worst=lambda c: max(c["past"].values()))
    if found["scrollWidth"] > found["clientWidth"] + TOLERANCE:
        problems.append(
            ("page wider than the printable area: %d px in %d px (%d px more; Chromium prints "
             "it scaled down, and cuts off what still does not fit)" if printing else
             "page scrolls sideways: %d px wide in a %d px viewport (%d px more)")
            % (found["scrollWidth"], found["clientWidth"],
               found["scrollWidth"] - found["clientWidth"]))
    problems += grouped(
        found["beyond"], key=lambda b: (b["element"], b["section"]),
        line=lambda b: "%s %r%s reaches %d px, %d px past the %s right edge%s"
        % (cell_name(b["cell"]) if b["cell"] else b["element"], b["text"],
           " (%s)" % b["section"] if b["section"] and not b["cell"] else "", b["right"],
           b["right"] - found["clientWidth"],
           "printable area's" if printing else "viewport's", widest_text(b["widest"])),
        worst=lambda b: b["right"])
    problems += grouped(
        found["broken"], key=lambda b: (b["kind"], b["cell"], b["table"], b["heading"]),
        line=lambda b: "%s %r broken inside over %d lines in %s"
        % (b["kind"], b["word"], b["lines"], cell_name(b)),
        worst=lambda b: len(b["word"]))
    narrow = [s for s in found["shares"] if s["share"] < DESCRIPTION_MIN_SHARE]
    problems += grouped(
        narrow, key=lambda s: (s["width"], s["tableWidth"]),
        line=lambda s: "description column %d px of a %d px %s: %.0f%%, under %.0f%%"
        % (s["width"], s["tableWidth"], s["table"], 100 * s["share"],
           100 * DESCRIPTION_MIN_SHARE),
        worst=lambda s: -s["share"])
    return problems


def pdf_problems(pdf, box, name):
    """Page count and words outside the printable area, from poppler's own reading of the PDF."""
    info = subprocess.run(["pdfinfo", str(pdf)], capture_output=True, text=True, check=True).stdout
    pages = int(re.search(r"^Pages:\s+([0-9]+)", info, re.M).group(1))
    text = subprocess.run(["pdftotext", "-bbox", str(pdf), "-"], capture_output=True,
                          text=True, check=True).stdout
    pt = 72 / PX_PER_IN
    left, right = box["left"] * pt, box["right"] * pt
    problems, outside = [], []
    for number, (attrs, body) in enumerate(re.findall(r"<page ([^>]*)>(.*?)</page>", text, re.S), 1):
        width = float(re.search(r'width="([0-9.]+)"', attrs).group(1))
        for x0, x1, word in re.findall(r'<word xMin="([-0-9.]+)" yMin="[-0-9.]+" xMax="([-0-9.]+)"'
                                       r' yMax="[-0-9.]+">([^<]*)</word>', body):
            x0, x1 = float(x0), float(x1)
            if x1 > width - right + 1 or x0 < left - 1:
                off = max(x1 - (width - right), left - x0)
                where = "off the sheet" if x1 > width + 0.5 or x0 < -0.5 else "into the margin"
                outside.append((off, number, word, where))
    for off, number, word, where in sorted(outside, reverse=True)[:SHOWN_PER_KIND]:
        problems.append("PDF page %d: %r cut off at the edge of the printable area, "
                        "reaching %.1f mm %s" % (number, word[:40], off * 25.4 / 72, where))
    if len(outside) > SHOWN_PER_KIND:
        problems.append("... and %d more words outside it" % (len(outside) - SHOWN_PER_KIND))
    if name in ONE_PAGE and pages != 1:
        problems.append("prints on %d pages, not 1" % pages)
    return pages, problems


# ---- The measuring itself, on a page of known faults -----------------------------------------
# Each cell says what the measuring must find in it at CALIBRATION_WIDTH: "cell" (content out of
# its box), "broken" (a word over two lines), nothing (content clipped, hidden or scrolled on
# purpose, or only in the cell's padding). Then one narrow description column and one element
# past the viewport's right edge. A measuring that misses any, or finds more, fails the run.
CALIBRATION_WIDTH = 800
CALIBRATION = """<!DOCTYPE html>
<html><head><meta charset="utf-8"><style>
body { margin: 0; font: 13px/1.4 sans-serif; }
table { border-collapse: collapse; table-layout: fixed; width: 700px; margin: 4px; }
td, th { border: 1px solid #999; padding: 3px 6px; vertical-align: top; }
th.n { width: 60px; } th.w { width: 150px; }
.nowrap { white-space: nowrap; }
.clip { overflow: hidden; text-overflow: ellipsis; white-space: nowrap; }
.scroll { overflow-x: auto; }
.anywhere, table.percolonna td { overflow-wrap: anywhere; }
table.percolonna { width: 180px; }
.hidden { visibility: hidden; }
tr.collapsed { visibility: collapse; }
.padding { margin-right: -5px; }  /* 1.5 px short of the border box's edge */
.past { margin-right: -9px; }     /* 2.5 px past it */
.wide { width: 1000px; height: 4px; }
table.inner { width: 100%%; margin: 0; }
</style></head><body>
<table class="%(lines)s">
<thead><tr><th class="n">N.</th><th class="%(descr)s">Descrizione</th><th class="n">Q</th>
<th class="n">UM</th><th class="n">Prezzo</th></tr></thead>
<tbody>
<tr><td>1</td><td class="%(descr)s">una riga</td>
<td class="%(number)s nowrap" data-expect="cell">123456789.12345678</td>
<td class="%(unit)s anywhere" data-expect="broken">CONFEZIONI</td>
<td class="%(number)s clip">98765432109876543210</td></tr>
<tr><td>2</td><td class="%(descr)s"><div class="padding">nel margine interno</div></td>
<td class="%(number)s"><span class="hidden nowrap">222222222.22222222</span></td>
<td class="%(unit)s">PZ</td>
<td class="%(number)s"><div class="scroll"><span class="nowrap">12345678901234567890</span></div></td></tr>
<tr class="collapsed"><td>3</td><td>nascosta</td><td class="nowrap">333333333.33333333</td>
<td class="%(unit)s anywhere">CHILOGRAMM</td><td></td></tr>
<tr><td>4</td><td><table class="inner"><tr><th>E-mail</th>
<td class="nowrap" data-expect="cell">amministrazione.fatturazione@esempio-fornitore.it</td>
</tr></table></td><td></td><td></td><td></td></tr>
<tr><td>5</td><td data-expect="cell"><div class="past">oltre il bordo</div></td><td></td>
<td></td><td></td></tr>
</tbody></table>
<table class="%(lines)s">
<thead><tr><th class="w">N.</th><th class="%(descr)s">Descrizione</th><th class="w">Q</th>
<th class="w">Prezzo</th></tr></thead>
<tbody><tr><td>1</td><td class="%(descr)s">stretta</td><td></td><td></td></tr></tbody></table>
<table class="percolonna">
<thead><tr><th class="n">N.</th><th class="n %(unit)s">UM</th><th class="n %(number)s">Q</th></tr></thead>
<tbody><tr><td>1</td><td data-expect="broken">CONFEZIONI</td><td>12,00</td></tr></tbody></table>
<div class="wide"></div>
</body></html>
"""


def calibrate(tab, folder):
    """Problems of the measuring itself, an empty list when it finds just the known faults."""
    page = folder / "taratura.html"
    page.write_text(CALIBRATION % {"lines": LINES, "descr": DESCRIPTION, "number": NUMBER,
                                   "unit": UNIT}, encoding="utf-8")
    tab.load(page)
    tab.emulate(CALIBRATION_WIDTH, "screen")
    found = tab.measure(CALIBRATION_WIDTH)
    expected = tab.evaluate("Array.from(document.querySelectorAll('[data-expect]'))"
                            ".map(c => [c.dataset.expect, c.textContent])")
    start = lambda text: text.strip()[:40]  # the measures carry the start of a text
    wanted = collections.Counter((kind, start(text)) for kind, text in expected)
    got = collections.Counter([("cell", start(c["text"])) for c in found["cells"]] +
                              [("broken", start(b["word"])) for b in found["broken"]])
    problems = ["misses the %s fault of %r" % pair for pair in sorted(wanted - got)]
    problems += ["finds a %s fault in %r, which has none" % pair for pair in sorted(got - wanted)]
    narrow = [x["share"] for x in found["shares"] if x["share"] < DESCRIPTION_MIN_SHARE]
    if len(found["shares"]) != 2 or len(narrow) != 1:
        problems.append("description shares %r, not one wide and one narrow"
                        % [x["share"] for x in found["shares"]])
    if [b["element"] for b in found["beyond"]] != ["div.wide"] or \
            found["scrollWidth"] <= found["clientWidth"]:
        problems.append("past the right edge: %r, not div.wide alone"
                        % [b["element"] for b in found["beyond"]])
    return problems


# ---- The run --------------------------------------------------------------------------------

def invoices():
    """(name shown, path) of every corpus invoice, then of every stress invoice."""
    found = []
    for folder in INVOICE_DIRS:
        for path in sorted(folder.rglob("*")):
            if path.is_file() and path.suffix.lower() == ".xml" and \
                    "hostile" not in path.relative_to(folder).parts:
                found.append((str(path.relative_to(folder)), path))
    return found


def check(tab, name, path, program, pages, keep):
    """The modes of one invoice: a list of (mode, problems), the printed page count (or None)
    and the classes of the contract that its page uses."""
    flat = re.sub(r"[^A-Za-z0-9_.-]+", "_", name)
    html = pages / (flat + ".html")
    made = subprocess.run([str(program / "ondivo-cli"), "html", str(path)], capture_output=True)
    if made.returncode != 0 or not made.stdout:
        return [("page", ["ondivo-cli html ended with status %d: %s" % (
            made.returncode, made.stderr.decode("utf-8", "replace")[:200])])], None, set()
    html.write_bytes(made.stdout)  # Windows-1252, as the page's meta element says
    if keep:
        shutil.copy2(html, keep / html.name)

    results, used, count = [], set(), None
    tab.load(html)
    for width in SCREEN_WIDTHS:
        tab.emulate(width, "screen")
        found = tab.measure(width)
        results.append(("screen %d" % width, problems_of(found)))
        used |= {cls for cls, key in ((UNIT, "hasUnit"), (DESCRIPTION, "hasDescription"))
                 if found[key]}
        if keep and results[-1][1]:
            tab.screenshot(keep / ("%s.%d.png" % (flat, width)))

    # Print: the layout at the width of the paper's printable area, then the PDF itself.
    box = tab.evaluate(PAGE_BOX)
    default = DEFAULT_MARGIN_MM * PX_PER_IN / 25.4
    margins = {side: default if v is None else v for side, v in box["margins"].items()}
    width = int(math.floor(box["width"] - margins["left"] - margins["right"]))
    tab.emulate(width, "print")
    found = tab.measure(width)
    results.append(("print %d" % width, problems_of(found, printing=True)))
    if keep and results[-1][1]:
        tab.screenshot(keep / ("%s.print.png" % flat))
    tab.unemulate()  # an emulated medium would hold during printing too
    inch = lambda px: px / PX_PER_IN
    pdf = tab.send("Page.printToPDF", {
        "preferCSSPageSize": True, "printBackground": True,
        "paperWidth": inch(box["width"]), "paperHeight": inch(box["height"]),
        "marginTop": inch(margins["top"]), "marginBottom": inch(margins["bottom"]),
        "marginLeft": inch(margins["left"]), "marginRight": inch(margins["right"]),
    })["data"]
    pdf_path = pages / (flat + ".pdf")
    pdf_path.write_bytes(base64.b64decode(pdf))
    if keep:
        shutil.copy2(pdf_path, keep / pdf_path.name)
    count, problems = pdf_problems(pdf_path, margins, path.name)
    results.append(("pdf, %d page%s" % (count, "" if count == 1 else "s"), problems))
    return results, count, used


def main():
    if not CHROMIUM:
        sys.exit("chromium not found")
    started = time.monotonic()
    with tempfile.TemporaryDirectory(prefix="ondivo-layout-") as tmp:
        tmp = pathlib.Path(tmp)
        program = tmp / "programma"
        program.mkdir()
        shutil.copytree(STYLESHEETS, program / "FODISTILE")
        shutil.copy2(CLI, program / "ondivo-cli")
        stress = tmp / "stress"
        subprocess.run([sys.executable, str(GENSTRESS), str(stress)], check=True,
                       stdout=subprocess.DEVNULL)
        todo = invoices() + [(p.name, p) for p in sorted(stress.glob("*.xml"))]
        if ONLY:
            todo = [(n, p) for n, p in todo if any(o in n for o in ONLY)]
        keep = pathlib.Path(KEEP) if KEEP else None
        if keep:
            keep.mkdir(parents=True, exist_ok=True)
        pages = tmp / "pagine"
        pages.mkdir()

        # JOBS tabs of the one browser take the invoices in turn; the report keeps their order.
        done = {}
        queue = list(enumerate(todo))
        lock = threading.Condition()
        browser = Chromium(CHROMIUM, tmp)

        def work():
            tab = None
            while True:
                with lock:
                    if not queue or browser.gone:
                        break
                    k, (name, path) = queue.pop(0)
                try:
                    tab = tab or Tab(browser)
                    outcome = check(tab, name, path, program, pages, keep)
                except BrowserGone as error:
                    outcome = ([("measuring", [str(error)])], None, set())
                except Exception as error:  # this invoice fails, the others go on
                    outcome = ([("measuring", ["%s: %s" % (type(error).__name__, error)])],
                               None, set())
                    if tab:
                        tab.close()
                    tab = None
                with lock:
                    done[k] = outcome
                    lock.notify_all()
            if tab:
                tab.close()

        passed = failed = 0
        try:
            tab = Tab(browser)
            problems = calibrate(tab, tmp)
            tab.close()
        except Exception as error:
            problems = ["%s: %s" % (type(error).__name__, error)]
        if problems:
            failed += 1
            print("FAIL measuring, on a page of known faults")
            for p in problems:
                print("       " + p)
        else:
            passed += 1
            print("ok   measuring, on a page of known faults")

        workers = [threading.Thread(target=work, daemon=True) for _ in range(JOBS)]
        for w in workers:
            w.start()
        used, page_counts = set(), []
        try:
            for k, (name, path) in enumerate(todo):
                with lock:
                    while k not in done and any(w.is_alive() for w in workers):
                        lock.wait(1)
                    results, count, seen = done.get(k, ([("measuring", ["not run"])], None,
                                                        set()))
                used |= seen
                if count is not None:
                    page_counts.append("%s %d" % (name, count))
                for mode, problems in results:
                    if problems:
                        failed += 1
                        print("FAIL %s  %s" % (name, mode))
                        for p in problems:
                            print("       " + p)
                    else:
                        passed += 1
                        print("ok   %s  %s" % (name, mode))
                sys.stdout.flush()
        finally:
            for w in workers:
                w.join(COMMAND_TIMEOUT)
            gone = browser.gone
            browser.close()
            if gone:
                print("Chromium's log ends with:\n" +
                      (tmp / "chromium.log").read_text(errors="replace")[-2000:])

    missing = [cls for cls in (UNIT, DESCRIPTION) if cls not in used]
    if missing and todo:
        print("note: no cell of class %s on any page; %s not checked" % (
            " or ".join(repr(c) for c in missing),
            " and ".join({UNIT: "words broken in unit cells", DESCRIPTION:
                          "the description column's share"}[c] for c in missing)))
    print("pages printed: " + ", ".join(page_counts))
    print("%.0f s for %d invoices" % (time.monotonic() - started, len(todo)))
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
