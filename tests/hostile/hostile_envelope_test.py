#!/usr/bin/env python3
"""Hostile envelopes through ondivo-cli: no file is ever lost, and the odd envelopes open.

  hostile_envelope_test.py ONDIVO-CLI OPENSSL

Every case runs a copy of ondivo-cli placed in a program folder of its own (the system's
openssl in ossl/, or a fake tool that writes some output and fails), with TMPDIR and
XDG_CACHE_HOME inside the test's temporary folder, and checks, besides the case's own
expectations:
  - it ends within a time-out and by itself, not by a signal;
  - nothing under the test's temporary folder changes but the places the case may write (the
    XML beside the envelope, the cache), and no temporary file is left behind.
The envelopes are signed here with openssl. A folder the program must not be able to write is
made read-only, and when the test runs as root, whom a read-only mode does not stop, the
program runs as the unprivileged user "nobody".
One line per case, then "N passed, M failed".
"""
import os
import pathlib
import re
import shutil
import stat
import subprocess
import sys
import tempfile

CLI, OPENSSL = map(pathlib.Path, sys.argv[1:3])
TIME_OUT = 60  # seconds for one run
NOBODY = 65534
NS = "http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2"
BOM = b"\xef\xbb\xbf"

# A fake tool finds the envelope and the output after -in and -out, wherever they are.
FAKE_ARGS = ("#!/bin/sh\nwhile [ $# -gt 0 ]; do\n"
             '  case "$1" in -in) in=$2;; -out) out=$2;; esac; shift\ndone\n')


def invoice(number, declaration=True):
    return (('<?xml version="1.0" encoding="UTF-8"?>\n' if declaration else "") +
            '<p:FatturaElettronica versione="FPR12" '
            'xmlns:p="%s">\n<FatturaElettronicaHeader><DatiTrasmissione><FormatoTrasmissione>'
            "FPR12</FormatoTrasmissione></DatiTrasmissione><CedentePrestatore><DatiAnagrafici>"
            "<Anagrafica><Denominazione>Busta S.r.l.</Denominazione></Anagrafica>"
            "</DatiAnagrafici></CedentePrestatore></FatturaElettronicaHeader>\n"
            "<FatturaElettronicaBody><DatiGenerali><DatiGeneraliDocumento><TipoDocumento>TD01"
            "</TipoDocumento><Data>2024-05-31</Data><Numero>%s</Numero>"
            "</DatiGeneraliDocumento></DatiGenerali></FatturaElettronicaBody>"
            "</p:FatturaElettronica>\n" % (NS, number)).encode("utf-8")


def snapshot(root, skip):
    """Every entry under root, but those under skip: files with their size and time, folders
    and links as they are."""
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
            link = os.readlink(path) if stat.S_ISLNK(st.st_mode) else ""
            state[str(path.relative_to(root))] = (st.st_mode, st.st_size if plain else 0,
                                                  st.st_mtime_ns if plain else 0, link)
    return state


class Signer:
    """A key and a self-signed certificate, and envelopes made with them by openssl."""

    def __init__(self, folder):
        self.folder = folder
        folder.mkdir()
        self.key, self.cert = folder / "key.pem", folder / "cert.pem"
        self._openssl("req", "-x509", "-newkey", "ec", "-pkeyopt",
                      "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", self.key, "-out",
                      self.cert, "-subj", "/CN=Ondivo hostile", "-days", "2")

    def _openssl(self, *args):
        subprocess.run([str(OPENSSL), *map(str, args)], check=True, capture_output=True)

    def _through(self, data, *args):
        src, dst = self.folder / "in", self.folder / "out"
        src.write_bytes(data)
        self._openssl(*args, "-in", src, "-out", dst)
        return dst.read_bytes()

    def sign(self, content):
        return self._through(content, "cms", "-sign", "-nodetach", "-binary", "-outform", "DER",
                             "-signer", self.cert, "-inkey", self.key)

    def pem(self, der, command="cms"):
        extra = ["-cmsout"] if command == "cms" else []
        return self._through(der, command, *extra, "-inform", "DER", "-outform", "PEM")

    def base64(self, data):
        return self._through(data, "base64")


def main():
    passed = failed = 0
    as_root = os.geteuid() == 0
    with tempfile.TemporaryDirectory(prefix="ondivo-buste-") as root:
        root = pathlib.Path(root)
        root.chmod(0o755)  # the unprivileged runs must reach their files
        tmpdir = root / "tmp"  # TMPDIR of every run: must be empty after each
        cache = root / "cache"  # XDG_CACHE_HOME of every run
        cache_nobody = root / "cache-nobody"  # that of the unprivileged runs, theirs alone
        for folder in (tmpdir, cache, cache_nobody):
            folder.mkdir()
            folder.chmod(0o1777)
        env = dict(os.environ, TMPDIR=str(tmpdir), XDG_CACHE_HOME=str(cache), LC_ALL="C")
        inputs = root / "buste"
        inputs.mkdir()
        signer = Signer(root / "firma")

        def program(name, fake=None):
            folder = root / name
            (folder / "ossl").mkdir(parents=True)
            tool = folder / "ossl" / "openssl"
            if fake is None:
                os.symlink(OPENSSL, tool)
            else:
                tool.write_text(FAKE_ARGS + fake)
                tool.chmod(0o755)
            shutil.copy2(CLI, folder / "ondivo-cli")
            return folder / "ondivo-cli"

        cli = program("programma")

        def write(name, content):
            path = inputs / name
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(content)
            return path

        def case(name, args, status=0, err="", out=None, check=None, may_write=(), exe=None,
                 unprivileged=False):
            """err: the whole standard error (a str, or a compiled pattern to match in full);
            out: the whole standard output; check(result) returns a complaint or None."""
            nonlocal passed, failed
            skip = [pathlib.Path(p) for p in may_write] + [tmpdir]
            before = snapshot(root, skip)
            extra = dict(env=env)
            if unprivileged:
                extra["env"] = dict(env, XDG_CACHE_HOME=str(cache_nobody))
                if as_root:
                    extra.update(user=NOBODY, group=NOBODY, extra_groups=[])
            problems = []
            try:
                got = subprocess.run([str(exe or cli), *map(str, args)], capture_output=True,
                                     timeout=TIME_OUT, check=False, **extra)
            except subprocess.TimeoutExpired:
                got = None
                problems.append("no end within %d s" % TIME_OUT)
            if got is not None:
                text = got.stderr.decode("utf-8", "replace")
                if got.returncode < 0:
                    problems.append("ended by signal %d" % -got.returncode)
                elif got.returncode != status:
                    problems.append("status %d, not %d" % (got.returncode, status))
                if isinstance(err, str) and text != err:
                    problems.append("stderr %r" % text[:300])
                elif isinstance(err, re.Pattern) and not err.fullmatch(text):
                    problems.append("stderr %r" % text[:300])
                if out is not None and got.stdout != out:
                    problems.append("stdout %r" % got.stdout[:200])
                if check and not problems:
                    complaint = check(got)
                    if complaint:
                        problems.append(complaint)
            left = sorted(p.name for p in tmpdir.iterdir())
            if left:
                problems.append("left in the temporary folder: %s" % left)
            changed = sorted(set(before.items()) ^ set(snapshot(root, skip).items()))
            if changed:
                problems.append("written outside the allowed places: %s" %
                                sorted({c[0] for c in changed}))
            if problems:
                failed += 1
                print("FAIL %s: %s" % (name, "; ".join(problems)))
            else:
                passed += 1
                print("ok   %s" % name)
            sys.stdout.flush()
            for p in tmpdir.iterdir():
                p.unlink() if p.is_file() or p.is_symlink() else shutil.rmtree(p)

        def printed_path(result):
            return pathlib.Path(result.stdout.decode().rstrip("\n"))

        def in_cache(content, folder=cache):
            """p7m printed a path in the cache, one folder per envelope, holding the content.
            (That nothing beside the envelope changed, the snapshot tells.)"""
            def check(result):
                placed = printed_path(result)
                if placed.parent.parent != folder / "ondivo" / "p7m":
                    return "not in the cache: %s" % placed
                return None if placed.read_bytes() == content else "the cache copy differs"
            return check

        def numbered(number):
            line = b"Numero: %s\n" % number.encode()
            return lambda o: None if line in o.stdout else "stdout %r" % o.stdout[:300]

        # --- A file beside the envelope is never replaced --------------------------------
        payload = invoice("BUSTA/1")
        envelope_der = signer.sign(payload)
        for label, make_beside, expect in [
                ("otherBytes", lambda p: p.write_bytes(b"%PDF-1.4 il mio contratto"), "cache"),
                ("aPrefixOfTheContent", lambda p: p.write_bytes(payload[:20]), "cache"),
                ("sameBytes", lambda p: p.write_bytes(payload), "beside"),
                ("linkToAnotherFile",
                 lambda p: os.symlink(write("altro-%s.txt" % p.parent.name, b"altro"), p),
                 "cache"),
                ("danglingLink", lambda p: os.symlink(root / ("nessuno-" + p.parent.name), p),
                 "cache"),
                ("folder", lambda p: p.mkdir(), "cache")]:
            envelope = write("accanto-%s/Contratto.pdf.p7m" % label, envelope_der)
            beside = envelope.with_suffix("")
            make_beside(beside)
            if expect == "beside":
                case("besideTheEnvelope/%s/p7m" % label, ["p7m", envelope],
                     out=b"%s\n" % bytes(beside))
            else:
                case("besideTheEnvelope/%s/p7m" % label, ["p7m", envelope],
                     check=in_cache(payload), may_write=[cache])
                case("besideTheEnvelope/%s/info" % label, ["info", envelope],
                     check=numbered("BUSTA/1"), may_write=[cache])

        # --- A tool that fails places nothing: the old file stays --------------------------
        for label, script, expected in [
                ("exit2AfterPartialOutput", 'printf "<parziale" > "$out"\nexit 2\n',
                 "OpenSSL errore (ExitCode=2)\n"),
                ("killedAfterPartialOutput", 'printf "<parziale" > "$out"\nkill -KILL $$\n',
                 "OpenSSL errore (ExitCode=137)\n"),
                ("exit4WithoutOutput", "exit 4\n", "Output non creato: {beside}.\n"),
                ("exit0WithoutOutput", "exit 0\n", "Output non creato: {beside}.\n"),
                ("exit0WithEmptyOutput", ': > "$out"\n', "Output non creato: {beside}.\n")]:
            exe = program("falso-" + label, fake=script)
            envelope = write("fallita-%s/Contratto.pdf.p7m" % label, envelope_der)
            beside = envelope.with_suffix("")
            beside.write_bytes(b"%PDF-1.4 il contratto di prima")
            for command in ("p7m", "info"):
                case("failingTool/%s/%s" % (label, command), [command, envelope], status=1,
                     err=expected.replace("{beside}", str(beside)), out=b"", exe=exe)
        # 4: the signature did not verify; the content is still shown, never over the old file.
        exe = program("falso-exit4", fake='printf "%s" "<a/>" > "$out"\nexit 4\n')
        envelope = write("exit4/Contratto.pdf.p7m", envelope_der)
        envelope.with_suffix("").write_bytes(b"%PDF-1.4 il contratto di prima")
        case("failingTool/exit4WithOutput/p7m", ["p7m", envelope], exe=exe,
             check=in_cache(b"<a/>"), may_write=[cache])

        # --- A folder that takes no new file: the cache --------------------------------------
        locked = inputs / "sola-lettura"
        envelope = write("sola-lettura/fattura.xml.p7m", envelope_der)
        locked.chmod(0o555)
        for command, check in (("p7m", in_cache(payload, cache_nobody)),
                               ("info", numbered("BUSTA/1"))):
            case("readOnlyFolder/" + command, [command, envelope], check=check,
                 may_write=[cache_nobody], unprivileged=True)
        locked.chmod(0o755)

        # --- Envelopes met in the wild ---------------------------------------------------
        odd = [
            # name, file name, content, where the XML is read from ("itself", "beside", or
            # an error pattern)
            ("plainXml", "semplice.xml.p7m", payload, "itself"),
            ("plainXmlWithBom", "bom.xml.p7m", BOM + payload, "itself"),
            # Blanks may not come before an XML declaration: this one has none.
            ("plainXmlAfterBlanks", "spazi.xml.p7m",
             b"\r\n\t " + invoice("BUSTA/1", declaration=False), "itself"),
            ("pemCms", "cms.xml.p7m", signer.pem(envelope_der), "beside"),
            ("pemPkcs7", "pkcs7.xml.p7m", signer.pem(envelope_der, "pkcs7"), "beside"),
            ("pemSignedDataLabel", "signed.xml.p7m",
             signer.pem(envelope_der, "pkcs7").replace(b"PKCS7", b"PKCS #7 SIGNED DATA"),
             "beside"),
            ("pemCrLfAfterBom", "pem-bom.xml.p7m",
             BOM + signer.pem(envelope_der).replace(b"\n", b"\r\n"), "beside"),
            ("base64AfterBom", "b64-bom.xml.p7m", BOM + signer.base64(envelope_der), "beside"),
            ("base64TwiceAfterBom", "b64x2-bom.xml.p7m",
             BOM + signer.base64(signer.base64(envelope_der)), "beside"),
            ("nestedTwice", "due.xml.p7m", signer.sign(envelope_der), "beside"),
            ("nestedThrice", "tre.xml.p7m", signer.sign(signer.sign(envelope_der)), "beside"),
            ("nestedInnerBase64", "dentro-b64.xml.p7m",
             signer.sign(signer.base64(envelope_der)), "beside"),
            ("nestedInnerPem", "dentro-pem.xml.p7m", signer.sign(signer.pem(envelope_der)),
             "beside"),
            ("nestedOuterPem", "fuori-pem.xml.p7m", signer.pem(signer.sign(envelope_der)),
             "beside"),
            ("nestedFourTimes", "quattro.xml.p7m",
             signer.sign(signer.sign(signer.sign(envelope_der))),
             "Impossibile aprire {envelope}: contiene buste annidate oltre 3 livelli.\n"),
            ("bareExtension", ".p7m", envelope_der, "beside"),
            ("bareExtensionCapitals", ".P7M", envelope_der, "beside"),
        ]
        for label, file_name, content, where in odd:
            envelope = write("strane/%s/%s" % (label, file_name), content)
            stem = file_name[:file_name.rfind(".")]
            beside = envelope.parent / (file_name + ".xml" if stem in ("", ".", "..") else stem)
            if where == "itself":
                case("oddEnvelope/%s/p7m" % label, ["p7m", envelope],
                     out=b"%s\n" % bytes(envelope))
                case("oddEnvelope/%s/info" % label, ["info", envelope],
                     check=numbered("BUSTA/1"))
            elif where == "beside":
                def same_payload(o, beside=beside):
                    if printed_path(o) != beside:
                        return "printed %s" % printed_path(o)
                    return None if beside.read_bytes() == payload else "the XML differs"
                case("oddEnvelope/%s/p7m" % label, ["p7m", envelope], check=same_payload,
                     may_write=[beside])
                # info only reads: the content goes to the cache, nothing beside the envelope.
                case("oddEnvelope/%s/info" % label, ["info", envelope],
                     check=numbered("BUSTA/1"), may_write=[cache])
            else:
                for command in ("p7m", "info"):
                    case("oddEnvelope/%s/%s" % (label, command), [command, envelope], status=1,
                         err=where.replace("{envelope}", str(envelope)), out=b"")

    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
