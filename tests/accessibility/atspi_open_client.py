#!/usr/bin/python3
"""Reads ZOLT Scope, started on a CSV recording, through AT-SPI from another
process, and holds what it shows against the file itself.

    atspi_open_client.py PID

The recording is the program's last argument. Checks: the window is named
after the file; the status bar gives the file's name and its count of rows,
with no problem (it may be following the file); the chart's description gives, for every channel and line in
the file, the last value, minimum and maximum of the whole run, as worked out
here from the rows. None of this can come out right unless the program read
that file. Exit status 0 when all hold, 1 otherwise.
"""

import csv
import os
import re
import sys

from atspi_client import attach, children, fail, role, run_loop, timed, verdict, walk

WAIT_S = 20
ROWS = re.compile(r"^(.*): ([0-9][0-9,.\u00a0\u202f ]*) rows(.*)$")


def recording_of(pid):
    with open("/proc/%d/cmdline" % pid, "rb") as f:
        args = f.read().rstrip(b"\0").split(b"\0")
    return os.path.join(os.readlink("/proc/%d/cwd" % pid), os.fsdecode(args[-1]))


def expected(path):
    """The row count and the chart's description, from the file's columns:
    chN_mv for channel N, dinN for line N (0 and 1, the plain words)."""
    with open(path, newline="") as f:
        rows = list(csv.DictReader(f))
    if not rows:
        return 0, ""
    parts = []
    for name in rows[0].keys():
        m = re.fullmatch(r"ch(\d)_mv", name) or re.fullmatch(r"din(\d)", name)
        if m is None:
            continue
        values = [int(row[name]) for row in rows]
        label, unit = ("Channel %s" % m.group(1), " mV") if name.startswith("ch") else ("Line %s" % m.group(1), "")
        parts.append("%s: last %d%s, minimum %d%s, maximum %d%s"
                     % (label, values[-1], unit, min(values), unit, max(values), unit))
    return len(rows), "; ".join(parts)


def wait_for(what, read, wanted_test):
    """The last thing read, as soon as it passes or after WAIT_S."""
    got = None
    for _ in range(int(WAIT_S / 0.25)):
        got = timed(what, read)
        if got is not None and wanted_test(got):
            break
        run_loop(0.25)
    return got


def main():
    pid, app = attach()
    if app is None:
        return 1
    path = recording_of(pid)
    name = os.path.basename(path)
    try:
        rows, figures = expected(path)
    except (OSError, ValueError, TypeError) as e:
        fail("the recording %s does not read here: %s" % (path, e))
        return verdict(app)
    print("%s: %d rows in the file" % (name, rows), flush=True)
    if rows == 0:
        fail("the recording %s has no rows to show" % path)
        return verdict(app)

    title = "%s - ZOLT Scope" % name
    got = wait_for("the windows' names", lambda: [w.name for w in children(app)], lambda names: title in names)
    window = next((w for w in children(app) if w.name == title), None)
    if window is None:
        fail("no window titled %r among %r" % (title, got))
        return verdict(app)
    print("window: %r" % title, flush=True)

    bars = [node for node in walk(window) if role(node) == "status bar"]
    if len(bars) != 1:
        fail("%d status bars in the window" % len(bars))
        return verdict(app)
    status = wait_for("the status bar", lambda: bars[0].name,
                      lambda text: ROWS.match(text) is not None and "%" not in text)
    m = ROWS.match(status or "")
    if m is None:
        fail("the status bar gives no count of rows: %r" % status)
    else:
        shown = int(re.sub(r"\D", "", m.group(2)))
        # A file opened from the command line is followed; nothing else may follow the count.
        if m.group(1) != name or shown != rows or m.group(3) not in ("", ", following"):
            fail("the status bar says %r; the file %s has %d rows" % (status, name, rows))
    print("status bar: %r" % status, flush=True)

    charts = [node for node in walk(window) if node.name == "Chart"]
    if len(charts) != 1:
        fail("%d things named 'Chart'" % len(charts))
        return verdict(app)
    described = wait_for("the chart's description", lambda: charts[0].description, lambda text: text == figures)
    if described != figures:
        fail("the chart describes %r; the file's rows give %r" % (described, figures))
    print("chart: %r" % described, flush=True)
    return verdict(app)


if __name__ == "__main__":
    sys.exit(main())
