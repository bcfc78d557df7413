#!/usr/bin/env python3
"""Hostile input through ondivo-cli.

  hostile_cli_test.py [--sanitizers] ONDIVO-CLI STYLESHEETS OPENSSL GENFATTURA [CORPUS]

Every case runs a copy of ondivo-cli placed in a program folder of its own (our stylesheets in
FODISTILE, the system's openssl in ossl/) and checks, besides the case's own expectations:
  - it ends within a time-out and by itself, not by a signal;
  - its peak memory (/usr/bin/time's maximum resident set size) stays below 100 MB + 8 times
    the input (not checked with --sanitizers, whose shadow memory and quarantine dominate);
  - nothing under the test's temporary folder changes but the places the case may write
    (the attachment folder of estrai, an envelope's content beside it or in the cache),
    nothing appears where escaping names point outside it, and no temporary file is left
    behind;
  - a TCP server on 127.0.0.1, named by every URL in the inputs, sees no connection.
One line per case, then "N passed, M failed".
"""
import base64
import hashlib
import os
import pathlib
import random
import re
import shutil
import signal
import socket
import stat
import subprocess
import sys
import tempfile
import threading

ARGS = [a for a in sys.argv[1:] if a != "--sanitizers"]
SANITIZERS = len(ARGS) < len(sys.argv) - 1
CLI, STYLESHEETS, OPENSSL, GENFATTURA = map(pathlib.Path, ARGS[:4])
CORPUS = pathlib.Path(ARGS[4]) if len(ARGS) > 4 else None
TIME = "/usr/bin/time"

TIME_OUT = 120  # seconds for one run; the 200 MB invoice takes a few
NOT_HANDLED = "Documento xml non gestito, visualizzazione non possibile!\n"
XML_ERRORS = "ATTENZIONE, XML CON ERRORI (002)! \r\n\r\n"
TOO_LARGE = "Le entità del documento si espandono oltre il limite consentito"
TOO_DEEP = "Excessive depth in document: 256 use XML_PARSE_HUGE option"
UNEVEN = "Uneven size in DecodeToStream."
TOOL_FAILED = re.compile(r"OpenSSL errore \(ExitCode=[0-9]+\)\n")
NS = "http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2"


class Listener:
    """Counts the TCP connections made to it on 127.0.0.1 and drops each at once."""

    def __init__(self):
        self.connections = 0
        self._stop = threading.Event()
        self._sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self._sock.bind(("127.0.0.1", 0))
        self._sock.listen(16)
        self._sock.settimeout(0.2)
        self.url = "http://127.0.0.1:%d" % self._sock.getsockname()[1]
        self._thread = threading.Thread(target=self._serve, daemon=True)
        self._thread.start()

    def _serve(self):
        while not self._stop.is_set():
            try:
                client, _ = self._sock.accept()
            except socket.timeout:
                continue
            self.connections += 1
            client.close()

    def close(self):
        self._stop.set()
        self._thread.join()
        self._sock.close()


class Outcome:
    def __init__(self, status, out, err, peak, timed_out):
        self.status, self.out, self.err = status, out, err
        self.peak, self.timed_out = peak, timed_out

    @property
    def text(self):
        return self.err.decode("utf-8", "replace")


def run(exe, args, env, measures):
    """Runs exe with args under /usr/bin/time, which forks it from a small process of its own
    (a child forked from this Python would inherit its high-water mark). The status is
    negative for a signal; the peak memory is in bytes."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        p = subprocess.Popen([TIME, "-f", "%M", "-o", str(measures), str(exe), *map(str, args)],
                             stdout=out, stderr=err, env=env, start_new_session=True)
        timed_out = []

        def kill():
            timed_out.append(True)
            os.killpg(p.pid, signal.SIGKILL)

        timer = threading.Timer(TIME_OUT, kill)
        timer.start()
        p.wait()
        timer.cancel()
        report = measures.read_text() if measures.exists() else ""
        signalled = re.search(r"Command terminated by signal ([0-9]+)", report)
        status = -int(signalled.group(1)) if signalled else p.returncode
        peak = int(report.split()[-1]) * 1024 if report.split() else 0
        out.seek(0)
        err.seek(0)
        return Outcome(status, out.read(), err.read(), peak, bool(timed_out))


def snapshot(root, skip):
    """Every entry under root, but those under skip: files with their size and time, folders
    and links as they are (an entry added or removed shows up by itself)."""
    state = {}
    for dirpath, dirnames, filenames in os.walk(root):
        here = pathlib.Path(dirpath)
        dirnames[:] = [d for d in dirnames if here / d not in skip]
        for name in dirnames + filenames:
            path = here / name
            if path in skip:
                continue
            st = os.lstat(path)
            plain = stat.S_ISREG(st.st_mode)
            state[str(path.relative_to(root))] = (st.st_mode, st.st_size if plain else 0,
                                                  st.st_mtime_ns if plain else 0)
    return state


def invoice(number="HOST/1", attachments=(), extra_body="", doctype="", fmt="FPR12",
            causale="Fornitura"):
    blocks = "".join("<Allegati><NomeAttachment>%s</NomeAttachment><Attachment>%s</Attachment>"
                     "</Allegati>\n" % a for a in attachments)
    return ('<?xml version="1.0" encoding="UTF-8"?>\n%s<p:FatturaElettronica versione="%s" '
            'xmlns:p="%s">\n<FatturaElettronicaHeader><DatiTrasmissione><FormatoTrasmissione>'
            "%s</FormatoTrasmissione></DatiTrasmissione><CedentePrestatore><DatiAnagrafici>"
            "<Anagrafica><Denominazione>Ostile S.r.l.</Denominazione></Anagrafica>"
            "</DatiAnagrafici></CedentePrestatore></FatturaElettronicaHeader>\n"
            "<FatturaElettronicaBody><DatiGenerali><DatiGeneraliDocumento><TipoDocumento>TD01"
            "</TipoDocumento><Data>2024-05-31</Data><Numero>%s</Numero><Causale>%s</Causale>"
            "</DatiGeneraliDocumento></DatiGenerali>\n%s%s</FatturaElettronicaBody>"
            "</p:FatturaElettronica>\n" % (doctype, fmt, NS, fmt, number, causale, extra_body,
                                           blocks)).encode("utf-8")


def stylesheet(body, namespaces="", version="1.0", before="", top=""):
    return ('%s<xsl:stylesheet version="%s" xmlns:xsl="http://www.w3.org/1999/XSL/Transform" %s>'
            '%s<xsl:output method="html"/><xsl:template match="/"><html><body>%s</body></html>'
            "</xsl:template></xsl:stylesheet>\n"
            % (before, version, namespaces, top, body)).encode()


def main():
    passed = failed = 0
    listener = Listener()
    rng = random.Random(7)
    with tempfile.TemporaryDirectory(prefix="ondivo-hostile-") as root:
        root = pathlib.Path(root)
        tmpdir = root / "tmp"  # TMPDIR of every run: must be empty after each
        tmpdir.mkdir()
        measures = root / "misure.txt"
        user_data = root / "utente" / "dati"  # XDG_DATA_HOME: the user's attachment folder
        cache = root / "cache"  # XDG_CACHE_HOME of every run: where envelope contents may go
        env = dict(os.environ, TMPDIR=str(tmpdir), LC_ALL="C", XDG_DATA_HOME=str(user_data),
                   XDG_CACHE_HOME=str(cache))
        inputs = root / "fatture"
        inputs.mkdir()
        # Where names that climb out of the whole test folder would land.
        outside = pathlib.Path(tempfile.gettempdir()) / ("ondivo-fuori-%016x" % rng.getrandbits(64))

        def program(name, stylesheets=None):
            folder = root / name
            (folder / "ossl").mkdir(parents=True)
            shutil.copytree(STYLESHEETS, folder / "FODISTILE")
            for file_name, content in (stylesheets or {}).items():
                (folder / "FODISTILE" / file_name).write_bytes(content)
            os.symlink(OPENSSL, folder / "ossl" / "openssl")
            shutil.copy2(CLI, folder / "ondivo-cli")
            return folder / "ondivo-cli"

        cli = program("programma")

        def write(name, content):
            path = inputs / name
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(content)
            return path

        def case(name, args, status=1, err=None, err_has=(), out=None, check=None, may_write=(),
                 exe=None, size=None):
            """err: the whole standard error (a str, or a compiled pattern to match in full);
            err_has: texts it must contain; check(outcome) returns a complaint or None."""
            nonlocal passed, failed
            may_write = [pathlib.Path(p) for p in may_write]
            file_arg = next((pathlib.Path(a) for a in args[1:] if isinstance(a, pathlib.Path)),
                            None)
            if size is None:
                size = file_arg.stat().st_size if file_arg and file_arg.is_file() else 0
            skip = may_write + [tmpdir, measures]
            before = snapshot(root, skip)
            got = run(exe or cli, args, env, measures)
            problems = []
            if got.timed_out:
                problems.append("no end within %d s" % TIME_OUT)
            elif got.status < 0:
                problems.append("ended by signal %d" % -got.status)
            elif got.status != status:
                problems.append("status %d, not %d" % (got.status, status))
            if isinstance(err, str) and got.text != err:
                problems.append("stderr %r" % got.text[:300])
            elif isinstance(err, re.Pattern) and not err.fullmatch(got.text):
                problems.append("stderr %r" % got.text[:300])
            for piece in err_has:
                if piece not in got.text:
                    problems.append("stderr %r lacks %r" % (got.text[:300], piece))
            if out is not None and got.out != out:
                problems.append("stdout %r" % got.out[:200])
            if check and not problems:
                complaint = check(got)
                if complaint:
                    problems.append(complaint)
            bound = 100 * 2**20 + 8 * size
            if got.peak > bound and not SANITIZERS:
                problems.append("peak memory %d MB over %d MB" % (got.peak >> 20, bound >> 20))
            left = sorted(p.name for p in tmpdir.iterdir())
            if left:
                problems.append("left in the temporary folder: %s" % left)
            after = snapshot(root, skip)
            changed = sorted(set(before.items()) ^ set(after.items()))
            if changed:
                problems.append("written outside the allowed places: %s" %
                                sorted({c[0] for c in changed}))
            if outside.exists():
                problems.append("written outside the test folder: %s" % outside)
            if listener.connections:
                problems.append("%d connection(s) to %s" % (listener.connections, listener.url))
            if problems:
                failed += 1
                print("FAIL %s: %s" % (name, "; ".join(problems)))
            else:
                passed += 1
                print("ok   %s (%.0f MB)" % (name, got.peak / 2**20))
            sys.stdout.flush()
            for p in tmpdir.iterdir():
                p.unlink() if p.is_file() or p.is_symlink() else shutil.rmtree(p)
            listener.connections = 0

        def not_loadable(name, path, reason=None, may_write=()):
            """info and html both end with the load error, then the refusal."""
            for command in ("info", "html"):
                case("%s/%s" % (name, command), [command, path], status=1,
                     err=re.compile(re.escape(XML_ERRORS) + r".*\r\nLine: [0-9]+\r\n.*\n" +
                                    re.escape(NOT_HANDLED), re.S),
                     err_has=[reason] if reason else [], out=b"", may_write=may_write)

        def not_an_invoice(name, path):
            for command in ("info", "html"):
                case("%s/%s" % (name, command), [command, path], status=1, err=NOT_HANDLED,
                     out=b"")

        # --- The public corpus's hostile files and broken envelopes ------------------------
        if CORPUS and (CORPUS / "invoices" / "hostile").is_dir():
            hostile = CORPUS / "invoices" / "hostile"
            not_loadable("corpusEntityBomb", hostile / "billion_laughs.xml",
                         "Detected an entity reference loop")
            for command in ("info", "html"):
                case("corpusExternalEntity/" + command,
                     [command, hostile / "entity_expansion_xxe.xml"], err=NOT_HANDLED, out=b"")
        if CORPUS and (CORPUS / "p7m" / "broken").is_dir():
            for source in sorted((CORPUS / "p7m" / "broken").iterdir()):
                # Copied: a failed extraction must write nothing anywhere, beside it included.
                envelope = write("broken/" + source.name, source.read_bytes())
                for command in ("p7m", "info", "html"):
                    case("corpusBroken/%s/%s" % (source.name, command), [command, envelope],
                         err=TOOL_FAILED, out=b"")

        # --- Files that are not XML, or not the XML we read -------------------------------
        not_loadable("emptyFile", write("vuoto.xml", b""))
        not_loadable("zeroBytes", write("zeri.xml", bytes(4096)))
        not_loadable("binaryNamedXml", write("binario.xml", rng.randbytes(65536)))
        not_loadable("unknownEncoding",
                     write("codifica.xml", invoice().replace(b'"UTF-8"', b'"X-ONDIVO-9"')),
                     "Unsupported encoding")
        not_loadable("brokenUtf8",
                     write("utf8.xml", invoice().replace(b"HOST/1", b"HOST\xff\xfe/1")),
                     "not proper UTF-8")
        not_loadable("nested100000Deep",
                     write("profondo.xml", b"<a>" + b"<x>" * 100000 + b"</x>" * 100000 + b"</a>"),
                     TOO_DEEP)
        huge_cdata = "<C><![CDATA[" + "QUJD" * (3 * 2**20) + "]]></C>\n"
        not_loadable("nested100000DeepAfterAHugeCdata",
                     write("profondo-cdata.xml",
                           invoice(extra_body=huge_cdata + "<x>" * 100000 + "</x>" * 100000)),
                     TOO_DEEP)
        wide = '<!DOCTYPE p:FatturaElettronica [<!ENTITY w "%s">]>\n' % ("w" * 2**20)
        not_loadable("entityExpandingToGigabytes",
                     write("quadratica.xml", invoice(doctype=wide, causale="&w;" * 3000)),
                     TOO_LARGE)
        not_loadable("entityExpandingInAnAttribute",
                     write("quadratica-attributo.xml",
                           invoice(doctype=wide, extra_body='<Dati a="%s"/>' % ("&w;" * 3000))),
                     TOO_LARGE)
        bomb = "".join('<!ENTITY l%d "%s">' % (i, ("&l%d;" % (i - 1)) * 10 if i else "lol")
                       for i in range(10))
        not_loadable("entityBombBeforeAHugeCdata",
                     write("bomba-cdata.xml",
                           invoice(doctype="<!DOCTYPE p:FatturaElettronica [%s]>\n" % bomb,
                                   extra_body=huge_cdata + "<Nota>&l9;</Nota>")),
                     TOO_LARGE)
        not_an_invoice("wellFormedButNoFormat", write("altro.xml", b"<a><b>FPR12</b></a>"))
        missing = inputs / "manca.xml"
        not_an_invoice("missingFile", missing)
        folder = inputs / "cartella.xml"
        folder.mkdir()
        not_an_invoice("folderNamedXml", folder)
        case("folderNamedXml/allegati", ["allegati", folder],
             err='Cannot open file "%s". è una cartella.\n' % folder, out=b"")
        fifo = inputs / "fifo.xml"
        os.mkfifo(fifo)
        not_an_invoice("fifoNamedXml", fifo)
        case("fifoNamedXml/allegati", ["allegati", fifo],
             err='Cannot open file "%s". Not a regular file.\n' % fifo, out=b"")
        case("deviceAsInvoice/allegati", ["allegati", "/dev/zero"],
             err='Cannot open file "/dev/zero". Not a regular file.\n', out=b"")

        # A UTF-16 invoice is an invoice: it is shown, and its attachments listed.
        utf16 = write("utf16.xml", invoice(number="UTF16/1", attachments=[("u.txt", "dXRm")])
                      .decode().replace('"UTF-8"', '"UTF-16"').encode("utf-16"))
        case("utf16Invoice/info", ["info", utf16], status=0, err="",
             check=lambda o: None if b"Numero: UTF16/1\n" in o.out else "stdout %r" % o.out)
        case("utf16Invoice/html", ["html", utf16], status=0, err="",
             check=lambda o: None if b"UTF16/1" in o.out else "the number is not on the page")
        case("utf16Invoice/allegati", ["allegati", utf16], status=0, err="", out=b"u.txt\t3\n")

        target_for_huge = root / "enorme-allegati"
        # A file far larger than any invoice is refused, by name and size, before any reading
        # (it was "std::bad_alloc."). Sparse: it takes no disk space.
        huge = write("enorme.xml", b"<a/>")
        os.truncate(huge, 30 << 30)
        too_large = "Il file %s è troppo grande (30,0 GB; al massimo 1,0 GB)" % huge
        for command in ("info", "html", "allegati", "estrai"):
            case("hugeFile/%s" % command, [command, huge] + ([target_for_huge] if command ==
                 "estrai" else []), size=0, out=b"0\n" if command == "estrai" else b"",
                 err_has=[too_large], may_write=[target_for_huge])

        # --- Nothing reaches the network, no external file is read -------------------------
        secret = write("segreto.txt", b"SEGRETO-DA-NON-MOSTRARE")
        reaching = write("raggiunge.xml", invoice(
            doctype=('<?xml-stylesheet type="text/xsl" href="{u}/foglio.xsl"?>\n'
                     '<!DOCTYPE p:FatturaElettronica SYSTEM "{u}/fattura.dtd" [\n'
                     '<!ENTITY % remoto SYSTEM "{u}/parametri.dtd"> %remoto;\n'
                     '<!ENTITY rete SYSTEM "{u}/testo.txt">\n'
                     '<!ENTITY locale SYSTEM "{s}">]>\n').format(u=listener.url, s=secret),
            causale="&rete;&locale;",
            extra_body='<x:include xmlns:x="http://www.w3.org/2001/XInclude" href="%s/x.xml"/>'
                       % listener.url))
        no_secret = lambda o: "the secret is shown" if b"SEGRETO" in o.out + o.err else None
        case("externalEntitiesAndUrls/info", ["info", reaching], status=0, err="",
             check=no_secret)
        case("externalEntitiesAndUrls/html", ["html", reaching], status=0, err="",
             check=no_secret)

        # --- Attachments: names that climb out, odd Base64, an unwritable folder ------------
        climbing = [("../fuori1.txt", "MQ=="), ("../../fuori2.txt", "Mg=="),
                    (str(outside), "Mw=="), ("..\\..\\fuori4.txt", "NA=="),
                    ("C:\\fuori5.txt", "NQ=="), ("C:fuori6.txt", "Ng=="),
                    ("sub/../../fuori7.txt", "Nw=="), ("..", "OA=="), ("a\r\nb.txt", "OQ==")]
        names = write("nomi.xml", invoice(attachments=climbing))
        target = root / "a" / "b" / "ALLEGATI"
        target.parent.mkdir(parents=True)  # the folder named on the command line may be new
        expected_names = {"fuori1.txt", "fuori2.txt", outside.name, "fuori4.txt", "fuori5.txt",
                          "fuori6.txt", "fuori7.txt", "allegato", "a_b.txt"}

        def saved_inside(o):
            found = {p.name for p in target.iterdir()}
            return None if found == expected_names else "files %s" % sorted(found)

        case("namesLeavingTheFolder/estrai", ["estrai", names, target], status=0, err="",
             out=b"%d\n" % len(climbing), check=saved_inside, may_write=[target])
        case("namesLeavingTheFolder/estraiDefault", ["estrai", names], status=0, err="",
             out=b"%d\n" % len(climbing), may_write=[root / "programma" / "ALLEGATI"])
        case("namesLeavingTheFolder/allegati", ["allegati", names], status=0, err="",
             check=lambda o: None if o.out.count(b"\n") == len(climbing) else
             "stdout %r" % o.out)  # a line break inside a name is shown as "_"
        long_name = write("nome-lungo.xml", invoice(attachments=[("n" * 300 + ".pdf", "QUJD")]))
        case("nameTooLong/estrai", ["estrai", long_name, target], status=0, out=b"1\n", err="",
             may_write=[target], check=lambda o: None if (target / ("n" * 251 + ".pdf")).is_file()
             else "the name was not shortened to fit")
        linked = root / "link" / "ALLEGATI"
        linked.mkdir(parents=True)
        victim = write("vittima.txt", b"originale")
        os.symlink(victim, linked / "x.pdf")
        case("linkInTheAttachmentFolder/estrai",
             ["estrai", write("link.xml", invoice(attachments=[("x.pdf", "QUJD")])), linked],
             status=0, out=b"1\n", err="", may_write=[linked],
             check=lambda o: None if victim.read_bytes() == b"originale" and
             (linked / "x (2).pdf").read_bytes() == b"ABC" else "written through, or not saved")

        odd = write("base64-strano.xml", invoice(attachments=[("uno.bin", "QUJD*")]))
        case("base64UnevenWithAStrayCharacter/estrai", ["estrai", odd, target], out=b"0\n",
             err=UNEVEN + "\n", may_write=[target])
        case("base64UnevenWithAStrayCharacter/allegati", ["allegati", odd], status=0, err="",
             out=b"uno.bin\t- (%s)\n" % UNEVEN.encode())
        stray = write("base64-sporco.xml", invoice(attachments=[("due.bin", "QU-D!*JD")]))
        case("base64EvenWithStrayCharacters/estrai", ["estrai", stray, target], status=0, err="",
             out=b"1\n", may_write=[target],
             check=lambda o: None if (target / "due.bin").stat().st_size == 6 else "size")
        control = write("base64-controllo.xml", invoice(attachments=[("c.bin", "QU\x01DQUJD")]))
        case("base64WithAControlCharacterIsNotXml/estrai", ["estrai", control, target],
             out=b"0\n", err_has=["Errore nel caricamento XML: %s (riga " % control])
        for label, lines in [("lf76", base64.encodebytes), ("crlf64", lambda b: "\r\n".join(
                base64.b64encode(b)[i:i + 64].decode() for i in range(0, len(b) * 4 // 3 + 4, 64))),
                ("cr76", lambda b: base64.encodebytes(b).decode().replace("\n", "\r"))]:
            content = rng.randbytes(1000 + len(label))
            text = lines(content)
            broken_lines = write("base64-righe-%s.xml" % label, invoice(attachments=[(
                "tre-%s.bin" % label, text if isinstance(text, str) else text.decode())]))
            case("base64BrokenIntoLines/%s" % label, ["estrai", broken_lines, target], status=0,
                 out=b"1\n", err="", may_write=[target],
                 check=lambda o, l=label, c=content: None
                 if (target / ("tre-%s.bin" % l)).read_bytes() == c else "other bytes")

        fine = write("buona.xml", invoice(attachments=[("a.pdf", "QUJD")]))
        case("unwritableAttachmentFolder/procFolder", ["estrai", fine, "/proc/self/fdinfo"],
             out=b"0\n", err=re.compile(re.escape('Cannot create file "/proc/self/fdinfo/a.pdf". ')
                                        + r"[^\n]+\n"))
        case("unwritableAttachmentFolder/underProc", ["estrai", fine, "/proc/self/ALLEGATI"],
             out=b"0\n", err=re.compile(re.escape("Impossibile creare la cartella "
                                                  "/proc/self/ALLEGATI: ") + r"[^\n]+\n"))
        a_file = write("ALLEGATI", b"un file al posto della cartella")
        case("unwritableAttachmentFolder/fileInItsPlace", ["estrai", fine, a_file], out=b"0\n",
             err=re.compile(re.escape("Impossibile creare la cartella %s: " % a_file) + r"[^\n]+\n"))
        # The program's own folder cannot take ALLEGATI: the user's folder is used instead.
        cli_ro = program("programma-file")
        (root / "programma-file" / "ALLEGATI").write_bytes(b"un file")
        case("unwritableAttachmentFolder/defaultGoesToTheUsersFolder", ["estrai", fine],
             exe=cli_ro, status=0, out=b"1\n", may_write=[root / "utente"],
             err="La cartella del programma non è scrivibile: allegati salvati in %s/\n"
             % (user_data / "ondivo" / "ALLEGATI"),
             check=lambda o: None if (user_data / "ondivo" / "ALLEGATI" / "a.pdf").read_bytes()
             == b"ABC" else "not in the user's folder")

        # --- Envelopes ----------------------------------------------------------------------
        if CORPUS and (CORPUS / "p7m" / "der").is_dir():
            der = sorted((CORPUS / "p7m" / "der").iterdir())[0].read_bytes()
            truncated = write("troncata.xml.p7m", der[:len(der) // 2])
            for command in ("p7m", "info", "html"):
                case("truncatedEnvelope/" + command, [command, truncated], err=TOOL_FAILED,
                     out=b"")
            # A link where the content is to be written is neither followed nor replaced: the
            # content goes to the user's cache.
            envelope = write("collegata/fattura.xml.p7m", der)
            os.symlink(victim, envelope.with_suffix(""))

            def in_the_cache(o):
                placed = pathlib.Path(o.out.decode().rstrip("\n"))
                if victim.read_bytes() != b"originale":
                    return "written through"
                if not envelope.with_suffix("").is_symlink():
                    return "the link was replaced"
                if placed.parent.parent != cache / "ondivo" / "p7m" or \
                        b"FatturaElettronica" not in placed.read_bytes():
                    return "content at %s" % placed
                return None

            case("linkWhereTheContentGoes/p7m", ["p7m", envelope], status=0, err="",
                 check=in_the_cache, may_write=[cache])
        if CORPUS and (CORPUS / "p7m" / "other" / "test.txt.p7m").is_file():
            text = write("testo.txt.p7m", (CORPUS / "p7m" / "other" / "test.txt.p7m").read_bytes())
            not_loadable("envelopeOfPlainText", text, may_write=[cache])
        empty_envelope = write("vuota.xml.p7m", b"")
        for command in ("p7m", "info"):
            case("emptyEnvelope/" + command, [command, empty_envelope], err=TOOL_FAILED, out=b"")
        garbage = write("spazzatura.xml.p7m", rng.randbytes(20000))
        for command in ("p7m", "html"):
            case("garbageEnvelope/" + command, [command, garbage], err=TOOL_FAILED, out=b"")
        for command in ("p7m", "info"):
            gone = inputs / "sparita.xml.p7m"
            case("missingEnvelope/" + command, [command, gone],
                 err="File non trovato: %s.\n" % gone, out=b"")

        # --- Stylesheets in FODISTILE that reach out ----------------------------------------
        ordinaria = "Foglio_di_stile_fattura_ordinaria_ver1.2.3.xsl"
        written = root / "scritto-dal-foglio.html"
        exslt = 'xmlns:exsl="http://exslt.org/common" extension-element-prefixes="exsl"'
        plain = write("semplice.xml", invoice())
        for label, sheet, message in [
                ("documentFromTheNetwork",
                 stylesheet("<xsl:value-of select=\"document('%s/dati.xml')\"/>" % listener.url),
                 "Network file read for %s/dati.xml refused" % listener.url),
                ("documentUrlFromTheInvoice",
                 stylesheet("<xsl:value-of select=\"document(concat('%s/', //Numero))\"/>"
                            % listener.url), "Network file read for %s/" % listener.url),
                ("exslDocumentWritesAFile",
                 stylesheet('<exsl:document href="%s">x</exsl:document>' % written, exslt),
                 "File write for %s refused" % written),
                ("xslDocumentWritesAFile",
                 stylesheet('<xsl:document href="%s">x</xsl:document>' % written, version="1.1"),
                 "File write for %s refused" % written),
                ("importFromTheNetwork",
                 stylesheet("", top='<xsl:import href="%s/f.xsl"/>' % listener.url), ""),
                ("stylesheetEntityBomb",
                 stylesheet("&l9;", before="<!DOCTYPE xsl:stylesheet [%s]>\n" % bomb),
                 "Errore nel caricamento XSL: ")]:
            exe = program("programma-" + label, {ordinaria: sheet})
            case("hostileStylesheet/" + label, ["html", plain], exe=exe, out=b"",
                 err_has=[message], check=lambda o: None if o.err.strip() else "no message")

        # --- A 200 MB invoice, generated here and removed at the end ------------------------
        big = inputs / "grande.xml"
        subprocess.run([sys.executable, str(GENFATTURA), str(big), "--lines", "10",
                        "--attachments", "1", "--attachment-bytes", str(150_000_000)], check=True)
        case("invoiceOf200MB/info", ["info", big], status=0, err="",
             check=lambda o: None if b"Numero: 2024/0001\n" in o.out else "stdout %r" % o.out)
        case("invoiceOf200MB/html", ["html", big], status=0, err="",
             check=lambda o: None if b"allegato_1_1.bin" in o.out else "no attachment on page")
        case("invoiceOf200MB/allegati", ["allegati", big], status=0, err="",
             out=b"allegato_1_1.bin\t150000000\n")
        data = big.read_bytes()
        start = data.index(b"<Attachment>") + len(b"<Attachment>")
        expected = hashlib.sha256(base64.b64decode(data[start:data.index(b"</Attachment>")]))
        del data

        def same_bytes(o):
            got = hashlib.sha256((target / "allegato_1_1.bin").read_bytes())
            return None if got.digest() == expected.digest() else "decoded bytes differ"

        case("invoiceOf200MB/estrai", ["estrai", big, target], status=0, err="", out=b"1\n",
             check=same_bytes, may_write=[target])
        big.unlink()

    listener.close()
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
