#!/usr/bin/env python3
"""The window ended by a signal leaves nothing behind.

    segnale_test.py ONDIVO SAMPLES

The viewer opens a ZIP archive of the samples (a list, whose entries it copies into a private
temporary folder, and the first one shown); ended by SIGTERM or SIGINT it closes as when its
window is closed: the private folder is gone, the exit status is 128 + the signal, and the
archive's folder holds only the archive.
"""
import os
import pathlib
import signal
import subprocess
import sys
import tempfile
import time
import zipfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "common"))
from checks import check, finish  # noqa: E402

ONDIVO = str(pathlib.Path(sys.argv[1]).resolve())
SAMPLES = pathlib.Path(sys.argv[2])


def private_folders(tmp):
    return sorted(p.name for p in tmp.iterdir() if p.name.startswith("ondivo-elenco-"))


def main():
    for sig in (signal.SIGTERM, signal.SIGINT):
        with tempfile.TemporaryDirectory() as base:
            base = pathlib.Path(base)
            tmp = base / "tmp"
            tmp.mkdir()
            folder = base / "mese"
            folder.mkdir()
            archive = folder / "fatture.zip"
            with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as z:
                for f in sorted(SAMPLES.glob("*.xml")):
                    z.write(f, "sotto/" + f.name)
            env = dict(os.environ, TMPDIR=str(tmp), HOME=str(base / "home"),
                       XDG_CACHE_HOME=str(base / "cache"), XDG_DATA_HOME=str(base / "data"),
                       XDG_CONFIG_HOME=str(base / "config"), QT_QPA_PLATFORM="offscreen",
                       QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu")
            p = subprocess.Popen([ONDIVO, str(archive)], env=env, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL)
            deadline = time.time() + 120
            while time.time() < deadline and not private_folders(tmp) and p.poll() is None:
                time.sleep(0.1)
            seen = private_folders(tmp)
            time.sleep(2)  # the list read, the first row shown
            p.send_signal(sig)
            try:
                status = p.wait(timeout=120)
            except subprocess.TimeoutExpired:
                p.kill()
                status = None
            name = signal.Signals(sig).name
            check(bool(seen), name + ": the list made its private folder", repr(seen))
            check(status == 128 + sig, name + ": exit status", repr(status))
            check(not private_folders(tmp), name + ": the private folder is gone",
                  repr(private_folders(tmp)))
            check(sorted(os.listdir(folder)) == ["fatture.zip"],
                  name + ": the archive's folder is as it was", repr(os.listdir(folder)))
    finish()


if __name__ == "__main__":
    main()
