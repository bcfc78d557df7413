#!/usr/bin/env python3
"""ondivo-cli base64, estrai and allegati against Python's base64 module and the file system.

Runs a copy of the executable placed in a temporary folder, so that estrai without a folder
writes into the ALLEGATI folder beside that copy and nowhere else.
"""
import base64
import os
import pathlib
import random
import shutil
import subprocess
import sys
import tempfile

CLI = sys.argv[1]
UNEVEN = "Uneven size in DecodeToStream."
failures = []


def expect(condition, what):
    if not condition:
        failures.append(what)


def run(*args):
    return subprocess.run([str(a) for a in args], capture_output=True, check=False)


def invoice(*attachments):
    blocks = "".join("<Allegati><NomeAttachment>%s</NomeAttachment><Attachment>%s</Attachment>"
                     "</Allegati>\n" % (name, data) for name, data in attachments)
    return ("<?xml version=\"1.0\"?>\n<FatturaElettronica><FatturaElettronicaBody>\n%s"
            "</FatturaElettronicaBody></FatturaElettronica>\n" % blocks).encode("utf-8")


def all_files(root):
    return sorted(str(p.relative_to(root)) for p in root.rglob("*") if p.is_file())


def test_base64(tmp, cli):
    rng = random.Random(1)
    for size in (0, 1, 2, 3, 4, 57, 100000):
        data = rng.randbytes(size)
        path = tmp / ("f%d.bin" % size)
        path.write_bytes(data)
        out = run(cli, "base64", path)
        expect(out.returncode == 0 and out.stdout == base64.b64encode(data) + b"\n",
               "base64 of %d bytes differs from Python's" % size)
    expect(len(run(cli, "base64", tmp / "f100000.bin").stdout) == 133336 + 1,
           "100000 bytes do not give one line of 133336 characters")
    for missing in (tmp / "none.bin", tmp):
        out = run(cli, "base64", missing)
        expect(out.returncode == 1 and out.stderr.decode() == "Errore: %s non trovato!\n" % missing,
               "base64 of %s: %r" % (missing, out.stderr))


def test_estrai_default_folder(tmp, cli):
    big = random.Random(2).randbytes(3 * 1024 * 1024 + 1)
    path = tmp / "big.xml"
    path.write_bytes(invoice(("big.bin", base64.b64encode(big).decode()), ("../../x", "QUJD")))
    before = set(all_files(tmp))
    out = run(cli, "estrai", path)
    folder = cli.parent / "ALLEGATI"
    expect(out.returncode == 0 and out.stdout == b"2\n" and out.stderr == b"",
           "estrai without a folder: %r %r" % (out.stdout, out.stderr))
    expect((folder / "big.bin").read_bytes() == big, "the large attachment differs")
    expect((folder / "x").read_bytes() == b"ABC", "the hostile name was not kept in the folder")
    written = set(all_files(tmp)) - before
    expect(written == {"prog/ALLEGATI/big.bin", "prog/ALLEGATI/x"},
           "estrai wrote %s" % sorted(written))


def test_estrai_failures(tmp, cli):
    path = tmp / "uneven.xml"
    path.write_bytes(invoice(("a.pdf", "QUJD"), ("b.pdf", "QUJDR"), ("c.pdf", "QUJD")))
    out = run(cli, "estrai", path, tmp / "out1")
    expect(out.returncode == 1 and out.stdout == b"1\n" and out.stderr.decode() == UNEVEN + "\n",
           "estrai of an uneven text: %r %r" % (out.stdout, out.stderr))
    expect(all_files(tmp / "out1") == ["a.pdf"], "files after the failure: %s"
           % all_files(tmp / "out1"))

    out = run(cli, "estrai", tmp / "none.xml", tmp / "out2")
    expect(out.returncode == 0 and out.stdout == b"0\n" and not (tmp / "out2").exists(),
           "estrai of a missing file: %r" % out.stdout)

    out = run(cli, "estrai", "/proc/self/mem", tmp / "out3")
    expect(out.returncode == 1 and out.stderr.decode()
           == 'Cannot open file "/proc/self/mem". %s\n' % "errore di input/output",
           "estrai of an unreadable file: %r" % out.stderr)

    blocker = tmp / "blocker"
    blocker.write_bytes(b"")
    path = tmp / "one.xml"
    path.write_bytes(invoice(("a.pdf", "QUJD")))
    out = run(cli, "estrai", path, blocker / "ALLEGATI")
    expect(out.returncode == 1 and out.stderr.decode()
           == 'Impossibile creare la cartella %s/ALLEGATI: %s\n'
           % (blocker, "un elemento del percorso non è una cartella"),
           "estrai into a folder that cannot be made: %r" % out.stderr)


def test_allegati(tmp, cli):
    path = tmp / "list.xml"
    path.write_bytes(invoice(("b.pdf", "QUJD"), ("a.pdf", "QUJD\nREVG"), ("", "QUJD"),
                             ("c.pdf", "abcd;base64,QUJD")))
    out = run(cli, "allegati", path)
    expect(out.returncode == 0 and out.stdout.decode() == "b.pdf\t3\na.pdf\t6\nc.pdf\t3\n",
           "allegati listed %r" % out.stdout)
    path.write_bytes(invoice(("a\u202ecod.exe", "QUJDR"), ("x\ty", "QUJD")))
    out = run(cli, "allegati", path)
    expect(out.returncode == 0 and out.stdout.decode()
           == "a_cod.exe\t- (%s)\nx_y\t3\n" % UNEVEN, "allegati listed %r" % out.stdout)
    missing = tmp / "none.xml"
    out = run(cli, "allegati", missing)
    expect(out.returncode == 1 and out.stderr.decode()
           == 'Cannot open file "%s". %s.\n' % (missing, "file o cartella inesistente"),
           "allegati of a missing file: %r" % out.stderr)
    for args in (["allegati"], ["estrai"], ["base64"], ["estrai", path, "d", "extra"]):
        expect(run(cli, *args).returncode == 2, "%s is not a usage error" % args)


def main():
    with tempfile.TemporaryDirectory() as tmp:
        tmp = pathlib.Path(tmp)
        (tmp / "prog").mkdir()
        cli = tmp / "prog" / "ondivo-cli"
        shutil.copy2(CLI, cli)
        test_base64(tmp, cli)
        test_estrai_default_folder(tmp, cli)
        test_estrai_failures(tmp, cli)
        test_allegati(tmp, cli)
    for failure in failures:
        print("FAIL", failure)
    print("%d failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
