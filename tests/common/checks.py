"""Counting checks for the test scripts: one FAIL line per failed check, and the closing
line `N passed, M failed` with the exit status."""
import sys

passed = 0
failed = 0


def check(ok, label, detail=""):
    """Counts the check; gives back whether it passed."""
    global passed, failed
    if ok:
        passed += 1
    else:
        failed += 1
        print("FAIL %s %s" % (label, detail))
    return bool(ok)


def finish():
    print("%d passed, %d failed" % (passed, failed))
    sys.exit(1 if failed else 0)
