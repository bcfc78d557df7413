#!/usr/bin/env python3
"""Reading never writes: the user's folder is byte-identical after every reading command.

    sola_lettura_test.py ONDIVO_CLI CORPUS [--pdf]

A copy of the corpus (invoices, envelopes, receipts) stands for a month's folder; the copy keeps
the shared corpus safe should a reading ever write. Its tree (names, sizes, SHA-256, times of
change) is taken before and after `elenco` in its three forms on the whole folder, and `info`,
`info --json`, `html` and `firma` on each file; with --pdf, also `pdf -d` of the envelopes into
a folder elsewhere. Any file made, changed or removed in the folder is a failure, and so is a
file of the program's own cache: envelopes are unwrapped in memory.
"""
import hashlib
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "common"))
from checks import check, finish  # noqa: E402

CLI = str(pathlib.Path(sys.argv[1]).resolve())
CORPUS = pathlib.Path(sys.argv[2])
PDF = "--pdf" in sys.argv[3:]


def tree(root):
    found = {}
    for dirpath, dirnames, filenames in os.walk(root):
        for name in dirnames + filenames:
            path = pathlib.Path(dirpath) / name
            st = path.lstat()
            rel = str(path.relative_to(root))
            if path.is_file() and not path.is_symlink():
                found[rel] = (st.st_size, st.st_mtime_ns,
                              hashlib.sha256(path.read_bytes()).hexdigest())
            else:
                found[rel] = ("folder", st.st_mtime_ns)
    return found


def differences(before, after):
    made = sorted(set(after) - set(before))
    gone = sorted(set(before) - set(after))
    changed = sorted(k for k in set(before) & set(after) if before[k] != after[k])
    return made, gone, changed


def main():
    with tempfile.TemporaryDirectory() as tmp:
        folder = pathlib.Path(tmp) / "mese"
        for part in ("invoices", "p7m", "receipts"):
            if (CORPUS / part).exists():
                shutil.copytree(CORPUS / part, folder / part, symlinks=True)
        # The copy's own times, as a user's folder has them, before anything reads it.
        before = tree(folder)
        check(len(before) > 50, "the folder", str(len(before)))
        env = dict(os.environ, XDG_CACHE_HOME=str(pathlib.Path(tmp) / "cache"))
        steps = [["elenco", str(folder)], ["elenco", "--json", str(folder)],
                 ["elenco", "--csv", str(folder)]]
        files = sorted(p for p in folder.rglob("*") if p.is_file()
                       and "hostile" not in p.parts)
        for f in files:
            steps += [["info", str(f)], ["info", "--json", str(f)], ["html", str(f)],
                      ["firma", str(f)]]
        if PDF:
            envelopes = [f for f in files if f.name.lower().endswith(".p7m")][:3]
            steps.append(["pdf", *map(str, envelopes), "-d", str(pathlib.Path(tmp) / "pdf")])
        for args in steps:
            subprocess.run([CLI, *args], capture_output=True, timeout=600, env=env,
                           cwd=tmp)
            made, gone, changed = differences(before, tree(folder))
            label = " ".join(args[:2] if args[0] != "pdf" else args[:1])
            if not check(not (made or gone or changed), "reading writes nothing: " + label,
                         repr((made[:5], gone[:5], changed[:5]))):
                before = tree(folder)  # one failure per command, not one per later step
        # Envelopes are unwrapped in memory: not even the program's own cache gets a file.
        ours = pathlib.Path(tmp) / "cache" / "ondivo"
        written = sorted(str(p) for p in ours.rglob("*") if p.is_file()) if ours.exists() else []
        check(not written, "reading writes nothing in the cache either", repr(written[:5]))
    finish()


if __name__ == "__main__":
    main()
