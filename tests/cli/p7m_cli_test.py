#!/usr/bin/env python3
"""ondivo-cli p7m and info on signed envelopes, against openssl's own extraction.

The program folder's ossl/openssl must be in place (the build links the system's tool). Each
envelope is copied into a temporary folder first: the XML is written next to it, or into the
user's cache (XDG_CACHE_HOME, a temporary folder here too) when that name is taken.
"""
import json
import base64
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "common"))
from checks import check, finish  # noqa: E402

CLI, CORPUS = str(pathlib.Path(sys.argv[1]).resolve()), pathlib.Path(sys.argv[2]) / "p7m"



def cli(*args, cwd=None):
    return subprocess.run([CLI, *map(str, args)], capture_output=True, check=False, cwd=cwd)


def oracle(envelope, work):
    data = envelope.read_bytes()
    if data[:1] != b"\x30":
        data = base64.b64decode(b"".join(data.split()))
    der = work / "oracle.der"
    der.write_bytes(data)
    out = work / "oracle.xml"
    subprocess.run(["openssl", "cms", "-verify", "-noverify", "-inform", "DER", "-binary",
                    "-in", der, "-out", out], capture_output=True, check=True)
    return out.read_bytes()


with tempfile.TemporaryDirectory() as tmp:
    work = pathlib.Path(tmp)
    cache = work / "cache"
    os.environ["XDG_CACHE_HOME"] = str(cache)
    for envelope in sorted([*(CORPUS / "der").iterdir(), *(CORPUS / "base64").iterdir()]):
        label = "p7m " + envelope.name
        copy = work / envelope.name
        shutil.copyfile(envelope, copy)
        res = cli("p7m", copy)
        xml = copy.with_suffix("")
        check(res.returncode == 0 and res.stdout.decode() == "%s\n" % xml, label,
              repr((res.returncode, res.stdout, res.stderr)))
        check(xml.exists() and xml.read_bytes() == oracle(envelope, work), label, "payload")

        # info on the envelope, named in capitals, says what info on the extracted XML says,
        # and, only reading, leaves nothing beside the envelope.
        upper = work / ("upper-" + envelope.name) / "UPPER.XML.P7M"
        upper.parent.mkdir()
        shutil.copyfile(envelope, upper)
        on_envelope = cli("info", upper, "--json")
        on_xml = cli("info", xml, "--json")
        # Only the signature differs: the envelope's is intact, the bare XML has none.
        head_envelope = json.loads(on_envelope.stdout or b"{}")
        head_xml = json.loads(on_xml.stdout or b"{}")
        signed = (head_envelope.pop("firma", None), head_xml.pop("firma", None))
        validation = [(head_envelope.pop(k, None), head_xml.pop(k, None))
                      for k in ("indicazione", "sottoindicazione")]
        check(on_envelope.returncode == on_xml.returncode == 0 and head_envelope == head_xml
              and signed == ("integra", "assente")
              and validation == [("INDETERMINATE", None), ("NO_CERTIFICATE_CHAIN_FOUND", None)]
              and sorted(p.name for p in upper.parent.iterdir()) == [upper.name],
              "info " + envelope.name, repr((on_envelope.stdout, on_envelope.stderr, on_xml.stdout)))

        # A file of the XML's name with other bytes stays; the content comes from the cache.
        taken = work / ("taken-" + envelope.name) / "f.xml.p7m"
        taken.parent.mkdir()
        shutil.copyfile(envelope, taken)
        taken.with_suffix("").write_bytes(b"mine")
        res = cli("p7m", taken)
        placed = pathlib.Path(res.stdout.decode().rstrip("\n"))
        check(res.returncode == 0 and placed.is_relative_to(cache) and placed.name == "f.xml"
              and placed.read_bytes() == oracle(envelope, work)
              and taken.with_suffix("").read_bytes() == b"mine", "taken " + envelope.name,
              repr((res.returncode, res.stdout, res.stderr)))

    for envelope in sorted((CORPUS / "broken").iterdir()):
        copy = work / ("broken-" + envelope.name)
        shutil.copyfile(envelope, copy)
        cached = sorted(cache.rglob("*"))
        res = cli("info", copy)
        check(res.returncode == 1 and res.stderr.startswith(b"OpenSSL errore (ExitCode=")
              and not copy.with_suffix("").exists() and sorted(cache.rglob("*")) == cached,
              "broken " + envelope.name, repr(res.stderr))

    # A relative name works although the tool runs in its own folder.
    shutil.copyfile(CORPUS / "der/IT02182030391_31.xml.p7m", work / "rel.xml.p7m")
    res = cli("p7m", "rel.xml.p7m", cwd=work)
    check(res.returncode == 0 and res.stdout == b"rel.xml\n", "relative", repr(res))

    missing = work / "missing.xml.p7m"
    res = cli("p7m", missing)
    check(res.returncode == 1 and res.stderr.decode() == "File non trovato: %s.\n" % missing,
          "missing", repr(res.stderr))
    check(cli("p7m").returncode == 2 and cli("p7m", "a.p7m", "b.p7m").returncode == 2, "usage")

    # An XML whose name merely contains .p7m is read as XML, not unwrapped.
    not_envelope = work / "fattura.p7m.xml"
    not_envelope.write_text("<a/>")
    res = cli("info", not_envelope)
    check(res.returncode == 1 and b"OpenSSL" not in res.stderr, "p7m.xml", repr(res.stderr))

finish()
