#!/usr/bin/env python3
"""Times `ondivo-cli html` against `xsltproc` on the same large invoice and stylesheet.

Usage: html_vs_xsltproc.py ONDIVO-CLI CORPUS-DIR [LINES] [RUNS]

The invoice comes from gen_lines_invoice.py (20,000 detail lines unless told); the stylesheet
is the official ordinary one of the corpus, placed as the FPR12 stylesheet in a temporary
FODISTILE beside a copy of ondivo-cli. Both programs write to /dev/null; each is run RUNS
times, alternating, and the best wall-clock and CPU (user + system) times are compared.
"""
import os
import pathlib
import resource
import shutil
import subprocess
import sys
import tempfile
import time

cli, corpus = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
lines = int(sys.argv[3]) if len(sys.argv) > 3 else 20000
runs = int(sys.argv[4]) if len(sys.argv) > 4 else 5
official = corpus / "stylesheets/official/Foglio_di_stile_fattura_ordinaria_ver1.2.2.xsl"
here = pathlib.Path(__file__).resolve().parent


def timed(argv):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(argv, stdout=subprocess.DEVNULL, check=True)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall, cpu


with tempfile.TemporaryDirectory() as tmp:
    tmp = pathlib.Path(tmp)
    (tmp / "FODISTILE").mkdir()
    shutil.copy2(cli, tmp / cli.name)
    shutil.copyfile(official, tmp / "FODISTILE/Foglio_di_stile_fattura_ordinaria_ver1.2.3.xsl")
    invoice = tmp / "righe.xml"
    subprocess.run([sys.executable, here / "gen_lines_invoice.py", str(lines), invoice], check=True)

    commands = {
        "ondivo-cli html": [tmp / cli.name, "html", invoice],
        "xsltproc": ["xsltproc", "--nonet", official, invoice],
    }
    best = {name: [float("inf"), float("inf")] for name in commands}
    for _ in range(runs):
        for name, argv in commands.items():
            wall, cpu = timed(argv)
            best[name] = [min(best[name][0], wall), min(best[name][1], cpu)]

    size = os.path.getsize(invoice)
    print("invoice: %d lines, %.1f MB; best of %d runs" % (lines, size / 1e6, runs))
    for name, (wall, cpu) in best.items():
        print("%-16s wall %7.3f s   cpu %7.3f s" % (name, wall, cpu))
    ours, theirs = best["ondivo-cli html"], best["xsltproc"]
    print("ratio ondivo-cli/xsltproc: wall %.3fx, cpu %.3fx (target <= 1.1x)"
          % (ours[0] / theirs[0], ours[1] / theirs[1]))
